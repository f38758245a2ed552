// corvix-cli send ID | watch [--seconds N]: types an account into its window on the
// current display, or watches for the windows of the watched accounts.
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "cli/command.h"
#include "cli/managed_accounts.h"
#include "framework/prompt.h"
#include "platform/desktop/desktop.h"
#include "send/send_account.h"
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

// Gives the receiving programs a moment to read the keys before the keyboard mapping
// of characters typed through spare keys is put back.
void letKeysArrive() {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
}

int runSend(const std::vector<std::string>& args) {
    long id = 0;
    if (args.size() != 1 || !parseNumber(args[0], 1, 2147483647L, &id))
        return usageError("send", "send needs one account ID (a number)");
    ManagedSession session;
    int rc = session.openAndLogOn();
    if (rc != kExitOk) return rc;
    rc = fetchAccount(session, id);
    if (rc != kExitOk) return rc;
    const vault::PasRecord account = session.managers().pasRecord.record();

    DesktopSession desk;
    if (!desk.open()) return kExitError;
    // No frame here: the window the user works in is the one in front now.
    send::SampleForegroundWindow(desk.desktop(), 0);
    const send::SendResult result = send::SendAccount(account);
    switch (result) {
        case send::SendResult::Sent:
            letKeysArrive();
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
    bool typedAny = false;
    watcher.onServed = [&](const send::WatchEntry& e, const send::ServedWindow& w, bool typed) {
        std::printf("%s account %d: %s\n", typed ? "sent" : "skipped", e.PAS_ID,
                    w.WIN_TITLE.c_str());
        std::fflush(stdout);
        typedAny = typedAny || typed;
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
        tick += std::chrono::seconds(1);
        if (seconds >= 0 && tick - start > std::chrono::seconds(seconds)) break;
        while (!stopRequested && std::chrono::steady_clock::now() < tick)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    sigaction(SIGINT, &oldInt, nullptr);
    sigaction(SIGTERM, &oldTerm, nullptr);
    if (typedAny) letKeysArrive();
    return kExitOk;
}

}  // namespace

CORVIX_CLI_COMMAND(kSend, "send", "send ID", "types an account into its window", runSend);
CORVIX_CLI_COMMAND(kWatch, "watch", "watch [--seconds N]",
                   "sends watched accounts into their windows as they appear", runWatch);

}  // namespace corvix::cli
