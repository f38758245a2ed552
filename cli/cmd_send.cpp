// corvix-cli send ID [--window PATTERN] | watch [--seconds N]: types an account into its
// window on the current display, or watches for the windows of the watched accounts.
// The command has no window of its own to come back from, so it needs a target pattern.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "cli/command.h"
#include "cli/managed_accounts.h"
#include "framework/prompt.h"
#include "platform/desktop/desktop.h"
#include "send/send_account.h"
#include "send/send_hooks.h"
#include "send/text.h"
#include "send/watch.h"
#include "send/windows.h"
#include "vault/tables.h"

namespace corvix::cli {
namespace {

// The X11 desktop as the current one for the life of a command; messages to stderr.
class DesktopSession {
  public:
    DesktopSession() : previousPrompt_(framework::setPrompt(&prompt_)) {}
    ~DesktopSession() {
        desktop::setCurrentDesktop(nullptr);
        framework::setPrompt(previousPrompt_);
    }
    bool open() {
        std::string reason;
        desktop_ = desktop::openX11Desktop(&reason);
        if (!desktop_) {
            std::fprintf(stderr, "corvix-cli: cannot reach the display: %s\n", reason.c_str());
            return false;
        }
        desktop::setCurrentDesktop(desktop_.get());
        // Nothing else runs in this process while a send waits (for the focus, for the
        // account's delay): it may look again often.
        send::sendHooks().yield = [] { std::this_thread::sleep_for(std::chrono::milliseconds(1)); };
        return true;
    }
    desktop::Desktop& desktop() { return *desktop_; }

  private:
    framework::StderrPrompt prompt_;
    framework::Prompt* previousPrompt_;
    std::unique_ptr<desktop::Desktop> desktop_;
};

// Ctrl+C or a termination request ends the watch between passes, so that the display's
// keyboard mapping is never left changed halfway through typing.
volatile sig_atomic_t stopRequested = 0;
void requestStop(int) {
    stopRequested = 1;
}

// Characters typed through spare keycodes leave the keymap before the command ends:
// only then does it wait, and only as long as the receiving program needs to read them.
void giveBackKeymap(desktop::Desktop& d) {
    if (d.borrowedKeycodes() > 0) d.restoreKeymap();
}

// The terminal the command runs in belongs to one of its ancestor processes: keys sent
// there would echo the password in clear.
bool ownTerminal(desktop::Desktop& d, send::WindowHandle window) {
    const long owner = d.windowProcessId(window);
    if (owner <= 0) return false;
    for (pid_t p = getpid(); p > 1;) {
        if (p == owner) return true;
        std::ifstream stat("/proc/" + std::to_string(p) + "/stat");
        std::string line;
        if (!std::getline(stat, line)) break;
        // "pid (name) state ppid ...": the name may hold blanks and parentheses.
        const size_t close = line.rfind(')');
        if (close == std::string::npos) break;
        std::istringstream rest(line.substr(close + 1));
        std::string state;
        pid_t parent = 0;
        if (!(rest >> state >> parent)) break;
        p = parent;
    }
    return false;
}

int runSend(const std::vector<std::string>& args) {
    Options o;
    std::string error;
    if (!parseOptions(args, {}, {"--window"}, o, &error)) return usageError("send", error);
    long id = 0;
    if (o.positional.size() != 1 || !parseNumber(o.positional[0], 1, 2147483647L, &id))
        return usageError("send", "send needs one account ID (a number)");
    if (o.hasValue("--window") && send::isBlank(o.value("--window")))
        return usageError("send", "--window needs a window title pattern");
    ManagedSession session;
    int rc = session.openAndLogOn();
    if (rc != kExitOk) return rc;
    rc = fetchAccount(session, id);
    if (rc != kExitOk) return rc;
    vault::PasRecord account = session.managers().pasRecord.record();
    if (o.hasValue("--window")) account.TargetWindow = o.value("--window");
    if (send::isBlank(account.TargetWindow)) {
        send::wipe(account.Password);
        std::fprintf(stderr,
                     "corvix-cli: account %ld has no target window; name the window to type "
                     "into with --window PATTERN (the command never types into its own "
                     "terminal)\n",
                     id);
        return kExitError;
    }

    DesktopSession desk;
    if (!desk.open()) return kExitError;
    send::ListTopWindows(desk.desktop());
    if (send::WindowHandle w = send::FirstMatchingWindow(send::trimRight(account.TargetWindow));
        w != 0 && ownTerminal(desk.desktop(), w)) {
        send::wipe(account.Password);
        std::fprintf(stderr,
                     "corvix-cli: the window matching \"%s\" is the terminal this command runs "
                     "in; nothing was typed\n",
                     std::string(send::trimRight(account.TargetWindow)).c_str());
        return kExitError;
    }
    const send::SendResult result = send::SendAccount(std::move(account));
    giveBackKeymap(desk.desktop());
    switch (result) {
        case send::SendResult::Sent:
            return kExitOk;
        case send::SendResult::TargetClosed:
            std::fprintf(stderr, "corvix-cli: the target window closed before typing\n");
            return kExitError;
        default:
            return kExitError;  // the message has been shown
    }
}

int runWatch(const std::vector<std::string>& args) {
    Options o;
    std::string error;
    if (!parseOptions(args, {}, {"--seconds"}, o, &error)) return usageError("watch", error);
    if (!o.positional.empty()) return usageError("watch", "watch takes no arguments");
    long seconds = -1;
    if (o.hasValue("--seconds") && !parseNumber(o.value("--seconds"), 0, 100000000L, &seconds))
        return usageError("watch", "--seconds takes a whole number of seconds");

    ManagedSession session;
    int rc = session.openAndLogOn();
    if (rc != kExitOk) return rc;
    DesktopSession desk;
    if (!desk.open()) return kExitError;

    ManagedAccounts accounts(session.managers().pas, session.managers().pasRecord);
    send::Watcher watcher(&accounts);
    watcher.onServed = [&](const send::WatchEntry& e, const send::ServedWindow& w, bool typed) {
        std::printf("%s account %d: %s\n", typed ? "sent" : "skipped", e.PAS_ID,
                    w.WIN_TITLE.c_str());
        std::fflush(stdout);
    };
    watcher.BuildWatchList();
    if (accounts.failed()) return kExitError;  // the message has been printed
    std::fprintf(stderr, "corvix-cli: watching %zu account(s)\n", watcher.WatchList.size());

    stopRequested = 0;
    struct sigaction stop {};
    stop.sa_handler = requestStop;
    struct sigaction oldInt {
    }, oldTerm{};
    sigaction(SIGINT, &stop, &oldInt);
    sigaction(SIGTERM, &stop, &oldTerm);
    const auto start = std::chrono::steady_clock::now();
    auto tick = start;
    while (!stopRequested) {
        watcher.WatchPass();
        giveBackKeymap(desk.desktop());
        tick += std::chrono::seconds(1);
        if (seconds >= 0 && tick - start > std::chrono::seconds(seconds)) break;
        while (!stopRequested && std::chrono::steady_clock::now() < tick)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    sigaction(SIGINT, &oldInt, nullptr);
    sigaction(SIGTERM, &oldTerm, nullptr);
    giveBackKeymap(desk.desktop());
    return kExitOk;
}

}  // namespace

CORVIX_CLI_COMMAND(kSend, "send", "send ID [--window PATTERN]",
                   "types an account into its window (or the window PATTERN names)", runSend);
CORVIX_CLI_COMMAND(kWatch, "watch", "watch [--seconds N]",
                   "sends watched accounts into their windows as they appear", runWatch);

}  // namespace corvix::cli
