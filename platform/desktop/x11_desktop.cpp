#include "platform/desktop/desktop.h"

namespace corvix::desktop {

// Replaced by the XTest backend in the next commit.
std::unique_ptr<Desktop> openX11Desktop(std::string* reason) {
    if (reason) *reason = "the X11 backend is not built yet";
    return nullptr;
}

}  // namespace corvix::desktop
