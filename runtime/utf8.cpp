#include "runtime/utf8.h"

#include <algorithm>

#include "runtime/qt_services.h"

namespace corvix::runtime {

char32_t decodeUtf8At(std::string_view s, size_t& i) {
    const auto b = static_cast<unsigned char>(s[i]);
    char32_t c;
    size_t len;
    if (b < 0x80) {
        ++i;
        return b;
    } else if ((b & 0xE0) == 0xC0) {
        c = b & 0x1F;
        len = 2;
    } else if ((b & 0xF0) == 0xE0) {
        c = b & 0x0F;
        len = 3;
    } else if ((b & 0xF8) == 0xF0) {
        c = b & 0x07;
        len = 4;
    } else {
        ++i;
        return 0xFFFD;
    }
    if (i + len > s.size()) {
        ++i;
        return 0xFFFD;
    }
    for (size_t k = 1; k < len; ++k) {
        const auto cb = static_cast<unsigned char>(s[i + k]);
        if ((cb & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        c = (c << 6) | (cb & 0x3F);
    }
    i += len;
    return c;
}

std::u32string decodeUtf8(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) out.push_back(decodeUtf8At(s, i));
    return out;
}

std::string encodeUtf8(std::u32string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t c : text) {
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

bool isValidUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        size_t len = b < 0x80             ? 1
                     : (b & 0xE0) == 0xC0 ? 2
                     : (b & 0xF0) == 0xE0 ? 3
                     : (b & 0xF8) == 0xF0 ? 4
                                          : 0;
        if (len == 0 || i + len > text.size()) return false;
        char32_t c = len == 1 ? b : b & (0x7F >> len);
        for (size_t k = 1; k < len; ++k) {
            const auto cb = static_cast<unsigned char>(text[i + k]);
            if ((cb & 0xC0) != 0x80) return false;
            c = (c << 6) | (cb & 0x3F);
        }
        static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        if (c < kLeast[len] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
        i += len;
    }
    return true;
}

size_t graphemePrefixBytes(std::string_view text, size_t chars) {
    if (text.size() <= chars) return text.size();  // no more characters than bytes
    if (!isValidUtf8(text)) {
        size_t i = 0, seen = 0;
        while (i < text.size() && seen < chars) {
            ++i;
            while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
            ++seen;
        }
        return i;
    }
    // Plain ASCII without a carriage return (which a line feed joins) is one character per
    // byte; the rest takes Unicode's grapheme rules.
    if (std::none_of(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(chars) + 1,
                     [](char c) { return c == '\r' || (static_cast<unsigned char>(c) & 0x80); }))
        return chars;
    return qtServices().graphemePrefixBytes(text, chars);
}

}  // namespace corvix::runtime
