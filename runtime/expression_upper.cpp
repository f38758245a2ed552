// UPPER without the upper-cased copy: looking for a text in it ("contains, whatever the
// case") and comparing a piece of it with a constant ("begins with", "equals"), which a
// filter does for every record of a full pass.
#include <algorithm>
#include <bit>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "runtime/expression.h"
#include "runtime/qt_services.h"
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

// Whether a character beyond ASCII upper-cases to the ASCII character c: the dotless i
// does to I and the long s to S, and no other (a test checks every code point), so an
// ASCII needle is looked for without loading the Unicode tables.
bool reachedFromBeyondAscii(char32_t c) {
    return c == 'I' || c == 'S';
}

// The number of characters (as decodeUtf8 counts them) in the first `bytes` bytes.
int64_t charactersIn(std::string_view text, size_t bytes) {
    int64_t n = 0;
    for (size_t i = 0; i < bytes; ++n) decodeUtf8At(text, i);
    return n;
}

}  // namespace

char32_t upperChar(char32_t c) {
    if (c < 0x80) return c >= 'a' && c <= 'z' ? c - 32 : c;
    return qtServices().upperChar(c);
}

// Only an ASCII byte can start a match of a needle whose first character is ASCII and
// reached from no character beyond ASCII (nor a small letter, which no upper case
// gives): an ASCII byte always starts a character, well-formed text or not. Such
// needles look for the bytes equal to that character or its small letter, sixteen at
// a time where the processor compares so many at once, and count characters only for
// a match.
UpperFinder::UpperFinder(std::string_view needle) : needle_(decodeUtf8(needle)) {
    if (needle_.empty()) return;
    const char32_t first = needle_.front();
    asciiStart_ = first < 0x80 && !(first >= 'a' && first <= 'z') && !reachedFromBeyondAscii(first);
    big_ = static_cast<char>(first);
    small_ = static_cast<char>(first >= 'A' && first <= 'Z' ? first + 32 : first);
}

int64_t UpperFinder::find(std::string_view text) const {
    if (needle_.empty()) return 1;
    return asciiStart_ ? findAsciiStart(text) : findAnywhere(text);
}

int64_t UpperFinder::findAnywhere(std::string_view text) const {
    const char32_t first = needle_.front();
    const std::u32string_view rest = std::u32string_view(needle_).substr(1);
    int64_t position = 0;
    size_t i = 0;
    // Every character takes a byte at least: fewer bytes left than characters wanted
    // end the search.
    while (text.size() - i >= needle_.size()) {
        ++position;
        if (upperAt(text, i) == first && restMatches(rest, text, i)) return position;
    }
    return 0;
}

int64_t UpperFinder::findAsciiStart(std::string_view text) const {
    const std::u32string_view rest = std::u32string_view(needle_).substr(1);
    const char* data = text.data();
    const size_t size = text.size(), wanted = needle_.size();
    if (size < wanted) return 0;
    // The needle starts at byte `at`: 0 when it does not go on there, else its position.
    auto matchAt = [&](size_t at) -> int64_t {
        if (size - at < wanted || !restMatches(rest, text, at + 1)) return 0;
        return charactersIn(text, at) + 1;
    };
#if defined(__SSE2__)
    if (size >= 16) {
        const __m128i bigs = _mm_set1_epi8(big_), smalls = _mm_set1_epi8(small_);
        auto hitsAt = [&](size_t at) {
            const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
            return static_cast<unsigned>(_mm_movemask_epi8(
                _mm_or_si128(_mm_cmpeq_epi8(w, bigs), _mm_cmpeq_epi8(w, smalls))));
        };
        // The last sixteen bytes are read once more, overlapping: the bytes already
        // looked at are masked out.
        for (size_t i = 0; i < size; i += 16) {
            const size_t at = std::min(i, size - 16);
            for (unsigned hits = hitsAt(at) & (~0u << (i - at)); hits; hits &= hits - 1) {
                const size_t hit = at + static_cast<size_t>(std::countr_zero(hits));
                if (size - hit < wanted) return 0;
                if (const int64_t p = matchAt(hit)) return p;
            }
        }
        return 0;
    }
#endif
    for (size_t i = 0; size - i >= wanted; ++i) {
        if (data[i] == big_ || data[i] == small_) {
            if (const int64_t p = matchAt(i)) return p;
        }
    }
    return 0;
}

int compareUpper(std::string_view text, int64_t start, int64_t length, std::string_view other) {
    // The bytes of the characters wanted, without trailing blanks (one byte each).
    auto skip = [&text](size_t& i) {
        if (static_cast<unsigned char>(text[i]) < 0x80)
            ++i;
        else
            decodeUtf8At(text, i);
    };
    size_t begin = 0;
    for (int64_t n = 1; n < start && begin < text.size(); ++n) skip(begin);
    size_t end = begin;
    if (length < 0) {
        end = text.size();
    } else {
        for (int64_t n = 0; n < length && end < text.size(); ++n) skip(end);
    }
    while (end > begin && text[end - 1] == ' ') --end;
    // Byte by byte, as two UTF-8 texts compare; a character beyond ASCII is upper-cased
    // and written out again (a damaged byte as U+FFFD) as upperText has it.
    const std::string_view piece = text.substr(0, end);
    size_t j = 0;
    auto step = [&](unsigned char b) {
        if (j == other.size()) return 1;
        const auto o = static_cast<unsigned char>(other[j++]);
        return b == o ? 0 : (b < o ? -1 : 1);
    };
    for (size_t i = begin; i < end;) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {
            ++i;
            if (const int c = step(b >= 'a' && b <= 'z' ? b - 32 : b)) return c;
            continue;
        }
        const char32_t upper = upperChar(decodeUtf8At(piece, i));
        for (char u : encodeUtf8(std::u32string_view(&upper, 1))) {
            if (const int c = step(static_cast<unsigned char>(u))) return c;
        }
    }
    return j == other.size() ? 0 : -1;
}

}  // namespace corvix::runtime::expr
