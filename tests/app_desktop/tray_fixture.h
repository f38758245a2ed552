// The tray tests' common ground: a vault folder set up with corvix-cli, the program
// started in it, and what the tests look for on the display (the icon inside the tray
// host, the frame, the tray menu, a window by title).
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "child_process.h"
#include "x_windows.h"

namespace corvix::app::desktop_testing {

inline constexpr const char* kFrameTitle = "Halden Corvix";
inline constexpr const char* kLogonWindowTitle = "Enter Master Password";
// Makes the program's windows readable over accessibility (waitForText).
inline constexpr const char* kAccessibleEnv = "QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1";

// The program under test, ended by its process id when this goes.
struct Program {
    std::unique_ptr<Child> child;
    std::string logPath;
    pid_t pid() const { return child ? child->pid() : 0; }
};

// Holds a lock file per display while alive, so that tests moving the mouse and the
// focus of the shared display (here and in the other desktop tests) take turns.
class DisplayLock {
  public:
    explicit DisplayLock(const std::string& display);
    ~DisplayLock();
    DisplayLock(const DisplayLock&) = delete;
    DisplayLock& operator=(const DisplayLock&) = delete;

  private:
    int fd_ = -1;
};

class TrayProgramTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Whether the test works on the shared display ($DISPLAY); without one it is skipped.
    virtual bool usesSharedDisplay() const { return true; }

    // A vault set up by corvix-cli init with this master password (on its standard input).
    bool makeVault(const std::string& masterPassword);
    ToolResult cli(const std::vector<std::string>& args);
    // Starts the program in the vault folder on `display` ("" = $DISPLAY), with env
    // ("NAME=value") added to its environment.
    Program start(const std::string& display = "", const std::vector<std::string>& env = {});
    // Win+S, the master password typed into the logon window and Return; true once the
    // frame (with the accounts list the logon opens) is shown and active.
    bool logOnWithHotKey(Program& p, const std::string& masterPassword);
    std::string log(const Program& p) const;
    // The whole display as the program's windows stand, and its output: for failures.
    std::string describe(XDisplay& x, const Program& p) const;

    // The tray host of the shared display: CORVIX_TRAYER_PID, else the process that owns
    // the tray selection's window.
    pid_t trayHostPid();
    // xdotool on `display` ("" = $DISPLAY); its exit code.
    int xdotool(const std::vector<std::string>& args, const std::string& display = "");
    // Opens the frame's "&Lists" menu with the mouse (its third title): while the accounts
    // list has the focus, Alt+L is that list's "&Locate" prompt.
    // 0 once the menu shows; else xdotool's exit code, or -1 when no menu came.
    int openListsMenu(const Program& p, XWindowId frame);
    // Presses `key` (a menu's Alt+letter) and waits until the program shows a pop-up menu:
    // a letter typed before the menu is open goes to the window below it.
    bool openMenuByKey(const Program& p, const std::string& key);
    // Waits until the program's top-level window `window` shows `text` (a label, a name,
    // an edit's content or an inner window's title), read over accessibility: inner
    // windows are no X windows. The program must run with kAccessibleEnv.
    bool waitForText(const Program& p, const std::string& window, const std::string& text,
                     std::chrono::milliseconds limit = std::chrono::seconds(15));
    // Moves the pointer onto the program's icon where it is now and, once the pointer rests
    // on it, clicks with `button` `count` times (80 ms apart); the icon clicked, or {} with
    // a failure that names the window the pointer found. The tray host lays its icons out
    // again when another one leaves or docks, so a place read when the icon first showed
    // may no longer be the icon's.
    XWindowInfo clickIcon(const Program& p, int button, int count = 1);
    // `import -window <window>` into the screenshot folder; true when a PNG was written.
    bool screenshot(const std::string& window, const std::string& fileName);

    std::string vault_;
    std::unique_ptr<XDisplay> x_;
    std::unique_ptr<DisplayLock> lock_;
};

// Tests that bring their own X server, or none.
class OwnDisplayTest : public TrayProgramTest {
  protected:
    bool usesSharedDisplay() const override { return false; }
};

// The program's icon embedded in the tray host `hostPid` (0 = any other process's
// window): a small viewable window of the program below a window of the host.
XWindowInfo embeddedIcon(XDisplay& x, const Program& p, pid_t hostPid);
XWindowInfo waitForIcon(XDisplay& x, const Program& p, pid_t hostPid,
                        std::chrono::milliseconds limit = std::chrono::seconds(15));
// The program's top-level window with this title ({} when there is none).
XWindowInfo windowTitled(XDisplay& x, const Program& p, const std::string& title);
XWindowInfo frameOf(XDisplay& x, const Program& p);
// The frame is mapped on the screen.
bool frameShown(XDisplay& x, const Program& p);
// The window manager lists the window among its clients (the task list).
bool inTaskList(XDisplay& x, XWindowId w);
// A pop-up of the program now on the screen: override-redirect, straight on the root.
XWindowInfo popupOf(XDisplay& x, const Program& p, XWindowId icon);
// How far (in pixels) a point lies outside a window's rectangle; 0 inside it.
int distanceToRect(int px, int py, const XWindowInfo& w);
int unusedDisplayNumber();

}  // namespace corvix::app::desktop_testing
