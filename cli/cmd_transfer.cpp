// corvix-cli export passwords|themes [FILE] and import passwords|themes [FILE]: the
// export files ExPas.BAS and ExGSD.BAS (in the working directory unless FILE is given),
// with the program's completion messages and duplicate-key refusals.
#include <cstdio>

#include "cli/command.h"
#include "cli/transfer_report.h"
#include "vault/transfer.h"

namespace corvix::cli {
namespace {

struct Subject {
    const char* words;
    const char* defaultFile;
    int exportKey;
    framework::FileManager& (*manager)(framework::VaultManagers&);
};

const Subject kPasswords{
    "passwords", vault::kPasswordsExportFile, vault::pas::K_PAS_ID,
    [](framework::VaultManagers& m) -> framework::FileManager& { return m.pas; }};
const Subject kThemes{"themes", vault::kThemesExportFile, vault::gsd::K_GSD_ID,
                      [](framework::VaultManagers& m) -> framework::FileManager& { return m.gsd; }};

bool fileArgument(const std::string& words, const std::vector<std::string>& args,
                  const char* fallback, std::string* file, int* rc) {
    if (args.size() > 1) {
        *rc = usageError(words, words + " takes at most one file name");
        return false;
    }
    *file = args.empty() ? fallback : args[0];
    return true;
}

// Both directions: the file argument, the logon and the table, then the move itself.
int runTransfer(const Subject& subject, bool import, const std::vector<std::string>& args) {
    const std::string words = std::string(import ? "import " : "export ") + subject.words;
    std::string file;
    int rc = kExitOk;
    if (!fileArgument(words, args, subject.defaultFile, &file, &rc)) return rc;
    ManagedSession session;
    rc = session.openAndLogOn();
    if (rc != kExitOk) return rc;
    framework::FileManager& fm = subject.manager(session.managers());
    OpenedFile opened(fm);
    storage::Table* table = opened.table();
    if (!table) return kExitError;
    if (!import) {
        vault::TransferObserver quiet;
        vault::TransferResult result =
            vault::exportRecords(*table, subject.exportKey, userPath(file), quiet);
        if (result.failure) return failWithStorage(result.failure, file);
        printMessage("Complete", exportCompletionText(&subject == &kThemes, result.written, file));
        return kExitOk;
    }
    CliImportObserver observer(fm, file);
    vault::TransferResult result = vault::importRecords(userPath(file), *table, observer);
    std::fprintf(stderr, "%s\n", importSummaryText(result, file).c_str());
    if (result.failure) return failWithStorage(result.failure, file);
    return result.refused || result.malformed ? kExitError : kExitOk;
}

int exportPasswords(const std::vector<std::string>& args) {
    return runTransfer(kPasswords, false, args);
}
int exportThemes(const std::vector<std::string>& args) {
    return runTransfer(kThemes, false, args);
}
int importPasswords(const std::vector<std::string>& args) {
    return runTransfer(kPasswords, true, args);
}
int importThemes(const std::vector<std::string>& args) {
    return runTransfer(kThemes, true, args);
}

}  // namespace

CORVIX_CLI_COMMAND(kExportPasswords, "export passwords", "export passwords [FILE]",
                   "appends every account to FILE (default ExPas.BAS), passwords in clear",
                   exportPasswords);
CORVIX_CLI_COMMAND(kExportThemes, "export themes", "export themes [FILE]",
                   "appends every image theme to FILE (default ExGSD.BAS)", exportThemes);
CORVIX_CLI_COMMAND(kImportPasswords, "import passwords", "import passwords [FILE]",
                   "adds the accounts of FILE (default ExPas.BAS) with their numbers",
                   importPasswords);
CORVIX_CLI_COMMAND(kImportThemes, "import themes", "import themes [FILE]",
                   "adds the image themes of FILE (default ExGSD.BAS) with their numbers",
                   importThemes);

}  // namespace corvix::cli
