#include "runtime/collate.h"

#include <algorithm>
#include <cstring>

#include "runtime/qt_services.h"

namespace corvix::runtime {

namespace {

bool startsWithByteOrderMark(std::string_view text) {
    return text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF";
}

// Unicode case folding of a and b from byte `from` on, where both hold the same plain
// ASCII before it (so `from` is a character boundary in both and the folded beginnings
// are equal): the rest alone decides, as it would comparing the whole texts. Only a byte
// order mark right at `from` would read differently at the start of a text (decoding drops
// it there), so then the whole texts go.
int foldedFrom(std::string_view a, std::string_view b, size_t from) {
    std::string_view restA = a.substr(from), restB = b.substr(from);
    if (from > 0 && (startsWithByteOrderMark(restA) || startsWithByteOrderMark(restB)))
        return qtServices().compareNoCase(a, b);
    return qtServices().compareNoCase(restA, restB);
}

}  // namespace

int compareNoCase(std::string_view a, std::string_view b) {
    while (!a.empty() && a.back() == ' ') a.remove_suffix(1);
    while (!b.empty() && b.back() == ' ') b.remove_suffix(1);
    const size_t n = std::min(a.size(), b.size());
    size_t i = 0;
    // Eight bytes at a time while both texts hold the same plain ASCII (keys sorted
    // together share long beginnings).
    constexpr uint64_t kHighBits = 0x8080808080808080ull;
    for (; i + 8 <= n; i += 8) {
        uint64_t wa, wb;
        std::memcpy(&wa, a.data() + i, 8);
        std::memcpy(&wb, b.data() + i, 8);
        if (wa != wb || (wa & kHighBits)) break;
    }
    // Plain ASCII compares byte by byte; the first non-ASCII byte hands the rest to
    // Unicode case folding.
    for (; i < n; ++i) {
        auto ca = static_cast<unsigned char>(a[i]);
        auto cb = static_cast<unsigned char>(b[i]);
        if ((ca | cb) & 0x80) return foldedFrom(a, b, i);
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
