// The X11 backend on a server without a window manager: the root's children are the
// top-level windows, and activation raises and focuses a window itself.

// GoogleTest first: Xlib's None and Bool macros would break its headers.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstring>
#include <thread>

#include "platform/desktop/virtual_keys.h"
#include "platform/desktop/x11_desktop.h"
#include "private_display.h"

namespace corvix::desktop {
namespace {

using namespace std::chrono_literals;

class BareServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        display_ = std::make_unique<testing::PrivateDisplay>();
        if (!display_->ok()) GTEST_SKIP() << "Xvfb could not be started";
        dpy_ = XOpenDisplay(nullptr);
        ASSERT_NE(dpy_, nullptr);
        desktop_ = X11Desktop::open();
        ASSERT_NE(desktop_, nullptr);
    }
    void TearDown() override {
        desktop_.reset();
        if (dpy_) XCloseDisplay(dpy_);
        display_.reset();
    }

    // A top-level window with a Latin-1 WM_NAME or a UTF-8 _NET_WM_NAME, and a class.
    Window makeWindow(const char* title, const char* cls, bool utf8 = false, bool map = true) {
        Window w = XCreateSimpleWindow(dpy_, DefaultRootWindow(dpy_), 10, 10, 200, 100, 0, 0, 0);
        if (title && utf8) {
            XChangeProperty(dpy_, w, XInternAtom(dpy_, "_NET_WM_NAME", False),
                            XInternAtom(dpy_, "UTF8_STRING", False), 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(title),
                            static_cast<int>(std::strlen(title)));
        } else if (title) {
            XStoreName(dpy_, w, title);
        }
        if (cls) {
            XClassHint hint{const_cast<char*>("res"), const_cast<char*>(cls)};
            XSetClassHint(dpy_, w, &hint);
        }
        XSelectInput(dpy_, w, KeyPressMask);
        if (map) XMapWindow(dpy_, w);
        XSync(dpy_, False);
        return w;
    }

    // Key presses on `w` as keysyms (Shift left out), until `n` arrived or 5 s passed.
    std::vector<KeySym> readKeys(Window w, size_t n) {
        std::vector<KeySym> got;
        auto deadline = std::chrono::steady_clock::now() + 5s;
        while (got.size() < n && std::chrono::steady_clock::now() < deadline) {
            while (XPending(dpy_)) {
                XEvent ev;
                XNextEvent(dpy_, &ev);
                if (ev.type == MappingNotify) XRefreshKeyboardMapping(&ev.xmapping);
                if (ev.type != KeyPress || ev.xkey.window != w) continue;
                char buf[8];
                KeySym sym = NoSymbol;
                XLookupString(&ev.xkey, buf, sizeof buf, &sym, nullptr);
                if (sym != XK_Shift_L) got.push_back(sym);
            }
            std::this_thread::sleep_for(10ms);
        }
        return got;
    }

    std::vector<std::string> titles() {
        std::vector<std::string> out;
        for (const auto& w : desktop_->topWindows()) out.push_back(w.title);
        return out;
    }

    std::unique_ptr<testing::PrivateDisplay> display_;
    Display* dpy_ = nullptr;
    std::unique_ptr<X11Desktop> desktop_;
};

TEST_F(BareServerTest, RootChildrenInStackingOrderWithTitlesAndClasses) {
    EXPECT_FALSE(desktop_->windowManagerRunning());
    Window a = makeWindow("Alpha", "ClassA");
    makeWindow(nullptr, "Untitled");
    Window b = makeWindow(
        "Gr\xc3\xbc\xc3\x9f"
        "e",
        "ClassB", true);
    Window hidden = makeWindow("Hidden", "ClassH", false, false);

    auto wins = desktop_->topWindows();
    // Newest on top; the untitled window is left out; unmapped windows count too.
    EXPECT_EQ(titles(), (std::vector<std::string>{"Hidden", "Grüße", "Alpha"}));
    ASSERT_EQ(wins.size(), 3u);
    EXPECT_EQ(wins[0].handle, hidden);
    EXPECT_EQ(wins[1].handle, b);
    EXPECT_EQ(wins[1].className, "ClassB");
    EXPECT_EQ(wins[2].className, "ClassA");

    XRaiseWindow(dpy_, a);
    XSync(dpy_, False);
    EXPECT_EQ(desktop_->topWindows().front().handle, a);

    XDestroyWindow(dpy_, b);
    XSync(dpy_, False);
    EXPECT_FALSE(desktop_->windowExists(b));
    EXPECT_EQ(titles(), (std::vector<std::string>{"Alpha", "Hidden"}));
}

TEST_F(BareServerTest, ChildWindowTitlesAreWindowTexts) {
    Window dialog = makeWindow("Logon", "Dlg");
    Window label = XCreateSimpleWindow(dpy_, dialog, 0, 0, 50, 20, 0, 0, 0);
    XStoreName(dpy_, label, "Password:");
    Window inner = XCreateSimpleWindow(dpy_, label, 0, 0, 10, 10, 0, 0, 0);
    XStoreName(dpy_, inner, "OK");
    XSync(dpy_, False);
    EXPECT_EQ(desktop_->childWindowTexts(dialog), (std::vector<std::string>{"Password:", "OK"}));
    auto texts = desktop_->windowTexts(dialog);
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Password:"), texts.end());
}

TEST_F(BareServerTest, ActivationFocusesAndMapsAndKeysArrive) {
    Window a = makeWindow("Alpha", "ClassA");
    Window b = makeWindow("Beta", "ClassB", false, false);  // not mapped yet
    ASSERT_TRUE(desktop_->activate(a));
    EXPECT_EQ(desktop_->foregroundWindow(), a);
    ASSERT_TRUE(desktop_->activate(b));  // maps and raises it
    EXPECT_EQ(desktop_->foregroundWindow(), b);
    EXPECT_EQ(desktop_->topWindows().front().handle, b);

    // "H!é": Shift for H and !, the spare keycode for é.
    for (char32_t ch : std::u32string(U"H!é")) {
        KeyForChar k = desktop_->keyForChar(ch);
        if (!k.found) {
            ASSERT_TRUE(desktop_->typeUnmappedChar(ch));
            continue;
        }
        if (k.shift) desktop_->keyDown(vk::kShift);
        desktop_->keyDown(k.virtualKey);
        desktop_->keyUp(k.virtualKey);
        if (k.shift) desktop_->keyUp(vk::kShift);
    }
    desktop_->flush();

    EXPECT_EQ(readKeys(b, 3), (std::vector<KeySym>{XK_H, XK_exclam, XK_eacute}));
}

// Another program takes back the keycode a character was lent (a new layout, say): the
// character is given a keycode again instead of pressing the other program's key.
TEST_F(BareServerTest, ASpareTakenBackByAnotherProgramIsNotPressed) {
    Window w = makeWindow("Target", "T");
    ASSERT_TRUE(desktop_->activate(w));
    ASSERT_TRUE(desktop_->typeUnmappedChar(U'é'));
    desktop_->flush();
    ASSERT_EQ(readKeys(w, 1), std::vector<KeySym>{XK_eacute});

    int minKc = 0, maxKc = 0, per = 0;
    XDisplayKeycodes(dpy_, &minKc, &maxKc);
    KeySym* map = XGetKeyboardMapping(dpy_, static_cast<KeyCode>(minKc), maxKc - minKc + 1, &per);
    int lent = 0;
    for (int kc = minKc; kc <= maxKc && !lent; ++kc) {
        if (map[(kc - minKc) * per] == XK_eacute) lent = kc;
    }
    XFree(map);
    ASSERT_NE(lent, 0);
    std::vector<KeySym> row(static_cast<size_t>(per), NoSymbol);
    row[0] = XK_F20;
    XChangeKeyboardMapping(dpy_, lent, per, row.data(), 1);
    XSync(dpy_, False);
    std::this_thread::sleep_for(200ms);  // the notice reaches the desktop's connection

    ASSERT_TRUE(desktop_->typeUnmappedChar(U'é'));
    desktop_->flush();
    EXPECT_EQ(readKeys(w, 1), std::vector<KeySym>{XK_eacute});
    int per2 = 0;
    KeySym* after = XGetKeyboardMapping(dpy_, static_cast<KeyCode>(lent), 1, &per2);
    EXPECT_EQ(after[0], static_cast<KeySym>(XK_F20));  // their key stays theirs
    XFree(after);
    desktop_.reset();  // gives back its spares; must leave F20 alone
    after = XGetKeyboardMapping(dpy_, static_cast<KeyCode>(lent), 1, &per2);
    EXPECT_EQ(after[0], static_cast<KeySym>(XK_F20));
    XFree(after);
}

// Another layout: a key that types ö and Ö (another program changes the mapping while
// the desktop is open). The key gets a virtual-key code of its own and types both.
TEST_F(BareServerTest, FollowsAMappingChangedByAnotherProgram) {
    EXPECT_FALSE(desktop_->keyForChar(U'ö').found);
    const KeyCode q = XKeysymToKeycode(dpy_, XK_q);
    int per = 0;
    KeySym* old = XGetKeyboardMapping(dpy_, q, 1, &per);
    std::vector<KeySym> row(old, old + per);
    XFree(old);
    std::vector<KeySym> changed(row.size(), NoSymbol);
    changed[0] = XK_odiaeresis;
    changed[1] = XK_Odiaeresis;
    XChangeKeyboardMapping(dpy_, q, per, changed.data(), 1);
    XSync(dpy_, False);

    KeyForChar lower, upper;
    for (int i = 0; i < 100 && !lower.found; ++i) {  // the notice travels as an event
        lower = desktop_->keyForChar(U'ö');
        if (!lower.found) std::this_thread::sleep_for(10ms);
    }
    upper = desktop_->keyForChar(U'Ö');
    ASSERT_TRUE(lower.found);
    ASSERT_TRUE(upper.found);
    EXPECT_FALSE(lower.shift);
    EXPECT_TRUE(upper.shift);
    EXPECT_EQ(lower.virtualKey, upper.virtualKey);
    EXPECT_NE(lower.virtualKey, 'Q');
    EXPECT_FALSE(desktop_->keyForChar(U'q').found);  // the layout lost it

    Window w = makeWindow("Target", "T");
    ASSERT_TRUE(desktop_->activate(w));
    desktop_->keyDown(lower.virtualKey);
    desktop_->keyUp(lower.virtualKey);
    desktop_->flush();
    EXPECT_EQ(readKeys(w, 1), std::vector<KeySym>{XK_odiaeresis});
    XChangeKeyboardMapping(dpy_, q, per, row.data(), 1);
    XSync(dpy_, False);
}

// The hot key follows its key when another program moves S to another keycode.
TEST_F(BareServerTest, HotKeyFollowsAMovedKey) {
    int hits = 0;
    desktop_->setHotKeyCallback([&](int id) { hits += id == 1 ? 1 : 100; });
    ASSERT_TRUE(desktop_->registerHotKey(1, Desktop::kModWin, 'S'));
    const KeyCode s = XKeysymToKeycode(dpy_, XK_s);
    const KeyCode q = XKeysymToKeycode(dpy_, XK_q);
    const KeyCode super = XKeysymToKeycode(dpy_, XK_Super_L);
    int per = 0;
    KeySym* rowS = XGetKeyboardMapping(dpy_, s, 1, &per);
    KeySym* rowQ = XGetKeyboardMapping(dpy_, q, 1, &per);
    XChangeKeyboardMapping(dpy_, q, per, rowS, 1);  // S now on the Q key and back
    XChangeKeyboardMapping(dpy_, s, per, rowQ, 1);
    XSync(dpy_, False);
    std::this_thread::sleep_for(200ms);  // the notice reaches the desktop's connection
    desktop_->pollHotKeys();             // moves the grab

    auto press = [&](KeyCode key) {
        XTestFakeKeyEvent(dpy_, super, True, CurrentTime);
        XTestFakeKeyEvent(dpy_, key, True, CurrentTime);
        XTestFakeKeyEvent(dpy_, key, False, CurrentTime);
        XTestFakeKeyEvent(dpy_, super, False, CurrentTime);
        XSync(dpy_, False);
        for (int i = 0; i < 50 && hits == 0; ++i) {
            desktop_->pollHotKeys();
            std::this_thread::sleep_for(10ms);
        }
    };
    press(s);  // now Super+Q: not ours
    EXPECT_EQ(hits, 0);
    press(q);  // Super+S
    EXPECT_EQ(hits, 1);
    XChangeKeyboardMapping(dpy_, s, per, rowS, 1);
    XChangeKeyboardMapping(dpy_, q, per, rowQ, 1);
    XFree(rowS);
    XFree(rowQ);
    XSync(dpy_, False);
}

int g_toolkitErrors = 0;
int toolkitHandler(Display*, XErrorEvent*) {
    ++g_toolkitErrors;
    return 0;
}

// A toolkit that installs its own Xlib error handler after the desktop opened must not
// hide a refused grab, and still gets the errors of its own connection.
TEST_F(BareServerTest, RefusedGrabSeenAfterAnotherErrorHandlerWasInstalled) {
    auto other = X11Desktop::open();
    ASSERT_NE(other, nullptr);
    ASSERT_TRUE(other->registerHotKey(1, Desktop::kModWin, 'S'));
    XErrorHandler before = XSetErrorHandler(toolkitHandler);
    g_toolkitErrors = 0;
    EXPECT_FALSE(desktop_->registerHotKey(1, Desktop::kModWin, 'S'));
    EXPECT_EQ(g_toolkitErrors, 0);
    XMapWindow(dpy_, 0x7fffff0);  // no such window: an error on the toolkit's connection
    XSync(dpy_, False);
    EXPECT_EQ(g_toolkitErrors, 1);
    XSetErrorHandler(before);
}

TEST_F(BareServerTest, ActivatingAGoneWindowFails) {
    Window a = makeWindow("Alpha", "ClassA");
    XDestroyWindow(dpy_, a);
    XSync(dpy_, False);
    EXPECT_FALSE(desktop_->activate(a));
    EXPECT_EQ(desktop_->foregroundWindow(), 0u);
}

}  // namespace
}  // namespace corvix::desktop
