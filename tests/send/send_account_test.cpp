#include "send/send_account.h"

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
