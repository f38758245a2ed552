// Target windows: the lists of top-level windows and of the texts inside one window,
// the title pattern match, and the window the user worked in before the program.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/desktop/desktop.h"

namespace corvix::send {

using desktop::WindowHandle;

constexpr size_t kWindowTextChars = 254;

struct WinEntry {
    std::string TITLE;  // up to 254 characters
    WindowHandle HANDLE = 0;
    std::string CLASS;  // recorded, not used by any rule
};

// Shared by the on-demand send and the watch pass; rebuilt by each enumeration.
extern std::vector<WinEntry> Q_WIN;   // top-level windows, top of the stacking order first
extern std::vector<WinEntry> Q_CWIN;  // texts inside one window (handle and class unknown: 0, "")
// The most recent foreground window that was not the program's frame.
extern WindowHandle LastForeignWindow;

// Empties the lists and LastForeignWindow (tests, logoff).
void resetWindowLists();

// Fills Q_WIN from the desktop; windows without a readable title are left out.
void ListTopWindows(desktop::Desktop& d);
// Fills Q_CWIN with the non-blank texts inside the window; yields while the desktop
// gathers them (the accessibility helper may take a while).
void ListChildWindows(desktop::Desktop& d, WindowHandle window);

// Whole-text wildcard match ("*" any run, "?" one character), letters compared without
// regard to case, trailing blanks of both ignored.
bool TitleMatches(std::string_view text, std::string_view pattern);
// The same on texts already upper-cased and trimmed (for passes over many windows).
bool foldedMatches(std::u32string_view text, std::u32string_view pattern);
std::u32string foldForMatch(std::string_view text);

// The first window of Q_WIN whose title matches the pattern (0 when none).
WindowHandle FirstMatchingWindow(std::string_view pattern);

// The frame's timer: remembers the foreground window unless it is the frame itself.
void SampleForegroundWindow(desktop::Desktop& d, WindowHandle frame);

}  // namespace corvix::send
