#include "vault/startup_checks.h"

#include "runtime/picture.h"
#include "vault/prime.h"
#include "vault/tables.h"
#include "vault/words.h"

namespace corvix::vault {

namespace {
int note(StartupState& state, int rc, const storage::Error& error, int first) {
    if (rc == storage::kNoError) return first;
    state.failures.push_back(error);
    return first == storage::kNoError ? rc : first;
}

// Keeps the first master record in MAS:K_MAS_ID order and deletes the others.
int keepOneMaster(storage::Table& mas, StartupState& state) {
    if (mas.records() <= 1) return storage::kNoError;
    MasBuffer record;
    int rc = mas.set(mas::K_MAS_ID);
    if (rc != storage::kNoError) return rc;
    rc = mas.next(record);
    if (rc != storage::kNoError) return rc;
    while ((rc = mas.next(record)) == storage::kNoError) {
        rc = mas.erase();
        if (rc != storage::kNoError) return rc;
        ++state.deletedMasters;
    }
    return rc == storage::kRecordNotAvailable ? storage::kNoError : rc;
}
}  // namespace

int runStartupChecks(VaultTables& tables, const std::string& shippedWords, int32_t today,
                     StartupState& state, const WordProgress& progress, WordCheck words) {
    state = StartupState{};
    int first = storage::kNoError;

    // 1. The passwords and master tables stay open while the program runs.
    int rc = openTable(tables.pas);
    first = note(state, rc, tables.pas.error(), first);
    rc = openTable(tables.mas);
    first = note(state, rc, tables.mas.error(), first);

    if (rc == storage::kNoError) {
        // 2. One master record only.
        rc = keepOneMaster(tables.mas, state);
        first = note(state, rc, tables.mas.error(), first);

        // 3. The first master record decides: not set up, logged on or logged off.
        MasBuffer master;
        rc = tables.mas.set(mas::K_MAS_ID);
        if (rc == storage::kNoError) rc = tables.mas.next(master);
        if (rc == storage::kNoError) {
            state.masterReadable = true;
            state.setUp = true;
            state.master = master.record();
            state.loggedOn = runtime::rightTrim(state.master.Password).empty();
        } else if (rc == storage::kRecordNotAvailable) {
            state.masterReadable = true;
        } else {
            first = note(state, rc, tables.mas.error(), first);
        }
    }

    // 4. Number the words when the first one has no number yet.
    if (words == WordCheck::Run) {
        rc = installShippedWords(shippedWords, &state.wordsCopied);
        first = note(state, rc, storage::lastError(), first);
        storage::Table table(CVWRD());
        rc = openTable(table);
        if (rc == storage::kNoError) rc = renumberWords(table, &state.renumberedWords, progress);
        first = note(state, rc, table.error(), first);
        table.close();
    }

    // 5 and 6. Installation identity and install date, in the buffer only.
    if (state.setUp) {
        state.master.EncPassword = installationIdentity(state.master, today);
        state.installationId = state.master.EncPassword;
        if (state.master.InstallDate == 0) state.master.InstallDate = today;
    }
    return first;
}

std::string startupFailureText(const StartupState& state) {
    std::string text;
    for (const storage::Error& e : state.failures) {
        const std::string why = e.code == storage::kDriverError
                                    ? e.driverText + " (" + std::to_string(e.driverCode) + ")"
                                    : e.text + " (" + std::to_string(e.code) + ")";
        text += "File (" + (e.file.empty() ? std::string(kVaultFile) : e.file) +
                ") could not be opened.  Error: " + why + ".\n";
    }
    if (text.empty()) return text;
    return text +
           "Nothing was changed.  Check that no other program holds the vault and that its "
           "folder can be read and written, or put back the vault from a backup, then start "
           "Corvix again.";
}

}  // namespace corvix::vault
