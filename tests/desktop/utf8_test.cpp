#include "platform/desktop/utf8.h"

#include <gtest/gtest.h>

namespace corvix::desktop {
namespace {

TEST(Utf8, RoundTripsEveryLength) {
    const std::u32string text = U"A\u00e9\u20ac\U0001F511z";
    std::string bytes = toUtf8(text);
    EXPECT_EQ(bytes, "A\xc3\xa9\xe2\x82\xac\xf0\x9f\x94\x91z");
    EXPECT_EQ(fromUtf8(bytes), text);
}

TEST(Utf8, MalformedInputBecomesReplacementCharacters) {
    EXPECT_EQ(fromUtf8("a\xff"
                       "b"),
              U"a\uFFFDb");
    EXPECT_EQ(fromUtf8("\xc3"), U"\uFFFD");  // cut short at the end
    EXPECT_EQ(fromUtf8("\xe2\x82"
                       "x"),
              U"\uFFFDx");                           // cut short before a letter
    EXPECT_EQ(fromUtf8("\xc0\xaf"), U"\uFFFD");      // overlong '/'
    EXPECT_EQ(fromUtf8("\xed\xa0\x80"), U"\uFFFD");  // a surrogate
    EXPECT_EQ(toUtf8(std::u32string(1, char32_t{0x110000})), "\xef\xbf\xbd");
}

}  // namespace
}  // namespace corvix::desktop
