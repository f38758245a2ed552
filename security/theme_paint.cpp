#include "security/theme_paint.h"

#include <QPainter>
#include <QPen>

namespace corvix::security {

QColor colorFromRef(uint32_t bgr) {
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

namespace {
// A QPainter outline of a w x h rectangle with a 1-pixel pen covers w + 1 pixels; the
// box should cover exactly its own w x h.
QRect outline(int x, int y, int w, int h) {
    return QRect(x, y, std::max(w - 1, 0), std::max(h - 1, 0));
}
}  // namespace

void paintGridBoxes(QPainter& p, const std::vector<ThemeCell>& cells, uint32_t colorRef) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(colorFromRef(colorRef), 1));
    p.setBrush(Qt::NoBrush);
    for (const ThemeCell& cell : cells) {
        Rect b = gridBox(cell);
        if (b.w > 0 && b.h > 0) p.drawRect(outline(b.x, b.y, b.w, b.h));
    }
    p.restore();
}

void paintClickMarks(QPainter& p, const std::vector<ClickMark>& marks, uint32_t colorRef) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setBrush(Qt::NoBrush);
    for (const ClickMark& m : marks) {
        const int d = 2 * m.tolerance;
        p.setPen(QPen(colorFromRef(colorRef), 1));
        p.drawEllipse(outline(m.centre.x - m.tolerance, m.centre.y - m.tolerance, d, d));
        if (m.debugBox) {
            p.setPen(QPen(colorFromRef(kRedRef), 1));
            p.drawRect(outline(m.debugBox->x - m.tolerance, m.debugBox->y - m.tolerance, d, d));
        }
    }
    p.restore();
}

}  // namespace corvix::security
