#include "security/logon_location.h"

#include <QCursor>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "security/session.h"
#include "security/sounds.h"
#include "security/window_hooks.h"

namespace corvix::security {

Logon_ImageByLocation::Logon_ImageByLocation(const std::string& expected, const std::string& prompt,
                                             vault::GsdRecord theme, bool debug, QWidget* parent)
    : ImageLogonDialog("Logon:ImageByLocation", prompt, std::move(theme),
                       LogonEntry::Kind::Location, expected, debug, parent) {
    coordinates_ = new QLabel(this);
    coordinates_->setVisible(debug);
    static_cast<QVBoxLayout*>(layout())->insertWidget(2, coordinates_);
    if (debug) {
        timer_ = new QTimer(this);
        connect(timer_, &QTimer::timeout, this, &Logon_ImageByLocation::showMouse);
        timer_->start(100);
    }
    connect(view_, &PictureView::pressedAt, this, &Logon_ImageByLocation::clicked);
    view_->setMarks(&entry_.marks(), theme_.GridColor);

    windowHooks().restore(procedure(), *this);
    layoutPicture();
    sizeAroundPicture();
    refreshEcho();
    trackPosition();
}

void Logon_ImageByLocation::pictureLaidOut(Size) {
    view_->update();
}

void Logon_ImageByLocation::clicked(QPoint pos) {
    TouchActivity();
    playSound(SoundEvent::Click);
    std::optional<LocationMatch> m = entry_.clickAt({pos.x(), pos.y()}, pictureRect());
    if (m) lastCode_ = m->code;
    view_->update();
    okButton()->setFocus();
    refreshEcho();
}

void Logon_ImageByLocation::resetEntry() {
    lastCode_.clear();
    ImageLogonDialog::resetEntry();
}

void Logon_ImageByLocation::showMouse() {
    const QPoint p = mapFromGlobal(QCursor::pos());
    coordinates_->setText(QStringLiteral("X: %1  Y: %2").arg(p.x()).arg(p.y()));
}

}  // namespace corvix::security
