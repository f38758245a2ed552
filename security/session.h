// The process-wide state of access control: the in-memory copy of the master record, the
// installation identity, the moment of the last user action and the logged-on flag of
// the main frame. One instance per process; resetSession() starts afresh (tests).
#pragma once

#include <functional>
#include <string>

#include "vault/records.h"

namespace corvix::security {

// The copy of the master record every check compares against (never the record buffer,
// which a form may be editing). Filled by start-up and refreshed by the wizards.
vault::MasRecord& MasterCopy();

// MAS:EncPassword held in memory: ties sealed containers to this installation.
std::string& InstallationId();

// Moment (day count + fraction of the day) of the user's last action in our windows.
double& LastActivity();

// 1 while logged on. The main frame sets and clears it.
bool& LoggedOn();

// Records an action of the user now. Every window calls it when it takes a button
// press, a menu choice or a completed field.
void TouchActivity();

// Fills MAS:EncPassword once in the life of a vault: when blank it becomes the master
// password, or today's day count in decimal digits when that is blank too. The value is
// copied into InstallationId. Returns true when the record was changed.
bool fillInstallationId(vault::MasRecord& record);

// Clears every value above (tests).
void resetSession();

}  // namespace corvix::security
