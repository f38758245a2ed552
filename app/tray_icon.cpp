#include "app/tray_icon.h"

#include <QEvent>
#include <QWindowStateChangeEvent>

#include "app/icons.h"
#include "runtime/picture.h"

namespace corvix::app {

TrayIcon::TrayIcon() {
    // Queued: what a click starts (the tray menu's Exit, say) may remove the icon, which
    // must not happen inside the icon's own mouse handling.
    connect(&icon_, &QSystemTrayIcon::activated, this, &TrayIcon::activated, Qt::QueuedConnection);
}

TrayIcon::~TrayIcon() {
    Kill();
}

std::string TrayIcon::ResourceName(std::string name) {
    name = runtime::rightTrim(name);
    if (name.size() >= 4 && name[name.size() - 4] == '.') name[name.size() - 4] = '_';
    return name;
}

void TrayIcon::Init(QWidget* frame, const std::string& tip, const std::string& icon, uint32_t id,
                    bool minimizeToTaskbar, bool noSubclassing) {
    frame_ = frame;
    UID = id;
    MINIMIZETOTASKBAR = minimizeToTaskbar;
    NOSUBCLASSING = noSubclassing;
    Add(icon, tip);
    if (!MINIMIZETOTASKBAR && !NOSUBCLASSING && frame_) {
        frame_->installEventFilter(this);
        handlersRegistered_ = true;
    }
    trayHost_ = currentTrayHost();
}

void TrayIcon::Add(const std::string& icon, const std::string& tip) {
    ICON = runtime::rightTrim(icon);
    TIP = runtime::rightTrim(tip);
    // The icon is drawn from the program's own set under its file-style name; the
    // resource name is kept for callers that compare it.
    icon_.setIcon(namedIcon(QString::fromStdString(ICON)));
    icon_.setToolTip(QString::fromStdString(runtime::cutToChars(TIP, 63)));
    // No tray host: nothing is reported; the hot key still restores the frame.
    icon_.show();
    added_ = true;
}

void TrayIcon::Remove() {
    icon_.hide();
    added_ = false;
}

void TrayIcon::Kill() {
    if (handlersRegistered_ && frame_) frame_->removeEventFilter(this);
    handlersRegistered_ = false;
    Remove();
}

bool TrayIcon::isShown() const {
    return added_ && icon_.isVisible();
}

void TrayIcon::HideToTray() {
    if (!frame_) return;
    frame_->setWindowState(frame_->windowState() & ~Qt::WindowMinimized);
    frame_->hide();
}

void TrayIcon::Restore() {
    if (!frame_) return;
    frame_->setWindowState(frame_->windowState() & ~Qt::WindowMinimized);
    frame_->show();
    if (!frame_->isActiveWindow()) {
        frame_->raise();
        frame_->activateWindow();
    }
}

bool TrayIcon::eventFilter(QObject* watched, QEvent* event) {
    if (watched == frame_ && event->type() == QEvent::WindowStateChange) {
        if (frame_->windowState() & Qt::WindowMinimized) {
            // Iconizing hides the frame into the tray; done after the state change
            // settles, as hiding inside the change confuses some window managers.
            QMetaObject::invokeMethod(
                this, [this] { HideToTray(); }, Qt::QueuedConnection);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void TrayIcon::activated(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
        case QSystemTrayIcon::Trigger:
            emit frameEvent(kEventLeftClick);
            OnLeftClick();
            break;
        case QSystemTrayIcon::DoubleClick:
            emit frameEvent(kEventLeftDoubleClick);
            OnLeftDoubleClick();
            break;
        case QSystemTrayIcon::Context:
            emit frameEvent(kEventRightClick);
            OnRightClick();
            break;
        default:
            break;
    }
}

void TrayIcon::CheckTrayHost() {
    uint32_t host = currentTrayHost();
    if (host == trayHost_) return;
    trayHost_ = host;
    if (host != 0) {
        emit frameEvent(kEventTaskbarCreated);
        if (added_) {
            // Dock again with the stored icon and tip.
            icon_.hide();
            Add(ICON, TIP);
        }
    }
}

}  // namespace corvix::app
