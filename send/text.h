// UTF-8 text helpers for the sending code: scripts, titles and patterns are counted and
// compared in characters (code points), and upper-cased beyond ASCII.
#pragma once

#include <string>
#include <string_view>

namespace corvix::send {

std::u32string toU32(std::string_view utf8);  // invalid bytes become U+FFFD
std::string toUtf8(std::u32string_view text);

char32_t upperChar(char32_t c);
std::u32string upper(std::u32string_view text);
std::string upperUtf8(std::string_view utf8);

// Trailing blanks are never significant.
std::u32string_view trimRight(std::u32string_view text);
std::string_view trimRight(std::string_view text);
bool isBlank(std::u32string_view text);
bool isBlank(std::string_view text);

// Overwrites a secret (its whole buffer) before it is freed.
void wipe(std::string& secret);
void wipe(std::u32string& secret);

// The first n characters of a UTF-8 text (never a cut character).
std::string cutChars(std::string_view utf8, size_t n);

}  // namespace corvix::send
