// Global hot keys on X11: passive key grabs on the root window of their own connection,
// so that the connection's descriptor signals hot-key presses and nothing else.
#pragma once

#include <functional>
#include <map>

#include "platform/desktop/x11_connection.h"
#include "platform/desktop/x11_keyboard.h"

namespace corvix::desktop::x11 {

class HotKeys {
  public:
    // `keyboard` answers keycodes and modifier masks; `connection` is the hot keys' own.
    HotKeys(Keyboard& keyboard, Connection& connection);
    ~HotKeys();
    HotKeys(const HotKeys&) = delete;
    HotKeys& operator=(const HotKeys&) = delete;

    // False when the key is unknown, the combination is taken (by another program or by
    // another id here) or the modifiers are not the four hot-key bits. A registration
    // under an id that is in use replaces the old one. A key the current layout lacks,
    // or that another program holds, stays wanted and is grabbed at the next change of
    // the keyboard mapping that lets it.
    bool add(int id, unsigned modifiers, uint8_t virtualKey);
    void remove(int id);
    // Moves the grabs along if the keyboard mapping changed (a key that could not be
    // placed before is tried again), then reads every pending event and calls `callback`
    // for each hot-key press.
    void poll(const std::function<void(int)>& callback);
    int fd() const { return c_.fd(); }

  private:
    struct Grab {
        unsigned modifiers = 0;
        uint8_t virtualKey = 0;
        uint8_t keycode = 0;
        unsigned xmods = 0;
        unsigned numLock = 0;  // the Num Lock mask the grab was made with
        bool grabbed = false;  // false: wanted, but not placed in the current mapping
    };
    bool place(Grab& grab);
    bool grabKey(const Grab& grab);
    void ungrab(const Grab& grab);
    void follow();

    Keyboard& keyboard_;
    Connection& c_;
    std::map<int, Grab> grabs_;
};

}  // namespace corvix::desktop::x11
