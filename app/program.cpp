#include "app/program.h"

#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "accounts/accounts_context.h"
#include "accounts/browse_cvcat.h"
#include "accounts/browse_cvpas.h"
#include "accounts/wizard_add_password.h"
#include "app/accounts_query_wizard.h"
#include "app/database_tools.h"
#include "app/main_frame.h"
#include "app/single_instance.h"
#include "app/startup.h"
#include "framework/error_manager.h"
#include "framework/prompt.h"
#include "framework/qt_prompt.h"
#include "framework/threads.h"
#include "framework/vault_managers.h"
#include "framework/wait_cursor.h"
#include "framework/window_manager.h"
#include "libs/ferrule/qt_windows.h"
#include "platform/desktop/desktop.h"
#include "runtime/date.h"
#include "security/browse_cvgsd.h"
#include "security/master_password.h"
#include "security/session.h"
#include "security/sounds.h"
#include "security/window_hooks.h"
#include "security/wizard_change_master.h"
#include "security/wizard_file_container.h"
#include "security/wizard_generate_password.h"
#include "security/wizard_setup.h"
#include "send/key_sender.h"
#include "send/send_hooks.h"
#include "send/vault_accounts.h"
#include "send/windows.h"
#include "vault/access.h"
#include "vault/locations.h"
#include "vault/session_kind.h"
#include "vault/startup_checks.h"

namespace corvix::app {

namespace {

// How long after the last typed text borrowed keycodes go back: longer than a busy
// program takes to read its keys, short enough that a secret's characters do not linger.
constexpr int kKeymapReturnMs = 400;

// A display to run on: one named by QT_QPA_PLATFORM (tests use "offscreen"), or the X
// server in DISPLAY, which must answer (Qt would otherwise abort with a confusing text).
bool haveDisplay(std::string* why) {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) return true;
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        *why = "no display found (DISPLAY is not set)";
        return false;
    }
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    const bool ok = c && !xcb_connection_has_error(c);
    if (c) xcb_disconnect(c);
    if (!ok)
        *why = "cannot connect to the display " + qEnvironmentVariable("DISPLAY").toStdString();
    return ok;
}

// Secrets must never land in a core file.
void disableCoreDumps() {
    rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
}

// The vault start-up checks as the frame runs them: the passwords and master tables stay
// open until the frame closes; numbering a fresh word database shows its progress.
bool runVaultChecks(vault::VaultTables& tables, bool* loggedOn) {
    QProgressDialog progress("Numbering the word database...", QString(), 0, 100);
    progress.setWindowTitle("Corvix");
    progress.setMinimumDuration(500);
    progress.setWindowModality(Qt::ApplicationModal);  // so that it repaints while it counts
    vault::StartupState state;
    vault::runStartupChecks(tables, vault::sharedDataDirectory(), runtime::today(), state,
                            [&progress](int64_t done, int64_t total) {
                                progress.setMaximum(static_cast<int>(total));
                                progress.setValue(static_cast<int>(done));
                            });
    // A vault that cannot be read is never taken for a new one: the user learns what
    // failed and the program ends, leaving the files as they are.
    const std::string failure = vault::startupFailureText(state);
    if (!failure.empty()) {
        const bool fatal = !state.masterReadable;
        framework::prompt().ask(
            "File Access Error", fatal ? failure + "  Press OK to end this application" : failure,
            framework::Icon::Exclamation, framework::kButtonOk, framework::kButtonOk);
        if (fatal) {
            // Not a normal end: as the error manager ends a fatal error.
            std::fflush(nullptr);
            std::_Exit(framework::kFatalExitCode);
        }
    }
    if (state.setUp) {
        security::MasterCopy() = state.master;
        security::InstallationId() = state.installationId;
    }
    *loggedOn = state.loggedOn;
    return state.setUp;
}

}  // namespace

int runCorvix(int argc, char** argv) {
    std::string why;
    if (!haveDisplay(&why)) {
        std::fprintf(stderr, "corvix: %s; Corvix needs a desktop.\n", why.c_str());
        return 1;
    }
    disableCoreDumps();
    QApplication application(argc, argv);
    QApplication::setApplicationName("Corvix");
    QApplication::setQuitOnLastWindowClosed(false);  // the frame lives in the tray

    // One program per data folder: a second start restores the first and ends.
    SingleInstance instance(QDir::currentPath());
    if (instance.askRunningToRestore()) return 0;
    if (QString error; !instance.listen(&error))
        std::fprintf(stderr, "corvix: a second start cannot reach this one: %s\n",
                     error.toLocal8Bit().constData());

    framework::QtPrompt prompt;
    framework::setPrompt(&prompt);
    framework::useWaitCursor();
    ferrule::useQtWindows();
    security::useLogonWindows();
    security::useQtSounds();
    if (vault::waylandSession()) {
        std::fprintf(stderr, "corvix: %s\n", vault::kWaylandNotice);
        QTimer::singleShot(0, [] {
            framework::prompt().ask("Corvix", vault::kWaylandNotice, framework::Icon::Information,
                                    framework::kButtonOk, framework::kButtonOk);
        });
    }
    std::string reason;
    std::unique_ptr<desktop::Desktop> desk = desktop::openX11Desktop(&reason);
    if (desk) {
        desktop::setCurrentDesktop(desk.get());
    } else {
        std::fprintf(stderr, "corvix: sending and the hot key are unavailable: %s\n",
                     reason.c_str());
    }

    StartupHooks hooks = programHooks();
    hooks.initKeySender = [](std::string_view delimiters) { send::keySender().Init(delimiters); };
    hooks.runMainFrame = [&] {
        framework::setActivityHook(security::TouchActivity);
        vault::VaultTables tables;
        send::VaultAccounts accounts(tables.pas);
        FrameOptions options;
        options.desktop = desk.get();
        options.accounts = &accounts;
        options.vaultChecks = [&tables](bool* loggedOn) {
            return runVaultChecks(tables, loggedOn);
        };
        options.closeTables = [&tables] { tables.closeAll(); };
        MainFrame frame(options);
        frame.setLauncher(Command::ListCategories, [] {
            accounts::startBrowseCVCAT(framework::vaultManagers().catRelations);
        });
        accounts::setAccountsDesktop(desk.get());
        installAccountsQueryWizard();
        accounts::setAccountsListRegistration(
            [&frame](int thread, int send, int url) { frame.setAccountsList(thread, send, url); });
        frame.setLauncher(Command::ListPasswords, [] {
            auto& m = framework::vaultManagers();
            accounts::startBrowseCVPAS(m.pasRelations, m.catRelations);
        });
        frame.setLauncher(Command::AddAccount, [] {
            auto& m = framework::vaultManagers();
            (new accounts::Wizard_AddPassword(m.pasRelations, m.catRelations))->start();
        });
        frame.setLauncher(Command::GeneratePassword, [] { security::startGeneratePassword(); });
        frame.setLauncher(Command::EncryptFile, [] { security::startEncryptFile(); });
        frame.setLauncher(Command::DecryptFile, [] { security::startDecryptFile(); });
        addDatabaseToolLaunchers(frame, &tables);
        frame.setLauncher(Command::Preferences, [] { security::startWizardSetup(); });
        frame.setLauncher(Command::ChangeSettings, [] { security::startWizardSetup(); });
        frame.setLauncher(Command::ChangeMasterPassword,
                          [] { security::runWizardChangeMasterPassword(); });
        frame.setLauncher(Command::ListThemes, [] { security::startBrowseCVGSD(); });
        // A cancelled first set-up leaves nothing to run: the program ends.
        security::setFirstSetupCancelled([&frame] {
            QMetaObject::invokeMethod(
                &frame, [&frame] { frame.run(Command::Exit); }, Qt::QueuedConnection);
        });
        security::setFirstSetupCompleted([&frame] { frame.allowLogon(); });
        security::setLogoffRequest([&frame] {
            QMetaObject::invokeMethod(
                &frame, [&frame] { frame.run(Command::Logoff); }, Qt::QueuedConnection);
        });
        send::SendHooks& sh = send::sendHooks();
        // A waiting send gives way to the frame's timer and every other window, and
        // sleeps in the event loop rather than spinning when nothing is pending.
        sh.yield = [] {
            QEventLoop loop;
            QTimer::singleShot(10, &loop, &QEventLoop::quit);
            loop.exec();
        };
        sh.postIconize = [&frame] {
            QMetaObject::invokeMethod(
                &frame, [&frame] { frame.tray().HideToTray(); }, Qt::QueuedConnection);
        };
        sh.mayType = [] { return security::LoggedOn(); };
        sh.typed = [] { security::playSound(security::SoundEvent::Send); };
        // Characters lent to spare keycodes leave the keymap shortly after the last text,
        // from a timer, so the frame never sleeps for it.
        QTimer keymapTimer;
        keymapTimer.setSingleShot(true);
        keymapTimer.setInterval(kKeymapReturnMs);
        QObject::connect(&keymapTimer, &QTimer::timeout, [&desk] {
            if (desk) send::returnBorrowedKeycodes(*desk);
        });
        // Typing a long text lets the frame's events run between keys now and then.
        sh.giveWay = [] { QCoreApplication::processEvents(); };
        sh.afterTyping = [&keymapTimer] { keymapTimer.start(); };
        // A logon window that gains the focus refreshes the list of windows to send to.
        security::setActivationRefresh([] {
            if (desktop::Desktop* d = desktop::currentDesktop()) send::ListTopWindows(*d);
        });
        instance.onRestore = [&frame] { frame.tray().Restore(); };
        frame.open();
        int code = QApplication::exec();
        instance.onRestore = nullptr;
        // Windows still open close before the tables and managers go away.
        frame.mdiArea()->closeAllSubWindows();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        send::resetSendHooks();
        accounts::setAccountsListRegistration({});
        accounts::setAccountsDesktop(nullptr);
        removeAccountsQueryWizard();
        security::setLogoffRequest({});
        security::setFirstSetupCancelled({});
        security::setFirstSetupCompleted({});
        security::setActivationRefresh({});
        return code;
    };
    int code = runProgram(hooks);
    send::keySender().Kill();
    desktop::setCurrentDesktop(nullptr);
    framework::setPrompt(nullptr);
    return code;
}

}  // namespace corvix::app
