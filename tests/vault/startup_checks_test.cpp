// The vault start-up checks: set-up state, logged-on decision, surplus master records,
// word numbering, installation identity.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "temp_dir.h"
#include "vault/prime.h"
#include "vault/startup_checks.h"
#include "vault/words.h"

namespace corvix::vault {
namespace {

namespace fs = std::filesystem;
constexpr int32_t kToday = 82000;

void addMaster(int32_t id, const std::string& password, const std::string& enc = {},
               int32_t installDate = 0) {
    VaultTables t;
    ASSERT_EQ(openTable(t.mas), 0);
    MasBuffer m;
    primeCVMAS(m.record(), 0);
    m->MAS_ID = id;
    m->Password = password;
    m->EncPassword = enc;
    m->InstallDate = installDate;
    ASSERT_EQ(t.mas.add(m), 0);
    t.mas.close();
}

StartupState check(const std::string& shipped = {}, WordCheck words = WordCheck::Run) {
    VaultTables t;
    StartupState s;
    EXPECT_EQ(runStartupChecks(t, shipped, kToday, s, {}, words), 0);
    EXPECT_TRUE(t.pas.isOpen());  // both stay open for the frame
    EXPECT_TRUE(t.mas.isOpen());
    t.closeAll();
    return s;
}

std::vector<std::pair<int, std::string>> wordsInPhysicalOrder() {
    storage::Table t(CVWRD());
    EXPECT_EQ(openTable(t), 0);
    std::vector<std::pair<int, std::string>> out;
    WrdBuffer w;
    t.set(storage::kPhysicalOrder);
    while (t.next(w) == 0) out.emplace_back(w->WRD_ID, w->Word);
    return out;
}

TEST(StartupChecks, FirstStartInAnEmptyDirectory) {
    corvix::testing::TempWorkDir dir;
    const StartupState s = check();
    EXPECT_TRUE(s.masterReadable);
    EXPECT_FALSE(s.setUp);
    EXPECT_FALSE(s.loggedOn);
    EXPECT_TRUE(s.failures.empty());
    EXPECT_TRUE(fs::exists("Corvix.TPS"));
    EXPECT_TRUE(storage::tableExists(CVPAS().name, BuildVaultKey()));
    EXPECT_TRUE(storage::tableExists(CVMAS().name, BuildVaultKey()));
}

TEST(StartupChecks, BlankMasterPasswordStartsLoggedOn) {
    corvix::testing::TempWorkDir dir;
    addMaster(1, "");
    StartupState s = check();
    EXPECT_TRUE(s.setUp);
    EXPECT_TRUE(s.loggedOn);
}

TEST(StartupChecks, AMasterPasswordStartsLoggedOff) {
    corvix::testing::TempWorkDir dir;
    addMaster(1, "Secret");
    StartupState s = check();
    EXPECT_TRUE(s.setUp);
    EXPECT_FALSE(s.loggedOn);
    EXPECT_EQ(s.master.Password, "Secret");
}

TEST(StartupChecks, OfThreeMasterRecordsTheLowestNumberIsKept) {
    corvix::testing::TempWorkDir dir;
    addMaster(7, "seven");
    addMaster(3, "three");
    addMaster(9, "nine");
    StartupState s = check();
    EXPECT_EQ(s.deletedMasters, 2);
    EXPECT_EQ(s.master.MAS_ID, 3);
    EXPECT_EQ(s.master.Password, "three");
    VaultTables t;
    ASSERT_EQ(openTable(t.mas), 0);
    EXPECT_EQ(t.mas.records(), 1);
    MasBuffer m;
    t.mas.set(mas::K_MAS_ID);
    ASSERT_EQ(t.mas.next(m), 0);
    EXPECT_EQ(m->MAS_ID, 3);
}

TEST(StartupChecks, IdentityAndInstallDateAreFilledInMemoryOnly) {
    corvix::testing::TempWorkDir dir;
    addMaster(1, "");
    StartupState s = check();
    EXPECT_EQ(s.master.EncPassword, std::to_string(kToday));
    EXPECT_EQ(s.installationId, std::to_string(kToday));
    EXPECT_EQ(s.master.InstallDate, kToday);
    VaultTables t;
    ASSERT_EQ(openTable(t.mas), 0);
    MasBuffer stored;
    t.mas.set(mas::K_MAS_ID);
    ASSERT_EQ(t.mas.next(stored), 0);
    EXPECT_TRUE(stored->EncPassword.empty());
    EXPECT_EQ(stored->InstallDate, 0);
}

TEST(StartupChecks, IdentityTakesThePasswordAndKeepsAnEarlierOne) {
    {
        corvix::testing::TempWorkDir dir;
        addMaster(1, "Secret", "", 80000);
        StartupState s = check();
        EXPECT_EQ(s.installationId, "Secret");
        EXPECT_EQ(s.master.InstallDate, 80000);  // set already: left alone
    }
    {
        corvix::testing::TempWorkDir dir;
        addMaster(1, "Changed", "Original");
        EXPECT_EQ(check().installationId, "Original");
    }
}

TEST(StartupChecks, WordsNumberedFromOneWhenTheFirstHasNoNumber) {
    corvix::testing::TempWorkDir dir;
    ASSERT_EQ(writeWordDatabase("CVWRD", {"delta", "alpha", "charlie", "bravo"}, nullptr, false),
              0);
    StartupState s = check();
    EXPECT_EQ(s.renumberedWords, 4);
    EXPECT_EQ(wordsInPhysicalOrder(),
              (std::vector<std::pair<int, std::string>>{
                  {1, "delta"}, {2, "alpha"}, {3, "charlie"}, {4, "bravo"}}));
    // The next start finds them numbered and leaves them alone.
    EXPECT_EQ(check().renumberedWords, 0);
}

TEST(StartupChecks, WordsWhoseFirstHasANumberAreLeftAlone) {
    corvix::testing::TempWorkDir dir;
    ASSERT_EQ(writeWordDatabase("CVWRD", {"one", "two", "three"}, nullptr, false), 0);
    {
        storage::Table t(CVWRD());
        ASSERT_EQ(openTable(t), 0);
        WrdBuffer w;
        t.set(storage::kPhysicalOrder);
        ASSERT_EQ(t.next(w), 0);
        w->WRD_ID = 40;
        ASSERT_EQ(t.put(w), 0);
    }
    EXPECT_EQ(check().renumberedWords, 0);
    EXPECT_EQ(wordsInPhysicalOrder(),
              (std::vector<std::pair<int, std::string>>{{40, "one"}, {0, "two"}, {0, "three"}}));
}

TEST(StartupChecks, RenumberingDoesNotCollideWithANumberFurtherOn) {
    corvix::testing::TempWorkDir dir;
    ASSERT_EQ(writeWordDatabase("CVWRD", {"one", "two", "three"}, nullptr, false), 0);
    {
        storage::Table t(CVWRD());
        ASSERT_EQ(openTable(t), 0);
        WrdBuffer w;
        t.set(storage::kPhysicalOrder);
        ASSERT_EQ(t.next(w), 0);
        ASSERT_EQ(t.next(w), 0);
        w->WRD_ID = 1;  // "two" already holds the number "one" is about to get
        ASSERT_EQ(t.put(w), 0);
    }
    EXPECT_EQ(check().renumberedWords, 3);
    EXPECT_EQ(wordsInPhysicalOrder(),
              (std::vector<std::pair<int, std::string>>{{1, "one"}, {2, "two"}, {3, "three"}}));
}

TEST(StartupChecks, TheShippedWordDatabaseIsCopiedWhenMissing) {
    corvix::testing::TempWorkDir shipped;
    ASSERT_EQ(writeWordDatabase("CVWRD", {"xenon", "argon"}, nullptr, false), 0);
    corvix::testing::TempWorkDir work;
    // A start that generates nothing leaves the words for a later one.
    StartupState s = check(shipped.path(), WordCheck::Skip);
    EXPECT_FALSE(s.wordsCopied);
    EXPECT_FALSE(fs::exists("CVWRD.TPS"));
    s = check(shipped.path());
    EXPECT_TRUE(s.wordsCopied);
    EXPECT_EQ(s.renumberedWords, 2);
    EXPECT_EQ(wordsInPhysicalOrder(),
              (std::vector<std::pair<int, std::string>>{{1, "xenon"}, {2, "argon"}}));
    // The shipped copy itself is untouched (still unnumbered).
    fs::current_path(shipped.path());
    EXPECT_EQ(wordsInPhysicalOrder(),
              (std::vector<std::pair<int, std::string>>{{0, "xenon"}, {0, "argon"}}));
    fs::current_path(work.path());
    // A word database already here is not replaced.
    EXPECT_FALSE(check(shipped.path()).wordsCopied);
}

TEST(StartupChecks, AShippedNumberedWordDatabaseNeedsNoNumbering) {
    corvix::testing::TempWorkDir shipped;
    ASSERT_EQ(writeWordDatabase("CVWRD", {"xenon", "argon"}, nullptr), 0);
    corvix::testing::TempWorkDir work;
    StartupState s = check(shipped.path());
    EXPECT_TRUE(s.wordsCopied);
    EXPECT_EQ(s.renumberedWords, 0);
    EXPECT_EQ(wordsInPhysicalOrder(),
              (std::vector<std::pair<int, std::string>>{{1, "xenon"}, {2, "argon"}}));
}

TEST(StartupChecks, AVaultWithAnotherKeyIsReportedNotTakenForANewOne) {
    corvix::testing::TempWorkDir dir;
    {
        storage::Table foreign(CVMAS());
        foreign.setOwner("someone else's key");
        ASSERT_EQ(foreign.create(), 0);
    }
    VaultTables t;
    StartupState s;
    EXPECT_NE(runStartupChecks(t, {}, kToday, s), 0);
    EXPECT_FALSE(s.masterReadable);
    EXPECT_FALSE(s.setUp);
    EXPECT_FALSE(s.failures.empty());
}

TEST(StartupChecks, NumberingReportsItsProgressToTheEnd) {
    corvix::testing::TempWorkDir dir;
    std::vector<std::string> many;
    for (int i = 0; i < 5000; ++i) {
        std::string w;
        for (int n = i; w.size() < 4; n /= 26) w += static_cast<char>('a' + n % 26);
        many.push_back(w);
    }
    size_t written = 0;
    ASSERT_EQ(writeWordDatabase("CVWRD", many, &written, false), 0);
    ASSERT_EQ(written, 5000u);
    std::vector<std::pair<int64_t, int64_t>> calls;
    VaultTables t;
    StartupState s;
    ASSERT_EQ(
        runStartupChecks(t, {}, kToday, s,
                         [&](int64_t done, int64_t total) { calls.emplace_back(done, total); }),
        0);
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls.front(), (std::pair<int64_t, int64_t>{4096, 5000}));
    EXPECT_EQ(calls.back(), (std::pair<int64_t, int64_t>{5000, 5000}));
    EXPECT_EQ(s.renumberedWords, 5000);
}

}  // namespace
}  // namespace corvix::vault

namespace corvix::vault {
namespace {

// A vault that cannot be read is reported with the file, the error and what to do, and
// is never taken for a new one: nothing is created over it.
TEST(StartupChecks, AnUnreadableVaultIsReportedAndLeftAlone) {
    corvix::testing::TempWorkDir dir;
    const std::string damaged(50000, 'Z');
    { std::ofstream(kVaultFile, std::ios::binary) << damaged; }
    VaultTables t;
    StartupState s;
    EXPECT_NE(runStartupChecks(t, {}, kToday, s), 0);
    EXPECT_FALSE(s.masterReadable);
    EXPECT_FALSE(s.setUp);
    ASSERT_FALSE(s.failures.empty());
    const std::string text = startupFailureText(s);
    EXPECT_EQ(text.rfind("File (Corvix", 0), 0u) << text;
    EXPECT_NE(text.find(") could not be opened.  Error: "), std::string::npos) << text;
    EXPECT_NE(text.find("(26)."), std::string::npos) << text;
    EXPECT_NE(text.find("Nothing was changed."), std::string::npos) << text;
    EXPECT_EQ(dir.read(kVaultFile), damaged);
}

}  // namespace
}  // namespace corvix::vault
