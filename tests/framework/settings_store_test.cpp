#include "framework/settings_store.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace corvix::framework {
namespace {

struct FakeWindow : StoredWindow {
    int x_ = 10, y_ = 20, w_ = 300, h_ = 200;
    bool max_ = false, min_ = false, resizable_ = true;
    std::vector<std::string> calls;

    int x() const override { return x_; }
    int y() const override { return y_; }
    int width() const override { return w_; }
    int height() const override { return h_; }
    bool maximized() const override { return max_; }
    bool minimized() const override { return min_; }
    bool resizable() const override { return resizable_; }
    void setPosition(int x, int y) override {
        x_ = x;
        y_ = y;
        calls.push_back("pos");
    }
    void setSize(int w, int h) override {
        w_ = w;
        h_ = h;
        calls.push_back("size");
    }
    void setMaximized(bool on) override {
        max_ = on;
        calls.push_back(on ? "max" : "normal");
    }
};

class SettingsStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("fwcore-settings-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        file_ = (dir_ / "corvix.INI").string();
        store_.Init(file_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string contents() const {
        std::ifstream in(file_);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    std::filesystem::path dir_;
    std::string file_;
    SettingsStore store_;
};

TEST_F(SettingsStoreTest, NormalWindowSavesAllFiveKeys) {
    FakeWindow w;
    store_.SaveWindow("BrowseCVPAS", w);
    EXPECT_EQ(store_.GetValue("BrowseCVPAS", "Maximize"), "No");
    EXPECT_EQ(store_.GetValue("BrowseCVPAS", "XPos"), "10");
    EXPECT_EQ(store_.GetValue("BrowseCVPAS", "YPos"), "20");
    EXPECT_EQ(store_.GetValue("BrowseCVPAS", "Width"), "300");
    EXPECT_EQ(store_.GetValue("BrowseCVPAS", "Height"), "200");
    // Written to disk at once, readable by a fresh store.
    SettingsStore again;
    again.Init(file_);
    EXPECT_EQ(again.GetValue("browsecvpas", "xpos"), "10");
}

TEST_F(SettingsStoreTest, FixedSizeWindowSavesNoSize) {
    FakeWindow w;
    w.resizable_ = false;
    store_.SaveWindow("Wizard:Setup", w);
    EXPECT_EQ(store_.GetValue("Wizard:Setup", "XPos"), "10");
    EXPECT_EQ(store_.GetValue("Wizard:Setup", "Width", "none"), "none");
    EXPECT_EQ(store_.GetValue("Wizard:Setup", "Height", "none"), "none");
}

TEST_F(SettingsStoreTest, MinimizedWindowSavesNothing) {
    FakeWindow w;
    store_.SaveWindow("UpdateCVPAS", w);
    w.min_ = true;
    w.x_ = 999;
    w.max_ = true;
    store_.SaveWindow("UpdateCVPAS", w);
    EXPECT_EQ(store_.GetValue("UpdateCVPAS", "XPos"), "10");
    EXPECT_EQ(store_.GetValue("UpdateCVPAS", "Maximize"), "No");
    FakeWindow never;
    never.min_ = true;
    store_.SaveWindow("BrowseCVCAT", never);
    EXPECT_EQ(contents().find("BrowseCVCAT"), std::string::npos);
}

TEST_F(SettingsStoreTest, NeverSavedWindowIsLeftAlone) {
    FakeWindow w;
    store_.RestoreWindow("BrowseCVCAT", w);
    EXPECT_TRUE(w.calls.empty());
    EXPECT_EQ(w.x_, 10);
    // A section without a valid Maximize is treated the same way.
    store_.PutValue("BrowseCVCAT", "Maximize", "Perhaps");
    store_.PutValue("BrowseCVCAT", "XPos", "50");
    store_.RestoreWindow("BrowseCVCAT", w);
    EXPECT_TRUE(w.calls.empty());
}

TEST_F(SettingsStoreTest, MaximizedWindowKeepsLastNormalPlace) {
    FakeWindow w;
    w.x_ = 40;
    w.y_ = 50;
    store_.SaveWindow("Main", w);
    w.max_ = true;
    w.x_ = 0;
    w.y_ = 0;
    store_.SaveWindow("Main", w);
    EXPECT_EQ(store_.GetValue("Main", "Maximize"), "Yes");
    EXPECT_EQ(store_.GetValue("Main", "XPos"), "40");

    FakeWindow reopened;  // opens normal at its designed place
    store_.RestoreWindow("Main", reopened);
    EXPECT_TRUE(reopened.max_);
    EXPECT_EQ(reopened.x_, 40);
    EXPECT_EQ(reopened.y_, 50);
    ASSERT_FALSE(reopened.calls.empty());
    EXPECT_EQ(reopened.calls.back(), "max");  // the place first, then maximized
}

TEST_F(SettingsStoreTest, RestoreUnmaximizesFirstWhenStoredNormal) {
    FakeWindow w;
    w.x_ = 70;
    w.w_ = 640;
    w.h_ = 480;
    store_.SaveWindow("UpdateCVCAT", w);
    FakeWindow opened;
    opened.max_ = true;
    store_.RestoreWindow("UpdateCVCAT", opened);
    ASSERT_GE(opened.calls.size(), 3u);
    EXPECT_EQ(opened.calls[0], "normal");
    EXPECT_EQ(opened.calls[1], "pos");
    EXPECT_EQ(opened.calls[2], "size");
    EXPECT_FALSE(opened.max_);
    EXPECT_EQ(opened.x_, 70);
    EXPECT_EQ(opened.w_, 640);
    EXPECT_EQ(opened.h_, 480);
}

TEST_F(SettingsStoreTest, FixedSizeWindowIsNotResizedOnRestore) {
    store_.PutValue("Logon:Image", "Maximize", "No");
    store_.PutValue("Logon:Image", "XPos", "5");
    store_.PutValue("Logon:Image", "YPos", "6");
    store_.PutValue("Logon:Image", "Width", "900");
    store_.PutValue("Logon:Image", "Height", "900");
    FakeWindow w;
    w.resizable_ = false;
    store_.RestoreWindow("Logon:Image", w);
    EXPECT_EQ(w.x_, 5);
    EXPECT_EQ(w.y_, 6);
    EXPECT_EQ(w.w_, 300);
}

TEST_F(SettingsStoreTest, GarbageNumbersKeepCurrentValues) {
    store_.PutValue("S", "Maximize", "No");
    store_.PutValue("S", "XPos", "abc");
    store_.PutValue("S", "YPos", "33");
    store_.PutValue("S", "Width", "-5");
    FakeWindow w;
    store_.RestoreWindow("S", w);
    EXPECT_EQ(w.x_, 10);
    EXPECT_EQ(w.y_, 33);
    EXPECT_EQ(w.w_, 300);  // a negative size is not applied
}

TEST_F(SettingsStoreTest, SectorsRoundTripAndShrink) {
    store_.Sectors() = {{"a", "b", "c"}, {"x", "", "z,with comma"}, {"1", "2", "3"}};
    ASSERT_TRUE(store_.Kill());
    EXPECT_EQ(store_.GetValue("__Dont_Touch_Me__", "Sectors"), "3");
    EXPECT_EQ(store_.GetValue("__Dont_Touch_Me__", "Sectors_1"), "a,b,c");
    SettingsStore again;
    again.Init(file_);
    ASSERT_EQ(again.Sectors().size(), 3u);
    EXPECT_EQ(again.Sectors()[1], (Sector{"x", "", "z,with comma"}));
    again.Sectors().pop_back();
    again.Sectors().pop_back();
    ASSERT_TRUE(again.Kill());
    SettingsStore third;
    third.Init(file_);
    ASSERT_EQ(third.Sectors().size(), 1u);
    EXPECT_EQ(third.GetValue("__Dont_Touch_Me__", "Sectors_2", "gone"), "gone");
}

TEST_F(SettingsStoreTest, SectorPartsAreLimitedTo100Characters) {
    store_.Sectors() = {{std::string(150, 'p'), "q", "r"}};
    store_.Kill();
    SettingsStore again;
    again.Init(file_);
    ASSERT_EQ(again.Sectors().size(), 1u);
    EXPECT_EQ(again.Sectors()[0].first, std::string(100, 'p'));
    EXPECT_EQ(again.Sectors()[0].second, "q");
}

TEST(SettingsStoreUnbound, WritesNothingBeforeInit) {
    SettingsStore s;
    FakeWindow w;
    s.SaveWindow("Main", w);
    s.RestoreWindow("Main", w);
    EXPECT_TRUE(w.calls.empty());
    EXPECT_FALSE(s.PutValue("Main", "XPos", "1"));
    EXPECT_FALSE(s.Kill());
}

}  // namespace
}  // namespace corvix::framework
