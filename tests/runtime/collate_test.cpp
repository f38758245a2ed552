// The short sort keys agree with compareNoCase wherever they decide, and decide most
// pairs of plain texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "runtime/collate.h"

namespace corvix::runtime {
namespace {

int sign(int v) {
    return (v > 0) - (v < 0);
}

// Texts that meet at the edges of a key: lengths around 16, blanks at the end, case
// pairs, characters outside ASCII (some folding onto ASCII letters), NUL bytes.
std::vector<std::string> texts(size_t count) {
    std::vector<std::string> pieces = {
        "a", "A", "b", "Z", "_", "[", " ", "0", "é", "É", "ß", "\xe2\x84\xaa", "k", "K", "ς", "Σ"};
    pieces.emplace_back(1, '\0');
    std::mt19937 rng(11);
    std::vector<std::string> out = {
        "",     " ", "abcdefghijklmnop", "ABCDEFGHIJKLMNOP", "abcdefghijklmnopq", "abcdefghijklmno",
        "abc  "};
    out.push_back(std::string("ab\0c", 4));
    while (out.size() < count) {
        // A shared stem makes the keys meet often; its length crosses the key's end.
        std::string s = std::string("abcdefghijklmnopqrst").substr(0, rng() % 19);
        const int extra = static_cast<int>(rng() % 4);
        for (int i = 0; i < extra; ++i) {
            s += pieces[rng() % pieces.size()];
        }
        if (rng() % 3 == 0)
            std::transform(s.begin(), s.end(), s.begin(), [](char c) {
                return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
            });
        out.push_back(std::move(s));
    }
    return out;
}

TEST(NoCaseKeyTest, AgreesWithTheComparisonWhereverItDecides) {
    const std::vector<std::string> all = texts(400);
    size_t decided = 0, pairs = 0;
    for (const std::string& a : all) {
        const NoCaseKey ka = noCaseKey(a);
        for (const std::string& b : all) {
            ++pairs;
            const std::optional<int> byKey = compareNoCaseKeys(ka, noCaseKey(b));
            if (!byKey) continue;
            ++decided;
            ASSERT_EQ(*byKey, sign(compareNoCase(a, b))) << '"' << a << "\" vs \"" << b << '"';
        }
    }
    // Keys that never decide would pass the check above and save nothing; these texts
    // are made to meet at the keys' edges, plain texts are decided far more often.
    EXPECT_GT(decided, pairs / 2);
}

TEST(NoCaseKeyTest, EdgesOfTheKey) {
    // Sixteen bytes held, the seventeenth tells: only the texts can decide.
    EXPECT_FALSE(compareNoCaseKeys(noCaseKey("abcdefghijklmnopA"), noCaseKey("ABCDEFGHIJKLMNOPb")));
    EXPECT_EQ(compareNoCaseKeys(noCaseKey("abcdefghijklmnop"), noCaseKey("ABCDEFGHIJKLMNOPb")), -1);
    // Trailing blanks never count; a text outside ASCII is left to the texts, even where
    // its character folds onto an ASCII letter (the Kelvin sign is a k).
    EXPECT_EQ(compareNoCaseKeys(noCaseKey("Web  "), noCaseKey("WEB")), 0);
    EXPECT_FALSE(compareNoCaseKeys(noCaseKey("\xe2\x84\xaa"), noCaseKey("k")));
    EXPECT_FALSE(compareNoCaseKeys(noCaseKey("ab\xc3\xa9"), noCaseKey("abz")));
    EXPECT_EQ(compareNoCaseKeys(noCaseKey("ab"), noCaseKey("ab\xc3\xa9")), -1);
    // "_" sorts before the letters of either case, as the comparison has it.
    EXPECT_EQ(compareNoCaseKeys(noCaseKey("_"), noCaseKey("A")), sign(compareNoCase("_", "A")));
}

}  // namespace
}  // namespace corvix::runtime
