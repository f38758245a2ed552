// corvix-cli's command registry and the helpers every command file shares.
//
// A command file registers its commands at static-initialisation time:
//
//   static int runSend(const std::vector<std::string>& args);
//   CORVIX_CLI_COMMAND(kSend, "send", "send ID", "types an account into its window", runSend);
//
// Commands are keyed by their words ("categories rename"); the longest registered
// sequence of words that starts the command line wins, and the rest are the arguments.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "framework/error_manager.h"
#include "framework/prompt.h"
#include "framework/vault_managers.h"
#include "runtime/secret.h"
#include "vault/access.h"
#include "vault/startup_checks.h"

namespace corvix::cli {

enum ExitCode { kExitOk = 0, kExitError = 1, kExitUsage = 2 };

using CommandFn = int (*)(const std::vector<std::string>& args);

struct Command {
    std::string words;    // "categories rename"
    std::string usage;    // "categories rename OLD NEW"
    std::string summary;  // one line for the usage text
    CommandFn run = nullptr;
};

// Adds a command; false when its words are taken already. Returns a value so that it
// can initialise a static.
bool registerCommand(Command command);
const std::vector<Command>& commands();  // in registration order
// The command whose words start args (longest match); *used = how many words it took.
const Command* findCommand(const std::vector<std::string>& args, size_t* used);

#define CORVIX_CLI_CONCAT2(a, b) a##b
#define CORVIX_CLI_CONCAT(a, b) CORVIX_CLI_CONCAT2(a, b)
#define CORVIX_CLI_COMMAND(id, words, usage, summary, fn)                   \
    [[maybe_unused]] static const bool CORVIX_CLI_CONCAT(id, _registered) = \
        ::corvix::cli::registerCommand({words, usage, summary, fn})

// ---- options ----
struct Options {
    std::set<std::string> flags;                // "--reveal"
    std::map<std::string, std::string> values;  // "--description" -> "Bank"
    std::vector<std::string> positional;
    bool has(const std::string& flag) const { return flags.count(flag) != 0; }
    std::string value(const std::string& name, const std::string& fallback = {}) const;
    bool hasValue(const std::string& name) const { return values.count(name) != 0; }
};
// Splits args into flags (names without a value), named values ("--x V" or "--x=V") and
// positional words. An unknown option or a missing value gives false and *error.
bool parseOptions(const std::vector<std::string>& args, const std::vector<std::string>& flagNames,
                  const std::vector<std::string>& valueNames, Options& out, std::string* error);

// Prints "corvix-cli: <why>" and the command's usage to standard error; returns 2.
int usageError(const Command& command, const std::string& why);
int usageError(const std::string& commandWords, const std::string& why);

// ---- files the user names ----
// Called by main() before it enters the data folder: the folder the command was started in.
void rememberStartDirectory();
// A file name from the command line: a relative one is relative to where the command was
// started, not to the data folder the CLI works in.
std::string userPath(const std::string& path);

// ---- input ----
// The next line of standard input without its line end; false at the end of input.
// All reads of standard input go through here, so that a master password and an
// account password given one per line are taken in order.
bool readInputLine(std::string& line);
bool readInputLine(::runtime::Secret& line);
// Reads a secret: from the terminal without echo (after showing prompt on standard
// error) when standard input is a terminal, else the next line of standard input.
// false when nothing could be read.
bool readSecret(const std::string& prompt, ::runtime::Secret& secret);
bool stdinIsTerminal();

// ---- messages ----
// A message as the program shows it: "title: text" on standard error.
void printMessage(const std::string& title, const std::string& text);
// printMessage and return 1.
int failWith(const std::string& title, const std::string& text);
// A storage error as a file access message naming the file; returns 1.
int failWithStorage(const storage::Error& error, const std::string& file);

// ---- the vault in the working directory ----
// Opens the vault's tables directly for the start-up checks and for counting records
// (status); everything that reads or writes records goes through ManagedSession.
class VaultSession {
  public:
    // WordCheck::Skip for commands that generate no password: the word database is then
    // neither copied nor checked at their start.
    explicit VaultSession(vault::WordCheck words = vault::WordCheck::Run);
    ~VaultSession();
    // Opens the vault's tables (creating them on the first run) and runs the start-up
    // checks. Failures are printed; returns an exit code.
    int open();
    // Fills MasterCopy, then asks for the master password when it is not blank and
    // compares it (case matters, trailing blanks do not). A wrong or missing one prints
    // "The password you have entered is incorrect." and gives 1; so does a password given
    // on an image theme (it cannot be typed) and a vault that is not set up.
    int logOn();
    // open() then logOn().
    int openAndLogOn();

    vault::VaultTables& tables() { return *tables_; }
    const vault::StartupState& state() const { return state_; }
    vault::StartupState& state() { return state_; }

  private:
    std::unique_ptr<vault::VaultTables> tables_;
    vault::StartupState state_;
    vault::WordCheck words_;
};

// Messages of the managers go to standard error as "title: text". Nobody is there to
// answer a question ("Try again?"), so it is answered No when No is offered: a failure is
// never retried for ever.
class CliPrompt : public framework::StderrPrompt {
  public:
    framework::Button ask(const std::string& title, const std::string& text, framework::Icon icon,
                          unsigned buttons, framework::Button defaultButton) override;
};

// A failure that ends the program is printed like every other message ("title: text",
// without the box's "Press OK" line) and ends the command with exit code 1.
class CliErrorManager : public framework::ErrorManager {
  protected:
    int OnFatal(const framework::MessageEntry& m, const std::string& text) override;
};

// The vault reached the way the program's windows reach it: the start-up checks run over
// the directly opened tables, which are then closed, and every record is read and written
// through the framework's file and relation managers (prime values, field rules,
// numbering, duplicate keys and their messages). While a session lives, the managers'
// messages go to standard error.
class ManagedSession {
  public:
    explicit ManagedSession(vault::WordCheck words = vault::WordCheck::Run);
    ~ManagedSession();
    ManagedSession(const ManagedSession&) = delete;
    ManagedSession& operator=(const ManagedSession&) = delete;
    // The start-up checks only (a vault that is not set up yet); returns an exit code.
    int open();
    // The start-up checks and the master password; returns an exit code.
    int openAndLogOn();

    const vault::StartupState& state() const { return session_.state(); }
    framework::VaultManagers& managers() { return framework::vaultManagers(); }

  private:
    int handOver();

    CliPrompt prompt_;
    CliErrorManager errors_;
    framework::Prompt* previousPrompt_;
    framework::ErrorManager* previousErrors_;
    VaultSession session_;
    bool opened_ = false;
};

// A whole decimal number from low to high; false for anything else.
bool parseNumber(const std::string& text, long low, long high, long* out);

// Reads the account with this PAS:PAS_ID through the accounts' file manager into its
// shared buffer (managers().pasRecord); prints the error and returns its exit code when
// there is none or it cannot be read, else kExitOk.
int fetchAccount(ManagedSession& session, long id);

// Reads on in the manager's current order into its buffer: true for a record; false at
// the end (*rc = kExitOk) or on a failure, which is printed (*rc = kExitError).
bool readNext(framework::FileManager& file, int* rc);

}  // namespace corvix::cli
