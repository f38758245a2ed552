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
