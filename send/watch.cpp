#include "send/watch.h"

#include <algorithm>

#include "send/field_macros.h"
#include "send/key_sender.h"
#include "send/send_hooks.h"
#include "send/text.h"
#include "send/windows.h"

namespace corvix::send {
namespace {

constexpr size_t kServedTitleChars = 255;
constexpr size_t kWatchWindowChars = 128;
constexpr size_t kWatchTextChars = 60;

// Clears a flag when the scope ends, however it ends.
struct RunningFlag {
    explicit RunningFlag(bool& f) : flag(f) { flag = true; }
    ~RunningFlag() { flag = false; }
    bool& flag;
};

}  // namespace

desktop::Desktop* Watcher::target() const {
    return desktop_ ? desktop_ : desktop::currentDesktop();
}

void Watcher::Clear() {
    WatchList.clear();
    ServedWindows.clear();
    candidates_.clear();
    ++generation_;
}

void Watcher::BuildWatchList() {
    Clear();
    if (!accounts_) return;
    for (const vault::PasRecord& a : accounts_->watchedAccounts()) {
        WatchEntry e;
        e.PAS_ID = a.PAS_ID;
        e.TARGETWINDOW = cutChars(a.TargetWindow, kWatchWindowChars);
        e.TARGETWINDOWTEXT = cutChars(a.TargetWindowText, kWatchTextChars);
        e.foldedWindow = foldForMatch(e.TARGETWINDOW);
        e.foldedText = foldForMatch(e.TARGETWINDOWTEXT);
        WatchList.push_back(std::move(e));
    }
}

ServedWindow* Watcher::servedEntry(WindowHandle h) {
    auto it = std::lower_bound(ServedWindows.begin(), ServedWindows.end(), h,
                               [](const ServedWindow& s, WindowHandle v) { return s.HANDLE < v; });
    return (it != ServedWindows.end() && it->HANDLE == h) ? &*it : nullptr;
}

void Watcher::addServed(ServedWindow w) {
    auto it = std::upper_bound(ServedWindows.begin(), ServedWindows.end(), w.HANDLE,
                               [](WindowHandle v, const ServedWindow& s) { return v < s.HANDLE; });
    ServedWindows.insert(it, std::move(w));
}

void Watcher::WatchPass() {
    // A pass that would start while a text is being typed (its pauses let the timer run)
    // waits for the next tick.
    if (running_ || keySender().typing()) return;
    desktop::Desktop* d = target();
    if (!d) return;
    RunningFlag running(running_);

    ListTopWindows(*d);
    for (ServedWindow& s : ServedWindows) s.STILLACTIVE = false;

    // Windows served before and still showing the title they were served under are not
    // offered again; every window is looked at exactly once.
    std::vector<WinEntry> offered;
    offered.reserve(Q_WIN.size());
    candidates_.clear();
    for (WinEntry& w : Q_WIN) {
        std::u32string folded = foldForMatch(w.TITLE);
        if (ServedWindow* s = servedEntry(w.HANDLE)) {
            if (foldedMatches(folded, foldForMatch(s->WIN_TITLE))) {
                s->STILLACTIVE = true;
                continue;
            }
        }
        candidates_.push_back({w.HANDLE, w.TITLE, std::move(folded)});
        offered.push_back(std::move(w));
    }
    Q_WIN = std::move(offered);
    std::erase_if(ServedWindows, [](const ServedWindow& s) { return !s.STILLACTIVE; });

    // A copy: event 1100 may rebuild the list while a send waits.
    const std::vector<WatchEntry> watch = WatchList;
    for (const WatchEntry& e : watch)
        if (!ServeWatchedAccount(e)) break;
}

bool Watcher::ServeWatchedAccount(const WatchEntry& e) {
    desktop::Desktop* d = target();
    if (!d) return false;
    const Candidate* found = nullptr;
    for (const Candidate& c : candidates_) {
        if (foldedMatches(c.folded, e.foldedWindow)) {
            found = &c;
            break;
        }
    }
    if (!found) return true;
    // Our own copies: the candidates and the shared lists may change while we wait.
    const WindowHandle window = found->handle;
    const std::string title = found->title;

    const uint64_t generation = generation_;
    // The texts may take a while (a helper program reads them): the pass yields meanwhile.
    ListChildWindows(*d, window);
    if (generation != generation_) return false;  // logoff or rebuild meanwhile
    std::string text;
    if (!e.foldedText.empty()) {
        auto it = std::find_if(Q_CWIN.begin(), Q_CWIN.end(), [&](const WinEntry& c) {
            return foldedMatches(foldForMatch(c.TITLE), e.foldedText);
        });
        if (it == Q_CWIN.end()) return true;
        text = it->TITLE;
    } else if (!Q_CWIN.empty()) {
        text = Q_CWIN.back().TITLE;
    }

    bool typed = false;
    vault::PasRecord account;
    if (accounts_ && accounts_->accountById(e.PAS_ID, account)) {
        SendHooks& hooks = sendHooks();
        hooks.yield();
        if (generation != generation_) return false;  // logoff or rebuild meanwhile
        // No message ever from a watch: a window that will not take the focus, or loses
        // it, is recorded as served without (all of) its keys.
        const bool focused = activateAndWait(*d, window);
        if (generation != generation_) {  // the activation wait gave way too
            wipe(account.Password);
            return false;
        }
        if (focused) {
            KeySender& sender = keySender();
            if (!sender.initialised()) sender.Init("[]");
            ::runtime::Secret expanded = ExpandFieldMacros(account, account.Action, hooks.today());
            wipe(account.Password);
            waitSeconds(account.Wait);
            if (generation != generation_ || !hooks.mayType()) return false;
            // A window that closed or lost the focus during the wait gets nothing.
            if (d->windowExists(window) && d->hasFocus(window)) {
                const TypeResult r = sender.Type(expanded.view(), window);
                if (r == TypeResult::Busy) return false;  // served by a later pass
                typed = r == TypeResult::Typed;
            }
        }
        wipe(account.Password);
    }
    ServedWindow served{window, cutChars(upperUtf8(title), kServedTitleChars),
                        cutChars(upperUtf8(text), kServedTitleChars), true};
    if (onServed) onServed(e, served, typed);
    addServed(std::move(served));
    return true;
}

}  // namespace corvix::send
