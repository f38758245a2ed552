#include "runtime/utf8.h"

#include <gtest/gtest.h>

using namespace corvix::runtime;

TEST(Utf8, RoundTripsEveryLength) {
    std::string text = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x94\x91";  // "Aé€🔑"
    std::u32string chars = decodeUtf8(text);
    EXPECT_EQ(chars, (std::u32string{U'A', U'\u00E9', U'\u20AC', U'\U0001F511'}));
    EXPECT_EQ(encodeUtf8(chars), text);
}

TEST(Utf8, MalformedBytesBecomeReplacementCharacters) {
    // A stray continuation byte, a lead byte cut off at the end, a lead byte followed by
    // an ASCII letter: each bad byte is one U+FFFD and decoding goes on.
    EXPECT_EQ(decodeUtf8("a\x80"
                         "b"),
              (std::u32string{U'a', 0xFFFD, U'b'}));
    EXPECT_EQ(decodeUtf8("a\xC3"), (std::u32string{U'a', 0xFFFD}));
    EXPECT_EQ(decodeUtf8("\xE2"
                         "ab"),
              (std::u32string{0xFFFD, U'a', U'b'}));
    EXPECT_EQ(decodeUtf8("\xFF"), (std::u32string{0xFFFD}));
    EXPECT_EQ(decodeUtf8(""), std::u32string{});
}

TEST(Utf8, ValidityRefusesStrayOverlongSurrogateAndCutSequences) {
    EXPECT_TRUE(isValidUtf8("A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x94\x91"));
    EXPECT_TRUE(isValidUtf8(""));
    for (const char* bad : {"a\xff"
                            "b\xc3",
                            "\x80", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82"})
        EXPECT_FALSE(isValidUtf8(bad)) << bad;
}

// A cut to a field's length keeps user-perceived characters whole.
TEST(Utf8, CutsNeverSplitAUserPerceivedCharacter) {
    const std::string family =
        "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F"
        "\x91\xA7";  // man ZWJ woman ZWJ girl: 5 code points
    EXPECT_EQ(graphemePrefixBytes("ab" + family, 4), 2u);
    EXPECT_EQ(graphemePrefixBytes("ab" + family, 7), 2u + family.size());
    const std::string eAcute = "e\xCC\x81";  // e + combining acute accent
    EXPECT_EQ(graphemePrefixBytes("caf" + eAcute + "s", 4), 3u);
    EXPECT_EQ(graphemePrefixBytes("caf" + eAcute + "s", 5), 3u + eAcute.size());
    EXPECT_EQ(graphemePrefixBytes("plain text", 5), 5u);
    EXPECT_EQ(graphemePrefixBytes("plain text", 0), 0u);
    EXPECT_EQ(graphemePrefixBytes("ab\r\ncd", 3), 2u);  // a line break is never cut in two
    EXPECT_EQ(graphemePrefixBytes("ab\r\ncd", 4), 4u);
    EXPECT_EQ(graphemePrefixBytes("cafe" + eAcute.substr(1), 4), 3u);  // accent after the cut
    EXPECT_EQ(graphemePrefixBytes("a\xff"
                                  "bc",
                                  2),
              2u);  // malformed: by code point
}
