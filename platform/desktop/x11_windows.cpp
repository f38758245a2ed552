#include "platform/desktop/x11_windows.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <thread>

namespace corvix::desktop::x11 {
namespace {

constexpr int kMaxDepth = 16;
constexpr size_t kMaxChildTexts = 4096;

}  // namespace

bool Windows::windowManagerRunning() const {
    XAtom check = c_.atom(Connection::kNetSupportingWmCheck);
    auto onRoot = c_.cardinals(c_.root(), check, XA_WINDOW);
    if (onRoot.empty() || onRoot[0] == 0) return false;
    auto onSelf = c_.cardinals(onRoot[0], check, XA_WINDOW);
    return !onSelf.empty() && onSelf[0] == onRoot[0];
}

// The client window inside a window manager's frame (the one carrying WM_STATE).
XWindow Windows::clientOf(XWindow window, int depth) const {
    if (c_.hasProperty(window, c_.atom(Connection::kWmState))) return window;
    if (depth <= 0) return 0;
    for (XWindow child : c_.children(window)) {
        if (XWindow found = clientOf(child, depth - 1)) return found;
    }
    return 0;
}

std::vector<WindowInfo> Windows::top() const {
    std::vector<unsigned long> order;
    if (windowManagerRunning()) {
        order = c_.cardinals(c_.root(), c_.atom(Connection::kNetClientListStacking), XA_WINDOW);
    }
    const bool fromManager = !order.empty();
    if (!fromManager) order = c_.children(c_.root());

    std::vector<WindowInfo> out;
    out.reserve(order.size());
    for (auto it = order.rbegin(); it != order.rend(); ++it) {  // bottom-to-top lists
        XWindow w = *it;
        std::string title = c_.title(w);
        if (title.empty() && !fromManager) {
            // A frame of a manager that keeps no list: the title is on its client.
            if (XWindow client = clientOf(w, 2); client && client != w) {
                w = client;
                title = c_.title(w);
            }
        }
        if (title.empty()) continue;  // nothing to match a pattern against
        out.push_back({w, std::move(title), c_.windowClass(w)});
    }
    return out;
}

std::vector<std::string> Windows::childTexts(XWindow window) const {
    std::vector<std::string> out;
    std::vector<std::pair<XWindow, int>> stack;
    auto kids = c_.children(window);
    for (auto it = kids.rbegin(); it != kids.rend(); ++it) stack.emplace_back(*it, 1);
    while (!stack.empty() && out.size() < kMaxChildTexts) {
        auto [w, depth] = stack.back();
        stack.pop_back();
        std::string t = c_.title(w);
        if (!t.empty()) out.push_back(std::move(t));
        if (depth >= kMaxDepth) continue;
        auto sub = c_.children(w);
        for (auto it = sub.rbegin(); it != sub.rend(); ++it) stack.emplace_back(*it, depth + 1);
    }
    return out;
}

long Windows::processId(XWindow window) const {
    auto pid = c_.cardinals(window, c_.atom(Connection::kNetWmPid), XA_CARDINAL);
    return pid.empty() ? 0 : static_cast<long>(pid[0]);
}

XWindow Windows::topLevelOf(XWindow window) const {
    Display* dpy = c_.display();
    ErrorTrap trap(c_);
    XWindow w = window;
    for (int i = 0; i < kMaxDepth; ++i) {
        Window rootReturn = 0, parent = 0;
        Window* kids = nullptr;
        unsigned int n = 0;
        if (!XQueryTree(dpy, w, &rootReturn, &parent, &kids, &n)) return 0;
        if (kids) XFree(kids);
        if (parent == 0 || parent == rootReturn) return w;
        w = parent;
    }
    return 0;
}

XWindow Windows::foreground() const {
    if (windowManagerRunning()) {
        auto active = c_.cardinals(c_.root(), c_.atom(Connection::kNetActiveWindow), XA_WINDOW);
        return active.empty() ? 0 : active[0];
    }
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(c_.display(), &focus, &revert);
    if (focus == None || focus == PointerRoot || focus == c_.root()) return 0;
    XWindow topLevel = topLevelOf(focus);
    if (!topLevel) return 0;
    XWindow client = clientOf(topLevel, 2);
    return client ? client : topLevel;
}

bool Windows::hasFocus(XWindow window) const {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(c_.display(), &focus, &revert);
    if (focus == None || focus == PointerRoot) return false;
    if (focus == knownFocus_ && window == knownFocusOwner_) return true;
    // The focus may sit on the window itself or on one of its descendants.
    Display* dpy = c_.display();
    ErrorTrap trap(c_);
    XWindow w = focus;
    for (int i = 0; i < kMaxDepth && w; ++i) {
        if (w == window) {
            knownFocus_ = focus;
            knownFocusOwner_ = window;
            return true;
        }
        Window rootReturn = 0, parent = 0;
        Window* kids = nullptr;
        unsigned int n = 0;
        if (!XQueryTree(dpy, w, &rootReturn, &parent, &kids, &n)) return false;
        if (kids) XFree(kids);
        if (parent == rootReturn) return false;
        w = parent;
    }
    return false;
}

bool Windows::waitForFocus(XWindow window, std::chrono::milliseconds limit) const {
    auto deadline = std::chrono::steady_clock::now() + limit;
    // With a manager, activation is done when it also names the window as active, so
    // that foreground() agrees with what activate() answered.
    const bool managed = windowManagerRunning();
    while (true) {
        if (hasFocus(window) && (!managed || foreground() == window)) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void Windows::askManager(XWindow window) const {
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = window;
    ev.xclient.message_type = c_.atom(Connection::kNetActiveWindow);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = 2;  // asked for by the user's tool, not by the program
    ev.xclient.data.l[1] = CurrentTime;
    XSendEvent(c_.display(), c_.root(), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &ev);
    XFlush(c_.display());
}

bool Windows::focusDirectly(XWindow window) const {
    ErrorTrap trap(c_);
    XMapRaised(c_.display(), window);
    XSetInputFocus(c_.display(), window, RevertToParent, CurrentTime);
    return trap.sync() == 0;
}

bool Windows::requestActivation(XWindow window) const {
    if (!c_.exists(window)) return false;
    if (windowManagerRunning())
        askManager(window);
    else
        focusDirectly(window);  // a window not viewable yet is asked again by the caller
    return true;
}

bool Windows::activate(XWindow window, std::chrono::milliseconds limit) const {
    if (!c_.exists(window)) return false;
    Display* dpy = c_.display();
    if (windowManagerRunning()) {
        // A window that has just been mapped may not be managed yet, and a manager may
        // drop a request it got too early: ask again until the focus arrives.
        auto deadline = std::chrono::steady_clock::now() + limit;
        do {
            askManager(window);
            if (waitForFocus(window, std::chrono::milliseconds(200))) return true;
        } while (std::chrono::steady_clock::now() < deadline && c_.exists(window));
    }
    // No manager, or one that would not: raise and focus it ourselves.
    {
        ErrorTrap trap(c_);
        XMapRaised(dpy, window);
        XSync(dpy, False);
    }
    auto deadline =
        std::chrono::steady_clock::now() + std::min(limit, std::chrono::milliseconds(500));
    XWindowAttributes attrs{};
    while (XGetWindowAttributes(dpy, window, &attrs) && attrs.map_state != IsViewable &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!focusDirectly(window)) return false;  // not viewable, or gone meanwhile
    return waitForFocus(window, std::chrono::milliseconds(200));
}

}  // namespace corvix::desktop::x11
