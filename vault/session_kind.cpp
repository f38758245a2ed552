#include "vault/session_kind.h"

#include <cstdlib>
#include <cstring>

namespace corvix::vault {

bool waylandSession() {
    const char* type = std::getenv("XDG_SESSION_TYPE");
    const char* display = std::getenv("WAYLAND_DISPLAY");
    return (type && std::strcmp(type, "wayland") == 0) || (display && *display);
}

}  // namespace corvix::vault
