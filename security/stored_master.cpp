#include "security/stored_master.h"

#include "framework/requests.h"
#include "framework/vault_managers.h"
#include "platform/storage/table.h"
#include "security/session.h"
#include "vault/tables.h"
#include "vault/vault_key.h"

namespace corvix::security {

namespace {

// The master table opened for one look-up or change; never created here.
int openMaster(storage::Table& table, int mode) {
    table.setOwner(vault::BuildVaultKey());
    return table.open(mode);
}

}  // namespace

int openMasterForForm(framework::VaultManagers& m) {
    if (m.mas.Open() != framework::kLevelBenign) return framework::kNoRequest;
    m.mas.SetOrder(storage::kPhysicalOrder);
    const bool exists = m.mas.TryNext() == framework::kLevelBenign;
    m.mas.ClearPending();
    return exists ? framework::kChangeRecord : framework::kInsertRecord;
}

std::optional<vault::MasRecord> storedMaster() {
    storage::Table table(vault::CVMAS());
    if (openMaster(table, storage::kReadOnly | storage::kDenyNone) != 0) return std::nullopt;
    vault::MasBuffer buffer;
    table.set(storage::kPhysicalOrder);
    const int rc = table.next(buffer);
    table.close();
    if (rc != 0) return std::nullopt;
    return buffer.record();
}

bool reloadMasterCopy() {
    std::optional<vault::MasRecord> stored = storedMaster();
    if (!stored) return false;
    MasterCopy() = std::move(*stored);
    return true;
}

ThemeUse themeUse(int32_t gsdId) {
    std::optional<vault::MasRecord> stored = storedMaster();
    if (!stored || gsdId == 0 || stored->GSD_ID != gsdId) return ThemeUse::None;
    return stored->UseMasterPasswordImage ? ThemeUse::Password : ThemeUse::Named;
}

int forgetTheme(int32_t gsdId) {
    storage::Table table(vault::CVMAS());
    int rc = openMaster(table, storage::kReadWrite | storage::kDenyNone);
    if (rc != 0) return rc;
    vault::MasBuffer buffer;
    table.set(storage::kPhysicalOrder);
    while ((rc = table.next(buffer)) == 0) {
        if (buffer->GSD_ID != gsdId || buffer->UseMasterPasswordImage) continue;
        buffer->GSD_ID = 0;
        rc = table.put(buffer);
        if (rc != 0) break;
    }
    table.close();
    if (rc == storage::kRecordNotAvailable) rc = 0;
    if (rc == 0 && MasterCopy().GSD_ID == gsdId && !MasterCopy().UseMasterPasswordImage)
        MasterCopy().GSD_ID = 0;
    return rc;
}

}  // namespace corvix::security
