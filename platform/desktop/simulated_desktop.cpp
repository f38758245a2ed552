#include "platform/desktop/simulated_desktop.h"

#include <algorithm>

#include "platform/desktop/us_layout.h"
#include "platform/desktop/utf8.h"
#include "platform/desktop/virtual_keys.h"

namespace corvix::desktop {
namespace {

std::string keyName(uint8_t virtualKey) {
    if ((virtualKey >= 'A' && virtualKey <= 'Z') || (virtualKey >= '0' && virtualKey <= '9')) {
        return std::string(1, static_cast<char>(virtualKey));
    }
    if (virtualKey >= vk::kF1 && virtualKey <= vk::kF24) {
        return "F" + std::to_string(virtualKey - vk::kF1 + 1);
    }
    switch (virtualKey) {
        case vk::kTab:
            return "Tab";
        case vk::kReturn:
            return "Enter";
        case vk::kEscape:
            return "Esc";
        case vk::kSpace:
            return "Space";
        case vk::kBack:
            return "Backspace";
        case vk::kDelete:
            return "Delete";
        default:
            return "VK" + std::to_string(virtualKey);
    }
}

}  // namespace

SimulatedDesktop::SimulatedDesktop() = default;

// ---- Scripted windows ----

WindowHandle SimulatedDesktop::newWindow(const std::string& title, const std::string& className,
                                         const std::vector<std::string>& texts, bool onTop) {
    Window w;
    w.handle = nextHandle_;
    nextHandle_ += 0x10;
    w.title = title;
    w.className = className;
    w.texts = texts;
    windows_.insert(onTop ? windows_.begin() : windows_.end(), w);
    return w.handle;
}

WindowHandle SimulatedDesktop::addWindow(const std::string& title, const std::string& className,
                                         const std::vector<std::string>& texts) {
    return newWindow(title, className, texts, true);
}

WindowHandle SimulatedDesktop::addWindowAtBottom(const std::string& title,
                                                 const std::string& className,
                                                 const std::vector<std::string>& texts) {
    return newWindow(title, className, texts, false);
}

SimulatedDesktop::Window* SimulatedDesktop::find(WindowHandle window) {
    for (auto& w : windows_) {
        if (w.handle == window) return &w;
    }
    return nullptr;
}

const SimulatedDesktop::Window* SimulatedDesktop::find(WindowHandle window) const {
    return const_cast<SimulatedDesktop*>(this)->find(window);
}

bool SimulatedDesktop::closeWindow(WindowHandle window) {
    auto it = std::find_if(windows_.begin(), windows_.end(),
                           [&](const Window& w) { return w.handle == window; });
    if (it == windows_.end()) return false;
    windows_.erase(it);
    if (foreground_ == window) foreground_ = 0;
    return true;
}

bool SimulatedDesktop::setTitle(WindowHandle window, const std::string& title) {
    Window* w = find(window);
    if (!w) return false;
    w->title = title;
    return true;
}

bool SimulatedDesktop::setTexts(WindowHandle window, const std::vector<std::string>& texts) {
    Window* w = find(window);
    if (!w) return false;
    w->texts = texts;
    return true;
}

bool SimulatedDesktop::raise(WindowHandle window) {
    auto it = std::find_if(windows_.begin(), windows_.end(),
                           [&](const Window& w) { return w.handle == window; });
    if (it == windows_.end()) return false;
    std::rotate(windows_.begin(), it, it + 1);
    return true;
}

bool SimulatedDesktop::setForeground(WindowHandle window) {
    if (window != 0 && !raise(window)) return false;
    foreground_ = window;
    return true;
}

bool SimulatedDesktop::setActivatable(WindowHandle window, bool activatable) {
    Window* w = find(window);
    if (!w) return false;
    w->activatable = activatable;
    return true;
}

void SimulatedDesktop::moveFocusAfterKeys(int keyDowns, WindowHandle window) {
    focusMoveAfter_ = keyDowns;
    focusMoveTo_ = window;
}

// ---- Observations ----

std::string SimulatedDesktop::keyTrace() const {
    std::string out;
    for (const auto& e : events_) {
        if (e.kind == Event::Kind::UnmappedChar) continue;
        if (!out.empty()) out += ' ';
        out += e.kind == Event::Kind::KeyDown ? '+' : '-';
        out += std::to_string(e.virtualKey);
    }
    return out;
}

std::string SimulatedDesktop::receivedText(WindowHandle window) const {
    const Window* w = find(window);
    return w ? toUtf8(w->received) : std::string();
}

void SimulatedDesktop::clearReceivedText(WindowHandle window) {
    if (Window* w = find(window)) w->received.clear();
}

std::u32string SimulatedDesktop::unmappedChars() const {
    std::u32string out;
    for (const auto& e : events_) {
        if (e.kind == Event::Kind::UnmappedChar) out += e.ch;
    }
    return out;
}

const std::vector<std::string>& SimulatedDesktop::shortcuts(WindowHandle window) const {
    static const std::vector<std::string> kNone;
    const Window* w = find(window);
    return w ? w->shortcuts : kNone;
}

// ---- Windows ----

std::vector<WindowInfo> SimulatedDesktop::topWindows() {
    std::vector<WindowInfo> out;
    out.reserve(windows_.size());
    for (const auto& w : windows_) {
        if (!w.title.empty()) out.push_back({w.handle, w.title, w.className});
    }
    return out;
}

std::vector<std::string> SimulatedDesktop::windowTexts(WindowHandle window) {
    const Window* w = find(window);
    return w ? w->texts : std::vector<std::string>();
}

bool SimulatedDesktop::windowExists(WindowHandle window) {
    return find(window) != nullptr;
}

bool SimulatedDesktop::activate(WindowHandle window) {
    activations_.push_back(window);
    Window* w = find(window);
    if (!w || !w->activatable) return false;
    raise(window);
    foreground_ = window;
    return true;
}

// ---- Keyboard ----

unsigned SimulatedDesktop::heldModifiers() const {
    unsigned mods = 0;
    for (uint8_t v : held_) {
        if (vk::isShift(v)) mods |= kModShift;
        if (vk::isControl(v)) mods |= kModControl;
        if (vk::isAlt(v)) mods |= kModAlt;
        if (vk::isWin(v)) mods |= kModWin;
    }
    return mods;
}

void SimulatedDesktop::beginTyping() {
    typing_ = true;
    std::vector<uint8_t> lifted;
    for (uint8_t v : held_)
        if (vk::isModifier(v)) lifted.push_back(v);
    for (uint8_t v : lifted) keyUp(v);
}

void SimulatedDesktop::endTyping() {
    if (typing_) ++typingBrackets_;
    typing_ = false;
}

void SimulatedDesktop::keyDown(uint8_t virtualKey) {
    deliverKeyDown(virtualKey);
    if (focusMoveTo_ != 0 && --focusMoveAfter_ <= 0) {
        setForeground(focusMoveTo_);
        focusMoveTo_ = 0;
    }
}

void SimulatedDesktop::deliverKeyDown(uint8_t virtualKey) {
    events_.push_back({Event::Kind::KeyDown, virtualKey, 0, foreground_});
    // Auto-repeat: a key already down types again, as a held key would.
    if (std::find(held_.begin(), held_.end(), virtualKey) == held_.end()) {
        held_.push_back(virtualKey);
    }
    if (virtualKey == vk::kCapital) {
        capsLock_ = !capsLock_;
        return;
    }
    if (vk::isModifier(virtualKey) || vk::isMouseButton(virtualKey) || virtualKey == 0) return;

    // Synthetic input reaches global hot keys, as real input would.
    const unsigned mods = heldModifiers();
    for (const auto& [id, combo] : hotKeys_) {
        if (combo.first == mods && combo.second == virtualKey) {
            pendingHotKeys_.push_back(id);
            return;
        }
    }
    typeInto(virtualKey);
}

void SimulatedDesktop::keyUp(uint8_t virtualKey) {
    events_.push_back({Event::Kind::KeyUp, virtualKey, 0, foreground_});
    held_.erase(std::remove(held_.begin(), held_.end(), virtualKey), held_.end());
}

void SimulatedDesktop::typeInto(uint8_t virtualKey) {
    Window* w = find(foreground_);
    if (!w) return;
    const unsigned mods = heldModifiers();
    if (mods & (kModControl | kModAlt | kModWin)) {
        std::string name;
        if (mods & kModControl) name += "Ctrl+";
        if (mods & kModAlt) name += "Alt+";
        if (mods & kModWin) name += "Win+";
        if (mods & kModShift) name += "Shift+";
        w->shortcuts.push_back(name + keyName(virtualKey));
        return;
    }
    const bool shift = (mods & kModShift) != 0;
    switch (virtualKey) {
        case vk::kReturn:
            w->received += U'\n';
            return;
        case vk::kTab:
            w->received += U'\t';
            return;
        case vk::kBack:
            if (!w->received.empty()) w->received.pop_back();
            return;
        default:
            break;
    }
    char32_t ch = usCharForKey(virtualKey, shift);
    if (ch == 0) return;
    if (virtualKey >= 'A' && virtualKey <= 'Z' && capsLock_) {
        ch = shift ? static_cast<char32_t>(virtualKey - 'A' + 'a') : virtualKey;
    }
    w->received += ch;
}

KeyForChar SimulatedDesktop::keyForChar(char32_t ch) {
    return usKeyForChar(ch);
}

bool SimulatedDesktop::typeUnmappedChar(char32_t ch) {
    if (!canTypeUnmapped_) return false;
    if (pause_ && unmappedPause_.count() > 0 && !pause_(unmappedPause_)) return false;
    events_.push_back({Event::Kind::UnmappedChar, 0, ch, foreground_});
    if (Window* w = find(foreground_)) w->received += ch;
    return true;
}

// ---- Hot keys ----

void SimulatedDesktop::holdHotKeyElsewhere(unsigned modifiers, uint8_t virtualKey) {
    heldElsewhere_.emplace_back(modifiers, virtualKey);
}

void SimulatedDesktop::releaseHotKeyElsewhere(unsigned modifiers, uint8_t virtualKey) {
    auto combo = std::make_pair(modifiers, virtualKey);
    heldElsewhere_.erase(std::remove(heldElsewhere_.begin(), heldElsewhere_.end(), combo),
                         heldElsewhere_.end());
}

bool SimulatedDesktop::registerHotKey(int id, unsigned modifiers, uint8_t virtualKey) {
    // A new registration under an id replaces the old one, also when it then fails.
    hotKeys_.erase(id);
    if (virtualKey == 0 || (modifiers & ~0xFu) != 0) return false;
    auto combo = std::make_pair(modifiers, virtualKey);
    if (std::find(heldElsewhere_.begin(), heldElsewhere_.end(), combo) != heldElsewhere_.end()) {
        return false;
    }
    for (const auto& [otherId, other] : hotKeys_) {
        if (other == combo) return false;  // one owner per combination, as for others
    }
    hotKeys_[id] = combo;
    return true;
}

void SimulatedDesktop::unregisterHotKey(int id) {
    hotKeys_.erase(id);
}

void SimulatedDesktop::setHotKeyCallback(std::function<void(int id)> callback) {
    hotKeyCallback_ = std::move(callback);
}

bool SimulatedDesktop::pressHotKey(unsigned modifiers, uint8_t virtualKey) {
    for (const auto& [id, combo] : hotKeys_) {
        if (combo.first == modifiers && combo.second == virtualKey) {
            pendingHotKeys_.push_back(id);
            return true;
        }
    }
    return false;
}

void SimulatedDesktop::pollHotKeys() {
    // The callback may register or press keys again: deliver only what is queued now.
    size_t n = pendingHotKeys_.size();
    while (n-- > 0 && !pendingHotKeys_.empty()) {
        int id = pendingHotKeys_.front();
        pendingHotKeys_.pop_front();
        if (hotKeyCallback_) hotKeyCallback_(id);
    }
}

}  // namespace corvix::desktop
