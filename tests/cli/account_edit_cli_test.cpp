// corvix-cli edit and delete: the form's rules from the command line (a changed password
// moves a sooner expiry date on by the interval, a changed note does not; the category
// must exist), and a delete that needs --yes when nobody can be asked.
#include <gtest/gtest.h>

#include <ctime>

#include "cli_runner.h"

namespace corvix::testing {
namespace {

class EditCli : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(cli.run({"init", "--master-password-stdin"}, "Secret\n").exitCode, 0);
        CliResult r =
            cli.run({"add", "--description", "Bank", "--password-stdin"}, "Secret\nold pw\n");
        ASSERT_EQ(r.out, "1\n") << r.err;
    }
    std::string show() { return cli.run({"show", "1", "--reveal"}, "Secret\n").out; }
    // A line of show as it starts: the label padded to 22 characters and a blank.
    static std::string line(std::string label) {
        label.resize(22, ' ');
        return label + " ";
    }
    static std::string isoDaysFromNow(int days) {
        std::time_t t = std::time(nullptr) + days * 86400L;
        char buf[16];
        std::strftime(buf, sizeof buf, "%Y-%m-%d", std::localtime(&t));
        return buf;
    }
    CliRunner cli;
};

TEST_F(EditCli, PasswordChangeMovesASoonerExpiryButNotesAloneDoNot) {
    const std::string soon = isoDaysFromNow(3);
    CliResult r =
        cli.run({"edit", "1", "--interval", "30", "--expires", soon, "--notes", "n"}, "Secret\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::string shown = show();
    EXPECT_NE(shown.find(line("PAS:Expires") + soon), std::string::npos) << shown;
    EXPECT_NE(shown.find(line("PAS:LastChange") + isoDaysFromNow(0)), std::string::npos) << shown;

    r = cli.run({"edit", "1", "--password-stdin"}, "Secret\nnew pw\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    shown = show();
    EXPECT_NE(shown.find("new pw"), std::string::npos) << shown;
    EXPECT_NE(shown.find(line("PAS:Expires") + isoDaysFromNow(30)), std::string::npos) << shown;
}

TEST_F(EditCli, BadInputAndAMissingCategoryChangeNothing) {
    EXPECT_EQ(cli.run({"edit", "1", "--expires", "2024-02-30"}, "Secret\n").exitCode, 2);
    EXPECT_EQ(cli.run({"edit", "1", "--watch", "--no-watch"}, "Secret\n").exitCode, 2);
    EXPECT_EQ(cli.run({"edit", "x"}, "Secret\n").exitCode, 2);
    CliResult r = cli.run({"edit", "9", "--notes", "x"}, "Secret\n");
    EXPECT_EQ(r.exitCode, 1);
    r = cli.run({"edit", "1", "--category", "Nowhere", "--description", "Changed"}, "Secret\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Category"), std::string::npos) << r.err;
    EXPECT_NE(show().find("Bank"), std::string::npos);
    EXPECT_EQ(show().find("Changed"), std::string::npos);
}

TEST_F(EditCli, DeleteWithoutATerminalNeedsYes) {
    CliResult r = cli.run({"delete", "1"}, "Secret\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("--yes"), std::string::npos) << r.err;
    EXPECT_NE(show().find("Bank"), std::string::npos);
    r = cli.run({"delete", "1", "--yes"}, "Secret\n");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(cli.run({"show", "1"}, "Secret\n").exitCode, 1);
}

}  // namespace
}  // namespace corvix::testing
