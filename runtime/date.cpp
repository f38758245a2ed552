#include "runtime/date.h"

#include <sys/time.h>
#include <ctime>

namespace corvix::runtime {

namespace {

// Days from 1 March of year 0 in the proleptic Gregorian calendar; shifting the year
// to start in March puts the leap day at the end, which keeps the arithmetic plain.
int64_t civilDays(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe);
}

void civilFromDays(int64_t z, int* year, int* month, int* day) {
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t y = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    *year = static_cast<int>(y + (m <= 2));
    *month = static_cast<int>(m);
    *day = static_cast<int>(d);
}

const int64_t kDay4 = civilDays(1801, 1, 1);  // standard date 4
constexpr int kFirstYear = 1801;
constexpr int kLastYear = 9999;

std::function<Now()>& clockSource() {
    static std::function<Now()> source;
    return source;
}

Now wallClock() {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    std::tm local{};
    time_t secs = tv.tv_sec;
    localtime_r(&secs, &local);
    Now now;
    now.date = standardDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    now.clock = (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) * 100 +
                static_cast<int32_t>(tv.tv_usec / 10000);
    return now;
}

Now now() {
    return clockSource() ? clockSource()() : wallClock();
}

}  // namespace

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

int32_t standardDate(int year, int month, int day) {
    if (year < kFirstYear || year > kLastYear) return 0;
    if (day < 1 || day > daysInMonth(year, month)) return 0;
    return static_cast<int32_t>(civilDays(year, month, day) - kDay4 + 4);
}

bool calendarDate(int32_t date, int* year, int* month, int* day) {
    *year = *month = *day = 0;
    if (date < 4) return false;
    int y, m, d;
    civilFromDays(kDay4 + date - 4, &y, &m, &d);
    if (y > kLastYear) return false;
    *year = y;
    *month = m;
    *day = d;
    return true;
}

int dayOfWeek(int32_t date) {
    if (date < 4) return -1;
    // 1 January 1801 (day 4) was a Thursday.
    return static_cast<int>((date - 4 + 4) % 7);
}

DateField toDateField(int32_t date) {
    int y, m, d;
    if (!calendarDate(date, &y, &m, &d)) return {};
    return DateField{static_cast<uint8_t>(d), static_cast<uint8_t>(m), static_cast<uint16_t>(y)};
}

int32_t fromDateField(const DateField& f) {
    return standardDate(f.year, f.month, f.day);
}

int32_t today() {
    return now().date;
}
int32_t clockNow() {
    return now().clock;
}

double moment(int32_t date, int32_t clock) {
    return static_cast<double>(date) + static_cast<double>(clock) / kClockPerDay;
}

double momentNow() {
    Now n = now();
    return moment(n.date, n.clock);
}

void setClockSource(std::function<Now()> source) {
    clockSource() = std::move(source);
}

}  // namespace corvix::runtime
