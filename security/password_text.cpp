#include "security/password_text.h"

namespace corvix::security {

std::u32string toChars(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        size_t extra = b < 0x80         ? 0
                       : (b >> 5) == 6  ? 1
                       : (b >> 4) == 14 ? 2
                       : (b >> 3) == 30 ? 3
                                        : 9;
        if (extra == 0) {
            out.push_back(b);
            ++i;
            continue;
        }
        bool ok = extra <= 3 && i + extra < s.size();
        char32_t c = b & (0x3F >> extra);
        for (size_t k = 1; ok && k <= extra; ++k) {
            unsigned char n = static_cast<unsigned char>(s[i + k]);
            ok = (n & 0xC0) == 0x80;
            c = (c << 6) | (n & 0x3F);
        }
        if (!ok) {
            out.push_back(U'\uFFFD');
            ++i;
            continue;
        }
        out.push_back(c);
        i += extra + 1;
    }
    return out;
}

std::string toUtf8(std::u32string_view chars) {
    std::string out;
    out.reserve(chars.size());
    for (char32_t c : chars) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
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
