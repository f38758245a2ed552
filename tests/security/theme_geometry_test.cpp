#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <set>

#include "security/logon_entry.h"
#include "security/password_text.h"
#include "security/theme_geometry.h"
#include "security/theme_paint.h"
#include "security/theme_symbols.h"

using namespace corvix::security;
using corvix::vault::GsdRecord;

namespace {
// A symbol string whose position k holds a distinct, recognisable character.
std::string numberedSymbols() {
    std::u32string s;
    for (int k = 1; k <= 128; ++k) s.push_back(static_cast<char32_t>(0x100 + k));
    return toUtf8(s);
}
char32_t numbered(int position) {
    return static_cast<char32_t>(0x100 + position);
}

GsdRecord grid(int columns, int rows) {
    GsdRecord t;
    t.Columns = static_cast<uint8_t>(columns);
    t.Rows = static_cast<uint8_t>(rows);
    t.Password = numberedSymbols();
    return t;
}
}  // namespace

TEST(GridNormalisation, SmallGridsGrowAndAreWrittenBack) {
    struct Case {
        int c, r, wantC, wantR;
    } cases[] = {{1, 1, 2, 2}, {1, 3, 2, 4}, {2, 1, 3, 2}, {0, 0, 2, 2},
                 {0, 5, 1, 5}, {2, 2, 2, 2}, {1, 4, 1, 4}, {9, 9, 9, 9}};
    for (const Case& k : cases) {
        GsdRecord t = grid(k.c, k.r);
        normaliseGrid(t);
        EXPECT_EQ(t.Columns, k.wantC) << k.c << "x" << k.r;
        EXPECT_EQ(t.Rows, k.wantR) << k.c << "x" << k.r;
    }
    GsdRecord t = grid(1, 1);
    std::vector<ThemeCell> cells = buildCells(t, {0, 0, 100, 100});
    EXPECT_EQ(cells.size(), 4u);
    EXPECT_EQ(t.Columns, 2);  // the record itself now holds the shown grid
    GsdRecord t13 = grid(1, 3);
    EXPECT_EQ(buildCells(t13, {0, 0, 100, 100}).size(), 8u);
}

TEST(SymbolIndex, ColumnsIsTheMultiplierInNonSquareGrids) {
    GsdRecord t = grid(2, 3);
    std::vector<ThemeCell> cells = buildCells(t, {0, 0, 60, 90});
    ASSERT_EQ(cells.size(), 6u);
    // Column by column, rows within a column: list position (c-1) x Rows + r.
    std::vector<int> positions;
    for (const ThemeCell& cell : cells) {
        EXPECT_EQ(&cell - cells.data(), (cell.c - 1) * 3 + cell.r - 1);
        positions.push_back(symbolIndex(cell.c, cell.r, 2));
        EXPECT_EQ(cell.symbol, numbered(symbolIndex(cell.c, cell.r, 2)));
    }
    EXPECT_EQ(positions, (std::vector<int>{2, 3, 4, 4, 5, 6}));
    // Cells (1,3) and (2,1) type the same symbol.
    EXPECT_EQ(cells[2].symbol, cells[3].symbol);
    EXPECT_EQ(symbolIndex(9, 9, 9), 82);
}

TEST(SymbolIndex, ShortSymbolStringGivesBlanks) {
    GsdRecord t = grid(3, 3);
    t.Password = "AB";
    std::vector<ThemeCell> cells = buildCells(t, {0, 0, 30, 30});
    EXPECT_EQ(cells[0].symbol, U'B');  // position 2
    EXPECT_EQ(cells[1].symbol, U' ');  // position 3 lies beyond the string
}

TEST(CellGeometry, WholePartsOfExactValues) {
    GsdRecord t = grid(3, 3);
    std::vector<ThemeCell> cells = buildCells(t, {5, 7, 100, 50});
    // Column 2, row 3: x = 5 + 100/3 = 38.33 -> 38; y = 7 + 2*50/3 = 40.33 -> 40.
    const ThemeCell& c = cells[(2 - 1) * 3 + 3 - 1];
    EXPECT_EQ(c.c, 2);
    EXPECT_EQ(c.r, 3);
    EXPECT_EQ(c.box, (Rect{38, 40, 33, 16}));
    EXPECT_EQ(gridBox(c), (Rect{39, 41, 31, 14}));
    EXPECT_EQ(cellAt(cells, {38, 40}), &c);
    EXPECT_EQ(cellAt(cells, {4, 7}), nullptr);
}

TEST(PictureLayout, ActualSizeKeepsTheNaturalSizeAndSizesTheWindow) {
    EXPECT_EQ(pictureSize(PictureStyle::ActualSize, {640, 480}, {100, 100}), (Size{640, 480}));
    // Height: picture + (designed window - designed frame) + 2.
    EXPECT_EQ(actualSizeWindow({640, 480}, {420, 340}, {400, 260}), (Size{662, 562}));
    // A narrow picture keeps the designed width.
    EXPECT_EQ(actualSizeWindow({50, 40}, {420, 340}, {400, 260}), (Size{420, 122}));
}

TEST(PictureLayout, BestFitKeepsProportions) {
    // Limited by height: h = 200 - 2, w = whole part of 200 x 2 - 2.
    EXPECT_EQ(pictureSize(PictureStyle::BestFit, {400, 200}, {500, 200}), (Size{398, 198}));
    // Limited by width: w = 300 - 2, h = whole part of 300 / 2 - 2.
    EXPECT_EQ(pictureSize(PictureStyle::BestFit, {400, 200}, {300, 300}), (Size{298, 148}));
    // Portrait picture in a wide frame.
    Size s = pictureSize(PictureStyle::BestFit, {100, 300}, {600, 302});
    EXPECT_EQ(s, (Size{98, 300}));
    // An unloadable picture counts as square.
    EXPECT_EQ(pictureSize(PictureStyle::BestFit, {0, 0}, {202, 102}), (Size{100, 100}));
}

TEST(PictureLayout, ResizableStretches) {
    EXPECT_EQ(pictureSize(PictureStyle::Resizable, {400, 200}, {300, 300}), (Size{298, 298}));
    EXPECT_EQ(pictureSize(PictureStyle::Resizable, {400, 200}, {1, 1}), (Size{0, 0}));
}

TEST(PictureLayout, StylesAndBasisFromTheirTexts) {
    EXPECT_EQ(pictureStyle("Best Fit"), PictureStyle::BestFit);
    EXPECT_EQ(pictureStyle("Resizable   "), PictureStyle::Resizable);
    EXPECT_EQ(pictureStyle("Actual Size"), PictureStyle::ActualSize);
    EXPECT_EQ(pictureStyle(""), PictureStyle::ActualSize);
    EXPECT_EQ(themeBasis("Location "), ThemeBasis::Location);
    EXPECT_EQ(themeBasis("Grid"), ThemeBasis::Grid);
    GsdRecord t;
    t.Basis = "Location";
    t.Style = "Best Fit";
    EXPECT_EQ(effectiveStyle(t), PictureStyle::ActualSize);  // location themes: actual size
    t.Basis = "Grid";
    EXPECT_EQ(effectiveStyle(t), PictureStyle::BestFit);
}

TEST(LocationCode, EncodeAndDecode) {
    const Rect pic{10, 20, 256, 128};
    std::u32string code = encodeLocation({10, 20}, pic);
    EXPECT_EQ(code, (std::u32string{U'!', U'!'}));
    code = encodeLocation({10 + 255, 20 + 127}, pic);
    EXPECT_EQ(code, (std::u32string{160, 160}));
    // u = whole part of 101 x 128 / 256 = 50; v = 64 x 128 / 128 = 64.
    code = encodeLocation({111, 84}, pic);
    EXPECT_EQ(code, (std::u32string{33 + 50, 33 + 64}));
    EXPECT_EQ(decodeLocation(code, pic), (Point{10 + 100, 20 + 64}));
    EXPECT_FALSE(decodeLocation(U"!", pic).has_value());
    // Clicks off the picture stay within the code range.
    EXPECT_EQ(encodeLocation({0, 500}, pic), (std::u32string{33, 160}));
}

TEST(LocationCode, Tolerance) {
    EXPECT_EQ(clickTolerance({480, 480}), 21);
    EXPECT_EQ(clickTolerance({100, 50}), 4);
    EXPECT_EQ(clickTolerance({47, 0}), 1);
    EXPECT_EQ(clickTolerance({48, 0}), 2);
}

TEST(LocationMatching, InsideTheToleranceYieldsTheStoredCode) {
    const Rect pic{0, 0, 480, 480};
    const std::u32string expected = encodeLocation({100, 100}, pic);
    const Point e = *decodeLocation(expected, pic);
    const int tol = clickTolerance({480, 480});
    // Walk right until the click's own decoded point leaves the box.
    int x = e.x;
    while (decodeLocation(encodeLocation({x + 1, 100}, pic), pic)->x <= e.x + tol) ++x;
    LocationMatch in = matchLocationClick({x, 100}, pic, U"", expected);
    EXPECT_TRUE(in.matched);
    EXPECT_EQ(in.code, expected);
    EXPECT_EQ(in.used, e);
    LocationMatch out = matchLocationClick({x + 1, 100}, pic, U"", expected);
    EXPECT_FALSE(out.matched);
    EXPECT_EQ(out.code, encodeLocation({x + 1, 100}, pic));
    EXPECT_NE(out.code, expected);
    EXPECT_EQ(out.used, (Point{x + 1, 100}));
    ASSERT_TRUE(out.expectedAt.has_value());
    EXPECT_EQ(*out.expectedAt, e);
}

TEST(LocationMatching, UsesTheNextPositionAndCopesWithAShortExpectation) {
    const Rect pic{0, 0, 480, 480};
    std::u32string expected = encodeLocation({10, 10}, pic) + encodeLocation({400, 300}, pic);
    LocationMatch second = matchLocationClick({402, 305}, pic, expected.substr(0, 2), expected);
    EXPECT_TRUE(second.matched);
    EXPECT_EQ(second.code, expected.substr(2, 2));
    // Nothing left to expect: the click's own code, no expected point.
    LocationMatch third = matchLocationClick({402, 305}, pic, expected, expected);
    EXPECT_FALSE(third.matched);
    EXPECT_FALSE(third.expectedAt.has_value());
    EXPECT_FALSE(matchLocationClick({5, 5}, pic, U"", U"").matched);
}

TEST(Echo, StarsStopAtSixtyFourWhileTheCountRises) {
    EXPECT_EQ(echoText(0), "Password:   (0)");
    EXPECT_EQ(echoText(3), "Password:  *** (3)");
    EXPECT_EQ(echoText(70), "Password:  " + std::string(64, '*') + " (70)");
}

TEST(LogonEntryCore, GridEntryAndAutomaticAcceptance) {
    LogonEntry logon(LogonEntry::Kind::Grid, "");
    EXPECT_TRUE(logon.isLogon());
    EXPECT_FALSE(logon.completesLogon("ab"));  // empty entry never completes
    logon.appendSymbol(U'a');
    EXPECT_FALSE(logon.completesLogon("ab"));
    logon.appendSymbol(U'b');
    EXPECT_TRUE(logon.completesLogon("ab  "));
    EXPECT_FALSE(logon.completesLogon("AB"));
    EXPECT_EQ(logon.echo(), "Password:  ** (2)");
    logon.reset();
    EXPECT_EQ(logon.length(), 0u);

    LogonEntry wizard(LogonEntry::Kind::Grid, "Enter new master password");
    wizard.appendSymbol(U'a');
    EXPECT_FALSE(wizard.completesLogon("a"));  // with a prompt it never accepts by itself

    for (int i = 0; i < 300; ++i) logon.appendSymbol(U'x');
    EXPECT_EQ(logon.length(), LogonEntry::kMaxChars);
}

TEST(LogonEntryCore, LocationEntryCountsClicksAndKeepsMarks) {
    const Rect pic{0, 0, 480, 480};
    const std::string expected = toUtf8(encodeLocation({200, 200}, pic));
    LogonEntry hinted(LogonEntry::Kind::Location, "Re-enter new password to confirm", expected,
                      true, true);
    auto m = hinted.clickAt({205, 195}, pic);
    ASSERT_TRUE(m.has_value());
    EXPECT_TRUE(m->matched);
    EXPECT_EQ(hinted.count(), 1);
    EXPECT_EQ(hinted.text().view(), expected);
    ASSERT_EQ(hinted.marks().size(), 1u);
    EXPECT_EQ(hinted.marks()[0].centre, m->used);
    EXPECT_EQ(hinted.marks()[0].tolerance, 21);
    EXPECT_TRUE(hinted.marks()[0].debugBox.has_value());  // debug aids + prompt "R..."
    hinted.reset();
    EXPECT_TRUE(hinted.marks().empty());

    LogonEntry plain(LogonEntry::Kind::Location, "Enter new master password", expected, true, true);
    plain.clickAt({205, 195}, pic);
    EXPECT_FALSE(plain.marks()[0].debugBox.has_value());
    LogonEntry noHint(LogonEntry::Kind::Location, "", expected, false, false);
    noHint.clickAt({205, 195}, pic);
    EXPECT_TRUE(noHint.marks().empty());
    EXPECT_TRUE(noHint.completesLogon(expected));
    // 127 clicks fill 254 characters; the next one does not fit.
    for (int i = 1; i < 127; ++i) ASSERT_TRUE(noHint.clickAt({1, 1}, pic).has_value());
    EXPECT_FALSE(noHint.clickAt({1, 1}, pic).has_value());
    EXPECT_EQ(noHint.count(), 127);
}

TEST(SymbolString, UniformDrawsFromTheAlphabet) {
    const std::string alphabet = "AAB";
    int a = 0, total = 0;
    std::set<std::string> seen;
    for (int i = 0; i < 20; ++i) {
        std::string s = makeSymbolString(alphabet);
        ASSERT_EQ(s.size(), 128u);
        seen.insert(s);
        for (char c : s) {
            ASSERT_TRUE(c == 'A' || c == 'B');
            a += c == 'A';
            ++total;
        }
    }
    EXPECT_EQ(seen.size(), 20u);
    const double share = static_cast<double>(a) / total;  // a doubled character: 2/3
    EXPECT_GT(share, 0.60);
    EXPECT_LT(share, 0.73);
    EXPECT_EQ(makeSymbolString(""), "");
    // Characters beyond ASCII are drawn whole.
    std::u32string wide = toChars(makeSymbolString("\xC3\xA9\xE2\x82\xAC"));
    ASSERT_EQ(wide.size(), 128u);
    for (char32_t c : wide) EXPECT_TRUE(c == U'\u00E9' || c == U'\u20AC');
}

TEST(PasswordText, ComparisonRules) {
    EXPECT_TRUE(passwordMatches("secret   ", "secret"));
    EXPECT_FALSE(passwordMatches("Secret", "secret"));
    EXPECT_FALSE(passwordMatches(" secret", "secret"));
    EXPECT_TRUE(passwordMatches(std::string(128, 'x') + "yz", std::string(128, 'x')));
    // Characters, not bytes, are counted.
    std::string wide;
    for (int i = 0; i < 130; ++i) wide += "\xE2\x82\xAC";
    EXPECT_EQ(toChars(clipChars(wide, 128)).size(), 128u);
    EXPECT_TRUE(passwordMatches(wide.substr(0, 384) + "x", wide.substr(0, 384) + "y"));
    EXPECT_FALSE(passwordMatches(wide.substr(0, 381) + "x", wide.substr(0, 381) + "y"));
    // A malformed byte is one character of its own; a cut sequence is never completed.
    EXPECT_EQ(clipBytes("ab\xE2\x82", 3), 3u);
    EXPECT_EQ(clipBytes("\xE2\x82\xAC\xE2\x82\xAC", 1), 3u);
    EXPECT_FALSE(passwordMatches("k\xFF", "k\xFE"));
    EXPECT_EQ(toChars("a\xFF"
                      "b"),
              (std::u32string{U'a', U'\uFFFD', U'b'}));
    EXPECT_EQ(toUtf8(toChars("\xF0\x9F\x94\x91 k")), "\xF0\x9F\x94\x91 k");
}

TEST(ThemePainting, GridBoxesAndMarksInTheStoredColour) {
    EXPECT_EQ(colorFromRef(0x00FF8000), QColor(0x00, 0x80, 0xFF));  // 0x00BBGGRR
    QImage img(60, 60, QImage::Format_RGB32);
    img.fill(Qt::white);
    {
        QPainter p(&img);
        GsdRecord t = grid(2, 2);
        paintGridBoxes(p, buildCells(t, {0, 0, 60, 60}), 0x000000FF);  // red
    }
    const QRgb red = qRgb(255, 0, 0);
    EXPECT_EQ(img.pixel(1, 1), red);    // box starts at cell + 1
    EXPECT_EQ(img.pixel(28, 10), red);  // right edge: x + 1 + (30 - 2) - 1
    EXPECT_EQ(img.pixel(29, 10), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(15, 15), qRgb(255, 255, 255));

    img.fill(Qt::white);
    {
        QPainter p(&img);
        paintClickMarks(p, {ClickMark{{30, 30}, 10, std::nullopt}}, 0x0000FF00);
    }
    EXPECT_EQ(img.pixel(30, 20), qRgb(0, 255, 0));  // top of the ellipse
    EXPECT_EQ(img.pixel(20, 30), qRgb(0, 255, 0));  // its left
    EXPECT_EQ(img.pixel(30, 30), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(21, 21), qRgb(255, 255, 255));  // no box without the debug aids
    {
        QPainter p(&img);
        paintClickMarks(p, {ClickMark{{30, 30}, 10, Point{30, 30}}}, 0x0000FF00);
    }
    EXPECT_EQ(img.pixel(20, 20), red);  // corner of the debug box
    EXPECT_EQ(img.pixel(39, 39), red);
}
