#include "runtime/picture.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "runtime/date.h"
#include "runtime/qt_services.h"

namespace corvix::runtime {

namespace {

char lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}
bool isDecimalDigit(char c) {
    return c >= '0' && c <= '9';
}

// Pictures come from settings and stored declarations: a width beyond any field is taken
// as the largest one instead of overflowing; decimal places beyond what a double holds
// are cut to 30.
constexpr int kMostPictureWidth = 65535;
constexpr int kMostPlaces = 30;
void addDigit(int& n, char c) {
    n = std::min(n * 10 + (c - '0'), kMostPictureWidth);
}

// Values come from records and typed text: NaN and numbers beyond a day count or a clock
// show as no date or time rather than converting out of range.
int32_t wholeNumber(double value) {
    if (!(value > -2147483648.0 && value < 2147483648.0)) return 0;
    return static_cast<int32_t>(value);
}

struct NumberPicture {
    char sign = 0;  // '-' or '(' or 0
    char fill = 0;  // '0', '_', '*' or 0 (leading zeros suppressed)
    int size = 0;
    char grouping = ',';  // 0 = none
    int places = 0;
    bool blankWhenZero = false;
};

NumberPicture parseNumber(std::string_view p) {
    NumberPicture n;
    size_t i = 2;  // after "@n"
    if (i < p.size() && p[i] == '$') ++i;
    if (i < p.size() && (p[i] == '-' || p[i] == '(')) n.sign = p[i++];
    if (i < p.size() && (p[i] == '0' || p[i] == '_' || p[i] == '*')) {
        n.fill = p[i++];
        n.grouping = 0;
    }
    while (i < p.size() && isDecimalDigit(p[i])) addDigit(n.size, p[i++]);
    if (i < p.size() && (p[i] == '.' || p[i] == '-' || p[i] == '_') &&
        !(p[i] == '.' && i + 1 < p.size() && isDecimalDigit(p[i + 1]))) {
        n.grouping = p[i] == '_' ? ' ' : p[i];
        ++i;
    }
    if (i < p.size() && (p[i] == '.' || p[i] == '`')) {
        ++i;
        while (i < p.size() && isDecimalDigit(p[i])) addDigit(n.places, p[i++]);
        n.places = std::min(n.places, kMostPlaces);
    }
    while (i < p.size()) {
        if (lower(p[i]) == 'b') n.blankWhenZero = true;
        if (p[i] == ')' && n.sign == 0) n.sign = '(';
        ++i;
    }
    return n;
}

std::string formatNumber(double value, std::string_view picture) {
    NumberPicture n = parseNumber(picture);
    if (n.blankWhenZero && value == 0) return std::string(n.size, ' ');
    bool negative = value < 0;
    double magnitude = std::fabs(value);
    if (!std::isfinite(magnitude)) return std::string(std::max(n.size, 1), '#');
    std::string text(static_cast<size_t>(std::snprintf(nullptr, 0, "%.*f", n.places, magnitude)),
                     '\0');
    std::snprintf(text.data(), text.size() + 1, "%.*f", n.places, magnitude);
    std::string integer = text.substr(0, text.find('.'));
    std::string fraction = n.places > 0 ? text.substr(text.find('.')) : "";
    if (n.grouping) {
        std::string grouped;
        for (size_t i = 0; i < integer.size(); ++i) {
            if (i > 0 && (integer.size() - i) % 3 == 0) grouped += n.grouping;
            grouped += integer[i];
        }
        integer = grouped;
    }
    std::string body = integer + fraction;
    std::string prefix, suffix;
    if (negative) {
        if (n.sign == '(') {
            prefix = "(";
            suffix = ")";
        } else {
            prefix = "-";
        }
    }
    int width = n.size > 0 ? n.size : static_cast<int>(body.size() + prefix.size() + suffix.size());
    int used = static_cast<int>(body.size() + prefix.size() + suffix.size());
    if (used > width) return std::string(width, '#');
    std::string out;
    if (n.fill == '0' || n.fill == '*') {
        char f = n.fill;
        out = prefix + std::string(width - used, f) + body + suffix;
    } else {
        out = std::string(width - used, ' ') + prefix + body + suffix;
    }
    return out;
}

std::optional<double> deformatNumber(std::string_view text) {
    std::string digits;
    bool negative = false, seenDigit = false, seenPoint = false;
    for (char c : text) {
        if (isDecimalDigit(c)) {
            digits += c;
            seenDigit = true;
        } else if (c == '.' && !seenPoint) {
            digits += c;
            seenPoint = true;
        } else if (c == '-' || c == '(') {
            negative = true;
        } else if (c == ',' || c == ' ' || c == ')' || c == '*' || c == '$') {
            continue;
        } else {
            return std::nullopt;
        }
    }
    if (!seenDigit) return 0.0;
    double v = std::strtod(digits.c_str(), nullptr);
    return negative ? -v : v;
}

// "@d17b" -> (17, true)
std::pair<int, bool> parseCode(std::string_view p) {
    int code = 0;
    size_t i = 2;
    while (i < p.size() && isDecimalDigit(p[i])) addDigit(code, p[i++]);
    bool blank = false;
    for (; i < p.size(); ++i) blank |= lower(p[i]) == 'b';
    return {code, blank};
}

// Blank text and no date need no locale: Qt (runtime/qt_services.h) is loaded only for the
// others.
bool blankText(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); });
}

std::string formatDate(double value, std::string_view picture) {
    const int32_t date = wholeNumber(value);
    CalendarDay day;
    if (!calendarDate(date, &day.year, &day.month, &day.day))
        return "";  // no date shows blank, with or without b
    return qtServices().formatDate(day, parseCode(picture).first);
}

std::optional<double> deformatDate(std::string_view text, std::string_view picture) {
    if (blankText(text)) return 0.0;
    const std::optional<CalendarDay> day =
        qtServices().deformatDate(text, parseCode(picture).first);
    if (!day) return std::nullopt;
    if (day->year == 0) return 0.0;  // blank
    const int32_t date = standardDate(day->year, day->month, day->day);
    if (date == 0) return std::nullopt;
    return static_cast<double>(date);
}

std::string formatTime(double value, std::string_view picture) {
    auto [code, blank] = parseCode(picture);
    const int32_t clock = wholeNumber(value);
    if (blank && clock == 0) return "";
    if (clock < 0 || clock >= kClockPerDay) return "";
    return qtServices().formatTime(clock, code);
}

std::optional<double> deformatTime(std::string_view text, std::string_view picture) {
    if (blankText(text)) return 0.0;
    const std::optional<int32_t> clock = qtServices().deformatTime(text, parseCode(picture).first);
    if (!clock) return std::nullopt;
    return static_cast<double>(*clock);
}

// "@p<<# daysp" -> "<<# days"
std::string_view patternOf(std::string_view picture) {
    std::string_view body = picture.substr(2);
    if (!body.empty() && lower(body.back()) == 'p') body.remove_suffix(1);
    return body;
}

std::string formatPattern(double value, std::string_view picture) {
    std::string_view pattern = patternOf(picture);
    // No pattern holds more than 18 digits; larger values (and NaN) show as '#'.
    if (!(std::fabs(value) < 1e18)) return std::string(pattern.size(), '#');
    long long v = std::llabs(std::llround(value));
    std::string digits = std::to_string(v);
    int digitSlots = 0;
    for (char c : pattern) digitSlots += (c == '<' || c == '#');
    if (static_cast<int>(digits.size()) > digitSlots) return std::string(pattern.size(), '#');
    std::string padded = std::string(digitSlots - digits.size(), '0') + digits;
    std::string out;
    int k = 0;
    bool leading = true;
    for (char c : pattern) {
        if (c == '<' || c == '#') {
            char d = padded[k++];
            if (c == '<' && leading && d == '0' && k < digitSlots) {
                out += ' ';
            } else {
                leading = false;
                out += d;
            }
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<double> deformatPattern(std::string_view text, std::string_view picture) {
    std::string digits;
    for (char c : text)
        if (isDecimalDigit(c)) digits += c;
    if (digits.empty()) return 0.0;
    return std::strtod(digits.c_str(), nullptr);
}

char kind(std::string_view picture) {
    if (picture.size() < 2 || picture[0] != '@') return 0;
    return lower(picture[1]);
}

}  // namespace

std::string formatPicture(double value, std::string_view picture) {
    switch (kind(picture)) {
        case 'n':
            return formatNumber(value, picture);
        case 'd':
            return formatDate(value, picture);
        case 't':
            return formatTime(value, picture);
        case 'p':
            return formatPattern(value, picture);
        case 's':
            return formatText(formatNumber(value, "@n_"), picture);
        default:
            return formatNumber(value, "@n_");
    }
}

std::string formatText(std::string_view text, std::string_view picture) {
    int width = pictureTextWidth(picture);
    return width > 0 ? cutToChars(text, static_cast<size_t>(width)) : std::string(text);
}

std::optional<double> deformatPicture(std::string_view text, std::string_view picture) {
    switch (kind(picture)) {
        case 'n':
            return deformatNumber(text);
        case 'd':
            return deformatDate(text, picture);
        case 't':
            return deformatTime(text, picture);
        case 'p':
            return deformatPattern(text, picture);
        default:
            return deformatNumber(text);
    }
}

int pictureTextWidth(std::string_view picture) {
    if (kind(picture) != 's') return 0;
    int n = 0;
    for (size_t i = 2; i < picture.size() && isDecimalDigit(picture[i]); ++i)
        addDigit(n, picture[i]);
    return n;
}

}  // namespace corvix::runtime
