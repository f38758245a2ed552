#include "accounts/status_icons.h"

#include <QPainter>
#include <QPixmap>

#include "accounts/account_rules.h"

namespace corvix::accounts {

namespace {

QIcon disc(QColor colour) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colour.darker(160), 1));
    p.setBrush(colour);
    p.drawEllipse(QRectF(2.5, 2.5, 11, 11));
    return QIcon(pm);
}

QIcon glasses() {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1.5));
    p.setBrush(QColor(170, 210, 255));
    p.drawEllipse(QRectF(1, 6, 6, 5));
    p.drawEllipse(QRectF(9, 6, 6, 5));
    p.drawLine(QPointF(7, 8), QPointF(9, 8));
    return QIcon(pm);
}

}  // namespace

QIcon statusIconImage(int icon) {
    // Kept for the life of the process: pixmaps must not outlive the application object
    // in static destructors.
    static const auto* icons = new QIcon[4]{glasses(), disc(QColor(40, 170, 60)),
                                            disc(QColor(210, 40, 40)), disc(QColor(240, 200, 30))};
    if (icon < kIconWatched || icon > kIconExpiring) return {};
    return icons[icon - 1];
}

}  // namespace corvix::accounts
