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
    std::u32string chars = toChars(utf8);
    if (chars.size() <= n) return std::string(utf8);
    chars.resize(n);
    return toUtf8(chars);
}

std::string trimTrailingBlanks(std::string_view s) {
    size_t end = s.size();
    while (end > 0 && s[end - 1] == ' ') --end;
    return std::string(s.substr(0, end));
}

bool passwordMatches(std::string_view entry, std::string_view stored) {
    return trimTrailingBlanks(clipChars(entry, kPasswordChars)) ==
           trimTrailingBlanks(clipChars(stored, kPasswordChars));
}

}  // namespace corvix::security
