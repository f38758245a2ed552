// corvix-cli categories rename OLD NEW | delete NAME: category changes that reach into the
// accounts, made through the table managers so that the rename is carried into every
// account that uses the category and a category in use is not deleted.
#include <cstdio>

#include "cli/command.h"
#include "runtime/picture.h"

namespace corvix::cli {
namespace {

std::string categoryName(const std::string& arg) {
    return runtime::rightTrim(runtime::cutToChars(arg, 30));
}

// Reads the category into the categories' buffer; false (with a message) when missing.
bool fetchCategory(framework::VaultManagers& m, const std::string& name) {
    m.catRecord->Category = name;
    if (m.cat.TryFetch(vault::cat::K_Category) == framework::kLevelBenign) return true;
    if (m.cat.PendingError()) {
        m.cat.RaisePending();
        return false;
    }
    std::fprintf(stderr, "corvix-cli: there is no category named \"%s\"\n", name.c_str());
    return false;
}

int runRename(const std::vector<std::string>& args) {
    if (args.size() != 2)
        return usageError("categories rename", "categories rename needs OLD and NEW");
    const std::string from = categoryName(args[0]);
    const std::string to = categoryName(args[1]);
    if (from.empty() || to.empty())
        return usageError("categories rename", "a category name cannot be blank");
    ManagedSession session(vault::WordCheck::Skip);
    int rc = session.openAndLogOn();
    if (rc != kExitOk) return rc;
    framework::VaultManagers& m = framework::vaultManagers();
    if (!fetchCategory(m, from)) return kExitError;
    m.catRecord->Category = to;
    if (m.catRelations.Update() != framework::kLevelBenign) return kExitError;
    std::printf("%s\n", to.c_str());
    return kExitOk;
}

int runDelete(const std::vector<std::string>& args) {
    if (args.size() != 1) return usageError("categories delete", "categories delete needs NAME");
    const std::string name = categoryName(args[0]);
    if (name.empty()) return usageError("categories delete", "a category name cannot be blank");
    ManagedSession session(vault::WordCheck::Skip);
    int rc = session.openAndLogOn();
    if (rc != kExitOk) return rc;
    framework::VaultManagers& m = framework::vaultManagers();
    if (!fetchCategory(m, name)) return kExitError;
    // The command itself is the confirmation: no "Confirm Delete" question.
    if (m.catRelations.Delete(false) != framework::kLevelBenign) return kExitError;
    return kExitOk;
}

}  // namespace

CORVIX_CLI_COMMAND(kCategoriesRename, "categories rename", "categories rename OLD NEW",
                   "renames a category and the accounts that use it", runRename);
CORVIX_CLI_COMMAND(kCategoriesDelete, "categories delete", "categories delete NAME",
                   "deletes a category that no account uses", runDelete);

}  // namespace corvix::cli
