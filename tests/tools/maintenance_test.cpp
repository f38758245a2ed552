// The maintenance operations of the Repair window over real files: Fix refuses the
// encrypted tables and the text files, Build meets another process holding the vault and
// goes on, Info changes no file, the integrity check finds a damaged page.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "../vault/temp_dir.h"
#include "tools_fixture.h"
#include "vault/access.h"
#include "vault/maintenance.h"

namespace corvix::vault {
namespace {

class RecordingUi : public RepairUi {
  public:
    void message(const std::string& title, const std::string& text) override {
        shown.push_back(title + ": " + text);
    }
    bool askYesNo(const std::string& title, const std::string& text) override {
        shown.push_back(title + "? " + text);
        return false;
    }
    bool startDetached(const std::vector<std::string>&, std::string*) override {
        ++started;
        return true;
    }
    std::vector<std::string> shown;
    int started = 0;
};

class Maintenance : public ::testing::Test {
  protected:
    void SetUp() override {
        VaultTables t;
        ASSERT_EQ(t.openAll(), 0);
        storage::Transaction tx;
        ASSERT_EQ(tx.begin({&t.pas}, 10), 0);
        for (int i = 1; i <= 300; ++i) {
            PasBuffer r;
            r.record() = corvix::testing::awkwardAccount(i);
            ASSERT_EQ(t.pas.add(r), 0);
        }
        ASSERT_EQ(tx.commit(), 0);
        t.closeAll();
        std::ofstream(kPasswordsExportFile) << "1,\"x\"\r\n2,\"y\"\r\n";
    }
    std::vector<RepairRow> tagged(std::initializer_list<const char*> labels) {
        std::vector<RepairRow> rows = repairRows();
        for (RepairRow& r : rows)
            for (const char* l : labels)
                if (r.label == l) r.tag = "1";
        return rows;
    }
    const RepairRow& row(const std::vector<RepairRow>& rows, const std::string& label) {
        for (const RepairRow& r : rows)
            if (r.label == label) return r;
        throw std::runtime_error(label);
    }
    corvix::testing::TempWorkDir dir;
    RecordingUi ui;
};

TEST_F(Maintenance, RowsAreSortedByDescription) {
    std::vector<std::string> labels;
    for (const RepairRow& r : repairRows()) labels.push_back(r.label);
    EXPECT_EQ(labels, (std::vector<std::string>{"CVCAT", "CVMAS", "CVWRD", "ExPAS", "CVPAS",
                                                "ExGSD", "CVGSD"}));
}

TEST_F(Maintenance, FixRefusesEncryptedTablesAndTextFilesAndStartsNothing) {
    std::vector<RepairRow> rows = tagged({"CVCAT", "CVPAS", "CVMAS", "CVGSD", "CVWRD", "ExPAS"});
    runRepairOperation(RepairOperation::Fix, rows, -1, ui);
    EXPECT_EQ(ui.shown, (std::vector<std::string>{
                            "Repair: Can't fix encrypted file : CVCAT",
                            "Repair: Can't fix encrypted file : CVMAS",
                            "Repair: Can't fix encrypted file : CVWRD",
                            "Error: Not a TOPSPEED file.",
                            "Repair: Can't fix encrypted file : CVPAS",
                            "Repair: Can't fix encrypted file : CVGSD",
                        }));
    EXPECT_EQ(ui.started, 0);
    for (const auto& e : std::filesystem::directory_iterator("."))
        EXPECT_NE(e.path().extension(), ".tpe") << e.path();
    EXPECT_EQ(tpsfixCommandLine("/v/Corvix.TPS"), "tpsfix /v/Corvix.TPS  /E:/v/Corvix.tpe /K ");
    EXPECT_EQ(tpsfixCommandLine("DATA"), "tpsfix DATA.tps  /E:DATA.tpe /K ");
}

TEST_F(Maintenance, BuildWhileAnotherProcessHoldsTheVaultReportsAndGoesOn) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        storage::abandonConnectionsAfterFork();
        storage::Table t(CVPAS());
        if (t.open(storage::kReadWrite | storage::kDenyNone) != 0) ::_exit(3);
        char c = 1;
        if (::write(ready[1], &c, 1) != 1) ::_exit(4);
        ::pause();
        ::_exit(0);
    }
    char c;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    std::vector<RepairRow> rows = tagged({"CVCAT", "CVPAS", "ExPAS", "ExGSD"});
    runRepairOperation(RepairOperation::Build, rows, -1, ui);
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    const std::string access =
        "File Access Error: This option requires exclusive file access.\nPlease ensure no other "
        "users are in the system. \nAn error occured trying to open the file : Error Access "
        "Denied (5)";
    // Only the table the other process holds; the missing ExGSD is skipped silently.
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].rfind(access, 0), 0u) << ui.shown[0] << "\n" << access;
    EXPECT_EQ(row(rows, "CVCAT").records, "0");
    EXPECT_EQ(row(rows, "ExPAS").records, "2");  // and it went on
    EXPECT_EQ(row(rows, "CVPAS").records, "?");

    ui.shown.clear();
    rows = tagged({"CVPAS"});
    runRepairOperation(RepairOperation::Build, rows, -1, ui);
    runRepairOperation(RepairOperation::Pack, rows, -1, ui);
    runRepairOperation(RepairOperation::Release, rows, -1, ui);
    EXPECT_TRUE(ui.shown.empty());
    EXPECT_EQ(row(rows, "CVPAS").records, "300");
}

TEST_F(Maintenance, InfoFillsCountsWithoutChangingAnyFile) {
    auto snapshot = [] {
        std::map<std::string, std::pair<std::string, int64_t>> files;
        for (const auto& e : std::filesystem::directory_iterator(".")) {
            // The upgrade library's own store is not one of the files maintained here.
            if (e.path().filename().string().rfind("Upg.Tps", 0) == 0) continue;
            std::ifstream in(e.path(), std::ios::binary);
            std::string bytes((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
            files[e.path().filename().string()] = {
                bytes, static_cast<int64_t>(e.last_write_time().time_since_epoch().count())};
        }
        return files;
    };
    auto before = snapshot();
    std::vector<RepairRow> rows = tagged({});
    for (RepairRow& r : rows) r.tag = "1";
    runRepairOperation(RepairOperation::Info, rows, -1, ui);
    EXPECT_TRUE(ui.shown.empty());
    EXPECT_EQ(row(rows, "CVPAS").records, "300");
    EXPECT_EQ(row(rows, "CVPAS").path, dir.path() + "/Corvix.TPS\\!Passwords");
    EXPECT_EQ(row(rows, "ExPAS").records, "2");
    EXPECT_EQ(row(rows, "CVWRD").records, "?");
    EXPECT_EQ(row(rows, "CVWRD").path, "Error : File Not Found (2)");
    auto after = snapshot();
    for (const auto& [name, content] : after) {
        auto it = before.find(name);
        EXPECT_TRUE(it != before.end() && it->second == content) << "changed: " << name;
    }
    EXPECT_EQ(before.size(), after.size());
}

TEST_F(Maintenance, HighlightedRowWhenNoneIsTagged) {
    std::vector<RepairRow> rows = repairRows();
    runRepairOperation(RepairOperation::Info, rows, 4, ui);  // CVPAS
    EXPECT_EQ(rows[4].records, "300");
    EXPECT_EQ(rows[0].records, "?");
}

TEST_F(Maintenance, IntegrityCheckFindsADamagedPage) {
    std::vector<std::string> report;
    EXPECT_TRUE(checkVaultIntegrity(&report)) << ::testing::PrintToString(report);
    {
        std::fstream f("Corvix.TPS", std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(5 * 4096 + 100);
        f.write("garbage garbage garbage", 23);
    }
    report.clear();
    EXPECT_FALSE(checkVaultIntegrity(&report));
    bool named = false;
    for (const std::string& line : report) named = named || line.find("CVPAS") == 0;
    EXPECT_TRUE(named);
}

}  // namespace
}  // namespace corvix::vault
