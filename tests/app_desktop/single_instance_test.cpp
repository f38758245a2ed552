// One program per data folder: a second start restores the running one's frame and ends
// with code 0; after a crash the socket left behind does not stop the next start.
#include <gtest/gtest.h>

#include <signal.h>

#include <thread>

#include "child_process.h"
#include "tray_fixture.h"

namespace corvix::app::desktop_testing {
namespace {

using namespace std::chrono_literals;

class SingleInstanceTest : public TrayProgramTest {
  protected:
    // Started and settled in the tray with its frame hidden.
    Program startHidden() {
        Program p = start();
        EXPECT_NE(waitForIcon(*x_, p, trayHostPid()).id, 0u) << describe(*x_, p);
        EXPECT_TRUE(waitUntil([&] { return frameOf(*x_, p).id != 0 && !frameShown(*x_, p); }, 10s))
            << describe(*x_, p);
        return p;
    }
};

TEST_F(SingleInstanceTest, ASecondStartRestoresTheFirstAndEnds) {
    ASSERT_TRUE(makeVault(""));
    Program first = startHidden();
    ASSERT_FALSE(frameShown(*x_, first));

    Program second = start();
    std::optional<ChildExit> end = second.child->waitExit(10s);
    ASSERT_TRUE(end.has_value()) << "the second start keeps running\n" << log(second);
    EXPECT_TRUE(end->exited && end->code == 0) << log(second);
    EXPECT_TRUE(waitUntil([&] { return frameShown(*x_, first); }, 10s))
        << "the running program's frame was not restored\n"
        << describe(*x_, first);
    EXPECT_TRUE(first.child->running());
}

TEST_F(SingleInstanceTest, ASocketLeftByACrashedProgramIsReplaced) {
    ASSERT_TRUE(makeVault(""));
    Program crashed = startHidden();
    kill(crashed.pid(), SIGKILL);
    ASSERT_TRUE(crashed.child->waitExit(5s).has_value());

    // The socket file is still there, with no one behind it: the next start takes over.
    Program next = startHidden();
    std::this_thread::sleep_for(500ms);
    ASSERT_TRUE(next.child->running()) << log(next);

    // And it answers a further start as the one running program.
    Program third = start();
    std::optional<ChildExit> end = third.child->waitExit(10s);
    ASSERT_TRUE(end.has_value()) << log(third);
    EXPECT_EQ(end->code, 0) << log(third);
    EXPECT_TRUE(waitUntil([&] { return frameShown(*x_, next); }, 10s)) << describe(*x_, next);
}

}  // namespace
}  // namespace corvix::app::desktop_testing
