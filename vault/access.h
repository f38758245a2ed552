// Small functions through which the vault's tables are reached until the framework's
// file managers take over: open (creating a missing table, vault key first), insert with
// automatic numbering, count. Every function returns a storage error code (0 = done).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/storage/table.h"
#include "vault/tables.h"

namespace corvix::vault {

// Opens the table, creating it empty first when it does not exist. Tables of the vault
// and containers get the vault key built immediately before the open.
int openTable(storage::Table& table, int mode = storage::kReadWrite | storage::kDenyNone);

// The highest value of a one-component numeric key + 1, or 1 for an empty table.
// `scratch` is a buffer of the table's declaration (its contents are overwritten).
int nextNumber(storage::Table& table, int key, storage::RecordBuffer& scratch, int64_t* number);

// Adds the record, first giving the auto-numbered key's field the next number. A number
// taken meanwhile by someone else is retried (three attempts).
int insertNumbered(storage::Table& table, storage::RecordBuffer& record);

// The four tables of the vault file in the working directory.
struct VaultTables {
    storage::Table cat{CVCAT()};
    storage::Table pas{CVPAS()};
    storage::Table mas{CVMAS()};
    storage::Table gsd{CVGSD()};

    // Opens (creating) the four tables; a table that cannot be opened is listed in
    // `failures` (its error) and the others are still opened. Returns the first error.
    int openAll(std::vector<storage::Error>* failures = nullptr);
    void closeAll();
};

// Whether the category exists in CVCAT (compared without letter case and trailing blanks).
// `categories` must be open.
bool categoryExists(storage::Table& categories, const std::string& name);

// A new vault gets the category new accounts start in, so that an account saved with its
// initial values is valid. Adds it when missing; `categories` must be open for writing.
int ensureDefaultCategory(storage::Table& categories);

}  // namespace corvix::vault
