// The X11 desktop for corvix-cli send and watch, in a plugin of its own so that the other
// commands load none of the X11 libraries. The desktop it opens is used through the
// Desktop interface by the sending code in the commands' library.
#include "platform/desktop/desktop.h"

extern "C" __attribute__((visibility("default"))) corvix::desktop::Desktop*
corvix_cli_open_x11_desktop(std::string* reason) {
    return corvix::desktop::openX11Desktop(reason).release();
}
