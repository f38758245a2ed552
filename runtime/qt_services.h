// What the runtime takes from Qt Core: Unicode letter case and grapheme boundaries, and
// the system locale's dates and times. Qt Core with ICU costs a short-lived process more
// to load than its whole work, and most corvix-cli commands never need any of this (plain
// ASCII takes the runtime's own paths), so it lives in libcorvix_runtime_qt.so
// (runtime/qt/), beside this library, loaded at the first call that needs it. A program
// that runs Qt anyway loads it at no cost worth naming.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvix::runtime {

struct CalendarDay {
    int year = 0, month = 0, day = 0;
};

struct QtServices {
    // <0, 0 or >0, comparing as QString::compare without letter case (both UTF-8).
    int (*compareNoCase)(std::string_view a, std::string_view b);
    // Bytes of the first `chars` characters of valid UTF-8 text, never cutting a
    // grapheme cluster (see graphemePrefixBytes in utf8.h).
    size_t (*graphemePrefixBytes)(std::string_view text, size_t chars);
    char32_t (*upperChar)(char32_t c);            // one character to one
    std::string (*upper)(std::string_view utf8);  // the whole text, as Qt maps it
    std::string (*lower)(std::string_view utf8);
    // Pictures @d (a calendar day) and @t (a time: hundredths since midnight) by their
    // number (@d17 -> 17); blank when there is no such time.
    std::string (*formatDate)(CalendarDay day, int code);
    std::string (*formatTime)(int32_t clock, int code);
    // Nothing when the text is no date or time; year 0 and time 0 for blank text.
    std::optional<CalendarDay> (*deformatDate)(std::string_view text, int code);
    std::optional<int32_t> (*deformatTime)(std::string_view text, int code);
};

// Loads the plugin on first use (thread-safe). A plugin that cannot be loaded is a broken
// installation: the process ends with a message naming it.
const QtServices& qtServices();

// The entry point of the plugin.
using QtServicesEntry = const QtServices*();
constexpr const char* kQtServicesSymbol = "corvix_runtime_qt_services";
constexpr const char* kQtServicesLibrary = "libcorvix_runtime_qt.so";

}  // namespace corvix::runtime
