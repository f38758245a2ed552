// ferrule: keeps a program's data files in step with its table declarations.
//
// The host registers its driver and every table at start-up (fu_AddDriver, fu_UsingFile);
// the library stores each declared structure once per label and version in its upgrade
// file Upg.Tps. Every later open goes through fu_FileOpen: when the file on disk has an
// older structure, the library finds it among the stored ones and converts the file to the
// current declaration, field by field. fu_SyncDir / fu_UpgradeLocalMachine compare a
// network copy of the program directory with the local one and start the updater.
//
// Nothing here raises to the host: failures end in one of the library's messages, and the
// host sees the state of its file and the runtime error code that fu_FileOpen returns.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/storage/raw_file.h"
#include "platform/storage/table.h"

#define FERRULE_EXPORT __attribute__((visibility("default")))

// ---- Exports, in the order in which a host uses them ----------------------------------

// Registers the driver that `file` uses under a three-letter name ("Tps" for the table
// driver). A name equal to "ODF" (any case) turns on the search for old-format files.
FERRULE_EXPORT void fu_AddDriver(std::string name, corvix::storage::Table& file);
FERRULE_EXPORT void fu_AddDriver(std::string name, corvix::storage::RawFile& file);
// Bit 0 of flags: no old-format file is looked for, for this label or for "AllFiles".
FERRULE_EXPORT void fu_IgnoreDriver(std::string name, int32_t flags);
// Registers one table of the host and records its structure in the upgrade file.
FERRULE_EXPORT void fu_UsingFile(corvix::storage::Table& file, std::string prefix,
                                 std::string label, int32_t version);
// Instead of registering at start-up: `registerAll` (the host's fu_AddDriver and
// fu_UsingFile calls) runs once, when a file first needs upgrading (fu_FileOpen finds it
// missing or of another structure, or fu_UpGradeFile is called), before the library looks
// for its older structure. Registration reads and writes the upgrade file, which costs a
// short-lived host more than its own work; a host whose files all open as declared then
// never touches it. The structures are recorded by every host that registers at start.
FERRULE_EXPORT void fu_DeferRegistration(std::function<void()> registerAll);
// Opens the table in `mode`, upgrading it first when its structure on disk is older.
// Returns the runtime error code the open left (0 when open).
FERRULE_EXPORT int fu_FileOpen(corvix::storage::Table& file, int32_t mode);
FERRULE_EXPORT int fu_FileOpen(corvix::storage::RawFile& file, int32_t mode);
FERRULE_EXPORT void fu_UpGradeFile(corvix::storage::Table& file);
// Bit 0 of options: refresh (records added with key maintenance, no key build).
FERRULE_EXPORT void fu_UpGradeFileEx(corvix::storage::Table& file, int32_t options);
// Moves the upgrade file to `path` (or the current directory when useCurrent != 0) and
// records every registered structure there.
FERRULE_EXPORT void fu_SetUPGPath(std::string path, uint8_t useCurrent);
FERRULE_EXPORT void fu_AlternateFileName(std::string newName, std::string oldName);
FERRULE_EXPORT void fu_AlternateFieldName(std::string newName, std::string oldName);
// The value a field receives when the old structure lacks it; "AUTONUMBER" numbers the
// converted records 1, 2, 3 ... Each call restarts that field's numbering.
FERRULE_EXPORT void fu_SetIfNew(std::string value, std::string fieldName);
// Creates an empty example file of the declaration. Returns its name, or "1" (structure
// not recordable), "2" (not a table of the "Tps" driver), "3" (creation failed).
FERRULE_EXPORT std::string fu_MakeTPE(corvix::storage::Table& file);
FERRULE_EXPORT std::string fu_MakeTPE(corvix::storage::RawFile& file);
FERRULE_EXPORT std::string fu_AppName();
FERRULE_EXPORT void fu_GetProfile(uint8_t show);
FERRULE_EXPORT void fu_UpgradeLocalMachine(std::string iniFile, std::string section);
FERRULE_EXPORT void fu_SyncDir(std::string localDir, std::string networkDir);

// The process's command line as the switches are read from it (argv[0] first). By
// default it is read from /proc/self/cmdline; tests set their own.
FERRULE_EXPORT void fu_SetCommandLine(std::vector<std::string> args);

namespace corvix::ferrule {

// Where the library's messages go: Qt message boxes in the program, a recorder in tests.
class MessageSink {
  public:
    virtual ~MessageSink() = default;
    // A stop message: true when the user goes on, false when they end the program.
    virtual bool stop(const std::string& text) = 0;
    // A message after which the application ends.
    virtual void halt(const std::string& text) = 0;
    // A plain message box.
    virtual void show(const std::string& title, const std::string& text) = 0;
};

// The library's two small progress windows.
class ProgressSink {
  public:
    virtual ~ProgressSink() = default;
    // Opens the window with its message line, the file-name line (may be empty) and the
    // progress bar's upper bound.
    virtual void open(const std::string& text, const std::string& fileName, int64_t total) = 0;
    virtual void setText(const std::string& text) = 0;
    virtual void setTotal(int64_t total) = 0;
    // Count of records done; lets other window events run.
    virtual void setValue(int64_t done) = 0;
    virtual void close() = 0;
};

// Installs the sinks (not owned; nullptr restores the default: the window sinks below
// when a QApplication runs, else messages on standard error and no progress).
FERRULE_EXPORT void setMessageSink(MessageSink* sink);
FERRULE_EXPORT void setProgressSink(ProgressSink* sink);
// The sinks used by default while `usable` says windows can be shown (ferrule_widgets
// installs its Qt windows through useQtWindows(), usable while a QApplication runs); this
// library itself needs no Qt. nullptr: standard error and no progress there too.
FERRULE_EXPORT void setWindowSinks(MessageSink* messages, ProgressSink* progress, bool (*usable)());
// What ending the application means; by default std::exit(code). Tests record it.
FERRULE_EXPORT void setTerminator(std::function<void(int code)> terminator);
// The INI file that stands in for the system's default one (the BadFile entry). Default:
// $XDG_CONFIG_HOME/corvix/win.ini (~/.config/corvix/win.ini).
FERRULE_EXPORT void setDefaultIniFile(std::string path);
// An open in progress is always known in memory (fileBeingOpened) and, by default, marked
// in that INI file too. A program that reports its own crashes (corvix-cli, on standard
// error) turns the INI file off: each of its commands would rewrite it twice.
FERRULE_EXPORT void setBadFileInIniFile(bool on);
// The name of the file whose open through fu_FileOpen is in progress, "" when none. Fixed
// buffers, never reallocated, each name handed out only when whole: another thread or a
// handler of a fatal signal may read it while the open runs.
FERRULE_EXPORT const char* fileBeingOpened();
// Forgets every registry, the upgrade file's location, the silent flag and the kept
// program name, and closes the upgrade file: a fresh process, for tests.
FERRULE_EXPORT void resetForTests();

}  // namespace corvix::ferrule
