#include "send/key_sender.h"

#include <algorithm>

#include "platform/desktop/desktop.h"
#include "send/send_hooks.h"
#include "send/text.h"

namespace corvix::send {

void KeySender::Init(std::string_view delimiters) {
    std::u32string s(trimRight(toU32(delimiters)));
    if (s.empty()) {
        DELIMITERLEFT = DELIMITERRIGHT = U' ';
    } else if (s.size() == 1) {
        DELIMITERLEFT = DELIMITERRIGHT = s[0];
    } else {
        DELIMITERLEFT = s[0];
        DELIMITERRIGHT = s[1];
    }
    KEYQ.clear();
    TRNQ = KeyNameTable();
    initialised_ = true;
}

void KeySender::Kill() {
    KEYQ.clear();
    KEYQ.shrink_to_fit();
    TRNQ.clear();
    TRNQ.shrink_to_fit();
    initialised_ = false;
}

desktop::Desktop* KeySender::target() const {
    return desktop_ ? desktop_ : desktop::currentDesktop();
}

uint32_t KeySender::ParseToken(std::u32string_view token) const {
    return parseKeyToken(upper(token), kKeyCodeBits, TRNQ);
}

// Events that came in while typing run between two keys; the focus check that follows
// sees whatever they changed.
void KeySender::giveWayIfDue() {
    constexpr auto kGiveWayEvery = std::chrono::milliseconds(25);
    const auto now = std::chrono::steady_clock::now();
    if (now - lastGaveWay_ < kGiveWayEvery) return;
    if (auto& giveWay = sendHooks().giveWay) giveWay();
    lastGaveWay_ = std::chrono::steady_clock::now();
}

bool KeySender::pauseTyping(desktop::Desktop& d, std::chrono::milliseconds length) {
    waitBriefly(length);
    giveWayIfDue();  // a short pause sleeps: many in a row must not hold events up
    if (stopped_ || (guard_ != 0 && !d.hasFocus(guard_)) || !sendHooks().mayType()) {
        interrupted_ = true;
        return false;
    }
    return true;
}

bool KeySender::mayPress(desktop::Desktop& d) {
    if (stopped_) return false;
    giveWayIfDue();
    if (guard_ == 0 || ++keysSinceCheck_ < kFocusCheckKeys) return true;
    keysSinceCheck_ = 0;
    if (d.hasFocus(guard_)) return true;
    stop(d);
    return false;
}

// A key that needed a pause the sender refused was not pressed.
void KeySender::down(desktop::Desktop& d, uint8_t vk) {
    d.keyDown(vk);
    if (interrupted_) {
        stop(d);
        return;
    }
    held_.push_back(vk);
}

void KeySender::up(desktop::Desktop& d, uint8_t vk) {
    d.keyUp(vk);
    if (auto it = std::find(held_.begin(), held_.end(), vk); it != held_.end()) held_.erase(it);
}

// Nothing more goes out: keys still down come up, and characters lent to spare keycodes
// leave the keymap now rather than after the usual pause.
void KeySender::stop(desktop::Desktop& d) {
    stopped_ = true;
    while (!held_.empty()) up(d, held_.back());
    d.restoreKeymap();
}

void KeySender::Press(uint32_t code) {
    desktop::Desktop* d = target();
    if (!d || !mayPress(*d)) return;
    static constexpr struct {
        uint32_t bit;
        uint8_t key;
    } kModifiers[] = {
        {kShiftBit, kVkShift}, {kCtrlBit, kVkControl}, {kAltBit, kVkAlt}, {kWinBit, kVkLWin}};
    for (const auto& m : kModifiers) {
        if (!(code & m.bit)) continue;
        down(*d, m.key);
        if (stopped_) return;
    }
    // A token made only of modifiers still presses its (empty) key between them.
    uint8_t vk = static_cast<uint8_t>(code & 0xFF);
    down(*d, vk);
    if (stopped_) return;
    up(*d, vk);
    for (const auto& m : kModifiers)
        if (code & m.bit) up(*d, m.key);
}

void KeySender::TypeChars(std::u32string_view text) {
    if (isBlank(text)) return;
    desktop::Desktop* d = target();
    if (!d || stopped_) return;
    // Caps Lock is switched off around the text and back on afterwards, also when
    // typing stops halfway: it is the user's setting, not part of the text.
    bool caps = d->capsLockOn();
    if (caps) {
        d->keyDown(kVkCapital);
        d->keyUp(kVkCapital);
    }
    for (char32_t c : text) {
        desktop::KeyForChar k = d->keyForChar(c);
        if (k.found) {
            uint32_t code = k.virtualKey;
            if (k.shift) code |= kShiftBit;
            if (k.ctrl) code |= kCtrlBit;
            if (k.alt) code |= kAltBit;
            Press(code);
        } else if (mayPress(*d)) {
            // The layout has no key for it: the backend may still type it another way;
            // if it cannot, the character is skipped rather than pressed as a wrong key.
            d->typeUnmappedChar(c);
            if (interrupted_) stop(*d);
        }
        if (stopped_) break;
    }
    if (caps) {
        d->keyDown(kVkCapital);
        d->keyUp(kVkCapital);
    }
}

TypeResult KeySender::Type(std::string_view text, desktop::WindowHandle focusWindow) {
    desktop::Desktop* d = target();
    if (!d) return TypeResult::NoDesktop;
    if (typing_) return TypeResult::Busy;
    std::u32string buffer = toU32(text);
    if (buffer.size() > kTypingBufferChars) buffer.resize(kTypingBufferChars);
    typing_ = true;
    guard_ = focusWindow;
    keysSinceCheck_ = kFocusCheckKeys - 1;  // the first key asks
    stopped_ = interrupted_ = false;
    lastGaveWay_ = std::chrono::steady_clock::now();
    held_.clear();
    d->setTypingPause(
        [this, d](std::chrono::milliseconds length) { return pauseTyping(*d, length); });
    d->beginTyping();
    typeScript(buffer);
    d->endTyping();
    d->flush();
    d->setTypingPause(nullptr);
    wipe(buffer);
    const bool lost = stopped_;
    guard_ = 0;
    stopped_ = interrupted_ = false;
    typing_ = false;
    if (auto& after = sendHooks().afterTyping) after();
    return lost ? TypeResult::FocusLost : TypeResult::Typed;
}

void KeySender::typeScript(std::u32string_view buffer) {
    const char32_t left = DELIMITERLEFT;
    const char32_t right = DELIMITERRIGHT;
    const std::u32string leftText(1, left);
    std::u32string_view rest = buffer;

    if (rest.find(left) == std::u32string_view::npos) {
        TypeChars(trimRight(rest));
        return;
    }
    while (!isBlank(rest) && !stopped_) {
        size_t at = rest.find(left);
        if (at == std::u32string_view::npos) break;
        if (at > 0) {
            TypeChars(rest.substr(0, at));
            rest.remove_prefix(at);
            continue;
        }
        if (rest.size() > 1 && rest[1] == left) {
            TypeChars(leftText);
            rest.remove_prefix(2);
            continue;
        }
        size_t close = rest.find(right, 1);
        if (close == std::u32string_view::npos) {
            TypeChars(leftText);
            rest.remove_prefix(1);
            continue;
        }
        std::u32string_view token = rest.substr(1, close - 1).substr(0, kTokenChars);
        uint32_t code = isBlank(token) ? 0 : ParseToken(token);
        if (code == 0) {
            // Not a key: the bracket is typed and the rest follows as ordinary text.
            TypeChars(leftText);
            rest.remove_prefix(1);
            continue;
        }
        Press(code);
        rest.remove_prefix(close + 1);
    }
    TypeChars(trimRight(rest));
}

KeySender& keySender() {
    static KeySender sender;
    return sender;
}

void returnBorrowedKeycodes(desktop::Desktop& d) {
    if (keySender().typing() || d.borrowedKeycodes() == 0) return;
    d.setTypingPause([](std::chrono::milliseconds length) {
        waitBriefly(length);
        return true;
    });
    d.restoreKeymap();
    d.setTypingPause(nullptr);
}

}  // namespace corvix::send
