// The program's logon runner: loads the theme for the image windows and runs the window
// a request names modally.
#include <QApplication>
#include <QPointer>

#include "framework/prompt.h"
#include "security/debug_ini.h"
#include "security/logon_image.h"
#include "security/logon_location.h"
#include "security/logon_normal.h"
#include "security/master_password.h"
#include "security/session.h"
#include "security/theme_source.h"

namespace corvix::security {

namespace {

// The logon window open now (at most one: CheckMasterPassword never nests them).
QPointer<QWidget>& openLogon() {
    static QPointer<QWidget> w;
    return w;
}

// Runs the window modally, known as the open one meanwhile.
template <typename Window>
LogonResult execLogon(Window& w) {
    openLogon() = &w;
    w.exec();
    openLogon() = nullptr;
    return w.takeLogonResult();
}

}  // namespace

void raiseLogonWindow() {
    if (QWidget* w = openLogon()) {
        w->show();
        w->raise();
        w->activateWindow();
    }
}

LogonResult runLogonWindow(const LogonRequest& request) {
    // Without a GUI (the command-line tool) no window can ask.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return {};
    if (request.window == LogonWindow::Normal) {
        Logon_Normal w(request.prompt);
        return execLogon(w);
    }
    // The image windows show the theme MasterCopy refers to; the callers make it the one
    // to use. Without it neither window opens.
    std::optional<vault::GsdRecord> theme = findTheme(MasterCopy().GSD_ID);
    if (!theme) {
        framework::prompt().ask(kInvalidThemeTitle, kInvalidThemeText, framework::Icon::Hand,
                                framework::kButtonOk, framework::kButtonOk);
        return {};
    }
    if (request.window == LogonWindow::Image) {
        Logon_Image w(request.prompt, *theme);
        return execLogon(w);
    }
    Logon_ImageByLocation w(request.expected, request.prompt, *theme, mouseDebugEnabled());
    return execLogon(w);
}

void useLogonWindows() {
    setLogonWindows(runLogonWindow, raiseLogonWindow);
}

}  // namespace corvix::security
