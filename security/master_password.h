// Asking for and checking the master password, and the inactivity logoff.
#pragma once

#include <functional>
#include <string>

#include "security/logon_entry.h"

namespace corvix::security {

inline constexpr const char* kInvalidThemeTitle = "Error";
inline constexpr const char* kInvalidThemeText =
    "Invalid theme selected.  Contact Halden for support.";
inline constexpr const char* kAccessDeniedTitle = "Access Denied";
inline constexpr const char* kAccessDeniedText = "The password you have entered is incorrect.";

enum class LogonWindow { Normal, Image, ImageByLocation };
// Procedure names of the logon windows (settings sections, procedure stack).
const char* procedureName(LogonWindow w);

struct LogonRequest {
    LogonWindow window = LogonWindow::Normal;
    std::string prompt;    // blank = a logon
    std::string expected;  // exact-location themes: what clicks are matched against
};

// Opens the logon window a request names and returns how it ended. The program's runner
// shows the Qt windows; tests and the command-line tool install their own.
using LogonRunner = std::function<LogonResult(const LogonRequest&)>;
void setLogonRunner(LogonRunner runner);  // empty restores the windows
// The windows themselves: installed by the windowed program (useLogonWindows() in
// logon_windows.cpp, which links Qt Widgets); without them a logon is cancelled.
// raise brings the open one to the front.
void setLogonWindows(LogonRunner windows, std::function<void()> raise);
void useLogonWindows();
LogonResult runLogon(const LogonRequest& request);

// The window AskPassword opens for these arguments.
LogonWindow logonWindowFor(bool useImage, std::string_view basis);

// Opens the right entry window and returns the entry, or "**Cancelled**".
std::string AskPassword(bool useImage, const std::string& prompt, const std::string& basis,
                        const std::string& expected);
// The same, keeping a cancel apart from an entry that reads "**Cancelled**".
LogonResult askPasswordResult(bool useImage, const std::string& prompt, const std::string& basis,
                              const std::string& expected);

// One logon attempt against MasterCopy. True when access is granted; a wrong password
// is reported, a cancel fails silently.
bool CheckMasterPassword();

// Run by the main frame's timer once a second. When logged on with monitoring on and a
// timeout set, more than the timeout's minutes since the last activity requests a logoff.
void InactivityTick();
// What a logoff request does: the main frame posts its Logoff command.
void setLogoffRequest(std::function<void()> request);

// Restores the runner, the logoff request and the session (tests).
void resetSecurity();

}  // namespace corvix::security
