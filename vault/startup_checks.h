// The checks the main frame (and corvix-cli) carry out on the vault when they start:
// one master record only, the logged-on decision, word numbering, installation identity.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/storage/errors.h"
#include "vault/access.h"
#include "vault/records.h"
#include "vault/words.h"

namespace corvix::vault {

struct StartupState {
    bool masterReadable = false;           // CVMAS could be opened and read
    bool setUp = false;                    // a master record exists
    bool loggedOn = false;                 // set up and the master password is blank
    MasRecord master;                      // the first master record, identity and date filled in
    std::string installationId;            // MAS:EncPassword after the identity rule
    int deletedMasters = 0;                // surplus master records removed
    int renumberedWords = 0;               // words numbered because the first had number 0
    bool wordsCopied = false;              // the shipped word database was copied here
    std::vector<storage::Error> failures;  // tables that could not be opened or changed
};

// Runs the checks over the vault in the working directory. `tables.pas` and
// `tables.mas` are opened (and stay open); `shippedWords` is the directory holding the
// word database shipped with the program (copied here when the working directory has
// none; empty = don't copy). Returns 0, or the first storage error met (the checks go on
// with what could be opened; every failure is in state.failures).
// Numbering a fresh word database takes a few seconds: progress reports it.
// WordCheck::Skip leaves the word database alone (neither copied nor opened), for work
// that generates no password; the next start that needs words runs that check.
enum class WordCheck { Run, Skip };
int runStartupChecks(VaultTables& tables, const std::string& shippedWords, int32_t today,
                     StartupState& state, const WordProgress& progress = {},
                     WordCheck words = WordCheck::Run);

// What failed at the start (each file with its error) and what the user can do, for the
// message the program shows before it ends; "" when nothing failed.
std::string startupFailureText(const StartupState& state);

}  // namespace corvix::vault
