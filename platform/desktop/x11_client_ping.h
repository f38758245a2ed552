// Whether the programs that received keys have read them: a _NET_WM_PING sent to a
// client's top-level window comes back only once the client has worked through every
// event queued before it, keys and keymap changes included. Internal to the desktop
// layer; no X11 header here.
#pragma once

#include <chrono>
#include <functional>
#include <vector>

#include "platform/desktop/x11_connection.h"

namespace corvix::desktop::x11 {

enum class PingResult {
    Answered,     // every client answered, or its window is gone (nothing left to read)
    Unsupported,  // a window without _NET_WM_PING among its protocols, or no display
    NoAnswer,     // not every client answered within the limit
};

// Pings the clients of the given windows (each one the keyboard focus or a window below
// a top-level) once every request sent before has been handled by the server: the
// caller syncs its own connection first. Waits at most `limit`, in slices through
// `pause` (nullptr: sleeps); a pause that answers false ends the wait (NoAnswer).
PingResult pingClients(const std::vector<XWindow>& windows, std::chrono::milliseconds limit,
                       const std::function<bool(std::chrono::milliseconds)>& pause);

}  // namespace corvix::desktop::x11
