// The desktop operations the sending code needs, shaped like the Windows calls it was
// designed around: top-level windows, texts inside a window, foreground window and
// activation, key events by virtual-key code, the character-to-key lookup, Caps Lock,
// and a global hot key. Backends: X11 (x11_desktop.h) and a simulated one for tests.
// No Qt and no X11 headers here.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace corvix::desktop {

using WindowHandle = uint64_t;  // 0 = no window

struct WindowInfo {
    WindowHandle handle = 0;
    std::string title;      // UTF-8
    std::string className;  // WM_CLASS class (or the backend's equivalent)
};

// What the character-to-key lookup answers (VkKeyScan): the virtual key and the
// modifiers to hold. found = false when the layout has no key for the character.
struct KeyForChar {
    bool found = false;
    uint8_t virtualKey = 0;
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
};

class Desktop {
  public:
    virtual ~Desktop() = default;

    // Windows. Top-level windows, top of the stacking order first. Windows without a
    // title are left out: no pattern could match them.
    virtual std::vector<WindowInfo> topWindows() = 0;
    // Texts inside one window: child window titles and accessible labels / edit texts.
    virtual std::vector<std::string> windowTexts(WindowHandle window) = 0;
    // The same texts for a caller that must not wait for them (the program's event loop):
    // the request gathers what takes time (accessible texts, read by a helper program) in
    // the background, and ready() never blocks. The default answers windowTexts at once.
    class TextsRequest {
      public:
        virtual ~TextsRequest() = default;
        virtual bool ready() = 0;
        // The texts, once ready.
        virtual std::vector<std::string> take() = 0;
    };
    virtual std::unique_ptr<TextsRequest> requestWindowTexts(WindowHandle window);
    virtual WindowHandle foregroundWindow() = 0;
    // The process that owns the window (0 when unknown).
    virtual long windowProcessId(WindowHandle window) { return 0; }
    virtual bool windowExists(WindowHandle window) = 0;
    // Brings the window to the front and gives it the keyboard focus; waits (X11: up to
    // 3 s) until it has the focus, false when it does not get it.
    virtual bool activate(WindowHandle window) = 0;
    // Asks for the window to come to the front with the focus and returns at once (false
    // when the window is gone); the caller waits for hasFocus while the program runs on.
    virtual bool requestActivation(WindowHandle window) = 0;
    // The window, or a window inside it, holds the keyboard focus now. Cheap enough to
    // ask between keys.
    virtual bool hasFocus(WindowHandle window) = 0;

    // Keyboard. Virtual-key codes are the Windows ones (0x41 'A', 0x10 Shift, ...; see
    // virtual_keys.h). The mouse-button codes (1, 2, 4, 5, 6) and 0 send nothing on X11.
    virtual void keyDown(uint8_t virtualKey) = 0;
    virtual void keyUp(uint8_t virtualKey) = 0;
    virtual KeyForChar keyForChar(char32_t ch) = 0;
    // keyForChar answers only keys reached without AltGr: on X11 a character that needs
    // AltGr (or a dead key) is reported as not found and goes through typeUnmappedChar.
    // Types one character the layout has no key for (the X11 backend remaps a spare
    // keycode); false when the backend cannot.
    virtual bool typeUnmappedChar(char32_t ch) = 0;
    virtual bool capsLockOn() = 0;
    // Everything sent so far has reached the display server.
    virtual void flush() = 0;

    // Around one text: beginTyping takes the layout group active now as the one keys are
    // looked up in (a character only another group has switches to it for its key) and
    // lifts the modifier keys the user holds, so that they cannot change the text;
    // endTyping returns to the group that was active.
    virtual void beginTyping() {}
    virtual void endTyping() {}
    // The pauses a backend makes while typing (receiving programs reading a changed
    // keymap) go through `pause`, which the sender makes a wait that keeps the program's
    // events running; it answers false when typing must stop (the focus left), and the key
    // that waited is then not pressed. Without one (nullptr) the backend sleeps.
    using TypingPause = std::function<bool(std::chrono::milliseconds)>;
    virtual void setTypingPause(TypingPause pause) {}
    // Keycodes that carry a borrowed character now (a secret's character stays in the
    // keymap only as long as it has to), and giving them all back at once.
    virtual size_t borrowedKeycodes() { return 0; }
    virtual void restoreKeymap() {}

    // Global hot key. modifiers: the hot-key modifier bits below. registerHotKey returns
    // false when another program holds the combination.
    enum HotKeyModifier : unsigned { kModAlt = 1, kModControl = 2, kModShift = 4, kModWin = 8 };
    virtual bool registerHotKey(int id, unsigned modifiers, uint8_t virtualKey) = 0;
    virtual void unregisterHotKey(int id) = 0;
    // Delivers hot-key presses (id) to the callback; the program calls pollHotKeys()
    // from its event loop (or connects the connection number to a notifier).
    virtual void setHotKeyCallback(std::function<void(int id)> callback) = 0;
    virtual void pollHotKeys() = 0;
    // A file descriptor that becomes readable when hot-key events may be pending
    // (-1 when the backend has none); for QSocketNotifier.
    virtual int eventFd() = 0;
};

// The X11 backend on $DISPLAY; nullptr (with a reason) when no display can be opened.
std::unique_ptr<Desktop> openX11Desktop(std::string* reason = nullptr);

// The process-wide desktop used by the sending code. Tests install a simulated one.
// With none installed, the first call opens the X11 desktop (kept for the process;
// nullptr without a display); setCurrentDesktop(nullptr) returns to that.
Desktop* currentDesktop();
void setCurrentDesktop(Desktop* desktop);  // not owned

}  // namespace corvix::desktop
