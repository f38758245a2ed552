#include "app/hotkeys.h"

#include <gtest/gtest.h>

#include "platform/desktop/simulated_desktop.h"

namespace corvix::app {
namespace {

using desktop::Desktop;

class RecordingManager : public HotKeyManager {
  public:
    void KeyPressed(const std::string& name, int id) override { pressed.push_back({id, name}); }
    void BadKey(const std::string& name) override { bad.push_back(name); }
    std::vector<KeyEntry> pressed;
    std::vector<std::string> bad;
};

class HotKeyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        hk.Init(&desk, [this] { ++posted; });
    }
    desktop::SimulatedDesktop desk;
    RecordingManager hk;
    int posted = 0;
};

TEST_F(HotKeyTest, NamesParseWithTheHotKeyModifierBits) {
    EXPECT_EQ(hk.TRNQ.size(), 92u);
    EXPECT_EQ(hk.ParseHotKey("WinS"), 2048u + 83);
    EXPECT_EQ(hk.ParseHotKey("Shift+F1"), 1024u + 112);
    EXPECT_EQ(hk.ParseHotKey("+F1"), 1024u + 112);
    EXPECT_EQ(hk.ParseHotKey("ShiftF1"), 1024u + 112);
    EXPECT_EQ(hk.ParseHotKey("%a"), 256u + 65);
    EXPECT_EQ(hk.ParseHotKey("AltA"), 256u + 65);
    EXPECT_EQ(hk.ParseHotKey("^a"), 512u + 65);
    EXPECT_EQ(hk.ParseHotKey("*a"), 2048u + 65);
    EXPECT_EQ(hk.ParseHotKey("Ctrl-KeyF2"), 512u + 113);
    EXPECT_EQ(hk.ParseHotKey("Print"), 44u);       // the table's first "Print" only
    EXPECT_EQ(hk.ParseHotKey("PrintScreen"), 0u);  // beyond "Pad9"
    EXPECT_EQ(hk.ParseHotKey("LWin"), 0u);
    EXPECT_EQ(hk.ParseHotKey("Pad9"), 105u);
    EXPECT_EQ(hk.ParseHotKey("nonsense"), 0u);
}

TEST_F(HotKeyTest, ActiveKeysAreRegisteredWithTheirModifiers) {
    hk.AddKey("ShiftF1");
    EXPECT_TRUE(desk.hotKeys().empty());  // not active yet
    EXPECT_EQ(hk.KEYSREGISTERED, 0);
    hk.Activate();
    EXPECT_EQ(hk.ACTIVE, 1);
    EXPECT_EQ(hk.KEYSREGISTERED, 1);
    auto keys = desk.hotKeys();
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[1], std::make_pair(unsigned(Desktop::kModShift), uint8_t(112)));
}

TEST_F(HotKeyTest, TheSameKeyTwiceIsRegisteredOnce) {
    hk.Activate();
    hk.AddKey("WinS");
    hk.AddKey("winS");
    hk.AddKey("*s");
    ASSERT_EQ(hk.KEYQ.size(), 1u);
    EXPECT_EQ(hk.KEYQ[0].KEY, "WinS");
    EXPECT_EQ(desk.hotKeys().size(), 1u);
    EXPECT_TRUE(hk.FAILEDKEYQ.empty());
}

TEST_F(HotKeyTest, IdentifiersFollowAscendingCodes) {
    hk.Activate();
    hk.AddKey("WinS");     // 2131
    hk.AddKey("ShiftF1");  // 1136: goes first, WinS moves to identifier 2
    ASSERT_EQ(hk.KEYQ.size(), 2u);
    EXPECT_EQ(hk.KEYQ[0].ID, 1136);
    EXPECT_EQ(hk.KEYQ[1].ID, 2131);
    auto keys = desk.hotKeys();
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[1], std::make_pair(unsigned(Desktop::kModShift), uint8_t(112)));
    EXPECT_EQ(keys[2], std::make_pair(unsigned(Desktop::kModWin), uint8_t(83)));
}

TEST_F(HotKeyTest, AKeyHeldElsewhereFailsSilentlyAndOthersStillWork) {
    desk.holdHotKeyElsewhere(Desktop::kModWin, 83);
    hk.AddKey("WinS");
    hk.AddKey("^%F12");
    hk.Activate();
    ASSERT_EQ(hk.FAILEDKEYQ.size(), 1u);
    EXPECT_EQ(hk.FAILEDKEYQ[0].KEY, "WinS");
    auto keys = desk.hotKeys();
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys.begin()->second,
              std::make_pair(unsigned(Desktop::kModControl | Desktop::kModAlt), uint8_t(123)));
    EXPECT_FALSE(desk.pressHotKey(Desktop::kModWin, 83));
}

TEST_F(HotKeyTest, BadNamesGoToBadKeyOnly) {
    hk.Activate();
    hk.AddKey("WinS");
    hk.AddKey("Hyper");
    ASSERT_EQ(hk.bad.size(), 1u);
    EXPECT_EQ(hk.bad[0], "Hyper");
    EXPECT_EQ(hk.KEYQ.size(), 1u);
}

TEST_F(HotKeyTest, APressIsQueuedAndAnnouncedAsEvent1810) {
    hk.AddKey("WinS");
    hk.Activate();
    ASSERT_TRUE(desk.pressHotKey(Desktop::kModWin, 83));
    ASSERT_TRUE(desk.pressHotKey(Desktop::kModWin, 83));
    desk.pollHotKeys();
    EXPECT_EQ(posted, 2);
    ASSERT_EQ(hk.pressed.size(), 2u);
    EXPECT_EQ(hk.pressed[0], (HotKeyManager::KeyEntry{1, "WinS"}));
    ASSERT_EQ(hk.PRESSEDKEYQ.size(), 2u);

    HotKeyManager::KeyEntry taken;
    ASSERT_TRUE(hk.TakePressedKey(taken));
    EXPECT_EQ(taken.ID, int32_t(2048 + 83));
    EXPECT_EQ(taken.KEY, "WinS");
    EXPECT_EQ(hk.PRESSEDKEYQ.size(), 1u);
    ASSERT_TRUE(hk.TakePressedKey(taken));
    EXPECT_FALSE(hk.TakePressedKey(taken));
}

TEST_F(HotKeyTest, AnUnknownIdentifierIsQueuedWithCodeZero) {
    hk.HotKeyMessage(7);
    ASSERT_EQ(hk.PRESSEDKEYQ.size(), 1u);
    EXPECT_EQ(hk.PRESSEDKEYQ[0].ID, 0);
    EXPECT_EQ(hk.PRESSEDKEYQ[0].KEY, "7");
    EXPECT_EQ(posted, 1);
}

TEST_F(HotKeyTest, DeactivateAndKillReleaseTheKeys) {
    hk.AddKey("WinS");
    hk.Activate();
    hk.Deactivate();
    EXPECT_TRUE(desk.hotKeys().empty());
    EXPECT_EQ(hk.KEYSREGISTERED, 0);
    EXPECT_EQ(hk.ACTIVE, 0);
    hk.Activate();
    EXPECT_EQ(desk.hotKeys().size(), 1u);
    hk.Kill();
    EXPECT_TRUE(desk.hotKeys().empty());
    EXPECT_TRUE(hk.KEYQ.empty());
    hk.HotKeyMessage(1);  // a late message after Kill posts nothing
    EXPECT_EQ(posted, 0);
}

}  // namespace
}  // namespace corvix::app
