#include "cli/transfer_report.h"

#include <cstdio>

namespace corvix::cli {

namespace {
constexpr int64_t kMalformedShown = 20;
}

void CliImportObserver::refused(const storage::Error& error, int64_t line) {
    if (refusals_++ > 0) return;
    int key = target_.Decl().keyIndex(error.key);
    target_.RaiseWithText(13, key >= 0 ? target_.KeyDescription(key) : error.key);
    std::fprintf(stderr, "%s:%lld: refused; further duplicates are only counted\n",
                 fileName_.c_str(), static_cast<long long>(line));
}

void CliImportObserver::malformed(int64_t line, const std::string& reason) {
    if (malformed_++ < kMalformedShown)
        std::fprintf(stderr, "%s:%lld: skipped: %s\n", fileName_.c_str(),
                     static_cast<long long>(line), reason.c_str());
    else if (malformed_ == kMalformedShown + 1)
        std::fprintf(stderr, "%s: further unreadable lines are only counted\n", fileName_.c_str());
}

}  // namespace corvix::cli
