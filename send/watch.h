// Watching: once a second the frame's timer runs WatchPass, which sends every watched
// account into each newly appeared window that matches it, once per window.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/desktop/desktop.h"
#include "send/account_source.h"

namespace corvix::send {

using desktop::WindowHandle;

struct WatchEntry {
    int32_t PAS_ID = 0;
    std::string TARGETWINDOW;      // up to 128 characters
    std::string TARGETWINDOWTEXT;  // up to 60 characters
    // Upper-cased patterns, computed once when the list is built.
    std::u32string foldedWindow;
    std::u32string foldedText;
};

struct ServedWindow {
    WindowHandle HANDLE = 0;
    std::string WIN_TITLE;   // upper-cased, up to 255 characters
    std::string CWIN_TITLE;  // upper-cased, up to 255 characters; no rule reads it
    bool STILLACTIVE = false;
};

class Watcher {
  public:
    explicit Watcher(AccountSource* accounts = nullptr) : accounts_(accounts) {}
    void setAccounts(AccountSource* accounts) { accounts_ = accounts; }
    // nullptr = the process-wide current desktop.
    void setDesktop(desktop::Desktop* d) { desktop_ = d; }

    // Event 1100: empty ServedWindows and refill WatchList from the watched accounts.
    void BuildWatchList();
    // Logoff: both lists emptied; a pass that is waiting stops before typing.
    void Clear();
    // One automatic pass. A pass started while another one waits returns at once.
    void WatchPass();
    // Serves one watch entry; false when the pass must stop (logoff or a rebuild
    // happened while it waited).
    bool ServeWatchedAccount(const WatchEntry& e);

    bool passRunning() const { return running_; }

    // Told of every window recorded as served: the watch entry, the served window and
    // whether keys were typed (false for a deleted account or a window that closed).
    std::function<void(const WatchEntry&, const ServedWindow&, bool typed)> onServed;

    std::vector<WatchEntry> WatchList;
    std::vector<ServedWindow> ServedWindows;  // in order of handle, duplicates allowed

  private:
    desktop::Desktop* target() const;
    ServedWindow* servedEntry(WindowHandle h);
    void addServed(ServedWindow w);

    AccountSource* accounts_ = nullptr;
    desktop::Desktop* desktop_ = nullptr;
    bool running_ = false;
    uint64_t generation_ = 0;  // bumped whenever the lists are emptied
    // The windows this pass may serve (Q_WIN without the ones served before), with their
    // upper-cased titles; kept apart from Q_WIN, which an on-demand send may rebuild.
    struct Candidate {
        WindowHandle handle;
        std::string title;
        std::u32string folded;
    };
    std::vector<Candidate> candidates_;
};

}  // namespace corvix::send
