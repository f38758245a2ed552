#include "platform/desktop/x11_hotkeys.h"

#include <X11/Xlib.h>

#include <vector>

#include "platform/desktop/desktop.h"

namespace corvix::desktop::x11 {

HotKeys::HotKeys(Keyboard& keyboard, Connection& connection)
    : keyboard_(keyboard), c_(connection) {}

HotKeys::~HotKeys() {
    for (const auto& [id, grab] : grabs_) ungrab(grab);
    XSync(c_.display(), False);
}

// The lock modifiers must not stop the hot key: grab it under each of their four
// combinations (none, Caps Lock, Num Lock, both).
unsigned HotKeys::ignoredMasks(unsigned index) const {
    unsigned masks[4] = {0, LockMask, keyboard_.numLockMask(), LockMask | keyboard_.numLockMask()};
    return masks[index];
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
    grab.keycode = keyboard_.keycodeOf(virtualKey);
    if (!grab.keycode) return false;
    if (modifiers & Desktop::kModShift) grab.xmods |= ShiftMask;
    if (modifiers & Desktop::kModControl) grab.xmods |= ControlMask;
    if (modifiers & Desktop::kModAlt) grab.xmods |= keyboard_.altMask();
    if (modifiers & Desktop::kModWin) grab.xmods |= keyboard_.superMask();

    ErrorTrap trap(c_);
    for (unsigned i = 0; i < 4; ++i) {
        XGrabKey(c_.display(), grab.keycode, grab.xmods | ignoredMasks(i), c_.root(), False,
                 GrabModeAsync, GrabModeAsync);
    }
    if (trap.sync() != 0) {  // BadAccess: another client holds one of the combinations
        ungrab(grab);
        XSync(c_.display(), False);
        return false;
    }
    grabs_[id] = grab;
    return true;
}

void HotKeys::ungrab(const Grab& grab) {
    ErrorTrap trap(c_);
    for (unsigned i = 0; i < 4; ++i) {
        XUngrabKey(c_.display(), grab.keycode, grab.xmods | ignoredMasks(i), c_.root());
    }
    trap.sync();
}

void HotKeys::remove(int id) {
    auto it = grabs_.find(id);
    if (it == grabs_.end()) return;
    ungrab(it->second);
    grabs_.erase(it);
}

void HotKeys::poll(const std::function<void(int)>& callback) {
    Display* dpy = c_.display();
    std::vector<int> pressed;
    const unsigned relevant = ShiftMask | ControlMask | keyboard_.altMask() | keyboard_.superMask();
    while (XPending(dpy) > 0) {
        XEvent ev;
        XNextEvent(dpy, &ev);
        if (ev.type == MappingNotify) {
            XRefreshKeyboardMapping(&ev.xmapping);
            continue;
        }
        if (ev.type != KeyPress) continue;
        for (const auto& [id, grab] : grabs_) {
            if (grab.keycode == ev.xkey.keycode && grab.xmods == (ev.xkey.state & relevant)) {
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
