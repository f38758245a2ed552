// Top-level windows of the X display: enumeration in stacking order, titles, classes,
// the texts of child windows, the active window and activation.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "platform/desktop/desktop.h"
#include "platform/desktop/x11_connection.h"

namespace corvix::desktop::x11 {

class Windows {
  public:
    explicit Windows(Connection& connection) : c_(connection) {}

    // A window manager is running and says so (_NET_SUPPORTING_WM_CHECK on the root
    // names a window that names itself).
    bool windowManagerRunning() const;
    // Titled top-level windows, top of the stacking order first: the manager's
    // _NET_CLIENT_LIST_STACKING when it has one, else the root's children.
    std::vector<WindowInfo> top() const;
    // Titles of every descendant X window, depth first.
    std::vector<std::string> childTexts(XWindow window) const;
    long processId(XWindow window) const;
    XWindow foreground() const;
    // Asks the window manager to activate the window (or raises and focuses it
    // directly without one) and waits up to `limit` until it has the keyboard focus.
    bool activate(XWindow window, std::chrono::milliseconds limit) const;
    // The same request without the wait (false when the window is gone).
    bool requestActivation(XWindow window) const;
    bool hasFocus(XWindow window) const;
    // The focus window the last hasFocus found inside `owner` (0 when none).
    XWindow focusFoundIn(XWindow owner) const {
        return owner == knownFocusOwner_ ? knownFocus_ : 0;
    }

  private:
    void askManager(XWindow window) const;
    // Raises and focuses the window directly; false when it is not viewable (yet).
    bool focusDirectly(XWindow window) const;
    XWindow clientOf(XWindow window, int depth) const;
    XWindow topLevelOf(XWindow window) const;
    bool waitForFocus(XWindow window, std::chrono::milliseconds limit) const;

    Connection& c_;
    // The last focus window found inside a window: while typing, the focus check between
    // keys is then one request instead of a walk up the tree.
    mutable XWindow knownFocus_ = 0;
    mutable XWindow knownFocusOwner_ = 0;
};

}  // namespace corvix::desktop::x11
