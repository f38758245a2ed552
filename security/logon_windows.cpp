// The program's logon runner: loads the theme for the image windows and runs the window
// a request names modally.
#include <QApplication>

#include "framework/prompt.h"
#include "security/debug_ini.h"
#include "security/logon_image.h"
#include "security/logon_location.h"
#include "security/logon_normal.h"
#include "security/master_password.h"
#include "security/session.h"
#include "security/theme_source.h"

namespace corvix::security {

LogonResult runLogonWindow(const LogonRequest& request) {
    // Without a GUI (the command-line tool) no window can ask.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return {};
    if (request.window == LogonWindow::Normal) {
        Logon_Normal w(request.prompt);
        w.exec();
        return w.logonResult();
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
        w.exec();
        return w.logonResult();
    }
    Logon_ImageByLocation w(request.expected, request.prompt, *theme, mouseDebugEnabled());
    w.exec();
    return w.logonResult();
}

}  // namespace corvix::security
