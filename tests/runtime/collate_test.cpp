// compareNoCase gives the answers it gave before its shortcuts; the short sort keys agree with it
// wherever they decide, and decide most pairs of plain texts.
#include <gtest/gtest.h>

#include <QString>

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

// The comparison as it was before its shortcuts: trailing blanks dropped, plain ASCII
// byte by byte, and from the first byte outside ASCII both whole texts decoded and
// compared with Qt's case folding. Keys already stored are in this order.
int folded(std::string_view a, std::string_view b) {
    while (!a.empty() && a.back() == ' ') a.remove_suffix(1);
    while (!b.empty() && b.back() == ' ') b.remove_suffix(1);
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        auto ca = static_cast<unsigned char>(a[i]);
        auto cb = static_cast<unsigned char>(b[i]);
        if ((ca | cb) & 0x80) {
            const QString qa = QString::fromUtf8(a.data(), static_cast<qsizetype>(a.size()));
            const QString qb = QString::fromUtf8(b.data(), static_cast<qsizetype>(b.size()));
            return sign(qa.compare(qb, Qt::CaseInsensitive));
        }
        if (ca >= 'A' && ca <= 'Z') ca += 32;
        if (cb >= 'A' && cb <= 'Z') cb += 32;
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return sign(static_cast<int>(a.size()) - static_cast<int>(b.size()));
}

TEST(CompareNoCaseTest, ShortcutsKeepEveryAnswer) {
    // Characters whose folding is special (Kelvin sign, long s, sharp s and its capital,
    // dotless and dotted i, final sigma), combining marks, emoji, a byte-order mark,
    // private-use and last BMP characters (UTF-16 orders them after the emoji's
    // surrogates), broken sequences, NUL; after long common beginnings of either case.
    const std::vector<std::string> pieces = {"k",
                                             "K",
                                             "\xe2\x84\xaa",
                                             "s",
                                             "S",
                                             "\xc5\xbf",
                                             "ss",
                                             "\xc3\x9f",
                                             "\xe1\xba\x9e",
                                             "i",
                                             "I",
                                             "\xc4\xb1",
                                             "\xc4\xb0",
                                             "\xcf\x82",
                                             "\xcf\x83",
                                             "\xce\xa3",
                                             "e\xcc\x81",
                                             "\xc3\xa9",
                                             "\xc3\x89",
                                             "\xf0\x9f\x94\x91",
                                             "\xf0\x9f\x98\x80",
                                             "\xef\xbb\xbf",
                                             "\xee\x80\x80",
                                             "\xef\xbf\xbd",
                                             "\xff",
                                             "\xc3",
                                             "\xe2\x84",
                                             " ",
                                             "_",
                                             "z",
                                             "Z",
                                             "0"};
    std::vector<std::string> all = {"", " ", "  ", "\xef\xbb\xbf", "\xef\xbb\xbfk"};
    all.push_back(std::string(1, '\0'));
    std::mt19937 rng(17);
    const std::string stem = "Account number 1234567890 of the Family ";
    while (all.size() < 420) {
        std::string s = stem.substr(0, rng() % (stem.size() + 1));
        if (rng() % 2)
            std::transform(s.begin(), s.end(), s.begin(), [](char c) {
                return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
            });
        const int extra = static_cast<int>(rng() % 4);
        for (int i = 0; i < extra; ++i) s += pieces[rng() % pieces.size()];
        all.push_back(std::move(s));
    }
    size_t foldedAlike = 0;
    for (const std::string& a : all)
        for (const std::string& b : all) {
            const int want = folded(a, b);
            ASSERT_EQ(sign(compareNoCase(a, b)), want) << '"' << a << "\" vs \"" << b << '"';
            if (want == 0 && a != b) ++foldedAlike;
        }
    // Different texts that fold alike (cases, Kelvin sign and k, long s and s) were met.
    EXPECT_GT(foldedAlike, 100u);
    EXPECT_EQ(compareNoCase("\xe2\x84\xaa", "k"), 0);
    EXPECT_EQ(compareNoCase(stem + "\xc5\xbf", stem + "S  "), 0);
    EXPECT_LT(compareNoCase(stem + "\xc3\xa9" "a", stem + "\xc3\x89" "b"), 0);
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
