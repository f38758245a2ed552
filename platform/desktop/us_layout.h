// The US keyboard layout in virtual-key terms: which key (and Shift) gives a character,
// and which character a key gives. The simulated backend types with it; the X11 backend
// uses it to give punctuation keys their customary virtual-key codes.
#pragma once

#include "platform/desktop/desktop.h"

namespace corvix::desktop {

// The key for a character on a US keyboard (found = false for anything else).
KeyForChar usKeyForChar(char32_t ch);

// The character a key produces on a US keyboard with or without Shift; 0 for keys that
// produce no character (modifiers, arrows, function keys, ...). Letters come out lower
// case without Shift; Caps Lock is the caller's business.
char32_t usCharForKey(uint8_t virtualKey, bool shift);

}  // namespace corvix::desktop
