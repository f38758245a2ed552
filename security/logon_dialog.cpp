#include "security/logon_dialog.h"

#include "runtime/secret.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

#include "security/password_text.h"
#include "security/session.h"
#include "security/window_hooks.h"

namespace corvix::security {

LogonDialog::LogonDialog(std::string procedure, const std::string& prompt, QWidget* parent)
    : QDialog(parent), procedure_(std::move(procedure)) {
    setWindowTitle(isBlank(prompt) ? kLogonTitle : QString::fromStdString(prompt));
    windowHooks().opened(procedure_, *this);
}

LogonDialog::~LogonDialog() {
    if (!closed_) windowHooks().closed(procedure_, *this);
}

void LogonDialog::acceptWith(::runtime::Secret entry) {
    result_.ok = true;
    result_.entry = std::move(entry);
    accept();
}

void LogonDialog::done(int r) {
    if (r != QDialog::Accepted) {
        result_.entry.clear();
        result_.ok = false;
    }
    if (!closed_) {
        closed_ = true;
        windowHooks().save(procedure_, *this);
        windowHooks().closed(procedure_, *this);
    }
    QDialog::done(r);
}

void LogonDialog::moveEvent(QMoveEvent* e) {
    QDialog::moveEvent(e);
    if (tracking_ && isVisible() && !closed_) windowHooks().save(procedure_, *this);
}

void LogonDialog::resizeEvent(QResizeEvent* e) {
    QDialog::resizeEvent(e);
    if (tracking_ && isVisible() && !closed_) windowHooks().save(procedure_, *this);
}

void LogonDialog::changeEvent(QEvent* e) {
    QDialog::changeEvent(e);
    if (e->type() == QEvent::ActivationChange && isActiveWindow()) windowHooks().activated(*this);
}

ImageLogonDialog::ImageLogonDialog(std::string procedure, const std::string& prompt,
                                   vault::GsdRecord theme, LogonEntry::Kind kind,
                                   const std::string& expected, bool debug, QWidget* parent)
    : LogonDialog(std::move(procedure), prompt, parent),
      entry_(kind, prompt, expected, theme.ShowHint != 0, debug),
      theme_(std::move(theme)),
      style_(effectiveStyle(theme_)) {
    const QString path = QString::fromStdString(trimTrailingBlanks(theme_.Image));
    image_ = QImage(path);

    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    frame_ = new PictureFrame;
    view_ = new PictureView(frame_);
    view_->setPicture(image_, path.isEmpty()
                                  ? tr("This theme has no picture.")
                                  : tr("The picture \"%1\" cannot be loaded.").arg(path));
    scroll_->setWidget(frame_);
    const bool actual = style_ == PictureStyle::ActualSize;
    scroll_->setWidgetResizable(!actual);
    scroll_->setHorizontalScrollBarPolicy(actual ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    scroll_->setVerticalScrollBarPolicy(actual ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    if (!actual) frame_->setMinimumSize(8, 8);

    echo_ = new QLabel(QStringLiteral("Password:"), this);
    echo_->setTextFormat(Qt::PlainText);
    reset_ = new QPushButton(tr("&Reset"), this);
    ok_ = new QPushButton(tr("&OK"), this);
    cancel_ = new QPushButton(tr("Cancel"), this);
    ok_->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(reset_);
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scroll_, 1);
    layout->addWidget(echo_);
    layout->addLayout(buttons);

    connect(reset_, &QPushButton::clicked, this, [this] {
        TouchActivity();
        resetEntry();
    });
    connect(ok_, &QPushButton::clicked, this, [this] {
        TouchActivity();
        acceptWith(entry_.text());
    });
    connect(cancel_, &QPushButton::clicked, this, [this] {
        TouchActivity();
        reject();
    });
    connect(frame_, &PictureFrame::resized, this, [this] {
        if (style_ != PictureStyle::ActualSize) layoutPicture();
    });

    setMinimumSize(150, 50);
    resize(kDesignedWindow.w, kDesignedWindow.h);
}

Rect ImageLogonDialog::pictureRect() const {
    return {0, 0, picture_.w, picture_.h};
}

void ImageLogonDialog::layoutPicture() {
    if (layingOut_) return;
    layingOut_ = true;
    // A picture that could not be loaded keeps a usable area, so cells and codes still
    // work for a user who knows where to click.
    const Size designedPicture{kDesignedWindow.w - 22, kDesignedWindow.h - 82};
    const Size natural = image_.isNull() ? designedPicture : Size{image_.width(), image_.height()};
    if (style_ == PictureStyle::ActualSize) {
        picture_ = natural;
        frame_->setFixedSize(picture_.w + 2, picture_.h + 2);
    } else {
        picture_ = pictureSize(style_, natural, {frame_->width(), frame_->height()});
    }
    view_->hide();
    view_->setGeometry(1, 1, picture_.w, picture_.h);
    pictureLaidOut(picture_);
    view_->show();
    layingOut_ = false;
}

void ImageLogonDialog::sizeAroundPicture() {
    layout()->activate();
    // The margins around the picture area are what the layout gives the other controls;
    // the designed frame is the designed window less those margins.
    const Size margins{width() - scroll_->width(), height() - scroll_->height()};
    const Size designedFrame{kDesignedWindow.w - margins.w, kDesignedWindow.h - margins.h};
    Size target = actualSizeWindow(picture_, kDesignedWindow, designedFrame);
    if (const QScreen* s = screen()) {
        const QRect avail = s->availableGeometry();
        target.w = std::min(target.w, avail.width());
        target.h = std::min(target.h, avail.height());
    }
    resize(target.w, target.h);
}

void ImageLogonDialog::refreshEcho() {
    echo_->setText(QString::fromStdString(entry_.echo()));
    if (entry_.completesLogon(MasterCopy().Password)) acceptWith(entry_.text());
}

void ImageLogonDialog::resetEntry() {
    entry_.reset();
    view_->update();
    refreshEcho();
}

}  // namespace corvix::security
