#include "security/edit_image.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "framework/error_manager.h"
#include "framework/prompt.h"
#include "security/logon_picture.h"
#include "security/password_text.h"
#include "security/session.h"
#include "security/theme_paint.h"
#include "security/theme_symbols.h"

namespace corvix::security {

using namespace corvix::framework;

RecorderCell::RecorderCell(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::NoFocus);
}

void RecorderCell::display(char32_t symbol, bool marked) {
    symbol_ = QString::fromStdString(toUtf8(std::u32string(1, symbol)));
    marked_ = marked;
    setAccessibleName(symbol_);
    update();
    show();
}

void RecorderCell::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // The label: at least 6 x 10, white, at the cell's corner + 1.
    const QFontMetrics fm = fontMetrics();
    const QRect label(1, 1, std::max(6, fm.horizontalAdvance(symbol_) + 2),
                      std::max(10, fm.height()));
    p.fillRect(label, Qt::white);
    p.setPen(Qt::black);
    p.drawText(label, Qt::AlignCenter, symbol_);
    if (marked_) {
        p.setPen(QPen(colorFromRef(kMarkColor), 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRect(1, 1, width() - 2, height() - 2));
    }
}

Edit_Image::Edit_Image(vault::GsdRecord& theme) : WindowManager("Edit:Image"), theme_(theme) {}

Edit_Image::~Edit_Image() = default;

int Edit_Image::init() {
    if (themeLockedByMasterCopy(theme_)) {
        prompt().ask("Error", kThemeInUseText, Icon::Hand, kButtonOk, kButtonOk);
        return kLevelNotify;
    }
    recorder_ = std::make_unique<ThemeRecorder>(theme_);
    auto* dialog = new QDialog;
    dialog->setObjectName("Edit:Image");
    dialog->setWindowTitle(kTitle);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(
        new QLabel("This process allows you to edit which window areas will be\n"
                   "considered as the same \"character\" in image passwords.",
                   dialog));
    auto* scroll = new QScrollArea(dialog);
    scroll->setObjectName("PictureFrame");
    view_ = new PictureView;
    view_->setObjectName("Picture");
    scroll->setWidget(view_);
    scroll->setMinimumSize(kFrame.w + 4, kFrame.h + 4);
    layout->addWidget(scroll, 1);
    auto* buttons = new QHBoxLayout;
    start_ = new QPushButton("&Start", dialog);
    reset_ = new QPushButton("&Reset", dialog);
    ok_ = new QPushButton("&OK", dialog);
    cancel_ = new QPushButton("Cancel", dialog);
    buttons->addWidget(start_);
    buttons->addWidget(reset_);
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    for (QPushButton* b : {start_.data(), reset_.data(), ok_.data(), cancel_.data()})
        b->setAutoDefault(false);
    layout->addLayout(buttons);
    setWindow(dialog);

    image_ = QImage(QString::fromStdString(trimTrailingBlanks(theme_.Image)));
    view_->setPicture(image_, "The picture cannot be shown.");
    firstField = start_.data();
    layoutCells();
    return kLevelBenign;
}

void Edit_Image::layoutCells() {
    const Size natural = image_.isNull() ? kFrame : Size{image_.width(), image_.height()};
    const Size shown = pictureSize(pictureStyle(theme_.Style), natural, kFrame);
    view_->setFixedSize(shown.w, shown.h);
    cells_ = buildCells(theme_, {0, 0, shown.w, shown.h});
    recorder_->clearMarks();
    while (buttons_.size() < cells_.size()) {
        auto* b = new RecorderCell(view_);
        const size_t i = buttons_.size();
        QObject::connect(b, &RecorderCell::clicked, this, [this, i] { cellClicked(i); });
        buttons_.push_back(b);
    }
    for (size_t i = cells_.size(); i < buttons_.size(); ++i) buttons_[i]->hide();
    for (size_t i = 0; i < cells_.size(); ++i) {
        const Rect& r = cells_[i].box;
        buttons_[i]->hide();  // controls are hidden while they move
        buttons_[i]->setGeometry(r.x, r.y, r.w, r.h);
    }
    // Every cell is outlined here, whether or not the logon windows show the grid.
    view_->setGrid(&cells_, theme_.GridColor);
    showCells();
}

void Edit_Image::showCells() {
    const std::u32string symbols = toChars(theme_.Password);
    for (size_t i = 0; i < cells_.size(); ++i) {
        ThemeCell& c = cells_[i];
        c.symbol = symbolAt(symbols, symbolIndex(c.c, c.r, theme_.Columns));
        buttons_[i]->display(c.symbol, recorder_->marked().count({c.c, c.r}) != 0);
    }
}

void Edit_Image::cellClicked(size_t i) {
    if (i >= cells_.size()) return;
    touchActivity();
    if (!recorder_->click(cells_[i])) return;
    showCells();
    ok_->setFocus();
}

bool Edit_Image::takeAccepted(QWidget* control) {
    if (control == start_) {
        if (recorder_->recording()) {
            recorder_->stop();
            start_->setText("&Start");
            layoutCells();
        } else {
            recorder_->start();
            start_->setText("&Stop");
        }
    } else if (control == reset_) {
        recorder_->reset();
        layoutCells();
    } else if (control == ok_) {
        response = kRequestCompleted;
        endWindow();
    } else if (control == cancel_) {
        post(kRequestCancelled);
    } else {
        return false;
    }
    return true;
}

bool Edit_Image::takeCloseRequest() {
    // Anything but OK leaves the symbols as they were when the recorder opened.
    if (response != kRequestCompleted && recorder_) recorder_->reset();
    return true;
}

}  // namespace corvix::security
