// The one comparison for names the user sees as the same: key values, the links between
// tables, field rules and filters. Letter case never counts (beyond ASCII too: Ä = ä,
// Σ = σ = ς), nor do trailing blanks. The storage's key collation is this function, so a
// search in the files and a comparison in memory always agree.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace corvix::runtime {

// <0, 0 or >0, as a sorts before, with or after b.
int compareNoCase(std::string_view a, std::string_view b);

inline bool sameNoCase(std::string_view a, std::string_view b) {
    return compareNoCase(a, b) == 0;
}

// A short sort key for compareNoCase, for sorting many texts: the first bytes of a
// text's plain-ASCII beginning (up to 16, letters in lower case, ending before the first
// byte outside ASCII or a NUL), packed big-endian so that two integer comparisons order
// most pairs. Only where two keys cannot tell (the same beginning, and neither text
// ends within it) must the texts themselves be compared.
struct NoCaseKey {
    uint64_t high = 0, low = 0;  // bytes 0-7 and 8-15, zero after the last one held
    uint8_t length = 0;          // bytes held
    bool whole = false;          // the key holds the whole text (trailing blanks aside)
};

NoCaseKey noCaseKey(std::string_view text);

// compareNoCase's answer (-1, 0 or 1) from the keys alone, or nothing where the texts
// must decide.
inline std::optional<int> compareNoCaseKeys(const NoCaseKey& a, const NoCaseKey& b) {
    if (a.high != b.high || a.low != b.low) {
        const bool aFirst = a.high != b.high ? a.high < b.high : a.low < b.low;
        // Held bytes are never zero, so the first difference is either within both keys
        // (ASCII against ASCII: the integers order them) or where the shorter key ends.
        const uint64_t diff = a.high != b.high ? a.high ^ b.high : a.low ^ b.low;
        const int at = (a.high != b.high ? 0 : 8) + __builtin_clzll(diff) / 8;
        const NoCaseKey& shorter = a.length < b.length ? a : b;
        if (at < shorter.length || shorter.whole) return aFirst ? -1 : 1;
        return std::nullopt;  // the shorter text goes on with a character outside ASCII
    }
    // Same bytes held: a whole text is a beginning of a longer one.
    if (a.whole || b.whole) return a.whole == b.whole ? 0 : (a.whole ? -1 : 1);
    return std::nullopt;
}

}  // namespace corvix::runtime
