// The master record for the settings commands: read into the master table's shared
// buffer through its file manager, so that an update rewrites exactly that record.
#pragma once

#include "cli/command.h"

namespace corvix::cli {

// Reads the one master record into managers().masRecord; prints why not and returns the
// exit code when there is none or it cannot be read.
int readMasterRecord(ManagedSession& session);
// Saves the buffer back over it; prints the failure.
int saveMasterRecord(ManagedSession& session);

// Changing the password medium or the theme needs the picture windows.
inline constexpr const char* kImagePasswordNeedsProgram =
    "An image master password is set up and changed in the program (Change Settings, "
    "Change Master Password); corvix-cli handles typed master passwords only.";

}  // namespace corvix::cli
