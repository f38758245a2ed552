#include "app/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>
#include <map>

namespace corvix::app {

namespace {

using Glyph = std::function<void(QPainter&)>;  // draws into a 32 x 32 box

const QColor kInk(0x20, 0x3a, 0x5c);
const QColor kGreen(0x2e, 0x8b, 0x57);
const QColor kRed(0xc0, 0x39, 0x2b);
const QColor kGold(0xd4, 0xa0, 0x17);

QPen pen(const QColor& c, qreal w = 3) {
    return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// The program's own mark: a raven-dark shield with a keyhole.
void drawCorvix(QPainter& p) {
    QPainterPath shield;
    shield.moveTo(16, 2);
    shield.lineTo(28, 7);
    shield.quadTo(28, 22, 16, 30);
    shield.quadTo(4, 22, 4, 7);
    shield.closeSubpath();
    p.setPen(pen(kInk, 2));
    p.setBrush(QColor(0x2c, 0x3e, 0x50));
    p.drawPath(shield);
    p.setPen(Qt::NoPen);
    p.setBrush(kGold);
    p.drawEllipse(QPointF(16, 13), 4, 4);
    QPolygonF stem({QPointF(14, 15), QPointF(18, 15), QPointF(19.5, 23), QPointF(12.5, 23)});
    p.drawPolygon(stem);
}

void drawRestore(QPainter& p) {
    p.setPen(pen(kInk, 2));
    p.setBrush(Qt::white);
    p.drawRect(5, 9, 22, 17);
    p.setBrush(kInk);
    p.drawRect(5, 9, 22, 5);
}

void drawCircle(QPainter& p, const QColor& c) {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QRectF(3, 3, 26, 26));
}

void drawLogon(QPainter& p) {
    drawCircle(p, kGreen);
    p.setPen(pen(Qt::white));
    p.drawPolyline(QPolygonF({QPointF(10, 16.5), QPointF(14.5, 21), QPointF(22, 11)}));
}

void drawLogoff(QPainter& p) {
    drawCircle(p, kRed);
    p.setPen(pen(Qt::white));
    p.drawLine(QPointF(11, 11), QPointF(21, 21));
    p.drawLine(QPointF(21, 11), QPointF(11, 21));
}

void drawKeys(QPainter& p) {
    p.setPen(pen(kGold, 3));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(4, 6, 11, 11));
    p.drawLine(QPointF(14, 15), QPointF(27, 27));
    p.drawLine(QPointF(22, 22), QPointF(25, 19));
    p.drawLine(QPointF(25, 25), QPointF(28, 22));
}

void drawPlay(QPainter& p) {
    p.setPen(pen(kGreen, 2));
    p.setBrush(kGreen);
    p.drawPolygon(QPolygonF({QPointF(9, 5), QPointF(26, 16), QPointF(9, 27)}));
}

void drawJob(QPainter& p) {
    p.setPen(pen(kInk, 2));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(4, 4, 24, 24));
    p.drawLine(QPointF(4, 16), QPointF(28, 16));
    p.drawEllipse(QRectF(10, 4, 12, 24));
}

void drawHelp(QPainter& p) {
    p.setPen(pen(kInk, 2));
    p.setBrush(QColor(0xe8, 0xf0, 0xfa));
    p.drawRoundedRect(QRectF(5, 3, 22, 26), 3, 3);
    QFont f = p.font();
    f.setPixelSize(18);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRectF(5, 3, 22, 26), Qt::AlignCenter, "?");
}

void drawAbout(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(kGold);
    for (QPointF c : {QPointF(10, 10), QPointF(22, 10), QPointF(10, 22), QPointF(22, 22)}) {
        QPolygonF star;
        for (int i = 0; i < 8; ++i) {
            qreal r = i % 2 ? 2 : 6;
            qreal a = i * M_PI / 4;
            star << c + QPointF(r * std::sin(a), -r * std::cos(a));
        }
        p.drawPolygon(star);
    }
}

void drawExit(QPainter& p) {
    p.setPen(pen(kInk, 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(6, 4, 14, 24);
    p.setPen(pen(kRed, 3));
    p.drawLine(QPointF(14, 16), QPointF(28, 16));
    p.drawPolyline(QPolygonF({QPointF(23, 11), QPointF(28, 16), QPointF(23, 21)}));
}

const std::map<QString, Glyph>& glyphs() {
    static const std::map<QString, Glyph> table = {
        {"0corvix.ico", drawCorvix}, {"restore.ico", drawRestore},    {"_circhk.ico", drawLogon},
        {"_cirx.ico", drawLogoff},   {"_keys.ico", drawKeys},         {"_play.ico", drawPlay},
        {"_jobexec.ico", drawJob},   {"_helpbk.ico", drawHelp},       {"_fourstr.ico", drawAbout},
        {"_exit.ico", drawExit},     {"blank.ico", [](QPainter&) {}},
    };
    return table;
}

QPixmap render(const Glyph& glyph, int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    glyph(p);
    return pm;
}

}  // namespace

QIcon namedIcon(const QString& name) {
    auto it = glyphs().find(name.toLower());
    const Glyph& glyph = it != glyphs().end() ? it->second : glyphs().at("blank.ico");
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64}) icon.addPixmap(render(glyph, size));
    return icon;
}

}  // namespace corvix::app
