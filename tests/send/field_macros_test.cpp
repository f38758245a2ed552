#include <gtest/gtest.h>

#include "send/field_macros.h"
#include "send/text.h"

namespace corvix::send {
namespace {

std::u32string fixed(std::u32string s, size_t n) {
    s.resize(n, U' ');
    return s;
}

TEST(ReplaceToken, ReplacesEveryOccurrenceAndKeepsTheLength) {
    std::u32string b = fixed(U"a-a", 10);
    ReplaceToken(b, U"a", U"[a]", false);
    EXPECT_EQ(b, U"[a]-[a]   ");
}

TEST(ReplaceToken, LongerValuesAreCutAndShorterOnesPadded) {
    std::u32string b = U"abcde";
    ReplaceToken(b, U"b", U"XXXXXX", false);
    EXPECT_EQ(b, U"aXXXX");
    b = U"abcde";
    ReplaceToken(b, U"bc", U"", false);
    EXPECT_EQ(b, U"ade  ");
}

TEST(ReplaceToken, CaseMattersOnlyWithoutTheFlag) {
    std::u32string b = U"[Name]";
    ReplaceToken(b, U"[NAME]", U"bob", false);
    EXPECT_EQ(b, U"[Name]");
    ReplaceToken(b, U"[NAME]", U"bob", true);
    EXPECT_EQ(b, U"bob   ");
}

TEST(ReplaceToken, AValueIsNotSearchedAgainForTheSameToken) {
    std::u32string b = fixed(U"[X]", 12);
    ReplaceToken(b, U"[X]", U"[X][X]", true);
    EXPECT_EQ(b, fixed(U"[X][X]", 12));
}

vault::PasRecord sample() {
    vault::PasRecord a;
    a.Name = "bob";
    a.Password = "s3cret";
    a.Description = "Mail";
    a.URL = "https://example.org";
    a.Custom1 = "c1";
    a.Custom2 = "c2";
    a.Custom3 = "c3";
    a.Notes = "notes";
    a.Category = "Work";
    return a;
}

std::string expand(const vault::PasRecord& a, std::string_view action, std::string_view today) {
    return std::string(ExpandFieldMacros(a, action, today).view());
}

TEST(ExpandFieldMacros, EveryMacroAnyCase) {
    auto a = sample();
    EXPECT_EQ(expand(a, "[name][tab][password][enter]", "06/12/2026"), "bob[tab]s3cret[enter]");
    EXPECT_EQ(expand(a,
                     "[PASSWORD]|[Description]|[NAME]|[url]|[CUSTOM1]|[custom2]|"
                     "[Custom3]|[NOTES]|[category]|[TODAY]",
                     "2026-12-06"),
              "s3cret|Mail|bob|https://example.org|c1|c2|c3|notes|Work|2026-12-06");
}

TEST(ExpandFieldMacros, ValuesLoseTrailingBlanks) {
    auto a = sample();
    a.Name = "bob   ";
    EXPECT_EQ(expand(a, "[name]!", ""), "bob!");
}

TEST(ExpandFieldMacros, LaterMacrosSeeValuesOfEarlierOnes) {
    auto a = sample();
    a.Password = "x[NAME]y";
    EXPECT_EQ(expand(a, "[password]", ""), "xboby");
    a = sample();
    a.Name = "n[PASSWORD]";
    EXPECT_EQ(expand(a, "[name]", ""), "n[PASSWORD]");
    a = sample();
    a.Description = "[name]'s mail";
    EXPECT_EQ(expand(a, "[description]", ""), "bob's mail");
    a = sample();
    a.Name = "on [today]";
    EXPECT_EQ(expand(a, "[name]", "06/12/2026"), "on 06/12/2026");
}

TEST(ExpandFieldMacros, KeyTokensInValuesStayForTheKeyScript) {
    auto a = sample();
    a.Password = "ab[enter]";
    EXPECT_EQ(expand(a, "[password]", ""), "ab[enter]");
}

TEST(ExpandFieldMacros, ExpansionIsCutAtOneThousandTwentyFourCharacters) {
    auto a = sample();
    std::string notes;
    for (int i = 0; i < 10; ++i) notes += "0123456789";
    a.Notes = notes;
    std::string action;
    while (action.size() + 7 <= 255) action += "[NOTES]";
    action += "abc";
    ASSERT_EQ(action.size(), 255u);
    std::string expected;
    for (int i = 0; i < 36; ++i) expected += notes;
    expected.resize(1024);
    EXPECT_EQ(expand(a, action, ""), expected);
}

TEST(ExpandFieldMacros, CutCountsCharactersNotBytes) {
    auto a = sample();
    a.Notes = std::string(204, 'x');
    a.Name = "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9";  // five e-acute
    std::string action;
    for (int i = 0; i < 5; ++i) action += "[notes]";
    action += "[name]";
    std::u32string out = toU32(expand(a, action, ""));
    ASSERT_EQ(out.size(), 1024u);
    EXPECT_EQ(out.substr(0, 1020), std::u32string(1020, U'x'));
    EXPECT_EQ(out.substr(1020), std::u32string(4, U'\u00E9'));
}

TEST(ExpandFieldMacros, TextWithoutMacrosIsUnchanged) {
    EXPECT_EQ(expand(sample(), "plain [tab] text", ""), "plain [tab] text");
    EXPECT_EQ(expand(sample(), "", ""), "");
}

}  // namespace
}  // namespace corvix::send
