// What the set-up wizard's OK does with the master record once the form's own field
// checks have passed, without the window: the theme check, a new master password when
// the vault is new or the password medium changed (asked twice through AskPassword),
// the installation identity and MasterCopy. The wizard and corvix-cli both run it.
#pragma once

#include <cstdint>

#include "vault/records.h"

namespace corvix::security {

inline constexpr const char* kSetupNewTitle = "Setup Wizard (New)";
inline constexpr const char* kSetupChangeTitle = "Setup Wizard (Change)";
inline constexpr const char* kNoThemeText = "You must select an image Theme.";
inline constexpr const char* kRequestLostText = "Internal Error - Request Lost (1)";
inline constexpr const char* kNewVaultPasswordTip =
    "You may now enter a \"master\" password that you will use to gain access to all "
    "functions each time you start Halden Corvix.  You can leave it blank if you do not "
    "want to use a master password to protect your password lists.";
inline constexpr const char* kNewImagePasswordTip =
    "Because you have selected a different image, you should enter a new password.";
inline constexpr const char* kChangeCancelledText = "The change was cancelled.";
inline constexpr const char* kMismatchText = "The two passwords do not match.";
inline constexpr const char* kPasswordCancelledNote =
    "Master password cancelled.  Change your preferences or enter a master password.";
inline constexpr const char* kSetupCompletedTip =
    "You have completed the basic set up wizard.  Close this tip, and press the log-on "
    "button (green checkmark) to start using the Halden Corvix.";
inline constexpr const char* kNewPasswordPrompt = "Enter new master password";
inline constexpr const char* kConfirmPasswordPrompt = "Re-enter new password to confirm";

// The settings as the wizard found them when it opened.
struct SetupOpening {
    bool isNew = false;  // no master record yet: the form inserts one
    int32_t gsdId = 0;
    bool useImage = false;
    int request = 0;  // the form's request on opening
};
SetupOpening openingOf(const vault::MasRecord& record, bool isNew, int request);

// A new vault, another theme or the image check switched: the password must be given
// anew (a password belongs to its medium and theme).
bool newPasswordRequired(const SetupOpening& opening, const vault::MasRecord& record);

enum class SetupVerdict {
    Completed,       // the record is ready to be saved; MasterCopy holds it
    NoTheme,         // the image check is on without a theme: back to the theme button
    PasswordNotSet,  // the new password was cancelled or mismatched: focus to Cancel
};

// Steps after the field checks. requestNow: the form's request at OK. On anything but
// Completed the record and MasterCopy are as they were before the call.
SetupVerdict completeSetup(vault::MasRecord& record, const SetupOpening& opening, int requestNow);

}  // namespace corvix::security
