// corvix-cli init: sets up a new vault the way the set-up wizard does for a new one:
// the new master record's values, the master password (blank allowed) and the
// installation identity.
#include <cstdio>

#include "cli/command.h"
#include "runtime/date.h"
#include "vault/prime.h"
#include "vault/tables.h"

namespace corvix::cli {
namespace {

// The new master password: from standard input when asked to, else asked twice on the
// terminal; without a terminal and without the option it is blank.
bool newMasterPassword(bool fromStdin, ::runtime::Secret& password, int* rc) {
    password.clear();
    if (fromStdin) {
        readInputLine(password);  // end of input = a blank password
        return true;
    }
    if (!stdinIsTerminal()) return true;
    ::runtime::Secret again;
    if (!readSecret("Enter new master password", password) ||
        !readSecret("Re-enter new password to confirm", again)) {
        *rc = failWith("Information", "The change was cancelled.");
        return false;
    }
    if (!password.equals(again.view())) {
        *rc = failWith("Error", "The two passwords do not match.");
        return false;
    }
    return true;
}

// Accounts start in the default category, which must exist for them to be saved: added
// through the categories' manager unless it is there already.
int ensureDefaultCategory(framework::VaultManagers& m) {
    m.catRecord.clear();
    m.catRecord->Category = vault::kDefaultCategory;
    if (m.cat.TryFetch(vault::cat::K_Category) == framework::kLevelBenign) return kExitOk;
    if (m.cat.PendingError() != 0) {
        m.cat.RaisePending();
        return kExitError;
    }
    m.catRecord.clear();
    m.catRecord->Category = vault::kDefaultCategory;
    return m.cat.Insert() == framework::kLevelBenign ? kExitOk : kExitError;
}

int runInit(const std::vector<std::string>& args) {
    Options o;
    std::string error;
    if (!parseOptions(args, {"--master-password-stdin"}, {}, o, &error))
        return usageError("init", error);
    if (!o.positional.empty()) return usageError("init", "init takes no arguments");

    ManagedSession session;
    int rc = session.open();
    if (rc != kExitOk) return rc;
    if (session.state().setUp) return failWith("Error", "The vault is already set up.");

    const int32_t today = runtime::today();
    framework::VaultManagers& m = session.managers();
    vault::MasBuffer& master = m.masRecord;
    master.clear();
    vault::primeNewVaultMaster(master.record(), today);
    ::runtime::Secret password;
    rc = kExitError;
    if (!newMasterPassword(o.has("--master-password-stdin"), password, &rc)) return rc;
    std::string value(password.view());
    master.set(vault::mas::Password, value);  // cut to the field's 128 characters
    ::runtime::wipe(value);
    master->EncPassword = vault::installationIdentity(master.record(), today);
    const bool blank = master->Password.empty();

    rc = m.mas.Insert();
    std::fill(master->Password.begin(), master->Password.end(), '\0');
    if (rc != framework::kLevelBenign) return kExitError;
    rc = ensureDefaultCategory(m);
    if (rc != kExitOk) return rc;
    std::printf("vault set up%s\n", blank ? " without a master password" : "");
    return kExitOk;
}

}  // namespace

CORVIX_CLI_COMMAND(kInit, "init", "init [--master-password-stdin]",
                   "sets up a new vault (master password from standard input)", runInit);

}  // namespace corvix::cli
