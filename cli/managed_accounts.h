// The watch's accounts read through the accounts' file manager, as the program's frame
// reads them: the watched ones in watch-key order, one by its ID when its window appears.
#pragma once

#include "framework/file_manager.h"
#include "send/account_source.h"
#include "vault/tables.h"

namespace corvix::cli {

class ManagedAccounts : public send::AccountSource {
  public:
    // file is the accounts' manager (opened by the caller), buffer its shared record.
    ManagedAccounts(framework::FileManager& file, vault::PasBuffer& buffer)
        : file_(file), buffer_(buffer) {}
    std::vector<vault::PasRecord> watchedAccounts() override;
    bool accountById(int32_t id, vault::PasRecord& out) override;
    // Whether the last read failed; its message has been printed.
    bool failed() const { return failed_; }

  private:
    framework::FileManager& file_;
    vault::PasBuffer& buffer_;
    bool failed_ = false;
};

}  // namespace corvix::cli
