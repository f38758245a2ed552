#include "send/windows.h"

#include "send_fixture.h"

namespace corvix::send::testing {
namespace {

TEST(TitleMatches, WholeTitleWildcardsAnyCase) {
    EXPECT_TRUE(TitleMatches("Notepad", "Notepad"));
    EXPECT_TRUE(TitleMatches("NOTEPAD", "notepad"));
    EXPECT_FALSE(TitleMatches("Untitled - Notepad", "Notepad"));
    EXPECT_TRUE(TitleMatches("Untitled - Notepad", "*Notepad"));
    EXPECT_FALSE(TitleMatches("Untitled - Notepad", "Untitled"));
    EXPECT_TRUE(TitleMatches("Untitled - Notepad", "Untitled*"));
    EXPECT_TRUE(TitleMatches("Notepad", "?otepa?"));
    EXPECT_FALSE(TitleMatches("Notepad", "?Notepad"));
    EXPECT_TRUE(TitleMatches("abcbcd", "*bcd"));  // needs a second try after "bc"
    EXPECT_TRUE(TitleMatches("a-x-b-y-c", "a*b*c"));
    EXPECT_FALSE(TitleMatches("a-x-b-y-", "a*b*c"));
    EXPECT_TRUE(TitleMatches("anything at all", "*"));
    EXPECT_TRUE(TitleMatches("", "*"));
    EXPECT_TRUE(TitleMatches("", ""));
    EXPECT_FALSE(TitleMatches("x", ""));
    EXPECT_TRUE(TitleMatches("Login   ", "login"));
    EXPECT_TRUE(TitleMatches("Login", "login  "));
    EXPECT_TRUE(TitleMatches("Password:", "*Password*"));
}

TEST(TitleMatches, LettersBeyondAsciiIgnoreCase) {
    EXPECT_TRUE(
        TitleMatches("\xC3\x89"
                     "cran",
                     "\xC3\xA9"
                     "CRAN"));                                                    // É/é
    EXPECT_TRUE(TitleMatches("\xD0\x9F\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C",  // Пароль
                             "*\xD0\xB0\xD0\xA0\xD0\x9E*"));                      // *аРО*
    EXPECT_TRUE(TitleMatches("\xC3\xA9", "?"));  // one character, two bytes
}

class WindowListTest : public SendTest {};

TEST_F(WindowListTest, TopWindowsTopFirstWithoutUntitledOnes) {
    auto a = desk.addWindow("First", "ClassA");
    desk.addWindow("   ", "Blank");
    desk.addWindow("", "Empty");
    auto d = desk.addWindow("Top", "ClassD");
    ListTopWindows(desk);
    ASSERT_EQ(Q_WIN.size(), 2u);
    EXPECT_EQ(Q_WIN[0].TITLE, "Top");
    EXPECT_EQ(Q_WIN[0].HANDLE, d);
    EXPECT_EQ(Q_WIN[0].CLASS, "ClassD");
    EXPECT_EQ(Q_WIN[1].HANDLE, a);

    desk.closeWindow(d);
    ListTopWindows(desk);  // rebuilt from scratch
    ASSERT_EQ(Q_WIN.size(), 1u);
    EXPECT_EQ(Q_WIN[0].HANDLE, a);
}

TEST_F(WindowListTest, TitlesAreCutAt254Characters) {
    std::string title;
    for (int i = 0; i < 300; ++i) title += "\xC3\xA9";  // 300 two-byte characters
    desk.addWindow(title);
    ListTopWindows(desk);
    ASSERT_EQ(Q_WIN.size(), 1u);
    EXPECT_EQ(Q_WIN[0].TITLE.size(), 254u * 2);
}

TEST_F(WindowListTest, ChildTextsWithoutBlanks) {
    auto w = desk.addWindow("Dialog", "", {"Password:", "", "  ", "OK"});
    ListChildWindows(desk, w);
    ASSERT_EQ(Q_CWIN.size(), 2u);
    EXPECT_EQ(Q_CWIN[0].TITLE, "Password:");
    EXPECT_EQ(Q_CWIN[1].TITLE, "OK");
    ListChildWindows(desk, 0xdead);
    EXPECT_TRUE(Q_CWIN.empty());
}

TEST_F(WindowListTest, ForegroundSamplingSkipsTheFrame) {
    auto frame = desk.addWindow("Corvix");
    auto editor = desk.addWindow("Editor");
    desk.setForeground(editor);
    SampleForegroundWindow(desk, frame);
    EXPECT_EQ(LastForeignWindow, editor);
    desk.setForeground(frame);
    SampleForegroundWindow(desk, frame);
    EXPECT_EQ(LastForeignWindow, editor);
    desk.setForeground(0);
    SampleForegroundWindow(desk, frame);
    EXPECT_EQ(LastForeignWindow, editor);
}

}  // namespace
}  // namespace corvix::send::testing
