// Tells the upgrade library about the table driver and every table of the program, so
// that a file with an older structure is converted when it is next opened.
#pragma once

#include "platform/storage/declaration.h"

namespace corvix::vault {

// The one-field declaration that only names the table driver to the upgrade library.
const storage::TableDecl& DriverFile();

// fu_AddDriver("Tps", DriverFile), fu_IgnoreDriver("AllFiles", 1), then fu_UsingFile for
// every table in registration order. The table handles it registers live for the rest
// of the process (the library keeps them).
void registerTablesWithUpgradeLibrary();

// The same registration, put off until a table first needs converting (fu_DeferRegistration):
// for corvix-cli, whose commands would otherwise spend as long on it as on their work.
void deferUpgradeRegistration();

}  // namespace corvix::vault
