// The command line, its switches, the program's own path and the settings file FRL.Ini.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvix::ferrule {

const std::vector<std::string>& commandLine();
void setCommandLine(std::vector<std::string> args);
void resetCommandLine();  // read /proc/self/cmdline again on next use

// A switch such as "/DEBUGFRL" anywhere on the command line, any case. Like a plain
// text search, "/DEBUGFRL" is also found inside "/DEBUGFRLi".
bool hasSwitch(std::string_view sw);

std::string programPath();       // argv[0], or the executable's path when argv[0] is bare
std::string programDirectory();  // programPath() cut after its last "/"
std::string firstArgument();     // argv[1], blank when there is none

// FRL.Ini in the program's directory.
std::string settingsFile();
std::string readSetting(std::string_view section, std::string_view key,
                        std::string_view fallback = "");

// Sets the silent flag from /FRLSILENT or [Command] Silent=TRUE; once set it stays set.
void refreshSilent();

// Text helpers shared by the library.
std::string upper(std::string_view text);
std::string clip(std::string_view text);  // without trailing blanks
bool equalNoCase(std::string_view a, std::string_view b);
std::string withSlash(std::string dir);  // appends the missing trailing "/"

}  // namespace corvix::ferrule
