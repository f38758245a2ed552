#include "runtime/collate.h"

#include <algorithm>

#include "runtime/qt_services.h"

namespace corvix::runtime {

int compareNoCase(std::string_view a, std::string_view b) {
    while (!a.empty() && a.back() == ' ') a.remove_suffix(1);
    while (!b.empty() && b.back() == ' ') b.remove_suffix(1);
    // Plain ASCII compares byte by byte; the first non-ASCII byte hands the rest to
    // Unicode case folding.
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        auto ca = static_cast<unsigned char>(a[i]);
        auto cb = static_cast<unsigned char>(b[i]);
        if ((ca | cb) & 0x80) {
            return qtServices().compareNoCase(a, b);
        }
        if (ca >= 'A' && ca <= 'Z') ca += 32;
        if (cb >= 'A' && cb <= 'Z') cb += 32;
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    // The shorter one may still continue with non-ASCII text: that sorts after every
    // ASCII character in both paths, so length decides.
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

NoCaseKey noCaseKey(std::string_view text) {
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    NoCaseKey key;
    unsigned char bytes[16] = {};
    size_t n = 0;
    while (n < text.size() && n < sizeof bytes) {
        auto c = static_cast<unsigned char>(text[n]);
        if (c == 0 || (c & 0x80)) break;
        bytes[n++] = c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c;
    }
    for (size_t i = 0; i < 8; ++i) {
        key.high = key.high << 8 | bytes[i];
        key.low = key.low << 8 | bytes[i + 8];
    }
    key.length = static_cast<uint8_t>(n);
    key.whole = n == text.size();
    return key;
}

}  // namespace corvix::runtime
