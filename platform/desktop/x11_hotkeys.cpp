#include "platform/desktop/x11_hotkeys.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <vector>

#include "platform/desktop/desktop.h"

namespace corvix::desktop::x11 {

HotKeys::HotKeys(Keyboard& keyboard, Connection& connection) : keyboard_(keyboard), c_(connection) {
    // Mapping changes wake this connection's descriptor too, so the grabs follow a new
    // layout at once rather than at the next poll from the program's timer.
    int opcode = 0, eventBase = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    if (XkbQueryExtension(c_.display(), &opcode, &eventBase, &error, &major, &minor)) {
        const unsigned long mask = XkbNewKeyboardNotifyMask | XkbMapNotifyMask;
        XkbSelectEvents(c_.display(), XkbUseCoreKbd, mask, mask);
    }
}

HotKeys::~HotKeys() {
    for (const auto& [id, grab] : grabs_)
        if (grab.grabbed) ungrab(grab);
    XSync(c_.display(), False);
}

namespace {

// The lock modifiers must not stop the hot key: it is grabbed under each of their four
// combinations (none, Caps Lock, Num Lock, both).
unsigned lockVariant(unsigned index, unsigned numLock) {
    const unsigned masks[4] = {0, LockMask, numLock, LockMask | numLock};
    return masks[index];
}

}  // namespace

// Where the combination sits in the current mapping.
bool HotKeys::place(Grab& grab) {
    grab.keycode = keyboard_.keycodeOf(grab.virtualKey);
    grab.xmods = 0;
    if (grab.modifiers & Desktop::kModShift) grab.xmods |= ShiftMask;
    if (grab.modifiers & Desktop::kModControl) grab.xmods |= ControlMask;
    if (grab.modifiers & Desktop::kModAlt) grab.xmods |= keyboard_.altMask();
    if (grab.modifiers & Desktop::kModWin) grab.xmods |= keyboard_.superMask();
    grab.numLock = keyboard_.numLockMask();
    return grab.keycode != 0;
}

bool HotKeys::grabKey(const Grab& grab) {
    ErrorTrap trap(c_);
    for (unsigned i = 0; i < 4; ++i) {
        XGrabKey(c_.display(), grab.keycode, grab.xmods | lockVariant(i, grab.numLock), c_.root(),
                 False, GrabModeAsync, GrabModeAsync);
    }
    if (trap.sync() != 0) {  // BadAccess: another client holds one of the combinations
        ungrab(grab);
        return false;
    }
    return true;
}

void HotKeys::ungrab(const Grab& grab) {
    ErrorTrap trap(c_);
    for (unsigned i = 0; i < 4; ++i) {
        XUngrabKey(c_.display(), grab.keycode, grab.xmods | lockVariant(i, grab.numLock),
                   c_.root());
    }
    trap.sync();
}

bool HotKeys::add(int id, unsigned modifiers, uint8_t virtualKey) {
    remove(id);
    if (virtualKey == 0 || (modifiers & ~0xFu) != 0) return false;
    for (const auto& [other, grab] : grabs_) {
        if (grab.modifiers == modifiers && grab.virtualKey == virtualKey) return false;
    }
    Grab grab;
    grab.modifiers = modifiers;
    grab.virtualKey = virtualKey;
    grab.grabbed = place(grab) && grabKey(grab);
    grabs_[id] = grab;
    return grab.grabbed;
}

void HotKeys::remove(int id) {
    auto it = grabs_.find(id);
    if (it == grabs_.end()) return;
    if (it->second.grabbed) ungrab(it->second);
    grabs_.erase(it);
}

// After a change of the keyboard mapping a key may sit on another keycode, or a
// modifier on another mask: move the grabs along. A grab that cannot follow (the key is
// missing from the new layout, or its place is held by someone else) stays wanted and is
// tried again at the next change.
void HotKeys::follow() {
    for (auto& [id, grab] : grabs_) {
        Grab moved = grab;
        const bool placed = place(moved);
        if (grab.grabbed && placed && moved.keycode == grab.keycode && moved.xmods == grab.xmods &&
            moved.numLock == grab.numLock) {
            continue;
        }
        if (!grab.grabbed && !placed) continue;
        if (grab.grabbed) ungrab(grab);
        moved.grabbed = placed && grabKey(moved);
        grab = moved;
    }
}

void HotKeys::poll(const std::function<void(int)>& callback) {
    follow();
    Display* dpy = c_.display();
    std::vector<int> pressed;
    const unsigned relevant = ShiftMask | ControlMask | keyboard_.altMask() | keyboard_.superMask();
    while (XPending(dpy) > 0) {
        XEvent ev;
        XNextEvent(dpy, &ev);
        if (ev.type != KeyPress) continue;
        for (const auto& [id, grab] : grabs_) {
            if (grab.grabbed && grab.keycode == ev.xkey.keycode &&
                grab.xmods == (ev.xkey.state & relevant)) {
                pressed.push_back(id);
            }
        }
    }
    // Called after reading, so a callback may register or remove keys.
    if (callback) {
        for (int id : pressed) callback(id);
    }
}

}  // namespace corvix::desktop::x11
