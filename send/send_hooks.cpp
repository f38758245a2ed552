#include "send/send_hooks.h"

#include <chrono>
#include <thread>

#include "runtime/date.h"
#include "runtime/picture.h"

namespace corvix::send {
namespace {

std::string defaultToday() {
    return runtime::formatPicture(runtime::today(), "@d17");
}

SendHooks defaults() {
    SendHooks h;
    h.yield = [] { std::this_thread::sleep_for(std::chrono::milliseconds(10)); };
    h.postIconize = [] {};
    h.now = runtime::momentNow;
    h.today = defaultToday;
    h.mayType = [] { return true; };
    h.afterTyping = [] {};
    return h;
}

}  // namespace

SendHooks& sendHooks() {
    static SendHooks hooks = defaults();
    return hooks;
}

void resetSendHooks() {
    sendHooks() = defaults();
}

void waitSeconds(int seconds) {
    if (seconds <= 0) return;
    SendHooks& h = sendHooks();
    const double until = h.now() + seconds / 86400.0;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(seconds) +
                       std::chrono::milliseconds(500);
    while (h.now() < until) {
        if (std::chrono::steady_clock::now() >= limit) break;
        h.yield();
    }
}

void waitBriefly(std::chrono::milliseconds length) {
    // Below this a wait just sleeps: the program stays responsive well within it.
    constexpr auto kSleepBelow = std::chrono::milliseconds(20);
    if (length <= std::chrono::milliseconds(0)) return;
    if (length < kSleepBelow) {
        std::this_thread::sleep_for(length);
        return;
    }
    const auto until = std::chrono::steady_clock::now() + length;
    SendHooks& h = sendHooks();
    while (std::chrono::steady_clock::now() < until) h.yield();
}

bool activateAndWait(desktop::Desktop& d, desktop::WindowHandle window) {
    using Clock = std::chrono::steady_clock;
    constexpr auto kLimit = std::chrono::seconds(3);
    constexpr auto kAskAgain = std::chrono::milliseconds(250);
    SendHooks& h = sendHooks();
    if (window == 0 || !d.requestActivation(window)) return false;
    const double until = h.now() + 3.0 / 86400.0;
    const auto limit = Clock::now() + kLimit;
    auto askAgain = Clock::now() + kAskAgain;
    while (!d.hasFocus(window)) {
        if (h.now() >= until || Clock::now() >= limit) return false;
        h.yield();
        if (Clock::now() >= askAgain) {
            if (!d.requestActivation(window)) return false;
            askAgain = Clock::now() + kAskAgain;
        }
    }
    return true;
}

}  // namespace corvix::send
