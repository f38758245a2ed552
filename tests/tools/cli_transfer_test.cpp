// corvix-cli export and import of the export files: the program's completion texts, the
// duplicate-key message once and then counts, unreadable lines named by their number.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "../cli/cli_runner.h"
#include "vault/access.h"

namespace corvix::testing {
namespace {

class CliTransfer : public ::testing::Test {
  protected:
    void SetUp() override {
        CliResult r = cli.run({"init", "--master-password-stdin"}, "Secret\n");
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    CliResult run(const std::vector<std::string>& args) { return cli.run(args, "Secret\n"); }
    // Runs body with the vault's tables opened directly, in the vault's folder.
    void inVault(const std::function<void(vault::VaultTables&)>& body) {
        const auto previous = std::filesystem::current_path();
        std::filesystem::current_path(cli.dir());
        {
            vault::VaultTables t;
            ASSERT_EQ(t.openAll(), 0);
            body(t);
            t.closeAll();
        }
        std::filesystem::current_path(previous);
    }
    CliRunner cli;
};

TEST_F(CliTransfer, EmptyExportStillCompletesWithTheFileName) {
    CliResult r = run({"export", "passwords"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "Complete: Passwords have been exported to ExPas.BAS.\n");
    EXPECT_TRUE(std::filesystem::exists(cli.dir() + "/ExPas.BAS"));
    EXPECT_EQ(cli.fileBytes("ExPas.BAS"), "");
}

TEST_F(CliTransfer, ThemesExportCountsAndReimportRefusesEachThemeOnce) {
    inVault([](vault::VaultTables& t) {
        for (int i = 1; i <= 3; ++i) {
            vault::GsdBuffer g;
            g->GSD_ID = i;
            g->Description = "Theme \"" + std::to_string(i) + "\", \u00DC";
            g->Columns = 3;
            g->Rows = 4;
            g->GridColor = 0x00FF8000u + i;
            g->Password = "sym,bols\n" + std::to_string(i);
            ASSERT_EQ(t.gsd.add(g), 0);
        }
    });
    CliResult r = run({"export", "themes"});
    EXPECT_EQ(r.err, "Complete: 3 image themes have been exported to ExGSD.BAS.\n");
    const std::string text = cli.fileBytes("ExGSD.BAS");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
    EXPECT_NE(text.find("3,\"Theme \"\"3\"\", \u00DC\",3,4,"), std::string::npos) << text;

    r = run({"import", "themes"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "Duplicate Key Error: Adding this record creates a duplicate entry for the key: "
              "System ID\n"
              "ExGSD.BAS:1: refused; further duplicates are only counted\n"
              "0 records imported from ExGSD.BAS, 3 refused as duplicates.\n");
}

TEST_F(CliTransfer, ImportGoesOnPastDuplicatesAndUnreadableLines) {
    ASSERT_EQ(cli.run({"add", "--description", "kept"}, "Secret\nSecret\n").exitCode, 0);
    ASSERT_EQ(run({"export", "passwords", "out.csv"}).exitCode, 0);
    std::string line = cli.fileBytes("out.csv");
    std::string renumbered = "5" + line.substr(1);
    std::ofstream(cli.dir() + "/in.csv", std::ios::binary) << line << "6,\"too few\"\r\n"
                                                           << renumbered;
    CliResult r = run({"import", "passwords", "in.csv"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("in.csv:2: skipped: 2 fields, 18 expected\n"), std::string::npos) << r.err;
    EXPECT_NE(
        r.err.find("1 record imported from in.csv, 1 refused as a duplicate, 1 line skipped."),
        std::string::npos)
        << r.err;
    inVault([](vault::VaultTables& t) {
        EXPECT_EQ(t.pas.records(), 2);
        vault::PasBuffer p;
        p->PAS_ID = 5;
        ASSERT_EQ(t.pas.get(vault::pas::K_PAS_ID, p), 0);
        EXPECT_EQ(p->Description, "kept");
    });
}

TEST_F(CliTransfer, WrongMasterPasswordExportsNothing) {
    CliResult r = cli.run({"export", "passwords"}, "wrong\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(std::filesystem::exists(cli.dir() + "/ExPas.BAS"));
}

TEST_F(CliTransfer, RepairCheckGivesAVerdictAndAnExitCode) {
    CliResult r = run({"repair", "check"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("CVPAS (Corvix\\!Passwords): sound"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("vault: sound\n"), std::string::npos);
    r = run({"repair", "info"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("CVMAS  Master information                    1  " + cli.dir()),
              std::string::npos)
        << r.out;
    {
        std::fstream f(cli.dir() + "/Corvix.TPS", std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(3 * 4096 + 10);
        f.write("damage", 6);
    }
    r = run({"repair", "check"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("vault: DAMAGED\n"), std::string::npos) << r.out << r.err;
    EXPECT_EQ(run({"repair", "fix"}).exitCode, 2);
}

}  // namespace
}  // namespace corvix::testing
