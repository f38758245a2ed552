// Which X keysym stands for a Windows virtual-key code.
#pragma once

#include <cstdint>

namespace corvix::desktop::x11 {

// 0 when the code has no key on X11 (mouse buttons, unassigned codes).
unsigned long keysymForVirtualKey(uint8_t virtualKey);

}  // namespace corvix::desktop::x11
