// corvix-cli repair info|build|pack|release|check: the Repair window's operations over
// every file of its list, and the storage's integrity check of the vault.
#include <cstdio>

#include "cli/command.h"
#include "vault/maintenance.h"

namespace corvix::cli {
namespace {

// Messages as "title: text" on standard error; questions answered No; no repair tool is
// started from here.
class CliRepairUi : public vault::RepairUi {
  public:
    void message(const std::string& title, const std::string& text) override {
        printMessage(title, text);
        ++messages;
    }
    bool askYesNo(const std::string& title, const std::string& text) override {
        printMessage(title, text);
        return false;
    }
    bool startDetached(const std::vector<std::string>&, std::string* error) override {
        *error = "not started from the command line";
        return false;
    }
    int messages = 0;
};

int runRepair(const std::vector<std::string>& args) {
    const std::string usage = "repair takes one of info, build, pack, release, check";
    if (args.size() != 1) return usageError("repair", usage);
    const std::string& what = args[0];
    vault::RepairOperation operation;
    if (what == "info")
        operation = vault::RepairOperation::Info;
    else if (what == "build")
        operation = vault::RepairOperation::Build;
    else if (what == "pack")
        operation = vault::RepairOperation::Pack;
    else if (what == "release")
        operation = vault::RepairOperation::Release;
    else if (what != "check")
        return usageError("repair", usage);

    if (what == "check") {
        // Shows no account data, and must work on a vault too damaged to log on to.
        std::vector<std::string> report;
        const bool sound = vault::checkVaultIntegrity(&report);
        for (const std::string& line : report) std::printf("%s\n", line.c_str());
        std::printf("%s\n", sound ? "vault: sound" : "vault: DAMAGED");
        return sound ? kExitOk : kExitError;
    }
    VaultSession session;
    int rc = session.openAndLogOn();
    if (rc != kExitOk) return rc;
    session.tables().closeAll();  // the operations open each file alone

    std::vector<vault::RepairRow> rows = vault::repairRows();
    for (vault::RepairRow& row : rows) row.tag = "1";
    CliRepairUi ui;
    vault::runRepairOperation(operation, rows, -1, ui);
    for (const vault::RepairRow& row : rows)
        std::printf("%-6s %-30s %8s  %s\n", row.label.c_str(), row.description.c_str(),
                    row.records.c_str(), row.path.c_str());
    return ui.messages == 0 ? kExitOk : kExitError;
}

}  // namespace

CORVIX_CLI_COMMAND(kRepair, "repair", "repair info|build|pack|release|check",
                   "maintains the vault's files (check: integrity of every vault table)",
                   runRepair);

}  // namespace corvix::cli
