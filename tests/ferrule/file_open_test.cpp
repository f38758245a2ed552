// fu_FileOpen's handling of what the open left, raw files, encrypted tables with BLOBs,
// and the old-format exclusions.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <thread>

#include "fixture.h"
#include "libs/ferrule/upgrade_file.h"
#include "tables.h"

namespace corvix::ferrule::testing {
namespace {

class FileOpenTest : public FerruleTest {
  protected:
    void start(std::vector<std::string> args = {}) {
        resetForTests();
        setArgs(std::move(args));
        fu_AddDriver("Tps", driver_);
    }
    TableDecl drvDecl_ = driverDecl();
    storage::Table driver_{drvDecl_};
};

TEST_F(FileOpenTest, RawFilesOpenThroughTheLibraryAndReportWhatTheOpenLeft) {
    start();
    storage::RawFile missing(path("nothing.bin"));
    EXPECT_EQ(fu_FileOpen(missing, 0), storage::kFileNotFound);
    std::ofstream(path("data.bin")) << "12345";
    storage::RawFile raw(path("data.bin"));
    ASSERT_EQ(fu_FileOpen(raw, 0), 0);
    EXPECT_EQ(raw.size(), 5);
    EXPECT_TRUE(sink.stops.empty());
    EXPECT_TRUE(sink.halts.empty());
}

// The folders of the INI file that marks an open are made when missing (a fresh home
// has no ~/.config/corvix), private to the user.
TEST_F(FileOpenTest, TheMarkOfAnOpenMakesItsFolders) {
    start();
    const std::string ini = path("home/.config/corvix/win.ini");
    setDefaultIniFile(ini);
    std::ofstream(path("data.bin")) << "x";
    storage::RawFile raw(path("data.bin"));
    ASSERT_EQ(fu_FileOpen(raw, 0), 0);
    std::ifstream in(ini);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(all.find("BadFile="), std::string::npos);
    EXPECT_EQ(std::filesystem::status(path("home/.config/corvix")).permissions() &
                  std::filesystem::perms::all,
              std::filesystem::perms::owner_all);
}

// A command opens several tables of one file: its first open here is marked, the others
// (sharing the file's connection) leave the INI file alone; another file is marked again.
TEST_F(FileOpenTest, OnlyTheFirstOpenOfAFileInAProcessIsMarked) {
    start();
    const std::string ini = path("win.ini");
    auto iniText = [&] {
        std::ifstream in(ini);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    TableDecl first = accountsV1("Vault\\!Accounts"), second = accountsV1("Vault\\!Others");
    storage::Table a(first), b(second);
    ASSERT_EQ(a.create(), 0);
    ASSERT_EQ(b.create(), 0);
    a.close();
    b.close();
    ASSERT_EQ(fu_FileOpen(a, kOpenMode), 0);
    EXPECT_NE(iniText().find("BadFile="), std::string::npos);
    std::ofstream(ini) << "[untouched]\n";
    ASSERT_EQ(fu_FileOpen(b, kOpenMode), 0);
    EXPECT_EQ(iniText(), "[untouched]\n");
    // A failed open is not remembered: the next try is marked again.
    storage::RawFile missing(path("nothing.bin"));
    EXPECT_EQ(fu_FileOpen(missing, 0), storage::kFileNotFound);
    EXPECT_NE(iniText().find("BadFile="), std::string::npos);
    std::ofstream(ini) << "[untouched]\n";
    EXPECT_EQ(fu_FileOpen(missing, 0), storage::kFileNotFound);
    EXPECT_NE(iniText().find("BadFile="), std::string::npos);
    // A fresh process marks the file again.
    a.close();
    start();
    std::ofstream(ini) << "[untouched]\n";
    ASSERT_EQ(fu_FileOpen(a, kOpenMode), 0);
    EXPECT_NE(iniText().find("BadFile="), std::string::npos);
}

// Every open is named in memory while it runs (for a crash report), a second open of the
// same file too; with the INI file turned off (as corvix-cli does) that file is untouched.
TEST_F(FileOpenTest, AnOpenInProgressIsNamedInMemoryAndTheIniFileCanBeLeftAlone) {
    start();
    const std::string ini = path("win.ini");
    std::ofstream(ini) << "[untouched]\n";
    setBadFileInIniFile(false);
    // Opening a pipe for reading waits for a writer: the open is caught while it runs.
    ASSERT_EQ(mkfifo(path("pipe").c_str(), 0600), 0);
    storage::RawFile pipe(path("pipe"));
    for (int round = 0; round < 2; ++round) {
        std::future<int> opened =
            std::async(std::launch::async, [&] { return fu_FileOpen(pipe, 0); });
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::string(fileBeingOpened()) != path("pipe") &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        EXPECT_EQ(std::string(fileBeingOpened()), path("pipe")) << "round " << round;
        const int writer = ::open(path("pipe").c_str(), O_WRONLY);
        EXPECT_EQ(opened.get(), 0);
        ::close(writer);
        EXPECT_STREQ(fileBeingOpened(), "");
        pipe.close();
    }
    std::ifstream in(ini);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()),
              "[untouched]\n");
}

TEST_F(FileOpenTest, DebugShowsTheOpenAndItsError) {
    start({"/DEBUGFRL"});
    sink.stops.clear();
    storage::RawFile missing(path("nothing.bin"));
    fu_FileOpen(missing, 0);
    ASSERT_EQ(sink.stops.size(), 2u);
    EXPECT_EQ(sink.stops[0], "About to open file : " + path("nothing.bin"));
    EXPECT_EQ(sink.stops[1].rfind("This caused an error : 2 ", 0), 0u) << sink.stops[1];
}

// Only a damaged file ends the program with M19; a file that does not open with the key
// given (or is no database at all) goes back to the caller, who reports it.
TEST_F(FileOpenTest, OnlyADamagedFileGivesM19AndEndsTheProgram) {
    start();
    TableDecl decl = accountsV1();
    storage::Table t(decl);
    fu_UsingFile(t, "ACC", "Accounts", 1);
    ASSERT_EQ(t.create(), 0);
    {
        // Every page after the schema gets a page type no page has, whatever the page
        // size and the layout of the pages behind the schema.
        std::fstream f(path("Vault.TPS"), std::ios::in | std::ios::out | std::ios::binary);
        unsigned char size[2] = {};
        f.seekg(16);
        f.read(reinterpret_cast<char*>(size), 2);
        const long pageSize = size[0] == 0 && size[1] == 1 ? 65536 : (size[0] << 8 | size[1]);
        ASSERT_GE(pageSize, 512);
        f.seekg(0, std::ios::end);
        const long fileSize = static_cast<long>(f.tellg());
        for (long page = pageSize; page < fileSize; page += pageSize) {
            f.seekp(page);
            f.put('\xFF');
        }
    }
    EXPECT_EQ(fu_FileOpen(t, kOpenMode), storage::kDriverError);
    ASSERT_EQ(sink.halts.size(), 1u);
    EXPECT_EQ(sink.halts[0],
              "File Corrupt. Restart program to invoke AutoFix. Name : Vault\\!Accounts");
    EXPECT_EQ(endings, std::vector<int>{1});

    std::ofstream(path("Other.TPS"), std::ios::binary) << std::string(8192, 'Z');
    TableDecl other = accountsV1("Other");
    storage::Table o(other);
    EXPECT_EQ(fu_FileOpen(o, kOpenMode), storage::kDriverError);
    EXPECT_EQ(storage::lastError().driverCode & 0xFF, 26);  // not a database with this key
    EXPECT_EQ(sink.halts.size(), 1u);
    EXPECT_EQ(endings, std::vector<int>{1});
}

TEST_F(FileOpenTest, EncryptedTableKeepsItsOwnerAndItsBlobsThroughTheUpgrade) {
    TableDecl v1 = accountsV1();
    v1.owner = "owner-secret";
    v1.blobs = {storage::BlobDecl{"ACC:Picture", false, 0}};
    TableDecl v2 = accountsV2();
    v2.owner = "owner-secret";
    v2.blobs = {storage::BlobDecl{"ACC:Picture", false, 0}};
    std::string picture(200000, '\0');
    for (size_t i = 0; i < picture.size(); ++i) picture[i] = char(i * 31 % 251);

    start();
    {
        storage::Table t(v1);
        fu_UsingFile(t, "ACC", "Accounts", 1);
        ASSERT_EQ(t.create(), 0);
        ASSERT_EQ(fu_FileOpen(t, kOpenMode), 0);
        ASSERT_EQ(fillV1(t, 2), 0);  // the second record is the one last added
        ASSERT_EQ(t.appendBlob(0, picture.data(), picture.size()), 0);
        t.close();
    }
    start();
    storage::Table t(v2);
    fu_UsingFile(t, "ACC", "Accounts", 2);
    ASSERT_EQ(fu_FileOpen(t, kOpenMode), 0);
    EXPECT_TRUE(sink.stops.empty());
    storage::Record r(v2);
    r.clear();
    r.set(0, int64_t(2));
    ASSERT_EQ(t.get(0, r), 0);
    ASSERT_EQ(t.blobSize(0), int64_t(picture.size()));
    std::string back(picture.size(), '\0');
    size_t got = 0;
    ASSERT_EQ(t.readBlob(0, 0, back.data(), back.size(), &got), 0);
    EXPECT_EQ(got, picture.size());
    EXPECT_TRUE(back == picture);
    r.set(0, int64_t(1));
    ASSERT_EQ(t.get(0, r), 0);
    EXPECT_EQ(t.blobSize(0), 0);
    t.close();
    // Without its owner the file does not open: it is still encrypted.
    TableDecl plain = v2;
    plain.owner = "";
    storage::Table noKey(plain);
    EXPECT_NE(noKey.open(kOpenMode), 0);
}

TEST_F(FileOpenTest, OldFormatSearchHonoursTheExclusions) {
    TableDecl v1 = accountsV1(), v2 = accountsV2();
    start();
    {
        storage::Table t(v1);
        fu_UsingFile(t, "ACC", "Accounts", 1);
        ASSERT_EQ(t.create(), 0);
    }
    auto lookups = [&] {
        std::vector<std::string> out;
        for (const auto& s : sink.stops)
            if (s.rfind("Old-format files for ", 0) == 0) out.push_back(s);
        return out;
    };
    storage::Table t(v2);
    // No driver named ODF: no old-format search at all.
    start({"/DEBUGFRLi"});
    fu_UsingFile(t, "ACC", "Accounts", 2);
    fu_UpGradeFile(t);  // version 1 fits: the search never gets that far
    EXPECT_TRUE(lookups().empty());

    TableDecl other = accountsV2("Elsewhere\\!Accounts");
    storage::Table o(other);
    start({"/DEBUGFRLi"});
    fu_AddDriver("odf", driver_);
    fu_UsingFile(o, "ACC", "Accounts", 2);
    fu_UpGradeFile(o);
    EXPECT_EQ(lookups(), std::vector<std::string>{"Old-format files for ACCOUNTS : searched"});

    sink.stops.clear();
    fu_IgnoreDriver("accounts", 1);
    fu_UpGradeFile(o);
    EXPECT_EQ(lookups(), std::vector<std::string>{"Old-format files for ACCOUNTS : ignored"});

    start({"/DEBUGFRLi"});
    fu_AddDriver("ODF", driver_);
    fu_IgnoreDriver("AllFiles", 2);  // bit 0 clear: no exclusion
    fu_UsingFile(o, "ACC", "Accounts", 2);
    sink.stops.clear();
    fu_UpGradeFile(o);
    EXPECT_EQ(lookups(), std::vector<std::string>{"Old-format files for ACCOUNTS : searched"});
    fu_IgnoreDriver("AllFiles", 1);
    sink.stops.clear();
    fu_UpGradeFile(o);
    EXPECT_EQ(lookups(), std::vector<std::string>{"Old-format files for ACCOUNTS : ignored"});
}

TEST_F(FileOpenTest, UpgradeFileGoesToTheCurrentDirectoryWhenTheProgramsIsNotWritable) {
    resetForTests();
    fu_SetCommandLine({"/nonexistent/install/corvix"});
    fu_AddDriver("Tps", driver_);
    TableDecl v2 = accountsV2();
    storage::Table t(v2);
    fu_UsingFile(t, "ACC", "Accounts", 2);
    EXPECT_TRUE(sink.stops.empty());
    resetForTests();
    EXPECT_TRUE(storage::tableExists(path("Upg.Tps\\!Upg2"), upgradeFilePassword()));
}

}  // namespace
}  // namespace corvix::ferrule::testing
