// Looking for a text in the upper-cased form of another without building that form:
// what a filter "contains, whatever the case" costs for every record of a full pass.
#include <QChar>
#include <array>
#include <bit>
#include <cstring>

#include "runtime/expression.h"
#include "runtime/utf8.h"

namespace corvix::runtime::expr {

namespace {

// The character at byte i of text, upper-cased; i moves past it. Most text is ASCII.
char32_t upperAt(std::string_view text, size_t& i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
        ++i;
        return b >= 'a' && b <= 'z' ? b - 32 : b;
    }
    return upperChar(decodeUtf8At(text, i));
}

bool restMatches(std::u32string_view rest, std::string_view text, size_t i) {
    for (char32_t wanted : rest) {
        if (i >= text.size() || upperAt(text, i) != wanted) return false;
    }
    return true;
}

// Whether a character beyond ASCII upper-cases to the ASCII character c (the dotless
// i does to I, the long s to S): worked out once over every code point.
bool reachedFromBeyondAscii(char32_t c) {
    static const std::array<bool, 128> reached = [] {
        std::array<bool, 128> r{};
        for (char32_t x = 0x80; x <= 0x10FFFF; ++x) {
            const char32_t u = QChar::toUpper(x);
            if (u < 0x80) r[u] = true;
        }
        return r;
    }();
    return c < 0x80 && reached[c];
}

// The number of characters (as decodeUtf8 counts them) in the first `bytes` bytes.
int64_t charactersIn(std::string_view text, size_t bytes) {
    int64_t n = 0;
    for (size_t i = 0; i < bytes; ++n) decodeUtf8At(text, i);
    return n;
}

constexpr uint64_t kLows = 0x7F7F7F7F7F7F7F7FULL;

// The high bit of each byte of word that equals the byte of pattern, and no other.
uint64_t equalBytes(uint64_t word, uint64_t pattern) {
    const uint64_t x = word ^ pattern;
    return ~(((x & kLows) + kLows) | x | kLows);
}

// Only an ASCII byte can start a match of a needle whose first character is ASCII
// and reached from no character beyond ASCII; an ASCII byte always starts a character,
// well-formed text or not. So the bytes equal to that character or its small letter
// are looked for, eight at a time, and characters are counted only for a match.
int64_t findAsciiStart(std::u32string_view needle, std::string_view text) {
    const char32_t first = needle.front();
    const auto big = static_cast<unsigned char>(first);
    const auto small =
        static_cast<unsigned char>(first >= 'A' && first <= 'Z' ? first + 32 : first);
    const uint64_t bigs = 0x0101010101010101ULL * big, smalls = 0x0101010101010101ULL * small;
    const std::u32string_view rest = needle.substr(1);
    const char* data = text.data();
    const size_t size = text.size();
    size_t i = 0;
    while (size - i >= needle.size()) {
        if (std::endian::native == std::endian::little && size - i >= 8) {
            uint64_t w;
            std::memcpy(&w, data + i, 8);
            const uint64_t hits = equalBytes(w, bigs) | equalBytes(w, smalls);
            if (!hits) {
                i += 8;
                continue;
            }
            i += static_cast<size_t>(std::countr_zero(hits)) / 8;  // the first hit
            if (size - i < needle.size()) break;
        }
        const auto b = static_cast<unsigned char>(data[i]);
        ++i;
        if ((b == big || b == small) && restMatches(rest, text, i))
            return charactersIn(text, i - 1) + 1;
    }
    return 0;
}

}  // namespace

char32_t upperChar(char32_t c) {
    if (c < 0x80) return c >= 'a' && c <= 'z' ? c - 32 : c;
    return QChar::toUpper(c);
}

int64_t findInUpper(std::u32string_view needle, std::string_view text) {
    if (needle.empty()) return 1;
    const char32_t first = needle.front();
    if (first < 0x80 && !(first >= 'a' && first <= 'z') && !reachedFromBeyondAscii(first))
        return findAsciiStart(needle, text);
    const std::u32string_view rest = needle.substr(1);
    int64_t position = 0;
    size_t i = 0;
    // Every character takes a byte at least: fewer bytes left than characters wanted
    // end the search.
    while (text.size() - i >= needle.size()) {
        ++position;
        if (upperAt(text, i) == first && restMatches(rest, text, i)) return position;
    }
    return 0;
}

}  // namespace corvix::runtime::expr
