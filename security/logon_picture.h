// The parts of the image logon windows that show the picture: the frame around it, the
// picture itself with its grid boxes and click marks, and the cell controls.
#pragma once

#include <QAbstractButton>
#include <QFrame>
#include <QImage>
#include <QWidget>
#include <vector>

#include "security/theme_geometry.h"
#include "security/theme_paint.h"

namespace corvix::security {

// The picture frame; reports its resizing so the picture can be laid out again.
class PictureFrame : public QFrame {
    Q_OBJECT
  public:
    explicit PictureFrame(QWidget* parent = nullptr);
  signals:
    void resized();

  protected:
    void resizeEvent(QResizeEvent* e) override;
};

// The picture scaled to the widget, or a notice when it could not be loaded, with grid
// boxes and click marks drawn over it. Reports left-button presses (exact-location).
class PictureView : public QWidget {
    Q_OBJECT
  public:
    explicit PictureView(QWidget* parent = nullptr);
    void setPicture(const QImage& image, const QString& failureNotice);
    void setGrid(const std::vector<ThemeCell>* cells, uint32_t colorRef);  // nullptr: no grid
    void setMarks(const std::vector<ClickMark>* marks, uint32_t colorRef);
  signals:
    void pressedAt(QPoint pos);

  protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

  private:
    QImage image_;
    QString notice_;
    const std::vector<ThemeCell>* cells_ = nullptr;
    const std::vector<ClickMark>* marks_ = nullptr;
    uint32_t gridColor_ = 0;
    uint32_t markColor_ = 0;
};

// One cell: an invisible click region, or with hints a flat button whose outline shows
// while the mouse is over it.
class CellButton : public QAbstractButton {
    Q_OBJECT
  public:
    CellButton(bool hint, QWidget* parent);

  protected:
    void paintEvent(QPaintEvent* e) override;

  private:
    bool hint_;
};

}  // namespace corvix::security
