// The road of one send in the running program: Win+S, the typed master password, the
// accounts list that the logon opens, Send from the frame (Ctrl+S) on the selected
// account, and a real xterm receiving exactly name<Tab>password<Enter>, characters
// outside the US layout included. The list keeps its place and layout in corvix.INI.
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "child_process.h"
#include "tray_fixture.h"
#include "x_windows.h"

namespace corvix::app::desktop_testing {
namespace {

using namespace std::chrono_literals;

constexpr const char* kRoadMaster = "road secret";
constexpr const char* kTargetTitle = "corvix-road-xterm";
// A tab and characters the US layout lacks; the password ends at the line end.
constexpr const char* kRoadPassword = "pä$s€ß#1";

class AccountsProgramTest : public TrayProgramTest {
  protected:
    // An account for the target xterm, added through corvix-cli (master password first
    // on standard input, then the account's password).
    int addAccount() {
        ChildOptions o;
        o.workingDirectory = vault_;
        o.stdinText = std::string(kRoadMaster) + "\n" + kRoadPassword + "\n";
        ToolResult r = runTool({CORVIX_CLI_PROGRAM, "add", "--description", "Road shell", "--name",
                                "ann", "--password-stdin", "--target-window", kTargetTitle,
                                "--action", "[name][tab][password][enter]", "--wait", "0"},
                               o, 60s);
        EXPECT_TRUE(r.exit.exited && r.exit.code == 0) << r.output;
        return r.exit.code == 0 ? std::stoi(r.output) : 0;
    }

    // An xterm that writes the first line it is given to received.txt.
    std::unique_ptr<Child> startTarget() {
        ChildOptions o;
        o.workingDirectory = vault_;
        o.setEnv = {"LC_ALL=C.UTF-8", "LANG=C.UTF-8"};
        auto xterm = std::make_unique<Child>(
            std::vector<std::string>{"xterm", "-u8", "-T", kTargetTitle, "-geometry", "60x8+40+40",
                                     "-e", "sh", "-c", "head -n 1 > received.txt"},
            o);
        return xterm;
    }
};

TEST_F(AccountsProgramTest, WinSLogonOpensTheListAndSendTypesTheAccountIntoAnXterm) {
    ASSERT_TRUE(makeVault(kRoadMaster));
    ASSERT_GT(addAccount(), 0);
    std::unique_ptr<Child> xterm = startTarget();
    ASSERT_TRUE(xterm->started());

    Program corvix = start();
    // The logon opens the list.
    ASSERT_TRUE(logOnWithHotKey(corvix, kRoadMaster)) << describe(*x_, corvix);
    const XWindowInfo frame = frameOf(*x_, corvix);
    std::this_thread::sleep_for(700ms);
    EXPECT_TRUE(screenshot(std::to_string(frame.id), "accounts-list-program.png"));

    // Send (Ctrl+S) acts on the list's selected row: the only account.
    ASSERT_EQ(xdotool({"key", "ctrl+s"}), 0);
    const std::string received = vault_ + "/received.txt";
    EXPECT_TRUE(waitUntil([&] { return readFile(received).find('\n') != std::string::npos; }, 20s))
        << describe(*x_, corvix) << log(corvix);
    EXPECT_EQ(readFile(received), std::string("ann\t") + kRoadPassword + "\n");
    EXPECT_TRUE(waitUntil([&] { return !frameShown(*x_, corvix); }, 5s))
        << "the frame hides into the tray while it sends";
    // The characters lent to spare keycodes leave the keymap soon after the text, while
    // the program goes on running.
    auto keymapHoldsPassword = [] {
        ToolResult r = runTool({"xkbcomp", "-xkb", std::getenv("DISPLAY"), "-"}, {}, 10s);
        for (const char* sym : {"adiaeresis", "EuroSign", "ssharp"})
            if (r.output.find(sym) != std::string::npos) return true;
        return false;
    };
    EXPECT_TRUE(waitUntil([&] { return !keymapHoldsPassword(); }, 5s));
    EXPECT_TRUE(corvix.child->running());

    // Exit from the frame's File menu: Alt+F goes to the menu while the list, which has
    // no "&F" of its own, has the focus. The list saved its place and its header layout.
    xterm->stop();
    ASSERT_EQ(xdotool({"key", "super+s"}), 0);
    ASSERT_TRUE(waitUntil(
        [&] { return frameShown(*x_, corvix) && x_->activeWindow() == frameOf(*x_, corvix).id; },
        10s))
        << describe(*x_, corvix);
    ASSERT_TRUE(openMenuByKey(corvix, "alt+f")) << describe(*x_, corvix);
    ASSERT_EQ(xdotool({"key", "x"}), 0);  // "E&xit"
    std::optional<ChildExit> end = corvix.child->waitExit(15s);
    ASSERT_TRUE(end.has_value()) << describe(*x_, corvix);
    EXPECT_TRUE(end->exited && end->code == 0) << log(corvix);
    const std::string ini = readFile(vault_ + "/corvix.INI");
    EXPECT_NE(ini.find("[BrowseCVPAS]"), std::string::npos) << ini;
    EXPECT_NE(ini.find("[BrowseCVPAS>Header]"), std::string::npos) << ini;
}

}  // namespace
}  // namespace corvix::app::desktop_testing
