// Geometry of image themes: how the grid is normalised, where the picture goes in its
// frame for each display style, where the cells lie, and how a click on an
// exact-location theme becomes a two-character LocationCode. All in window units
// (pixels), all integer results with the fractional part dropped.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vault/records.h"

namespace corvix::security {

struct Size {
    int w = 0;
    int h = 0;
    bool operator==(const Size&) const = default;
};
struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};
struct Rect {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    bool operator==(const Rect&) const = default;
    bool contains(Point p) const { return p.x >= x && p.y >= y && p.x < x + w && p.y < y + h; }
};

// A Columns or Rows of 0 becomes 1; fewer than 4 cells add one to both (1x1 -> 2x2,
// 1x3 -> 2x4, 2x1 -> 3x2). The values are written back into the record.
void normaliseGrid(vault::GsdRecord& theme);

enum class ThemeBasis { Grid, Location };
enum class PictureStyle { ActualSize, Resizable, BestFit };
ThemeBasis themeBasis(std::string_view basis);      // "Location", else Grid
PictureStyle pictureStyle(std::string_view style);  // unknown texts show the actual size
// The style a theme is shown in: a location theme always shows the actual size.
PictureStyle effectiveStyle(const vault::GsdRecord& theme);

// Width / height of a picture; 1.0 for one that could not be loaded (height 0).
double aspectRatio(Size natural);

// Size of the picture inside a frame of the given size. Actual Size keeps the natural
// size; Best Fit keeps the proportions within frame - 2; Resizable fills frame - 2.
Size pictureSize(PictureStyle style, Size natural, Size frame);

// Window size for the actual-size layout: the picture plus the window's designed margins
// around its frame plus 2; never narrower than the designed window.
Size actualSizeWindow(Size picture, Size designedWindow, Size designedFrame);

// One cell of a grid theme: column c and row r (1-based), its place and its symbol.
struct ThemeCell {
    int c = 0;
    int r = 0;
    Rect box;
    char32_t symbol = U' ';
};

// The cells over a picture at `picture`, column by column and rows within a column, so
// the list position of (c, r) is (c - 1) x Rows + r. Normalises the theme first.
std::vector<ThemeCell> buildCells(vault::GsdRecord& theme, Rect picture);
// The cell containing p, or nullptr.
const ThemeCell* cellAt(const std::vector<ThemeCell>& cells, Point p);
// The outline box drawn for a cell when the grid is shown.
inline Rect gridBox(const ThemeCell& cell) {
    return {cell.box.x + 1, cell.box.y + 1, cell.box.w - 2, cell.box.h - 2};
}

// Exact-location themes.
constexpr int kLocationSteps = 128;
constexpr char32_t kLocationFirst = 33;

// The two characters for a click at p on a picture at `picture`. Clicks outside the
// picture are held to its edge, so codes always lie in 33..160.
std::u32string encodeLocation(Point p, Rect picture);
// The window position a code stands for on `picture`; nullopt if code is not 2 characters.
std::optional<Point> decodeLocation(std::u32string_view code, Rect picture);
// Half-width and half-height of the box in which a click hits an expected location:
// whole part of W / 48 + H / 48 + 1.
int clickTolerance(Size picture);

struct LocationMatch {
    std::u32string code;              // the two characters to append
    bool matched = false;             // the click counted as the expected code
    Point used;                       // the expected point when matched, else the click's
    std::optional<Point> expectedAt;  // where the expected code lies, when there is one
};
// Matches a click against the characters at the entry's next position of `expected`.
LocationMatch matchLocationClick(Point click, Rect picture, std::u32string_view entry,
                                 std::u32string_view expected);

// What an exact-location window has drawn for one click: an ellipse of 2 x tolerance
// around the point used, and with the debug aids a red box around the expected point.
struct ClickMark {
    Point centre;
    int tolerance = 0;
    std::optional<Point> debugBox;
};

}  // namespace corvix::security
