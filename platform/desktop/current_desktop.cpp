#include <memory>

#include "platform/desktop/desktop.h"

namespace corvix::desktop {
namespace {

Desktop* installed = nullptr;
std::unique_ptr<Desktop> opened;  // the X11 desktop opened on first use
bool openTried = false;

}  // namespace

Desktop* currentDesktop() {
    if (installed) return installed;
    if (!openTried) {
        openTried = true;
        opened = openX11Desktop();
    }
    return opened.get();
}

void setCurrentDesktop(Desktop* desktop) {
    installed = desktop;
    if (!desktop) openTried = false;  // the next use may open the display again
}

}  // namespace corvix::desktop
