#include "runtime/ini_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/wait.h>
#include <unistd.h>

using namespace corvix::runtime;
namespace fs = std::filesystem;

namespace {
class IniFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("corvix-ini-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
        path_ = (dir_ / "corvix.INI").string();
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string contents() const {
        std::ifstream in(path_);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    fs::path dir_;
    std::string path_;
};
}  // namespace

TEST_F(IniFileTest, MissingFileReadsDefaults) {
    IniFile ini(path_);
    EXPECT_EQ(ini.read("Main", "XPos", "none"), "none");
    EXPECT_EQ(ini.readInt("Main", "XPos", 7), 7);
    EXPECT_FALSE(ini.has("Main", "XPos"));
    EXPECT_FALSE(fs::exists(path_));
}

TEST_F(IniFileTest, WritesReadableSectionsWithFreeNames) {
    IniFile ini(path_);
    ASSERT_TRUE(ini.writeInt("Wizard:AddPassword", "XPos", 120));
    ASSERT_TRUE(ini.writeInt("Wizard:AddPassword", "YPos", 80));
    ASSERT_TRUE(ini.write("Main", "Maximize", "No"));
    EXPECT_EQ(contents(), "[Wizard:AddPassword]\nXPos=120\nYPos=80\n\n[Main]\nMaximize=No\n");
    IniFile again(path_);
    EXPECT_EQ(again.readInt("wizard:addpassword", "xpos"), 120);
    EXPECT_EQ(again.read("MAIN", "maximize"), "No");
    EXPECT_EQ(again.sections(), (std::vector<std::string>{"Wizard:AddPassword", "Main"}));
    EXPECT_EQ(again.keys("Wizard:AddPassword"), (std::vector<std::string>{"XPos", "YPos"}));
}

TEST_F(IniFileTest, KeepsCommentsAndOrderWhenRewriting) {
    {
        std::ofstream out(path_);
        out << "; kept by hand\n[Main]\nXPos=1\n\n[Other]\nA=b\n";
    }
    IniFile ini(path_);
    ASSERT_TRUE(ini.writeInt("Main", "XPos", 5));
    ASSERT_TRUE(ini.writeInt("Main", "YPos", 6));
    EXPECT_EQ(contents(), "; kept by hand\n[Main]\nXPos=5\nYPos=6\n\n[Other]\nA=b\n");
    ASSERT_TRUE(ini.removeKey("Main", "XPos"));
    ASSERT_TRUE(ini.removeSection("Other"));
    EXPECT_EQ(contents(), "; kept by hand\n[Main]\nYPos=6\n\n");
}

TEST_F(IniFileTest, BadNumbersFallBackAndUnwritablePathFails) {
    {
        std::ofstream out(path_);
        out << "[Main]\nXPos=abc\n";
    }
    IniFile ini(path_);
    EXPECT_EQ(ini.readInt("Main", "XPos", -1), -1);
    IniFile nowhere((dir_ / "no-such-dir" / "x.ini").string());
    EXPECT_FALSE(nowhere.write("A", "B", "C"));
}

// Writers never share a temporary file: two processes saving at once each put one whole
// version in place, and nothing is left beside the file.
TEST_F(IniFileTest, WritersInTwoProcessesNeverMixTheirTemporaryFiles) {
    fs::create_directory(path_ + ".tmp");  // the name a fixed temporary would take
    pid_t child = fork();
    const char* who = child == 0 ? "child" : "parent";
    IniFile ini(path_);
    bool ok = true;
    for (int i = 0; i < 200; ++i) ok = ini.write(who, "Count", std::to_string(i)) && ok;
    if (child == 0) _exit(ok ? 0 : 1);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    IniFile after(path_);
    EXPECT_TRUE(after.read("parent", "Count", "") == "199" ||
                after.read("child", "Count", "") == "199")
        << contents();
    size_t files = 0;
    for (const auto& e : fs::directory_iterator(dir_)) files += e.is_regular_file();
    EXPECT_EQ(files, 1u);
}
