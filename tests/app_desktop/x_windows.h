// What the tray tests see of an X display: windows by process id, their titles, mapping,
// position and ancestry, the tray selection owner, the window manager's client list.
// Xlib stays inside x_windows.cpp: its macros clash with gtest.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

struct _XDisplay;  // Xlib's Display

namespace corvix::app::desktop_testing {

using XWindowId = unsigned long;

struct XWindowInfo {
    XWindowId id = 0;
    std::string title;              // _NET_WM_NAME, else WM_NAME
    bool viewable = false;          // mapped, and every ancestor too
    bool overrideRedirect = false;  // popups and tray icons bypass the window manager
    int x = 0, y = 0;               // top-left corner in root coordinates
    int width = 0, height = 0;
    pid_t pid = 0;                   // _NET_WM_PID, 0 without one
    std::vector<std::string> types;  // _NET_WM_WINDOW_TYPE atom names
};

class XDisplay {
  public:
    // Opens the display by name ("" = $DISPLAY). Errors of vanished windows are ignored.
    explicit XDisplay(const std::string& name = "");
    ~XDisplay();
    XDisplay(const XDisplay&) = delete;
    XDisplay& operator=(const XDisplay&) = delete;

    bool ok() const { return display_ != nullptr; }
    XWindowId root() const;

    XWindowInfo info(XWindowId w);
    // Every window below the root (any depth) whose _NET_WM_PID is `pid`.
    std::vector<XWindowInfo> windowsOf(pid_t pid);
    // The chain of parents from w's parent up to (not including) the root.
    std::vector<XWindowId> ancestors(XWindowId w);
    // The owner of _NET_SYSTEM_TRAY_S0 (0: no tray host).
    XWindowId trayOwner();
    // The window manager's _NET_CLIENT_LIST and _NET_ACTIVE_WINDOW.
    std::vector<XWindowId> clientList();
    XWindowId activeWindow();
    // The innermost window under the pointer (0 when none).
    XWindowId windowAtPointer();
    // Whether a window manager announces itself (_NET_SUPPORTING_WM_CHECK).
    bool windowManagerRunning();
    // Holds the key `keysym` with the Super modifier on the root window, as another
    // program holding that hot key would (every Num Lock / Caps Lock combination).
    bool grabSuperKey(const char* keysym);
    // Asks the window manager to close w, as its close box does (_NET_CLOSE_WINDOW).
    void requestClose(XWindowId w);
    // From this call on, notes each window mapped straight on the root or taken in by the
    // window manager (reparented away from the root when it asks to be mapped): the
    // events queue up, so a window shown for a moment is not missed.
    void watchMapping();
    // Whether a window was noted so since watchMapping().
    bool wasMapped(XWindowId w);

  private:
    std::vector<unsigned long> cardinals(XWindowId w, const char* property, const char* type);
    std::string text(XWindowId w, const char* property, const char* type);
    void collect(XWindowId w, pid_t pid, std::vector<XWindowInfo>& out);

    ::_XDisplay* display_ = nullptr;
    std::vector<XWindowId> mapped_;
};

}  // namespace corvix::app::desktop_testing
