// The watch's accounts read from the vault's passwords table (CVPAS), which the caller
// has opened.
#pragma once

#include "platform/storage/table.h"
#include "send/account_source.h"

namespace corvix::send {

class VaultAccounts : public AccountSource {
  public:
    explicit VaultAccounts(storage::Table& passwords) : pas_(passwords) {}
    // The watched accounts by PAS:K_Watch (an optional key: only watched ones are in it).
    std::vector<vault::PasRecord> watchedAccounts() override;
    bool accountById(int32_t id, vault::PasRecord& out) override;
    // The storage error of the last read that failed (0 when none).
    int lastError() const { return lastError_; }

  private:
    storage::Table& pas_;
    int lastError_ = 0;
};

}  // namespace corvix::send
