// A secret put on the clipboard for the user to paste: marked so that clipboard managers
// leave it out of their history ("x-kde-passwordManagerHint: secret"), taken off again
// after a while when the clipboard still holds it, and taken off when the program ends.
#pragma once

#include "runtime/secret.h"

namespace corvix::framework {

inline constexpr int kSecretClipboardMs = 30000;

// Puts the text on the clipboard. After clearAfterMs the clipboard is emptied, unless
// something else was copied meanwhile. A later copy replaces the pending clear.
void copySecretToClipboard(const ::runtime::Secret& text, int clearAfterMs = kSecretClipboardMs);

// Empties the clipboard now when it still holds the last secret copied (at exit).
void clearSecretClipboard();

// Whether the clipboard holds the last secret copied, unchanged.
bool clipboardHoldsSecret();

}  // namespace corvix::framework
