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

}  // namespace corvix::send
