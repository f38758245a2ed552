#include "cli/crash_report.h"

#include <signal.h>
#include <unistd.h>

#include <cstring>

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

// Only async-signal-safe calls: write, and raise again with the default action (the
// handler was reset on entry), so the process still ends by the same signal.
void onFatalSignal(int signal) {
    const char* name = ferrule::fileBeingOpened();
    if (name[0] != '\0') {
        writeAll("corvix-cli: stopped while opening ");
        writeAll(name);
        writeAll("\n");
    }
    ::raise(signal);
}

}  // namespace

void reportCrashesDuringOpens() {
    ferrule::setBadFileInIniFile(false);
    struct sigaction action {};
    action.sa_handler = onFatalSignal;
    action.sa_flags = SA_RESETHAND | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT})
        sigaction(signal, &action, nullptr);
}

}  // namespace corvix::cli
