// The main frame ("Main"): menu bar, toolbar and status bar, the logged-on and
// logged-off states, the tray icon and its menu, the hot key and the one-second timer
// that drives watching and the inactivity logoff. Closing it hides it into the tray;
// only Exit ends the program.
#pragma once

#include <QMainWindow>
#include <QMdiArea>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>

#include "app/frame_commands.h"
#include "app/hotkeys.h"
#include "app/tray_icon.h"
#include "app/tray_menu.h"
#include "send/watch.h"

class QLabel;
class QSocketNotifier;
class QToolBar;

namespace corvix::desktop {
class Desktop;
}
namespace corvix::framework {
class ListOutput;
class WindowManager;
}  // namespace corvix::framework

namespace corvix::app {

constexpr int kEventAccountsChanged = 1100;
constexpr int kToolbarAdd = 2000;
constexpr int kToolbarFirstForwarded = 2001;
constexpr int kToolbarLast = 2012;

// Opens the window of a command. A command without a launcher stays disabled: its
// window does not exist in this program yet.
using Launcher = std::function<void()>;

struct FrameOptions {
    int designedTimerPeriod = 100;            // hundredths of a second
    desktop::Desktop* desktop = nullptr;      // hot key and foreground window; none = neither
    send::AccountSource* accounts = nullptr;  // what the watch reads
    // The vault start-up checks; returns whether a master record exists and fills the
    // logged-on decision. Empty = no vault (tests of the frame alone).
    std::function<bool(bool* loggedOn)> vaultChecks;
    std::function<void()> closeTables;  // the tables the checks opened
};

class MainFrame : public QMainWindow {
    Q_OBJECT
  public:
    explicit MainFrame(FrameOptions options = {});
    ~MainFrame() override;

    // The opening sequence: tray icon, hot key, saved position, tray menu, vault checks.
    void open();

    void setLauncher(Command command, Launcher launcher);
    bool hasLauncher(Command command) const;
    QAction* action(Command command) const;
    QAction* toolAction(int control) const;  // 2000 .. 2012
    QAction* logonTool() const { return logonTool_; }
    QAction* logoffTool() const { return logoffTool_; }
    QMdiArea* mdiArea() { return area_; }
    TrayIcon& tray() { return *tray_; }
    TrayMenu& trayMenu() { return trayMenu_; }
    HotKeyManager& hotKeys() { return hotKeys_; }
    send::Watcher& watcher() { return watcher_; }

    bool loggedOn() const;
    bool exitFlag() const { return exit_; }
    int timerPeriod() const { return timerPeriod_; }  // hundredths, after correction
    QString statusZone(int zone) const;               // 3: day and date, 4: time

    // Runs a command as its menu item does (when it is enabled).
    void run(Command command);
    void enterLoggedOn();
    void enterLoggedOff();
    // A vault that is not set up has no password to check yet: Logon waits until the
    // set-up wizard has stored the master record, which then calls this.
    void allowLogon();
    void timerTick();
    void frameEvent(int event);  // 1089 .. 1093, 1100, 1810

    // The accounts list registers itself when it opens (thread 0 = none open).
    void setAccountsList(int thread, int sendControl, int urlControl);
    int accountsListThread() const { return accountsThread_; }

    // The tray's right click: enables the items, shows the menu, runs the choice.
    void showTrayMenu(const QPoint& where);
    void runTrayChoice(const std::string& name);
    void updateTrayMenu();
    // The navigation buttons follow the active child window: enabled and tipped as that
    // window interprets them, disabled when no window is active.
    void updateToolbar();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    class FrameTray;
    void buildMenus();
    void buildToolbar();
    void buildStatusBar();
    void refreshStatusBar();
    void setMenuCommandsEnabled(bool enabled);
    void applyAvailability();
    void enableCommand(Command command, bool enabled);
    void forwardToolbar(int control);
    static bool listCommand(Command command);
    framework::ListOutput* activeListOutput() const;
    void runListCommand(Command command);
    void startBackup();
    void openHelp(const char* page);
    void openAbout();
    void closeFrame();
    void savePosition();
    void postCommand(Command command);

    FrameOptions options_;
    QMdiArea* area_ = nullptr;
    std::map<Command, QAction*> actions_;
    std::map<Command, Launcher> launchers_;
    std::map<Command, bool> stateEnabled_;
    std::map<int, QAction*> toolActions_;
    QAction* logonTool_ = nullptr;
    QAction* logoffTool_ = nullptr;
    std::map<Menu, QMenu*> menus_;
    QLabel* zones_[4] = {};
    QTimer timer_;
    int timerPeriod_ = 100;
    std::unique_ptr<TrayIcon> tray_;
    TrayMenu trayMenu_;
    HotKeyManager hotKeys_;
    QSocketNotifier* hotKeyNotifier_ = nullptr;
    send::Watcher watcher_;
    bool exit_ = false;
    bool opened_ = false;
    bool closed_ = false;
    int accountsThread_ = 0;
    int accountsSend_ = 0;
    int accountsUrl_ = 0;
    double startMoment_ = 0;
    std::map<int, QPointer<framework::WindowManager>> managers_;  // by thread
};

}  // namespace corvix::app
