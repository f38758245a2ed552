// The first start of the program in an empty folder: the set-up wizard (New) in the frame,
// a grid theme made from the picker, the master password given by clicking cells on it
// twice; after a restart the same clicks log on and another order is refused.
#include <gtest/gtest.h>

#include <QImage>
#include <optional>
#include <thread>

#include "child_process.h"
#include "tray_fixture.h"
#include "x_windows.h"

namespace corvix::app::desktop_testing {
namespace {

using namespace std::chrono_literals;

// Every pixel of the picture names its place: red = x, green = y, blue a fixed tag.
constexpr int kTagBlue = 0x5A;
constexpr int kPictureW = 210, kPictureH = 150;

class SetupProgramTest : public TrayProgramTest {
  protected:
    std::string makePicture() {
        QImage img(kPictureW, kPictureH, QImage::Format_RGB32);
        for (int y = 0; y < kPictureH; ++y)
            for (int x = 0; x < kPictureW; ++x) img.setPixel(x, y, qRgb(x, y, kTagBlue));
        const std::string path = vault_ + "/harbour.bmp";
        EXPECT_TRUE(img.save(QString::fromStdString(path), "BMP"));
        return path;
    }

    // Waits for the program's window with this title in front of the others.
    XWindowInfo waitForFront(Program& p, const std::string& title) {
        XWindowInfo w;
        const bool shown = waitUntil(
            [&] {
                w = windowTitled(*x_, p, title);
                return w.viewable && x_->activeWindow() == w.id;
            },
            15s);
        EXPECT_TRUE(shown) << "no \"" << title << "\" in front\n" << describe(*x_, p);
        std::this_thread::sleep_for(400ms);  // drawn and ready for keys
        return shown ? x_->info(w.id) : XWindowInfo{};
    }
    void key(const std::string& keys) {
        EXPECT_EQ(xdotool({"key", keys}), 0);
        std::this_thread::sleep_for(300ms);
    }
    void type(const std::string& text) {
        EXPECT_EQ(xdotool({"type", "--delay", "30", text}), 0);
        std::this_thread::sleep_for(200ms);
    }
    // Closes a "Tip" with Return once it is in front.
    void closeTip(Program& p) {
        XWindowInfo tip = waitForFront(p, "Tip");
        ASSERT_NE(tip.id, 0u);
        key("Return");
        EXPECT_TRUE(waitUntil([&] { return !x_->info(tip.id).viewable; }, 10s));
    }

    // The picture's top-left corner in a window: the pixel carrying (0, 0) whose
    // neighbours carry their own places too.
    std::optional<std::pair<int, int>> pictureOrigin(const XWindowInfo& w,
                                                     const std::string& shot) {
        if (!screenshot(std::to_string(w.id), shot)) return std::nullopt;
        QImage img(QString(CORVIX_SCREENSHOT_DIR) + "/" + QString::fromStdString(shot));
        auto tagged = [&](int x, int y, int px, int py) {
            if (x >= img.width() || y >= img.height()) return false;
            const QRgb c = img.pixel(x, y);
            return qRed(c) == px && qGreen(c) == py && qBlue(c) == kTagBlue;
        };
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (tagged(x, y, 0, 0) && tagged(x + 20, y + 30, 20, 30) &&
                    tagged(x + 200, y + 140, 200, 140))
                    return std::make_pair(x, y);
        return std::nullopt;
    }

    // Clicks the centres of the 3 x 3 grid's cells (column, row; 1-based) on a picture
    // window; the window stays up unless it closes on the completing click (a logon).
    void clickCells(const XWindowInfo& w, const std::string& shot,
                    const std::vector<std::pair<int, int>>& cells) {
        std::optional<std::pair<int, int>> origin = pictureOrigin(w, shot);
        ASSERT_TRUE(origin) << "the picture is not on " << w.title << " (" << shot << ")";
        for (auto [c, r] : cells) {
            const int x = w.x + origin->first + (c - 1) * kPictureW / 3 + kPictureW / 6;
            const int y = w.y + origin->second + (r - 1) * kPictureH / 3 + kPictureH / 6;
            EXPECT_EQ(xdotool({"mousemove", std::to_string(x), std::to_string(y), "click", "1"}),
                      0);
            std::this_thread::sleep_for(300ms);
        }
    }

    const std::vector<std::pair<int, int>> kPassword{{1, 1}, {3, 2}, {2, 3}, {3, 3}};
};

TEST_F(SetupProgramTest, FirstStartSetsUpAnImagePasswordThatLogsOnAfterARestart) {
    const std::string picture = makePicture();
    Program corvix = start();
    XWindowInfo frame = waitForFront(corvix, kFrameTitle);
    ASSERT_NE(frame.id, 0u);
    ASSERT_TRUE(screenshot(std::to_string(frame.id), "setup-wizard-program.png"));

    key("alt+n");  // Welcome -> Basic
    key("alt+u");  // "&Use an image theme for master password entry"
    key("Tab");    // "&Select theme to use", enabled by the check
    key("space");
    XWindowInfo picker = waitForFront(corvix, "Select Theme");
    ASSERT_NE(picker.id, 0u);
    key("alt+n");  // a new vault has no themes yet: "&New"
    XWindowInfo form = waitForFront(corvix, "Theme");
    ASSERT_NE(form.id, 0u);
    type("Harbour");
    key("Tab");  // the picture's path follows the description
    type(picture);
    key("Tab");
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(screenshot(std::to_string(form.id), "setup-theme-form-program.png"));
    key("alt+o");
    ASSERT_TRUE(waitUntil([&] { return !x_->info(form.id).viewable; }, 10s))
        << "the theme form did not save\n"
        << describe(*x_, corvix);
    picker = waitForFront(corvix, "Select Theme");
    key("alt+s");  // "&Select" the theme just made
    ASSERT_TRUE(waitUntil([&] { return !x_->info(picker.id).viewable; }, 10s));
    waitForFront(corvix, kFrameTitle);
    key("alt+o");      // the wizard's OK
    closeTip(corvix);  // "You may now enter a "master" password ..."

    XWindowInfo first = waitForFront(corvix, "Enter new master password");
    ASSERT_NE(first.id, 0u);
    clickCells(first, "setup-new-password-program.png", kPassword);
    key("Return");  // OK has the focus after a click
    XWindowInfo second = waitForFront(corvix, "Re-enter new password to confirm");
    ASSERT_NE(second.id, 0u);
    clickCells(second, "setup-confirm-password-program.png", kPassword);
    key("Return");
    closeTip(corvix);  // "You have completed the basic set up wizard. ..."
    EXPECT_EQ(windowTitled(*x_, corvix, "Error").id, 0u) << describe(*x_, corvix);
    waitForFront(corvix, kFrameTitle);
    key("alt+f");
    key("x");  // "E&xit"
    std::optional<ChildExit> end = corvix.child->waitExit(15s);
    ASSERT_TRUE(end) << "still running after Exit\n" << describe(*x_, corvix);
    EXPECT_TRUE(end->exited && end->code == 0) << log(corvix);

    // A set-up vault starts in the tray; Win+S asks for the picture password.
    ToolResult status = cli({"settings", "show"});
    EXPECT_NE(status.output.find("master password: image theme \"Harbour\""), std::string::npos)
        << status.output;
    corvix = start();
    ASSERT_NE(waitForIcon(*x_, corvix, trayHostPid()).id, 0u) << describe(*x_, corvix);
    ASSERT_TRUE(
        waitUntil([&] { return frameOf(*x_, corvix).id != 0 && !frameShown(*x_, corvix); }, 15s));
    key("super+s");
    XWindowInfo logon = waitForFront(corvix, kLogonWindowTitle);
    ASSERT_NE(logon.id, 0u);
    // Another order is not the password: OK is refused.
    clickCells(logon, "setup-logon-wrong-order-program.png", {{3, 2}, {1, 1}, {2, 3}, {3, 3}});
    EXPECT_TRUE(x_->info(logon.id).viewable) << "a wrong order closed the window";
    key("Return");
    XWindowInfo denied = waitForFront(corvix, "Access Denied");
    ASSERT_NE(denied.id, 0u) << describe(*x_, corvix);
    key("Return");
    ASSERT_TRUE(waitUntil([&] { return !x_->info(denied.id).viewable; }, 10s));

    key("super+s");
    logon = waitForFront(corvix, kLogonWindowTitle);
    ASSERT_NE(logon.id, 0u);
    clickCells(logon, "setup-logon-program.png", kPassword);
    EXPECT_TRUE(waitUntil([&] { return !x_->info(logon.id).viewable; }, 10s))
        << "the recorded clicks did not log on\n"
        << describe(*x_, corvix);
    EXPECT_EQ(windowTitled(*x_, corvix, "Access Denied").id, 0u);
    // Logged on: the themes list opens from the Lists menu and keeps its place.
    ASSERT_EQ(openListsMenu(corvix, waitForFront(corvix, kFrameTitle).id), 0);
    key("t");  // "&Themes"
    std::this_thread::sleep_for(1s);
    key("alt+f");
    key("x");
    end = corvix.child->waitExit(15s);
    ASSERT_TRUE(end) << describe(*x_, corvix);
    EXPECT_NE(readFile(vault_ + "/corvix.INI").find("[BrowseCVGSD]"), std::string::npos)
        << readFile(vault_ + "/corvix.INI");
}

}  // namespace
}  // namespace corvix::app::desktop_testing
