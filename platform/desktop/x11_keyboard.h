// The keyboard side of the X11 backend: virtual-key codes to keycodes through the
// current layout, XTest key events, the character-to-key lookup, characters the layout
// lacks typed through spare keycodes, Caps Lock and the modifier masks hot keys need.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

#include "platform/desktop/desktop.h"
#include "platform/desktop/x11_connection.h"

namespace corvix::desktop::x11 {

using XKeySym = unsigned long;

class Keyboard {
  public:
    explicit Keyboard(Connection& connection);
    // Gives every borrowed spare keycode its own mapping back.
    ~Keyboard();
    Keyboard(const Keyboard&) = delete;
    Keyboard& operator=(const Keyboard&) = delete;

    // One XTest key event. Mouse-button codes and 0 send nothing.
    void press(uint8_t virtualKey, bool down);
    KeyForChar keyForChar(char32_t ch);
    // Puts the character's keysym on a spare keycode and presses it.
    bool typeChar(char32_t ch);
    bool capsLockOn();

    // The layout's keycode for a virtual key, also when it gives the key's symbol only
    // with Shift or Num Lock (0 when the layout has none).
    uint8_t keycodeOf(uint8_t virtualKey);
    // Modifier masks of the current mapping (Alt, Super, Num Lock).
    unsigned altMask();
    unsigned superMask();
    unsigned numLockMask();

    // Around one text: the group active now is the one characters are looked up in
    // first; a character only another group has locks that group for its key, and
    // endTyping locks the first one again. Modifier keys held down (by the user, or by
    // another program's synthetic events) are released so that they cannot change the
    // text; they are not pressed again afterwards.
    void beginTyping();
    void endTyping();

    // Gives every spare keycode back once the programs that received keys through them
    // have read those keys (see receiversCaughtUp), or after a pause long enough for that.
    void restoreAllSpares();
    // The pauses between mapping changes go through this (see Desktop::setTypingPause);
    // nullptr: they sleep.
    void setPause(Desktop::TypingPause pause) { pause_ = std::move(pause); }
    size_t spareCount() const { return spares_.size(); }
    size_t sparesInUse() const;

    // The keysym a character is typed as (0 when it has none).
    static XKeySym keysymForChar(char32_t ch);

  private:
    struct Spare {
        uint8_t keycode = 0;
        XKeySym sym = 0;  // 0: carries its own mapping
        std::vector<XKeySym> original;
        std::chrono::steady_clock::time_point lastUse{};
    };
    struct Place {
        uint8_t keycode = 0;
        bool shift = false;
    };

    void checkMappingChanges();
    void load();
    // places_ for every group of the layout (XKB), or the core mapping's two columns.
    void loadPlaces();
    void lockGroup(int group);
    int activeGroup();
    void assignVirtualKeys();
    void findSpares();
    int spareIndex(uint8_t keycode) const;
    uint8_t spareFor(XKeySym sym);
    void remap(Spare& spare, XKeySym sym);
    // Gives back the spares idle for at least `idle`.
    void restoreSpares(std::chrono::milliseconds idle);
    // Waits until receiving programs can have read every key sent so far; false when the
    // pause says typing must stop.
    bool settle(std::chrono::steady_clock::time_point lastUse, bool restoring);
    // The window with the keyboard focus, once per text, as one that read borrowed keys.
    void noteReceiver();
    // Every program noted by noteReceiver has answered a ping sent after its keys.
    bool receiversCaughtUp();
    bool pause(std::chrono::steady_clock::duration length);
    Spare* leastRecentSpare();
    XKeySym symAt(uint8_t keycode, int column) const;

    Connection& c_;
    int minKeycode_ = 8;
    int maxKeycode_ = 255;
    int perKeycode_ = 0;
    std::vector<XKeySym> syms_;  // the layout's mapping, spares as they were before us
    std::array<uint8_t, 256> vkKeycode_{};
    std::array<uint8_t, 256> keycodeVk_{};
    static constexpr int kMaxGroups = 4;
    // Where a keysym is typed, per layout group.
    std::array<std::unordered_map<XKeySym, Place>, kMaxGroups> places_;
    int groups_ = 1;
    std::unordered_map<XKeySym, uint8_t> plain_;  // keycode giving it without Shift
    int typingGroup_ = -1;                        // -1: not typing
    int lockedGroup_ = -1;
    std::array<uint8_t, 256> pressed_{};  // keycode used by the last key-down of a VK
    unsigned alt_ = 0, super_ = 0, numLock_ = 0;
    std::vector<Spare> spares_;
    int xkbEventBase_ = -1;  // -1: the server has no XKB
    std::chrono::steady_clock::time_point lastPause_{};
    int remapsSincePause_ = 0;
    Desktop::TypingPause pause_;
    // Focus windows that received keys through spares since they were last given back.
    std::vector<XWindow> receivers_;
    bool receiverNoted_ = false;  // the current text's focus is among them
};

}  // namespace corvix::desktop::x11
