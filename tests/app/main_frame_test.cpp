#include "app/main_frame.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "accounts/browse_cvcat.h"
#include "accounts/update_cvcat.h"
#include "app/about_window.h"
#include "framework/prompt.h"
#include "framework/qt_prompt.h"
#include "framework/settings_store.h"
#include "framework/threads.h"
#include "framework/vault_managers.h"
#include "framework/window_manager.h"
#include "platform/desktop/simulated_desktop.h"
#include "runtime/date.h"
#include "security/master_password.h"
#include "security/session.h"
#include "vault/access.h"

using namespace corvix;
using app::Command;
using app::MainFrame;
namespace fs = std::filesystem;

namespace {

class QtEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "test_app";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
    }
    void TearDown() override { app_.reset(); }

  private:
    std::unique_ptr<QApplication> app_;
};
[[maybe_unused]] auto* const kEnv = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// Acts on the next modal window once it is shown (the command's own loop runs meanwhile).
void onModal(std::function<void(QWidget*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        act(modal);
        if (modal->isVisible()) modal->close();  // a failed check leaves no loop running
    });
    timer->start();
}

void settle() {
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class FrameTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("app-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
        previous_ = fs::current_path();
        fs::current_path(dir_);
        framework::ThreadRegistry::instance().reset();
        security::resetSecurity();
        security::resetSession();
        security::MasterCopy().Password = "secret";
        framework::setPrompt(&prompt_);
        store_.Init("corvix.INI");
        framework::setSettingsStore(&store_);
        security::setLogonRunner([this](const security::LogonRequest&) {
            ++logons_;
            return security::LogonResult{};  // cancelled
        });
    }
    void TearDown() override {
        frame_.reset();
        settle();
        framework::setPrompt(nullptr);
        framework::setSettingsStore(nullptr);
        security::resetSecurity();
        corvix::runtime::setClockSource({});
        fs::current_path(previous_);
        fs::remove_all(dir_);
    }
    MainFrame& open(app::FrameOptions options = {}) {
        frame_ = std::make_unique<MainFrame>(std::move(options));
        frame_->open();
        settle();
        return *frame_;
    }
    bool enabled(Command c) { return frame_->action(c)->isEnabled(); }

    fs::path dir_, previous_;
    framework::ScriptedPrompt prompt_;
    framework::SettingsStore store_;
    std::unique_ptr<MainFrame> frame_;
    int logons_ = 0;
};

}  // namespace

TEST_F(FrameTest, TitleMenusAndStatusHelpTexts) {
    MainFrame& f = open();
    EXPECT_EQ(f.windowTitle(), "Halden Corvix");
    EXPECT_EQ(f.objectName(), "Main");
    EXPECT_EQ(f.action(Command::Preferences)->shortcut(), QKeySequence("F10"));
    EXPECT_EQ(f.action(Command::Backup)->statusTip(),
              "Backup or restore using a standard ZIP archive");
    EXPECT_EQ(f.action(Command::Logon)->shortcut(), QKeySequence("Ctrl+L"));
    EXPECT_EQ(f.action(Command::Logon)->statusTip(),
              "Enter master password to allow access to other operations");
    EXPECT_EQ(f.action(Command::Send)->shortcut(), QKeySequence("Ctrl+S"));
    EXPECT_EQ(f.action(Command::DecryptFile)->statusTip(), "Decrypt a file encrypted by Corvix");
    EXPECT_EQ(f.action(Command::HelpHowTo)->statusTip(), "How to use Windows Help");
    EXPECT_EQ(f.toolAction(app::kToolbarAdd)->text(), "Add New Password Account");
    EXPECT_EQ(f.toolAction(2004)->text(), "Bottom");
    EXPECT_EQ(f.toolAction(2010)->text(), "Locate");
}

TEST_F(FrameTest, LoggedOffEnablesOnlyLogonAndExit) {
    MainFrame& f = open();  // no vault: not set up, logged off
    EXPECT_FALSE(f.loggedOn());
    EXPECT_TRUE(enabled(Command::Logon));
    EXPECT_TRUE(enabled(Command::Exit));
    EXPECT_FALSE(enabled(Command::Logoff));
    EXPECT_FALSE(enabled(Command::ChangeMasterPassword));
    EXPECT_FALSE(enabled(Command::Backup));
    EXPECT_FALSE(enabled(Command::ListCategories));
    EXPECT_TRUE(enabled(Command::About));  // the Help menu stays
    EXPECT_TRUE(f.logonTool()->isEnabled());
    EXPECT_FALSE(f.logoffTool()->isEnabled());
    f.updateTrayMenu();
    EXPECT_TRUE(f.trayMenu().isEnabled("Logon"));
    EXPECT_FALSE(f.trayMenu().isEnabled("Logoff"));
    EXPECT_FALSE(f.trayMenu().isEnabled("ChangeMasterPassword"));
    EXPECT_FALSE(f.trayMenu().isEnabled("Send"));
    EXPECT_FALSE(f.trayMenu().isEnabled("URL"));
}

TEST_F(FrameTest, LoggedOnEnablesCommandsWhoseWindowsExist) {
    app::FrameOptions o;
    o.vaultChecks = [](bool* loggedOn) {
        *loggedOn = true;
        return true;
    };
    MainFrame& f = open(o);
    f.setLauncher(Command::ListCategories, [] {});
    EXPECT_TRUE(f.loggedOn());
    EXPECT_FALSE(enabled(Command::Logon));
    EXPECT_TRUE(enabled(Command::Logoff));
    EXPECT_TRUE(enabled(Command::ListCategories));
    EXPECT_TRUE(enabled(Command::Backup));
    // Windows this program does not have yet stay disabled rather than pretend.
    EXPECT_FALSE(enabled(Command::GeneratePassword));
    EXPECT_FALSE(enabled(Command::ListPasswords));
    // Send needs an open accounts list.
    EXPECT_FALSE(enabled(Command::Send));
    f.setAccountsList(5, 12, 13);
    EXPECT_TRUE(enabled(Command::Send));
    EXPECT_TRUE(f.trayMenu().isEnabled("Send"));
    f.setAccountsList(0, 0, 0);
    EXPECT_FALSE(f.trayMenu().isEnabled("Send"));
    EXPECT_FALSE(f.logonTool()->isEnabled());
    EXPECT_TRUE(f.logoffTool()->isEnabled());
    EXPECT_FALSE(f.trayMenu().isEnabled("Logon"));
    EXPECT_TRUE(f.trayMenu().isEnabled("Logoff"));
}

TEST_F(FrameTest, ANewVaultOpensTheSetUpWizardAndLogonWaitsForIt) {
    app::FrameOptions o;
    o.vaultChecks = [](bool* loggedOn) {
        *loggedOn = false;
        return false;  // no master record yet
    };
    int wizards = 0;
    frame_ = std::make_unique<MainFrame>(o);
    frame_->setLauncher(Command::Preferences, [&wizards] { ++wizards; });
    frame_->open();
    settle();
    MainFrame& f = *frame_;
    EXPECT_EQ(wizards, 1);  // although the menu command waits for a logon
    EXPECT_FALSE(enabled(Command::Preferences));
    // Nothing to check a password against yet: no logon, by menu, toolbar, tray or hot key.
    EXPECT_FALSE(enabled(Command::Logon));
    EXPECT_FALSE(f.logonTool()->isEnabled());
    f.updateTrayMenu();
    EXPECT_FALSE(f.trayMenu().isEnabled("Logon"));
    f.run(Command::Logon);
    EXPECT_FALSE(f.loggedOn());
    EXPECT_EQ(logons_, 0);
    f.allowLogon();  // the first set-up stored the master record
    EXPECT_TRUE(enabled(Command::Logon));
    EXPECT_TRUE(f.logonTool()->isEnabled());
    EXPECT_TRUE(f.trayMenu().isEnabled("Logon"));
    f.run(Command::Logon);
    EXPECT_EQ(logons_, 1);
}

TEST_F(FrameTest, TimerPeriodOutsideOneToHundredBecomesOneSecond) {
    for (auto [designed, expected] : {std::pair{0, 100}, {500, 100}, {50, 50}, {100, 100}}) {
        app::FrameOptions o;
        o.designedTimerPeriod = designed;
        MainFrame& f = open(o);
        EXPECT_EQ(f.timerPeriod(), expected) << designed;
    }
}

TEST_F(FrameTest, CloseBoxHidesAndOnlyExitEnds) {
    MainFrame& f = open();
    f.show();
    f.close();
    settle();
    EXPECT_TRUE(f.isHidden());
    EXPECT_FALSE(f.exitFlag());
    f.run(Command::Exit);
    settle();
    EXPECT_TRUE(f.exitFlag());
    EXPECT_TRUE(f.isHidden());
    EXPECT_FALSE(f.tray().isShown());
}

namespace {
// A form with unsaved changes: it answers a close request with its own question.
class DirtyForm : public QWidget {
  public:
    int asked = 0;
    void closeEvent(QCloseEvent* e) override {
        ++asked;
        e->ignore();
    }
};
}  // namespace

TEST_F(FrameTest, LogoffClosesEveryChildWindowEvenOneThatRefusesToClose) {
    app::FrameOptions o;
    o.vaultChecks = [](bool* loggedOn) {
        *loggedOn = true;
        return true;
    };
    MainFrame& f = open(o);
    auto& threads = framework::ThreadRegistry::instance();
    QPointer<QWidget> list = new QLabel("list");
    list->setAttribute(Qt::WA_DeleteOnClose);
    auto* form = new DirtyForm;
    int listThread = threads.start(list);
    int formThread = threads.start(form);
    ASSERT_GE(listThread, 2);
    ASSERT_GT(formThread, listThread);
    QPointer<DirtyForm> refusing = form;
    f.run(Command::Logoff);
    settle();
    EXPECT_FALSE(f.loggedOn());
    EXPECT_TRUE(list.isNull());
    EXPECT_EQ(form->asked, 1);  // asked once, then closed all the same
    EXPECT_TRUE(refusing.isNull());
    EXPECT_TRUE(threads.running().empty());
}

// The inactivity timer fires inside the nested loops of a list, its Change form and the
// form's "Save Record" question; the logoff ends all three and nothing is saved, not even
// through OK pressed on the form right after the logoff.
TEST_F(FrameTest, InactivityLogoffEndsListFormAndQuestionWithoutSaving) {
    app::FrameOptions o;
    o.vaultChecks = [](bool* loggedOn) {
        *loggedOn = true;
        return true;
    };
    o.designedTimerPeriod = 2;
    MainFrame& f = open(o);
    // Plain opens: the upgrade library would keep this test's folder for the next one.
    framework::setOpenFunction([](storage::Table& t, int mode) { return t.open(mode); });
    framework::createVaultManagers();
    auto& m = framework::vaultManagers();
    ASSERT_EQ(m.cat.Open(), framework::kLevelBenign);
    m.catRecord->Category = "Business";
    ASSERT_EQ(m.cat.Insert(), framework::kLevelBenign);
    m.cat.Close();
    framework::QtPrompt boxes;
    framework::setPrompt(&boxes);
    security::MasterCopy().MonitorInactivity = 1;
    security::MasterCopy().InactivityTimeout = 1;
    QPointer<QPushButton> ok;
    int logoffs = 0;
    security::setLogoffRequest([&] {
        ++logoffs;
        f.run(Command::Logoff);
        if (ok) ok->click();  // a click that was on its way as the logoff came
    });
    accounts::BrowseCVCAT* list = nullptr;
    QPointer<QWidget> formWindow;
    bool questionShown = false;
    framework::setWindowOpenedHook([&](framework::WindowManager& w) {
        if (auto* b = dynamic_cast<accounts::BrowseCVCAT*>(&w)) list = b;
        auto* form = dynamic_cast<accounts::UpdateCVCAT*>(&w);
        if (!form) return;
        formWindow = form->window();
        ok = form->okButton();
        form->entry()->setText("Work");
        form->entry()->setModified(true);
        // Idle for 75 s as the question comes up; the timer fires inside its loop.
        QTimer::singleShot(0, [&] {
            questionShown = QApplication::activeModalWidget() != nullptr;
            security::LastActivity() = corvix::runtime::momentNow() - 75.0 / 86400.0;
        });
        // If the logoff never comes, the form ends here and the test fails below.
        QTimer::singleShot(5000, formWindow, [&] {
            if (auto* box = QApplication::activeModalWidget()) box->close();
            if (formWindow) formWindow->close();
        });
        form->cancelButton()->click();
    });
    const int listThread = accounts::startBrowseCVCAT(m.catRelations);
    ASSERT_GE(listThread, 2);
    ASSERT_NE(list, nullptr);
    QPointer<QWidget> listWindow = framework::ThreadRegistry::instance().window(listThread);
    list->button("&Change")->click();
    settle();
    EXPECT_TRUE(questionShown);
    EXPECT_EQ(logoffs, 1);
    EXPECT_FALSE(f.loggedOn());
    EXPECT_TRUE(formWindow.isNull());
    EXPECT_TRUE(listWindow.isNull());
    EXPECT_TRUE(framework::ThreadRegistry::instance().running().empty());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    ASSERT_EQ(m.cat.Open(), framework::kLevelBenign);
    std::vector<std::string> names;
    m.cat.Use()->set(vault::cat::K_Category);
    while (m.cat.Next() == framework::kLevelBenign) names.push_back(m.catRecord->Category);
    m.cat.Close();
    EXPECT_EQ(names, std::vector<std::string>{"Business"});
    framework::setWindowOpenedHook({});
    framework::setPrompt(&prompt_);
    frame_.reset();
    settle();
    framework::destroyVaultManagers();
    framework::setOpenFunction({});
}

TEST_F(FrameTest, StatusBarShowsDayAndDateAndTime) {
    int32_t monday = corvix::runtime::standardDate(2026, 12, 7);
    corvix::runtime::setClockSource([monday] {
        return corvix::runtime::Now{monday, (9 * 3600 + 30 * 60) * 100};
    });
    MainFrame& f = open();
    EXPECT_TRUE(f.statusZone(3).startsWith("Monday, ")) << f.statusZone(3).toStdString();
    EXPECT_FALSE(f.statusZone(3).contains("Monday ,"));
    EXPECT_FALSE(f.statusZone(4).isEmpty());
}

TEST_F(FrameTest, MissingBackupProgramIsReportedAndTheFrameGoesOn) {
    app::FrameOptions o;
    o.vaultChecks = [](bool* loggedOn) {
        *loggedOn = true;
        return true;
    };
    MainFrame& f = open(o);
    f.run(Command::Backup);
    ASSERT_EQ(prompt_.asked().size(), 1u);
    EXPECT_NE(prompt_.asked()[0].text.find("Pellor.EXE Corvix.TPS"), std::string::npos);
    EXPECT_TRUE(f.loggedOn());
}

// Receives the URLs the frame hands to the user's browser.
class UrlCatcher : public QObject {
    Q_OBJECT
  public:
    std::vector<QUrl> urls;
  public slots:
    void open(const QUrl& url) { urls.push_back(url); }
};

TEST_F(FrameTest, HelpCommandsOpenTheManualsPagesInTheBrowser) {
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("file", &catcher, "open");
    app::FrameOptions o;
    o.vaultChecks = [](bool* loggedOn) {
        *loggedOn = false;
        return true;
    };
    MainFrame& f = open(o);
    f.run(Command::HelpContents);
    f.run(Command::HelpSearch);
    f.run(Command::HelpHowTo);
    QDesktopServices::unsetUrlHandler("file");
    EXPECT_TRUE(prompt_.asked().empty()) << prompt_.asked()[0].text;
    ASSERT_EQ(catcher.urls.size(), 3u);
    const char* pages[] = {"index.html", "search.html", "help.html"};
    for (int i = 0; i < 3; ++i) {
        const QString path = catcher.urls[i].toLocalFile();
        EXPECT_TRUE(path.endsWith(QString("/share/doc/corvix/manual/") + pages[i]))
            << path.toStdString();
        EXPECT_TRUE(QFileInfo::exists(path)) << path.toStdString();
    }
}

TEST_F(FrameTest, BackupStartsThePellorProgramWithTheVaultName) {
    app::FrameOptions o;
    o.vaultChecks = [](bool* loggedOn) {
        *loggedOn = true;
        return true;
    };
    {
        FILE* script = std::fopen("Pellor.EXE", "w");
        ASSERT_NE(script, nullptr);
        std::fputs("#!/bin/sh\necho \"$@\" > pellor.args\n", script);
        std::fclose(script);
        fs::permissions("Pellor.EXE", fs::perms::owner_all);
    }
    MainFrame& f = open(o);
    f.run(Command::Backup);
    EXPECT_TRUE(prompt_.asked().empty());
    for (int i = 0; i < 100 && !fs::exists("pellor.args"); ++i) usleep(20000);
    usleep(50000);
    FILE* args = std::fopen("pellor.args", "r");
    ASSERT_NE(args, nullptr);
    char line[64] = {};
    std::fgets(line, sizeof line, args);
    std::fclose(args);
    EXPECT_STREQ(line, "Corvix.TPS\n");
}

TEST_F(FrameTest, HotKeyRestoresTheFrameAndAsksForTheLogon) {
    desktop::SimulatedDesktop d;
    app::FrameOptions o;
    o.desktop = &d;
    o.vaultChecks = [](bool* loggedOn) {
        *loggedOn = false;
        return true;  // set up: the frame hides into the tray
    };
    MainFrame& f = open(o);
    settle();
    EXPECT_TRUE(f.isHidden());
    ASSERT_TRUE(d.pressHotKey(desktop::Desktop::kModWin, 'S'));
    d.pollHotKeys();
    settle();
    EXPECT_FALSE(f.isHidden());
    EXPECT_EQ(logons_, 1);
    EXPECT_FALSE(f.loggedOn());  // the logon was cancelled
    frame_.reset();              // before the desktop it uses
}

TEST_F(FrameTest, TrayRestoreWhileLoggedOffStartsTheLogon) {
    app::FrameOptions o;
    o.vaultChecks = [](bool* loggedOn) {
        *loggedOn = false;
        return true;
    };
    MainFrame& f = open(o);
    settle();
    ASSERT_TRUE(f.isHidden());
    f.updateTrayMenu();
    EXPECT_TRUE(f.trayMenu().isEnabled("Restore"));
    f.runTrayChoice("Restore");
    settle();
    EXPECT_FALSE(f.isHidden());
    EXPECT_EQ(logons_, 1);
    f.updateTrayMenu();
    EXPECT_FALSE(f.trayMenu().isEnabled("Restore"));
}

TEST_F(FrameTest, AboutShowsVersionOnce) {
    MainFrame& f = open();
    f.run(Command::About);
    f.run(Command::About);
    settle();
    auto windows = f.mdiArea()->subWindowList();
    ASSERT_EQ(windows.size(), 1);
    auto* version = windows[0]->widget()->findChild<QLabel*>("Version");
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->text(), "Version 1.03");
}

TEST(TrayIcon, ResourceNamesAndMenuItems) {
    EXPECT_EQ(app::TrayIcon::ResourceName("0corvix.ico  "), "0corvix_ico");
    EXPECT_EQ(app::TrayIcon::ResourceName("abc"), "abc");
    const auto& items = app::trayMenuItems();
    ASSERT_EQ(items.size(), 13u);
    EXPECT_STREQ(items.front().name, "Restore");
    EXPECT_STREQ(items[4].text, "Change Master Password");
    EXPECT_STREQ(items.back().text, "E&xit");
}

TEST_F(FrameTest, NavigationButtonsFollowTheActiveWindow) {
    app::FrameOptions o;
    o.vaultChecks = [](bool* loggedOn) {
        *loggedOn = true;
        return true;
    };
    MainFrame& f = open(o);
    EXPECT_EQ(f.toolAction(2003), nullptr);  // the frame has no Select button
    for (int control = 2001; control <= 2012; ++control) {
        if (control == 2003) continue;
        EXPECT_FALSE(f.toolAction(control)->isEnabled()) << control;
    }
    framework::createVaultManagers();
    int thread = accounts::startBrowseCVCAT(framework::vaultManagers().catRelations);
    ASSERT_GE(thread, 2);
    settle();
    f.mdiArea()->setActiveSubWindow(f.mdiArea()->subWindowList().value(0));
    f.updateToolbar();
    EXPECT_TRUE(f.toolAction(2005)->isEnabled());   // Top: the list moves to its first row
    EXPECT_FALSE(f.toolAction(2011)->isEnabled());  // Copy field: forms only
    f.mdiArea()->closeAllSubWindows();
    settle();
    f.updateToolbar();
    EXPECT_FALSE(f.toolAction(2005)->isEnabled());
    frame_.reset();
    settle();
    framework::destroyVaultManagers();
}

TEST_F(FrameTest, FileMenuPrintsAndExportsTheActiveListOnly) {
    app::FrameOptions o;
    o.vaultChecks = [](bool* loggedOn) {
        *loggedOn = true;
        return true;
    };
    MainFrame& f = open(o);
    const Command listCommands[] = {Command::PrintList, Command::PreviewList,
                                    Command::ExportListCsv, Command::ExportListHtml};
    for (Command c : listCommands) EXPECT_FALSE(enabled(c)) << "no window open";
    {
        vault::VaultTables t;
        ASSERT_EQ(t.openAll(), 0);
        for (const char* name : {"Mail & <web>", "Bank"}) {
            vault::CatBuffer c;
            c->Category = name;
            ASSERT_EQ(t.cat.add(c), 0);
        }
        t.closeAll();
    }
    framework::createVaultManagers();
    ASSERT_GE(accounts::startBrowseCVCAT(framework::vaultManagers().catRelations), 2);
    settle();
    QMdiSubWindow* list = f.mdiArea()->subWindowList().value(0);
    ASSERT_TRUE(list);
    // A child window without a list leaves the commands off while it is the current one.
    QMdiSubWindow* other = f.mdiArea()->addSubWindow(new QLabel("no list here"));
    other->show();
    f.mdiArea()->setActiveSubWindow(other);
    settle();
    for (Command c : listCommands) EXPECT_FALSE(enabled(c)) << "a window without a list";
    f.mdiArea()->setActiveSubWindow(list);
    settle();
    for (Command c : listCommands) EXPECT_TRUE(enabled(c));
    EXPECT_FALSE(enabled(Command::ListReports)) << "categories have no report designs";

    // Export as CSV from the File menu writes the active list's rows, in its order.
    const std::string csv = (dir_ / "categories.csv").string();
    onModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_TRUE(dialog) << modal->metaObject()->className();
        dialog->selectFile(QString::fromStdString(csv));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    f.run(Command::ExportListCsv);
    std::ifstream in(csv, std::ios::binary);
    std::stringstream written;
    written << in.rdbuf();
    EXPECT_EQ(written.str(), "\"Category\"\r\n\"Bank\"\r\n\"Mail & <web>\"\r\n");

    // The preview shows the same list under its title.
    QString previewed;
    onModal([&](QWidget* dialog) {
        previewed = dialog->objectName() + ": " + dialog->windowTitle();
        dialog->close();
    });
    f.run(Command::PreviewList);
    EXPECT_EQ(previewed, "ListPreview: Categories");

    // Closing the list turns the commands off again.
    list->close();
    other->close();
    settle();
    for (Command c : listCommands) EXPECT_FALSE(enabled(c)) << "the list closed";
    frame_.reset();
    settle();
    framework::destroyVaultManagers();
}

#include "main_frame_test.moc"
