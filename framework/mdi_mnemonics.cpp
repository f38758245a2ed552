#include "framework/mdi_mnemonics.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPointer>
#include <vector>

namespace corvix::framework {

namespace {

// The letter after a single "&" in a caption, lower-cased; 0 when there is none.
QChar mnemonicOf(const QString& text) {
    for (int i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '&') continue;
        if (text[i + 1] == '&') {
            ++i;
            continue;
        }
        return text[i + 1].toLower();
    }
    return QChar();
}

QChar letterOf(const QKeyEvent& key) {
    const int k = key.key();
    if (k >= Qt::Key_A && k <= Qt::Key_Z) return QChar('a' + (k - Qt::Key_A));
    if (k >= Qt::Key_0 && k <= Qt::Key_9) return QChar('0' + (k - Qt::Key_0));
    return key.text().isEmpty() ? QChar() : key.text().at(0).toLower();
}

bool usable(const QWidget* w, const QWidget* scope) {
    return w->isEnabled() && w->isVisibleTo(scope) && w->isVisible();
}

class MdiMnemonics : public QObject {
  public:
    explicit MdiMnemonics(QMdiArea* area) : QObject(area), area_(area) {
        qApp->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() != Qt::AltModifier) return false;
        const QChar letter = letterOf(*key);
        if (letter.isNull()) return false;
        QWidget* focus = QApplication::focusWidget();
        if (!area_ || watched != focus) return false;
        QMdiSubWindow* child = area_->activeSubWindow();
        if (!child || !child->isAncestorOf(focus)) return false;
        std::vector<QWidget*> own = targets(child, letter);
        QAction* menu = own.empty() ? menuOf(letter) : nullptr;
        if (own.empty() && !menu) return false;
        if (type == QEvent::ShortcutOverride) {
            event->accept();  // delivered as a key press, not as a shortcut
            return true;
        }
        if (menu) {
            menuBar()->setActiveAction(menu);
            return true;
        }
        activate(own, focus);
        return true;
    }

  private:
    static std::vector<QWidget*> targets(QMdiSubWindow* child, QChar letter) {
        std::vector<QWidget*> out;
        for (QWidget* w : child->findChildren<QWidget*>()) {
            if (!usable(w, child)) continue;
            if (auto* b = qobject_cast<QAbstractButton*>(w)) {
                if (mnemonicOf(b->text()) == letter) out.push_back(b);
            } else if (auto* l = qobject_cast<QLabel*>(w)) {
                if (l->buddy() && usable(l->buddy(), child) && mnemonicOf(l->text()) == letter)
                    out.push_back(l);
            }
        }
        return out;
    }

    QMenuBar* menuBar() const {
        auto* frame = qobject_cast<QMainWindow*>(area_->window());
        return frame ? frame->menuBar() : nullptr;
    }

    QAction* menuOf(QChar letter) const {
        if (!menuBar()) return nullptr;
        for (QAction* a : menuBar()->actions())
            if (a->isVisible() && a->isEnabled() && mnemonicOf(a->text()) == letter) return a;
        return nullptr;
    }

    // One target acts (a button is pressed, a prompt's entry takes the focus); several
    // take the focus in turn, as shared mnemonics do.
    static void activate(const std::vector<QWidget*>& own, QWidget* focus) {
        auto focusOf = [](QWidget* w) {
            auto* l = qobject_cast<QLabel*>(w);
            return l ? l->buddy() : w;
        };
        if (own.size() == 1) {
            QWidget* w = own.front();
            focusOf(w)->setFocus(Qt::ShortcutFocusReason);
            // Pressed after the key event, as a shortcut would: a button may open a modal
            // window.
            if (auto* b = qobject_cast<QAbstractButton*>(w)) b->animateClick();
            return;
        }
        size_t next = 0;
        for (size_t i = 0; i < own.size(); ++i)
            if (focusOf(own[i]) == focus) next = (i + 1) % own.size();
        focusOf(own[next])->setFocus(Qt::ShortcutFocusReason);
    }

    QPointer<QMdiArea> area_;
};

}  // namespace

void installMdiMnemonics(QMdiArea* area) {
    constexpr const char* kInstalled = "corvixMdiMnemonics";
    if (!area || area->property(kInstalled).toBool()) return;
    area->setProperty(kInstalled, true);
    new MdiMnemonics(area);
}

}  // namespace corvix::framework
