// The thread registry: numbered windows, posted events, waiting, the single-instance list.
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>
#include <QWidget>

#include "gui_fixture.h"

namespace corvix::gui_test {
namespace {

using namespace corvix::framework;

class ThreadsTest : public GuiTest {
  protected:
    ThreadRegistry& reg = ThreadRegistry::instance();
};

TEST_F(ThreadsTest, WindowsGetTheLowestFreeNumberFromTwo) {
    auto* a = new QWidget;
    auto* b = new QWidget;
    EXPECT_EQ(reg.start(a), 2);
    EXPECT_EQ(reg.start(b), 3);
    EXPECT_EQ(reg.window(2), a);
    EXPECT_EQ(reg.threadOf(b), 3);
    delete a;  // its number is free again
    EXPECT_EQ(reg.window(2), nullptr);
    auto* c = new QWidget;
    EXPECT_EQ(reg.start(c), 2);
    EXPECT_EQ(reg.running(), (std::vector<int>{2, 3}));
    delete b;
    delete c;
}

TEST_F(ThreadsTest, NoMoreThanSixtyThreeWindowThreads) {
    std::vector<QWidget*> windows;
    for (int n = 2; n <= 64; ++n) {
        windows.push_back(new QWidget);
        ASSERT_EQ(reg.start(windows.back()), n);
    }
    auto* extra = new QWidget;
    EXPECT_EQ(reg.start(extra), 0);
    EXPECT_FALSE(extra->isVisible());
    delete extra;
    for (QWidget* w : windows) delete w;
    EXPECT_TRUE(reg.running().empty());
}

TEST_F(ThreadsTest, PostedEventsArriveQueuedOnTheirThread) {
    auto* w = new QWidget;
    std::vector<std::pair<int, int>> seen;  // (current thread, number)
    const int n = reg.start(w, {[&](int control) {
                                    seen.push_back({reg.current(), control});
                                },
                                [&](int event) {
                                    seen.push_back({reg.current(), -event});
                                },
                                nullptr});
    ASSERT_EQ(n, 2);
    EXPECT_TRUE(reg.postAccepted(n, 2004));
    EXPECT_TRUE(reg.postEvent(n, 1100));
    EXPECT_TRUE(seen.empty());  // queued, not called
    ThreadRegistry::yield();
    EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{2, 2004}, {2, -1100}}));
    EXPECT_EQ(reg.current(), kFrameThread);
    EXPECT_FALSE(reg.postAccepted(9, 2004));  // not running
    delete w;
}

TEST_F(ThreadsTest, CloseRequestClosesTheWindowAndFreesItsNumber) {
    auto* w = new QWidget;
    w->setAttribute(Qt::WA_DeleteOnClose);
    const int n = reg.start(w);
    ASSERT_TRUE(w->isVisible());
    reg.postClose(n);
    ThreadRegistry::yield();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(reg.window(n), nullptr);
    EXPECT_TRUE(reg.running().empty());
}

TEST_F(ThreadsTest, ErrorManagerProcedureStackFollowsTheRunningThread) {
    auto* w = new QWidget;
    std::string inside;
    const int n = reg.start(w, {[&](int) {
                                    errors_->PushProcedureName("BrowseCVCAT");
                                    inside = errors_->CurrentProcedure();
                                },
                                nullptr, nullptr});
    errors_->PushProcedureName("Main");
    reg.postAccepted(n, 1);
    ThreadRegistry::yield();
    EXPECT_EQ(inside, "BrowseCVCAT");
    EXPECT_EQ(errors_->CurrentProcedure(), "Main");  // thread 1 keeps its own
    {
        ThreadScope scope(n);
        EXPECT_EQ(threadNumber(), n);
        EXPECT_EQ(errors_->CurrentProcedure(), "BrowseCVCAT");
    }
    delete w;
}

TEST_F(ThreadsTest, TimedWaitRunsOtherThreadsMeanwhile) {
    auto* w = new QWidget;
    int got = 0;
    const int n = reg.start(w, {[&](int c) { got = c; }, nullptr, nullptr});
    QTimer::singleShot(10, [&] { reg.postAccepted(n, 2008); });
    ThreadRegistry::wait(80);
    EXPECT_EQ(got, 2008);
    delete w;
}

TEST_F(ThreadsTest, SingleInstanceListBringsTheOwnerForward) {
    auto* w = new QWidget;
    int focused = 0;
    const int n = reg.start(w, {nullptr, nullptr, [&] { focused = reg.current(); }});
    EXPECT_TRUE(reg.claimSingleInstance("BrowseCVPAS", n));
    EXPECT_TRUE(reg.claimSingleInstance("BrowseCVPAS", n));  // its own again
    EXPECT_FALSE(reg.claimSingleInstance("BrowseCVPAS", 5));
    ThreadRegistry::yield();
    EXPECT_EQ(focused, n);
    reg.releaseSingleInstance("BrowseCVPAS", 5);  // not the owner: nothing happens
    EXPECT_EQ(reg.singleInstanceOwner("BrowseCVPAS"), n);
    delete w;  // a closed window leaves the list
    EXPECT_EQ(reg.singleInstanceOwner("BrowseCVPAS"), 0);
    EXPECT_TRUE(reg.claimSingleInstance("BrowseCVPAS", 5));
}

TEST_F(ThreadsTest, WindowsOpenAsChildrenOfTheMdiArea) {
    QMdiArea area;
    area.show();
    reg.setMdiArea(&area);
    auto* w = new QWidget;
    const int n = reg.start(w);
    ASSERT_EQ(area.subWindowList().size(), 1);
    EXPECT_EQ(area.subWindowList().front()->widget(), w);
    // A close request closes the sub-window, and the number is freed.
    reg.postClose(n);
    ThreadRegistry::yield();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(area.subWindowList().isEmpty());
    EXPECT_EQ(reg.window(n), nullptr);
    reg.setMdiArea(nullptr);
}

TEST_F(ThreadsTest, FrameIsThreadOne) {
    QWidget frame;
    int accepted = 0;
    reg.setFrame(&frame);
    reg.setFrameHandlers({[&](int c) { accepted = c; }, nullptr, nullptr});
    EXPECT_EQ(reg.window(kFrameThread), &frame);
    EXPECT_TRUE(reg.postAccepted(kFrameThread, 2000));
    ThreadRegistry::yield();
    EXPECT_EQ(accepted, 2000);
}

}  // namespace
}  // namespace corvix::gui_test
