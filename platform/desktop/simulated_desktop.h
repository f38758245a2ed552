// A desktop without a display, for tests of the sending code: scripted top-level windows
// (title, class, texts, stacking order, foreground), a US keyboard that plays every key
// event into the focused window as text, Caps Lock, and scripted hot keys.
#pragma once

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/desktop/desktop.h"

namespace corvix::desktop {

class SimulatedDesktop : public Desktop {
  public:
    // One entry of the event log, in the order the calls were made.
    struct Event {
        enum class Kind { KeyDown, KeyUp, UnmappedChar };
        Kind kind = Kind::KeyDown;
        uint8_t virtualKey = 0;   // KeyDown, KeyUp
        char32_t ch = 0;          // UnmappedChar
        WindowHandle target = 0;  // the focused window when the event came (0: none)
        bool operator==(const Event&) const = default;
    };

    SimulatedDesktop();

    // --- Scripting the windows. New windows open on top of the stacking order but do
    // not take the focus (use activate or setForeground). ---
    WindowHandle addWindow(const std::string& title, const std::string& className = "",
                           const std::vector<std::string>& texts = {});
    // Adds a window below all others.
    WindowHandle addWindowAtBottom(const std::string& title, const std::string& className = "",
                                   const std::vector<std::string>& texts = {});
    bool closeWindow(WindowHandle window);
    bool setTitle(WindowHandle window, const std::string& title);
    bool setTexts(WindowHandle window, const std::vector<std::string>& texts);
    bool raise(WindowHandle window);
    // The user clicks another window: it becomes the foreground without activate().
    bool setForeground(WindowHandle window);
    // A window that refuses activation (activate returns false, focus stays).
    bool setActivatable(WindowHandle window, bool activatable);
    // Another program gives `window` the focus right after the next `keyDowns` key-down
    // events have been delivered: the keys after them go there.
    void moveFocusAfterKeys(int keyDowns, WindowHandle window);

    // --- What happened. ---
    const std::vector<Event>& events() const { return events_; }
    void clearEvents() { events_.clear(); }
    // Key events only, as "+16 +65 -65 -16" (down +, up -) for compact assertions.
    std::string keyTrace() const;
    // The text the window received (UTF-8): characters, '\t' for Tab, '\n' for Enter;
    // Backspace removes the last character.
    std::string receivedText(WindowHandle window) const;
    void clearReceivedText(WindowHandle window);
    // Characters typed through typeUnmappedChar, in order.
    std::u32string unmappedChars() const;
    // Key presses made while Ctrl, Alt or Windows were held, e.g. "Ctrl+C", "Win+R".
    const std::vector<std::string>& shortcuts(WindowHandle window) const;
    const std::vector<WindowHandle>& activations() const { return activations_; }
    int flushCount() const { return flushCount_; }
    int typingBrackets() const { return typingBrackets_; }  // completed begin/end pairs
    bool typing() const { return typing_; }
    // Keys currently held down (virtual-key codes, in press order).
    std::vector<uint8_t> keysDown() const { return held_; }

    // --- Keyboard scripting. ---
    void setCapsLock(bool on) { capsLock_ = on; }
    // Whether typeUnmappedChar succeeds (default: yes).
    void setCanTypeUnmapped(bool can) { canTypeUnmapped_ = can; }
    // As the X11 backend pauses before a character it types through a spare keycode:
    // typeUnmappedChar asks the typing pause for `length` first and types nothing when
    // the pause refuses.
    void pauseBeforeUnmapped(std::chrono::milliseconds length) { unmappedPause_ = length; }

    // --- Hot-key scripting. ---
    // Another program holds the combination: registering it fails.
    void holdHotKeyElsewhere(unsigned modifiers, uint8_t virtualKey);
    void releaseHotKeyElsewhere(unsigned modifiers, uint8_t virtualKey);
    // The user presses the combination. True when one of this program's hot keys
    // matched: its id is delivered at the next pollHotKeys().
    bool pressHotKey(unsigned modifiers, uint8_t virtualKey);
    // Registered hot keys: id -> (modifiers, virtual key).
    std::map<int, std::pair<unsigned, uint8_t>> hotKeys() const { return hotKeys_; }
    size_t pendingHotKeys() const { return pendingHotKeys_.size(); }

    // --- Desktop ---
    std::vector<WindowInfo> topWindows() override;
    std::vector<std::string> windowTexts(WindowHandle window) override;
    WindowHandle foregroundWindow() override { return foreground_; }
    bool windowExists(WindowHandle window) override;
    bool activate(WindowHandle window) override;
    bool requestActivation(WindowHandle window) override { return activate(window); }
    bool hasFocus(WindowHandle window) override { return window != 0 && foreground_ == window; }
    void keyDown(uint8_t virtualKey) override;
    void keyUp(uint8_t virtualKey) override;
    KeyForChar keyForChar(char32_t ch) override;
    bool typeUnmappedChar(char32_t ch) override;
    void setTypingPause(TypingPause pause) override { pause_ = std::move(pause); }
    bool capsLockOn() override { return capsLock_; }
    void flush() override { ++flushCount_; }
    // Lifts held modifier keys (key-up events, as the X11 backend sends them).
    void beginTyping() override;
    void endTyping() override;
    bool registerHotKey(int id, unsigned modifiers, uint8_t virtualKey) override;
    void unregisterHotKey(int id) override;
    void setHotKeyCallback(std::function<void(int id)> callback) override;
    void pollHotKeys() override;
    int eventFd() override { return -1; }

  private:
    struct Window {
        WindowHandle handle = 0;
        std::string title;
        std::string className;
        std::vector<std::string> texts;
        std::u32string received;
        std::vector<std::string> shortcuts;
        bool activatable = true;
    };

    Window* find(WindowHandle window);
    const Window* find(WindowHandle window) const;
    WindowHandle newWindow(const std::string& title, const std::string& className,
                           const std::vector<std::string>& texts, bool onTop);
    unsigned heldModifiers() const;
    void deliverKeyDown(uint8_t virtualKey);
    void typeInto(uint8_t virtualKey);

    std::vector<Window> windows_;  // top of the stacking order first
    WindowHandle nextHandle_ = 0x1000;
    WindowHandle foreground_ = 0;
    std::vector<Event> events_;
    std::vector<WindowHandle> activations_;
    std::vector<uint8_t> held_;
    bool capsLock_ = false;
    bool canTypeUnmapped_ = true;
    std::chrono::milliseconds unmappedPause_{0};
    TypingPause pause_;
    int flushCount_ = 0;
    int typingBrackets_ = 0;
    bool typing_ = false;
    int focusMoveAfter_ = 0;
    WindowHandle focusMoveTo_ = 0;
    std::map<int, std::pair<unsigned, uint8_t>> hotKeys_;
    std::vector<std::pair<unsigned, uint8_t>> heldElsewhere_;
    std::deque<int> pendingHotKeys_;
    std::function<void(int)> hotKeyCallback_;
};

}  // namespace corvix::desktop
