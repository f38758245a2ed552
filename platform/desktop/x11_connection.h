// One Xlib connection with the atoms and property reads the X11 backend needs, and a
// trap for protocol errors (a window can vanish between two requests). Internal to the
// desktop layer; X11 types are spelled out so that no X11 header leaks from here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct _XDisplay;

namespace corvix::desktop::x11 {

using XWindow = unsigned long;  // an X resource id
using XAtom = unsigned long;

class Connection {
  public:
    // Opens $DISPLAY (or `name`); ok() is false when that fails, with the reason.
    explicit Connection(const char* name = nullptr);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool ok() const { return dpy_ != nullptr; }
    const std::string& failure() const { return failure_; }
    _XDisplay* display() const { return dpy_; }
    XWindow root() const { return root_; }
    int fd() const;

    enum AtomId {
        kNetSupportingWmCheck,
        kNetClientListStacking,
        kNetClientList,
        kNetActiveWindow,
        kNetWmName,
        kNetWmPid,
        kWmState,
        kUtf8String,
        kAtSpiBus,
        kAtomCount
    };
    XAtom atom(AtomId id) const { return atoms_[id]; }

    // Property reads; empty / false when the window or the property is missing.
    std::vector<unsigned long> cardinals(XWindow window, XAtom property, XAtom type) const;
    bool hasProperty(XWindow window, XAtom property) const;
    std::string utf8Property(XWindow window, XAtom property) const;
    // WM_NAME in whatever encoding it was set, converted to UTF-8.
    std::string textProperty(XWindow window, XAtom property) const;

    // _NET_WM_NAME, then WM_NAME.
    std::string title(XWindow window) const;
    // The class part of WM_CLASS.
    std::string windowClass(XWindow window) const;
    // Children bottom to top of the stacking order (empty when the window is gone).
    std::vector<XWindow> children(XWindow window) const;
    bool exists(XWindow window) const;

    void flush() const;
    void sync() const;

  private:
    _XDisplay* dpy_ = nullptr;
    XWindow root_ = 0;
    XAtom atoms_[kAtomCount] = {};
    std::string failure_;
};

// Collects protocol errors of one connection while alive, instead of letting Xlib's
// default handler end the process. Errors outside any trap are ignored, never fatal.
class ErrorTrap {
  public:
    explicit ErrorTrap(const Connection& connection);
    ~ErrorTrap();
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;
    // Waits until the server has handled every request so far; the first error code
    // caught (0 when none).
    int sync();
    int error() const;

  private:
    const Connection& connection_;
    int saved_ = 0;
};

}  // namespace corvix::desktop::x11
