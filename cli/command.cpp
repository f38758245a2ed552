#include "cli/command.h"

#include <termios.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "framework/prompt.h"
#include "runtime/date.h"
#include "runtime/secret.h"
#include "runtime/utf8.h"
#include "security/cli_logon.h"
#include "security/session.h"
#include "vault/locations.h"
#include "vault/upgrade_registration.h"

namespace corvix::cli {

// ---- registry ----

namespace {
std::vector<Command>& registry() {
    static std::vector<Command> list;
    return list;
}

// Each registered command's words, split once: every start registers some fifty commands,
// and each is compared with those before it.
std::vector<std::vector<std::string>>& registryWords() {
    static std::vector<std::vector<std::string>> list;
    return list;
}

std::vector<std::string> splitWords(const std::string& words) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < words.size()) {
        while (i < words.size() && words[i] == ' ') ++i;
        size_t j = i;
        while (j < words.size() && words[j] != ' ') ++j;
        if (j > i) out.push_back(words.substr(i, j - i));
        i = j;
    }
    return out;
}
}  // namespace

bool registerCommand(Command command) {
    std::vector<std::string> words = splitWords(command.words);
    for (const std::vector<std::string>& w : registryWords())
        if (w == words) return false;
    registryWords().push_back(std::move(words));
    registry().push_back(std::move(command));
    return true;
}

const std::vector<Command>& commands() {
    return registry();
}

const Command* findCommand(const std::vector<std::string>& args, size_t* used) {
    const Command* best = nullptr;
    size_t bestLength = 0;
    for (size_t n = 0; n < registry().size(); ++n) {
        const std::vector<std::string>& words = registryWords()[n];
        if (words.empty() || words.size() > args.size() || words.size() <= bestLength) continue;
        bool match = true;
        for (size_t i = 0; i < words.size() && match; ++i) match = words[i] == args[i];
        if (match) {
            best = &registry()[n];
            bestLength = words.size();
        }
    }
    if (used) *used = bestLength;
    return best;
}

// ---- options ----

std::string Options::value(const std::string& name, const std::string& fallback) const {
    auto it = values.find(name);
    return it == values.end() ? fallback : it->second;
}

bool parseOptions(const std::vector<std::string>& args, const std::vector<std::string>& flagNames,
                  const std::vector<std::string>& valueNames, Options& out, std::string* error) {
    auto known = [](const std::vector<std::string>& names, const std::string& n) {
        for (const auto& k : names)
            if (k == n) return true;
        return false;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() < 2 || a.compare(0, 2, "--") != 0) {
            out.positional.push_back(a);
            continue;
        }
        if (a == "--") {
            out.positional.insert(out.positional.end(), args.begin() + i + 1, args.end());
            break;
        }
        const size_t eq = a.find('=');
        const std::string name = a.substr(0, eq);
        if (known(flagNames, name) && eq == std::string::npos) {
            out.flags.insert(name);
        } else if (known(valueNames, name)) {
            if (eq != std::string::npos) {
                out.values[name] = a.substr(eq + 1);
            } else if (i + 1 < args.size()) {
                out.values[name] = args[++i];
            } else {
                if (error) *error = "option " + name + " needs a value";
                return false;
            }
        } else {
            if (error) *error = "unknown option " + a;
            return false;
        }
    }
    return true;
}

int usageError(const std::string& commandWords, const std::string& why) {
    std::fprintf(stderr, "corvix-cli: %s\n", why.c_str());
    for (const Command& c : registry())
        if (c.words == commandWords)
            std::fprintf(stderr, "usage: corvix-cli %s\n", c.usage.c_str());
    return kExitUsage;
}

int usageError(const Command& command, const std::string& why) {
    std::fprintf(stderr, "corvix-cli: %s\nusage: corvix-cli %s\n", why.c_str(),
                 command.usage.c_str());
    return kExitUsage;
}

// ---- input ----

bool stdinIsTerminal() {
    return isatty(STDIN_FILENO) == 1;
}

bool readInputLine(::runtime::Secret& read) {
    // The line may be a password: it grows in a Secret, which wipes every buffer it
    // leaves behind.
    read.clear();
    int c;
    bool any = false;
    while ((c = std::fgetc(stdin)) != EOF) {
        any = true;
        if (c == '\n') break;
        read.append(static_cast<char>(c));
    }
    if (!read.empty() && read.view().back() == '\r') read.truncate(read.size() - 1);
    if (!runtime::isValidUtf8(read.view())) {
        // Refused at the boundary: a value that is not UTF-8 is never stored.
        std::fputs("corvix-cli: standard input is not valid UTF-8 text\n", stderr);
        std::fflush(nullptr);
        std::_Exit(kExitUsage);
    }
    return any;
}

bool readInputLine(std::string& line) {
    ::runtime::wipe(line);
    ::runtime::Secret read;
    const bool any = readInputLine(read);
    // Copied out once at its final size.
    line.reserve(read.size());
    line.assign(read.view());
    return any;
}

bool readSecret(const std::string& prompt, ::runtime::Secret& secret) {
    if (!stdinIsTerminal()) return readInputLine(secret);
    std::fprintf(stderr, "%s: ", prompt.c_str());
    std::fflush(stderr);
    termios saved{};
    const bool haveTerm = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (haveTerm) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    const bool ok = readInputLine(secret);
    if (haveTerm) tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::fputc('\n', stderr);
    return ok;
}

// ---- messages ----

void printMessage(const std::string& title, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
}

int failWith(const std::string& title, const std::string& text) {
    printMessage(title, text);
    return kExitError;
}

int failWithStorage(const storage::Error& error, const std::string& file) {
    std::string why = error.text.empty() ? storage::errorText(error.code) : error.text;
    why += " (" + std::to_string(error.code) + ")";
    if (error.code == storage::kDriverError && !error.driverText.empty())
        why = error.driverText + " (" + std::to_string(error.driverCode) + ")";
    return failWith("File Access Error",
                    "File (" + file + ") could not be opened.  Error: " + why + ".");
}

// ---- files the user names ----

namespace {
std::string& startDirectory() {
    static std::string dir;
    return dir;
}
}  // namespace

void rememberStartDirectory() {
    char buffer[PATH_MAX];
    if (getcwd(buffer, sizeof(buffer))) startDirectory() = buffer;
}

std::string userPath(const std::string& path) {
    if (path.empty() || path[0] == '/' || startDirectory().empty()) return path;
    return startDirectory() + "/" + path;
}

// ---- the vault ----

VaultSession::VaultSession(vault::WordCheck words)
    : tables_(std::make_unique<vault::VaultTables>()), words_(words) {}
VaultSession::~VaultSession() {
    tables_->closeAll();
}

int VaultSession::open() {
    // Tables written by an earlier version are converted on the way in, as in the program;
    // the upgrade library is told about the tables only when one of them needs it.
    static const bool deferred = (vault::deferUpgradeRegistration(), true);
    (void)deferred;
    std::vector<storage::Error> failures;
    tables_->openAll(&failures);
    for (const storage::Error& e : failures)
        failWithStorage(e, e.file.empty() ? vault::kVaultFile : e.file);
    if (!failures.empty()) return kExitError;
    // The first start numbers the word database: show how far it got on a terminal.
    vault::WordProgress progress;
    if (isatty(STDERR_FILENO) == 1)
        progress = [](int64_t done, int64_t total) {
            std::fprintf(stderr, "\rnumbering the word database: %lld of %lld%s",
                         static_cast<long long>(done), static_cast<long long>(total),
                         done >= total ? "\n" : "");
        };
    const int rc = vault::runStartupChecks(*tables_, vault::sharedDataDirectory(), runtime::today(),
                                           state_, progress, words_);
    if (rc != storage::kNoError) {
        for (const storage::Error& e : state_.failures)
            failWithStorage(e, e.file.empty() ? vault::kVaultFile : e.file);
        if (!state_.masterReadable) return kExitError;
    }
    return kExitOk;
}

int VaultSession::logOn() {
    if (!state_.setUp)
        return failWith("Not set up",
                        "The vault has not been set up yet.  Run \"corvix-cli init\" first.");
    security::MasterCopy() = state_.master;
    security::InstallationId() = state_.installationId;
    // Messages of the check ("Access Denied") go to standard error.
    framework::StderrPrompt toStderr;
    framework::Prompt* previous = framework::setPrompt(&toStderr);
    const security::CliLogon verdict =
        security::checkMasterPasswordTyped([]() -> std::optional<::runtime::Secret> {
            ::runtime::Secret entry;
            if (!readSecret("Master password", entry)) return std::nullopt;
            return entry;
        });
    framework::setPrompt(previous);
    switch (verdict) {
        case security::CliLogon::Granted:
            security::LoggedOn() = true;
            return kExitOk;
        case security::CliLogon::Denied:
            return kExitError;  // reported by the check
        case security::CliLogon::Cancelled:
            return failWith("Access Denied", "The password you have entered is incorrect.");
        case security::CliLogon::NeedsWindow:
            return failWith("Access Denied", security::kNeedsGraphicalLogon);
    }
    return kExitError;
}

int VaultSession::openAndLogOn() {
    const int rc = open();
    return rc != kExitOk ? rc : logOn();
}

// ---- the vault through the managers ----

framework::Button CliPrompt::ask(const std::string& title, const std::string& text,
                                 framework::Icon icon, unsigned buttons,
                                 framework::Button defaultButton) {
    const framework::Button b = StderrPrompt::ask(title, text, icon, buttons, defaultButton);
    return (buttons & framework::kButtonNo) ? framework::kButtonNo : b;
}

int CliErrorManager::OnFatal(const framework::MessageEntry& m, const std::string& text) {
    framework::prompt().ask(m.title, text, framework::Icon::Information, framework::kButtonOk,
                            framework::kButtonOk);
    // Not a normal end: leave at once with the error code. A change under way is rolled
    // back by the storage when the vault is opened next.
    std::fflush(nullptr);
    std::_Exit(kExitError);
}

ManagedSession::ManagedSession(vault::WordCheck words)
    : previousPrompt_(framework::setPrompt(&prompt_)),
      previousErrors_(framework::setErrorManager(&errors_)),
      session_(words) {}

ManagedSession::~ManagedSession() {
    if (opened_) {
        framework::VaultManagers& m = framework::vaultManagers();
        m.catRelations.Close();
        m.masRelations.Close();
    }
    framework::destroyVaultManagers();
    framework::setErrorManager(previousErrors_);
    framework::setPrompt(previousPrompt_);
}

int ManagedSession::open() {
    const int rc = session_.open();
    return rc != kExitOk ? rc : handOver();
}

int ManagedSession::openAndLogOn() {
    const int rc = session_.openAndLogOn();
    return rc != kExitOk ? rc : handOver();
}

// Every record goes through the managers' own handles. The direct handles of the
// start-up checks are closed once the managers hold the accounts, so that the vault
// file's connection (key, schema) is set up once per command rather than twice.
int ManagedSession::handOver() {
    framework::VaultManagers& m = framework::vaultManagers();
    opened_ = true;
    // The categories bring their accounts along (the relation opens both).
    int rc = kExitOk;
    if (m.catRelations.Open() != framework::kLevelBenign ||
        m.masRelations.Open() != framework::kLevelBenign || !m.pas.Use())
        rc = kExitError;
    session_.tables().closeAll();
    return rc;
}

bool parseNumber(const std::string& text, long low, long high, long* out) {
    if (text.empty()) return false;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || v < low || v > high) return false;
    *out = v;
    return true;
}

int fetchAccount(ManagedSession& session, long id) {
    framework::VaultManagers& m = session.managers();
    m.pasRecord.clear();
    m.pasRecord->PAS_ID = static_cast<int32_t>(id);
    if (m.pas.TryFetch(vault::pas::K_PAS_ID) == framework::kLevelBenign) return kExitOk;
    if (m.pas.PendingError() != 0) {
        m.pas.RaisePending();
        return kExitError;
    }
    return failWith("Record Retrieval Error",
                    "There is no account with ID " + std::to_string(id) + ".");
}

bool readNext(framework::FileManager& file, int* rc) {
    *rc = kExitOk;
    if (file.TryNext() == framework::kLevelBenign) return true;
    if (!file.EndOfFile()) {
        file.RaisePending();
        *rc = kExitError;
    }
    return false;
}

}  // namespace corvix::cli
