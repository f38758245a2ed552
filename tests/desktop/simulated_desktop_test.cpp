#include "platform/desktop/simulated_desktop.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/desktop/virtual_keys.h"

namespace corvix::desktop {
namespace {

using Kind = SimulatedDesktop::Event::Kind;

// Types a character the way the sending code does: lookup, Shift around the key.
void typeChar(SimulatedDesktop& d, char32_t ch) {
    KeyForChar k = d.keyForChar(ch);
    if (!k.found) {
        d.typeUnmappedChar(ch);
        return;
    }
    if (k.shift) d.keyDown(vk::kShift);
    d.keyDown(k.virtualKey);
    d.keyUp(k.virtualKey);
    if (k.shift) d.keyUp(vk::kShift);
}

void typeText(SimulatedDesktop& d, std::u32string_view text) {
    for (char32_t ch : text) typeChar(d, ch);
}

TEST(SimulatedWindows, StackingOrderTopFirstAndRaise) {
    SimulatedDesktop d;
    WindowHandle a = d.addWindow("Alpha", "ClassA");
    WindowHandle b = d.addWindow("Beta", "ClassB");
    WindowHandle c = d.addWindowAtBottom("Gamma");
    auto wins = d.topWindows();
    ASSERT_EQ(wins.size(), 3u);
    EXPECT_EQ(wins[0].handle, b);
    EXPECT_EQ(wins[0].title, "Beta");
    EXPECT_EQ(wins[0].className, "ClassB");
    EXPECT_EQ(wins[1].handle, a);
    EXPECT_EQ(wins[2].handle, c);
    EXPECT_NE(a, 0u);
    EXPECT_NE(a, b);

    EXPECT_TRUE(d.activate(c));
    EXPECT_EQ(d.topWindows()[0].handle, c);
    EXPECT_EQ(d.foregroundWindow(), c);
    EXPECT_EQ(d.activations(), std::vector<WindowHandle>{c});
}

TEST(SimulatedWindows, CloseRenameAndTexts) {
    SimulatedDesktop d;
    WindowHandle a = d.addWindow("Logon", "Dlg", {"Password:", "OK"});
    EXPECT_EQ(d.windowTexts(a), (std::vector<std::string>{"Password:", "OK"}));
    EXPECT_TRUE(d.setTitle(a, "Untitled - Notepad"));
    EXPECT_EQ(d.topWindows()[0].title, "Untitled - Notepad");
    EXPECT_TRUE(d.setTexts(a, {}));
    EXPECT_TRUE(d.windowTexts(a).empty());

    d.setForeground(a);
    EXPECT_TRUE(d.closeWindow(a));
    EXPECT_FALSE(d.windowExists(a));
    EXPECT_EQ(d.foregroundWindow(), 0u);  // the focus went with the window
    EXPECT_FALSE(d.closeWindow(a));
    EXPECT_FALSE(d.setTitle(a, "x"));
    EXPECT_TRUE(d.windowTexts(a).empty());
    EXPECT_TRUE(d.topWindows().empty());
}

TEST(SimulatedWindows, UntitledWindowsAreNotListedButExist) {
    SimulatedDesktop d;
    WindowHandle blank = d.addWindow("", "Frame");
    WindowHandle named = d.addWindow("Named");
    ASSERT_EQ(d.topWindows().size(), 1u);
    EXPECT_EQ(d.topWindows()[0].handle, named);
    EXPECT_TRUE(d.windowExists(blank));
    d.setTitle(blank, "Now titled");
    EXPECT_EQ(d.topWindows().size(), 2u);
}

TEST(SimulatedWindows, ActivationCanFail) {
    SimulatedDesktop d;
    WindowHandle a = d.addWindow("A");
    WindowHandle b = d.addWindow("B");
    d.setForeground(a);
    d.setActivatable(b, false);
    EXPECT_FALSE(d.activate(b));
    EXPECT_EQ(d.foregroundWindow(), a);
    EXPECT_FALSE(d.activate(0xdead));
    EXPECT_EQ(d.activations().size(), 2u);
}

TEST(SimulatedKeyboard, ShiftedLetterTrace) {
    // Ab1 as the sending code types it: Shift down, A down, A up, Shift up, B, 1.
    SimulatedDesktop d;
    WindowHandle w = d.addWindow("Target");
    d.activate(w);
    typeText(d, U"Ab1");
    EXPECT_EQ(d.keyTrace(), "+16 +65 -65 -16 +66 -66 +49 -49");
    EXPECT_EQ(d.receivedText(w), "Ab1");
    for (const auto& e : d.events()) EXPECT_EQ(e.target, w);
    EXPECT_TRUE(d.keysDown().empty());
}

TEST(SimulatedKeyboard, UsLayoutSymbolsArriveExactly) {
    SimulatedDesktop d;
    WindowHandle w = d.addWindow("Target");
    d.activate(w);
    const std::u32string all = U"abcXYZ 0123456789 !@#$%^&*() -_=+[{]}\\|;:'\",<.>/?`~";
    typeText(d, all);
    EXPECT_EQ(d.receivedText(w), "abcXYZ 0123456789 !@#$%^&*() -_=+[{]}\\|;:'\",<.>/?`~");
    EXPECT_TRUE(d.unmappedChars().empty());
}

TEST(SimulatedKeyboard, CapsLockTogglesAndInvertsLetterCase) {
    SimulatedDesktop d;
    WindowHandle w = d.addWindow("Target");
    d.activate(w);
    EXPECT_FALSE(d.capsLockOn());
    d.keyDown(vk::kCapital);
    d.keyUp(vk::kCapital);
    EXPECT_TRUE(d.capsLockOn());
    typeText(d, U"Ab1!");  // Caps on: Shift+A gives a, b gives B; digits are untouched
    EXPECT_EQ(d.receivedText(w), "aB1!");
    d.keyDown(vk::kCapital);
    d.keyUp(vk::kCapital);
    EXPECT_FALSE(d.capsLockOn());
    d.setCapsLock(true);
    EXPECT_TRUE(d.capsLockOn());
}

TEST(SimulatedKeyboard, EditingKeysAndShortcuts) {
    SimulatedDesktop d;
    WindowHandle w = d.addWindow("Target");
    d.activate(w);
    typeText(d, U"ab");
    d.keyDown(vk::kBack);
    d.keyUp(vk::kBack);
    d.keyDown(vk::kTab);
    d.keyUp(vk::kTab);
    d.keyDown(vk::kReturn);
    d.keyUp(vk::kReturn);
    d.keyDown(vk::kControl);
    d.keyDown('C');
    d.keyUp('C');
    d.keyUp(vk::kControl);
    d.keyDown(vk::kLWin);
    d.keyDown(vk::kShift);
    d.keyDown('R');
    d.keyUp('R');
    d.keyUp(vk::kShift);
    d.keyUp(vk::kLWin);
    EXPECT_EQ(d.receivedText(w), "a\t\n");
    EXPECT_EQ(d.shortcuts(w), (std::vector<std::string>{"Ctrl+C", "Win+Shift+R"}));
}

TEST(SimulatedKeyboard, KeysWithoutFocusAreRecordedButGoNowhere) {
    SimulatedDesktop d;
    WindowHandle w = d.addWindow("Target");
    typeText(d, U"x");
    EXPECT_EQ(d.keyTrace(), "+88 -88");
    EXPECT_EQ(d.events()[0].target, 0u);
    EXPECT_EQ(d.receivedText(w), "");
}

TEST(SimulatedKeyboard, MouseAndEmptyKeysTypeNothing) {
    SimulatedDesktop d;
    WindowHandle w = d.addWindow("Target");
    d.activate(w);
    for (uint8_t v : {uint8_t{1}, uint8_t{2}, uint8_t{4}, uint8_t{5}, uint8_t{6}, uint8_t{0}}) {
        d.keyDown(v);
        d.keyUp(v);
    }
    EXPECT_EQ(d.events().size(), 12u);
    EXPECT_EQ(d.receivedText(w), "");
    EXPECT_TRUE(d.keysDown().empty());
}

TEST(SimulatedKeyboard, UnmappedCharactersAreTypedAndRecorded) {
    SimulatedDesktop d;
    WindowHandle w = d.addWindow("Target");
    d.activate(w);
    typeText(d, U"Ab1!@# é€ß");
    EXPECT_EQ(d.receivedText(w), "Ab1!@# é€ß");
    EXPECT_EQ(d.unmappedChars(), U"é€ß");
    ASSERT_FALSE(d.events().empty());
    EXPECT_EQ(d.events().back().kind, Kind::UnmappedChar);
    EXPECT_EQ(d.events().back().ch, U'ß');

    d.setCanTypeUnmapped(false);
    EXPECT_FALSE(d.typeUnmappedChar(U'ü'));
    EXPECT_EQ(d.receivedText(w), "Ab1!@# é€ß");
}

TEST(SimulatedKeyboard, KeyForCharFollowsUsLayout) {
    SimulatedDesktop d;
    KeyForChar a = d.keyForChar(U'a');
    EXPECT_TRUE(a.found);
    EXPECT_EQ(a.virtualKey, 'A');
    EXPECT_FALSE(a.shift);
    KeyForChar at = d.keyForChar(U'@');
    EXPECT_TRUE(at.found);
    EXPECT_EQ(at.virtualKey, '2');
    EXPECT_TRUE(at.shift);
    KeyForChar quote = d.keyForChar(U'"');
    EXPECT_EQ(quote.virtualKey, vk::kOem7);
    EXPECT_TRUE(quote.shift);
    EXPECT_FALSE(d.keyForChar(U'é').found);
    EXPECT_FALSE(d.keyForChar(U'\x01').found);
    EXPECT_EQ(d.keyForChar(U' ').virtualKey, vk::kSpace);
    EXPECT_EQ(d.keyForChar(U'\t').virtualKey, vk::kTab);
    EXPECT_EQ(d.keyForChar(U'/').virtualKey, vk::kOem2);  // main keyboard, not the keypad
}

TEST(SimulatedHotKeys, RegisterPressAndPoll) {
    SimulatedDesktop d;
    std::vector<int> got;
    d.setHotKeyCallback([&](int id) { got.push_back(id); });
    ASSERT_TRUE(d.registerHotKey(1, Desktop::kModWin, 'S'));
    EXPECT_TRUE(d.pressHotKey(Desktop::kModWin, 'S'));
    EXPECT_FALSE(d.pressHotKey(Desktop::kModWin | Desktop::kModShift, 'S'));
    EXPECT_FALSE(d.pressHotKey(0, 'S'));
    EXPECT_TRUE(got.empty());  // delivered only from the event loop
    EXPECT_EQ(d.pendingHotKeys(), 1u);
    d.pollHotKeys();
    EXPECT_EQ(got, std::vector<int>{1});
    d.pollHotKeys();
    EXPECT_EQ(got.size(), 1u);

    d.unregisterHotKey(1);
    EXPECT_FALSE(d.pressHotKey(Desktop::kModWin, 'S'));
    EXPECT_TRUE(d.hotKeys().empty());
}

TEST(SimulatedHotKeys, HeldElsewhereOrTwiceFails) {
    SimulatedDesktop d;
    d.holdHotKeyElsewhere(Desktop::kModWin, 'S');
    EXPECT_FALSE(d.registerHotKey(1, Desktop::kModWin, 'S'));
    EXPECT_TRUE(d.registerHotKey(2, Desktop::kModControl | Desktop::kModShift, vk::kF1));
    EXPECT_FALSE(d.registerHotKey(3, Desktop::kModControl | Desktop::kModShift, vk::kF1));
    EXPECT_FALSE(d.registerHotKey(4, 0, 0));
    EXPECT_FALSE(d.registerHotKey(5, 0x10, 'A'));
    d.releaseHotKeyElsewhere(Desktop::kModWin, 'S');
    EXPECT_TRUE(d.registerHotKey(1, Desktop::kModWin, 'S'));
    EXPECT_EQ(d.hotKeys().size(), 2u);
    // Re-registering an id replaces its combination.
    EXPECT_TRUE(d.registerHotKey(1, Desktop::kModAlt, 'S'));
    EXPECT_FALSE(d.pressHotKey(Desktop::kModWin, 'S'));
    EXPECT_TRUE(d.pressHotKey(Desktop::kModAlt, 'S'));
}

TEST(SimulatedHotKeys, SyntheticKeyEventsTriggerTheHotKeyInsteadOfTyping) {
    SimulatedDesktop d;
    WindowHandle w = d.addWindow("Target");
    d.activate(w);
    int hits = 0;
    d.setHotKeyCallback([&](int id) { hits += id; });
    ASSERT_TRUE(d.registerHotKey(7, Desktop::kModWin, 'S'));
    d.keyDown(vk::kLWin);
    d.keyDown('S');
    d.keyUp('S');
    d.keyUp(vk::kLWin);
    d.pollHotKeys();
    EXPECT_EQ(hits, 7);
    EXPECT_TRUE(d.shortcuts(w).empty());
}

TEST(SimulatedHotKeys, CallbackMayReenter) {
    SimulatedDesktop d;
    ASSERT_TRUE(d.registerHotKey(1, Desktop::kModWin, 'S'));
    int calls = 0;
    d.setHotKeyCallback([&](int) {
        ++calls;
        d.pressHotKey(Desktop::kModWin, 'S');  // queued for the next poll, not this one
    });
    d.pressHotKey(Desktop::kModWin, 'S');
    d.pollHotKeys();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(d.pendingHotKeys(), 1u);
    EXPECT_EQ(d.eventFd(), -1);
}

TEST(CurrentDesktop, InstalledDesktopIsUsedAndResettable) {
    SimulatedDesktop d;
    setCurrentDesktop(&d);
    EXPECT_EQ(currentDesktop(), &d);
    SimulatedDesktop e;
    setCurrentDesktop(&e);
    EXPECT_EQ(currentDesktop(), &e);
    setCurrentDesktop(nullptr);
    EXPECT_NE(currentDesktop(), &e);
    setCurrentDesktop(nullptr);
}

TEST(CurrentDesktop, WithoutADisplayThereIsNone) {
    const char* display = std::getenv("DISPLAY");
    const std::string saved = display ? display : "";
    unsetenv("DISPLAY");
    setCurrentDesktop(nullptr);
    EXPECT_EQ(currentDesktop(), nullptr);
    EXPECT_EQ(currentDesktop(), nullptr);  // asked again: still none, no crash
    if (!saved.empty()) setenv("DISPLAY", saved.c_str(), 1);
    setCurrentDesktop(nullptr);
}

}  // namespace
}  // namespace corvix::desktop
