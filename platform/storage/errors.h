// The runtime's file error codes, as every caller of the driver interprets them.
#pragma once

#include <string>

namespace corvix::storage {

enum ErrorCode : int {
    kNoError = 0,
    kFileNotFound = 2,         // no such file or table
    kPathNotFound = 3,         // the folder of a file to be made does not exist
    kAccessDenied = 5,         // locked by another open or no permission
    kRecordNotAvailable = 33,  // end of file / no current record
    kRecordNotFound = 35,      // fetch by key found nothing
    kFileNotOpen = 37,         // an operation on a handle that is not open
    kDuplicateKey = 40,        // a unique key refused the record
    kRecordHeld = 43,          // never happens with this driver
    kBadKey = 46,              // keys need rebuilding
    kRecordMismatch = 47,      // stored declaration differs from the one given
    kAlreadyOpen = 52,
    kInvalidData = 73,
    kInvalidFilter = 76,  // a filter the storage refused
    kKeyLengthMismatch = 88,
    kChangedByOther = 89,  // record changed by another station since it was read
    kDriverError = 90,     // the driver's own error: see Error::driverCode / driverText
};

struct Error {
    int code = kNoError;
    std::string text;        // the runtime's text for code
    int driverCode = 0;      // the underlying driver's code (SQLite's), when code is 90
    std::string driverText;  // the underlying driver's message
    std::string file;        // the file name the error concerns
    std::string key;         // for 40: the name of the key that refused the record

    explicit operator bool() const { return code != kNoError; }
};

// Text for a runtime error code ("File Not Found", "Access Denied", ...).
std::string errorText(int code);

// The last error of any driver operation on this thread (ERRORCODE()/FILEERROR()).
const Error& lastError();
void setLastError(Error e);

}  // namespace corvix::storage
