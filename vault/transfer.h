// Export and import of whole records between a vault table and its export file
// (ExPas.BAS, ExGSD.BAS), without windows: the program's progress windows and
// corvix-cli both drive these and decide what the user sees.
//
// An export appends one line per record to the file (created with mode 0600, and an
// existing file is narrowed to 0600, since it holds every password in clear), writing
// only whole lines, so that an interrupted export leaves whole records. An import adds
// the records as they are (numbers included, no field rules) in transactions of at most
// `batchRecords` records or `batchMillis` milliseconds, so that Cancel, a failure or a
// kill keeps every record of the committed batches and never half a record; a line that
// cannot be read is reported with its number and skipped; a record a unique key refuses
// is reported and the import goes on.
#pragma once

#include <cstdint>
#include <string>

#include "platform/storage/errors.h"
#include "platform/storage/table.h"

namespace corvix::vault {

inline constexpr const char* kPasswordsExportFile = "ExPas.BAS";
inline constexpr const char* kThemesExportFile = "ExGSD.BAS";

// What the caller hears while records move. Every member has a quiet default.
class TransferObserver {
  public:
    virtual ~TransferObserver() = default;
    // Percentage of the work done (records read for an export, bytes read for an
    // import); called when it changes.
    virtual void progress(int percent) { (void)percent; }
    // Asked after each record: true stops the run after that record.
    virtual bool cancelled() { return false; }
    // A record the target refused as a duplicate (error 40, the key in error.key); line
    // is its line in the import file. Everything imported before it is committed.
    virtual void refused(const storage::Error& error, int64_t line) {
        (void)error;
        (void)line;
    }
    // A line that could not be read, and why; it was skipped.
    virtual void malformed(int64_t line, const std::string& reason) {
        (void)line;
        (void)reason;
    }
    // Records written so far, all of them committed (imports) or on disk (exports).
    virtual void committed(int64_t written) { (void)written; }
};

struct TransferResult {
    int64_t read = 0;       // records (export) or lines holding a record (import) read
    int64_t written = 0;    // records appended to the file / added to the table
    int64_t refused = 0;    // duplicates the table refused
    int64_t malformed = 0;  // lines skipped
    bool cancelled = false;
    storage::Error failure;  // code 0 unless the run stopped on an error
};

struct BatchLimits {
    int64_t records = 10000;
    int millis = 250;
};

// Appends every record of `source` (open), read in the order of `key`, to the file.
TransferResult exportRecords(storage::Table& source, int key, const std::string& fileName,
                             TransferObserver& observer);

// Adds every record of the file to `target` (open for writing). A missing file is
// created empty, so nothing is imported.
TransferResult importRecords(const std::string& fileName, storage::Table& target,
                             TransferObserver& observer, BatchLimits limits = {});

}  // namespace corvix::vault

namespace corvix::vault {

// The completion message of an export: "Passwords have been exported to ExPas.BAS." or
// "3 image themes have been exported to ExGSD.BAS." (the file name without trailing blanks).
std::string exportCompletionText(bool themes, int64_t exported, const std::string& fileName);

// What an import did, for the end of a run that refused or skipped something:
// "998 records imported from ExPas.BAS, 2 refused as duplicates, 1 line skipped."
std::string importSummaryText(const TransferResult& result, const std::string& fileName);

}  // namespace corvix::vault
