#include "send/send_account.h"

#include "platform/desktop/virtual_keys.h"
#include "send_fixture.h"

namespace corvix::send::testing {
namespace {

class SendAccountTest : public SendTest {};

TEST_F(SendAccountTest, MissingWindowIsReportedAndNothingTyped) {
    desk.addWindow("Untitled - Notepad");
    auto a = account(1, "Untitled", "[name][tab][password][enter]");
    EXPECT_EQ(SendAccount(a), SendResult::NoTargetWindow);
    ASSERT_EQ(prompt.asked().size(), 1u);
    EXPECT_EQ(prompt.asked()[0].title, "Cannot Send");
    EXPECT_EQ(prompt.asked()[0].text, "Target window (Untitled) does not exist.");
    EXPECT_EQ(prompt.asked()[0].buttons, unsigned(framework::kButtonOk));
    EXPECT_TRUE(desk.events().empty());
    EXPECT_TRUE(desk.activations().empty());
    EXPECT_EQ(iconizes, 0);
}

TEST_F(SendAccountTest, MissingTextIsReportedWithQuotes) {
    desk.addWindow("Login", "", {"User:", "OK"});
    auto a = account(1, "Login", "[password]", "*Password*");
    EXPECT_EQ(SendAccount(a), SendResult::NoTargetText);
    ASSERT_EQ(prompt.asked().size(), 1u);
    EXPECT_EQ(prompt.asked()[0].title, "Cannot Send");
    EXPECT_EQ(prompt.asked()[0].text, "Target window (Login) does not contain \"*Password*\".");
    EXPECT_TRUE(desk.events().empty());
}

TEST_F(SendAccountTest, OnlyTheFirstMatchingWindowIsExamined) {
    desk.addWindow("Login", "", {"Password:"});
    desk.addWindow("Login", "", {"Name:"});  // on top, without the text
    auto a = account(1, "Login", "[password]", "*Password*");
    EXPECT_EQ(SendAccount(a), SendResult::NoTargetText);
    EXPECT_TRUE(desk.events().empty());
}

TEST_F(SendAccountTest, TypesIntoTheMatchingWindowAfterHidingTheFrame) {
    auto other = desk.addWindow("Editor");
    auto login = desk.addWindowAtBottom("Bank - Login", "", {"Password:", ""});
    desk.setForeground(other);
    auto a = account(1, "*login", "[name][tab][password][enter]", "*password*");
    EXPECT_EQ(SendAccount(a), SendResult::Sent);
    EXPECT_TRUE(prompt.asked().empty());
    ASSERT_EQ(desk.activations().size(), 1u);
    EXPECT_EQ(desk.activations()[0], login);
    EXPECT_EQ(desk.receivedText(login), "user1\tpw1\n");
    EXPECT_EQ(desk.receivedText(other), "");
    EXPECT_EQ(iconizes, 1);
    EXPECT_EQ(iconizedAtYield, 0);  // posted before the one yield
    EXPECT_EQ(yields, 1);
}

TEST_F(SendAccountTest, BlankTargetGoesBackToTheLastForeignWindow) {
    auto editor = desk.addWindow("Editor");
    auto frame = desk.addWindow("Corvix");
    desk.setForeground(editor);
    SampleForegroundWindow(desk, frame);
    desk.setForeground(frame);
    auto a = account(1, "", "[name]");
    EXPECT_EQ(SendAccount(a), SendResult::Sent);
    EXPECT_EQ(desk.receivedText(editor), "user1");
    EXPECT_EQ(desk.receivedText(frame), "");
}

TEST_F(SendAccountTest, WaitCrossesMidnight) {
    auto w = desk.addWindow("Notepad");
    moment = 80000.0 + 86399.0 / 86400.0;  // 23:59:59
    yieldStep = 1.2 / 86400.0;
    bool typedEarly = false;
    onYield = [&] { typedEarly = typedEarly || !desk.events().empty(); };
    auto a = account(1, "Notepad", "x");
    a.Wait = 3;
    EXPECT_EQ(SendAccount(a), SendResult::Sent);
    EXPECT_FALSE(typedEarly);
    EXPECT_EQ(yields, 1 + 3);  // the hiding yield, then 3.6 s of waiting
    EXPECT_GT(moment, 80001.0);
    EXPECT_EQ(desk.receivedText(w), "x");
}

TEST_F(SendAccountTest, ARebuiltWindowListDoesNotChangeTheTarget) {
    auto first = desk.addWindow("Notepad");
    auto a = account(1, "Notepad", "abc");
    a.Wait = 2;
    desktop::WindowHandle second = 0;
    onYield = [&] {
        if (!second) second = desk.addWindow("Notepad");  // appears on top
        ListTopWindows(desk);                             // the watch pass enumerates
    };
    EXPECT_EQ(SendAccount(a), SendResult::Sent);
    ASSERT_EQ(desk.activations().size(), 1u);
    EXPECT_EQ(desk.activations()[0], first);
    EXPECT_EQ(desk.receivedText(first), "abc");
    EXPECT_EQ(desk.receivedText(second), "");
}

TEST_F(SendAccountTest, TargetClosedDuringTheWaitGetsNothing) {
    auto w = desk.addWindow("Notepad");
    auto other = desk.addWindow("Other");
    auto a = account(1, "Notepad", "secret");
    a.Wait = 2;
    onYield = [&] {
        if (desk.windowExists(w)) {
            desk.closeWindow(w);
            desk.setForeground(other);
        }
    };
    EXPECT_EQ(SendAccount(a), SendResult::TargetClosed);
    EXPECT_TRUE(desk.events().empty());
    EXPECT_EQ(desk.receivedText(other), "");
}

TEST_F(SendAccountTest, LogoffDuringTheWaitStopsTheSend) {
    desk.addWindow("Notepad");
    auto a = account(1, "Notepad", "secret");
    a.Wait = 1;
    onYield = [&] { loggedOn = false; };
    EXPECT_EQ(SendAccount(a), SendResult::NotAllowed);
    EXPECT_TRUE(desk.events().empty());
}

TEST_F(SendAccountTest, MacrosAreExpandedBeforeTheKeyScriptIsRead) {
    auto w = desk.addWindow("Notepad");
    auto a = account(1, "Notepad", "[password]|[today]");
    a.Password = "a[enter]b[[c";
    EXPECT_EQ(SendAccount(a), SendResult::Sent);
    EXPECT_EQ(desk.receivedText(w), "a\nb[c|06/12/2026");
}

// The keys go out only while the target holds the focus: whoever takes it during the
// wait or halfway through the text gets nothing, no key stays down and the user is told.
TEST_F(SendAccountTest, FocusTakenAwayStopsTypingAndIsReported) {
    struct Case {
        const char* name;
        int wait;
        int keysBeforeMove;  // -1: the focus moves during the wait
    };
    for (const Case c : {Case{"during the wait", 3, -1}, Case{"while typing", 0, 5}}) {
        SCOPED_TRACE(c.name);
        desktop::SimulatedDesktop fresh;
        desktop::setCurrentDesktop(&fresh);
        prompt.reset();
        auto one = fresh.addWindow("Target One");
        auto two = fresh.addWindow("Target Two");
        auto a = account(1, "Target One", "[name][tab][password][enter]");
        a.Name = "user1";
        a.Password = "Ab1!@#xyz";
        a.Wait = c.wait;
        int waited = 0;
        onYield = [&] {
            if (c.keysBeforeMove < 0 && ++waited == 2) fresh.setForeground(two);
        };
        if (c.keysBeforeMove >= 0) fresh.moveFocusAfterKeys(c.keysBeforeMove, two);
        EXPECT_EQ(SendAccount(a), SendResult::FocusLost);
        EXPECT_EQ(fresh.receivedText(two), "");
        EXPECT_TRUE(fresh.keysDown().empty()) << fresh.keyTrace();
        for (const auto& e : fresh.events())
            if (e.kind == desktop::SimulatedDesktop::Event::Kind::KeyDown) EXPECT_EQ(e.target, one);
        EXPECT_EQ(fresh.typingBrackets(), c.keysBeforeMove < 0 ? 0 : 1);
        ASSERT_EQ(prompt.asked().size(), 1u);
        EXPECT_EQ(prompt.asked()[0].title, "Cannot Send");
        EXPECT_EQ(prompt.asked()[0].text,
                  "The keyboard focus left the target window (Target One); nothing more was "
                  "typed.");
        onYield = nullptr;
    }
    desktop::setCurrentDesktop(&desk);
}

TEST_F(SendAccountTest, AWindowThatRefusesTheFocusGetsNothing) {
    auto login = desk.addWindow("Login");
    auto other = desk.addWindow("Other");
    desk.setForeground(other);
    desk.setActivatable(login, false);
    EXPECT_EQ(SendAccount(account(1, "Login", "[name][enter]")), SendResult::NotFocused);
    EXPECT_TRUE(desk.events().empty());
    EXPECT_EQ(desk.receivedText(other), "");
    ASSERT_EQ(prompt.asked().size(), 1u);
    EXPECT_EQ(prompt.asked()[0].text, "Target window (Login) did not take the keyboard focus.");
    EXPECT_EQ(iconizes, 0);
}

// A send started from a key binding while Shift is still down: the held modifier is lifted
// first, so the name is not upper-cased and Tab stays Tab.
TEST_F(SendAccountTest, AHeldShiftDoesNotChangeTheText) {
    auto w = desk.addWindow("Login");
    desk.keyDown(desktop::vk::kShift);
    desk.clearEvents();
    EXPECT_EQ(SendAccount(account(1, "Login", "[name][tab][password]")), SendResult::Sent);
    EXPECT_EQ(desk.receivedText(w), "user1\tpw1");
    EXPECT_TRUE(desk.shortcuts(w).empty());
    EXPECT_TRUE(desk.keysDown().empty());
}

TEST_F(SendAccountTest, NoDesktopNoSend) {
    NoDisplay none;
    EXPECT_EQ(SendAccount(account(1, "Notepad", "x")), SendResult::NoDesktop);
    EXPECT_TRUE(prompt.asked().empty());
}

TEST_F(SendAccountTest, TheTypedHookFollowsOnlyATypedAction) {
    int typed = 0;
    sendHooks().typed = [&typed] { ++typed; };
    desk.addWindow("Notepad");
    auto a = account(1, "Notepad", "secret");
    EXPECT_EQ(SendAccount(a), SendResult::Sent);
    EXPECT_EQ(typed, 1);
    EXPECT_EQ(SendAccount(account(2, "Missing", "x")), SendResult::NoTargetWindow);
    a.Wait = 1;
    onYield = [&] { loggedOn = false; };
    EXPECT_EQ(SendAccount(a), SendResult::NotAllowed);
    EXPECT_EQ(typed, 1);
    sendHooks().typed = nullptr;
}

}  // namespace
}  // namespace corvix::send::testing
