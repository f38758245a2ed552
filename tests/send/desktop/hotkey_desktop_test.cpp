// The hot-key manager over the X11 backend: Win+S registered, pressed and queued; a
// combination another client holds ends up in FAILEDKEYQ (label "desktop").
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "app/hotkeys.h"
#include "keymap_probe.h"
#include "platform/desktop/desktop.h"

namespace {

using namespace std::chrono_literals;
using corvix::app::HotKeyManager;

class HotKeyDesktop : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs an X display";
        desk = corvix::desktop::openX11Desktop();
        ASSERT_TRUE(desk);
    }
    // Presses Win+S through the keyboard and waits for the manager to see it.
    bool pressWinS(HotKeyManager& hk, int& posted) {
        desk->keyDown(91);
        desk->keyDown(83);
        desk->keyUp(83);
        desk->keyUp(91);
        desk->flush();
        const auto until = std::chrono::steady_clock::now() + 3s;
        while (std::chrono::steady_clock::now() < until) {
            desk->pollHotKeys();
            if (posted > 0) return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }
    std::unique_ptr<corvix::desktop::Desktop> desk;
};

TEST_F(HotKeyDesktop, WinSIsRegisteredAndItsPressQueued) {
    HotKeyManager hk;
    int posted = 0;
    hk.Init(desk.get(), [&] { ++posted; });
    hk.AddKey("WinS");
    hk.Activate();
    ASSERT_TRUE(hk.FAILEDKEYQ.empty());
    ASSERT_TRUE(pressWinS(hk, posted));
    HotKeyManager::KeyEntry taken;
    ASSERT_TRUE(hk.TakePressedKey(taken));
    EXPECT_EQ(taken.ID, 2048 + 83);
    EXPECT_EQ(taken.KEY, "WinS");
    hk.Kill();
}

TEST_F(HotKeyDesktop, AKeyAnotherProgramHoldsFailsSilently) {
    auto other = corvix::desktop::openX11Desktop();
    ASSERT_TRUE(other);
    ASSERT_TRUE(other->registerHotKey(1, corvix::desktop::Desktop::kModWin, 83));
    HotKeyManager hk;
    hk.Init(desk.get(), [] {});
    hk.AddKey("WinS");
    hk.AddKey("^%F11");
    hk.Activate();
    ASSERT_EQ(hk.FAILEDKEYQ.size(), 1u);
    EXPECT_EQ(hk.FAILEDKEYQ[0].KEY, "WinS");
    EXPECT_EQ(hk.KEYSREGISTERED, 1);
    hk.Kill();
    other->unregisterHotKey(1);
}

// Win+S keeps working through layout changes: registered with a Russian first group
// (S only in the second), and still there after a round trip to "ru,us" and back to
// "us". The press is the physical key (its keycode), as a user's would be.
TEST_F(HotKeyDesktop, WinSSurvivesLayoutChanges) {
    using corvix::send::testing::setLayout;
    struct Restore {
        ~Restore() { setLayout("us"); }
    } restore;
    ASSERT_TRUE(setLayout("ru,us"));
    desk = corvix::desktop::openX11Desktop();  // started under that layout
    HotKeyManager hk;
    int posted = 0;
    hk.Init(desk.get(), [&] { ++posted; });
    hk.AddKey("WinS");
    hk.Activate();
    EXPECT_TRUE(hk.FAILEDKEYQ.empty());
    EXPECT_TRUE(pressWinS(hk, posted)) << "ru,us from the start";
    for (const char* layouts : {"us", "ru,us", "us"}) {
        ASSERT_TRUE(setLayout(layouts));
        std::this_thread::sleep_for(200ms);
        desk->pollHotKeys();
        posted = 0;
        EXPECT_TRUE(pressWinS(hk, posted)) << "after switching to " << layouts;
    }
    hk.Kill();
}

}  // namespace
