#include "framework/wait_cursor.h"

#include <QCursor>
#include <QGuiApplication>

#include "framework/relation_manager.h"

namespace corvix::framework {

void useWaitCursor() {
    setWaitIndicator([](bool on) {
        // Only where there is a screen to show it on.
        if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
        if (on)
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        else
            QGuiApplication::restoreOverrideCursor();
    });
}

}  // namespace corvix::framework
