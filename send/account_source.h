// Where the watch reads its accounts from: the vault's passwords table in the program,
// a list in tests.
#pragma once

#include <cstdint>
#include <vector>

#include "vault/records.h"

namespace corvix::send {

class AccountSource {
  public:
    virtual ~AccountSource() = default;
    // Every watched account, in watch-key order.
    virtual std::vector<vault::PasRecord> watchedAccounts() = 0;
    // The account with this id; false when there is none (deleted since).
    virtual bool accountById(int32_t id, vault::PasRecord& out) = 0;
};

}  // namespace corvix::send
