// corvix-cli's filters: list --where in the filter language.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli_runner.h"
#include "libs/quillet/query_store.h"

namespace corvix::testing {
namespace {

class CliFilters : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(cli.run({"init", "--master-password-stdin"}, "\n").exitCode, 0);
        ASSERT_EQ(cli.run({"categories", "add", "Web"}).exitCode, 0);
        add({"--description", "Mail", "--category", "Web", "--name", "Ärger", "--wait", "1"});
        add({"--description", "Bank", "--name", "abby", "--wait", "7", "--notes", "pin x"});
        add({"--description", "O'Brien's", "--name", "guest", "--watch"});
    }
    void add(std::vector<std::string> args) {
        args.insert(args.begin(), "add");
        CliResult r = cli.run(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    // The account numbers listed, in order.
    std::string ids(const std::string& where) {
        CliResult r = cli.run({"list", "--where", where});
        EXPECT_EQ(r.exitCode, 0) << where << ": " << r.err;
        std::string out;
        size_t start = 0;
        while (start < r.out.size()) {
            out += (out.empty() ? "" : ",") + r.out.substr(start, r.out.find('\t', start) - start);
            start = r.out.find('\n', start) + 1;
        }
        return out;
    }
    CliRunner cli;
};

TEST_F(CliFilters, ListWhereFiltersWithTheLanguageAndRefusesBadText) {
    EXPECT_EQ(ids("UPPER(PAS:Category) = 'WEB'"), "1");
    EXPECT_EQ(ids("UPPER(SUB(PAS:Name,1,2)) = 'ÄR' OR PAS:Wait > 5"), "2,1");
    EXPECT_EQ(ids("NOT INSTRING('X',UPPER(PAS:Notes),1,1)"), "3,1");
    EXPECT_EQ(ids("PAS:Description = 'O''Brien''s'"), "3");
    EXPECT_EQ(ids("CAT:Category = 'Personal' AND PAS:Watch <> 0"), "3");
    EXPECT_EQ(ids("INSTRING('b',PAS:Name,2,1)"), "2");  // evaluated per record
    EXPECT_EQ(ids(""), "2,3,1");
    // Typed SQL is a syntax error or a plain string, and the vault stays whole.
    CliResult r = cli.run({"list", "--where", "PAS:Name = 'x'); DROP TABLE d1; --"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("unexpected text after the expression at position 15"), std::string::npos)
        << r.err;
    EXPECT_EQ(ids("PAS:Name = 'x''); DROP TABLE d1; --'"), "");
    r = cli.run({"list", "--where", "PAS:Nmae = 'x'"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("unknown field PAS:Nmae at position 1"), std::string::npos) << r.err;
    EXPECT_EQ(ids("PAS:PAS_ID > 0"), "2,3,1");
}

TEST_F(CliFilters, SavedQueriesOfTheAccountsAreListedShownUsedAndDeleted) {
    {
        // Saved as the wizard saves them, in the vault's folder.
        const auto previous = std::filesystem::current_path();
        std::filesystem::current_path(cli.dir());
        quillet::StoreError err;
        quillet::StoredQuery web{0,
                                 "PASSWORDS",
                                 "Web",
                                 0,
                                 0,
                                 "UPPER(PAS:Category) = 'WEB'",
                                 {{2, 0, "", "web", 0, 1, 0}}};
        quillet::StoredQuery other{0, "CATEGORIES", "theirs", 1, 0, "1", {}};
        quillet::StoredQuery broken{0, "PASSWORDS", "broken", 0, 1, "PAS:Wait = 1", {}};
        for (auto* q : {&web, &other, &broken}) ASSERT_EQ(quillet::QueryStore::save(*q, &err), 0);
        std::filesystem::current_path(previous);
    }
    CliResult r = cli.run({"queries", "list"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "3\tbroken\t(no longer valid)\n1\tWeb\n");
    r = cli.run({"queries", "show", "1"});
    EXPECT_NE(r.out.find("filter        UPPER(PAS:Category) = 'WEB'"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("conditions    1"), std::string::npos) << r.out;
    r = cli.run({"list", "--query", "1"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 2), "1\t");
    EXPECT_EQ(r.out.find('\n'), r.out.size() - 1);  // one account
    // Another list's query and a query on removed fields are not used.
    r = cli.run({"list", "--query", "2"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("There is no saved query 2."), std::string::npos);
    r = cli.run({"list", "--query", "3"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Query No Longer Valid"), std::string::npos);
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(cli.run({"list", "--query", "1", "--where", "1"}).exitCode, 2);
    ASSERT_EQ(cli.run({"queries", "delete", "1"}).exitCode, 0);
    EXPECT_EQ(cli.run({"queries", "list"}).out, "3\tbroken\t(no longer valid)\n");
    EXPECT_EQ(cli.run({"queries", "delete", "1"}).exitCode, 1);
    EXPECT_EQ(cli.run({"queries", "delete", "2"}).exitCode, 1);
}

}  // namespace
}  // namespace corvix::testing
