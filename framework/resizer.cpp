#include "framework/resizer.h"

#include "framework/settings_store.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QEvent>
#include <QLayout>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTextEdit>
#include <QWidget>

namespace corvix::framework {

namespace {

class WidgetPlacement : public StoredWindow {
  public:
    explicit WidgetPlacement(QWidget* w) : w_(w) {}
    int x() const override { return w_->x(); }
    int y() const override { return w_->y(); }
    int width() const override { return w_->width(); }
    int height() const override { return w_->height(); }
    bool maximized() const override { return w_->isMaximized(); }
    bool minimized() const override { return w_->isMinimized(); }
    bool resizable() const override { return w_->minimumSize() != w_->maximumSize(); }
    void setPosition(int x, int y) override { w_->move(x, y); }
    void setSize(int width, int height) override { w_->resize(width, height); }
    void setMaximized(bool on) override {
        if (on)
            w_->showMaximized();
        else
            w_->showNormal();
    }

  private:
    QWidget* w_;
};

}  // namespace

void saveWindowPlacement(const std::string& section, QWidget* window) {
    if (!window || section.empty()) return;
    WidgetPlacement p(window);
    settingsStore().SaveWindow(section, p);
}

void restoreWindowPlacement(const std::string& section, QWidget* window) {
    if (!window || section.empty()) return;
    WidgetPlacement p(window);
    settingsStore().RestoreWindow(section, p);
}

Resizer::Resizer(QWidget* window, std::string section)
    : QObject(window), window_(window), section_(std::move(section)) {
    opening_ = window->size();
    window->setMinimumSize(opening_);
    if (!window->layout()) {
        for (QObject* child : window->children()) {
            auto* w = qobject_cast<QWidget*>(child);
            if (!w || w->isWindow()) continue;
            controls_[w] = {w->geometry(), defaultAnchors(w, opening_)};
        }
    }
    window->installEventFilter(this);
}

unsigned Resizer::defaultAnchors(const QWidget* control, QSize window) {
    const bool stretches = qobject_cast<const QAbstractItemView*>(control) ||
                           qobject_cast<const QTabWidget*>(control) ||
                           qobject_cast<const QTextEdit*>(control) ||
                           qobject_cast<const QPlainTextEdit*>(control);
    if (stretches) return Left | Right | Top | Bottom;
    const QRect g = control->geometry();
    unsigned a = 0;
    if (qobject_cast<const QAbstractButton*>(control)) {
        a |= g.center().x() > window.width() / 2 ? Right : Left;
        a |= g.center().y() > window.height() * 2 / 3 ? Bottom : Top;
        return a;
    }
    // Entries and prompts widen with the window and stay at their height.
    return Left | Right | Top;
}

void Resizer::setAnchors(QWidget* control, unsigned anchors) {
    auto it = controls_.find(control);
    if (it == controls_.end())
        controls_[control] = {control->geometry(), anchors};
    else
        it->second.anchors = anchors;
    relayout();
}

void Resizer::relayout() {
    if (!window_) return;
    const int dw = window_->width() - opening_.width();
    const int dh = window_->height() - opening_.height();
    for (auto& [w, c] : controls_) {
        QRect r = c.designed;
        const bool left = c.anchors & Left, right = c.anchors & Right;
        const bool top = c.anchors & Top, bottom = c.anchors & Bottom;
        if (left && right)
            r.setWidth(r.width() + dw);
        else if (right)
            r.translate(dw, 0);
        else if (!left && opening_.width() > 0)
            r.translate(dw * r.center().x() / opening_.width(), 0);
        if (top && bottom)
            r.setHeight(r.height() + dh);
        else if (bottom)
            r.translate(0, dh);
        else if (!top && opening_.height() > 0)
            r.translate(0, dh * r.center().y() / opening_.height());
        w->setGeometry(r);
    }
}

void Resizer::restore() {
    restoring_ = true;
    restoreWindowPlacement(section_, window_);
    restoring_ = false;
}

void Resizer::save() {
    saveWindowPlacement(section_, window_);
}

bool Resizer::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_) return false;
    switch (event->type()) {
        case QEvent::Resize:
            relayout();
            if (!restoring_ && window_->isVisible()) save();
            break;
        case QEvent::Move:
            if (!restoring_ && window_->isVisible()) save();
            break;
        case QEvent::Close:
            save();
            break;
        case QEvent::ChildRemoved: {
            const QObject* gone = static_cast<QChildEvent*>(event)->child();
            for (auto it = controls_.begin(); it != controls_.end(); ++it) {
                if (static_cast<const QObject*>(it->first) == gone) {
                    controls_.erase(it);
                    break;
                }
            }
            break;
        }
        default:
            break;
    }
    return false;
}

}  // namespace corvix::framework
