// corvix: the program. Until the main frame is built, a plain MDI window that opens the
// categories list (its menu opens it again or brings it to the front).
#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenuBar>
#include <cstdio>

#include "accounts/browse_cvcat.h"
#include "framework/qt_prompt.h"
#include "framework/settings_store.h"
#include "framework/threads.h"
#include "framework/vault_managers.h"
#include "framework/window_manager.h"
#include "security/session.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fprintf(stderr, "corvix: no display found (DISPLAY is not set)\n");
        return 1;
    }
    using namespace corvix;
    QApplication app(argc, argv);
    framework::QtPrompt prompt;
    framework::setPrompt(&prompt);
    framework::settingsStore().Init("corvix.INI");
    framework::setActivityHook(security::TouchActivity);
    framework::createVaultManagers();

    QMainWindow frame;
    frame.setWindowTitle("Halden Corvix");
    auto* area = new QMdiArea(&frame);
    frame.setCentralWidget(area);
    frame.resize(800, 600);
    auto& threads = framework::ThreadRegistry::instance();
    threads.setFrame(&frame);
    threads.setMdiArea(area);
    QMenu* browse = frame.menuBar()->addMenu("&Browse");
    browse->addAction("&Categories", &frame,
                      [] { accounts::startBrowseCVCAT(framework::vaultManagers().catRelations); });
    frame.show();
    accounts::startBrowseCVCAT(framework::vaultManagers().catRelations);

    const int code = app.exec();
    area->closeAllSubWindows();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    framework::destroyVaultManagers();
    framework::settingsStore().Kill();
    framework::setPrompt(nullptr);
    return code;
}
