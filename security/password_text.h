// Password values are sequences of characters (code points), not bytes: symbol strings
// and location codes use characters beyond ASCII, and a STRING(128) holds 128 of them.
#pragma once

#include <string>
#include <string_view>

namespace corvix::security {

// UTF-8 to code points and back. Malformed bytes become U+FFFD.
std::u32string toChars(std::string_view utf8);
std::string toUtf8(std::u32string_view chars);

// The first n characters of text (never a cut character), and the bytes they take (a
// malformed byte counts as one character).
std::string clipChars(std::string_view utf8, size_t n);
size_t clipBytes(std::string_view utf8, size_t n);
// Drops trailing blanks, which are never significant in stored strings.
std::string trimTrailingBlanks(std::string_view s);
inline bool isBlank(std::string_view s) {
    return trimTrailingBlanks(s).empty();
}

// The rule every master password comparison follows: the entry is cut to the field's
// 128 characters, trailing blanks do not count, letter case does.
constexpr size_t kPasswordChars = 128;
bool passwordMatches(std::string_view entry, std::string_view stored);

}  // namespace corvix::security
