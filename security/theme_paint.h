// Drawing of image themes over a QPainter: grid boxes and click marks. The widgets call
// these from their paint events; tests paint into a QImage.
#pragma once

#include <QColor>
#include <cstdint>
#include <vector>

#include "security/theme_geometry.h"

class QPainter;

namespace corvix::security {

// A stored colour 0x00BBGGRR (red in the low byte).
QColor colorFromRef(uint32_t bgr);
constexpr uint32_t kRedRef = 255;

// Outline boxes of the cells (inset 1, line width 1) in colour.
void paintGridBoxes(QPainter& p, const std::vector<ThemeCell>& cells, uint32_t colorRef);

void paintClickMarks(QPainter& p, const std::vector<ClickMark>& marks, uint32_t colorRef);

}  // namespace corvix::security
