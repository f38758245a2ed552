// Sending one account on demand: find its target window (or go back to the window the
// user worked in), hide the frame, expand the action, wait the account's delay and type.
#pragma once

#include "platform/desktop/desktop.h"
#include "vault/records.h"

namespace corvix::send {

enum class SendResult {
    Sent,
    NoTargetWindow,  // "Cannot Send": the window does not exist
    NoTargetText,    // "Cannot Send": the window does not contain the text
    NoDesktop,       // no desktop to send to
    TargetClosed,    // the target window went away while the send waited: nothing typed
    NotAllowed,      // sending stopped being allowed (logoff) while the send waited
    NotFocused,      // "Cannot Send": the window did not take the keyboard focus
    FocusLost,       // "Cannot Send": the focus left the window before or while typing
    Busy,            // "Cannot Send": another account was being typed (nothing typed)
};

// Sends the account. The record is copied first, so a change of the record buffer while
// the send waits does not change what is typed. Keys go out only while the target holds
// the keyboard focus. d = nullptr uses the current desktop.
SendResult SendAccount(vault::PasRecord account, desktop::Desktop* d = nullptr);

}  // namespace corvix::send
