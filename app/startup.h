// The program's start and end: builds the vault key, names the help file, brings up the
// error manager and the settings store, the table managers, the keystroke sender, the
// upgrade registration and the two wizard libraries, runs the main frame, and tears it
// all down again in reverse.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace corvix::app {

// The parts of the start whose modules plug in from outside. An empty hook is skipped
// and named in StartupReport::skipped, so a missing piece is visible, never faked.
struct StartupHooks {
    std::function<void()> createManagers;  // one file/relation manager pair per table
    std::function<void(std::string_view)> initKeySender;  // with the delimiters "[]"
    std::function<void()> registerUpgrades;     // fu_AddDriver, fu_IgnoreDriver, fu_UsingFile
    std::function<void()> initReportWizard;     // REPWIZINIT without a name
    std::function<void()> setQueryWizardTexts;  // the 124 QX_SETQWDISPLAYTEXT calls
    std::function<int()> runMainFrame;          // returns when the user exits
    std::function<void()> clearWindowLists;     // the global lists of windows and threads
    std::function<void()> destroyManagers;      // closes any open table
};

struct StartupReport {
    std::vector<std::string> steps;    // the steps carried out, in order
    std::vector<std::string> skipped;  // steps whose hook was empty
    int frameResult = 0;               // what the main frame returned
};

// The hooks of the pieces the program has: the vault's table managers, the keystroke
// sender, the upgrade registration, the report wizard, the query wizard's texts and the
// thread registry. The main frame is filled in by its owner.
StartupHooks programHooks();

// Runs the program from the vault key to the shutdown. Returns the process exit code
// (0: a normal end).
int runProgram(const StartupHooks& hooks, StartupReport* report = nullptr);

// The help file all help requests open ("Corvix.hlp" once the program has started).
const std::string& helpFile();
void setHelpFile(std::string name);

// The upgrade registration runs once per process; true once it has.
bool upgradesRegistered();
void resetUpgradesRegisteredForTests();

}  // namespace corvix::app
