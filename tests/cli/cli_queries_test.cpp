// corvix-cli's filters: list --where in the filter language.
#include <gtest/gtest.h>

#include "cli_runner.h"

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
    EXPECT_NE(r.err.find("unexpected text after the expression at position 15"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(ids("PAS:Name = 'x''); DROP TABLE d1; --'"), "");
    r = cli.run({"list", "--where", "PAS:Nmae = 'x'"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("unknown field PAS:Nmae at position 1"), std::string::npos) << r.err;
    EXPECT_EQ(ids("PAS:PAS_ID > 0"), "2,3,1");
}

}  // namespace
}  // namespace corvix::testing
