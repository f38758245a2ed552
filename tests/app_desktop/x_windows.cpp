#include "x_windows.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstring>

namespace corvix::app::desktop_testing {

namespace {

// Windows come and go while the tests look at them; a vanished window is no error here.
int ignoreErrors(Display*, XErrorEvent*) {
    return 0;
}

}  // namespace

XDisplay::XDisplay(const std::string& name) {
    XSetErrorHandler(ignoreErrors);
    display_ = XOpenDisplay(name.empty() ? nullptr : name.c_str());
}

XDisplay::~XDisplay() {
    if (display_) XCloseDisplay(display_);
}

XWindowId XDisplay::root() const {
    return display_ ? DefaultRootWindow(display_) : 0;
}

std::vector<unsigned long> XDisplay::cardinals(XWindowId w, const char* property,
                                               const char* type) {
    std::vector<unsigned long> values;
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    Atom wanted = XInternAtom(display_, type, False);
    if (XGetWindowProperty(display_, w, XInternAtom(display_, property, False), 0, 4096, False,
                           wanted, &actualType, &format, &count, &after, &data) == Success &&
        data) {
        if (actualType == wanted && format == 32) {
            auto* longs = reinterpret_cast<unsigned long*>(data);  // Xlib hands 32-bit as long
            values.assign(longs, longs + count);
        }
        XFree(data);
    }
    return values;
}

std::string XDisplay::text(XWindowId w, const char* property, const char* type) {
    std::string value;
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    Atom wanted = XInternAtom(display_, type, False);
    if (XGetWindowProperty(display_, w, XInternAtom(display_, property, False), 0, 4096, False,
                           wanted, &actualType, &format, &count, &after, &data) == Success &&
        data) {
        if (actualType == wanted && format == 8) value.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
    }
    return value;
}

XWindowInfo XDisplay::info(XWindowId w) {
    XWindowInfo i;
    i.id = w;
    if (!display_ || !w) return i;
    i.title = text(w, "_NET_WM_NAME", "UTF8_STRING");
    if (i.title.empty()) i.title = text(w, "WM_NAME", "STRING");
    XWindowAttributes a;
    if (XGetWindowAttributes(display_, w, &a)) {
        i.viewable = a.map_state == IsViewable;
        i.overrideRedirect = a.override_redirect;
        i.width = a.width;
        i.height = a.height;
        Window child = 0;
        XTranslateCoordinates(display_, w, root(), 0, 0, &i.x, &i.y, &child);
    }
    std::vector<unsigned long> pid = cardinals(w, "_NET_WM_PID", "CARDINAL");
    if (!pid.empty()) i.pid = static_cast<pid_t>(pid[0]);
    for (unsigned long atom : cardinals(w, "_NET_WM_WINDOW_TYPE", "ATOM")) {
        if (char* name = XGetAtomName(display_, atom)) {
            i.types.emplace_back(name);
            XFree(name);
        }
    }
    return i;
}

void XDisplay::collect(XWindowId w, pid_t pid, std::vector<XWindowInfo>& out) {
    Window rootReturn = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display_, w, &rootReturn, &parent, &children, &count)) return;
    std::vector<Window> list(children, children + count);
    if (children) XFree(children);
    for (Window c : list) {
        std::vector<unsigned long> p = cardinals(c, "_NET_WM_PID", "CARDINAL");
        if (!p.empty() && static_cast<pid_t>(p[0]) == pid) out.push_back(info(c));
        collect(c, pid, out);
    }
}

std::vector<XWindowInfo> XDisplay::windowsOf(pid_t pid) {
    std::vector<XWindowInfo> out;
    if (display_) collect(root(), pid, out);
    return out;
}

std::vector<XWindowId> XDisplay::ancestors(XWindowId w) {
    std::vector<XWindowId> chain;
    while (display_ && w && w != root()) {
        Window rootReturn = 0, parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display_, w, &rootReturn, &parent, &children, &count)) break;
        if (children) XFree(children);
        if (!parent || parent == root()) break;
        chain.push_back(parent);
        w = parent;
    }
    return chain;
}

XWindowId XDisplay::trayOwner() {
    if (!display_) return 0;
    return XGetSelectionOwner(display_, XInternAtom(display_, "_NET_SYSTEM_TRAY_S0", False));
}

std::vector<XWindowId> XDisplay::clientList() {
    if (!display_) return {};
    return cardinals(root(), "_NET_CLIENT_LIST", "WINDOW");
}

XWindowId XDisplay::activeWindow() {
    if (!display_) return 0;
    std::vector<unsigned long> w = cardinals(root(), "_NET_ACTIVE_WINDOW", "WINDOW");
    return w.empty() ? 0 : w[0];
}

XWindowId XDisplay::windowAtPointer() {
    if (!display_) return 0;
    XWindowId deepest = 0;
    Window w = root();
    for (int depth = 0; depth < 32; ++depth) {
        Window rootReturn = 0, child = 0;
        int rx = 0, ry = 0, wx = 0, wy = 0;
        unsigned mask = 0;
        if (!XQueryPointer(display_, w, &rootReturn, &child, &rx, &ry, &wx, &wy, &mask) || !child)
            break;
        deepest = w = child;
    }
    return deepest;
}

bool XDisplay::windowManagerRunning() {
    if (!display_) return false;
    std::vector<unsigned long> check = cardinals(root(), "_NET_SUPPORTING_WM_CHECK", "WINDOW");
    if (check.empty()) return false;
    std::vector<unsigned long> self = cardinals(check[0], "_NET_SUPPORTING_WM_CHECK", "WINDOW");
    return !self.empty() && self[0] == check[0];
}

bool XDisplay::grabSuperKey(const char* keysym) {
    if (!display_) return false;
    KeyCode code = XKeysymToKeycode(display_, XStringToKeysym(keysym));
    if (!code) return false;
    for (unsigned locks :
         {0u, unsigned(LockMask), unsigned(Mod2Mask), unsigned(LockMask | Mod2Mask)})
        XGrabKey(display_, code, Mod4Mask | locks, root(), False, GrabModeAsync, GrabModeAsync);
    XSync(display_, False);
    return true;
}

void XDisplay::requestClose(XWindowId w) {
    if (!display_) return;
    XEvent e;
    std::memset(&e, 0, sizeof e);
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = XInternAtom(display_, "_NET_CLOSE_WINDOW", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = CurrentTime;
    e.xclient.data.l[1] = 2;  // a pager or the user, not the application itself
    XSendEvent(display_, root(), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    XFlush(display_);
}

void XDisplay::watchMapping() {
    if (!display_) return;
    mapped_.clear();
    XSelectInput(display_, root(), SubstructureNotifyMask);
    XSync(display_, False);
}

bool XDisplay::wasMapped(XWindowId w) {
    if (!display_) return false;
    XSync(display_, False);
    while (XPending(display_) > 0) {
        XEvent e;
        XNextEvent(display_, &e);
        if (e.type == MapNotify) mapped_.push_back(e.xmap.window);
        if (e.type == ReparentNotify && e.xreparent.parent != root())
            mapped_.push_back(e.xreparent.window);
    }
    return std::find(mapped_.begin(), mapped_.end(), w) != mapped_.end();
}

}  // namespace corvix::app::desktop_testing
