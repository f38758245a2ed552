#include "send/vault_accounts.h"

#include "vault/tables.h"

namespace corvix::send {

std::vector<vault::PasRecord> VaultAccounts::watchedAccounts() {
    std::vector<vault::PasRecord> out;
    lastError_ = 0;
    vault::PasBuffer r;
    int rc = pas_.set(vault::pas::K_Watch);
    while (rc == storage::kNoError && (rc = pas_.next(r)) == storage::kNoError) {
        if (r->Watch) out.push_back(r.record());
    }
    if (rc != storage::kRecordNotAvailable) lastError_ = rc;
    return out;
}

bool VaultAccounts::accountById(int32_t id, vault::PasRecord& out) {
    vault::PasBuffer r;
    r->PAS_ID = id;
    const int rc = pas_.get(vault::pas::K_PAS_ID, r);
    lastError_ = (rc == storage::kNoError || rc == storage::kRecordNotFound) ? 0 : rc;
    if (rc != storage::kNoError) return false;
    out = r.record();
    return true;
}

}  // namespace corvix::send
