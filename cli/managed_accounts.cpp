#include "cli/managed_accounts.h"

namespace corvix::cli {

std::vector<vault::PasRecord> ManagedAccounts::watchedAccounts() {
    std::vector<vault::PasRecord> out;
    failed_ = file_.SetOrder(vault::pas::K_Watch) != framework::kLevelBenign;
    if (failed_) return out;
    // The watch key leaves unwatched accounts out; the flag is checked all the same.
    while (file_.TryNext() == framework::kLevelBenign)
        if (buffer_->Watch) out.push_back(buffer_.record());
    if (!file_.EndOfFile()) {
        file_.RaisePending();
        failed_ = true;
    }
    return out;
}

bool ManagedAccounts::accountById(int32_t id, vault::PasRecord& out) {
    buffer_.clear();
    buffer_->PAS_ID = id;
    failed_ = false;
    if (file_.TryFetch(vault::pas::K_PAS_ID) == framework::kLevelBenign) {
        out = buffer_.record();
        return true;
    }
    // Deleted since the list was built: not an error. A failed read is reported.
    if (file_.PendingError() != 0) {
        file_.RaisePending();
        failed_ = true;
    }
    return false;
}

}  // namespace corvix::cli
