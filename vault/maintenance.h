// Database maintenance over the program's fixed list of data files: rebuild keys, pack,
// release, repair with the outside tool, and count (Info), one row at a time with
// exclusive opens through the upgrade library. Without windows: the Repair window and
// corvix-cli supply a RepairUi for messages, progress and starting the repair tool.
//
// This storage never holds records, so Release opens the file exclusively, reads every
// record (the driver strings of the original driver are sent and ignored) and reports the
// count; it finds nothing to release.
#pragma once

#include <string>
#include <vector>

#include "platform/storage/errors.h"
#include "platform/storage/table.h"

namespace corvix::vault {

enum class RepairOperation { Build, Pack, Release, Fix, Info };

// One row of the file list.
struct RepairRow {
    std::string tag;            // "1" when tagged
    std::string description;    // the "File" column
    std::string records = "?";  // record count once known
    std::string path;           // full name as the driver reports it (or "Error : ...")
    std::string label;          // the declaration the row stands for
    bool encrypted = false;     // the vault's own tables and the word database
};

// The seven rows, sorted by description (rows of the same description in table order).
std::vector<RepairRow> repairRows();

class RepairUi {
  public:
    virtual ~RepairUi() = default;
    // "Working On": the file and what is done to it; filesLeft counts this one.
    virtual void working(const std::string& description, const std::string& detail, int filesLeft) {
        (void)description, (void)detail, (void)filesLeft;
    }
    virtual void percent(int done) { (void)done; }
    // Asked between files: true stops before the next one.
    virtual bool cancelled() { return false; }
    virtual void message(const std::string& title, const std::string& text) = 0;
    // A Yes/No question with No as the default; true for Yes.
    virtual bool askYesNo(const std::string& title, const std::string& text) = 0;
    // Starts a program without waiting; false (with *error) when it could not be started.
    virtual bool startDetached(const std::vector<std::string>& argv, std::string* error) = 0;
};

// Carries out the operation on the tagged rows, or on the highlighted one when none is
// tagged, in list order; counts and names are written into the rows.
void runRepairOperation(RepairOperation operation, std::vector<RepairRow>& rows, int highlighted,
                        RepairUi& ui);

// The message after a failed exclusive open ("|" in the original are line breaks here).
std::string accessErrorText(const storage::Error& error);

// The repair tool's command line for a file name (the original tool's syntax).
std::string tpsfixCommandLine(const std::string& name);

// Every vault table (and the word database) checked with the storage's integrity check;
// `report` gets one line per file. True when all are sound.
bool checkVaultIntegrity(std::vector<std::string>* report);

}  // namespace corvix::vault
