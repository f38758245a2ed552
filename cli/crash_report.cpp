#include "cli/crash_report.h"

#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <iterator>

#include "libs/ferrule/ferrule.h"

namespace corvix::cli {

namespace {

void writeAll(const char* text) {
    size_t left = std::strlen(text);
    while (left > 0) {
        const ssize_t n = ::write(STDERR_FILENO, text, left);
        if (n <= 0) return;
        text += n;
        left -= static_cast<size_t>(n);
    }
}

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
// What each signal did before: a sanitizer's report, or the default end.
struct sigaction gPrevious[std::size(kFatalSignals)];

// Only async-signal-safe calls: write, then the signal again with what it did before
// (the default action ends the process by the same signal).
void onFatalSignal(int signal) {
    const char* name = ferrule::fileBeingOpened();
    if (name[0] != '\0') {
        writeAll("corvix-cli: stopped while opening ");
        writeAll(name);
        writeAll("\n");
    }
    for (size_t i = 0; i < std::size(kFatalSignals); ++i)
        if (kFatalSignals[i] == signal) sigaction(signal, &gPrevious[i], nullptr);
    ::raise(signal);
}

}  // namespace

void reportCrashesDuringOpens() {
    ferrule::setBadFileInIniFile(false);
    struct sigaction action {};
    action.sa_handler = onFatalSignal;
    action.sa_flags = SA_NODEFER;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < std::size(kFatalSignals); ++i)
        sigaction(kFatalSignals[i], &action, &gPrevious[i]);
}

}  // namespace corvix::cli
