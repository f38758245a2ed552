#include "send/windows.h"

#include "send/send_hooks.h"
#include "send/text.h"

namespace corvix::send {

std::vector<WinEntry> Q_WIN;
std::vector<WinEntry> Q_CWIN;
WindowHandle LastForeignWindow = 0;

void resetWindowLists() {
    Q_WIN.clear();
    Q_CWIN.clear();
    LastForeignWindow = 0;
}

void ListTopWindows(desktop::Desktop& d) {
    Q_WIN.clear();
    for (desktop::WindowInfo& w : d.topWindows()) {
        std::string title = cutChars(w.title, kWindowTextChars);
        if (isBlank(title)) continue;
        Q_WIN.push_back({std::move(title), w.handle, cutChars(w.className, kWindowTextChars)});
    }
}

void ListChildWindows(desktop::Desktop& d, WindowHandle window) {
    auto request = d.requestWindowTexts(window);
    while (!request->ready()) sendHooks().yield();
    Q_CWIN.clear();
    for (const std::string& text : request->take()) {
        std::string title = cutChars(text, kWindowTextChars);
        if (isBlank(title)) continue;
        Q_CWIN.push_back({std::move(title), 0, std::string()});
    }
}

std::u32string foldForMatch(std::string_view text) {
    return upper(trimRight(toU32(text)));
}

bool foldedMatches(std::u32string_view text, std::u32string_view pattern) {
    // Greedy match with one backtrack point: the last "*" seen.
    size_t t = 0, p = 0;
    size_t starP = std::u32string_view::npos, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == text[t])) {
            ++t;
            ++p;
        } else if (p < pattern.size() && pattern[p] == U'*') {
            starP = p++;
            starT = t;
        } else if (starP != std::u32string_view::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == U'*') ++p;
    return p == pattern.size();
}

bool TitleMatches(std::string_view text, std::string_view pattern) {
    return foldedMatches(foldForMatch(text), foldForMatch(pattern));
}

void SampleForegroundWindow(desktop::Desktop& d, WindowHandle frame) {
    WindowHandle fg = d.foregroundWindow();
    if (fg != 0 && fg != frame) LastForeignWindow = fg;
}

WindowHandle FirstMatchingWindow(std::string_view pattern) {
    const std::u32string folded = foldForMatch(pattern);
    for (const WinEntry& w : Q_WIN)
        if (foldedMatches(foldForMatch(w.TITLE), folded)) return w.HANDLE;
    return 0;
}

}  // namespace corvix::send
