// Turns a vault set up by corvix-cli init into one whose master password is given on a
// picture: it draws the picture, adds an image theme for it and points the master
// record at that theme with a password made of chosen clicks. It prints what a test
// needs to give that password by mouse:
//   picture <width> <height>
//   click <x> <y>        (one line per click, in picture coordinates, in order)
// Usage: make_image_vault <vault folder> <kind>, kind one of
//   grid            a 3x3 grid theme shown at the picture's actual size
//   grid-best-fit   the same shown scaled to the window (clicks stay in picture units)
//   location        an exact-location theme, places whose codes lie within ASCII
//   location-far    places near the right and bottom edges, whose codes lie beyond ASCII
//   missing-theme   the master record asks for a picture theme the vault does not have
#include <unistd.h>

#include <QColor>
#include <QImage>
#include <cstdio>
#include <string>
#include <vector>

#include "security/password_text.h"
#include "security/theme_geometry.h"
#include "security/theme_symbols.h"
#include "vault/access.h"
#include "vault/tables.h"

namespace {

using namespace corvix;

// Every pixel tells where it lies: red = x, green = y, blue a fixed tag. A test finds
// the picture on a screenshot by these colours, whatever the window's margins are.
constexpr int kWidth = 240;
constexpr int kHeight = 180;
constexpr int kTagBlue = 0x5A;

bool drawPicture(const std::string& path) {
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) image.setPixel(x, y, qRgb(x, y, kTagBlue));
    return image.save(QString::fromStdString(path), "PNG");
}

int fail(const char* what, int rc) {
    std::fprintf(stderr, "make_image_vault: %s (error %d)\n", what, rc);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string kind = argc == 3 ? argv[2] : "";
    if (kind != "grid" && kind != "grid-best-fit" && kind != "location" && kind != "location-far" &&
        kind != "missing-theme") {
        std::fprintf(stderr,
                     "usage: make_image_vault <vault folder> "
                     "grid|grid-best-fit|location|location-far|missing-theme\n");
        return 2;
    }
    const std::string folder = argv[1];
    const bool grid = kind.rfind("grid", 0) == 0;
    if (chdir(folder.c_str()) != 0) return fail("cannot enter the vault folder", -1);
    const std::string picture = folder + "/logon-picture.png";
    if (!drawPicture(picture)) return fail("cannot write the picture", -1);

    vault::VaultTables tables;
    if (int rc = tables.openAll(); rc != 0) return fail("cannot open the vault", rc);

    vault::GsdBuffer theme;
    theme->Description = grid ? "Desktop test grid" : "Desktop test location";
    theme->Columns = 3;
    theme->Rows = 3;
    theme->Image = picture;
    theme->Basis = grid ? "Grid" : "Location";
    theme->Style = kind == "grid-best-fit" ? "Best Fit" : "Actual Size";
    theme->ShowGrid = 1;
    theme->ShowHint = 0;
    theme->GridColor = 0x0000FF;  // red
    theme->Password = security::makeSymbolString("ABCDEFGHJKLMNPQRSTUVWXYZ23456789");
    // Tests also click the cells in another order and expect a different entry: the
    // three cells clicked must read three different symbols (drawn again until they do).
    const std::vector<std::pair<int, int>> cellsClicked{{3, 1}, {1, 2}, {2, 3}, {3, 1}};
    auto distinct = [&] {
        const std::u32string symbols = security::toChars(theme->Password);
        std::u32string seen;
        for (auto [c, r] : cellsClicked) {
            const char32_t s = security::symbolAt(symbols, security::symbolIndex(c, r, 3));
            if (seen.find(s) == std::u32string::npos) seen.push_back(s);
        }
        return seen.size() == 3;  // (3, 1) is clicked twice
    };
    for (int draw = 0; grid && !distinct() && draw < 1000; ++draw) {
        theme->Password = security::makeSymbolString("ABCDEFGHJKLMNPQRSTUVWXYZ23456789");
    }
    if (kind == "missing-theme") {
        theme->GSD_ID = 4242;  // no theme has it
    } else if (int rc = vault::insertNumbered(tables.gsd, theme); rc != 0) {
        return fail("cannot add the theme", rc);
    }

    const security::Rect area{0, 0, kWidth, kHeight};
    std::vector<security::Point> clicks;
    std::u32string password;
    if (grid) {
        // Four clicks, one cell twice, in an order unlike the cells' own.
        vault::GsdRecord shown = theme.record();
        const std::vector<security::ThemeCell> cells = security::buildCells(shown, area);
        for (auto [c, r] : cellsClicked) {
            for (const security::ThemeCell& cell : cells) {
                if (cell.c != c || cell.r != r) continue;
                clicks.push_back({cell.box.x + cell.box.w / 2, cell.box.y + cell.box.h / 2});
                password.push_back(cell.symbol);
            }
        }
    } else if (kind != "missing-theme") {
        // Near places: codes within ASCII; far ones: codes up to 160.
        const std::vector<security::Point> near{{30, 40}, {150, 20}, {90, 110}, {20, 100}};
        const std::vector<security::Point> far{{230, 170}, {200, 150}, {234, 12}, {12, 174}};
        for (security::Point p : kind == "location" ? near : far) {
            const std::u32string code = security::encodeLocation(p, area);
            clicks.push_back(p);
            password += code;
        }
    }

    vault::MasBuffer master;
    tables.mas.set();
    if (int rc = tables.mas.next(master); rc != 0)
        return fail("the vault has no master record", rc);
    master->UseMasterPasswordImage = 1;
    master->GSD_ID = theme->GSD_ID;
    if (!password.empty()) master->Password = security::toUtf8(password);
    if (int rc = tables.mas.put(master); rc != 0) return fail("cannot save the master record", rc);
    tables.closeAll();

    std::printf("picture %d %d\n", kWidth, kHeight);
    for (const security::Point& p : clicks) std::printf("click %d %d\n", p.x, p.y);
    return 0;
}
