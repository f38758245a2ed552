// Watching the keyboard focus while typing, on a connection of its own: the window that
// holds the focus reports by a FocusOut event when the focus leaves it, so the check
// between keys reads the socket instead of asking the server and waiting for it.
#pragma once

#include "platform/desktop/x11_connection.h"

namespace corvix::desktop::x11 {

class FocusWatch {
  public:
    FocusWatch();
    ~FocusWatch();
    FocusWatch(const FocusWatch&) = delete;
    FocusWatch& operator=(const FocusWatch&) = delete;
    bool ok() const { return c_.ok(); }

    // Starts watching `focus` (the focus window found inside `owner`); returns once the
    // server has taken the request, so a change after this moment is reported.
    void watch(XWindow focus, XWindow owner);
    void stop();
    // The owner's focus window has reported no FocusOut since watch().
    bool stillFocused(XWindow owner);

  private:
    Connection c_;
    XWindow focus_ = 0;
    XWindow owner_ = 0;
};

}  // namespace corvix::desktop::x11
