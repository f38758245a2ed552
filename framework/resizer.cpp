#include "framework/resizer.h"

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
WindowPlacement& placement() {
    static WindowPlacement p;
    return p;
}
}  // namespace

void setWindowPlacement(WindowPlacement p) {
    placement() = std::move(p);
}
const WindowPlacement& windowPlacement() {
    return placement();
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
    if (section_.empty() || !window_ || !placement().restore) return;
    restoring_ = true;
    placement().restore(section_, window_);
    restoring_ = false;
}

void Resizer::save() {
    if (section_.empty() || !window_ || !placement().save) return;
    placement().save(section_, window_);
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
