// What corvix-cli's export and import commands share: a file manager's table held open for
// the command, and how an import is told: the first duplicate-key refusal as the program's
// message, later ones only counted; unreadable lines as FILE:LINE: reason.
#pragma once

#include <string>

#include "framework/file_manager.h"
#include "vault/transfer.h"

namespace corvix::cli {

using vault::exportCompletionText;
using vault::importSummaryText;

// The table of a file manager for the length of a command.
class OpenedFile {
  public:
    explicit OpenedFile(framework::FileManager& fm) : fm_(fm) {
        opened_ = fm_.Open() == framework::kLevelBenign;
    }
    ~OpenedFile() {
        if (opened_) fm_.Close();
    }
    storage::Table* table() { return opened_ ? fm_.Use() : nullptr; }

  private:
    framework::FileManager& fm_;
    bool opened_ = false;
};

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
