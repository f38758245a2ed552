#include "platform/desktop/x11_client_ping.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

namespace corvix::desktop::x11 {
namespace {

using Clock = std::chrono::steady_clock;

// How often the answers are looked for while waiting.
constexpr auto kSlice = std::chrono::milliseconds(5);
// Window trees are shallow; a loop in a broken one must not hang the wait.
constexpr int kMaxDepth = 32;

// The window that lists _NET_WM_PING among its protocols: `w` itself or the first one
// above it (the focus may sit in a child of the top-level). 0 when none has it; `gone`
// when `w` no longer exists.
XWindow pingWindow(const Connection& c, XWindow w, Atom ping, bool* gone) {
    Display* dpy = c.display();
    ErrorTrap trap(c);
    for (int depth = 0; w != 0 && w != c.root() && depth < kMaxDepth; ++depth) {
        Atom* protocols = nullptr;
        int count = 0;
        if (XGetWMProtocols(dpy, w, &protocols, &count)) {
            const bool answers = std::find(protocols, protocols + count, ping) != protocols + count;
            XFree(protocols);
            if (answers) return w;
        }
        Window root = 0, parent = 0, *children = nullptr;
        unsigned n = 0;
        if (!XQueryTree(dpy, w, &root, &parent, &children, &n)) {
            *gone = true;
            return 0;
        }
        if (children) XFree(children);
        w = parent;
    }
    return 0;
}

// Our answers are told from the window manager's own pings by a value it does not use
// (it counts up from small numbers).
uint32_t nextCookie() {
    static uint32_t counter = 0;
    return 0xC0000000u | ((static_cast<uint32_t>(getpid()) & 0x3FFFu) << 16) |
           (++counter & 0xFFFFu);
}

}  // namespace

PingResult pingClients(const std::vector<XWindow>& windows, std::chrono::milliseconds limit,
                       const std::function<bool(std::chrono::milliseconds)>& pause) {
    // A connection of its own: the answers come as events on the root window, which the
    // caller's connection does not select.
    Connection c;
    if (!c.ok()) return PingResult::Unsupported;
    Display* dpy = c.display();
    const Atom protocolsAtom = XInternAtom(dpy, "WM_PROTOCOLS", False);
    const Atom ping = XInternAtom(dpy, "_NET_WM_PING", False);

    std::vector<XWindow> waiting;
    for (XWindow w : windows) {
        bool gone = false;
        const XWindow target = pingWindow(c, w, ping, &gone);
        if (gone) continue;
        if (target == 0) return PingResult::Unsupported;
        if (std::find(waiting.begin(), waiting.end(), target) == waiting.end())
            waiting.push_back(target);
    }
    if (waiting.empty()) return PingResult::Answered;

    const uint32_t cookie = nextCookie();
    XSelectInput(dpy, c.root(), SubstructureNotifyMask);
    {
        ErrorTrap trap(c);
        for (XWindow w : waiting) {
            // A window destroyed while it is waited for has no one left to read keys.
            XSelectInput(dpy, w, StructureNotifyMask);
            XEvent e{};
            e.xclient.type = ClientMessage;
            e.xclient.window = w;
            e.xclient.message_type = protocolsAtom;
            e.xclient.format = 32;
            e.xclient.data.l[0] = static_cast<long>(ping);
            e.xclient.data.l[1] = static_cast<long>(cookie);
            e.xclient.data.l[2] = static_cast<long>(w);
            XSendEvent(dpy, w, False, NoEventMask, &e);
        }
        trap.sync();
    }
    // One destroyed before its events were selected sends no notice: it is gone now.
    waiting.erase(
        std::remove_if(waiting.begin(), waiting.end(), [&](XWindow w) { return !c.exists(w); }),
        waiting.end());

    const auto deadline = Clock::now() + limit;
    for (;;) {
        while (XPending(dpy) > 0) {
            XEvent ev;
            XNextEvent(dpy, &ev);
            XWindow answered = 0;
            if (ev.type == ClientMessage && ev.xclient.message_type == protocolsAtom &&
                ev.xclient.format == 32 && static_cast<Atom>(ev.xclient.data.l[0]) == ping &&
                static_cast<uint32_t>(ev.xclient.data.l[1]) == cookie) {
                // The wire carries 32 bits, which Xlib widens with their sign.
                answered = static_cast<uint32_t>(ev.xclient.data.l[2]);
            } else if (ev.type == DestroyNotify) {
                answered = ev.xdestroywindow.window;
            }
            waiting.erase(std::remove(waiting.begin(), waiting.end(), answered), waiting.end());
        }
        if (waiting.empty()) return PingResult::Answered;
        const auto now = Clock::now();
        if (now >= deadline) return PingResult::NoAnswer;
        const auto slice = std::min<Clock::duration>(kSlice, deadline - now);
        const auto ms = std::max(std::chrono::milliseconds(1),
                                 std::chrono::ceil<std::chrono::milliseconds>(slice));
        if (!pause) {
            std::this_thread::sleep_for(ms);
        } else if (!pause(ms)) {
            return PingResult::NoAnswer;
        }
    }
}

}  // namespace corvix::desktop::x11
