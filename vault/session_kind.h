// What kind of desktop session this is: sending and watching reach X11 windows only, so a
// Wayland session is worth one clear sentence.
#pragma once

namespace corvix::vault {

bool waylandSession();
inline constexpr const char* kWaylandNotice =
    "This is a Wayland session: Corvix can send to and watch only X11 (XWayland) windows; "
    "native Wayland windows do not receive its keystrokes.";

}  // namespace corvix::vault
