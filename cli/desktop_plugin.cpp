// corvix-cli's way to the X11 desktop: through its plugin (cli/x11/), so that the X11
// libraries are loaded by send and watch only. Defined here, this function keeps the
// desktop library's own X11 backend out of the commands' library.
#include <memory>
#include <string>

#include "cli/plugin.h"
#include "platform/desktop/desktop.h"

namespace corvix::desktop {

std::unique_ptr<Desktop> openX11Desktop(std::string* reason) {
    using Open = Desktop*(std::string*);
    std::string why;
    auto* open = reinterpret_cast<Open*>(
        cli::pluginEntry("libcorvix_cli_x11.so", "corvix_cli_open_x11_desktop", &why));
    if (!open) {
        if (reason) *reason = "the X11 desktop cannot be loaded: " + why;
        return nullptr;
    }
    return std::unique_ptr<Desktop>(open(reason));
}

}  // namespace corvix::desktop
