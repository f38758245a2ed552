// KeySender: turns an expanded action into key events for whatever window has the
// keyboard focus. Bracketed key names become key presses, everything else is typed as
// characters through the keyboard layout.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/desktop/desktop.h"
#include "send/key_names.h"

namespace corvix::send {

// Key-code modifier bits and the modifier keys pressed for them.
enum KeyCodeBits : uint32_t { kShiftBit = 256, kCtrlBit = 512, kAltBit = 1024, kWinBit = 2048 };
enum ModifierKey : uint8_t { kVkShift = 16, kVkControl = 17, kVkAlt = 18, kVkLWin = 91 };
constexpr uint8_t kVkCapital = 20;

constexpr size_t kTypingBufferChars = 2048;
constexpr size_t kTokenChars = 32;
// The focus is asked for before every key (one round trip to the display server, some
// tens of microseconds): a key pressed after the focus left would go to another window.
constexpr int kFocusCheckKeys = 1;

enum class TypeResult {
    Typed,
    FocusLost,  // the focus left the window typed into: typing stopped there
    NoDesktop,
    Busy,  // another text is being typed (this one was asked for while it paused)
};

class KeySender {
  public:
    struct KeyEntry {
        int32_t ID = 0;
        std::string KEY;
    };

    // Sets the delimiters from s (trailing blanks removed): empty gives blanks, one
    // character serves as both, otherwise the first two characters.
    void Init(std::string_view delimiters);
    void Kill();
    bool initialised() const { return initialised_; }

    // Types a key script. With focusWindow, keys go out only while that window holds the
    // keyboard focus: when it loses it, typing stops at once, every key still down is
    // released and borrowed keycodes are given back. Without a desktop nothing is sent.
    // The program's events keep running while it types (the backend's pauses yield, a
    // long text gives way now and then); a text asked for meanwhile is refused (Busy).
    TypeResult Type(std::string_view text, desktop::WindowHandle focusWindow = 0);
    bool typing() const { return typing_; }
    // One key code with its modifiers held around it.
    void Press(uint32_t code);
    // Characters as they stand; a blank text sends nothing.
    void TypeChars(std::u32string_view text);
    // The key code of a token (text between the delimiters), 0 when not understood.
    uint32_t ParseToken(std::u32string_view token) const;

    char32_t DELIMITERLEFT = U' ';
    char32_t DELIMITERRIGHT = U' ';
    std::vector<KeyEntry> KEYQ;  // kept for the interface; nothing fills it
    std::vector<KeyName> TRNQ;   // KeyNameTable

    // The desktop the events go to; nullptr = the process-wide current one.
    void setDesktop(desktop::Desktop* d) { desktop_ = d; }

  private:
    desktop::Desktop* target() const;
    void typeScript(std::u32string_view buffer);
    // False (and typing stopped) once the guarded window has lost the focus.
    bool mayPress(desktop::Desktop& d);
    void down(desktop::Desktop& d, uint8_t vk);
    void up(desktop::Desktop& d, uint8_t vk);
    void stop(desktop::Desktop& d);
    // The backend's pause while typing: waits without holding up the program, then
    // answers whether typing may go on.
    bool pauseTyping(desktop::Desktop& d, std::chrono::milliseconds length);
    void giveWayIfDue();

    bool initialised_ = false;
    bool typing_ = false;
    bool interrupted_ = false;  // a pause found that typing must stop
    std::chrono::steady_clock::time_point lastGaveWay_{};
    desktop::Desktop* desktop_ = nullptr;
    desktop::WindowHandle guard_ = 0;
    int keysSinceCheck_ = 0;
    bool stopped_ = false;
    std::vector<uint8_t> held_;  // keys this sender holds down now
};

// The program's one KeySender (initialised with "[]" at start-up, or on first use).
KeySender& keySender();

// Gives every borrowed keycode back (after the pause receiving programs need, which
// yields), unless a text is being typed: its own end gives them back.
void returnBorrowedKeycodes(desktop::Desktop& d);

}  // namespace corvix::send
