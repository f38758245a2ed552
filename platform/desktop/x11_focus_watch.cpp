#include "platform/desktop/x11_focus_watch.h"

#include <X11/Xlib.h>

namespace corvix::desktop::x11 {

FocusWatch::FocusWatch() = default;

FocusWatch::~FocusWatch() {
    if (ok()) stop();
}

void FocusWatch::watch(XWindow focus, XWindow owner) {
    stop();
    Display* dpy = c_.display();
    ErrorTrap trap(c_);
    XSelectInput(dpy, focus, FocusChangeMask);
    if (trap.sync() != 0) return;  // the window is gone
    focus_ = focus;
    owner_ = owner;
}

void FocusWatch::stop() {
    Display* dpy = c_.display();
    if (focus_) {
        ErrorTrap trap(c_);
        XSelectInput(dpy, focus_, NoEventMask);
        trap.sync();
    }
    focus_ = owner_ = 0;
    XEvent ev;
    while (XPending(dpy) > 0) XNextEvent(dpy, &ev);
}

// Any FocusOut counts, also one that moves the focus to a window inside (the caller then
// asks the server again), and one that a keyboard grab causes.
bool FocusWatch::stillFocused(XWindow owner) {
    if (!focus_ || owner != owner_) return false;
    Display* dpy = c_.display();
    XEvent ev;
    bool left = false;
    while (XPending(dpy) > 0) {
        XNextEvent(dpy, &ev);
        if (ev.type == FocusOut && ev.xfocus.window == focus_) left = true;
    }
    if (left) focus_ = owner_ = 0;
    return !left;
}

}  // namespace corvix::desktop::x11
