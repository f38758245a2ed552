// The master-password logon in the running program: Win+S while logged off asks for the
// password, typed into the plain window, or given by clicking the cells of a grid picture
// or exact places on a picture. A right password logs on (the Lists menu then opens the
// categories list, which keeps its place in corvix.INI on Exit); a wrong one is refused
// and leaves the program logged off.
#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <thread>

#include "child_process.h"
#include "tray_fixture.h"
#include "x_windows.h"

namespace corvix::app::desktop_testing {
namespace {

using namespace std::chrono_literals;

constexpr const char* kAccessDeniedTitle = "Access Denied";
// The blue every pixel of the helper's picture carries; red and green are its x and y.
constexpr int kPictureTagBlue = 0x5A;

struct PicturePassword {
    int width = 0, height = 0;
    std::vector<std::pair<int, int>> clicks;  // picture coordinates, in order
};

class LogonProgramTest : public TrayProgramTest {
  protected:
    // Gives the vault set up by makeVault a picture master password (helper program).
    std::optional<PicturePassword> makeImageVault(const std::string& basis) {
        ChildOptions o;
        ToolResult r = runTool({CORVIX_IMAGE_VAULT_TOOL, vault_, basis}, o, 60s);
        EXPECT_TRUE(!r.timedOut && r.exit.exited && r.exit.code == 0) << r.output;
        if (r.timedOut || !r.exit.exited || r.exit.code != 0) return std::nullopt;
        PicturePassword p;
        std::istringstream lines(r.output);
        std::string word;
        while (lines >> word) {
            int a = 0, b = 0;
            lines >> a >> b;
            if (word == "picture") {
                p.width = a;
                p.height = b;
            } else if (word == "click") {
                p.clicks.emplace_back(a, b);
            }
        }
        EXPECT_GT(p.width, 0) << r.output;
        if (basis != "missing-theme") EXPECT_FALSE(p.clicks.empty()) << r.output;
        return p;
    }

    // Starts the program, waits until it sits in the tray, and presses Win+S: the logon
    // window, in front.
    XWindowInfo startAndAskForLogon(Program& corvix) {
        corvix = start();
        EXPECT_NE(waitForIcon(*x_, corvix, trayHostPid()).id, 0u) << describe(*x_, corvix);
        EXPECT_TRUE(waitUntil([&] { return frameOf(*x_, corvix).id != 0; }, 10s));
        EXPECT_TRUE(waitUntil([&] { return !frameShown(*x_, corvix); }, 10s));
        return pressWinSForLogon(corvix);
    }

    XWindowInfo pressWinSForLogon(Program& corvix) {
        EXPECT_EQ(xdotool({"key", "super+s"}), 0);
        XWindowInfo logon;
        const bool shown = waitUntil(
            [&] {
                logon = windowTitled(*x_, corvix, kLogonWindowTitle);
                return logon.viewable && x_->activeWindow() == logon.id;
            },
            10s);
        EXPECT_TRUE(shown) << "no logon window in front after Win+S\n" << describe(*x_, corvix);
        std::this_thread::sleep_for(500ms);  // drawn
        return shown ? x_->info(logon.id) : XWindowInfo{};
    }

    // Lists -> Categories, then File -> Exit: true when the program ended with code 0 and
    // the categories list (open only when logged on) kept its place in corvix.INI.
    bool categoriesListOpensAndExitSavesIt(Program& corvix) {
        const bool front = waitUntil(
            [&] {
                XWindowInfo f = frameOf(*x_, corvix);
                return f.viewable && x_->activeWindow() == f.id;
            },
            10s);
        EXPECT_TRUE(front) << "the frame is not in front after the logon\n"
                           << describe(*x_, corvix);
        openListsMenu(corvix, frameOf(*x_, corvix).id);
        xdotool({"key", "c"});  // "&Categories"
        std::this_thread::sleep_for(1s);
        exitByFileMenu(corvix);
        return iniText().find("[BrowseCVCAT]") != std::string::npos;
    }

    void exitByFileMenu(Program& corvix) {
        xdotool({"key", "alt+f"});
        std::this_thread::sleep_for(300ms);
        xdotool({"key", "x"});  // "E&xit"
        std::optional<ChildExit> end = corvix.child->waitExit(15s);
        ASSERT_TRUE(end.has_value()) << "still running after Exit\n" << describe(*x_, corvix);
        EXPECT_TRUE(end->exited && end->code == 0) << log(corvix);
    }

    std::string iniText() const { return readFile(vault_ + "/corvix.INI"); }

    // Where the helper's picture lies in a window: every picture pixel names its own
    // coordinates, so each one votes for an origin; grid lines and marks do not vote.
    std::optional<std::pair<int, int>> pictureOrigin(const XWindowInfo& w, const PicturePassword& p,
                                                     const std::string& fileName) {
        if (!screenshot(std::to_string(w.id), fileName)) return std::nullopt;
        QImage shot(QString(CORVIX_SCREENSHOT_DIR) + "/" + QString::fromStdString(fileName));
        if (shot.isNull()) return std::nullopt;
        std::map<std::pair<int, int>, int> votes;
        for (int y = 0; y < shot.height(); ++y) {
            for (int x = 0; x < shot.width(); ++x) {
                const QRgb c = shot.pixel(x, y);
                if (qBlue(c) != kPictureTagBlue || qRed(c) >= p.width || qGreen(c) >= p.height)
                    continue;
                ++votes[{x - qRed(c), y - qGreen(c)}];
            }
        }
        auto best = votes.begin();
        for (auto it = votes.begin(); it != votes.end(); ++it)
            if (it->second > best->second) best = it;
        // Most of the picture must be on the screen, unscaled.
        if (best == votes.end() || best->second < p.width * p.height / 2) return std::nullopt;
        return best->first;
    }

    // Where the helper's picture lies in a window when it is shown scaled: the box of the
    // pixels carrying its tag, most of which must be picture.
    struct ShownPicture {
        int x = 0, y = 0, w = 0, h = 0;
    };
    std::optional<ShownPicture> scaledPicture(const XWindowInfo& w, const PicturePassword& p,
                                              const std::string& fileName) {
        if (!screenshot(std::to_string(w.id), fileName)) return std::nullopt;
        QImage shot(QString(CORVIX_SCREENSHOT_DIR) + "/" + QString::fromStdString(fileName));
        int left = shot.width(), top = shot.height(), right = -1, bottom = -1;
        long count = 0;
        for (int y = 0; y < shot.height(); ++y) {
            for (int x = 0; x < shot.width(); ++x) {
                const QRgb c = shot.pixel(x, y);
                if (qBlue(c) != kPictureTagBlue || qRed(c) >= p.width || qGreen(c) >= p.height)
                    continue;
                // Greys of the window's text can carry the tag too; the picture has just
                // one grey pixel.
                if (std::abs(qRed(c) - qBlue(c)) < 4 && std::abs(qGreen(c) - qBlue(c)) < 4)
                    continue;
                ++count;
                left = std::min(left, x);
                top = std::min(top, y);
                right = std::max(right, x);
                bottom = std::max(bottom, y);
            }
        }
        if (right < left + 16 || bottom < top + 16) return std::nullopt;
        ShownPicture s{left, top, right - left + 1, bottom - top + 1};
        if (count < static_cast<long>(s.w) * s.h / 2) return std::nullopt;
        return s;
    }

    // Pixels of the theme's grid colour (red: 0x0000FF as 0x00BBGGRR) on a screenshot.
    static long gridColouredPixels(const std::string& fileName) {
        QImage shot(QString(CORVIX_SCREENSHOT_DIR) + "/" + QString::fromStdString(fileName));
        long n = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) {
                const QRgb c = shot.pixel(x, y);
                if (qRed(c) > 220 && qGreen(c) < 30 && qBlue(c) < 30) ++n;
            }
        return n;
    }

    // A click at a point given in the picture's own units on the scaled picture.
    void clickScaled(const XWindowInfo& w, const ShownPicture& s, const PicturePassword& p,
                     std::pair<int, int> point) {
        clickAt(w, {s.x, s.y}, {point.first * s.w / p.width, point.second * s.h / p.height});
    }

    void clickAt(const XWindowInfo& w, std::pair<int, int> origin, std::pair<int, int> point) {
        EXPECT_EQ(xdotool({"mousemove", std::to_string(w.x + origin.first + point.first),
                           std::to_string(w.y + origin.second + point.second), "click", "1"}),
                  0);
        std::this_thread::sleep_for(300ms);
    }

    // Clicks the password on the picture window: the window stays open until the last
    // click completes the password, then closes by itself.
    void clickPassword(Program& corvix, const PicturePassword& p, const std::string& shotName) {
        XWindowInfo logon = pressWinSForLogon(corvix);
        ASSERT_NE(logon.id, 0u);
        EXPECT_GE(logon.width, p.width) << "the window is sized around the picture";
        EXPECT_GE(logon.height, p.height);
        std::optional<std::pair<int, int>> origin = pictureOrigin(logon, p, shotName);
        ASSERT_TRUE(origin.has_value())
            << "the picture is not on the logon window (" << shotName << ")";
        for (size_t i = 0; i < p.clicks.size(); ++i) {
            EXPECT_TRUE(x_->info(logon.id).viewable)
                << "closed after " << i << " of " << p.clicks.size() << " clicks";
            clickAt(logon, *origin, p.clicks[i]);
        }
        EXPECT_TRUE(waitUntil([&] { return !x_->info(logon.id).viewable; }, 10s))
            << "the completed password did not close the window\n"
            << describe(*x_, corvix);
        EXPECT_EQ(windowTitled(*x_, corvix, kAccessDeniedTitle).id, 0u);
    }
};

// --- Typed ---------------------------------------------------------------------------

TEST_F(LogonProgramTest, TypedMasterPasswordLogsOn) {
    ASSERT_TRUE(makeVault("tray secret"));
    Program corvix;
    XWindowInfo logon = startAndAskForLogon(corvix);
    ASSERT_NE(logon.id, 0u);
    EXPECT_TRUE(screenshot(std::to_string(logon.id), "logon-normal-program.png"));

    ASSERT_EQ(xdotool({"type", "--delay", "40", "tray secret"}), 0);
    ASSERT_EQ(xdotool({"key", "Return"}), 0);
    EXPECT_TRUE(waitUntil([&] { return !x_->info(logon.id).viewable; }, 10s))
        << describe(*x_, corvix);
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(windowTitled(*x_, corvix, kAccessDeniedTitle).id, 0u) << describe(*x_, corvix);
    EXPECT_TRUE(categoriesListOpensAndExitSavesIt(corvix)) << iniText();
    // The typed window kept its place under its own name.
    EXPECT_NE(iniText().find("[Logon:Normal]"), std::string::npos) << iniText();
}

TEST_F(LogonProgramTest, WrongTypedPasswordIsRefusedAndLeavesTheProgramLoggedOff) {
    ASSERT_TRUE(makeVault("tray secret"));
    Program corvix;
    XWindowInfo logon = startAndAskForLogon(corvix);
    ASSERT_NE(logon.id, 0u);

    // Letter case counts.
    ASSERT_EQ(xdotool({"type", "--delay", "40", "Tray secret"}), 0);
    ASSERT_EQ(xdotool({"key", "Return"}), 0);
    XWindowInfo denied;
    ASSERT_TRUE(waitUntil(
        [&] {
            denied = windowTitled(*x_, corvix, kAccessDeniedTitle);
            return denied.viewable;
        },
        10s))
        << "no \"Access Denied\" message\n"
        << describe(*x_, corvix);
    EXPECT_FALSE(x_->info(logon.id).viewable) << "the logon window stays behind the message";
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(screenshot(std::to_string(denied.id), "logon-access-denied-program.png"));
    ASSERT_TRUE(waitUntil([&] { return x_->activeWindow() == denied.id; }, 5s));
    ASSERT_EQ(xdotool({"key", "Return"}), 0);  // OK
    EXPECT_TRUE(waitUntil([&] { return !x_->info(denied.id).viewable; }, 10s));
    EXPECT_TRUE(corvix.child->running()) << log(corvix);

    // Still logged off: Win+S asks again, and this time the right password gets in.
    XWindowInfo again = pressWinSForLogon(corvix);
    ASSERT_NE(again.id, 0u) << "Win+S did not ask again: logged on by a wrong password?";
    ASSERT_EQ(xdotool({"type", "--delay", "40", "tray secret"}), 0);
    ASSERT_EQ(xdotool({"key", "Return"}), 0);
    EXPECT_TRUE(waitUntil([&] { return !x_->info(again.id).viewable; }, 10s));
    EXPECT_TRUE(categoriesListOpensAndExitSavesIt(corvix)) << iniText();
}

TEST_F(LogonProgramTest, CancelledLogonKeepsTheListsClosed) {
    ASSERT_TRUE(makeVault("tray secret"));
    Program corvix;
    XWindowInfo logon = startAndAskForLogon(corvix);
    ASSERT_NE(logon.id, 0u);
    ASSERT_EQ(xdotool({"type", "--delay", "40", "tray secret"}), 0);
    ASSERT_EQ(xdotool({"key", "Escape"}), 0);  // typed, but not confirmed
    EXPECT_TRUE(waitUntil([&] { return !x_->info(logon.id).viewable; }, 10s));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(windowTitled(*x_, corvix, kAccessDeniedTitle).id, 0u) << "a cancel is no error";
    EXPECT_FALSE(categoriesListOpensAndExitSavesIt(corvix))
        << "the categories list opened while logged off\n"
        << iniText();
}

TEST_F(LogonProgramTest, TheLogonWindowComesBackWhereItWasLeftAlsoAfterARestart) {
    ASSERT_TRUE(makeVault("tray secret"));
    Program corvix;
    XWindowInfo logon = startAndAskForLogon(corvix);
    ASSERT_NE(logon.id, 0u);
    const int startX = logon.x, startY = logon.y;
    ASSERT_EQ(xdotool({"windowmove", std::to_string(logon.id), "317", "263"}), 0);
    XWindowInfo moved;
    ASSERT_TRUE(waitUntil(
        [&] {
            moved = x_->info(logon.id);
            return moved.x != startX || moved.y != startY;
        },
        5s))
        << "the window manager did not move the logon window";
    std::this_thread::sleep_for(500ms);
    moved = x_->info(logon.id);
    ASSERT_EQ(xdotool({"key", "Escape"}), 0);
    ASSERT_TRUE(waitUntil([&] { return !x_->info(logon.id).viewable; }, 10s));

    auto near = [](const XWindowInfo& a, const XWindowInfo& b) {
        return std::abs(a.x - b.x) <= 2 && std::abs(a.y - b.y) <= 2;
    };
    XWindowInfo again = pressWinSForLogon(corvix);
    ASSERT_NE(again.id, 0u);
    EXPECT_TRUE(near(again, moved)) << "left at " << moved.x << "," << moved.y << ", came back at "
                                    << again.x << "," << again.y;
    ASSERT_EQ(xdotool({"key", "Escape"}), 0);
    ASSERT_TRUE(waitUntil([&] { return !x_->info(again.id).viewable; }, 10s));
    exitByFileMenu(corvix);
    EXPECT_NE(iniText().find("[Logon:Normal]"), std::string::npos) << iniText();

    XWindowInfo restarted = startAndAskForLogon(corvix);
    ASSERT_NE(restarted.id, 0u);
    EXPECT_TRUE(near(restarted, moved))
        << "left at " << moved.x << "," << moved.y << ", after a restart at " << restarted.x << ","
        << restarted.y << "\n"
        << iniText();
    ASSERT_EQ(xdotool({"key", "Escape"}), 0);
}

// --- Grid clicks on a picture ----------------------------------------------------------

TEST_F(LogonProgramTest, ClickingTheGridCellsOfThePasswordLogsOn) {
    ASSERT_TRUE(makeVault("typed is not used"));
    std::optional<PicturePassword> password = makeImageVault("grid");
    ASSERT_TRUE(password.has_value());
    Program corvix = start();
    ASSERT_NE(waitForIcon(*x_, corvix, trayHostPid()).id, 0u) << describe(*x_, corvix);
    ASSERT_TRUE(waitUntil([&] { return !frameShown(*x_, corvix); }, 10s));

    clickPassword(corvix, *password, "logon-image-program.png");
    // The grid is shown: nine cell outlines in the theme's colour (over 200 pixels each).
    EXPECT_GT(gridColouredPixels("logon-image-program.png"), 9 * 200);
    EXPECT_TRUE(categoriesListOpensAndExitSavesIt(corvix)) << iniText();
    EXPECT_NE(iniText().find("[Logon:Image]"), std::string::npos) << "not the grid window\n"
                                                                  << iniText();
}

TEST_F(LogonProgramTest, GridCellsInAnotherOrderAreNotThePasswordUntilResetAndRedone) {
    ASSERT_TRUE(makeVault("typed is not used"));
    std::optional<PicturePassword> password = makeImageVault("grid");
    ASSERT_TRUE(password.has_value());
    Program corvix = start();
    ASSERT_NE(waitForIcon(*x_, corvix, trayHostPid()).id, 0u) << describe(*x_, corvix);
    ASSERT_TRUE(waitUntil([&] { return !frameShown(*x_, corvix); }, 10s));

    XWindowInfo logon = pressWinSForLogon(corvix);
    ASSERT_NE(logon.id, 0u);
    std::optional<std::pair<int, int>> origin = pictureOrigin(logon, *password, "logon-grid-a.png");
    ASSERT_TRUE(origin.has_value());
    // The same cells backwards: not the password, so the window waits.
    for (auto it = password->clicks.rbegin(); it != password->clicks.rend(); ++it)
        clickAt(logon, *origin, *it);
    std::this_thread::sleep_for(500ms);
    ASSERT_TRUE(x_->info(logon.id).viewable) << "the cells in another order logged on";

    // "&Reset" empties the entry; the right order then completes it.
    ASSERT_EQ(xdotool({"key", "alt+r"}), 0);
    std::this_thread::sleep_for(300ms);
    for (const auto& click : password->clicks) clickAt(logon, *origin, click);
    EXPECT_TRUE(waitUntil([&] { return !x_->info(logon.id).viewable; }, 10s))
        << "the right cells after Reset did not log on\n"
        << describe(*x_, corvix);
    EXPECT_TRUE(categoriesListOpensAndExitSavesIt(corvix)) << iniText();
}

TEST_F(LogonProgramTest, GridCellsOfAPictureScaledToTheWindowLogOn) {
    ASSERT_TRUE(makeVault("typed is not used"));
    std::optional<PicturePassword> password = makeImageVault("grid-best-fit");
    ASSERT_TRUE(password.has_value());
    Program corvix = start();
    ASSERT_NE(waitForIcon(*x_, corvix, trayHostPid()).id, 0u) << describe(*x_, corvix);
    ASSERT_TRUE(waitUntil([&] { return !frameShown(*x_, corvix); }, 10s));

    XWindowInfo logon = pressWinSForLogon(corvix);
    ASSERT_NE(logon.id, 0u);
    std::optional<ShownPicture> shown =
        scaledPicture(logon, *password, "logon-image-best-fit-program.png");
    ASSERT_TRUE(shown.has_value()) << "the picture is not on the logon window";
    // Scaled, its proportions kept (within a pixel of rounding).
    EXPECT_NE(shown->w, password->width);
    EXPECT_NEAR(shown->w * password->height, shown->h * password->width,
                std::max(password->width, password->height));
    for (size_t i = 0; i < password->clicks.size(); ++i) {
        EXPECT_TRUE(x_->info(logon.id).viewable) << "closed after " << i << " clicks";
        clickScaled(logon, *shown, *password, password->clicks[i]);
    }
    EXPECT_TRUE(waitUntil([&] { return !x_->info(logon.id).viewable; }, 10s))
        << "the cells of the scaled picture did not log on\n"
        << describe(*x_, corvix);
    EXPECT_TRUE(categoriesListOpensAndExitSavesIt(corvix)) << iniText();
}

// --- A theme the vault does not have -----------------------------------------------------

TEST_F(LogonProgramTest, AMissingPictureThemeIsReportedAndNoLogonWindowOpens) {
    ASSERT_TRUE(makeVault("tray secret"));
    ASSERT_TRUE(makeImageVault("missing-theme").has_value());
    Program corvix = start();
    ASSERT_NE(waitForIcon(*x_, corvix, trayHostPid()).id, 0u) << describe(*x_, corvix);
    ASSERT_TRUE(waitUntil([&] { return !frameShown(*x_, corvix); }, 10s));

    ASSERT_EQ(xdotool({"key", "super+s"}), 0);
    XWindowInfo error;
    ASSERT_TRUE(waitUntil(
        [&] {
            error = windowTitled(*x_, corvix, "Error");
            return error.viewable;
        },
        10s))
        << "no \"Invalid theme selected.\" message\n"
        << describe(*x_, corvix);
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(screenshot(std::to_string(error.id), "logon-invalid-theme-program.png"));
    EXPECT_FALSE(windowTitled(*x_, corvix, kLogonWindowTitle).viewable)
        << "a logon window opened without its theme";
    ASSERT_TRUE(waitUntil([&] { return x_->activeWindow() == error.id; }, 5s));
    ASSERT_EQ(xdotool({"key", "Return"}), 0);
    EXPECT_TRUE(waitUntil([&] { return !x_->info(error.id).viewable; }, 10s));
    EXPECT_TRUE(corvix.child->running()) << log(corvix);
    // Still logged off; the typed password is no way round the picture.
    EXPECT_FALSE(categoriesListOpensAndExitSavesIt(corvix)) << iniText();
}

// --- Exact-location clicks on a picture ------------------------------------------------

TEST_F(LogonProgramTest, ClickingThePlacesOfThePasswordLogsOn) {
    ASSERT_TRUE(makeVault("typed is not used"));
    std::optional<PicturePassword> password = makeImageVault("location");
    ASSERT_TRUE(password.has_value());
    Program corvix = start();
    ASSERT_NE(waitForIcon(*x_, corvix, trayHostPid()).id, 0u) << describe(*x_, corvix);
    ASSERT_TRUE(waitUntil([&] { return !frameShown(*x_, corvix); }, 10s));

    clickPassword(corvix, *password, "logon-location-program.png");
    // An exact-location picture has no cells, so no grid, even with ShowGrid set.
    EXPECT_EQ(gridColouredPixels("logon-location-program.png"), 0);
    EXPECT_TRUE(categoriesListOpensAndExitSavesIt(corvix)) << iniText();
    EXPECT_NE(iniText().find("[Logon:ImageByLocation]"), std::string::npos)
        << "not the exact-location window\n"
        << iniText();
}

TEST_F(LogonProgramTest, PlacesNearThePicturesFarEdgesLogOn) {
    // Their codes lie beyond ASCII: the stored password and the clicked one must agree
    // character for character, not byte for byte.
    ASSERT_TRUE(makeVault("typed is not used"));
    std::optional<PicturePassword> password = makeImageVault("location-far");
    ASSERT_TRUE(password.has_value());
    Program corvix = start();
    ASSERT_NE(waitForIcon(*x_, corvix, trayHostPid()).id, 0u) << describe(*x_, corvix);
    ASSERT_TRUE(waitUntil([&] { return !frameShown(*x_, corvix); }, 10s));

    clickPassword(corvix, *password, "logon-location-far-program.png");
    EXPECT_TRUE(categoriesListOpensAndExitSavesIt(corvix)) << iniText();
}

TEST_F(LogonProgramTest, ClicksAwayFromThePlacesAreRefused) {
    ASSERT_TRUE(makeVault("typed is not used"));
    std::optional<PicturePassword> password = makeImageVault("location");
    ASSERT_TRUE(password.has_value());
    Program corvix = start();
    ASSERT_NE(waitForIcon(*x_, corvix, trayHostPid()).id, 0u) << describe(*x_, corvix);
    ASSERT_TRUE(waitUntil([&] { return !frameShown(*x_, corvix); }, 10s));

    XWindowInfo logon = pressWinSForLogon(corvix);
    ASSERT_NE(logon.id, 0u);
    std::optional<std::pair<int, int>> origin = pictureOrigin(logon, *password, "logon-loc-a.png");
    ASSERT_TRUE(origin.has_value());
    // The right places but the last one far off: the window stays open; OK then refuses.
    for (size_t i = 0; i + 1 < password->clicks.size(); ++i)
        clickAt(logon, *origin, password->clicks[i]);
    auto [lx, ly] = password->clicks.back();
    clickAt(logon, *origin, {(lx + password->width / 2) % password->width, ly});
    std::this_thread::sleep_for(500ms);
    EXPECT_TRUE(x_->info(logon.id).viewable) << "a wrong place completed the password";
    ASSERT_EQ(xdotool({"key", "Return"}), 0);  // OK has the focus after a click
    XWindowInfo denied;
    EXPECT_TRUE(waitUntil(
        [&] {
            denied = windowTitled(*x_, corvix, kAccessDeniedTitle);
            return denied.viewable;
        },
        10s))
        << describe(*x_, corvix);
    if (denied.viewable) {
        ASSERT_TRUE(waitUntil([&] { return x_->activeWindow() == denied.id; }, 5s));
        ASSERT_EQ(xdotool({"key", "Return"}), 0);
        EXPECT_TRUE(waitUntil([&] { return !x_->info(denied.id).viewable; }, 10s));
    }
    EXPECT_FALSE(categoriesListOpensAndExitSavesIt(corvix)) << iniText();
}

}  // namespace
}  // namespace corvix::app::desktop_testing
