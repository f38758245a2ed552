// corvix-cli categories list | add NAME.
#include <cstdio>

#include "cli/command.h"
#include "runtime/picture.h"
#include "vault/tables.h"

namespace corvix::cli {
namespace {

int runList(const std::vector<std::string>& args) {
    if (!args.empty()) return usageError("categories list", "categories list takes no arguments");
    ManagedSession session(vault::WordCheck::Skip);
    int rc = session.openAndLogOn();
    if (rc != kExitOk) return rc;
    framework::VaultManagers& m = session.managers();
    if (m.cat.SetOrder(vault::cat::K_Category) != framework::kLevelBenign) return kExitError;
    while (readNext(m.cat, &rc)) std::printf("%s\n", m.catRecord->Category.c_str());
    return rc;
}

int runAdd(const std::vector<std::string>& args) {
    if (args.size() != 1) return usageError("categories add", "categories add needs one NAME");
    const std::string name = runtime::rightTrim(runtime::cutToChars(args[0], 30));
    if (name.empty()) return usageError("categories add", "a category name cannot be blank");
    ManagedSession session(vault::WordCheck::Skip);
    int rc = session.openAndLogOn();
    if (rc != kExitOk) return rc;
    framework::VaultManagers& m = session.managers();
    m.catRecord.clear();
    m.catRecord->Category = name;
    // A name that differs from an existing one only in letter case or trailing blanks is
    // the same key: the manager refuses it with its duplicate-key message.
    if (m.cat.Insert() != framework::kLevelBenign) return kExitError;
    std::printf("%s\n", name.c_str());
    return kExitOk;
}

}  // namespace

CORVIX_CLI_COMMAND(kCategoriesList, "categories list", "categories list",
                   "the categories in alphabetical order", runList);
CORVIX_CLI_COMMAND(kCategoriesAdd, "categories add", "categories add NAME", "adds a category",
                   runAdd);

}  // namespace corvix::cli
