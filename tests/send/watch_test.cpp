#include "send/watch.h"

#include "send_fixture.h"

namespace corvix::send::testing {
namespace {

class WatchTest : public SendTest {
  protected:
    void SetUp() override {
        SendTest::SetUp();
        watcher.setAccounts(&accounts);
    }
    void watch(vault::PasRecord a) {
        accounts.accounts.push_back(std::move(a));
        watcher.BuildWatchList();
    }
    ListAccounts accounts;
    Watcher watcher;
};

TEST_F(WatchTest, WatchListHoldsOnlyWatchedAccountsInOrder) {
    accounts.accounts = {account(7, "*A", "x", "t"), account(3, "*B", "y"), account(5, "*C", "z")};
    accounts.accounts[1].Watch = 0;
    watcher.ServedWindows.push_back({1, "X", "", true});
    watcher.BuildWatchList();
    ASSERT_EQ(watcher.WatchList.size(), 2u);
    EXPECT_EQ(watcher.WatchList[0].PAS_ID, 7);
    EXPECT_EQ(watcher.WatchList[0].TARGETWINDOW, "*A");
    EXPECT_EQ(watcher.WatchList[0].TARGETWINDOWTEXT, "t");
    EXPECT_EQ(watcher.WatchList[1].PAS_ID, 5);
    EXPECT_TRUE(watcher.ServedWindows.empty());
}

TEST_F(WatchTest, ANewWindowIsServedOnceWhileItStaysOpen) {
    watch(account(1, "*Notepad", "[name][enter]"));
    watcher.WatchPass();
    EXPECT_TRUE(desk.events().empty());

    auto w = desk.addWindow("Untitled - Notepad");
    watcher.WatchPass();
    EXPECT_EQ(desk.receivedText(w), "user1\n");
    ASSERT_EQ(watcher.ServedWindows.size(), 1u);
    EXPECT_EQ(watcher.ServedWindows[0].HANDLE, w);
    EXPECT_EQ(watcher.ServedWindows[0].WIN_TITLE, "UNTITLED - NOTEPAD");
    EXPECT_TRUE(watcher.ServedWindows[0].STILLACTIVE);

    desk.clearEvents();
    watcher.WatchPass();
    watcher.WatchPass();
    EXPECT_TRUE(desk.events().empty());
    EXPECT_EQ(desk.receivedText(w), "user1\n");
    EXPECT_TRUE(prompt.asked().empty());
}

TEST_F(WatchTest, ClosedAndReopenedWindowIsServedAgain) {
    watch(account(1, "*Notepad", "x"));
    auto w1 = desk.addWindow("Untitled - Notepad");
    watcher.WatchPass();
    desk.closeWindow(w1);
    watcher.WatchPass();
    EXPECT_TRUE(watcher.ServedWindows.empty());
    auto w2 = desk.addWindow("Untitled - Notepad");
    watcher.WatchPass();
    EXPECT_EQ(desk.receivedText(w2), "x");
}

TEST_F(WatchTest, RenamedWindowDropsOutAndIsServedWhenItMatchesAgain) {
    watch(account(1, "*Notepad", "x"));
    auto w = desk.addWindow("Untitled - Notepad");
    watcher.WatchPass();
    EXPECT_EQ(desk.receivedText(w), "x");

    desk.setTitle(w, "letter.txt - Editor");
    watcher.WatchPass();
    EXPECT_TRUE(watcher.ServedWindows.empty());
    EXPECT_EQ(desk.receivedText(w), "x");

    desk.setTitle(w, "letter.txt - Notepad");
    watcher.WatchPass();
    EXPECT_EQ(desk.receivedText(w), "xx");
    watcher.WatchPass();
    EXPECT_EQ(desk.receivedText(w), "xx");
}

TEST_F(WatchTest, NeighbouringServedWindowsAreBothRecognised) {
    watch(account(1, "*Notepad", "x"));
    auto a = desk.addWindow("One - Notepad");
    auto b = desk.addWindow("Two - Notepad");
    watcher.WatchPass();  // serves the top one
    EXPECT_EQ(desk.receivedText(b), "x");
    EXPECT_EQ(desk.receivedText(a), "");
    watcher.WatchPass();  // then the other
    EXPECT_EQ(desk.receivedText(a), "x");
    ASSERT_EQ(watcher.ServedWindows.size(), 2u);
    EXPECT_LT(watcher.ServedWindows[0].HANDLE, watcher.ServedWindows[1].HANDLE);

    desk.clearEvents();
    watcher.WatchPass();
    EXPECT_TRUE(desk.events().empty());
    EXPECT_EQ(watcher.ServedWindows.size(), 2u);
    EXPECT_TRUE(watcher.ServedWindows[0].STILLACTIVE);
    EXPECT_TRUE(watcher.ServedWindows[1].STILLACTIVE);
}

TEST_F(WatchTest, TwoAccountsForOneWindowBothTypeInWatchOrder) {
    accounts.accounts = {account(2, "*Notepad", "[name][tab]"),
                         account(1, "Untitled*", "[name][tab]")};
    watcher.BuildWatchList();
    auto w = desk.addWindow("Untitled - Notepad");
    watcher.WatchPass();
    EXPECT_EQ(desk.receivedText(w), "user2\tuser1\t");
    EXPECT_EQ(watcher.ServedWindows.size(), 2u);
    watcher.WatchPass();
    EXPECT_EQ(desk.receivedText(w), "user2\tuser1\t");
}

TEST_F(WatchTest, RequiredTextMatchesALabel) {
    watch(account(1, "Sign in", "[password]", "*Password*"));
    auto plain = desk.addWindow("Sign in", "", {"User name:", ""});
    watcher.WatchPass();
    EXPECT_EQ(desk.receivedText(plain), "");
    EXPECT_TRUE(watcher.ServedWindows.empty());  // not served: may qualify later

    desk.setTexts(plain, {"Password:", ""});
    watcher.WatchPass();
    EXPECT_EQ(desk.receivedText(plain), "pw1");
    ASSERT_EQ(watcher.ServedWindows.size(), 1u);
    EXPECT_EQ(watcher.ServedWindows[0].CWIN_TITLE, "PASSWORD:");
}

TEST_F(WatchTest, WithoutRequiredTextTheLastTextIsRecorded) {
    watch(account(1, "Dialog", "x"));
    desk.addWindow("Dialog", "", {"first", "Last one"});
    watcher.WatchPass();
    ASSERT_EQ(watcher.ServedWindows.size(), 1u);
    EXPECT_EQ(watcher.ServedWindows[0].CWIN_TITLE, "LAST ONE");
}

TEST_F(WatchTest, DeletedAccountMarksTheWindowServedWithoutKeys) {
    watch(account(1, "*Notepad", "x"));
    accounts.remove(1);
    auto w = desk.addWindow("Untitled - Notepad");
    watcher.WatchPass();
    EXPECT_TRUE(desk.events().empty());
    ASSERT_EQ(watcher.ServedWindows.size(), 1u);
    EXPECT_EQ(watcher.ServedWindows[0].HANDLE, w);
    EXPECT_TRUE(prompt.asked().empty());
}

TEST_F(WatchTest, RebuildServesOpenWindowsAgain) {
    watch(account(1, "*Notepad", "x"));
    auto w = desk.addWindow("Untitled - Notepad");
    watcher.WatchPass();
    watcher.BuildWatchList();  // event 1100
    watcher.WatchPass();
    EXPECT_EQ(desk.receivedText(w), "xx");
}

TEST_F(WatchTest, ASecondPassCannotStartWhileOneWaits) {
    auto a = account(1, "*Notepad", "x");
    a.Wait = 2;
    watch(a);
    auto w = desk.addWindow("Untitled - Notepad");
    int nested = 0;
    onYield = [&] {
        EXPECT_TRUE(watcher.passRunning());
        ++nested;
        watcher.WatchPass();  // the frame's timer fires inside the wait
    };
    watcher.WatchPass();
    EXPECT_GT(nested, 0);
    EXPECT_FALSE(watcher.passRunning());
    EXPECT_EQ(desk.receivedText(w), "x");
    EXPECT_EQ(watcher.ServedWindows.size(), 1u);
}

TEST_F(WatchTest, LogoffDuringTheWaitTypesNothing) {
    auto a = account(1, "*Notepad", "secret");
    a.Wait = 2;
    watch(a);
    watch(account(2, "*Notepad", "more"));
    desk.addWindow("Untitled - Notepad");
    onYield = [&] { watcher.Clear(); };
    watcher.WatchPass();
    EXPECT_TRUE(desk.events().empty());
    EXPECT_TRUE(watcher.ServedWindows.empty());
    EXPECT_TRUE(watcher.WatchList.empty());
}

TEST_F(WatchTest, LoggedOffHookStopsTyping) {
    auto a = account(1, "*Notepad", "secret");
    a.Wait = 1;
    watch(a);
    desk.addWindow("Untitled - Notepad");
    onYield = [&] { loggedOn = false; };
    watcher.WatchPass();
    EXPECT_TRUE(desk.events().empty());
}

TEST_F(WatchTest, WindowClosedDuringTheWaitGetsNothing) {
    auto a = account(1, "*Notepad", "secret");
    a.Wait = 2;
    watch(a);
    auto w = desk.addWindow("Untitled - Notepad");
    auto other = desk.addWindow("Other");
    onYield = [&] {
        if (desk.windowExists(w) && !desk.activations().empty()) {
            desk.closeWindow(w);
            desk.setForeground(other);
        }
    };
    watcher.WatchPass();
    EXPECT_EQ(desk.receivedText(other), "");
    EXPECT_TRUE(desk.events().empty());
}

TEST_F(WatchTest, AnOnDemandListingDuringTheWaitDoesNotOfferServedWindowsAgain) {
    auto first = account(1, "*Notepad", "n");
    first.Wait = 1;
    watch(first);
    watch(account(2, "*Editor", "e"));
    auto editor = desk.addWindow("Editor");
    watch(account(3, "*Nothing", ""));  // rebuild: forget nothing served yet
    watcher.WatchPass();                // serves the editor
    EXPECT_EQ(desk.receivedText(editor), "e");

    auto notepad = desk.addWindow("Untitled - Notepad");
    onYield = [&] { ListTopWindows(desk); };  // SendAccount on another thread
    watcher.WatchPass();
    EXPECT_EQ(desk.receivedText(notepad), "n");
    EXPECT_EQ(desk.receivedText(editor), "e");
}

TEST_F(WatchTest, ActivationComesAfterTheYield) {
    watch(account(1, "*Notepad", "x"));
    auto w = desk.addWindow("Untitled - Notepad");
    size_t activationsAtYield = 99;
    onYield = [&] { activationsAtYield = desk.activations().size(); };
    watcher.WatchPass();
    EXPECT_EQ(activationsAtYield, 0u);
    ASSERT_EQ(desk.activations().size(), 1u);
    EXPECT_EQ(desk.activations()[0], w);
}

TEST_F(WatchTest, TitlesLookingLikePatternsStillCompareAsServed) {
    watch(account(1, "*", "x"));
    auto w = desk.addWindow("Doc [draft] *?");
    watcher.WatchPass();
    watcher.WatchPass();
    EXPECT_EQ(desk.receivedText(w), "x");
}

}  // namespace
}  // namespace corvix::send::testing
