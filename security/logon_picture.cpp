#include "security/logon_picture.h"

#include <QMouseEvent>
#include <QPainter>

namespace corvix::security {

PictureFrame::PictureFrame(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
}

void PictureFrame::resizeEvent(QResizeEvent* e) {
    QFrame::resizeEvent(e);
    emit resized();
}

PictureView::PictureView(QWidget* parent) : QWidget(parent) {}

void PictureView::setPicture(const QImage& image, const QString& failureNotice) {
    image_ = image;
    notice_ = failureNotice;
    update();
}

void PictureView::setGrid(const std::vector<ThemeCell>* cells, uint32_t colorRef) {
    cells_ = cells;
    gridColor_ = colorRef;
    update();
}

void PictureView::setMarks(const std::vector<ClickMark>* marks, uint32_t colorRef) {
    marks_ = marks;
    markColor_ = colorRef;
    update();
}

void PictureView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!image_.isNull()) {
        p.drawImage(rect(), image_);
    } else {
        p.fillRect(rect(), palette().window().color().darker(110));
        p.setPen(palette().windowText().color());
        p.drawText(rect().adjusted(6, 6, -6, -6), Qt::AlignCenter | Qt::TextWordWrap, notice_);
    }
    if (cells_) paintGridBoxes(p, *cells_, gridColor_);
    if (marks_) paintClickMarks(p, *marks_, markColor_);
}

void PictureView::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) emit pressedAt(e->position().toPoint());
    QWidget::mousePressEvent(e);
}

CellButton::CellButton(bool hint, QWidget* parent) : QAbstractButton(parent), hint_(hint) {
    setAttribute(Qt::WA_Hover, hint);
    setFocusPolicy(hint ? Qt::TabFocus : Qt::NoFocus);
}

void CellButton::paintEvent(QPaintEvent*) {
    if (!hint_ || !(underMouse() || isDown() || hasFocus())) return;
    QPainter p(this);
    p.setPen(QPen(palette().windowText().color(), 1));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace corvix::security
