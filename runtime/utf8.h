// UTF-8 text to code points and back. Malformed bytes decode to U+FFFD, one per byte,
// so that a damaged string still has a length and never stops a loop.
#pragma once

#include <string>
#include <string_view>

namespace corvix::runtime {

std::u32string decodeUtf8(std::string_view utf8);
std::string encodeUtf8(std::u32string_view chars);

}  // namespace corvix::runtime
