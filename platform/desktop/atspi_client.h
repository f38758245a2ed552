// Runs the AT-SPI lookup helper (corvix-atspi-texts) with a hard time limit and reads the
// texts it prints. Accessibility calls block and are not thread-safe, so they never run
// inside the program itself; any failure of the helper just means "no texts".
#pragma once

#include <sys/types.h>

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

// One run of the helper in the background: started at once, read without blocking, so
// that a caller with an event loop keeps it running meanwhile. A helper still running
// when the run goes is ended.
class AtspiHelperRun {
  public:
    AtspiHelperRun(const std::vector<std::string>& args, std::chrono::milliseconds limit,
                   const std::string& helper = atspiHelperPath());
    ~AtspiHelperRun();
    AtspiHelperRun(const AtspiHelperRun&) = delete;
    AtspiHelperRun& operator=(const AtspiHelperRun&) = delete;

    // Reads what the helper has written, waiting at most `wait` for more; true once it
    // has finished, failed or run out of time.
    bool poll(std::chrono::milliseconds wait = std::chrono::milliseconds(0));
    // Once poll answered true: found, finished in time and exited 0.
    bool ran() const { return ran_; }
    const std::string& output() const { return output_; }
    // Runs to the end, waiting.
    void finish();

  private:
    void end(bool kill);

    using Clock = std::chrono::steady_clock;
    pid_t child_ = -1;
    int fd_ = -1;
    bool done_ = false;
    bool ran_ = false;
    Clock::time_point deadline_;
    Clock::time_point exitBy_{};  // set once the output has closed
    std::string output_;
};

// The arguments asking for a window's texts, and the texts in the helper's answer.
std::vector<std::string> atspiTextsArgs(long pid, const std::string& title);
std::vector<std::string> atspiTextsFromOutput(const std::string& output);

// The accessibility bus can be found and used (the helper connects to it and exits).
bool atspiBusReachable(std::chrono::milliseconds limit = std::chrono::milliseconds(1500),
                       const std::string& helper = atspiHelperPath());

// The helper's line format: one text per line, backslash and line breaks escaped.
std::string escapeAtspiLine(const std::string& text);
std::string unescapeAtspiLine(const std::string& line);

}  // namespace corvix::desktop
