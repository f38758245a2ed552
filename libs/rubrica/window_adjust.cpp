// URADJUST: moves or widens a control of the active window as its width changed against
// the width the design was made for (widgets, so not with the store).
#include <QApplication>
#include <QWidget>

#include "libs/rubrica/rubrica.h"

namespace corvix::rubrica {

void URADJUST(long control, long referenceWidth, uint8_t mode) {
    QWidget* window = QApplication::activeWindow();
    if (!window) return;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (w->property("equate").toLongLong() != control || control == 0) continue;
        const Placement p =
            adjusted({w->x(), w->width()}, window->width(), static_cast<int>(referenceWidth), mode);
        w->setGeometry(p.x, w->y(), p.width, w->height());
        return;
    }
}

}  // namespace corvix::rubrica
