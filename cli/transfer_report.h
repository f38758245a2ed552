// How corvix-cli tells the user about an import: the first duplicate-key refusal as the
// program's message, later ones only counted; unreadable lines as FILE:LINE: reason.
#pragma once

#include <string>

#include "framework/file_manager.h"
#include "vault/transfer.h"

namespace corvix::cli {

using vault::exportCompletionText;
using vault::importSummaryText;

class CliImportObserver : public vault::TransferObserver {
  public:
    CliImportObserver(framework::FileManager& target, std::string fileName)
        : target_(target), fileName_(std::move(fileName)) {}
    void refused(const storage::Error& error, int64_t line) override;
    void malformed(int64_t line, const std::string& reason) override;

  private:
    framework::FileManager& target_;
    std::string fileName_;
    int64_t refusals_ = 0;
    int64_t malformed_ = 0;
};

}  // namespace corvix::cli
