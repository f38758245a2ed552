// Moving in from other password managers: hand-written samples of their CSV exports (from
// the documented headers) become accounts with new numbers and categories; broken records
// are named by line; the vault goes out as a KeePassXC CSV that reads back the same.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "../cli/cli_runner.h"
#include "../vault/temp_dir.h"
#include "runtime/date.h"
#include "vault/access.h"
#include "vault/foreign_import.h"
#include "vault/prime.h"

namespace corvix::vault {
namespace {

const std::string kSamples = CORVIX_SAMPLES_DIR;

class MoveIn : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(tables.openAll(), 0);
        ASSERT_EQ(ensureDefaultCategory(tables.cat), 0);
        PasBuffer existing;
        existing->PAS_ID = 41;
        existing->Category = kDefaultCategory;
        ASSERT_EQ(tables.pas.add(existing), 0);
    }
    void TearDown() override { tables.closeAll(); }
    std::vector<PasRecord> accountsAfter41() {
        std::vector<PasRecord> out;
        PasBuffer r;
        EXPECT_EQ(tables.pas.set(pas::K_PAS_ID), 0);
        while (tables.pas.next(r) == 0)
            if (r->PAS_ID > 41) out.push_back(r.record());
        return out;
    }
    ForeignImportResult importSample(const char* name, ForeignFormat format, ForeignFile* file) {
        *file = readForeignFile(kSamples + "/" + name, format);
        EXPECT_EQ(file->error, "");
        return importForeignAccounts(file->accounts, tables.cat, tables.pas, 90000);
    }
    corvix::testing::TempWorkDir dir;
    VaultTables tables;
};

TEST_F(MoveIn, KeePassXcGroupsBecomeCategoriesAndTextsArriveWhole) {
    ForeignFile file;
    ForeignImportResult r = importSample("keepassxc.csv", ForeignFormat::KeePassXC, &file);
    ASSERT_FALSE(r.failure);
    EXPECT_TRUE(file.skipped.empty());
    EXPECT_EQ(r.imported, 3);
    EXPECT_EQ(r.categoriesCreated, (std::vector<std::string>{"Banking", "Cards"}));
    std::vector<PasRecord> a = accountsAfter41();
    ASSERT_EQ(a.size(), 3u);
    EXPECT_EQ(a[0].PAS_ID, 42);
    EXPECT_EQ(a[0].Category, "Personal");  // the top group
    EXPECT_EQ(a[0].Password, "p@ss, \"word\"");
    EXPECT_EQ(a[0].LastChange, runtime::standardDate(2023, 5, 4));
    EXPECT_EQ(a[0].Action, "[name][tab][password][tab]");
    EXPECT_EQ(a[0].Wait, 2);
    EXPECT_EQ(a[1].Description, "Bank \u2014 \u00DCberweisung");
    EXPECT_EQ(a[1].Password, "\u03A9\u2248\u00E7\u221A \U0001F511");
    EXPECT_EQ(a[1].Notes, "first line\r\nsecond line, with comma");
    EXPECT_EQ(a[2].Category, "Cards");
    EXPECT_EQ(a[2].LastChange, 90000);  // no date given: today
}

TEST_F(MoveIn, BitwardenFoldersFieldsAndABrokenLastRecord) {
    ForeignFile file;
    ForeignImportResult r = importSample("bitwarden.csv", ForeignFormat::Bitwarden, &file);
    ASSERT_FALSE(r.failure);
    ASSERT_EQ(file.skipped.size(), 1u);
    EXPECT_EQ(file.skipped[0].first, 7);
    EXPECT_EQ(file.skipped[0].second, "a quoted text is not closed");
    std::vector<PasRecord> a = accountsAfter41();
    ASSERT_EQ(a.size(), 4u);
    EXPECT_EQ(a[0].Category, "Social");
    EXPECT_EQ(a[0].Password, "s3cr3t,with,commas");
    EXPECT_EQ(a[0].Notes, "Two-factor on; \"backup\" codes in the safe");
    EXPECT_EQ(a[1].Category, "Personal");
    EXPECT_EQ(a[1].Notes, "PIN: 0000");  // custom fields go to the notes
    EXPECT_EQ(a[2].Notes, "apple banana\ncherry");
    EXPECT_EQ(a[3].Name, "anna \"the admin\"");
    EXPECT_EQ(a[3].Password, "\u65E5\u672C\u8A9E\u30D1\u30B9\u30EF\u30FC\u30C9");
    EXPECT_EQ(r.categoriesCreated, (std::vector<std::string>{"Social", "Work"}));
}

TEST_F(MoveIn, ChromeRowsAndAWrongFieldCount) {
    ForeignFile file;
    ForeignImportResult r = importSample("chrome.csv", ForeignFormat::Chrome, &file);
    ASSERT_FALSE(r.failure);
    ASSERT_EQ(file.skipped.size(), 1u);
    EXPECT_EQ(file.skipped[0], (std::pair<int64_t, std::string>{4, "6 fields, 5 in the header"}));
    std::vector<PasRecord> a = accountsAfter41();
    ASSERT_EQ(a.size(), 2u);
    EXPECT_EQ(a[1].Password, "pa\"ss,wo\\rd");
    EXPECT_EQ(a[1].Notes, "gift card in notes");
    EXPECT_TRUE(r.categoriesCreated.empty());
}

TEST_F(MoveIn, WrongFormatOrOverlongTextsAreRefusedNotCut) {
    ForeignFile wrong = readForeignFile(kSamples + "/chrome.csv", ForeignFormat::KeePassXC);
    EXPECT_EQ(wrong.error, "the column \"title\" is missing from the header");
    std::ofstream("long.csv") << "name,url,username,password\nx,u,n," << std::string(129, 'p')
                              << "\ny,u,n,\xff\n";
    ForeignFile f = readForeignFile("long.csv", ForeignFormat::Chrome);
    EXPECT_TRUE(f.accounts.empty());
    ASSERT_EQ(f.skipped.size(), 2u);
    EXPECT_EQ(f.skipped[0].second, "the password is longer than 128 characters");
    EXPECT_EQ(f.skipped[1].second, "the password is not UTF-8 text");
}

TEST_F(MoveIn, KeePassXcExportReadsBackTheSameAccounts) {
    ForeignFile file;
    ASSERT_FALSE(importSample("keepassxc.csv", ForeignFormat::KeePassXC, &file).failure);
    int64_t written = 0;
    storage::Error failure;
    ASSERT_EQ(exportKeePassXcCsv(tables.pas, "out.csv", &written, &failure), 0);
    EXPECT_EQ(written, 4);
    struct stat st;
    ASSERT_EQ(::stat("out.csv", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_NE(exportKeePassXcCsv(tables.pas, "out.csv", &written, &failure), 0);  // never over
    ForeignFile back = readForeignFile("out.csv", ForeignFormat::KeePassXC);
    ASSERT_EQ(back.accounts.size(), 4u);
    EXPECT_EQ(back.accounts[2].category, "Banking");
    EXPECT_EQ(back.accounts[2].notes, "first line\r\nsecond line, with comma");
    EXPECT_EQ(back.accounts[2].password, file.accounts[1].password);
    EXPECT_EQ(back.accounts[1].lastChange, runtime::standardDate(2023, 5, 4));
}

TEST(MoveInCli, DryRunListsWithoutPasswordsAndChangesNothing) {
    corvix::testing::CliRunner cli;
    ASSERT_EQ(cli.run({"init", "--master-password-stdin"}, "Secret\n").exitCode, 0);
    auto r = cli.run({"import", "--from", "bitwarden", kSamples + "/bitwarden.csv", "--dry-run"},
                     "Secret\n");
    EXPECT_EQ(r.exitCode, 1);  // a record was skipped
    EXPECT_EQ(r.out.find("s3cr3t"), std::string::npos);
    EXPECT_NE(r.out.find("2\tSocial\tFediverse\tanna\thttps://social.example\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("4 accounts would be imported from"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("categories created: Social, Work"), std::string::npos);
    EXPECT_NE(r.err.find("bitwarden.csv:7: skipped: a quoted text is not closed"),
              std::string::npos);
    r = cli.run({"list"}, "Secret\n");
    EXPECT_EQ(r.out, "");
    r = cli.run({"import", "--from", "chrome", kSamples + "/chrome.csv"}, "Secret\n");
    EXPECT_NE(r.out.find("2 accounts imported"), std::string::npos) << r.out << r.err;
    r = cli.run({"list"}, "Secret\n");
    EXPECT_NE(r.out.find("1\tPersonal\texample.com\tanna\t*******\thttps://example.com/login"),
              std::string::npos)
        << r.out;
}

}  // namespace
}  // namespace corvix::vault
