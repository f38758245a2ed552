// The vault's tables on disk: keys, numbering, rules, encryption, the word database.
#include <gtest/gtest.h>

#include <filesystem>

#include "temp_dir.h"
#include "vault/access.h"
#include "vault/prime.h"
#include "vault/words.h"

namespace corvix::vault {
namespace {

namespace fs = std::filesystem;

class VaultFiles : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(tables.openAll(), 0); }
    void TearDown() override { tables.closeAll(); }

    int addAccount(const std::string& category, const std::string& description, uint8_t watch = 0,
                   const std::string& password = "pw") {
        PasBuffer r;
        primeCVPAS(r.record(), 80000);
        r->Category = category;
        r->Description = description;
        r->Watch = watch;
        r->Password = password;
        const int rc = insertNumbered(tables.pas, r);
        return rc == 0 ? r->PAS_ID : -rc;
    }
    int addCategory(const std::string& name) {
        CatBuffer c;
        c->Category = name;
        return tables.cat.add(c);
    }

    corvix::testing::TempWorkDir dir;
    VaultTables tables;
};

TEST_F(VaultFiles, FirstOpenCreatesTheFourEmptyTablesInOneFile) {
    EXPECT_TRUE(fs::exists("Corvix.TPS"));
    // Only the user may read the vault.
    const fs::perms p = fs::status("Corvix.TPS").permissions();
    EXPECT_EQ(p & (fs::perms::group_all | fs::perms::others_all), fs::perms::none);
    for (const auto* d : {&CVCAT(), &CVPAS(), &CVMAS(), &CVGSD()}) {
        EXPECT_TRUE(storage::tableExists(d->name, BuildVaultKey())) << d->name;
    }
    EXPECT_EQ(tables.pas.records(), 0);
    EXPECT_EQ(tables.cat.records(), 0);
    EXPECT_EQ(tables.mas.records(), 0);
    EXPECT_EQ(tables.gsd.records(), 0);
}

TEST_F(VaultFiles, AccountNumbersAreHighestPlusOneEvenAfterDeletions) {
    EXPECT_EQ(addAccount("Personal", "a"), 1);
    EXPECT_EQ(addAccount("Personal", "b"), 2);
    EXPECT_EQ(addAccount("Personal", "c"), 3);
    PasBuffer r;
    r->PAS_ID = 2;
    ASSERT_EQ(tables.pas.get(pas::K_PAS_ID, r), 0);
    ASSERT_EQ(tables.pas.erase(), 0);
    EXPECT_EQ(addAccount("Personal", "d"), 4);
    r->PAS_ID = 3;
    ASSERT_EQ(tables.pas.get(pas::K_PAS_ID, r), 0);
    ASSERT_EQ(tables.pas.erase(), 0);
    r->PAS_ID = 4;
    ASSERT_EQ(tables.pas.get(pas::K_PAS_ID, r), 0);
    ASSERT_EQ(tables.pas.erase(), 0);
    EXPECT_EQ(addAccount("Personal", "e"), 2);  // the highest left is 1
}

TEST_F(VaultFiles, APasswordOfExactly128CharactersIsStoredWhole) {
    PasBuffer r;
    primeCVPAS(r.record(), 80000);
    const std::string p128(128, 'Q');
    r.set(pas::Password, p128 + "Z");  // one character more is cut on entry
    ASSERT_EQ(insertNumbered(tables.pas, r), 0);
    PasBuffer back;
    back->PAS_ID = r->PAS_ID;
    ASSERT_EQ(tables.pas.get(pas::K_PAS_ID, back), 0);
    EXPECT_EQ(back->Password, p128);
}

TEST_F(VaultFiles, AccountsMayShareEverythingButTheirNumber) {
    EXPECT_EQ(addAccount("Personal", "Same"), 1);
    EXPECT_EQ(addAccount("Personal", "Same"), 2);
    EXPECT_EQ(tables.pas.records(), 2);
}

TEST_F(VaultFiles, CategoriesDifferingOnlyInCaseAreRefused) {
    EXPECT_EQ(addCategory("Personal"), 0);
    EXPECT_EQ(addCategory("PERSONAL"), storage::kDuplicateKey);
    EXPECT_EQ(addCategory("personal  "), storage::kDuplicateKey);
    EXPECT_EQ(addCategory("Work"), 0);
    EXPECT_EQ(tables.cat.records(), 2);
    EXPECT_TRUE(categoryExists(tables.cat, "work"));
    EXPECT_FALSE(categoryExists(tables.cat, "Home"));
    EXPECT_FALSE(categoryExists(tables.cat, ""));
}

TEST_F(VaultFiles, ThemesMayNotShareADescription) {
    GsdBuffer a, b;
    primeCVGSD(a.record());
    primeCVGSD(b.record());
    a->Description = "Beach";
    b->Description = "beach";
    ASSERT_EQ(insertNumbered(tables.gsd, a), 0);
    EXPECT_EQ(a->GSD_ID, 1);
    EXPECT_EQ(insertNumbered(tables.gsd, b), storage::kDuplicateKey);
    EXPECT_EQ(tables.gsd.error().key, "GSD:K_Description");
}

TEST_F(VaultFiles, WatchOrderVisitsExactlyTheWatchedAccounts) {
    addAccount("Personal", "a");
    addAccount("Personal", "b");
    PasBuffer r;
    ASSERT_EQ(tables.pas.set(pas::K_Watch), 0);
    EXPECT_EQ(tables.pas.next(r), storage::kRecordNotAvailable);  // nobody watched: nothing

    addAccount("Personal", "watched", 1);
    ASSERT_EQ(tables.pas.set(pas::K_Watch), 0);
    ASSERT_EQ(tables.pas.next(r), 0);
    EXPECT_EQ(r->Description, "watched");
    EXPECT_EQ(tables.pas.next(r), storage::kRecordNotAvailable);
}

TEST_F(VaultFiles, CategoryOrderIsCategoryThenDescriptionWithoutCase) {
    addAccount("work", "b");
    addAccount("Personal", "z");
    addAccount("Work", "a");
    addAccount("personal", "m");
    std::vector<std::string> seen;
    PasBuffer r;
    ASSERT_EQ(tables.pas.set(pas::K_Category), 0);
    while (tables.pas.next(r) == 0) seen.push_back(r->Description);
    EXPECT_EQ(seen, (std::vector<std::string>{"m", "z", "a", "b"}));
}

TEST_F(VaultFiles, AccountCategoryMustExist) {
    PasRecord r;
    primeCVPAS(r, 80000);
    FieldCheck c = validateCVPAS(r, tables.cat);
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.messageId, 14);
    EXPECT_EQ(c.field, "Category of account");
    EXPECT_EQ(c.message, "CVCAT");
    EXPECT_EQ(c.title, "Field contents error");
    EXPECT_EQ(c.text, "The value of Category of account must be found in the CVCAT file.");
    addCategory("personal");
    EXPECT_TRUE(validateCVPAS(r, tables.cat).ok);  // letter case does not matter
}

TEST_F(VaultFiles, NoAccountDataCanBeFoundInTheFileBytes) {
    addCategory("Banking");
    addAccount("Banking", "MyVeryOwnBankAccount", 0, "ZebraHorse-73-Unique");
    tables.closeAll();
    storage::Table probe(CVPAS());  // a fresh open reads what reached the disk
    ASSERT_EQ(openTable(probe), 0);
    EXPECT_EQ(probe.records(), 1);
    probe.close();
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        const std::string bytes = dir.read(entry.path().filename());
        EXPECT_EQ(bytes.find("ZebraHorse"), std::string::npos) << entry.path();
        EXPECT_EQ(bytes.find("MyVeryOwnBank"), std::string::npos) << entry.path();
        EXPECT_EQ(bytes.find("Banking"), std::string::npos) << entry.path();
        EXPECT_EQ(bytes.find("Passwords"), std::string::npos) << entry.path();
    }
}

TEST(VaultEncryption, AVaultMadeWithAnotherKeyIsRefused) {
    corvix::testing::TempWorkDir dir;
    storage::Table foreign(CVPAS());
    foreign.setOwner("not the vault key at all, forty chars...");
    ASSERT_EQ(foreign.create(), 0);
    ASSERT_EQ(foreign.open(), 0);
    foreign.close();
    storage::Table mine(CVPAS());
    const int rc = openTable(mine);
    EXPECT_NE(rc, 0);
    EXPECT_FALSE(mine.isOpen());
    // Nothing was repaired or replaced: the foreign key still opens it.
    storage::Table again(CVPAS());
    again.setOwner("not the vault key at all, forty chars...");
    EXPECT_EQ(again.open(), 0);
}

TEST(WordDatabase, OpensOnlyWithItsOwnOwnerPassword) {
    corvix::testing::TempWorkDir dir;
    size_t written = 0;
    ASSERT_EQ(writeWordDatabase("CVWRD", {"apple", "pear", "plum"}, &written), 0);
    EXPECT_EQ(written, 3u);
    storage::Table right(CVWRD());
    ASSERT_EQ(right.open(storage::kReadOnly | storage::kDenyNone), 0);
    EXPECT_EQ(right.records(), 3);
    right.close();
    storage::Table wrong(CVWRD());
    wrong.setOwner("abcdefghijklmnopqrstuvwxyzabc");
    EXPECT_NE(wrong.open(storage::kReadOnly | storage::kDenyNone), 0);
    storage::Table withVaultKey(CVWRD());
    withVaultKey.setOwner(BuildVaultKey());
    EXPECT_NE(withVaultKey.open(storage::kReadOnly | storage::kDenyNone), 0);
    EXPECT_EQ(dir.read("CVWRD.TPS").find("apple"), std::string::npos);
}

TEST(WordDatabase, TakesOnlyShortLowerCaseLettersOnce) {
    EXPECT_TRUE(isWordCandidate("a"));
    EXPECT_TRUE(isWordCandidate("abcdefghijklmnopqrst"));    // 20
    EXPECT_FALSE(isWordCandidate("abcdefghijklmnopqrstu"));  // 21
    EXPECT_FALSE(isWordCandidate(""));
    EXPECT_FALSE(isWordCandidate("Boston"));
    EXPECT_FALSE(isWordCandidate("don't"));
    EXPECT_FALSE(isWordCandidate("caf\xC3\xA9"));
    EXPECT_FALSE(isWordCandidate("two words"));

    corvix::testing::TempWorkDir dir;
    size_t written = 0;
    ASSERT_EQ(writeWordDatabase("CVWRD", {"kiwi", "Kiwi", "kiwi", "fig's", "lime"}, &written), 0);
    EXPECT_EQ(written, 2u);
    storage::Table t(CVWRD());
    ASSERT_EQ(t.open(), 0);
    WrdBuffer w;
    ASSERT_EQ(t.set(storage::kPhysicalOrder), 0);
    ASSERT_EQ(t.next(w), 0);
    EXPECT_EQ(w->Word, "kiwi");
    EXPECT_EQ(w->WRD_ID, 1);  // shipped numbered: a first start has nothing to number
    ASSERT_EQ(t.next(w), 0);
    EXPECT_EQ(w->Word, "lime");
    EXPECT_EQ(w->WRD_ID, 2);
}

}  // namespace
}  // namespace corvix::vault
