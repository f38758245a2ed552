// corvix-cli send and watch against a real window on the X display (label "desktop").
#include <unistd.h>

#include <cstdlib>
#include <future>
#include <thread>

#include "cli_session.h"
#include "keymap_probe.h"

namespace {

using namespace corvix::send::testing;
using namespace std::chrono_literals;

const std::string kName = "J\xC3\xB6rg O'Brien";                  // Jörg O'Brien
const std::string kPassword = "P@ss W\xC3\xB6rd!#~\xE2\x82\xAC";  // P@ss Wörd!#~€

TEST_F(CliSendDesktop, SendTypesTheAccountIntoItsWindow) {
    const std::string title = "Send Target " + std::to_string(getpid());
    const int id = addAccount({"--name", kName, "--target-window", "Send Target*", "--action",
                               "[name][tab][password][enter]", "--wait", "0"},
                              kPassword);
    ASSERT_GT(id, 0);
    Target target(title, dir / "typed.txt");
    ASSERT_TRUE(target.started());
    ASSERT_TRUE(waitForWindow(title, 10s));
    Result r = run({cli, "send", std::to_string(id)}, dir, "");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(waitForFile(dir / "typed.txt", 10s), kName + "\n" + kPassword + "\n");
}

TEST_F(CliSendDesktop, SendToAMissingWindowSaysSoAndTypesNothing) {
    const int id = addAccount({"--name", "x", "--target-window", "No Such Window 4711"}, "pw");
    Result r = run({cli, "send", std::to_string(id)}, dir, "");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Cannot Send: Target window (No Such Window 4711) does not exist."),
              std::string::npos)
        << r.err;
}

TEST_F(CliSendDesktop, WatchServesAWindowThatAppears) {
    const std::string title = "Watch Target " + std::to_string(getpid());
    const int id = addAccount(
        {"--name", kName, "--target-window", "Watch Target*", "--required-text", "*Password*",
         "--action", "[name][tab][password][enter]", "--wait", "1", "--watch"},
        kPassword);
    ASSERT_GT(id, 0);
    Target target(title, dir / "watched.txt");
    ASSERT_TRUE(target.started());
    ASSERT_TRUE(waitForWindow(title, 10s));
    Result r = run({cli, "watch", "--seconds", "4"}, dir, "", 30s);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("sent account " + std::to_string(id)), std::string::npos) << r.out;
    EXPECT_EQ(waitForFile(dir / "watched.txt", 10s), kName + "\n" + kPassword + "\n");
}

// A window busy with the first key reads the rest, ö and € among them, long after they
// were sent: the keycodes lent to those characters stay until it has read them.
TEST_F(CliSendDesktop, ABusyWindowStillReadsTheCharactersTypedThroughSpareKeys) {
    const std::string title = "Busy Target " + std::to_string(getpid());
    const int id = addAccount({"--name", kName, "--target-window", "Busy Target*", "--action",
                               "[name][tab][password][enter]", "--wait", "0"},
                              kPassword);
    ASSERT_GT(id, 0);
    Target target(title, dir / "typed.txt", 1500ms);
    ASSERT_TRUE(target.started());
    ASSERT_TRUE(waitForWindow(title, 10s));
    Result r = run({cli, "send", std::to_string(id)}, dir, "");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(waitForFile(dir / "typed.txt", 10s), kName + "\n" + kPassword + "\n");
}

// Another client takes the focus while the account waits: nothing reaches either window,
// and the command says so and fails.
TEST_F(CliSendDesktop, FocusMovedDuringTheWaitStopsTheSend) {
    const std::string one = "Target One " + std::to_string(getpid());
    const std::string two = "Target Two " + std::to_string(getpid());
    const int id = addAccount({"--name", kName, "--target-window", one, "--action",
                               "[name][tab][password][enter]", "--wait", "3"},
                              kPassword);
    ASSERT_GT(id, 0);
    Target first(one, dir / "one.txt"), second(two, dir / "two.txt");
    ASSERT_TRUE(waitForWindow(one, 10s) && waitForWindow(two, 10s));
    auto sending = std::async(std::launch::async, [&] {
        return run({cli, "send", std::to_string(id)}, dir, "");
    });
    std::this_thread::sleep_for(1500ms);
    auto other = corvix::desktop::openX11Desktop();
    ASSERT_TRUE(other);
    ASSERT_TRUE(other->activate(windowTitled(*other, two)));
    const Result r = sending.get();
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Cannot Send: The keyboard focus left the target window (" + one + ")"),
              std::string::npos)
        << r.err;
    std::this_thread::sleep_for(500ms);
    EXPECT_FALSE(fs::exists(dir / "two.txt.live")) << slurp(dir / "two.txt.live");
    EXPECT_FALSE(fs::exists(dir / "one.txt.live")) << slurp(dir / "one.txt.live");
}

// Without a target the command would type into its own terminal: it refuses, and
// --window names the window instead.
TEST_F(CliSendDesktop, ABlankTargetNeedsAWindowPattern) {
    const int id =
        addAccount({"--name", kName, "--action", "[name][tab][password][enter]"}, kPassword);
    ASSERT_GT(id, 0);
    Result r = run({cli, "send", std::to_string(id)}, dir, "");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("has no target window; name the window to type into with --window"),
              std::string::npos)
        << r.err;
    r = run({cli, "send", std::to_string(id), "--window", " "}, dir, "");
    EXPECT_EQ(r.code, 2) << r.err;

    const std::string title = "Pattern Target " + std::to_string(getpid());
    Target target(title, dir / "typed.txt");
    ASSERT_TRUE(waitForWindow(title, 10s));
    r = run({cli, "send", std::to_string(id), "--window", "Pattern Target*"}, dir, "");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(waitForFile(dir / "typed.txt", 10s), kName + "\n" + kPassword + "\n");
}

// The text arrives exactly whatever the layout and its active group, with Shift held
// down by another client, and the characters typed through spare keycodes are gone from
// the keymap when the command has ended.
TEST_F(CliSendDesktop, TextArrivesExactlyInEveryLayoutAndLeavesNoKeysBehind) {
    const std::string password = "Ab1!@#xyz\xE7\xA7\x98\xE5\xAF\x86\xC3\xA9\xC3\x9F";  // ...秘密éß
    const int id = addAccount({"--name", "user1", "--target-window", "Layout Target*", "--action",
                               "[name][tab][password][enter]"},
                              password);
    ASSERT_GT(id, 0);
    struct Restore {
        ~Restore() {
            std::system("xdotool keyup Shift_L");
            corvix::send::testing::setLayout("us");
        }
    } restore;
    struct Case {
        std::string layouts;
        int group;
        bool holdShift;
    };
    int round = 0;
    for (const Case& c : {Case{"us,ru", 1, false}, Case{"de", 0, false}, Case{"fr", 0, false},
                          Case{"us", 0, true}}) {
        SCOPED_TRACE(c.layouts + (c.holdShift ? " with Shift held" : ""));
        ASSERT_TRUE(corvix::send::testing::setLayout(c.layouts));
        const std::string title = "Layout Target " + std::to_string(++round);
        const fs::path out = dir / ("typed" + std::to_string(round) + ".txt");
        Target target(title, out);
        ASSERT_TRUE(waitForWindow(title, 10s));
        ASSERT_TRUE(corvix::send::testing::lockGroup(c.group));
        if (c.holdShift) ASSERT_EQ(std::system("xdotool keydown Shift_L"), 0);
        Result r = run({cli, "send", std::to_string(id)}, dir, "");
        if (c.holdShift) std::system("xdotool keyup Shift_L");
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(waitForFile(out, 10s), "user1\n" + password + "\n");
        EXPECT_EQ(corvix::send::testing::activeGroup(), c.group);
        for (char32_t ch : {U'\u79D8', U'\u5BC6'})
            EXPECT_FALSE(corvix::send::testing::keymapHas(ch)) << std::hex << uint32_t(ch);
    }
}

}  // namespace
