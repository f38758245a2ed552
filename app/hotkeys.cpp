#include "app/hotkeys.h"

#include <algorithm>

#include "platform/desktop/desktop.h"
#include "send/text.h"

namespace corvix::app {

namespace {
constexpr size_t kKeyNameChars = 32;
}

HotKeyManager::~HotKeyManager() {
    if (initialised_) Kill();
}

void HotKeyManager::Init(desktop::Desktop* desktop, std::function<void()> postEvent1810) {
    KEYQ.clear();
    FAILEDKEYQ.clear();
    PRESSEDKEYQ.clear();
    TRNQ.clear();
    LoadKeyNames();
    desktop_ = desktop;
    post1810_ = std::move(postEvent1810);
    if (desktop_) desktop_->setHotKeyCallback([this](int id) { HotKeyMessage(id); });
    initialised_ = true;
}

void HotKeyManager::LoadKeyNames() {
    const auto& table = send::KeyNameTable();
    TRNQ.assign(table.begin(), table.begin() + send::kHotKeyNameCount);
}

uint32_t HotKeyManager::ParseHotKey(std::string_view name) const {
    return send::parseKeyToken(send::upper(send::toU32(name)), send::kHotKeyCodeBits, TRNQ);
}

void HotKeyManager::AddKey(std::string_view name) {
    const std::string key = send::cutChars(name, kKeyNameChars);
    const uint32_t code = ParseHotKey(name);
    if (code == 0) {
        BadKey(key);
        return;
    }
    Unregister();
    auto it = std::lower_bound(KEYQ.begin(), KEYQ.end(), code,
                               [](const KeyEntry& e, uint32_t c) { return uint32_t(e.ID) < c; });
    if (it == KEYQ.end() || uint32_t(it->ID) != code)
        KEYQ.insert(it, KeyEntry{static_cast<int32_t>(code), key});
    Register();
}

void HotKeyManager::Register() {
    if (KEYQ.empty() || !ACTIVE) return;
    FAILEDKEYQ.clear();
    for (size_t i = 0; i < KEYQ.size(); ++i) {
        const uint32_t code = static_cast<uint32_t>(KEYQ[i].ID);
        const bool ok = desktop_ && desktop_->registerHotKey(static_cast<int>(i + 1),
                                                             (code >> 8) & 0xFF, code & 0xFF);
        if (!ok) FAILEDKEYQ.push_back(KEYQ[i]);  // held by another program: no message
    }
    KEYSREGISTERED = 1;
}

void HotKeyManager::Unregister() {
    if (KEYQ.empty() || !ACTIVE) return;
    FAILEDKEYQ.clear();
    for (size_t i = 0; i < KEYQ.size(); ++i) {
        if (desktop_)
            desktop_->unregisterHotKey(static_cast<int>(i + 1));
        else
            FAILEDKEYQ.push_back(KEYQ[i]);
    }
    KEYSREGISTERED = 0;
}

void HotKeyManager::Activate() {
    ACTIVE = 1;
    Register();
}

void HotKeyManager::Deactivate() {
    Unregister();
    ACTIVE = 0;
}

void HotKeyManager::Kill() {
    if (!initialised_) return;
    Deactivate();
    KEYQ.clear();
    FAILEDKEYQ.clear();
    PRESSEDKEYQ.clear();
    TRNQ.clear();
    if (desktop_) desktop_->setHotKeyCallback(nullptr);
    desktop_ = nullptr;
    post1810_ = nullptr;
    initialised_ = false;
}

void HotKeyManager::HotKeyMessage(int id) {
    KeyEntry entry;
    if (id >= 1 && static_cast<size_t>(id) <= KEYQ.size())
        entry = KEYQ[static_cast<size_t>(id) - 1];
    else
        entry = KeyEntry{0, std::to_string(id)};
    PRESSEDKEYQ.push_back(entry);
    KeyPressed(entry.KEY, id);
    if (post1810_) post1810_();
}

bool HotKeyManager::TakePressedKey(KeyEntry& out) {
    if (PRESSEDKEYQ.empty()) return false;
    out = PRESSEDKEYQ.front();
    PRESSEDKEYQ.erase(PRESSEDKEYQ.begin());
    return true;
}

}  // namespace corvix::app
