// corvix-cli's reads and writes go through the framework's table managers: numbering,
// field rules, duplicate keys and their messages are the managers', and a refused write
// leaves the vault as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "cli_runner.h"
#include "vault/access.h"

namespace corvix::testing {
namespace {

// Runs body in the vault's directory with its tables opened directly (behind the tool's
// back), then goes back.
void inVault(const CliRunner& cli, const std::function<void(vault::VaultTables&)>& body) {
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(cli.dir());
    {
        vault::VaultTables t;
        EXPECT_EQ(t.openAll(), 0);
        body(t);
        t.closeAll();
    }
    std::filesystem::current_path(previous);
}

void deleteAccount(const CliRunner& cli, int id) {
    inVault(cli, [id](vault::VaultTables& t) {
        vault::PasBuffer r;
        r->PAS_ID = id;
        ASSERT_EQ(t.pas.get(vault::pas::K_PAS_ID, r), 0) << id;
        ASSERT_EQ(t.pas.erase(), 0) << id;
    });
}

int64_t accountCount(const CliRunner& cli) {
    int64_t n = -1;
    inVault(cli, [&n](vault::VaultTables& t) { n = t.pas.records(); });
    return n;
}

class ManagedCli : public ::testing::Test {
  protected:
    void SetUp() override {
        CliResult r = cli.run({"init", "--master-password-stdin"}, "Secret\n");
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    CliResult add(const std::string& description, const std::string& category = {}) {
        std::vector<std::string> args{"add", "--description", description};
        if (!category.empty()) args.insert(args.end(), {"--category", category});
        return cli.run(args, "Secret\n");
    }
    CliRunner cli;
};

TEST_F(ManagedCli, AddNumbersTheHighestPlusOneEvenAfterDeletes) {
    EXPECT_EQ(add("one").out, "1\n");
    EXPECT_EQ(add("two").out, "2\n");
    EXPECT_EQ(add("three").out, "3\n");
    deleteAccount(cli, 2);  // a gap in the middle is not filled
    EXPECT_EQ(add("four").out, "4\n");
    deleteAccount(cli, 4);
    deleteAccount(cli, 3);  // the highest are gone: numbering goes on from what is left
    CliResult r = add("five");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "2\n");
    r = cli.run({"show", "2"}, "Secret\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("five"), std::string::npos) << r.out;
}

TEST_F(ManagedCli, ARefusedAddWritesNothingAndKeepsNoNumber) {
    ASSERT_EQ(add("kept").out, "1\n");
    CliResult r = add("refused", "Nowhere");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "Field contents error: The value of Category of account must be found in the "
              "CVCAT file.\n");
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(accountCount(cli), 1);
    // No record was reserved for the refused account: the next one takes its number.
    EXPECT_EQ(add("next").out, "2\n");
    EXPECT_EQ(accountCount(cli), 2);
}

TEST_F(ManagedCli, TheCategoryRuleIgnoresLetterCaseAndTrailingBlanks) {
    CliResult r = add("x", "PERSONAL  ");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "1\n");
    // A category removed behind the tool's back is missing for the next add.
    inVault(cli, [](vault::VaultTables& t) {
        vault::CatBuffer c;
        c->Category = "Personal";
        ASSERT_EQ(t.cat.get(vault::cat::K_Category, c), 0);
        ASSERT_EQ(t.cat.erase(), 0);
    });
    r = add("y");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Field contents error"), std::string::npos) << r.err;
    EXPECT_EQ(accountCount(cli), 1);
}

TEST_F(ManagedCli, ADuplicateCategoryNamesTheKeyAndChangesNothing) {
    ASSERT_EQ(cli.run({"categories", "add", "Work"}, "Secret\n").exitCode, 0);
    for (const char* name : {"WORK", "wOrK", "work   "}) {
        CliResult r = cli.run({"categories", "add", name}, "Secret\n");
        EXPECT_EQ(r.exitCode, 1) << name;
        EXPECT_EQ(r.err,
                  "Duplicate Key Error: Adding this record creates a duplicate entry for the "
                  "key: Category\n")
            << name;
        EXPECT_TRUE(r.out.empty()) << name;
    }
    EXPECT_EQ(cli.run({"categories", "list"}, "Secret\n").out, "Personal\nWork\n");
}

TEST_F(ManagedCli, ListAndShowReadWhatTheRelationsChanged) {
    ASSERT_EQ(add("mail").exitCode, 0);
    ASSERT_EQ(cli.run({"categories", "add", "Bank"}, "Secret\n").exitCode, 0);
    ASSERT_EQ(add("card", "bank").exitCode, 0);
    ASSERT_EQ(cli.run({"categories", "rename", "personal", "Home"}, "Secret\n").exitCode, 0);
    CliResult r = cli.run({"list"}, "Secret\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // Category order: "bank" before "Home", whatever the letter case.
    EXPECT_EQ(r.out.find("2\tbank\tcard\t"), 0u) << r.out;
    EXPECT_NE(r.out.find("\n1\tHome\tmail\t"), std::string::npos) << r.out;
    r = cli.run({"show", "1"}, "Secret\n");
    EXPECT_NE(r.out.find("PAS:Category           Home\n"), std::string::npos) << r.out;
}

TEST_F(ManagedCli, ShowOfADeletedAccountIsARetrievalError) {
    ASSERT_EQ(add("a").exitCode, 0);
    ASSERT_EQ(add("b").exitCode, 0);
    deleteAccount(cli, 1);
    CliResult r = cli.run({"show", "1"}, "Secret\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Record Retrieval Error: There is no account with ID 1.\n");
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(cli.run({"show", "2"}, "Secret\n").exitCode, 0);
}

TEST(ManagedCliInit, TheMasterRecordAndTheDefaultCategoryAreAddedOnce) {
    CliRunner cli;
    ASSERT_EQ(cli.run({"status"}).exitCode, 0);  // an empty vault, not set up
    // A category of that name, in other letters, is there already: it is not added again.
    inVault(cli, [](vault::VaultTables& t) {
        vault::CatBuffer c;
        c->Category = "PERSONAL";
        ASSERT_EQ(t.cat.add(c), 0);
    });
    CliResult r = cli.run({"init", "--master-password-stdin"}, "\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "vault set up without a master password\n");
    EXPECT_EQ(cli.run({"categories", "list"}).out, "PERSONAL\n");
    inVault(cli, [](vault::VaultTables& t) {
        EXPECT_EQ(t.mas.records(), 1);
        vault::MasBuffer m;
        ASSERT_EQ(t.mas.set(vault::mas::K_MAS_ID), 0);
        ASSERT_EQ(t.mas.next(m), 0);
        EXPECT_EQ(m->MAS_ID, 1);
        EXPECT_TRUE(m->Password.empty());
        EXPECT_FALSE(m->EncPassword.empty());  // the installation identity
    });
    // New accounts start in the category that was there.
    r = cli.run({"add", "--description", "z"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(cli.run({"list"}).out.find("\tPersonal\tz\t"), std::string::npos);
}

}  // namespace
}  // namespace corvix::testing
