// The tray program on a real X display: it starts hidden in the tray, its icon answers
// right click and double click, Win+S brings the frame back (and asks for the master
// password when logged off), the icon survives a restarted tray host, Exit ends it with
// code 0, and without a display it says so.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include "child_process.h"
#include "private_session.h"
#include "tray_fixture.h"
#include "x_windows.h"

namespace corvix::app::desktop_testing {
namespace {

using namespace std::chrono_literals;

// --- Starting hidden in the tray -------------------------------------------------------

TEST_F(TrayProgramTest, StartsHiddenInTheTrayWithABlankMasterPassword) {
    ASSERT_TRUE(makeVault(""));
    x_->watchMapping();
    Program corvix = start();
    XWindowInfo icon = waitForIcon(*x_, corvix, trayHostPid());
    ASSERT_NE(icon.id, 0u) << describe(*x_, corvix);
    EXPECT_TRUE(icon.viewable);
    EXPECT_GT(icon.width, 0);
    EXPECT_LE(icon.width, 64) << "an icon, not a window";

    // The frame was created and stays in the tray: not mapped, not in the task list. Not
    // even for a moment: a flash would take the focus from the user's window, and its
    // return would close a tray menu opened meanwhile.
    ASSERT_TRUE(waitUntil([&] { return frameOf(*x_, corvix).id != 0; }, 10s))
        << describe(*x_, corvix);
    std::this_thread::sleep_for(500ms);  // time for a frame that shows late
    EXPECT_FALSE(frameShown(*x_, corvix)) << describe(*x_, corvix);
    EXPECT_FALSE(x_->wasMapped(frameOf(*x_, corvix).id)) << "the frame flashed at start";
    EXPECT_FALSE(inTaskList(*x_, frameOf(*x_, corvix).id));
    EXPECT_TRUE(corvix.child->running()) << log(corvix);
}

// --- The icon's mouse actions ----------------------------------------------------------

TEST_F(TrayProgramTest, RightClickOnTheIconOpensTheTrayMenuAtTheMouse) {
    ASSERT_TRUE(makeVault(""));
    Program corvix = start();
    XWindowInfo icon = waitForIcon(*x_, corvix, trayHostPid());
    ASSERT_NE(icon.id, 0u) << describe(*x_, corvix);
    ASSERT_TRUE(waitUntil([&] { return !frameShown(*x_, corvix); }, 10s));

    icon = clickIcon(corvix, 3);
    ASSERT_NE(icon.id, 0u);
    const int cx = icon.x + icon.width / 2, cy = icon.y + icon.height / 2;
    XWindowInfo menu;
    ASSERT_TRUE(waitUntil(
        [&] {
            menu = popupOf(*x_, corvix, icon.id);
            return menu.id != 0;
        },
        5s))
        << describe(*x_, corvix);
    EXPECT_TRUE(menu.overrideRedirect);
    EXPECT_GT(menu.height, 13 * 5) << "thirteen entries";
    // Shown at the mouse, moved only as far as the screen's edge needs.
    EXPECT_LE(distanceToRect(cx, cy, menu), 32)
        << "menu at " << menu.x << "," << menu.y << " " << menu.width << "x" << menu.height
        << ", mouse at " << cx << "," << cy;
    std::this_thread::sleep_for(300ms);  // drawn
    EXPECT_TRUE(screenshot("root", "tray-menu.png"));

    ASSERT_EQ(xdotool({"key", "Escape"}), 0);
    EXPECT_TRUE(waitUntil([&] { return !x_->info(menu.id).viewable; }, 10s))
        << "Escape leaves the menu open";
    // Nothing was chosen: the program runs on, still hidden.
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(corvix.child->running()) << log(corvix);
    EXPECT_FALSE(frameShown(*x_, corvix));
}

TEST_F(TrayProgramTest, DoubleClickOnTheIconRestoresTheFrameAndItsCloseBoxHidesItAgain) {
    ASSERT_TRUE(makeVault(""));
    Program corvix = start();
    XWindowInfo icon = waitForIcon(*x_, corvix, trayHostPid());
    ASSERT_NE(icon.id, 0u) << describe(*x_, corvix);
    ASSERT_TRUE(waitUntil([&] { return frameOf(*x_, corvix).id != 0; }, 10s));
    ASSERT_TRUE(waitUntil([&] { return !frameShown(*x_, corvix); }, 10s));

    icon = clickIcon(corvix, 1, 2);
    ASSERT_NE(icon.id, 0u);
    ASSERT_TRUE(waitUntil([&] { return frameShown(*x_, corvix); }, 10s)) << describe(*x_, corvix);
    const XWindowInfo frame = frameOf(*x_, corvix);
    // In front: the window manager made it the active window.
    EXPECT_TRUE(waitUntil([&] { return x_->activeWindow() == frame.id; }, 3s))
        << "active " << x_->activeWindow() << ", frame " << frame.id;
    // Logged on without a password: no logon window on the way.
    EXPECT_EQ(windowTitled(*x_, corvix, kLogonWindowTitle).id, 0u);
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(screenshot(std::to_string(frame.id), "frame.png"));

    // The close box only hides the frame into the tray; the program and its icon stay.
    x_->requestClose(frame.id);
    EXPECT_TRUE(waitUntil([&] { return !frameShown(*x_, corvix); }, 10s)) << describe(*x_, corvix);
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(corvix.child->running()) << log(corvix);
    EXPECT_NE(waitForIcon(*x_, corvix, trayHostPid(), 2s).id, 0u);
}

// --- The hot key -----------------------------------------------------------------------

TEST_F(TrayProgramTest, WinSRestoresTheFrameWithoutALogonWhenLoggedOn) {
    ASSERT_TRUE(makeVault(""));
    Program corvix = start();
    ASSERT_NE(waitForIcon(*x_, corvix, trayHostPid()).id, 0u) << describe(*x_, corvix);
    ASSERT_TRUE(waitUntil([&] { return frameOf(*x_, corvix).id != 0; }, 10s));
    ASSERT_TRUE(waitUntil([&] { return !frameShown(*x_, corvix); }, 10s));

    ASSERT_EQ(xdotool({"key", "super+s"}), 0);
    EXPECT_TRUE(waitUntil([&] { return frameShown(*x_, corvix); }, 10s))
        << "Win+S did not bring the frame back\n"
        << describe(*x_, corvix);
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(windowTitled(*x_, corvix, kLogonWindowTitle).id, 0u);
}

TEST_F(TrayProgramTest, WinSRestoresTheFrameAndStartsTheLogonWhenLoggedOff) {
    ASSERT_TRUE(makeVault("tray secret"));
    Program corvix = start();
    ASSERT_NE(waitForIcon(*x_, corvix, trayHostPid()).id, 0u) << describe(*x_, corvix);
    ASSERT_TRUE(waitUntil([&] { return frameOf(*x_, corvix).id != 0; }, 10s));
    ASSERT_TRUE(waitUntil([&] { return !frameShown(*x_, corvix); }, 10s))
        << "a set-up vault starts in the tray also when logged off\n"
        << describe(*x_, corvix);
    EXPECT_EQ(windowTitled(*x_, corvix, kLogonWindowTitle).id, 0u) << "no logon before Win+S";

    ASSERT_EQ(xdotool({"key", "super+s"}), 0);
    XWindowInfo logon;
    EXPECT_TRUE(waitUntil(
        [&] {
            logon = windowTitled(*x_, corvix, kLogonWindowTitle);
            return logon.viewable;
        },
        10s))
        << describe(*x_, corvix);
    EXPECT_TRUE(frameShown(*x_, corvix)) << describe(*x_, corvix);

    // Cancelling the logon leaves the program logged off and running.
    ASSERT_EQ(xdotool({"key", "Escape"}), 0);
    EXPECT_TRUE(waitUntil([&] { return !x_->info(logon.id).viewable; }, 10s));
    EXPECT_TRUE(corvix.child->running()) << log(corvix);
}

TEST_F(TrayProgramTest, WithWinSHeldByAnotherProgramItStartsSilentlyAndTheIconWorks) {
    ASSERT_TRUE(makeVault(""));
    XDisplay other;  // the other program: holds Win+S before corvix starts
    ASSERT_TRUE(other.grabSuperKey("s"));
    Program corvix = start();
    XWindowInfo icon = waitForIcon(*x_, corvix, trayHostPid());
    ASSERT_NE(icon.id, 0u) << describe(*x_, corvix);
    ASSERT_TRUE(waitUntil([&] { return frameOf(*x_, corvix).id != 0; }, 10s));
    ASSERT_TRUE(waitUntil([&] { return !frameShown(*x_, corvix); }, 10s));
    std::this_thread::sleep_for(1s);
    // No message about the hot key: nothing of the program is on the screen but the icon.
    for (const XWindowInfo& w : x_->windowsOf(corvix.pid()))
        EXPECT_FALSE(w.viewable && w.id != icon.id) << "\"" << w.title << "\" is showing";
    EXPECT_TRUE(corvix.child->running()) << log(corvix);
    // The press goes to the program holding the key, not to corvix.
    ASSERT_EQ(xdotool({"key", "super+s"}), 0);
    std::this_thread::sleep_for(1s);
    EXPECT_FALSE(frameShown(*x_, corvix));

    icon = clickIcon(corvix, 1, 2);
    ASSERT_NE(icon.id, 0u);
    EXPECT_TRUE(waitUntil([&] { return frameShown(*x_, corvix); }, 10s))
        << "the icon no longer restores the frame\n"
        << describe(*x_, corvix);
}

TEST_F(TrayProgramTest, MinimizingTheFrameHidesItIntoTheTray) {
    ASSERT_TRUE(makeVault(""));
    Program corvix = start();
    XWindowInfo icon = waitForIcon(*x_, corvix, trayHostPid());
    ASSERT_NE(icon.id, 0u) << describe(*x_, corvix);
    ASSERT_TRUE(waitUntil([&] { return frameOf(*x_, corvix).id != 0; }, 10s));
    ASSERT_TRUE(waitUntil([&] { return !frameShown(*x_, corvix); }, 10s));
    ASSERT_EQ(xdotool({"key", "super+s"}), 0);
    ASSERT_TRUE(waitUntil([&] { return frameShown(*x_, corvix); }, 10s)) << describe(*x_, corvix);
    const XWindowId frame = frameOf(*x_, corvix).id;
    ASSERT_TRUE(waitUntil([&] { return inTaskList(*x_, frame); }, 3s));

    ASSERT_EQ(xdotool({"windowminimize", std::to_string(frame)}), 0);
    // Not an icon in the task list: gone from the screen and from the list.
    EXPECT_TRUE(waitUntil([&] { return !frameShown(*x_, corvix) && !inTaskList(*x_, frame); }, 10s))
        << describe(*x_, corvix);

    // The icon brings it back, in front.
    icon = clickIcon(corvix, 1, 2);
    ASSERT_NE(icon.id, 0u);
    EXPECT_TRUE(waitUntil([&] { return frameShown(*x_, corvix) && inTaskList(*x_, frame); }, 10s))
        << describe(*x_, corvix);
    EXPECT_TRUE(waitUntil([&] { return x_->activeWindow() == frame; }, 3s));
}

TEST_F(TrayProgramTest, RestoreInTheTrayMenuWhileLoggedOffStartsTheLogon) {
    ASSERT_TRUE(makeVault("tray secret"));
    Program corvix = start();
    XWindowInfo icon = waitForIcon(*x_, corvix, trayHostPid());
    ASSERT_NE(icon.id, 0u) << describe(*x_, corvix);
    ASSERT_TRUE(waitUntil([&] { return frameOf(*x_, corvix).id != 0; }, 10s));
    ASSERT_TRUE(waitUntil([&] { return !frameShown(*x_, corvix); }, 10s));

    icon = clickIcon(corvix, 3);
    ASSERT_NE(icon.id, 0u);
    ASSERT_TRUE(waitUntil([&] { return popupOf(*x_, corvix, icon.id).id != 0; }, 10s))
        << describe(*x_, corvix);
    std::this_thread::sleep_for(300ms);
    ASSERT_EQ(xdotool({"key", "r"}), 0);  // "&Restore"
    XWindowInfo logon;
    EXPECT_TRUE(waitUntil(
        [&] {
            logon = windowTitled(*x_, corvix, kLogonWindowTitle);
            return logon.viewable;
        },
        10s))
        << describe(*x_, corvix);
    EXPECT_TRUE(frameShown(*x_, corvix));
    ASSERT_EQ(xdotool({"key", "Escape"}), 0);
    EXPECT_TRUE(waitUntil([&] { return !x_->info(logon.id).viewable; }, 10s));
    EXPECT_TRUE(corvix.child->running()) << log(corvix);
}

TEST_F(TrayProgramTest, DoubleClickWhileLoggedOffStartsTheLogon) {
    ASSERT_TRUE(makeVault("tray secret"));
    Program corvix = start();
    XWindowInfo icon = waitForIcon(*x_, corvix, trayHostPid());
    ASSERT_NE(icon.id, 0u) << describe(*x_, corvix);
    ASSERT_TRUE(waitUntil([&] { return frameOf(*x_, corvix).id != 0; }, 10s));
    ASSERT_TRUE(waitUntil([&] { return !frameShown(*x_, corvix); }, 10s));

    icon = clickIcon(corvix, 1, 2);
    ASSERT_NE(icon.id, 0u);
    EXPECT_TRUE(
        waitUntil([&] { return windowTitled(*x_, corvix, kLogonWindowTitle).viewable; }, 10s))
        << describe(*x_, corvix);
    EXPECT_TRUE(frameShown(*x_, corvix));
    ASSERT_EQ(xdotool({"key", "Escape"}), 0);
}

// --- The tray host goes and comes back -------------------------------------------------

TEST_F(OwnDisplayTest, IconComesBackWhenTheTrayHostIsRestarted) {
    ASSERT_TRUE(makeVault(""));
    PrivateSession session;
    ASSERT_TRUE(session.ok()) << session.error();
    XDisplay x(session.display());
    ASSERT_TRUE(x.ok());
    Program corvix = start(session.display());
    XWindowInfo first = waitForIcon(x, corvix, session.trayHostPid());
    ASSERT_NE(first.id, 0u) << describe(x, corvix);

    ASSERT_TRUE(session.killTrayHost());
    // The old icon is out of the dead host before the new one starts.
    EXPECT_TRUE(waitUntil([&] { return embeddedIcon(x, corvix, 0).id == 0; }, 10s))
        << describe(x, corvix);
    EXPECT_TRUE(corvix.child->running()) << "losing the tray host ended the program\n"
                                         << log(corvix);

    ASSERT_TRUE(session.startTrayHost()) << session.error();
    XWindowInfo again = waitForIcon(x, corvix, session.trayHostPid(), 15s);
    EXPECT_NE(again.id, 0u) << "the icon did not come back\n" << describe(x, corvix);
    EXPECT_TRUE(again.viewable);
}

TEST_F(OwnDisplayTest, WithoutATrayHostTheHotKeyStillRestoresAndTheIconDocksLater) {
    ASSERT_TRUE(makeVault(""));
    PrivateSession session;
    ASSERT_TRUE(session.ok()) << session.error();
    ASSERT_TRUE(session.killTrayHost());
    XDisplay x(session.display());
    Program corvix = start(session.display());
    ASSERT_TRUE(waitUntil([&] { return frameOf(x, corvix).id != 0; }, 15s)) << describe(x, corvix);
    ASSERT_TRUE(waitUntil([&] { return !frameShown(x, corvix); }, 10s)) << describe(x, corvix);
    std::this_thread::sleep_for(500ms);
    ASSERT_TRUE(corvix.child->running()) << "no tray host ended the program\n" << log(corvix);

    EXPECT_EQ(xdotool({"key", "super+s"}, session.display()), 0);
    EXPECT_TRUE(waitUntil([&] { return frameShown(x, corvix); }, 10s))
        << "Win+S did not restore the frame without a tray\n"
        << describe(x, corvix);

    ASSERT_TRUE(session.startTrayHost()) << session.error();
    EXPECT_NE(waitForIcon(x, corvix, session.trayHostPid(), 15s).id, 0u)
        << "the icon did not dock into a tray host that came later\n"
        << describe(x, corvix);
}

// --- Exit ------------------------------------------------------------------------------

TEST_F(TrayProgramTest, ExitInTheTrayMenuEndsTheProgramWithCodeZero) {
    ASSERT_TRUE(makeVault(""));
    Program corvix = start();
    XWindowInfo icon = waitForIcon(*x_, corvix, trayHostPid());
    ASSERT_NE(icon.id, 0u) << describe(*x_, corvix);
    ASSERT_TRUE(waitUntil([&] { return !frameShown(*x_, corvix); }, 10s));

    icon = clickIcon(corvix, 3);
    ASSERT_NE(icon.id, 0u);
    XWindowInfo menu;
    ASSERT_TRUE(waitUntil(
        [&] {
            menu = popupOf(*x_, corvix, icon.id);
            return menu.id != 0;
        },
        5s))
        << describe(*x_, corvix);
    std::this_thread::sleep_for(300ms);
    // "E&xit": its mnemonic chooses it.
    ASSERT_EQ(xdotool({"key", "x"}), 0);
    std::optional<ChildExit> end = corvix.child->waitExit(15s);
    ASSERT_TRUE(end.has_value()) << "still running after Exit\n" << describe(*x_, corvix);
    EXPECT_TRUE(end->exited) << "ended by signal " << end->signal << "\n" << log(corvix);
    EXPECT_EQ(end->code, 0) << log(corvix);

    // The vault it closed opens again as it was.
    ToolResult status = cli({"status"});
    EXPECT_EQ(status.exit.code, 0) << status.output;
    EXPECT_NE(status.output.find("vault: set up"), std::string::npos) << status.output;
}

TEST_F(TrayProgramTest, ExitInTheFramesFileMenuEndsTheProgramWithCodeZero) {
    ASSERT_TRUE(makeVault(""));
    Program corvix = start();
    ASSERT_NE(waitForIcon(*x_, corvix, trayHostPid()).id, 0u) << describe(*x_, corvix);
    ASSERT_TRUE(waitUntil([&] { return frameOf(*x_, corvix).id != 0; }, 10s));
    ASSERT_TRUE(waitUntil([&] { return !frameShown(*x_, corvix); }, 10s));
    ASSERT_EQ(xdotool({"key", "super+s"}), 0);
    ASSERT_TRUE(waitUntil([&] { return frameShown(*x_, corvix); }, 10s)) << describe(*x_, corvix);
    const XWindowId frame = frameOf(*x_, corvix).id;
    ASSERT_TRUE(waitUntil([&] { return x_->activeWindow() == frame; }, 3s));

    ASSERT_TRUE(openMenuByKey(corvix, "alt+f")) << describe(*x_, corvix);
    ASSERT_EQ(xdotool({"key", "x"}), 0);  // "E&xit"
    std::optional<ChildExit> end = corvix.child->waitExit(15s);
    ASSERT_TRUE(end.has_value()) << "still running after Exit\n" << describe(*x_, corvix);
    EXPECT_TRUE(end->exited) << "ended by signal " << end->signal << "\n" << log(corvix);
    EXPECT_EQ(end->code, 0) << log(corvix);
}

// --- No display ------------------------------------------------------------------------

TEST_F(OwnDisplayTest, WithoutADisplayItSaysSoAndExitsWithOne) {
    ASSERT_TRUE(makeVault(""));
    ChildOptions o;
    o.workingDirectory = vault_;
    o.unsetEnv = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
    ToolResult r = runTool({CORVIX_TRAY_PROGRAM}, o, 20s);
    ASSERT_FALSE(r.timedOut) << "hangs without a display";
    EXPECT_TRUE(r.exit.exited) << "ended by signal " << r.exit.signal;
    EXPECT_EQ(r.exit.code, 1) << r.output;
    EXPECT_NE(r.output.find("no display"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("DISPLAY"), std::string::npos) << r.output;
    // It did not get as far as the settings file.
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(vault_) / "corvix.INI"));
}

TEST_F(OwnDisplayTest, AnUnreachableDisplayEndsTheProgramWithAFailure) {
    ASSERT_TRUE(makeVault(""));
    ChildOptions o;
    o.workingDirectory = vault_;
    o.setEnv = {"DISPLAY=:" + std::to_string(unusedDisplayNumber()), "QT_QPA_PLATFORM=xcb"};
    o.unsetEnv = {"WAYLAND_DISPLAY"};
    ToolResult r = runTool({CORVIX_TRAY_PROGRAM}, o, 20s);
    ASSERT_FALSE(r.timedOut) << "hangs on a display it cannot reach";
    EXPECT_FALSE(r.exit.exited && r.exit.code == 0) << r.output;
    EXPECT_NE(r.output.find("display"), std::string::npos) << r.output;
}

// --- The categories list in the program --------------------------------------------------

TEST_F(TrayProgramTest, ListsCategoriesOpensTheCategoriesListInTheFrame) {
    ASSERT_TRUE(makeVault(""));
    Program corvix = start();
    ASSERT_NE(waitForIcon(*x_, corvix, trayHostPid()).id, 0u) << describe(*x_, corvix);
    ASSERT_TRUE(waitUntil([&] { return frameOf(*x_, corvix).id != 0; }, 10s));
    ASSERT_TRUE(waitUntil([&] { return !frameShown(*x_, corvix); }, 10s));
    ASSERT_EQ(xdotool({"key", "super+s"}), 0);
    ASSERT_TRUE(waitUntil([&] { return frameShown(*x_, corvix); }, 10s)) << describe(*x_, corvix);
    const XWindowId frame = frameOf(*x_, corvix).id;
    ASSERT_TRUE(waitUntil([&] { return x_->activeWindow() == frame; }, 3s));
    ASSERT_EQ(openListsMenu(corvix, frame), 0);
    ASSERT_EQ(xdotool({"key", "c"}), 0);  // "&Categories"
    std::this_thread::sleep_for(1s);
    EXPECT_TRUE(screenshot(std::to_string(frame), "categories.png"));

    // Exit closes the list, which keeps its place under its procedure name.
    ASSERT_EQ(xdotool({"key", "alt+f"}), 0);
    std::this_thread::sleep_for(300ms);
    ASSERT_EQ(xdotool({"key", "x"}), 0);
    std::optional<ChildExit> end = corvix.child->waitExit(15s);
    ASSERT_TRUE(end.has_value()) << describe(*x_, corvix);
    EXPECT_EQ(end->code, 0) << log(corvix);
    std::ifstream ini(vault_ + "/corvix.INI");
    std::stringstream text;
    text << ini.rdbuf();
    EXPECT_NE(text.str().find("[BrowseCVCAT]"), std::string::npos) << text.str();
}

}  // namespace
}  // namespace corvix::app::desktop_testing
