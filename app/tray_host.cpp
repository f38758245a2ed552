// Which window holds the system tray selection: read over the display connection Qt
// already has (xcb), so a restarted tray host is noticed without a second connection.
#include <xcb/xcb.h>
#include <QGuiApplication>
#include <QScreen>

#include "app/tray_icon.h"

namespace corvix::app {

uint32_t currentTrayHost() {
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection()) return 0;
    xcb_connection_t* c = x11->connection();
    int screen = 0;
    std::string name = "_NET_SYSTEM_TRAY_S" + std::to_string(screen);
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, name.size(), name.c_str()), nullptr);
    if (!atom) return 0;
    uint32_t owner = 0;
    if (atom->atom != XCB_ATOM_NONE) {
        xcb_get_selection_owner_reply_t* reply =
            xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr);
        if (reply) {
            owner = reply->owner;
            free(reply);
        }
    }
    free(atom);
    return owner;
}

}  // namespace corvix::app
