// The debug aids of the exact-location logon are switched on by a file DEBUG.INI in the
// current directory holding a non-zero number under [Debug] Mouse=.
#pragma once

#include <string>

namespace corvix::security {

inline constexpr const char* kDebugIniPath = "./DEBUG.INI";

// The number under `key` in `section` of an INI file (names compared without regard to
// letter case, leading digits read as in Windows profile files); fallback when the file,
// the section or the key is missing or holds no number.
long readIniNumber(const std::string& path, const std::string& section, const std::string& key,
                   long fallback);

// True when ./DEBUG.INI asks for the mouse debug aids.
bool mouseDebugEnabled();

}  // namespace corvix::security
