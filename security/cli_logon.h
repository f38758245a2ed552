// The master password check for the command-line tool: typed passwords only.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "runtime/secret.h"

namespace corvix::security {

enum class CliLogon {
    Granted,      // blank master password, or the typed one matches
    Denied,       // wrong password ("Access Denied" reported through the prompt)
    Cancelled,    // no password could be read (end of input)
    NeedsWindow,  // the master password is given on an image theme
};

inline constexpr const char* kNeedsGraphicalLogon =
    "The master password is given on an image theme; use the graphical logon.";

// Checks MasterCopy's password by the program's rules: a blank one grants access without
// asking; otherwise readPassword is asked once (nullopt = cancelled). An image password
// cannot be typed and is not asked for.
CliLogon checkMasterPasswordTyped(
    const std::function<std::optional<::runtime::Secret>()>& readPassword);

}  // namespace corvix::security
