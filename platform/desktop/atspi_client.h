// Runs the AT-SPI lookup helper (corvix-atspi-texts) with a hard time limit and reads the
// texts it prints. Accessibility calls block and are not thread-safe, so they never run
// inside the program itself; any failure of the helper just means "no texts".
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace corvix::desktop {

struct AtspiLookup {
    bool ran = false;  // the helper was found, finished in time and exited 0
    std::vector<std::string> texts;
};

// The helper's path: $CORVIX_ATSPI_TEXTS, else beside the running program, else in
// ../bin from it (test programs live in build/tests). Empty when none is found.
std::string atspiHelperPath();

// Texts (labels, names, edit contents) of the accessible frame of process `pid` (0: any)
// whose name is `title`.
AtspiLookup atspiWindowTexts(long pid, const std::string& title,
                             std::chrono::milliseconds limit = std::chrono::milliseconds(1500),
                             const std::string& helper = atspiHelperPath());

// The accessibility bus can be found and used (the helper connects to it and exits).
bool atspiBusReachable(std::chrono::milliseconds limit = std::chrono::milliseconds(1500),
                       const std::string& helper = atspiHelperPath());

// The helper's line format: one text per line, backslash and line breaks escaped.
std::string escapeAtspiLine(const std::string& text);
std::string unescapeAtspiLine(const std::string& line);

}  // namespace corvix::desktop
