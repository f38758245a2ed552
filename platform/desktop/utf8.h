// UTF-8 to code points and back, for the desktop layer's own needs (no Qt here).
#pragma once

#include <string>
#include <string_view>

namespace corvix::desktop {

void appendUtf8(std::string& out, char32_t ch);
std::string toUtf8(std::u32string_view text);
// Malformed bytes become U+FFFD.
std::u32string fromUtf8(std::string_view text);

}  // namespace corvix::desktop
