// Comparing the network copy of the program directory with the local one.
#include <sys/stat.h>
#include <utime.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "fixture.h"
#include "runtime/ini_file.h"

namespace corvix::ferrule::testing {
namespace {

class SyncTest : public FerruleTest {
  protected:
    void SetUp() override {
        FerruleTest::SetUp();
        std::filesystem::create_directory(path("net"));
        std::filesystem::create_directory(path("local"));
        setArgs({"vault.tps"});
    }
    void writeFile(const std::string& name, const std::string& content, time_t mtime) {
        std::ofstream(path(name)) << content;
        struct utimbuf times = {mtime, mtime};
        utime(path(name).c_str(), &times);
    }
    // A stand-in updater that records its arguments, one per line.
    void installUpdater() {
        std::ofstream script(path("Mirrane"));
        script << "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > " << path("args.tmp")
               << "\nmv " << path("args.tmp") << " " << path("args.txt") << "\n";
        script.close();
        chmod(path("Mirrane").c_str(), 0755);
    }
    std::vector<std::string> updaterArgs() {
        for (int i = 0; i < 500 && !std::filesystem::exists(path("args.txt")); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ifstream in(path("args.txt"));
        std::vector<std::string> lines;
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        return lines;
    }

    const time_t noon_ = 1'700'000'000;  // a fixed moment, well inside one day
};

TEST_F(SyncTest, EqualOrBlankDirectoriesDoNothing) {
    installUpdater();
    writeFile("net/a.bin", "new", noon_);
    fu_SyncDir(path("net"), path("net/"));
    fu_SyncDir("", path("net"));
    fu_SyncDir(path("local"), "  ");
    EXPECT_FALSE(std::filesystem::exists(path("Mirrane.Log")));
    EXPECT_TRUE(endings.empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(std::filesystem::exists(path("args.txt")));
}

TEST_F(SyncTest, DifferingFileStartsTheUpdaterWithItsFourArgumentsAndEndsTheProgram) {
    installUpdater();
    writeFile("net/a.bin", "same", noon_);
    writeFile("local/a.bin", "same", noon_);
    writeFile("net/b.bin", "longer", noon_);
    writeFile("local/b.bin", "short", noon_);
    fu_SyncDir(path("local"), path("net"));
    EXPECT_EQ(endings, std::vector<int>{0});
    std::vector<std::string> expected = {path("net/"), path("local/"), path("corvix"), "vault.tps"};
    EXPECT_EQ(updaterArgs(), expected);

    runtime::IniFile log(path("Mirrane.Log"));
    EXPECT_EQ(log.keys("Program Local Q").size(), 2u);
    EXPECT_EQ(log.read("Program Net Q", "1").rfind("A.BIN 4 ", 0), 0u);
    EXPECT_EQ(log.read("Program Net Q", "2").rfind("B.BIN 6 ", 0), 0u);
}

TEST_F(SyncTest, SameDateAndSizeCountAsEqualWhateverTheTime) {
    installUpdater();
    writeFile("net/a.bin", "same", noon_ + 60);
    writeFile("local/a.bin", "same", noon_);
    writeFile("local/only-here.txt", "x", noon_);
    fu_SyncDir(path("local"), path("net"));
    EXPECT_TRUE(endings.empty());
    EXPECT_TRUE(sink.shown.empty());
    runtime::IniFile log(path("Mirrane.Log"));
    EXPECT_EQ(log.keys("Program Local Q").size(), 2u);
    EXPECT_EQ(log.keys("Program Net Q").size(), 1u);
}

TEST_F(SyncTest, ADifferentDateOrAMissingFileCounts) {
    installUpdater();
    writeFile("net/a.bin", "same", noon_ + 3 * 86400);
    writeFile("local/a.bin", "same", noon_);
    fu_SyncDir(path("local"), path("net"));
    EXPECT_EQ(endings, std::vector<int>{0});
    EXPECT_EQ(updaterArgs().size(), 4u);
    std::filesystem::remove(path("args.txt"));
    endings.clear();
    writeFile("net/new.bin", "n", noon_);
    writeFile("local/a.bin", "same", noon_ + 3 * 86400);
    fu_SyncDir(path("local"), path("net"));
    EXPECT_EQ(endings, std::vector<int>{0});
    EXPECT_EQ(updaterArgs().size(), 4u);
}

TEST_F(SyncTest, MissingUpdaterIsSilentUnlessNotQuietThenOneMessagePerFile) {
    writeFile("net/a.bin", "1", noon_);
    writeFile("net/b.bin", "2", noon_);
    fu_SyncDir(path("local"), path("net"));
    EXPECT_TRUE(sink.shown.empty());
    EXPECT_TRUE(endings.empty());

    setArgs({"x", "/NotQuiet"});
    fu_SyncDir(path("local"), path("net"));
    ASSERT_EQ(sink.shown.size(), 2u);
    EXPECT_EQ(sink.shown[0].rfind(
                  "Error|The application on the server has been upgraded. However a program "
                  "required to upgraded this workstation, Mirrane.Exe, could not run. Although "
                  "this application can carry on running, it is recommended that you contact "
                  "your supplier. The error code returned by Mirrane was :2 ",
                  0),
              0u)
        << sink.shown[0];
    EXPECT_TRUE(endings.empty());
}

TEST_F(SyncTest, LogMirraneWritesTheDetailOfTheDifference) {
    installUpdater();
    setArgs({"/LogMirrane"});
    writeFile("net/a.bin", "abc", noon_);
    fu_SyncDir(path("local"), path("net"));
    runtime::IniFile details(path("mirrane.ini"));
    std::string line = details.read("LogMirrane", "1");
    EXPECT_EQ(line.rfind("local queue ", 0), 0u) << line;
    EXPECT_NE(line.find("| network queue A.BIN "), std::string::npos) << line;
    EXPECT_NE(line.find(" 3 0 Error ="), std::string::npos) << line;
    EXPECT_EQ(updaterArgs().size(), 4u);
}

TEST_F(SyncTest, UpgradeLocalMachineReadsBothPathsFromTheNamedSection) {
    installUpdater();
    writeFile("net/a.bin", "abc", noon_);
    std::ofstream(path("site.ini"))
        << "[Sync]\nnetpath=" << path("net") << "\nlocalpath=" << path("local") << "\n";
    fu_UpgradeLocalMachine(path("site"), "Sync");
    EXPECT_EQ(endings, std::vector<int>{0});
    EXPECT_EQ(updaterArgs().size(), 4u);
}

TEST_F(SyncTest, UpgradeLocalMachineWithNothingToDoSaysSoOnlyWhenDebugging) {
    std::ofstream(path("site.INI")) << "[Sync]\nnetpath=" << path("net") << "\n";
    fu_UpgradeLocalMachine(path("site.INI"), "Sync");
    EXPECT_TRUE(sink.stops.empty());
    setArgs({"/DebugMirrane"});
    fu_UpgradeLocalMachine(path("site.INI"), "Sync");
    ASSERT_EQ(sink.stops.size(), 1u);
    EXPECT_EQ(sink.stops[0], "Netpath = " + path("net") + " Localpath =  hence nothing to do.");
    EXPECT_TRUE(endings.empty());
}

}  // namespace
}  // namespace corvix::ferrule::testing
