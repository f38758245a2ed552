// The desktop on an X11 display: XTest key events, EWMH window discovery and activation,
// AT-SPI texts through the helper program, hot keys as root-window key grabs.
#pragma once

#include <memory>
#include <string>

#include "platform/desktop/desktop.h"

namespace corvix::desktop {

class X11Desktop : public Desktop {
  public:
    // nullptr (with a reason) when $DISPLAY cannot be opened or lacks XTest.
    static std::unique_ptr<X11Desktop> open(std::string* reason = nullptr);
    ~X11Desktop() override;

    std::vector<WindowInfo> topWindows() override;
    std::vector<std::string> windowTexts(WindowHandle window) override;
    // The request answers the child-window texts at once and runs the accessibility
    // helper in the background; it must not outlive the desktop.
    std::unique_ptr<TextsRequest> requestWindowTexts(WindowHandle window) override;
    WindowHandle foregroundWindow() override;
    long windowProcessId(WindowHandle window) override;
    bool windowExists(WindowHandle window) override;
    bool activate(WindowHandle window) override;
    bool requestActivation(WindowHandle window) override;
    bool hasFocus(WindowHandle window) override;
    void keyDown(uint8_t virtualKey) override;
    void keyUp(uint8_t virtualKey) override;
    KeyForChar keyForChar(char32_t ch) override;
    bool typeUnmappedChar(char32_t ch) override;
    void setTypingPause(TypingPause pause) override;
    bool capsLockOn() override;
    // Waits until the server has handled every event sent.
    void flush() override;
    void beginTyping() override;
    void endTyping() override;
    size_t borrowedKeycodes() override;
    // Gives every spare keycode its own mapping back, after the pause (at most a few
    // hundred milliseconds since the last key) receiving programs need to read the keys
    // already sent with it.
    void restoreKeymap() override;
    bool registerHotKey(int id, unsigned modifiers, uint8_t virtualKey) override;
    void unregisterHotKey(int id) override;
    void setHotKeyCallback(std::function<void(int id)> callback) override;
    void pollHotKeys() override;
    int eventFd() override;

    // Beyond the interface, for diagnostics, tests and benchmarks.
    bool windowManagerRunning();
    // Texts from X child windows only, and from the accessibility helper only.
    std::vector<std::string> childWindowTexts(WindowHandle window);
    std::vector<std::string> accessibleTexts(WindowHandle window);
    size_t spareKeycodes() const;

  private:
    // A lookup that failed for this window and title a moment ago is not tried again.
    bool lookupFailedRecently(WindowHandle window, const std::string& title);

    struct Parts;
    explicit X11Desktop(std::unique_ptr<Parts> parts);
    std::unique_ptr<Parts> p_;
};

}  // namespace corvix::desktop
