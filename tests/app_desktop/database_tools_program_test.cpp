// File → Database Tools in the running program: the Repair window opens in the frame and
// Info fills in the highlighted file; Passwords → Export writes ExPas.BAS (mode 0600) and
// ends with the completion message. Screenshots go to the build's screenshots/.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <thread>

#include "tray_fixture.h"
#include "x_windows.h"

namespace corvix::app::desktop_testing {
namespace {

using namespace std::chrono_literals;

TEST_F(TrayProgramTest, DatabaseToolsRepairAndExportInTheProgram) {
    ASSERT_TRUE(makeVault(""));
    Program corvix = start();
    ASSERT_NE(waitForIcon(*x_, corvix, trayHostPid()).id, 0u) << describe(*x_, corvix);
    ASSERT_TRUE(waitUntil([&] { return frameOf(*x_, corvix).id != 0; }, 10s));
    ASSERT_TRUE(waitUntil([&] { return !frameShown(*x_, corvix); }, 10s));
    ASSERT_EQ(xdotool({"key", "super+s"}), 0);
    ASSERT_TRUE(waitUntil([&] { return frameShown(*x_, corvix); }, 10s)) << describe(*x_, corvix);
    const XWindowId frame = frameOf(*x_, corvix).id;
    ASSERT_TRUE(waitUntil([&] { return x_->activeWindow() == frame; }, 3s));

    auto menu = [&](std::initializer_list<const char*> keys) {
        for (const char* k : keys) {
            ASSERT_EQ(xdotool({"key", k}), 0);
            std::this_thread::sleep_for(300ms);
        }
    };
    menu({"alt+f", "d", "r"});  // &File, &Database Tools, &Repair
    std::this_thread::sleep_for(1s);
    menu({"Down", "Down", "Down", "Down", "alt+i"});  // the accounts' table, then &Info
    std::this_thread::sleep_for(1s);
    EXPECT_TRUE(screenshot(std::to_string(frame), "repair-program.png"));
    menu({"alt+o"});  // Cl&ose

    menu({"alt+f", "d", "p", "e"});  // &Passwords, &Export
    XWindowInfo done;
    ASSERT_TRUE(
        waitUntil([&] { return (done = windowTitled(*x_, corvix, "Complete")).id != 0; }, 15s))
        << describe(*x_, corvix);
    EXPECT_TRUE(screenshot(std::to_string(done.id), "export-complete-program.png"));
    ASSERT_EQ(xdotool({"key", "Return"}), 0);
    struct stat st;
    ASSERT_EQ(::stat((vault_ + "/ExPas.BAS").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    menu({"alt+f", "x"});
    std::optional<ChildExit> end = corvix.child->waitExit(15s);
    ASSERT_TRUE(end.has_value()) << describe(*x_, corvix);
    EXPECT_EQ(end->code, 0) << log(corvix);
}

}  // namespace
}  // namespace corvix::app::desktop_testing
