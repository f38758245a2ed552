// Runtime error texts and the per-thread last error.
#include "platform/storage/errors.h"

namespace corvix::storage {

std::string errorText(int code) {
    switch (code) {
        case kNoError:
            return "No error";
        case kFileNotFound:
            return "File Not Found";
        case kPathNotFound:
            return "Path Not Found";
        case kAccessDenied:
            return "Access Denied";
        case kRecordNotAvailable:
            return "Record Not Available";
        case kRecordNotFound:
            return "Record Not Found";
        case kFileNotOpen:
            return "File Not Open";
        case kDuplicateKey:
            return "Creates Duplicate Key";
        case kRecordHeld:
            return "Record Is Already Held";
        case kBadKey:
            return "Invalid Key File";
        case kRecordMismatch:
            return "Invalid Record Declaration";
        case kAlreadyOpen:
            return "File Already Open";
        case kInvalidData:
            return "Memo File Missing or Invalid Data";
        case kInvalidFilter:
            return "Invalid Filter";
        case kKeyLengthMismatch:
            return "Invalid Key Length";
        case kChangedByOther:
            return "Record Changed By Another Station";
        case kDriverError:
            return "File System Error";
    }
    return "Error " + std::to_string(code);
}

namespace {
// Each thread's last error lives on the heap behind a plain pointer, which stays valid for
// the thread's whole life: tables that static objects close while the process ends (after
// the thread's own objects are gone) still record their result somewhere. A thread that
// ends gives its error back through `Release`; a result recorded after that (only while
// the process ends) gets a fresh one, still reachable through the pointer.
thread_local Error* tSlot = nullptr;
thread_local bool tReleased = false;

struct Release {
    ~Release() {
        delete tSlot;
        tSlot = nullptr;
        tReleased = true;
    }
};

Error& lastErrorSlot() {
    if (!tSlot) {
        tSlot = new Error();
        if (!tReleased) {
            thread_local Release release;
            (void)release;
        }
    }
    return *tSlot;
}
}  // namespace

const Error& lastError() {
    return lastErrorSlot();
}

void setLastError(Error e) {
    if (e.code != kNoError && e.text.empty()) e.text = errorText(e.code);
    lastErrorSlot() = std::move(e);
}

}  // namespace corvix::storage
