// KeySender: turns an expanded action into key events for whatever window has the
// keyboard focus. Bracketed key names become key presses, everything else is typed as
// characters through the keyboard layout.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "send/key_names.h"

namespace corvix::desktop {
class Desktop;
}

namespace corvix::send {

// Key-code modifier bits and the modifier keys pressed for them.
enum KeyCodeBits : uint32_t { kShiftBit = 256, kCtrlBit = 512, kAltBit = 1024, kWinBit = 2048 };
enum ModifierKey : uint8_t { kVkShift = 16, kVkControl = 17, kVkAlt = 18, kVkLWin = 91 };
constexpr uint8_t kVkCapital = 20;

constexpr size_t kTypingBufferChars = 2048;
constexpr size_t kTokenChars = 32;

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

    // Types a key script. Without a desktop nothing is sent.
    void Type(std::string_view text);
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
    void typeScript(std::u32string buffer);

    bool initialised_ = false;
    desktop::Desktop* desktop_ = nullptr;
};

// The program's one KeySender (initialised with "[]" at start-up, or on first use).
KeySender& keySender();

}  // namespace corvix::send
