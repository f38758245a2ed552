// corvix-cli generate: prints a new password (nothing goes on the clipboard). The word
// kinds draw from the word database of the working directory.
#include <cstdio>

#include "cli/command.h"
#include "security/password_generator.h"
#include "vault/tables.h"

namespace corvix::cli {
namespace {

constexpr const char* kUsage =
    "generate [--type word|words|alpha|alnum|all] [--size N] [--separator plus|hyphen|number]";

bool typeFromOption(const std::string& option, std::string* type) {
    static const std::map<std::string, const char*> types = {
        {"word", security::kTypeWord},          {"words", security::kTypeConcatenatedWords},
        {"alpha", security::kTypeAlphabetOnly}, {"alnum", security::kTypeAlphanumeric},
        {"all", security::kTypeAllCharacters},
    };
    auto it = types.find(option);
    if (it == types.end()) return false;
    *type = it->second;
    return true;
}

bool separatorFromOption(const std::string& option, std::string* join) {
    static const std::map<std::string, const char*> joins = {
        {"plus", security::kJoinPlusSign},
        {"hyphen", security::kJoinHyphen},
        {"number", security::kJoinNumber},
    };
    auto it = joins.find(option);
    if (it == joins.end()) return false;
    *join = it->second;
    return true;
}

int runGenerate(const std::vector<std::string>& args) {
    Options o;
    std::string error;
    if (!parseOptions(args, {}, {"--type", "--size", "--separator"}, o, &error))
        return usageError("generate", error);
    if (!o.positional.empty()) return usageError("generate", "generate takes no arguments");
    security::PasswordRequest request;
    if (o.hasValue("--type") && !typeFromOption(o.value("--type"), &request.type))
        return usageError("generate", "unknown --type " + o.value("--type"));
    if (o.hasValue("--separator") &&
        !separatorFromOption(o.value("--separator"), &request.concatenation))
        return usageError("generate", "unknown --separator " + o.value("--separator"));
    if (o.hasValue("--size")) {
        long size = 0;
        if (!parseNumber(o.value("--size"), 1, security::kMaxPasswordSize, &size))
            return usageError("generate", "--size must be a number from 1 to " +
                                              std::to_string(security::kMaxPasswordSize));
        request.size = static_cast<int>(size);
    }

    const bool usesWords =
        request.type == security::kTypeWord || request.type == security::kTypeConcatenatedWords;
    VaultSession session;
    storage::Table table(vault::CVWRD());
    std::unique_ptr<security::TableWords> words;
    if (usesWords) {
        // The start-up checks put the shipped word database in place and number it.
        int rc = session.open();
        if (rc != kExitOk) return rc;
        if (vault::openTable(table, storage::kReadOnly | storage::kDenyNone) != storage::kNoError)
            return failWithStorage(storage::lastError(), vault::kWordFile);
        words = std::make_unique<security::TableWords>(table);
    }
    security::GeneratedPassword made = security::generatePassword(request, words.get());
    if (made.noWordOfSize) printMessage("Warning", security::kNoWordOfSize);
    std::fwrite(made.password.data(), 1, made.password.size(), stdout);
    std::fputc('\n', stdout);
    return kExitOk;
}

}  // namespace

CORVIX_CLI_COMMAND(kGenerate, "generate", kUsage, "prints a new password", runGenerate);

}  // namespace corvix::cli
