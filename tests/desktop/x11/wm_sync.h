// Waits until the window manager has handled everything sent to it so far: a test that
// changed the keyboard mapping many times leaves it with a backlog (each change makes it
// regrab its keys), and the next test's activation would wait behind it.
#pragma once

#include <chrono>

namespace corvix::desktop::testing {

// Maps a small window and waits until the manager has taken it in (WM_STATE), which it
// does only after every earlier event. True when it did within `limit`.
bool waitForWindowManager(std::chrono::milliseconds limit);

}  // namespace corvix::desktop::testing
