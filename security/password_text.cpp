#include "security/password_text.h"

#include "runtime/utf8.h"

namespace corvix::security {

std::u32string toChars(std::string_view s) {
    return runtime::decodeUtf8(s);
}

std::string toUtf8(std::u32string_view chars) {
    return runtime::encodeUtf8(chars);
}

std::string clipChars(std::string_view utf8, size_t n) {
    return std::string(utf8.substr(0, clipBytes(utf8, n)));
}

size_t clipBytes(std::string_view utf8, size_t n) {
    size_t at = 0;
    for (size_t chars = 0; chars < n && at < utf8.size(); ++chars) {
        const auto lead = static_cast<unsigned char>(utf8[at]);
        const size_t length = lead < 0x80         ? 1
                              : (lead >> 5) == 6  ? 2
                              : (lead >> 4) == 14 ? 3
                              : (lead >> 3) == 30 ? 4
                                                  : 1;
        bool whole = at + length <= utf8.size();
        for (size_t k = 1; whole && k < length; ++k)
            whole = (static_cast<unsigned char>(utf8[at + k]) & 0xC0) == 0x80;
        at += whole ? length : 1;
    }
    return at;
}

namespace {
std::string_view withoutTrailingBlanks(std::string_view s) {
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}
}  // namespace

std::string trimTrailingBlanks(std::string_view s) {
    size_t end = s.size();
    while (end > 0 && s[end - 1] == ' ') --end;
    return std::string(s.substr(0, end));
}

// Compared where they lie: no copy of either password is made on the way.
bool passwordMatches(std::string_view entry, std::string_view stored) {
    return withoutTrailingBlanks(entry.substr(0, clipBytes(entry, kPasswordChars))) ==
           withoutTrailingBlanks(stored.substr(0, clipBytes(stored, kPasswordChars)));
}

}  // namespace corvix::security
