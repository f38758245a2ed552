// corvix-cli categories list | add NAME.
#include <cstdio>

#include "cli/command.h"
#include "runtime/picture.h"
#include "vault/tables.h"

namespace corvix::cli {
namespace {

int runList(const std::vector<std::string>& args) {
    if (!args.empty()) return usageError("categories list", "categories list takes no arguments");
    VaultSession session;
    int rc = session.openAndLogOn();
    if (rc != kExitOk) return rc;
    storage::Table& cat = session.tables().cat;
    vault::CatBuffer record;
    rc = cat.set(vault::cat::K_Category);
    while (rc == storage::kNoError && (rc = cat.next(record)) == storage::kNoError)
        std::printf("%s\n", record->Category.c_str());
    if (rc != storage::kRecordNotAvailable) return failWithStorage(cat.error(), vault::kVaultFile);
    return kExitOk;
}

int runAdd(const std::vector<std::string>& args) {
    if (args.size() != 1) return usageError("categories add", "categories add needs one NAME");
    const std::string name = runtime::rightTrim(runtime::cutToChars(args[0], 30));
    if (name.empty()) return usageError("categories add", "a category name cannot be blank");
    VaultSession session;
    int rc = session.openAndLogOn();
    if (rc != kExitOk) return rc;
    storage::Table& cat = session.tables().cat;
    vault::CatBuffer record;
    record->Category = name;
    rc = cat.add(record);
    if (rc == storage::kDuplicateKey)
        return failWith("Duplicate Key Error",
                        "Adding this record creates a duplicate entry for the key: Category");
    if (rc != storage::kNoError)
        return failWith("Record Insert Error",
                        "An error was experienced during the creation of a record. Error: " +
                            cat.error().text + ".");
    std::printf("%s\n", name.c_str());
    return kExitOk;
}

}  // namespace

CORVIX_CLI_COMMAND(kCategoriesList, "categories list", "categories list",
                   "the categories in alphabetical order", runList);
CORVIX_CLI_COMMAND(kCategoriesAdd, "categories add", "categories add NAME", "adds a category",
                   runAdd);

}  // namespace corvix::cli
