// The toolbar buttons 2000-2012 as browses and forms interpret them.
#include <gtest/gtest.h>

#include <vector>

#include "framework/toolbar.h"

namespace corvix::framework {
namespace {

std::vector<int> enabled(const Toolbar& t) {
    std::vector<int> out;
    for (int b = kToolFirst; b <= kToolLast; ++b)
        if (t.state(b).enabled) out.push_back(b);
    return out;
}

TEST(Toolbar, FrameTipsWithoutAWindow) {
    Toolbar t;
    EXPECT_TRUE(enabled(t).empty());
    EXPECT_EQ(frameTip(2000), "Add New Password Account");
    EXPECT_EQ(frameTip(2003), "");
    EXPECT_EQ(t.state(2006).tip, "Page down");
    EXPECT_FALSE(t.take(2006));
}

TEST(Toolbar, InsertFormEnablesOnlyAddAnotherAndDownOne) {
    Toolbar t;
    std::vector<int> taken;
    t.bindForm(
        Toolbar::Mode::FormInsert, true, [] { return true; }, [&](int b) { taken.push_back(b); });
    EXPECT_EQ(enabled(t), (std::vector<int>{2000, 2008, 2011, 2012}));
    EXPECT_EQ(t.state(2000).tip, "Save record and add another");
    EXPECT_EQ(t.state(2008).tip, "Save record and add another");
    EXPECT_FALSE(t.take(2004));
    EXPECT_TRUE(t.take(2008));
    EXPECT_EQ(taken, std::vector<int>{2008});
}

TEST(Toolbar, ChangeFormEnablesTheMovesWithTheirTips) {
    Toolbar t;
    t.bindForm(
        Toolbar::Mode::FormChange, false, [] { return false; }, [](int) {});
    EXPECT_EQ(enabled(t), (std::vector<int>{2000, 2004, 2005, 2006, 2007, 2008, 2009}));
    EXPECT_EQ(t.state(2000).tip, "Save this record and add a new one");
    EXPECT_EQ(t.state(2004).tip, "Save changes and go to last record");
    EXPECT_EQ(t.state(2005).tip, "Save changes and go to first record");
    EXPECT_EQ(t.state(2006).tip, "Save changes and page down to record");
    EXPECT_EQ(t.state(2007).tip, "Save changes and page up to record");
    EXPECT_EQ(t.state(2008).tip, "Save changes and go to next record");
    EXPECT_EQ(t.state(2009).tip, "Save changes and go to previous record");
}

TEST(Toolbar, OtherRequestsDisableEverythingButHelp) {
    Toolbar t;
    t.bindForm(
        Toolbar::Mode::FormOther, true, [] { return true; }, [](int) {});
    EXPECT_EQ(enabled(t), std::vector<int>{2012});
}

TEST(Toolbar, BrowseAnswersForItsControlsAndNeverTakesAddNew) {
    Toolbar t;
    std::vector<int> taken;
    t.bindBrowse([](int b) { return b != kToolSelect && b != kToolHelp; },
                 [&](int b) { taken.push_back(b); });
    EXPECT_EQ(enabled(t), (std::vector<int>{2001, 2002, 2004, 2005, 2006, 2007, 2008, 2009, 2010}));
    EXPECT_EQ(t.state(2004).tip, "Bottom");
    EXPECT_FALSE(t.take(2000));
    EXPECT_FALSE(t.take(2099));
    EXPECT_TRUE(t.take(2005));
    EXPECT_EQ(taken, std::vector<int>{2005});
    t.unbind();
    EXPECT_TRUE(enabled(t).empty());
}

}  // namespace
}  // namespace corvix::framework
