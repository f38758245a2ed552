// The standard date, the clock and the moment.
//
// Standard date: a day count in which day 4 is 1 January 1801 (so day 1 is
// 29 December 1800); 0 means "no date". Valid dates run from 1 January 1801 to
// 31 December 9999. Clock: hundredths of a second since midnight (0 .. 8,639,999).
// Moment: a real number, standard date + clock / 8,640,000, so that later moments
// compare greater even across midnight.
#pragma once

#include <cstdint>
#include <functional>

namespace corvix::runtime {

constexpr int32_t kClockPerDay = 8'640'000;

// A DATE field as records keep it: day, month, 16-bit year; all zero = blank.
struct DateField {
    uint8_t day = 0;
    uint8_t month = 0;
    uint16_t year = 0;
    bool operator==(const DateField&) const = default;
};

bool isLeapYear(int year);
int daysInMonth(int year, int month);  // 0 for a month outside 1..12

// Day count of a calendar date; 0 when the date is not valid or outside 1801..9999.
int32_t standardDate(int year, int month, int day);
// Calendar parts of a day count; false (and zeros) for 0 or a day outside the range.
bool calendarDate(int32_t date, int* year, int* month, int* day);
int dayOfWeek(int32_t date);  // 0 = Sunday .. 6 = Saturday; -1 for no date

DateField toDateField(int32_t date);        // 0 -> blank field
int32_t fromDateField(const DateField& f);  // blank or invalid -> 0

// Now, from the clock source (the local wall clock unless a test replaced it).
int32_t today();
int32_t clockNow();  // hundredths of a second since local midnight
double momentNow();
double moment(int32_t date, int32_t clock);

// Tests replace the wall clock with a source of (date, clock) pairs.
struct Now {
    int32_t date;
    int32_t clock;
};
void setClockSource(std::function<Now()> source);  // empty function restores the wall clock

}  // namespace corvix::runtime
