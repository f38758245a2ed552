#include "platform/desktop/utf8.h"

namespace corvix::desktop {

void appendUtf8(std::string& out, char32_t ch) {
    if (ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF)) ch = 0xFFFD;
    if (ch < 0x80) {
        out += static_cast<char>(ch);
    } else if (ch < 0x800) {
        out += static_cast<char>(0xC0 | (ch >> 6));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else if (ch < 0x10000) {
        out += static_cast<char>(0xE0 | (ch >> 12));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (ch >> 18));
        out += static_cast<char>(0x80 | ((ch >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    }
}

std::string toUtf8(std::u32string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t ch : text) appendUtf8(out, ch);
    return out;
}

std::u32string fromUtf8(std::string_view text) {
    std::u32string out;
    size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        int extra = 0;
        char32_t ch = 0;
        char32_t min = 0;
        if (b < 0x80) {
            ch = b;
        } else if ((b & 0xE0) == 0xC0) {
            extra = 1, ch = b & 0x1F, min = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            extra = 2, ch = b & 0x0F, min = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            extra = 3, ch = b & 0x07, min = 0x10000;
        } else {
            out += 0xFFFD;
            ++i;
            continue;
        }
        bool ok = i + static_cast<size_t>(extra) < text.size();
        size_t j = 1;
        for (; ok && j <= static_cast<size_t>(extra); ++j) {
            const auto c = static_cast<unsigned char>(text[i + j]);
            if ((c & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            ch = (ch << 6) | (c & 0x3F);
        }
        if (!ok || ch < min || ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF)) {
            out += 0xFFFD;
            i += ok ? static_cast<size_t>(extra) + 1 : j;
            continue;
        }
        out += ch;
        i += static_cast<size_t>(extra) + 1;
    }
    return out;
}

}  // namespace corvix::desktop
