// The line form of the export files ExPas.BAS and ExGSD.BAS: one record per line, the
// fields in declaration order separated by commas. Text fields are UTF-8 in double quotes
// with a quote doubled and a backslash, carriage return and line feed written as \\, \r
// and \n, so that a line always holds one whole record; numbers are decimal; dates are
// written YYYY-MM-DD (a blank date as an empty field). Lines end with CR LF.
//
// Reading is strict: a line with the wrong number of fields, broken quoting, bytes that
// are not UTF-8, a number outside its field's range, a date that does not exist or a text
// longer than its field is refused with a reason (which never quotes the line, as it may
// hold a password), never stored half-read.
#pragma once

#include <string>
#include <string_view>

#include "platform/storage/record.h"

namespace corvix::vault {

// Appends the record's line (with its CR LF) to `out`.
void appendRecordLine(const storage::RecordBuffer& record, std::string& out);

// Fills `record` from one line (without its line end). On false, *reason says why and
// the record's contents are unspecified.
bool parseRecordLine(std::string_view line, storage::RecordBuffer& record, std::string* reason);

// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates).
bool isValidUtf8(std::string_view text);

}  // namespace corvix::vault
