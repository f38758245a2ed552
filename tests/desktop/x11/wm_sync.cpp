#include "wm_sync.h"

#include <X11/Xlib.h>

#include <thread>

namespace corvix::desktop::testing {

bool waitForWindowManager(std::chrono::milliseconds limit) {
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) return false;
    Window probe = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 1, 1, 0, 0, 0);
    XStoreName(dpy, probe, "corvix-wm-sync");
    XMapWindow(dpy, probe);
    XSync(dpy, False);
    Atom wmState = XInternAtom(dpy, "WM_STATE", False);
    bool managed = false;
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!managed && std::chrono::steady_clock::now() < deadline) {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(dpy, probe, wmState, 0, 2, False, AnyPropertyType, &type, &format,
                           &count, &after, &data);
        if (data) XFree(data);
        managed = type != None;
        if (!managed) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    XDestroyWindow(dpy, probe);
    XCloseDisplay(dpy);
    return managed;
}

}  // namespace corvix::desktop::testing
