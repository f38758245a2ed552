#include "platform/desktop/x11_connection.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace corvix::desktop::x11 {
namespace {

// Xlib's error handler is process-wide. Ours records the first error of the innermost
// trap on one of our connections; with no trap open such an error is dropped: a window
// that closed while we looked at it is normal on a desktop and must not end the
// program. Errors of other connections go to the handler that was there before. The
// handler is put back at every trap, since another library (a toolkit) may have
// replaced it since.
int g_trapDepth = 0;
int g_trapError = 0;
XErrorHandler g_previous = nullptr;
std::vector<Display*> g_ours;

int recordError(Display* dpy, XErrorEvent* event) {
    if (std::find(g_ours.begin(), g_ours.end(), dpy) == g_ours.end()) {
        return g_previous ? g_previous(dpy, event) : 0;
    }
    if (g_trapDepth > 0 && g_trapError == 0) g_trapError = event->error_code;
    return 0;
}

void installHandler() {
    XErrorHandler before = XSetErrorHandler(recordError);
    if (before != recordError) g_previous = before;
}

const char* const kAtomNames[Connection::kAtomCount] = {
    "_NET_SUPPORTING_WM_CHECK",
    "_NET_CLIENT_LIST_STACKING",
    "_NET_CLIENT_LIST",
    "_NET_ACTIVE_WINDOW",
    "_NET_WM_NAME",
    "_NET_WM_PID",
    "WM_STATE",
    "UTF8_STRING",
    "AT_SPI_BUS",
};

}  // namespace

Connection::Connection(const char* name) {
    installHandler();
    const char* shown = name ? name : std::getenv("DISPLAY");
    if (!shown || !*shown) {
        failure_ = "DISPLAY is not set";
        return;
    }
    dpy_ = XOpenDisplay(name);
    if (!dpy_) {
        failure_ = std::string("cannot open display ") + shown;
        return;
    }
    g_ours.push_back(dpy_);
    root_ = DefaultRootWindow(dpy_);
    XInternAtoms(dpy_, const_cast<char**>(kAtomNames), kAtomCount, False, atoms_);
}

Connection::~Connection() {
    if (!dpy_) return;
    XCloseDisplay(dpy_);
    g_ours.erase(std::remove(g_ours.begin(), g_ours.end(), dpy_), g_ours.end());
}

int Connection::fd() const {
    return dpy_ ? ConnectionNumber(dpy_) : -1;
}

void Connection::flush() const {
    XFlush(dpy_);
}
void Connection::sync() const {
    XSync(dpy_, False);
}

std::vector<unsigned long> Connection::cardinals(XWindow window, XAtom property, XAtom type) const {
    std::vector<unsigned long> out;
    if (!window) return out;
    ErrorTrap trap(*this);
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(dpy_, window, property, 0, 1 << 16, False, type, &actualType, &format,
                           &count, &after, &data) == Success &&
        data) {
        if (actualType == type && format == 32) {
            auto* values = reinterpret_cast<unsigned long*>(data);  // longs, whatever format 32
            out.assign(values, values + count);
        }
        XFree(data);
    }
    return out;
}

bool Connection::hasProperty(XWindow window, XAtom property) const {
    ErrorTrap trap(*this);
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool found = XGetWindowProperty(dpy_, window, property, 0, 0, False, AnyPropertyType,
                                    &actualType, &format, &count, &after, &data) == Success &&
                 actualType != None;
    if (data) XFree(data);
    return found;
}

std::string Connection::utf8Property(XWindow window, XAtom property) const {
    std::string out;
    ErrorTrap trap(*this);
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(dpy_, window, property, 0, 1 << 14, False, atoms_[kUtf8String],
                           &actualType, &format, &count, &after, &data) == Success &&
        data) {
        if (actualType == atoms_[kUtf8String] && format == 8) {
            out.assign(reinterpret_cast<char*>(data), count);
        }
        XFree(data);
    }
    return out;
}

std::string Connection::textProperty(XWindow window, XAtom property) const {
    std::string out;
    ErrorTrap trap(*this);
    XTextProperty prop{};
    if (!XGetTextProperty(dpy_, window, &prop, property) || !prop.value) return out;
    if (prop.encoding == XA_STRING && prop.format == 8) {
        // Latin-1: every byte is its own code point.
        for (unsigned long i = 0; i < prop.nitems; ++i) {
            unsigned char c = prop.value[i];
            if (c < 0x80) {
                out += static_cast<char>(c);
            } else {
                out += static_cast<char>(0xC0 | (c >> 6));
                out += static_cast<char>(0x80 | (c & 0x3F));
            }
        }
    } else if (prop.encoding == atoms_[kUtf8String] && prop.format == 8) {
        out.assign(reinterpret_cast<char*>(prop.value), prop.nitems);
    } else {
        char** list = nullptr;
        int count = 0;
        if (Xutf8TextPropertyToTextList(dpy_, &prop, &list, &count) >= Success && list) {
            if (count > 0 && list[0]) out = list[0];
            XFreeStringList(list);
        }
    }
    XFree(prop.value);
    // A title ends at its first NUL, as a C string would.
    if (auto nul = out.find('\0'); nul != std::string::npos) out.resize(nul);
    return out;
}

std::string Connection::title(XWindow window) const {
    std::string t = utf8Property(window, atoms_[kNetWmName]);
    if (auto nul = t.find('\0'); nul != std::string::npos) t.resize(nul);
    if (!t.empty()) return t;
    return textProperty(window, XA_WM_NAME);
}

std::string Connection::windowClass(XWindow window) const {
    ErrorTrap trap(*this);
    XClassHint hint{};
    std::string out;
    if (XGetClassHint(dpy_, window, &hint)) {
        if (hint.res_class) out = hint.res_class;
        if (hint.res_name) XFree(hint.res_name);
        if (hint.res_class) XFree(hint.res_class);
    }
    return out;
}

std::vector<XWindow> Connection::children(XWindow window) const {
    std::vector<XWindow> out;
    ErrorTrap trap(*this);
    Window rootReturn = 0, parent = 0;
    Window* kids = nullptr;
    unsigned int count = 0;
    if (XQueryTree(dpy_, window, &rootReturn, &parent, &kids, &count) && kids) {
        out.assign(kids, kids + count);
    }
    if (kids) XFree(kids);
    return out;
}

bool Connection::exists(XWindow window) const {
    if (!window) return false;
    ErrorTrap trap(*this);
    XWindowAttributes attrs;
    return XGetWindowAttributes(dpy_, window, &attrs) != 0;
}

ErrorTrap::ErrorTrap(const Connection& connection) : connection_(connection) {
    installHandler();
    saved_ = g_trapError;
    g_trapError = 0;
    ++g_trapDepth;
}

ErrorTrap::~ErrorTrap() {
    // Requests with a reply report their errors before they return; an error of a later
    // one-way request arrives outside the trap and is dropped. Call sync() to see those.
    --g_trapDepth;
    g_trapError = saved_;
}

int ErrorTrap::sync() {
    XSync(connection_.display(), False);
    return g_trapError;
}

int ErrorTrap::error() const {
    return g_trapError;
}

}  // namespace corvix::desktop::x11
