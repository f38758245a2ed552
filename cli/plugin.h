// Parts of corvix-cli that need libraries most commands never use (Qt's painting for PDF
// reports, the X11 libraries for send and watch) live in plugins beside the program
// (lib/corvix when installed), loaded by the command that needs them.
#pragma once

#include <string>

namespace corvix::cli {

// The entry point `symbol` of the plugin file `name`, loaded and kept for the rest of the
// process (what it made may be used until the process ends); nullptr with *error set when
// it cannot be loaded or has no such entry.
void* pluginEntry(const char* name, const char* symbol, std::string* error);

}  // namespace corvix::cli
