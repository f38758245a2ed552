#include "runtime/picture.h"

#include <gtest/gtest.h>

#include <cmath>

#include "runtime/date.h"

using namespace corvix::runtime;

TEST(TextPicture, CutsToWidthInWholeCharacters) {
    EXPECT_EQ(formatText("abcdef", "@s3"), "abc");
    EXPECT_EQ(formatText("ab", "@s30"), "ab");
    EXPECT_EQ(formatText("\xC3\xA9\xC3\xA9\xC3\xA9", "@s2"), "\xC3\xA9\xC3\xA9");  // "éé"
    EXPECT_EQ(pictureTextWidth("@s30"), 30);
    EXPECT_EQ(pictureTextWidth("@S255"), 255);
    EXPECT_EQ(pictureTextWidth("@n3"), 0);
    EXPECT_EQ(charCount("a\xE2\x82\xAC"
                        "b"),
              3u);  // "a€b"
    EXPECT_EQ(cutToChars("a\xE2\x82\xAC"
                         "b",
                         2),
              "a\xE2\x82\xAC");
    EXPECT_EQ(rightTrim("ab  "), "ab");
    EXPECT_EQ(rightTrim("   "), "");
}

TEST(NumberPicture, SizesSignsAndGrouping) {
    EXPECT_EQ(formatPicture(5, "@n2"), " 5");
    EXPECT_EQ(formatPicture(42, "@n2"), "42");
    EXPECT_EQ(formatPicture(255, "@n2"), "##");  // too wide
    EXPECT_EQ(formatPicture(7, "@n3"), "  7");
    EXPECT_EQ(formatPicture(3, "@n1"), "3");
    EXPECT_EQ(formatPicture(12345, "@n-14"), "        12,345");
    EXPECT_EQ(formatPicture(-12345, "@n-14"), "       -12,345");
    EXPECT_EQ(formatPicture(1234567, "@n-14"), "     1,234,567");
    EXPECT_EQ(formatPicture(0, "@n-14"), "             0");
}

TEST(NumberPicture, BlankWhenZeroAndFill) {
    EXPECT_EQ(formatPicture(0, "@n_3b"), "   ");
    EXPECT_EQ(formatPicture(90, "@n_3b"), " 90");
    EXPECT_EQ(formatPicture(1000, "@n_3b"), "###");
    EXPECT_EQ(formatPicture(42, "@n05"), "00042");
    EXPECT_EQ(formatPicture(1234, "@n_6"), "  1234");  // a fill suppresses grouping
}

TEST(NumberPicture, Deformat) {
    EXPECT_EQ(deformatPicture("  12,345", "@n-14"), 12345);
    EXPECT_EQ(deformatPicture("-7", "@n-14"), -7);
    EXPECT_EQ(deformatPicture("", "@n_3b"), 0);
    EXPECT_EQ(deformatPicture(" 90", "@n_3b"), 90);
    EXPECT_FALSE(deformatPicture("12x", "@n3").has_value());
}

TEST(DatePicture, FormatsAndReadsBack) {
    int32_t d = standardDate(2024, 2, 29);
    EXPECT_EQ(formatPicture(d, "@d6"), "29/02/2024");
    EXPECT_EQ(deformatPicture("29/02/2024", "@d6"), d);
    EXPECT_EQ(formatPicture(standardDate(1801, 1, 1), "@d6"), "01/01/1801");
    EXPECT_EQ(formatPicture(standardDate(2099, 12, 31), "@d6"), "31/12/2099");
    // @d17 follows the locale's short date and reads its own output back.
    std::string shown = formatPicture(d, "@d17");
    EXPECT_FALSE(shown.empty());
    EXPECT_EQ(deformatPicture(shown, "@d17"), d);
    int32_t early = standardDate(1801, 3, 4);
    EXPECT_EQ(deformatPicture(formatPicture(early, "@d6"), "@d6"), early);
}

TEST(DatePicture, BlankDatesAndBadInput) {
    EXPECT_EQ(formatPicture(0, "@d17b"), "");
    EXPECT_EQ(formatPicture(0, "@d17"), "");
    EXPECT_EQ(deformatPicture("", "@d17b"), 0);
    EXPECT_FALSE(deformatPicture("31/02/2024", "@d6").has_value());
    EXPECT_FALSE(deformatPicture("hello", "@d17").has_value());
    EXPECT_FALSE(deformatPicture("01/01/1700", "@d6").has_value());  // before 1801
}

TEST(TimePicture, Formats) {
    int32_t halfPastFive = (17 * 3600 + 30 * 60 + 15) * 100;
    EXPECT_EQ(formatPicture(halfPastFive, "@t4"), "17:30:15");
    EXPECT_EQ(formatPicture(halfPastFive, "@t3"), "5:30PM");
    EXPECT_EQ(formatPicture(0, "@t3"), "12:00AM");
    EXPECT_EQ(formatPicture(12 * 3600 * 100, "@t3"), "12:00PM");
    EXPECT_FALSE(formatPicture(halfPastFive, "@t7").empty());
    EXPECT_EQ(deformatPicture("17:30:15", "@t4"), halfPastFive);
    EXPECT_EQ(deformatPicture("5:30PM", "@t3"), (17 * 3600 + 30 * 60) * 100);
    EXPECT_EQ(deformatPicture(formatPicture(halfPastFive - 1500, "@t7"), "@t7"),
              (17 * 3600 + 30 * 60) * 100);
    EXPECT_FALSE(deformatPicture("25:99", "@t4").has_value());
}

TEST(PatternPicture, DaysInterval) {
    EXPECT_EQ(formatPicture(5, "@p<<# daysp"), "  5 days");
    EXPECT_EQ(formatPicture(0, "@p<<# daysp"), "  0 days");
    EXPECT_EQ(formatPicture(120, "@p<<# daysp"), "120 days");
    EXPECT_EQ(formatPicture(45, "@P<<# DaysP"), " 45 Days");
    EXPECT_EQ(formatPicture(1000, "@p<<# daysp"), "########");
    EXPECT_EQ(deformatPicture(" 45 days", "@p<<# daysp"), 45);
}

// Values from damaged records and pictures from edited settings: shown as no value or as
// '#', never converted out of range or allocated beyond any field.
TEST(Picture, OutOfRangeValuesAndOversizedPictures) {
    const double nan = std::nan(""), huge = 1e300;
    for (const char* picture : {"@d6", "@d17", "@t4", "@t3b"}) {
        EXPECT_EQ(formatPicture(nan, picture), formatPicture(0, picture)) << picture;
        EXPECT_EQ(formatPicture(-huge, picture), formatPicture(0, picture)) << picture;
    }
    EXPECT_EQ(formatPicture(nan, "@d6"), "");
    EXPECT_EQ(formatPicture(nan, "@p<<#p"), "###");
    EXPECT_EQ(formatPicture(-9.3e18, "@p<<#p"), "###");
    EXPECT_EQ(formatPicture(huge, "@n6"), "######");
    EXPECT_EQ(formatPicture(1.5, "@n99999999999999999999"), std::string(65535 - 1, ' ') + "2");
    EXPECT_EQ(formatPicture(2.25, "@n_40.99999999999"),
              std::string(8, ' ') + "2.25" + std::string(28, '0'));
    EXPECT_EQ(pictureTextWidth("@s99999999999999"), 65535);
}
