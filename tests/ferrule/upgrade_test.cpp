// Converting a table written under an older declaration when it is opened.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "fixture.h"
#include "tables.h"

namespace corvix::ferrule::testing {
namespace {

using storage::kDenyAll;
using storage::kDenyNone;
using storage::kReadWrite;

class UpgradeTest : public FerruleTest {
  protected:
    // A run of the program with the given declaration registered under `version`.
    void startProgram(const TableDecl& decl, int version, std::vector<std::string> args = {}) {
        resetForTests();
        setArgs(std::move(args));
        fu_AddDriver("Tps", driver_);
        table_ = std::make_unique<storage::Table>(decl);
        fu_UsingFile(*table_, "ACC", "Accounts", version);
    }
    // The first program version creates its table and writes n records.
    void writeVersion1(int n) {
        startProgram(v1_, 1);
        ASSERT_EQ(fu_FileOpen(*table_, kOpenMode), storage::kFileNotFound);
        ASSERT_EQ(table_->create(), 0);
        ASSERT_EQ(fu_FileOpen(*table_, kOpenMode), 0);
        ASSERT_EQ(fillV1(*table_, n), 0);
        table_->close();
    }
    bool futmpExists(int n) const {
        char name[32];
        std::snprintf(name, sizeof name, "futmp%03d", n);
        return storage::tableExists(path(name), "");
    }

    TableDecl drvDecl_ = driverDecl();
    storage::Table driver_{drvDecl_};
    TableDecl v1_ = accountsV1();
    TableDecl v2_ = accountsV2();
    std::unique_ptr<storage::Table> table_;
};

TEST_F(UpgradeTest, Version1RecordsReachVersion2WithEveryValueInItsPlace) {
    writeVersion1(25);
    startProgram(v2_, 2);
    fu_AlternateFieldName("ACC:Login", "ACC:User");
    ASSERT_EQ(fu_FileOpen(*table_, kOpenMode), 0);
    auto records = readAll(*table_);
    ASSERT_EQ(records.size(), 25u);
    for (int i = 1; i <= 25; ++i) {
        const auto& r = records[size_t(i - 1)];
        EXPECT_EQ(r.getInt(0), i);
        EXPECT_EQ(r.getString(1), "Account");                    // "Account 1" cut to 8 characters
        EXPECT_EQ(r.getString(2), "user " + std::to_string(i));  // through the alternate name
        EXPECT_EQ(r.getString(3), "");  // renamed without an alternate: a new field
        for (uint32_t k = 0; k < 5; ++k) EXPECT_EQ(r.getInt(4, k), i * 10 + int(k));
        for (uint32_t k = 5; k < 10; ++k) EXPECT_EQ(r.getInt(4, k), 0);
        EXPECT_EQ(r.getInt(5), 80000 + i);                    // DATE to LONG keeps the day number
        EXPECT_EQ(r.getString(6), std::to_string(1000 + i));  // number to text
        EXPECT_EQ(r.getString(7), "");
    }
    // The keys of the new file work and the temporary copy is gone.
    storage::Record probe(v2_);
    probe.clear();
    probe.set(0, int64_t(17));
    EXPECT_EQ(table_->get(0, probe), 0);
    EXPECT_EQ(probe.getString(2), "user 17");
    table_->close();
    EXPECT_FALSE(futmpExists(1));
    EXPECT_TRUE(sink.stops.empty()) << sink.stops.front();
    EXPECT_TRUE(endings.empty());
}

TEST_F(UpgradeTest, RenamedFieldWithoutAlternateNameLosesItsValue) {
    writeVersion1(3);
    startProgram(v2_, 2);
    ASSERT_EQ(fu_FileOpen(*table_, kOpenMode), 0);
    for (const auto& r : readAll(*table_)) {
        EXPECT_EQ(r.getString(2), "");
        EXPECT_NE(r.getInt(0), 0);
    }
}

TEST_F(UpgradeTest, NewFieldsTakeSetIfNewValuesAndAutonumberCountsFromOne) {
    writeVersion1(4);
    startProgram(v2_, 2);
    fu_SetIfNew("autonumber", "ACC:Added");
    fu_SetIfNew("n/a", "acc:remark");
    ASSERT_EQ(fu_FileOpen(*table_, kOpenMode), 0);
    auto records = readAll(*table_);
    ASSERT_EQ(records.size(), 4u);
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i].getString(7), std::to_string(i + 1));
        EXPECT_EQ(records[i].getString(3), "n/a");
    }
}

TEST_F(UpgradeTest, DowngradeConvertsANewerFileBackToTheOlderDeclaration) {
    writeVersion1(5);
    startProgram(v2_, 2);
    fu_AlternateFieldName("ACC:Login", "ACC:User");
    ASSERT_EQ(fu_FileOpen(*table_, kOpenMode), 0);
    table_->close();

    startProgram(v1_, 1, {"/downgrade"});
    fu_AlternateFieldName("ACC:User", "ACC:Login");
    ASSERT_EQ(fu_FileOpen(*table_, kOpenMode), 0);
    ASSERT_FALSE(sink.stops.empty());
    EXPECT_EQ(sink.stops.front(), "Warning : Possibly about to Downgrade Files");
    auto records = readAll(*table_);
    ASSERT_EQ(records.size(), 5u);
    for (int i = 1; i <= 5; ++i) {
        const auto& r = records[size_t(i - 1)];
        EXPECT_EQ(r.getString(2), "user " + std::to_string(i));
        for (uint32_t k = 0; k < 5; ++k) EXPECT_EQ(r.getInt(4, k), i * 10 + int(k));
        EXPECT_EQ(r.getInt(5), 80000 + i);  // LONG back to DATE
        EXPECT_EQ(r.getInt(6), 1000 + i);   // text back to a number
    }
}

TEST_F(UpgradeTest, WithoutDowngradeANewerFileIsLeftAlone) {
    writeVersion1(2);
    startProgram(v2_, 2);
    ASSERT_EQ(fu_FileOpen(*table_, kOpenMode), 0);
    table_->close();
    startProgram(v1_, 1);
    EXPECT_EQ(fu_FileOpen(*table_, kOpenMode), storage::kRecordMismatch);
    // The version-2 file is untouched.
    storage::Table check(v2_);
    ASSERT_EQ(check.open(kOpenMode), 0);
    EXPECT_EQ(check.records(), 2);
}

TEST_F(UpgradeTest, MissingFileTriesAnUpgradeAndLeavesError2WithoutAMessage) {
    startProgram(v2_, 2);
    EXPECT_EQ(fu_FileOpen(*table_, kOpenMode), storage::kFileNotFound);
    EXPECT_TRUE(sink.stops.empty());
    EXPECT_TRUE(sink.halts.empty());
    // The search left nothing behind: no trial file, no temporary copy.
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(dir_))
        files.push_back(e.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"Upg.Tps", "Upg.Tps.lck", "win.ini"}));
}

TEST_F(UpgradeTest, BadFileEntryIsBlankAfterTheOpen) {
    writeVersion1(1);
    auto ini = std::filesystem::path(dir_) / "win.ini";
    ASSERT_TRUE(std::filesystem::exists(ini));
    std::ifstream in(ini);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(all.find("[corvix]"), std::string::npos);
    EXPECT_NE(all.find("BadFile="), std::string::npos);
    EXPECT_EQ(all.find("Accounts"), std::string::npos);
}

TEST_F(UpgradeTest, AlternateFileNameCopiesTheOldFileAndKeepsIt) {
    TableDecl old = accountsV1("OldAccts");
    startProgram(old, 1);
    ASSERT_EQ(table_->create(), 0);
    ASSERT_EQ(table_->open(kOpenMode), 0);
    ASSERT_EQ(fillV1(*table_, 6), 0);
    table_->close();

    TableDecl renamed = accountsV2("Accts");
    startProgram(renamed, 2);
    fu_AlternateFileName("Accts", "OldAccts");
    ASSERT_EQ(fu_FileOpen(*table_, kOpenMode), 0);
    EXPECT_EQ(table_->records(), 6);
    EXPECT_TRUE(storage::tableExists("OldAccts", ""));
    EXPECT_FALSE(futmpExists(1));
}

TEST_F(UpgradeTest, TableMovedIntoAMultiTableFileIsFoundUnderItsOwnName) {
    TableDecl single = accountsV1("Accounts");
    startProgram(single, 1);
    ASSERT_EQ(table_->create(), 0);
    ASSERT_EQ(table_->open(kOpenMode), 0);
    ASSERT_EQ(fillV1(*table_, 3), 0);
    table_->close();

    startProgram(v2_, 2);  // "Vault\!Accounts"
    ASSERT_EQ(fu_FileOpen(*table_, kOpenMode), 0);
    EXPECT_EQ(table_->records(), 3);
    EXPECT_FALSE(storage::tableExists("Accounts", ""));  // moved, not copied
}

TEST_F(UpgradeTest, AnEarlierFutmpFileIsNeverOverwritten) {
    writeVersion1(3);
    {
        TableDecl leftover = accountsV1(path("futmp001"));
        storage::Table t(leftover);
        ASSERT_EQ(t.create(), 0);
        ASSERT_EQ(t.open(kOpenMode), 0);
        ASSERT_EQ(fillV1(t, 7), 0);
        t.close();
    }
    startProgram(v2_, 2);
    ASSERT_EQ(fu_FileOpen(*table_, kOpenMode), 0);
    EXPECT_EQ(table_->records(), 3);
    TableDecl leftover = accountsV1(path("futmp001"));
    storage::Table t(leftover);
    ASSERT_EQ(t.open(kOpenMode), 0);
    EXPECT_EQ(t.records(), 7);
    EXPECT_FALSE(futmpExists(2));
}

TEST_F(UpgradeTest, RecordsThatCannotBeWrittenStayInTheTemporaryCopy) {
    writeVersion1(3);
    // Titles cut to 8 characters all read "Account": a unique key refuses all but one.
    TableDecl strict = accountsV2();
    strict.keys[1].flags |= storage::kKeyUnique;
    startProgram(strict, 2);
    ASSERT_EQ(fu_FileOpen(*table_, kOpenMode), 0);
    EXPECT_EQ(table_->records(), 1);
    ASSERT_EQ(sink.stops.size(), 2u);
    EXPECT_EQ(sink.stops[0].rfind("Error Writing destination file  40 ", 0), 0u) << sink.stops[0];
    EXPECT_TRUE(futmpExists(1));
    TableDecl copy = accountsV1(path("futmp001"));
    storage::Table t(copy);
    ASSERT_EQ(t.open(kOpenMode), 0);
    EXPECT_EQ(t.records(), 3);
}

TEST_F(UpgradeTest, RefreshShowsItsOwnProgressTextAndBuildsNoKeysAfterwards) {
    writeVersion1(2);
    startProgram(v2_, 2);
    fu_UpGradeFileEx(*table_, 1);
    EXPECT_NE(std::find(progressLog.texts.begin(), progressLog.texts.end(),
                        "Please wait - Refreshing file"),
              progressLog.texts.end());
    EXPECT_EQ(std::find(progressLog.texts.begin(), progressLog.texts.end(),
                        "Please wait - Building Keys"),
              progressLog.texts.end());
    ASSERT_EQ(table_->open(kOpenMode), 0);
    EXPECT_EQ(table_->records(), 2);
}

TEST_F(UpgradeTest, PlainUpgradeCopiesThenBuildsKeys) {
    writeVersion1(2);
    startProgram(v2_, 2);
    fu_UpGradeFile(*table_);
    std::vector<std::string> expected = {"Please wait - Copying file",
                                         "Please wait - Upgrading file",
                                         "Please wait - Building Keys"};
    EXPECT_EQ(progressLog.texts, expected);
}

TEST_F(UpgradeTest, FrlCopyLeavesTheOldFileInPlaceAndAddRecordsBuildsNoKeysAfterwards) {
    TableDecl single = accountsV1("Accounts");
    startProgram(single, 1);
    ASSERT_EQ(table_->create(), 0);
    ASSERT_EQ(table_->open(kOpenMode), 0);
    ASSERT_EQ(fillV1(*table_, 3), 0);
    table_->close();

    startProgram(v2_, 2, {"/FRLCOPY", "/AddRecords"});
    ASSERT_EQ(fu_FileOpen(*table_, kOpenMode), 0);
    EXPECT_EQ(table_->records(), 3);
    EXPECT_TRUE(storage::tableExists("Accounts", ""));  // copied, not moved
    EXPECT_FALSE(futmpExists(1));
    std::vector<std::string> expected = {"Please wait - Copying file",
                                         "Please wait - Upgrading file"};
    EXPECT_EQ(progressLog.texts, expected);
}

TEST_F(UpgradeTest, UnregisteredPrefixIsReportedOnlyWhenDebugging) {
    writeVersion1(1);
    resetForTests();
    setArgs({});
    fu_AddDriver("Tps", driver_);
    storage::Table t(v2_);
    EXPECT_EQ(fu_FileOpen(t, kOpenMode), storage::kRecordMismatch);
    EXPECT_TRUE(sink.stops.empty());

    resetForTests();
    setArgs({"/DEBUGFRL"});
    fu_AddDriver("Tps", driver_);
    EXPECT_EQ(fu_FileOpen(t, kOpenMode), storage::kRecordMismatch);
    EXPECT_NE(std::find(sink.stops.begin(), sink.stops.end(),
                        "Unable to upgrade file - Not \"Using\" file  ACC"),
              sink.stops.end());
}

TEST_F(UpgradeTest, DeclarationWithoutPrefixGivesM3UnlessSilent) {
    TableDecl bare;
    bare.name = "Bare";
    bare.fields = {field("Plain", FieldType::Long)};
    startProgram(v2_, 2);
    storage::Table t(bare);
    fu_UpGradeFile(t);
    ASSERT_EQ(sink.stops.size(), 1u);
    EXPECT_EQ(sink.stops[0], "Unable to upgrade file which doesn't have a prefix : Bare");

    sink.stops.clear();
    startProgram(v2_, 2, {"/frlsilent"});
    fu_UpGradeFile(t);
    EXPECT_TRUE(sink.stops.empty());
}

// The upgrade of a large file run in a child process, which a file-size limit or a kill
// may stop anywhere; what it showed is kept in a file, line by line, as it goes.
class ChildSink : public RecordingSink {
  public:
    explicit ChildSink(std::string log) : log_(std::move(log)) {}
    bool stop(const std::string& text) override {
        std::ofstream(log_, std::ios::app) << text << "\n";
        if (!killOn.empty() && text.rfind(killOn, 0) == 0) kill(getpid(), SIGKILL);
        return RecordingSink::stop(text);
    }
    std::string killOn;

  private:
    std::string log_;
};

class KillAtRecord : public NoProgress {
  public:
    explicit KillAtRecord(int64_t at) : at_(at) {}
    void setValue(int64_t done) override {
        if (done == at_) kill(getpid(), SIGKILL);
    }

  private:
    int64_t at_;
};

class InterruptedUpgradeTest : public UpgradeTest {
  protected:
    static constexpr int kRecords = 3000;
    void SetUp() override {
        UpgradeTest::SetUp();
        startProgram(v1_, 1);
        ASSERT_EQ(table_->create(), 0);
        ASSERT_EQ(table_->open(kOpenMode), 0);
        ASSERT_EQ(table_->stream(), 0);
        ASSERT_EQ(fillV1(*table_, kRecords), 0);
        ASSERT_EQ(table_->flush(), 0);
        table_->close();
        resetForTests();
    }
    // Runs the upgrade to version 2 in a child; returns the messages it showed.
    std::vector<std::string> upgradeInChild(const std::function<void(ChildSink&)>& prepare,
                                            std::vector<std::string> args = {}) {
        const std::string log = path("child.log");
        pid_t child = fork();
        if (child == 0) {
            storage::abandonConnectionsAfterFork();
            ChildSink childSink(log);
            setMessageSink(&childSink);
            startProgram(v2_, 2, std::move(args));
            prepare(childSink);
            fu_FileOpen(*table_, kOpenMode);
            table_->close();
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        std::vector<std::string> lines;
        std::ifstream in(log);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    int64_t recordsUnder(const TableDecl& decl) {
        storage::Table t(decl);
        int rc = t.open(kOpenMode);
        return rc == 0 ? t.records() : -rc;
    }
    std::vector<std::string> files() const {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(dir_))
            if (e.path().filename() != "child.log") out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }
    // The next start upgrades and nothing is left over.
    void expectTheNextOpenUpgradesEverything() {
        startProgram(v2_, 2);
        ASSERT_EQ(fu_FileOpen(*table_, kOpenMode), 0);
        EXPECT_EQ(table_->records(), kRecords);
        table_->close();
        EXPECT_EQ(files(), (std::vector<std::string>{"Upg.Tps", "Upg.Tps.lck", "Vault.TPS",
                                                     "Vault.TPS.lck", "win.ini"}));
    }
};

TEST_F(InterruptedUpgradeTest, ACommitRefusedForAFullDiskLeavesTheOldDataAndSaysSo) {
    struct stat st;
    ASSERT_EQ(stat(path("Vault.TPS").c_str(), &st), 0);
    std::vector<std::string> shown = upgradeInChild([&](ChildSink&) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{rlim_t(st.st_size + st.st_size / 4), rlim_t(st.st_size + st.st_size / 4)};
        setrlimit(RLIMIT_FSIZE, &limit);
    });
    ASSERT_FALSE(shown.empty());
    EXPECT_NE(shown.back().find("The file Vault\\!Accounts was left as it was."), std::string::npos)
        << shown.back();
    EXPECT_EQ(recordsUnder(v1_), kRecords);
    expectTheNextOpenUpgradesEverything();
}

TEST_F(InterruptedUpgradeTest, AKillWhileCopyingLeavesTheOldDataForTheNextOpen) {
    upgradeInChild([&](ChildSink&) {
        static KillAtRecord killer(kRecords / 2);
        setProgressSink(&killer);
    });
    EXPECT_EQ(recordsUnder(v1_), kRecords);
    expectTheNextOpenUpgradesEverything();
}

TEST_F(InterruptedUpgradeTest, AKillDuringTheSwapIsFinishedAtTheNextOpen) {
    upgradeInChild([&](ChildSink& s) { s.killOn = "Moved "; }, {"/DEBUGFRL"});
    EXPECT_TRUE(storage::tableExists("futmp001", ""));
    EXPECT_EQ(recordsUnder(v1_), -storage::kFileNotFound);
    expectTheNextOpenUpgradesEverything();
}

// Another process keeps the old file open: the trial open is refused, M15 ends the
// program and the file stays exactly as it was.
void holdInChild(const TableDecl& decl, int mode, int ready[2], int done[2]) {
    storage::Table t(decl);
    char c = t.open(mode) == 0 ? 'y' : 'n';
    (void)!write(ready[1], &c, 1);
    (void)!read(done[0], &c, 1);
    t.close();
    _exit(0);
}

TEST_F(UpgradeTest, FileHeldByAnotherProcessGivesM15AndStaysUntouched) {
    writeVersion1(4);
    resetForTests();
    for (int mode : {kReadWrite | kDenyNone, kReadWrite | kDenyAll}) {
        int ready[2], done[2];
        ASSERT_EQ(pipe(ready), 0);
        ASSERT_EQ(pipe(done), 0);
        pid_t child = fork();
        if (child == 0) holdInChild(v1_, mode, ready, done);
        char c = 0;
        ASSERT_EQ(read(ready[0], &c, 1), 1);
        ASSERT_EQ(c, 'y');

        startProgram(v2_, 2);
        sink.halts.clear();
        endings.clear();
        if (mode & kDenyAll) {
            // An exclusive holder may refuse the plain open before the structures are
            // compared; the upgrade itself must stop at the trial open.
            fu_UpGradeFile(*table_);
        } else {
            EXPECT_NE(fu_FileOpen(*table_, kOpenMode), 0);
        }
        ASSERT_EQ(sink.halts.size(), 1u);
        EXPECT_EQ(
            sink.halts[0],
            "Unable to upgrade. Access to the existing file has been denied. File : " + v1_.name);
        EXPECT_EQ(endings, std::vector<int>{1});

        (void)!write(done[1], "x", 1);
        int status = 0;
        waitpid(child, &status, 0);
        for (int fd : {ready[0], ready[1], done[0], done[1]}) close(fd);
    }
    storage::Table check(v1_);
    ASSERT_EQ(check.open(kOpenMode), 0);
    EXPECT_EQ(check.records(), 4);
    EXPECT_FALSE(futmpExists(1));
}

}  // namespace
}  // namespace corvix::ferrule::testing
