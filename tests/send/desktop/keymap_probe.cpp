#include "keymap_probe.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <cstdlib>

namespace corvix::send::testing {
namespace {

Display* display() {
    static Display* dpy = XOpenDisplay(nullptr);
    return dpy;
}

}  // namespace

bool setLayout(const std::string& layouts) {
    const std::string command = "setxkbmap -layout '" + layouts + "' -option ''";
    return std::system(command.c_str()) == 0;
}

bool lockGroup(int group) {
    Display* dpy = display();
    if (!dpy || !XkbLockGroup(dpy, XkbUseCoreKbd, static_cast<unsigned>(group))) return false;
    XSync(dpy, False);
    return activeGroup() == group;
}

int activeGroup() {
    XkbStateRec state{};
    Display* dpy = display();
    if (!dpy || XkbGetState(dpy, XkbUseCoreKbd, &state) != Success) return -1;
    return state.group;
}

bool keymapHas(char32_t ch) {
    Display* dpy = display();
    if (!dpy) return false;
    // Latin-1 characters are their own keysyms; the rest of Unicode is 0x1000000 + code.
    const KeySym wanted = ch < 0x100 ? KeySym(ch) : KeySym(0x1000000 + ch);
    int min = 0, max = 0, per = 0;
    XDisplayKeycodes(dpy, &min, &max);
    KeySym* map = XGetKeyboardMapping(dpy, static_cast<KeyCode>(min), max - min + 1, &per);
    bool found = false;
    for (int i = 0; map && i < (max - min + 1) * per && !found; ++i) found = map[i] == wanted;
    if (map) XFree(map);
    return found;
}

}  // namespace corvix::send::testing
