// Where Corvix keeps its data and finds its installed files.
//
// The data folder holds the vault, the settings file and the numbered word database:
// $CORVIX_HOME when set, else $XDG_DATA_HOME/corvix, else ~/.local/share/corvix. The
// program, the CLI and scripts/run use the same rule, so a vault made from a source build
// and one made from the package are the same vault.
//
// Installed files are found relative to the running program: the build tree keeps them
// beside it in bin/, an installation under <prefix>/share/corvix and <prefix>/libexec.
#pragma once

#include <string>

namespace corvix::vault {

// The data folder the rule above names (not created).
std::string dataFolderPath();
// Creates the data folder when missing (mode 0700, parents as needed) and makes it the
// working directory, since every table is opened by a name relative to it. On failure
// *error says what went wrong with which folder.
bool enterDataFolder(std::string* folder, std::string* error);

// The INI file where the upgrade library marks a file while the program opens it (its
// crash mark): win.ini in the data folder when $CORVIX_HOME names the folder, so that a
// folder of its own (a test's, a second vault's) keeps its own mark; "" otherwise, for the
// library's default in the user's configuration folder. Call after enterDataFolder.
std::string crashMarkFile();

// mkdir -p where every folder it creates is private to the user (mode 0700).
bool makePrivateFolders(const std::string& path, std::string* error);

// The folder of the running executable.
std::string programDirectory();
// The folder holding the shipped word database CVWRD.TPS.
std::string sharedDataDirectory();
// The user manual's start page; empty when no manual is installed.
std::string manualDirectory();

}  // namespace corvix::vault
