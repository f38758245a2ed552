// Keeps a window at least as large as it opened and lets its controls follow it when
// the user resizes it; saves the window's placement after every move or resize and
// when it closes, and restores it when it opens.
#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <functional>
#include <map>
#include <string>

class QWidget;

namespace corvix::framework {

// A widget as the settings store sees it: position, size, maximized, resizable.
void saveWindowPlacement(const std::string& section, QWidget* window);
void restoreWindowPlacement(const std::string& section, QWidget* window);

class Resizer : public QObject {
  public:
    // Anchors of a control: attached to the left/right/top/bottom edge. Attached to both
    // edges of a direction it stretches; to neither it keeps its share of the window.
    enum Anchor : unsigned { Left = 1, Right = 2, Top = 4, Bottom = 8 };

    // Attaches to an opened window: its current size becomes its minimum size. section
    // names the window in the settings file ("" = not saved).
    Resizer(QWidget* window, std::string section);

    // A rule of its own for one direct child (windows without a layout).
    void setAnchors(QWidget* control, unsigned anchors);
    // The overall rule: lists, edits and sheets stretch, buttons keep their size and
    // move with the right/bottom edge when they sit in the right/bottom half.
    static unsigned defaultAnchors(const QWidget* control, QSize window);

    void restore();  // restore the saved placement (settings store)
    void save();     // save it now

    QSize openingSize() const { return opening_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void relayout();

    QPointer<QWidget> window_;
    std::string section_;
    QSize opening_;
    struct Control {
        QRect designed;
        unsigned anchors = 0;
    };
    std::map<QWidget*, Control> controls_;
    bool restoring_ = false;
};

}  // namespace corvix::framework
