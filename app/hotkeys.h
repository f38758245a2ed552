// HotKeyManager: system-wide hot keys for the main frame, named in the action language
// without brackets ("WinS"). Presses are queued and announced to the frame as event 1810,
// which takes them from PRESSEDKEYQ. No Qt here: the frame drives it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "send/key_names.h"

namespace corvix::desktop {
class Desktop;
}

namespace corvix::app {

// Hot-key code: virtual key in bits 0-7; the high byte is the desktop's modifier set.
enum HotKeyBits : uint32_t {
    kHotKeyAlt = 256,
    kHotKeyCtrl = 512,
    kHotKeyShift = 1024,
    kHotKeyWin = 2048,
};

constexpr int kEventHotKey = 1810;

class HotKeyManager {
  public:
    struct KeyEntry {
        int32_t ID = 0;   // hot-key code
        std::string KEY;  // the name it was added under, up to 32 characters
        bool operator==(const KeyEntry&) const = default;
    };

    virtual ~HotKeyManager();

    // Takes over the desktop's hot-key deliveries. postEvent1810 posts event 1810 to the
    // frame (thread 1); it is called once per press.
    void Init(desktop::Desktop* desktop, std::function<void()> postEvent1810);
    void AddKey(std::string_view name);
    void Register();
    void Unregister();
    void Activate();
    void Deactivate();
    void Kill();
    uint32_t ParseHotKey(std::string_view name) const;

    // What the window procedure does with a hot-key message: queue the press, tell
    // KeyPressed, post event 1810.
    void HotKeyMessage(int id);
    // The frame, on event 1810: the oldest press, removed from the queue.
    bool TakePressedKey(KeyEntry& out);

    virtual void LoadKeyNames();
    virtual void KeyPressed(const std::string& name, int id) {}
    virtual void BadKey(const std::string& name) {}

    uint8_t ACTIVE = 0;
    uint8_t KEYSREGISTERED = 0;
    std::vector<KeyEntry> KEYQ;         // ascending ID, no duplicates; identifier = position
    std::vector<KeyEntry> FAILEDKEYQ;   // failed in the last (un)registration pass
    std::vector<send::KeyName> TRNQ;    // "A" .. "Pad9" of the key-name table
    std::vector<KeyEntry> PRESSEDKEYQ;  // oldest first

  private:
    desktop::Desktop* desktop_ = nullptr;
    std::function<void()> post1810_;
    bool initialised_ = false;
};

}  // namespace corvix::app
