// UTF-8 text to code points and back. Malformed bytes decode to U+FFFD, one per byte,
// so that a damaged string still has a length and never stops a loop.
#pragma once

#include <string>
#include <string_view>

namespace corvix::runtime {

std::u32string decodeUtf8(std::string_view utf8);
// One character of decodeUtf8, the one starting at byte i (i < size); i moves past it.
char32_t decodeUtf8At(std::string_view utf8, size_t& i);
std::string encodeUtf8(std::u32string_view chars);

// Whether the bytes are well-formed UTF-8 (no stray, overlong, surrogate or cut
// sequences). Text from outside is refused when it is not.
bool isValidUtf8(std::string_view text);

// The length in bytes of the longest start of the text that holds at most `chars`
// characters (code points) and never splits a user-perceived character: an emoji
// sequence joined with zero-width joiners, or a letter with its combining marks, stays
// whole or goes whole. Malformed text is cut at a code point.
size_t graphemePrefixBytes(std::string_view text, size_t chars);

}  // namespace corvix::runtime
