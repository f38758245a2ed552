#include "runtime/date.h"

#include <gtest/gtest.h>

using namespace corvix::runtime;

TEST(StandardDate, DayFourIsFirstOfJanuary1801) {
    EXPECT_EQ(standardDate(1801, 1, 1), 4);
    EXPECT_EQ(standardDate(1801, 1, 2), 5);
    EXPECT_EQ(standardDate(1801, 12, 31), 4 + 364);
    int y, m, d;
    ASSERT_TRUE(calendarDate(4, &y, &m, &d));
    EXPECT_EQ(y, 1801);
    EXPECT_EQ(m, 1);
    EXPECT_EQ(d, 1);
}

TEST(StandardDate, OutsideTheRangeIsNoDate) {
    EXPECT_EQ(standardDate(1800, 12, 31), 0);
    EXPECT_EQ(standardDate(10000, 1, 1), 0);
    EXPECT_EQ(standardDate(2001, 2, 29), 0);
    EXPECT_EQ(standardDate(2001, 13, 1), 0);
    EXPECT_EQ(standardDate(2001, 4, 31), 0);
    int y, m, d;
    EXPECT_FALSE(calendarDate(0, &y, &m, &d));
    EXPECT_FALSE(calendarDate(3, &y, &m, &d));
    EXPECT_EQ(y, 0);
}

TEST(StandardDate, LeapYearsFollowTheGregorianRules) {
    EXPECT_TRUE(isLeapYear(2000));
    EXPECT_FALSE(isLeapYear(1900));
    EXPECT_FALSE(isLeapYear(2100));
    EXPECT_TRUE(isLeapYear(2024));
    EXPECT_NE(standardDate(2000, 2, 29), 0);
    EXPECT_EQ(standardDate(1900, 2, 29), 0);
    EXPECT_EQ(standardDate(2024, 3, 1) - standardDate(2024, 2, 28), 2);
    EXPECT_EQ(standardDate(2023, 3, 1) - standardDate(2023, 2, 28), 1);
}

TEST(StandardDate, RoundTripsEveryDayFrom1801To2099) {
    int32_t first = standardDate(1801, 1, 1), last = standardDate(2099, 12, 31);
    int32_t expected = first;
    for (int year = 1801; year <= 2099; ++year)
        for (int month = 1; month <= 12; ++month)
            for (int day = 1; day <= daysInMonth(year, month); ++day) {
                int32_t date = standardDate(year, month, day);
                ASSERT_EQ(date, expected) << year << "-" << month << "-" << day;
                DateField f = toDateField(date);
                ASSERT_EQ(f.year, year);
                ASSERT_EQ(f.month, month);
                ASSERT_EQ(f.day, day);
                ASSERT_EQ(fromDateField(f), date);
                ++expected;
            }
    EXPECT_EQ(expected - 1, last);
}

TEST(StandardDate, BlankDateFieldIsZero) {
    EXPECT_EQ(fromDateField(DateField{}), 0);
    EXPECT_EQ(toDateField(0), DateField{});
    EXPECT_EQ(fromDateField(DateField{31, 2, 2020}), 0);  // no 31 February
}

TEST(StandardDate, DayOfWeek) {
    EXPECT_EQ(dayOfWeek(standardDate(2000, 1, 1)), 6);   // a Saturday
    EXPECT_EQ(dayOfWeek(standardDate(2026, 12, 7)), 1);  // a Monday
    EXPECT_EQ(dayOfWeek(standardDate(1801, 1, 1)), 4);   // a Thursday
    EXPECT_EQ(dayOfWeek(0), -1);
}

TEST(Moment, LaterMomentsCompareGreaterAcrossMidnight) {
    int32_t day = standardDate(2026, 12, 7);
    double beforeMidnight = moment(day, kClockPerDay - 1);
    double afterMidnight = moment(day + 1, 0);
    EXPECT_LT(beforeMidnight, afterMidnight);
    EXPECT_DOUBLE_EQ(moment(day, kClockPerDay / 2), day + 0.5);
    // Ten minutes expressed in days.
    double tenMinutes = 10.0 * 60 * 100 / kClockPerDay;
    EXPECT_NEAR(moment(day + 1, 5 * 60 * 100) - moment(day, kClockPerDay - 5 * 60 * 100),
                tenMinutes, 1e-9);
}

TEST(Clock, TestSourceReplacesTheWallClock) {
    setClockSource([] { return Now{1000, 4200}; });
    EXPECT_EQ(today(), 1000);
    EXPECT_EQ(clockNow(), 4200);
    EXPECT_DOUBLE_EQ(momentNow(), 1000 + 4200.0 / kClockPerDay);
    setClockSource({});
    EXPECT_GT(today(), standardDate(2020, 1, 1));
    EXPECT_GE(clockNow(), 0);
    EXPECT_LT(clockNow(), kClockPerDay);
}
