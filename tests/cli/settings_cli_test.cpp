// corvix-cli settings and passwd: the same rules as the set-up and change wizards, typed
// passwords only, entries one line each from standard input.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli_runner.h"
#include "vault/access.h"

namespace corvix::testing {
namespace {

vault::MasRecord storedMaster(const CliRunner& cli) {
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(cli.dir());
    vault::MasRecord out;
    {
        vault::VaultTables t;
        EXPECT_EQ(t.openAll(), 0);
        vault::MasBuffer b;
        t.mas.set(storage::kPhysicalOrder);
        EXPECT_EQ(t.mas.next(b), 0);
        out = b.record();
        t.closeAll();
    }
    std::filesystem::current_path(previous);
    return out;
}

TEST(SettingsCli, SetChangesOnlyWhatIsGivenAndNeverThePasswordOrIdentity) {
    CliRunner cli;
    ASSERT_EQ(cli.run({"init", "--master-password-stdin"}, "s3cret\n").exitCode, 0);
    const vault::MasRecord before = storedMaster(cli);
    // Bad values are refused before the password is asked.
    CliResult bad = cli.run({"settings", "set", "--inactivity", "0"}, "");
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_NE(bad.err.find("--inactivity takes"), std::string::npos) << bad.err;
    EXPECT_EQ(cli.run({"settings", "set", "--custom3", std::string(21, 'x')}, "").exitCode, 2);
    EXPECT_EQ(cli.run({"settings", "set", "--inactivity", "15"}, "wrong\n").exitCode, 1);

    CliResult set = cli.run({"settings", "set", "--inactivity", "15", "--custom1",
                             "&Bank:", "--reveal-passwords", "on"},
                            "s3cret\n");
    ASSERT_EQ(set.exitCode, 0) << set.err;
    vault::MasRecord after = storedMaster(cli);
    EXPECT_EQ(after.InactivityTimeout, 15);
    EXPECT_EQ(after.MonitorInactivity, 1);
    EXPECT_EQ(after.Custom1, "&Bank:");
    EXPECT_EQ(after.Custom2, before.Custom2);
    EXPECT_EQ(after.RevealPasswords, 1);
    EXPECT_EQ(after.Password, "s3cret");
    EXPECT_EQ(after.EncPassword, before.EncPassword);

    ASSERT_EQ(cli.run({"settings", "set", "--inactivity", "off"}, "s3cret\n").exitCode, 0);
    CliResult shown = cli.run({"settings", "show"});  // asks no password
    EXPECT_NE(shown.out.find("inactivity: off"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("custom 1: &Bank:"), std::string::npos) << shown.out;
    EXPECT_EQ(shown.out.find("s3cret"), std::string::npos);
}

TEST(SettingsCli, PasswdAsksTheCurrentOneThenTheNewOneTwice) {
    CliRunner cli;
    ASSERT_EQ(cli.run({"init", "--master-password-stdin"}, "old\n").exitCode, 0);
    const std::string identity = storedMaster(cli).EncPassword;
    CliResult wrong = cli.run({"passwd"}, "Old\nnew\nnew\n");
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_NE(wrong.err.find("Information: The password did not match."), std::string::npos);
    CliResult differ = cli.run({"passwd"}, "old\nnew\nnew \tx\n");
    EXPECT_EQ(differ.exitCode, 1);
    EXPECT_NE(differ.err.find("Error: The two passwords do not match."), std::string::npos);
    CliResult cut = cli.run({"passwd"}, "old\nnew\n");  // input ends before the confirmation
    EXPECT_NE(cut.err.find("Information: The change was cancelled."), std::string::npos);
    EXPECT_EQ(storedMaster(cli).Password, "old");

    ASSERT_EQ(cli.run({"passwd"}, "old\nnew pass\nnew pass\n").exitCode, 0);
    EXPECT_EQ(storedMaster(cli).Password, "new pass");
    EXPECT_EQ(storedMaster(cli).EncPassword, identity);
    // Nothing twice removes it; then no current password is asked.
    ASSERT_EQ(cli.run({"passwd"}, "new pass\n\n\n").exitCode, 0);
    EXPECT_EQ(storedMaster(cli).Password, "");
    CliResult again = cli.run({"passwd"}, "x\nx\n");
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(storedMaster(cli).Password, "x");
}

}  // namespace
}  // namespace corvix::testing
