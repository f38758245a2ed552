// corvix-cli status: whether the vault is set up, how the program would start, and how
// many accounts, categories, themes and words there are. Shows no account data, so it
// asks for no master password.
#include <cstdio>

#include "cli/command.h"
#include "platform/desktop/atspi_client.h"
#include "vault/locations.h"
#include "vault/session_kind.h"
#include "vault/tables.h"

namespace corvix::cli {
namespace {

int runStatus(const std::vector<std::string>& args) {
    if (!args.empty()) return usageError("status", "status takes no arguments");
    VaultSession session;
    int rc = session.open();
    if (rc != kExitOk) return rc;
    const vault::StartupState& s = session.state();
    vault::VaultTables& t = session.tables();

    storage::Table words(vault::CVWRD());
    const int wordsOpen = vault::openTable(words, storage::kReadOnly | storage::kDenyNone);

    std::printf("vault: %s\n", s.setUp ? "set up" : "not set up");
    if (!s.setUp)
        std::printf("start: logged off (the set-up wizard opens)\n");
    else
        std::printf("start: %s\n", s.loggedOn ? "logged on (no master password)"
                                              : "logged off (master password required)");
    std::printf("accounts: %lld\n", static_cast<long long>(t.pas.records()));
    std::printf("categories: %lld\n", static_cast<long long>(t.cat.records()));
    std::printf("themes: %lld\n", static_cast<long long>(t.gsd.records()));
    std::printf("words: %lld\n",
                static_cast<long long>(wordsOpen == storage::kNoError ? words.records() : -1));
    words.close();
    std::printf("data folder: %s\n", vault::dataFolderPath().c_str());
    // Required texts inside other programs' windows are read over this bus.
    std::printf("accessibility bus: %s\n",
                desktop::atspiBusReachable() ? "reachable" : "not reachable");
    if (vault::waylandSession()) std::printf("session: wayland (%s)\n", vault::kWaylandNotice);
    return kExitOk;
}

}  // namespace

CORVIX_CLI_COMMAND(kStatus, "status", "status",
                   "set up or not, logged-on decision, counts of records", runStatus);

}  // namespace corvix::cli
