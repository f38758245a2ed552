// What the change-master-password wizard's Continue does, without the window: the
// current password (only when logged off and one is set), the new one twice, on the
// medium the settings choose. The wizard and `corvix-cli passwd` both run it.
#pragma once

#include "vault/records.h"

namespace corvix::security {

inline constexpr const char* kChangeMasterTitle = "Change Master Password";
inline constexpr const char* kCurrentPasswordPrompt = "Enter current master password";
inline constexpr const char* kPasswordDidNotMatchText = "The password did not match.";

// Whether the current password is asked first: not while logged on, and not when none
// is set.
bool currentPasswordAsked(const vault::MasRecord& record, bool loggedOn);

// Runs the steps; true when record.Password now holds the new password (blank removes
// it). False when cancelled, mismatched or the current password was wrong: reported, and
// the record is unchanged. MAS:EncPassword is never touched. The image windows show the
// theme MasterCopy names; MasterCopy is the stored record here, as at logon.
bool changeMasterPassword(vault::MasRecord& record, bool loggedOn);

}  // namespace corvix::security
