// libFuzzer target: display pictures as users and stored settings give them, applied to
// any value and to any typed text. Formatting never fails; a number picture keeps to its
// width; text typed under a picture is either refused or read back as a finite value.
#include <cmath>
#include <cstring>

#include "runtime/date.h"
#include "runtime/picture.h"
#include "tests/fuzz/fuzz_support.h"

namespace rt = corvix::runtime;
using namespace corvix::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // 8 bytes of value (any double, NaN and infinities included), then picture NUL text.
    double value = 0;
    if (size >= sizeof value) {
        std::memcpy(&value, data, sizeof value);
        data += sizeof value;
        size -= sizeof value;
    }
    std::string_view rest = bytes(data, size);
    const std::string_view picture = takePart(rest);
    const std::string_view text = rest;

    for (double v : {value, std::trunc(std::fmod(value, 4e6)), 0.0, -1.0}) {
        std::string shown = rt::formatPicture(v, picture);
        FUZZ_CHECK(shown.size() < (1u << 16));
        std::optional<double> back = rt::deformatPicture(shown, picture);
        if (back) FUZZ_CHECK(!std::isnan(*back));
    }
    std::optional<double> typed = rt::deformatPicture(text, picture);
    if (typed) FUZZ_CHECK(!std::isnan(*typed));

    const int width = rt::pictureTextWidth(picture);
    FUZZ_CHECK(width >= 0);
    const std::string cut = rt::formatText(text, picture);
    if (width > 0) FUZZ_CHECK(rt::charCount(cut) <= static_cast<size_t>(width));
    FUZZ_CHECK(std::string_view(text).substr(0, cut.size()) == cut);
    FUZZ_CHECK(rt::rightTrim(text).size() <= text.size());

    // Dates read from records: any day count maps to a valid date or to none.
    int32_t day = 0;
    if (picture.size() >= 4) std::memcpy(&day, picture.data(), sizeof day);
    int y = 0, m = 0, d = 0;
    if (rt::calendarDate(day, &y, &m, &d)) {
        FUZZ_CHECK(rt::standardDate(y, m, d) == day);
        FUZZ_CHECK(rt::dayOfWeek(day) >= 0 && rt::dayOfWeek(day) <= 6);
    }
    FUZZ_CHECK(rt::fromDateField(rt::toDateField(day)) ==
               (rt::calendarDate(day, &y, &m, &d) ? day : 0));
    return 0;
}
