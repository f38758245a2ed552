#include "app/main_frame.h"

#include "vault/locations.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QProcess>
#include <QSocketNotifier>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QUrl>

#include "app/about_window.h"
#include "app/icons.h"
#include "app/startup.h"
#include "framework/list_output.h"
#include "framework/prompt.h"
#include "framework/resizer.h"
#include "framework/threads.h"
#include "framework/toolbar.h"
#include "framework/window_manager.h"
#include "platform/desktop/desktop.h"
#include "runtime/date.h"
#include "runtime/picture.h"
#include "security/master_password.h"
#include "security/session.h"
#include "security/sounds.h"
#include "send/windows.h"
#include "vault/locations.h"

namespace corvix::app {

namespace {

using framework::ThreadRegistry;

constexpr const char* kProcedure = "Main";
constexpr const char* kHotKeyName = "WinS";
constexpr const char* kBackupProgram = "Pellor.EXE";
constexpr const char* kVaultFile = "Corvix.TPS";
// The list command that offers a list's saved report designs.
constexpr const char* kReportsCommand = "Reports\u2026";

// Day names, nine characters each, indexed by the standard date modulo 7 (0 Sunday).
constexpr const char* kDayNames[7] = {"Sunday   ", "Monday   ", "Tuesday  ", "Wednesday",
                                      "Thursday ", "Friday   ", "Saturday "};

// Commands the frame carries out itself; every other command needs a launcher.
bool builtIn(Command c) {
    switch (c) {
        case Command::PrintSetup:
        case Command::PrintList:
        case Command::PreviewList:
        case Command::ExportListCsv:
        case Command::ExportListHtml:
        case Command::ListReports:
        case Command::Backup:
        case Command::Exit:
        case Command::Cut:
        case Command::Copy:
        case Command::Paste:
        case Command::Logon:
        case Command::Logoff:
        case Command::Send:
        case Command::Tile:
        case Command::Cascade:
        case Command::ArrangeIcons:
        case Command::HelpContents:
        case Command::HelpSearch:
        case Command::HelpHowTo:
        case Command::About:
            return true;
        default:
            return false;
    }
}

struct NavButton {
    int control;
    QStyle::StandardPixmap icon;
};

// The list-navigation buttons in toolbar order.
const NavButton kNavButtons[] = {
    {framework::kToolChange, QStyle::SP_FileDialogDetailedView},
    {framework::kToolDelete, QStyle::SP_TrashIcon},
    {framework::kToolTop, QStyle::SP_MediaSkipBackward},
    {framework::kToolPageUp, QStyle::SP_MediaSeekBackward},
    {framework::kToolUp, QStyle::SP_ArrowUp},
    {framework::kToolLocate, QStyle::SP_FileDialogContentsView},
    {framework::kToolDown, QStyle::SP_ArrowDown},
    {framework::kToolPageDown, QStyle::SP_MediaSeekForward},
    {framework::kToolBottom, QStyle::SP_MediaSkipForward},
    {framework::kToolHistory, QStyle::SP_DialogResetButton},
    {framework::kToolHelp, QStyle::SP_DialogHelpButton},
};

}  // namespace

// The tray icon as the frame uses it: a double-click restores (and asks for the logon
// when logged off), a right click shows the tray menu.
class MainFrame::FrameTray : public TrayIcon {
  public:
    explicit FrameTray(MainFrame* frame) : frame_(frame) {}
    void OnLeftDoubleClick() override {
        Restore();
        if (!frame_->loggedOn()) frame_->postCommand(Command::Logon);
    }
    void OnRightClick() override { frame_->showTrayMenu(QCursor::pos()); }

  private:
    MainFrame* frame_;
};

MainFrame::MainFrame(FrameOptions options)
    : options_(std::move(options)),
      tray_(std::make_unique<FrameTray>(this)),
      watcher_(options_.accounts) {
    setObjectName(kProcedure);
    setWindowTitle(kProductTitle);
    setWindowIcon(namedIcon("0corvix.ico"));
    area_ = new QMdiArea;
    area_->setObjectName("MdiArea");
    setCentralWidget(area_);
    resize(800, 560);
    buildMenus();
    buildToolbar();
    buildStatusBar();
    watcher_.setDesktop(options_.desktop);
    connect(&timer_, &QTimer::timeout, this, &MainFrame::timerTick);
    connect(tray_.get(), &TrayIcon::frameEvent, this, [this](int e) {
        // The tray's own reactions run in TrayIcon; 1093 needs nothing more here.
        if (e == kEventTaskbarCreated) return;
    });
}

MainFrame::~MainFrame() {
    // The child windows close after this frame's members are gone: their activation
    // signals must no longer reach it.
    if (area_) disconnect(area_, nullptr, this, nullptr);
    if (!closed_) closeFrame();
    auto& threads = ThreadRegistry::instance();
    if (threads.mdiArea() == area_) threads.setMdiArea(nullptr);
    threads.setFrame(nullptr);
    threads.setFrameHandlers({});
    if (opened_) framework::setWindowOpenedHook({});
}

void MainFrame::buildMenus() {
    std::map<std::string, QMenu*> submenus;
    for (const MenuItem& item : frameMenuItems()) {
        QMenu*& top = menus_[item.menu];
        if (!top) top = menuBar()->addMenu(menuTitle(item.menu));
        QMenu* target = top;
        std::string path = menuTitle(item.menu);
        for (const std::string& sub : item.submenus) {
            path += "/" + sub;
            QMenu*& m = submenus[path];
            if (!m) m = target->addMenu(QString::fromStdString(sub));
            target = m;
        }
        if (item.separatorBefore && item.submenus.empty()) target->addSeparator();
        QAction* a = target->addAction(QString::fromStdString(item.text));
        if (!item.shortcut.empty())
            a->setShortcut(QKeySequence(QString::fromStdString(item.shortcut)));
        a->setStatusTip(QString::fromStdString(item.help));
        Command c = item.command;
        connect(a, &QAction::triggered, this, [this, c] { run(c); });
        actions_[c] = a;
        stateEnabled_[c] = true;
    }
}

void MainFrame::buildToolbar() {
    QToolBar* bar = addToolBar("Toolbar");
    bar->setObjectName("Toolbar");
    bar->setMovable(false);
    logonTool_ = bar->addAction(namedIcon("_circhk.ico"), "Log on");
    logonTool_->setStatusTip("Log on");
    connect(logonTool_, &QAction::triggered, this, [this] { run(Command::Logon); });
    logoffTool_ = bar->addAction(namedIcon("_cirx.ico"), "Log off");
    logoffTool_->setStatusTip("Log off");
    connect(logoffTool_, &QAction::triggered, this, [this] { run(Command::Logoff); });
    QAction* add = bar->addAction(style()->standardIcon(QStyle::SP_FileIcon),
                                  QString::fromStdString(framework::frameTip(kToolbarAdd)));
    connect(add, &QAction::triggered, this, [this] { run(Command::AddAccount); });
    toolActions_[kToolbarAdd] = add;
    bar->addSeparator();
    for (const NavButton& b : kNavButtons) {
        QAction* a = bar->addAction(style()->standardIcon(b.icon),
                                    QString::fromStdString(framework::frameTip(b.control)));
        int control = b.control;
        connect(a, &QAction::triggered, this, [this, control] { forwardToolbar(control); });
        toolActions_[control] = a;
    }
}

void MainFrame::buildStatusBar() {
    for (int i = 1; i < 4; ++i) {
        zones_[i] = new QLabel;
        zones_[i]->setObjectName(QString("StatusZone%1").arg(i + 1));
        zones_[i]->setMinimumWidth(i == 1 ? 40 : 120);
        statusBar()->addPermanentWidget(zones_[i]);
    }
}

QString MainFrame::statusZone(int zone) const {
    if (zone < 2 || zone > 4) return statusBar()->currentMessage();
    return zones_[zone - 1]->text();
}

void MainFrame::refreshStatusBar() {
    int32_t today = runtime::today();
    int dow = today > 0 ? today % 7 : 0;
    std::string date =
        runtime::rightTrim(kDayNames[dow]) + ", " + runtime::formatPicture(today, "@d17");
    zones_[2]->setText(QString::fromStdString(date));
    zones_[3]->setText(QString::fromStdString(runtime::formatPicture(runtime::clockNow(), "@t7")));
}

void MainFrame::open() {
    if (opened_) return;
    opened_ = true;
    // 1. The start moment; the frame window.
    startMoment_ = runtime::momentNow();
    auto& threads = ThreadRegistry::instance();
    threads.setMdiArea(area_);
    threads.setFrame(this);
    threads.setFrameHandlers({[this](int control) {
                                  if (control == kToolbarAdd) run(Command::AddAccount);
                              },
                              [this](int event) { frameEvent(event); },
                              {}});
    framework::setWindowOpenedHook([this](framework::WindowManager& wm) {
        if (wm.thread() > 0) managers_[wm.thread()] = &wm;
        updateToolbar();
    });
    connect(area_, &QMdiArea::subWindowActivated, this, [this] {
        updateToolbar();
        applyAvailability();
    });
    updateToolbar();
    // 2. and 3. The tray icon; its mouse events come back as frame events.
    tray_->Init(this, "Corvix", "0corvix.ico", 101, false, false);
    // 4. The hot key.
    if (options_.desktop) {
        hotKeys_.Init(options_.desktop, [] {
            ThreadRegistry::instance().postEvent(framework::kFrameThread, kEventHotKey);
        });
        hotKeys_.AddKey(kHotKeyName);
        hotKeys_.Activate();
        int fd = options_.desktop->eventFd();
        if (fd >= 0) {
            hotKeyNotifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
            connect(hotKeyNotifier_, &QSocketNotifier::activated, this,
                    [this] { options_.desktop->pollHotKeys(); });
        }
    }
    // 5. The end of the session: the frame consents (it never cancels the request).
    connect(qApp, &QGuiApplication::commitDataRequest, this, [](QSessionManager&) {});
    // 6. The saved position.
    framework::restoreWindowPlacement(kProcedure, this);
    // 7. The tray menu exists since construction; set its states.
    updateTrayMenu();
    // 8. The vault start-up checks choose the state.
    bool setUp = false, loggedOn = false;
    if (options_.vaultChecks) setUp = options_.vaultChecks(&loggedOn);
    if (setUp && loggedOn) {
        enterLoggedOn();
    } else {
        enterLoggedOff();
    }
    if (options_.vaultChecks && !setUp) {
        enableCommand(Command::Logon, false);
        logonTool_->setEnabled(false);
        applyAvailability();
        trayMenu_.setEnabled("Logon", false);
    }
    if (setUp) {
        // A set-up vault lives in the tray, so the frame starts hidden and is never mapped
        // on the way. Shown and hidden again it would flash and take the focus from the
        // user's window; the focus coming back a moment later deactivates the program,
        // and that closes a tray menu the user has opened meanwhile. The native window is
        // made all the same: the hot key and the foreground sampling use its handle.
        tray_->HideToTray();
        createWinId();
    } else {
        show();
        // A new vault opens the set-up wizard, although its menu command waits for a
        // logon like the others.
        if (hasLauncher(Command::Preferences))
            QMetaObject::invokeMethod(
                this, [this] { launchers_[Command::Preferences](); }, Qt::QueuedConnection);
    }
    // 9. The timer (a designed period outside 1..100 hundredths becomes one second) and
    // the status bar.
    timerPeriod_ = options_.designedTimerPeriod;
    if (timerPeriod_ < 1 || timerPeriod_ > 100) timerPeriod_ = 100;
    timer_.start(timerPeriod_ * 10);
    refreshStatusBar();
}

void MainFrame::setLauncher(Command command, Launcher launcher) {
    launchers_[command] = std::move(launcher);
    applyAvailability();
}

bool MainFrame::hasLauncher(Command command) const {
    auto it = launchers_.find(command);
    return it != launchers_.end() && it->second;
}

QAction* MainFrame::action(Command command) const {
    auto it = actions_.find(command);
    return it == actions_.end() ? nullptr : it->second;
}

QAction* MainFrame::toolAction(int control) const {
    auto it = toolActions_.find(control);
    return it == toolActions_.end() ? nullptr : it->second;
}

bool MainFrame::loggedOn() const {
    return security::LoggedOn();
}

void MainFrame::enableCommand(Command command, bool enabled) {
    stateEnabled_[command] = enabled;
}

// A command is enabled when the state allows it and its window exists; Send also
// needs an open accounts list.
void MainFrame::applyAvailability() {
    for (auto& [command, a] : actions_) {
        bool on = stateEnabled_[command] && (builtIn(command) || hasLauncher(command));
        if (command == Command::Send) on = on && accountsThread_ != 0;
        if (listCommand(command)) {
            framework::ListOutput* list = activeListOutput();
            on = on && list &&
                 (command != Command::ListReports || list->hasCommand(kReportsCommand));
        }
        a->setEnabled(on);
    }
    if (QAction* add = toolAction(kToolbarAdd))
        add->setEnabled(loggedOn() && hasLauncher(Command::AddAccount));
    updateTrayMenu();
}

void MainFrame::setMenuCommandsEnabled(bool enabled) {
    for (auto& [command, a] : actions_) stateEnabled_[command] = enabled;
}

void MainFrame::enterLoggedOn() {
    setMenuCommandsEnabled(true);
    enableCommand(Command::Logon, false);
    enableCommand(Command::Logoff, true);
    logonTool_->setEnabled(false);
    logoffTool_->setEnabled(true);
    for (Menu m : {Menu::File, Menu::Edit, Menu::Lists, Menu::Actions})
        menus_[m]->menuAction()->setEnabled(true);
    security::LoggedOn() = true;
    applyAvailability();
    trayMenu_.setEnabled("Logon", false);
    trayMenu_.setEnabled("Logoff", true);
    postCommand(Command::ListPasswords);
    ThreadRegistry::instance().postEvent(framework::kFrameThread, kEventAccountsChanged);
}

void MainFrame::enterLoggedOff() {
    // Every window of the session ends, forms without saving, also when the logoff comes
    // from inside one of them (the inactivity timer fires in a form's loop).
    if (security::LoggedOn()) framework::endSession();
    security::LoggedOn() = false;
    for (const MenuItem& item : frameMenuItems())
        if (item.menu == Menu::File || item.menu == Menu::Edit || item.menu == Menu::Lists ||
            item.menu == Menu::Actions)
            enableCommand(item.command, false);
    menus_[Menu::Edit]->menuAction()->setEnabled(false);
    menus_[Menu::Lists]->menuAction()->setEnabled(false);
    menus_[Menu::File]->menuAction()->setEnabled(true);
    menus_[Menu::Actions]->menuAction()->setEnabled(true);
    enableCommand(Command::Exit, true);
    enableCommand(Command::Logon, true);
    logonTool_->setEnabled(true);
    logoffTool_->setEnabled(false);
    applyAvailability();
    watcher_.Clear();
    trayMenu_.setEnabled("Logon", true);
    trayMenu_.setEnabled("Logoff", false);
}

void MainFrame::allowLogon() {
    if (loggedOn()) return;
    enableCommand(Command::Logon, true);
    logonTool_->setEnabled(true);
    applyAvailability();
    trayMenu_.setEnabled("Logon", true);
}

void MainFrame::postCommand(Command command) {
    QMetaObject::invokeMethod(
        this, [this, command] { run(command); }, Qt::QueuedConnection);
}

void MainFrame::run(Command command) {
    QAction* a = action(command);
    if (!a || !a->isEnabled()) return;
    security::TouchActivity();
    switch (command) {
        case Command::Logon:
            if (!loggedOn() && security::CheckMasterPassword()) enterLoggedOn();
            return;
        case Command::Logoff:
            security::playSound(security::SoundEvent::Other);
            enterLoggedOff();
            return;
        case Command::Exit:
            exit_ = true;
            close();
            return;
        case Command::Backup:
            startBackup();
            return;
        case Command::PrintSetup: {
            QPrinter printer;
            QPageSetupDialog dialog(&printer, this);
            dialog.exec();
            return;
        }
        case Command::PrintList:
        case Command::PreviewList:
        case Command::ExportListCsv:
        case Command::ExportListHtml:
        case Command::ListReports:
            runListCommand(command);
            return;
        case Command::Cut:
        case Command::Copy:
        case Command::Paste: {
            const char* slot = command == Command::Cut    ? "cut"
                               : command == Command::Copy ? "copy"
                                                          : "paste";
            if (QWidget* w = QApplication::focusWidget()) QMetaObject::invokeMethod(w, slot);
            return;
        }
        case Command::Send:
            if (accountsThread_)
                ThreadRegistry::instance().postAccepted(accountsThread_, accountsSend_);
            return;
        case Command::Tile:
            area_->tileSubWindows();
            return;
        case Command::Cascade:
            area_->cascadeSubWindows();
            return;
        case Command::ArrangeIcons: {
            // Minimized child windows line up along the bottom edge.
            int x = 0;
            for (QMdiSubWindow* sub : area_->subWindowList()) {
                if (!sub->isMinimized()) continue;
                sub->move(x, area_->viewport()->height() - sub->height());
                x += sub->width();
            }
            return;
        }
        case Command::HelpContents:
            openHelp("index.html");
            return;
        case Command::HelpSearch:
            openHelp("search.html");
            return;
        case Command::HelpHowTo:
            openHelp("help.html");
            return;
        case Command::About:
            openAbout();
            return;
        default:
            break;
    }
    if (hasLauncher(command)) launchers_[command]();
}

void MainFrame::startBackup() {
    // The backup program is looked up in the working directory like every other file.
    QString program = QFileInfo(kBackupProgram).absoluteFilePath();
    if (!QProcess::startDetached(program, {kVaultFile})) {
        framework::prompt().ask("Backup / Restore",
                                std::string("Could not start ") + kBackupProgram + " " +
                                    kVaultFile + ": the program was not found or cannot be run.",
                                framework::Icon::Exclamation, framework::kButtonOk,
                                framework::kButtonOk);
    }
    update();
}

// The help is the user manual's HTML pages, shown by the user's browser.
void MainFrame::openHelp(const char* page) {
    const QString manual = QString::fromStdString(vault::manualDirectory());
    const QFileInfo file(manual + "/" + page);
    if (manual.isEmpty() || !file.exists() ||
        !QDesktopServices::openUrl(QUrl::fromLocalFile(file.absoluteFilePath()))) {
        framework::prompt().ask("Help",
                                "The user manual could not be opened: " +
                                    (manual.isEmpty() ? std::string("it is not installed")
                                                      : file.absoluteFilePath().toStdString()) +
                                    ".",
                                framework::Icon::Exclamation, framework::kButtonOk,
                                framework::kButtonOk);
    }
}

void MainFrame::openAbout() {
    auto& threads = ThreadRegistry::instance();
    int owner = threads.singleInstanceOwner("About");
    if (owner) {
        threads.postGainFocus(owner);
        return;
    }
    auto* about = new AboutWindow;
    int thread = threads.start(about);
    if (thread) {
        threads.claimSingleInstance("About", thread);
        connect(about, &QObject::destroyed, this,
                [thread] { ThreadRegistry::instance().releaseSingleInstance("About", thread); });
    } else {
        delete about;
    }
}

bool MainFrame::listCommand(Command command) {
    return command == Command::PrintList || command == Command::PreviewList ||
           command == Command::ExportListCsv || command == Command::ExportListHtml ||
           command == Command::ListReports;
}

framework::ListOutput* MainFrame::activeListOutput() const {
    // The current child window stays current while a menu or dialog has the focus.
    QMdiSubWindow* sub = area_->currentSubWindow();
    return sub ? framework::listOutputOf(sub->widget()) : nullptr;
}

// The active child window's list prints or exports itself, as from its header's menu.
void MainFrame::runListCommand(Command command) {
    framework::ListOutput* output = activeListOutput();
    if (!output) return;
    switch (command) {
        case Command::PrintList:
            output->print();
            break;
        case Command::PreviewList:
            output->preview();
            break;
        case Command::ExportListCsv:
            output->exportWithDialog(framework::ListFormat::Csv);
            break;
        case Command::ListReports:
            output->runCommand(kReportsCommand);
            break;
        default:
            output->exportWithDialog(framework::ListFormat::Html);
            break;
    }
}

void MainFrame::forwardToolbar(int control) {
    QMdiSubWindow* sub = area_->activeSubWindow();
    if (!sub) return;
    auto& threads = ThreadRegistry::instance();
    int thread = threads.threadOf(sub->widget());
    if (!thread) thread = threads.threadOf(sub);
    if (thread) threads.postAccepted(thread, control);
}

void MainFrame::updateToolbar() {
    framework::WindowManager* active = nullptr;
    if (QMdiSubWindow* sub = area_->activeSubWindow()) {
        int thread = ThreadRegistry::instance().threadOf(sub->widget());
        auto it = managers_.find(thread);
        if (it != managers_.end()) active = it->second.data();
    }
    for (int control = kToolbarFirstForwarded; control <= kToolbarLast; ++control) {
        QAction* a = toolAction(control);
        if (!a) continue;
        std::string tip = framework::frameTip(control);
        bool enabled = false;
        if (active) {
            framework::ToolbarState state = active->toolbar.state(control);
            enabled = state.enabled;
            if (!state.tip.empty()) tip = state.tip;
        }
        a->setEnabled(enabled);
        a->setToolTip(QString::fromStdString(tip));
    }
}

void MainFrame::setAccountsList(int thread, int sendControl, int urlControl) {
    accountsThread_ = thread;
    accountsSend_ = sendControl;
    accountsUrl_ = urlControl;
    applyAvailability();
}

void MainFrame::updateTrayMenu() {
    bool accounts = accountsThread_ != 0;
    trayMenu_.setEnabled("URL", accounts);
    trayMenu_.setEnabled("Send", accounts);
    trayMenu_.setEnabled("ChangeMasterPassword",
                         loggedOn() && hasLauncher(Command::ChangeMasterPassword));
    trayMenu_.setEnabled("Restore", isHidden());
}

void MainFrame::showTrayMenu(const QPoint& where) {
    updateTrayMenu();
    runTrayChoice(trayMenu_.choose(where));
}

void MainFrame::runTrayChoice(const std::string& name) {
    if (name.empty() || !trayMenu_.isEnabled(name)) return;
    security::TouchActivity();
    if (name == "Restore") {
        tray_->Restore();
        if (!loggedOn()) postCommand(Command::Logon);
    } else if (name == "Help") {
        openHelp("index.html");
    } else if (name == "Logon") {
        tray_->Restore();
        run(Command::Logon);
    } else if (name == "About") {
        tray_->Restore();
        run(Command::About);
    } else if (name == "ChangeMasterPassword") {
        tray_->Restore();
        run(Command::ChangeMasterPassword);
    } else if (name == "URL") {
        if (accountsThread_) ThreadRegistry::instance().postAccepted(accountsThread_, accountsUrl_);
    } else if (name == "Exit") {
        exit_ = true;
        run(Command::Exit);
    } else if (name == "Send") {
        run(Command::Send);
    } else if (name == "Logoff") {
        run(Command::Logoff);
    }
}

void MainFrame::timerTick() {
    if (options_.desktop) {
        send::SampleForegroundWindow(*options_.desktop,
                                     static_cast<desktop::WindowHandle>(winId()));
        options_.desktop->pollHotKeys();  // presses the notifier may have missed
    }
    security::InactivityTick();
    if (loggedOn()) watcher_.WatchPass();
    tray_->CheckTrayHost();
    updateToolbar();
    refreshStatusBar();
}

void MainFrame::frameEvent(int event) {
    switch (event) {
        case kEventAccountsChanged:
            watcher_.BuildWatchList();
            break;
        case kEventHotKey: {
            HotKeyManager::KeyEntry pressed;
            if (!hotKeys_.TakePressedKey(pressed)) break;
            if (static_cast<uint32_t>(pressed.ID) == hotKeys_.ParseHotKey(kHotKeyName)) {
                tray_->Restore();
                if (!loggedOn()) postCommand(Command::Logon);
            }
            break;
        }
        case kEventLeftDoubleClick:
            tray_->OnLeftDoubleClick();
            break;
        case kEventRightClick:
            tray_->OnRightClick();
            break;
        default:
            break;
    }
}

void MainFrame::closeEvent(QCloseEvent* event) {
    if (!exit_) {
        // Without Exit a close request only hides the frame into the tray.
        event->ignore();
        tray_->HideToTray();
        return;
    }
    closeFrame();
    event->accept();
    QCoreApplication::quit();
}

void MainFrame::closeFrame() {
    if (closed_) return;
    closed_ = true;
    timer_.stop();
    if (options_.closeTables) options_.closeTables();
    disconnect(qApp, &QGuiApplication::commitDataRequest, this, nullptr);
    hotKeys_.Kill();
    tray_->Kill();
    savePosition();
}

void MainFrame::savePosition() {
    if (isMaximized() || isMinimized() || isHidden()) return;
    framework::saveWindowPlacement(kProcedure, this);
}

void MainFrame::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    if (opened_ && !closed_) savePosition();
}

void MainFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (opened_ && !closed_) savePosition();
}

void MainFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (opened_) {
        refreshStatusBar();
        updateTrayMenu();
    }
}

}  // namespace corvix::app
