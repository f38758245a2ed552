#include "security/theme_geometry.h"

#include <algorithm>
#include <cmath>

#include "security/password_text.h"
#include "security/theme_symbols.h"

namespace corvix::security {

void normaliseGrid(vault::GsdRecord& theme) {
    if (theme.Columns == 0) theme.Columns = 1;
    if (theme.Rows == 0) theme.Rows = 1;
    if (theme.Columns * theme.Rows < 4) {
        theme.Columns += 1;
        theme.Rows += 1;
    }
}

ThemeBasis themeBasis(std::string_view basis) {
    return trimTrailingBlanks(basis) == "Location" ? ThemeBasis::Location : ThemeBasis::Grid;
}

PictureStyle pictureStyle(std::string_view style) {
    std::string s = trimTrailingBlanks(style);
    if (s == "Best Fit") return PictureStyle::BestFit;
    if (s == "Resizable") return PictureStyle::Resizable;
    return PictureStyle::ActualSize;
}

PictureStyle effectiveStyle(const vault::GsdRecord& theme) {
    if (themeBasis(theme.Basis) == ThemeBasis::Location) return PictureStyle::ActualSize;
    return pictureStyle(theme.Style);
}

double aspectRatio(Size natural) {
    if (natural.w <= 0 || natural.h <= 0) return 1.0;
    return static_cast<double>(natural.w) / natural.h;
}

Size pictureSize(PictureStyle style, Size natural, Size frame) {
    Size out;
    switch (style) {
        case PictureStyle::ActualSize:
            return natural;
        case PictureStyle::Resizable:
            out = {frame.w - 2, frame.h - 2};
            break;
        case PictureStyle::BestFit: {
            double ratio = aspectRatio(natural);
            out.h = frame.h - 2;
            out.w = static_cast<int>(std::floor(frame.h * ratio - 2));
            if (out.w > frame.w - 2) {
                out.w = frame.w - 2;
                out.h = static_cast<int>(std::floor(frame.w / ratio - 2));
            }
            break;
        }
    }
    return {std::max(out.w, 0), std::max(out.h, 0)};
}

Size actualSizeWindow(Size picture, Size designedWindow, Size designedFrame) {
    Size out;
    out.h = picture.h + (designedWindow.h - designedFrame.h) + 2;
    out.w = picture.w + (designedWindow.w - designedFrame.w) + 2;
    if (out.w < designedWindow.w) out.w = designedWindow.w;
    return out;
}

std::vector<ThemeCell> buildCells(vault::GsdRecord& theme, Rect picture) {
    normaliseGrid(theme);
    const int columns = theme.Columns;
    const int rows = theme.Rows;
    const std::u32string symbols = toChars(theme.Password);
    std::vector<ThemeCell> cells;
    cells.reserve(columns * rows);
    for (int c = 1; c <= columns; ++c) {
        for (int r = 1; r <= rows; ++r) {
            ThemeCell cell;
            cell.c = c;
            cell.r = r;
            cell.box = {picture.x + (c - 1) * picture.w / columns,
                        picture.y + (r - 1) * picture.h / rows, picture.w / columns,
                        picture.h / rows};
            cell.symbol = symbolAt(symbols, symbolIndex(c, r, columns));
            cells.push_back(cell);
        }
    }
    return cells;
}

const ThemeCell* cellAt(const std::vector<ThemeCell>& cells, Point p) {
    for (const ThemeCell& cell : cells)
        if (cell.box.contains(p)) return &cell;
    return nullptr;
}

namespace {
int step(int offset, int extent) {
    if (extent <= 0) return 0;
    int64_t v = static_cast<int64_t>(offset) * kLocationSteps;
    // Whole part, rounding towards minus infinity for clicks left of or above the picture.
    int64_t q = v >= 0 ? v / extent : -((-v + extent - 1) / extent);
    return static_cast<int>(std::clamp<int64_t>(q, 0, kLocationSteps - 1));
}
}  // namespace

std::u32string encodeLocation(Point p, Rect picture) {
    std::u32string code;
    code.push_back(kLocationFirst + step(p.x - picture.x, picture.w));
    code.push_back(kLocationFirst + step(p.y - picture.y, picture.h));
    return code;
}

std::optional<Point> decodeLocation(std::u32string_view code, Rect picture) {
    if (code.size() != 2) return std::nullopt;
    const int64_t u = static_cast<int64_t>(code[0]) - kLocationFirst;
    const int64_t v = static_cast<int64_t>(code[1]) - kLocationFirst;
    auto whole = [](int64_t a, int64_t extent) {
        int64_t t = a * extent;
        return t >= 0 ? t / kLocationSteps : -((-t + kLocationSteps - 1) / kLocationSteps);
    };
    return Point{picture.x + static_cast<int>(whole(u, picture.w)),
                 picture.y + static_cast<int>(whole(v, picture.h))};
}

int clickTolerance(Size picture) {
    // W / 48 + H / 48 + 1 = (W + H + 48) / 48, whose whole part integer division gives.
    return (std::max(picture.w, 0) + std::max(picture.h, 0) + 48) / 48;
}

LocationMatch matchLocationClick(Point click, Rect picture, std::u32string_view entry,
                                 std::u32string_view expected) {
    LocationMatch m;
    m.code = encodeLocation(click, picture);
    const Point own = *decodeLocation(m.code, picture);
    m.used = click;
    const size_t n = entry.size();  // 0-based index of the entry's next character
    if (n + 2 <= expected.size()) {
        const std::u32string_view want = expected.substr(n, 2);
        m.expectedAt = decodeLocation(want, picture);
        const int tol = clickTolerance({picture.w, picture.h});
        const Point e = *m.expectedAt;
        if (e.x - tol <= own.x && own.x <= e.x + tol && e.y - tol <= own.y && own.y <= e.y + tol) {
            m.code = std::u32string(want);
            m.matched = true;
            m.used = e;
        }
    }
    return m;
}

}  // namespace corvix::security
