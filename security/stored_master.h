// The master record as it is stored, read and written apart from any form's buffer: what
// MasterCopy is reloaded from when a wizard closes, and what the theme windows ask
// before they touch a theme the master password depends on.
#pragma once

#include <cstdint>
#include <optional>

#include "vault/records.h"

namespace corvix::framework {
class VaultManagers;
}

namespace corvix::security {

// For the forms on the master record: opens its file manager on this thread and reads the
// one record into the shared buffer, where it stays current for the update. Returns the
// form's request: change when there is a record, insert otherwise; 0 (nothing opened)
// when the table cannot be opened. The form gives the open back with one Close.
int openMasterForForm(framework::VaultManagers& managers);

// The stored master record; nullopt when there is none or the table cannot be read.
std::optional<vault::MasRecord> storedMaster();
// Reloads MasterCopy from the stored record when there is one; true when it did.
bool reloadMasterCopy();

// How the stored master record depends on a theme.
enum class ThemeUse {
    None,      // the master record does not name it
    Named,     // MAS:GSD_ID names it, but the password is typed
    Password,  // the master password is given on it
};
ThemeUse themeUse(int32_t gsdId);
// Makes the stored master record stop naming a theme it does not use for the password
// (MAS:GSD_ID becomes 0). Storage error code, 0 when done or nothing to do.
int forgetTheme(int32_t gsdId);

}  // namespace corvix::security
