#include "platform/desktop/x11_desktop.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include <unistd.h>

#include "platform/desktop/atspi_client.h"
#include "platform/desktop/us_layout.h"
#include "platform/desktop/utf8.h"
#include "platform/desktop/virtual_keys.h"
#include "target_process.h"
#include "wm_sync.h"

namespace corvix::desktop {
namespace {

using namespace std::chrono_literals;
using testing::TargetProcess;

// The key events the sending code makes for a text: the layout's key with its
// modifiers, or the spare-keycode path for characters the layout lacks.
void typeText(Desktop& d, std::u32string_view text) {
    for (char32_t ch : text) {
        KeyForChar k = d.keyForChar(ch);
        if (!k.found) {
            EXPECT_TRUE(d.typeUnmappedChar(ch)) << "U+" << std::hex << static_cast<unsigned>(ch);
            continue;
        }
        if (k.shift) d.keyDown(vk::kShift);
        if (k.ctrl) d.keyDown(vk::kControl);
        if (k.alt) d.keyDown(vk::kMenu);
        d.keyDown(k.virtualKey);
        d.keyUp(k.virtualKey);
        if (k.shift) d.keyUp(vk::kShift);
        if (k.ctrl) d.keyUp(vk::kControl);
        if (k.alt) d.keyUp(vk::kMenu);
    }
    d.flush();
}

void tap(Desktop& d, uint8_t key) {
    d.keyDown(key);
    d.keyUp(key);
    d.flush();
}

class X11DesktopTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display) GTEST_SKIP() << "needs an X display (scripts/test starts one)";
        // ctest may run several of these at once; focus and typing need the display alone.
        lock_ = std::make_unique<testing::DisplayLock>();
        std::string reason;
        desktop_ = X11Desktop::open(&reason);
        ASSERT_NE(desktop_, nullptr) << reason;
        if (desktop_->windowManagerRunning()) {
            ASSERT_TRUE(testing::waitForWindowManager(30s)) << "the window manager is stuck";
        }
    }

    void TearDown() override {
        if (desktop_ && desktop_->capsLockOn()) tap(*desktop_, vk::kCapital);
    }

    // Starts a target window, waits for it and gives it the focus.
    WindowHandle startTarget(TargetProcess& target) {
        EXPECT_TRUE(target.started());
        WindowHandle w = target.waitForWindow(*desktop_, 15s);
        EXPECT_NE(w, 0u) << "the target window did not appear";
        if (w) {
            EXPECT_TRUE(desktop_->activate(w));
            std::this_thread::sleep_for(200ms);  // let the line edit take the focus
        }
        return w;
    }

    std::unique_ptr<testing::DisplayLock> lock_;
    std::unique_ptr<X11Desktop> desktop_;
};

TEST_F(X11DesktopTest, OpensWithoutDisplayNameFailsCleanly) {
    const std::string saved = std::getenv("DISPLAY");
    setenv("DISPLAY", ":999", 1);
    std::string reason;
    EXPECT_EQ(openX11Desktop(&reason), nullptr);
    EXPECT_NE(reason.find(":999"), std::string::npos) << reason;
    setenv("DISPLAY", saved.c_str(), 1);
}

TEST_F(X11DesktopTest, TopWindowsListTitlesClassesAndStackingOrder) {
    TargetProcess a("Corvix Target A");
    WindowHandle wa = startTarget(a);
    TargetProcess b("Corvix Target B");
    WindowHandle wb = startTarget(b);
    ASSERT_TRUE(wa && wb);

    auto indexOf = [&](WindowHandle h) {
        auto wins = desktop_->topWindows();
        for (size_t i = 0; i < wins.size(); ++i) {
            if (wins[i].handle == h) return static_cast<int>(i);
        }
        return -1;
    };
    auto wins = desktop_->topWindows();
    auto it =
        std::find_if(wins.begin(), wins.end(), [&](const WindowInfo& w) { return w.handle == wa; });
    ASSERT_NE(it, wins.end());
    EXPECT_EQ(it->title, a.title());
    EXPECT_EQ(it->className, "corvix-desktop-target");
    for (const auto& w : wins) EXPECT_FALSE(w.title.empty());

    EXPECT_LT(indexOf(wb), indexOf(wa));  // b was activated last: on top
    ASSERT_TRUE(desktop_->activate(wa));
    EXPECT_EQ(desktop_->foregroundWindow(), wa);
    EXPECT_LT(indexOf(wa), indexOf(wb));
    ASSERT_TRUE(desktop_->activate(wb));
    EXPECT_EQ(desktop_->foregroundWindow(), wb);
    EXPECT_LT(indexOf(wb), indexOf(wa));
    EXPECT_TRUE(desktop_->windowManagerRunning());
}

TEST_F(X11DesktopTest, WindowTextsReachTheAccessibleLabel) {
    TargetProcess t("Corvix Target Texts");
    WindowHandle w = startTarget(t);
    ASSERT_NE(w, 0u);
    // Qt draws its widgets itself: the label is only reachable through accessibility.
    std::vector<std::string> texts;
    for (int i = 0; i < 20; ++i) {
        texts = desktop_->windowTexts(w);
        if (std::find(texts.begin(), texts.end(), "Password:") != texts.end()) break;
        std::this_thread::sleep_for(250ms);
    }
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Password:"), texts.end());
    auto accessible = desktop_->accessibleTexts(w);
    EXPECT_NE(std::find(accessible.begin(), accessible.end(), "Password:"), accessible.end());
    // The frame is found by its title alone too (process unknown).
    AtspiLookup byTitle = atspiWindowTexts(0, t.title());
    EXPECT_TRUE(byTitle.ran);
    EXPECT_NE(std::find(byTitle.texts.begin(), byTitle.texts.end(), "Password:"),
              byTitle.texts.end());
    EXPECT_TRUE(atspiWindowTexts(0, t.title() + " (another)").texts.empty());

    // The edit's contents are texts of the window too.
    typeText(*desktop_, U"swordfish");
    ASSERT_EQ(t.waitForText("swordfish", 5s), "swordfish");
    texts = desktop_->windowTexts(w);
    EXPECT_NE(std::find(texts.begin(), texts.end(), "swordfish"), texts.end());
}

// A lookup that could not use the accessibility bus is not tried again for the same
// window at once: a helper that always fails, and counts its starts, runs once for three
// questions in a row, and again for a window it was not asked about.
TEST_F(X11DesktopTest, FailedTextLookupIsNotRepeatedForTheSameWindow) {
    TargetProcess first("Corvix Target Lookup One"), second("Corvix Target Lookup Two");
    const WindowHandle one = startTarget(first), two = startTarget(second);
    ASSERT_NE(one, 0u);
    ASSERT_NE(two, 0u);
    char dir[] = "/tmp/corvix-lookup.XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string helper = std::string(dir) + "/helper", starts = std::string(dir) + "/starts";
    std::ofstream(helper) << "#!/bin/sh\necho started >> '" << starts << "'\nexit 3\n";
    ASSERT_EQ(chmod(helper.c_str(), 0755), 0);
    setenv("CORVIX_ATSPI_TEXTS", helper.c_str(), 1);
    auto countStarts = [&] {
        std::ifstream in(starts);
        return static_cast<int>(
            std::count(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), '\n'));
    };
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(desktop_->accessibleTexts(one).empty());
    const int afterOne = countStarts();
    desktop_->accessibleTexts(two);
    const int afterTwo = countStarts();
    unsetenv("CORVIX_ATSPI_TEXTS");
    std::filesystem::remove_all(dir);
    EXPECT_EQ(afterOne, 1);
    EXPECT_EQ(afterTwo, 2);
}

// GTK draws without child windows too; its label and entry come through accessibility.
TEST_F(X11DesktopTest, WindowTextsOfAGtkDialog) {
    const std::string title = "Corvix GTK Logon " + std::to_string(getpid());
    testing::ChildProcess dialog({testing::programDir() + "/corvix-gtk-dialog", title, "alice"},
                                 {});
    ASSERT_TRUE(dialog.started());
    WindowHandle w = 0;
    for (int i = 0; i < 150 && !w; ++i) {
        for (const auto& info : desktop_->topWindows()) {
            if (info.title == title) w = info.handle;
        }
        if (!w) std::this_thread::sleep_for(100ms);
    }
    ASSERT_NE(w, 0u) << "the GTK dialog did not appear";
    std::vector<std::string> texts;
    for (int i = 0; i < 20; ++i) {
        texts = desktop_->windowTexts(w);
        if (std::find(texts.begin(), texts.end(), "alice") != texts.end()) break;
        std::this_thread::sleep_for(250ms);
    }
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Password:"), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "alice"), texts.end());
}

TEST_F(X11DesktopTest, TypesShiftedSymbolsAndCharactersTheLayoutLacks) {
    TargetProcess t("Corvix Target Typing");
    WindowHandle w = startTarget(t);
    ASSERT_NE(w, 0u);
    ASSERT_EQ(desktop_->foregroundWindow(), w);
    EXPECT_FALSE(desktop_->keyForChar(U'é').found);
    EXPECT_FALSE(desktop_->keyForChar(U'€').found);

    const std::u32string text = U"Ab1!@# é€ß";
    typeText(*desktop_, text);
    EXPECT_EQ(t.waitForText(toUtf8(text), 5s), toUtf8(text));
    EXPECT_GT(desktop_->borrowedKeycodes(), 0u);

    // Mouse-button codes send nothing; the text goes on unharmed.
    for (uint8_t v : {vk::kLButton, vk::kRButton, vk::kMButton, vk::kXButton1, vk::kXButton2}) {
        tap(*desktop_, v);
    }
    typeText(*desktop_, U"ü\U0001F511z");
    const std::string all = toUtf8(text + U"ü\U0001F511z");
    EXPECT_EQ(t.waitForText(all, 5s), all);

    desktop_->restoreKeymap();
    EXPECT_EQ(desktop_->borrowedKeycodes(), 0u);
    // The same characters once more: spares are taken again.
    typeText(*desktop_, U"é");
    EXPECT_EQ(t.waitForText(all + "é", 5s), all + "é");
}

TEST_F(X11DesktopTest, ManyDistinctUnmappedCharactersReuseSparesWithoutLoss) {
    TargetProcess t("Corvix Target Spares");
    WindowHandle w = startTarget(t);
    ASSERT_NE(w, 0u);
    // More distinct characters than there are spare keycodes: spares are recycled.
    std::u32string text;
    for (char32_t ch = 0x0400; text.size() < desktop_->spareKeycodes() + 8; ++ch) {
        if (!desktop_->keyForChar(ch).found) text += ch;
    }
    typeText(*desktop_, text);
    EXPECT_EQ(t.waitForText(toUtf8(text), 15s), toUtf8(text));
}

TEST_F(X11DesktopTest, KeyForCharAgreesWithUsLayoutForAscii) {
    // Xvfb starts with the US layout: every printable ASCII character has the key and
    // Shift state a US keyboard has.
    for (char32_t ch = 0x20; ch < 0x7F; ++ch) {
        KeyForChar x = desktop_->keyForChar(ch);
        KeyForChar us = usKeyForChar(ch);
        ASSERT_TRUE(x.found) << static_cast<char>(ch);
        EXPECT_EQ(x.virtualKey, us.virtualKey) << static_cast<char>(ch);
        EXPECT_EQ(x.shift, us.shift) << static_cast<char>(ch);
        EXPECT_FALSE(x.ctrl || x.alt);
    }
    EXPECT_EQ(desktop_->keyForChar(U'\t').virtualKey, vk::kTab);
    EXPECT_EQ(desktop_->keyForChar(U'\n').virtualKey, vk::kReturn);
    EXPECT_FALSE(desktop_->keyForChar(U'\x01').found);
}

TEST_F(X11DesktopTest, CapsLockStateFollowsTheKey) {
    TargetProcess t("Corvix Target Caps");
    WindowHandle w = startTarget(t);
    ASSERT_NE(w, 0u);
    ASSERT_FALSE(desktop_->capsLockOn());
    tap(*desktop_, vk::kCapital);
    EXPECT_TRUE(desktop_->capsLockOn());
    typeText(*desktop_, U"ab");  // plain letter keys with Caps Lock on
    EXPECT_EQ(t.waitForText("AB", 5s), "AB");
    tap(*desktop_, vk::kCapital);
    EXPECT_FALSE(desktop_->capsLockOn());
    typeText(*desktop_, U"c");
    EXPECT_EQ(t.waitForText("ABc", 5s), "ABc");
}

TEST_F(X11DesktopTest, UnknownWindowsAreHandledQuietly) {
    const WindowHandle bogus = 0x3fffff0;
    EXPECT_FALSE(desktop_->windowExists(bogus));
    EXPECT_FALSE(desktop_->windowExists(0));
    EXPECT_FALSE(desktop_->activate(bogus));
    EXPECT_TRUE(desktop_->windowTexts(bogus).empty());
}

class X11HotKeyTest : public X11DesktopTest {
  protected:
    // Presses Win+S from another process, as a user's keyboard would, and polls.
    int pressAndCount(int expectedId, const std::string& keys = "super+s") {
        EXPECT_EQ(testing::runProgram({"xdotool", "key", keys}), 0);
        int hits = 0;
        desktop_->setHotKeyCallback([&](int id) { hits += id == expectedId ? 1 : 100; });
        for (int i = 0; i < 100 && hits == 0; ++i) {
            desktop_->pollHotKeys();
            std::this_thread::sleep_for(20ms);
        }
        return hits;
    }
};

TEST_F(X11HotKeyTest, WinSArrivesAlsoWithNumLockAndCapsLock) {
    ASSERT_TRUE(desktop_->registerHotKey(1, Desktop::kModWin, 'S'));
    EXPECT_GE(desktop_->eventFd(), 0);
    EXPECT_EQ(pressAndCount(1), 1);

    tap(*desktop_, vk::kNumLock);
    EXPECT_EQ(pressAndCount(1), 1);
    tap(*desktop_, vk::kNumLock);

    tap(*desktop_, vk::kCapital);
    ASSERT_TRUE(desktop_->capsLockOn());
    EXPECT_EQ(pressAndCount(1), 1);
    tap(*desktop_, vk::kCapital);

    desktop_->unregisterHotKey(1);
    EXPECT_EQ(testing::runProgram({"xdotool", "key", "super+s"}), 0);
    int hits = 0;
    desktop_->setHotKeyCallback([&](int) { ++hits; });
    for (int i = 0; i < 10; ++i) {
        desktop_->pollHotKeys();
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(hits, 0);
}

TEST_F(X11HotKeyTest, ACombinationHeldElsewhereCannotBeRegistered) {
    ASSERT_TRUE(desktop_->registerHotKey(1, Desktop::kModWin, 'S'));
    // The same program under another id: one owner per combination.
    EXPECT_FALSE(desktop_->registerHotKey(2, Desktop::kModWin, 'S'));

    auto other = X11Desktop::open();
    ASSERT_NE(other, nullptr);
    EXPECT_FALSE(other->registerHotKey(1, Desktop::kModWin, 'S'));
    EXPECT_TRUE(other->registerHotKey(2, Desktop::kModWin | Desktop::kModShift, 'S'));

    desktop_->unregisterHotKey(1);
    EXPECT_TRUE(other->registerHotKey(1, Desktop::kModWin, 'S'));
    EXPECT_FALSE(desktop_->registerHotKey(1, Desktop::kModWin, 'S'));
    other.reset();  // its grabs go with its connection
    EXPECT_TRUE(desktop_->registerHotKey(1, Desktop::kModWin, 'S'));
}

TEST_F(X11HotKeyTest, KeypadAndFunctionKeysCanBeHotKeys) {
    // Keypad 5 carries its digit only with Num Lock; F12 is plain.
    ASSERT_TRUE(
        desktop_->registerHotKey(1, Desktop::kModControl | Desktop::kModAlt, vk::kNumpad0 + 5));
    ASSERT_TRUE(desktop_->registerHotKey(2, Desktop::kModShift, vk::kF1 + 11));
    EXPECT_EQ(pressAndCount(1, "ctrl+alt+KP_Begin"), 1);
    EXPECT_EQ(pressAndCount(2, "shift+F12"), 1);
    desktop_->unregisterHotKey(1);
    desktop_->unregisterHotKey(2);
}

TEST_F(X11HotKeyTest, BadRegistrationsAreRefused) {
    EXPECT_FALSE(desktop_->registerHotKey(1, Desktop::kModWin, 0));
    EXPECT_FALSE(desktop_->registerHotKey(1, 0x10, 'S'));
    EXPECT_FALSE(desktop_->registerHotKey(1, Desktop::kModWin, vk::kLButton));
}

}  // namespace
}  // namespace corvix::desktop
