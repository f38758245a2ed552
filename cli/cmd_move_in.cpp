// corvix-cli import --from keepassxc|bitwarden|chrome FILE [--dry-run] and
// export --to keepassxc FILE: moving in from (and out to) other password managers.
#include <cerrno>
#include <cstdio>

#include "cli/command.h"
#include "cli/transfer_report.h"
#include "runtime/date.h"
#include "vault/foreign_import.h"
#include "vault/prime.h"

namespace corvix::cli {
namespace {

constexpr const char* kImportUsage = "import --from keepassxc|bitwarden|chrome FILE [--dry-run]";

int runImportFrom(const std::vector<std::string>& args) {
    Options o;
    std::string error;
    if (!parseOptions(args, {"--dry-run"}, {"--from"}, o, &error))
        return usageError("import", error);
    vault::ForeignFormat format;
    if (!o.hasValue("--from") || !parseForeignFormat(o.value("--from"), &format))
        return usageError("import",
                          "--from takes keepassxc, bitwarden or chrome "
                          "(or use import passwords|themes)");
    if (o.positional.size() != 1) return usageError("import", "import --from needs one file name");
    const std::string file = o.positional[0];

    ManagedSession session;
    int rc = session.openAndLogOn();
    if (rc != kExitOk) return rc;
    framework::VaultManagers& m = session.managers();
    OpenedFile categories(m.cat), accounts(m.pas);
    storage::Table* cat = categories.table();
    storage::Table* pas = accounts.table();
    if (!cat || !pas) return kExitError;

    vault::ForeignFile in = vault::readForeignFile(userPath(file), format);
    if (!in.error.empty()) return failWith("Import", in.error);
    for (const auto& [line, reason] : in.skipped)
        std::fprintf(stderr, "%s:%lld: skipped: %s\n", file.c_str(), static_cast<long long>(line),
                     reason.c_str());

    std::vector<std::string> created;
    if (o.has("--dry-run")) {
        // What would be imported, without passwords or notes.
        for (const vault::ForeignAccount& a : in.accounts)
            std::printf("%lld\t%s\t%s\t%s\t%s\n", static_cast<long long>(a.line),
                        a.category.empty() ? vault::kDefaultCategory : a.category.c_str(),
                        a.description.c_str(), a.name.c_str(), a.url.c_str());
        created = vault::missingCategories(in.accounts, *cat);
    } else {
        vault::ForeignImportResult r =
            vault::importForeignAccounts(in.accounts, *cat, *pas, runtime::today());
        if (r.failure) return failWithStorage(r.failure, vault::kVaultFile);
        created = r.categoriesCreated;
    }
    std::string names;
    for (const std::string& c : created) names += (names.empty() ? "" : ", ") + c;
    std::printf("%zu account%s %s from %s; %zu line%s skipped; categories created: %s\n",
                in.accounts.size(), in.accounts.size() == 1 ? "" : "s",
                o.has("--dry-run") ? "would be imported" : "imported", file.c_str(),
                in.skipped.size(), in.skipped.size() == 1 ? "" : "s",
                names.empty() ? "none" : names.c_str());
    return in.skipped.empty() ? kExitOk : kExitError;
}

int runExportTo(const std::vector<std::string>& args) {
    Options o;
    std::string error;
    if (!parseOptions(args, {}, {"--to"}, o, &error)) return usageError("export", error);
    if (o.value("--to") != "keepassxc")
        return usageError("export", "--to takes keepassxc (or use export passwords|themes)");
    if (o.positional.size() != 1) return usageError("export", "export --to needs one file name");
    const std::string file = o.positional[0];
    ManagedSession session;
    int rc = session.openAndLogOn();
    if (rc != kExitOk) return rc;
    OpenedFile accounts(session.managers().pas);
    storage::Table* pas = accounts.table();
    if (!pas) return kExitError;
    int64_t written = 0;
    storage::Error failure;
    if (vault::exportKeePassXcCsv(*pas, userPath(file), &written, &failure) != storage::kNoError) {
        if (failure.driverCode == EEXIST)
            return failWith("Export", file + " exists already; give a new file name");
        return failWithStorage(failure, file);
    }
    std::printf("%lld accounts written to %s (passwords in clear; mode 0600)\n",
                static_cast<long long>(written), file.c_str());
    return kExitOk;
}

}  // namespace

CORVIX_CLI_COMMAND(kImportFrom, "import", kImportUsage,
                   "adds the accounts of another password manager's CSV export", runImportFrom);
CORVIX_CLI_COMMAND(kExportTo, "export", "export --to keepassxc FILE",
                   "writes every account as a CSV that KeePassXC imports", runExportTo);

}  // namespace corvix::cli
