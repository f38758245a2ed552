// corvix-cli encrypt FILE / decrypt FILE.ENC: seal a file into its container and restore
// it, with the wizards' rules and messages. Large files show their progress on standard
// error.
#include <unistd.h>

#include <cstdio>

#include "cli/command.h"
#include "security/file_container.h"

namespace corvix::cli {
namespace {

constexpr uint64_t kProgressFrom = 4u << 20;  // bytes

security::CopyProgress progressOnStderr(const char* verb) {
    return [verb, last = -1](uint64_t done, uint64_t total) mutable {
        if (total < kProgressFrom) return;
        const int percent = static_cast<int>(done * 100 / total);
        if (percent == last) return;
        last = percent;
        std::fprintf(stderr, "\r%s: %3d%% (%.1f of %.1f MB)%s", verb, percent, done / 1048576.0,
                     total / 1048576.0, done >= total ? "\n" : "");
    };
}

int runContainerCommand(const std::vector<std::string>& args, const char* words, const char* flag,
                        bool encrypt) {
    Options o;
    std::string error;
    if (!parseOptions(args, {flag}, {}, o, &error)) return usageError(words, error);
    if (o.positional.size() != 1)
        return usageError(words, std::string(words) + " needs one file name");
    ManagedSession session;
    int rc = session.openAndLogOn();
    if (rc != kExitOk) return rc;
    const security::CopyProgress progress = progressOnStderr(encrypt ? "encrypting" : "decrypting");
    const security::Outcome outcome =
        encrypt ? security::encryptFile(userPath(o.positional[0]), o.has(flag), progress)
                : security::decryptFile(userPath(o.positional[0]), o.has(flag), progress);
    return outcome == security::Outcome::Done ? kExitOk : kExitError;
}

int runEncrypt(const std::vector<std::string>& args) {
    return runContainerCommand(args, "encrypt", "--delete-original", true);
}

int runDecrypt(const std::vector<std::string>& args) {
    return runContainerCommand(args, "decrypt", "--delete-container", false);
}

}  // namespace

CORVIX_CLI_COMMAND(kEncrypt, "encrypt", "encrypt FILE [--delete-original]",
                   "seals a file into FILE.ENC, tied to this installation", runEncrypt);
CORVIX_CLI_COMMAND(kDecrypt, "decrypt", "decrypt FILE.ENC [--delete-container]",
                   "restores the file a container holds to where it came from", runDecrypt);

}  // namespace corvix::cli
