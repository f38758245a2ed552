#include "platform/desktop/x11_keyboard.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <thread>

#include "platform/desktop/virtual_keys.h"
#include "platform/desktop/x11_client_ping.h"
#include "platform/desktop/x11_keysyms.h"

namespace corvix::desktop::x11 {
namespace {

using Clock = std::chrono::steady_clock;

// A client reads a key event with the mapping it fetches when it gets there, and it
// fetches the mapping once per change it is told of. A spare keycode is given another
// keysym only when the receiving program has had time to read every key sent before:
// a fixed pause plus a share for each mapping change it still has to work through.
constexpr auto kReuseGap = std::chrono::milliseconds(150);
constexpr auto kPausePerRemap = std::chrono::milliseconds(25);
// Giving the spares back is the last change: a client still working through the earlier
// ones would fetch the restored mapping and read the last characters as nothing. The
// receiving programs are pinged and the spares go back once they answer; a busy one may
// take seconds for that. A program that cannot be pinged gets a fixed pause instead,
// longer than a reuse's, once per text.
constexpr auto kReceiverLimit = std::chrono::milliseconds(3000);
constexpr auto kRestoreGap = std::chrono::milliseconds(400);
// A client refreshes its keymap asynchronously after it is told of a change: a busy one
// (a browser running a page's script on every key) read a key that came right after the
// change with the mapping before it, and the character was lost. After each change the
// key waits this long; a reused spare waits longer (above).
constexpr auto kRemapSettle = std::chrono::milliseconds(12);
constexpr auto kRestorePerRemap = std::chrono::milliseconds(40);
// With fewer empty keycodes than this, vendor keys are borrowed as spares too. Every
// mapping change costs each client a keymap reload (a window manager may take 50 ms to
// regrab its keys), so spares are not hoarded.
constexpr size_t kWantedSpares = 8;

// Virtual-key codes handed out to keys of the layout that the key table does not name
// (punctuation of other layouts, extra keys): the OEM codes first, then unassigned ones.
constexpr uint8_t kSpareVirtualKeys[] = {
    0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF, 0xC0, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF, 0xE2, 0xE1,
    0xE3, 0xE4, 0xE6, 0xE9, 0xEA, 0xEB, 0xEC, 0xED, 0xEE, 0xEF, 0xF0, 0xF1, 0xF2, 0xF3,
    0xF4, 0xF5, 0x88, 0x89, 0x8A, 0x8B, 0x8C, 0x8D, 0x8E, 0x8F, 0x97, 0x98, 0x99, 0x9A,
    0x9B, 0x9C, 0x9D, 0x9E, 0x9F, 0xB8, 0xB9, 0xC1, 0xC2, 0xD8, 0xD9, 0xDA};

bool isVendorKeysym(XKeySym sym) {
    return sym >= 0x10080000 && sym <= 0x1008FFFF;
}

}  // namespace

Keyboard::Keyboard(Connection& connection) : c_(connection) {
    int opcode = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    int eventBase = 0;
    if (XkbQueryExtension(c_.display(), &opcode, &eventBase, &error, &major, &minor)) {
        xkbEventBase_ = eventBase;
        const unsigned long mask = XkbNewKeyboardNotifyMask | XkbMapNotifyMask;
        XkbSelectEvents(c_.display(), XkbUseCoreKbd, mask, mask);
    }
    load();
}

Keyboard::~Keyboard() {
    Display* dpy = c_.display();
    for (size_t v = 0; v < pressed_.size(); ++v) {
        if (pressed_[v]) XTestFakeKeyEvent(dpy, pressed_[v], False, CurrentTime);
    }
    restoreSpares(std::chrono::milliseconds(0));
    XSync(dpy, False);
}

// ---- The layout ----

XKeySym Keyboard::symAt(uint8_t keycode, int column) const {
    if (keycode < minKeycode_ || keycode > maxKeycode_ || column >= perKeycode_) return NoSymbol;
    return syms_[static_cast<size_t>(keycode - minKeycode_) * perKeycode_ + column];
}

int Keyboard::spareIndex(uint8_t keycode) const {
    for (size_t i = 0; i < spares_.size(); ++i) {
        if (spares_[i].keycode == keycode) return static_cast<int>(i);
    }
    return -1;
}

void Keyboard::load() {
    Display* dpy = c_.display();
    XDisplayKeycodes(dpy, &minKeycode_, &maxKeycode_);
    int per = 0;
    KeySym* map = XGetKeyboardMapping(dpy, static_cast<KeyCode>(minKeycode_),
                                      maxKeycode_ - minKeycode_ + 1, &per);
    perKeycode_ = map ? per : 0;
    syms_.assign(map, map + (map ? static_cast<size_t>(maxKeycode_ - minKeycode_ + 1) * per : 0));
    if (map) XFree(map);
    // Spares we lent out count as what they were before, unless another program has
    // put something else there meanwhile (a new layout): then the key is theirs again.
    for (auto& s : spares_) {
        if (!s.sym) continue;
        if (symAt(s.keycode, 0) != s.sym) {
            s.sym = 0;
            s.original.clear();
            continue;
        }
        for (int col = 0; col < perKeycode_; ++col) {
            size_t at = static_cast<size_t>(s.keycode - minKeycode_) * perKeycode_ + col;
            syms_[at] = col < static_cast<int>(s.original.size()) ? s.original[col] : NoSymbol;
        }
    }

    loadPlaces();

    alt_ = super_ = numLock_ = 0;
    if (XModifierKeymap* mods = XGetModifierMapping(dpy)) {
        for (int m = 3; m < 8; ++m) {  // Mod1 .. Mod5
            for (int j = 0; j < mods->max_keypermod; ++j) {
                auto kc = static_cast<uint8_t>(mods->modifiermap[m * mods->max_keypermod + j]);
                if (!kc) continue;
                for (int col = 0; col < 2; ++col) {
                    XKeySym sym = symAt(kc, col);
                    if (sym == XK_Alt_L || sym == XK_Alt_R || sym == XK_Meta_L) alt_ |= 1u << m;
                    if (sym == XK_Super_L || sym == XK_Super_R) super_ |= 1u << m;
                    if (sym == XK_Num_Lock) numLock_ |= 1u << m;
                }
            }
        }
        XFreeModifiermap(mods);
    }
    if (!alt_) alt_ = Mod1Mask;
    if (!super_) super_ = Mod4Mask;
    if (!numLock_) numLock_ = Mod2Mask;
    findSpares();
    assignVirtualKeys();
}

// Keycode order first, then plain before shifted: the main keys come before extra ones
// (the ISO key beside Shift also carries < and >). Only the levels reached with nothing
// or with Shift alone count; AltGr characters go through spare keycodes.
void Keyboard::loadPlaces() {
    for (auto& p : places_) p.clear();
    plain_.clear();
    groups_ = 1;
    Display* dpy = c_.display();
    XkbDescPtr xkb = xkbEventBase_ >= 0
                         ? XkbGetMap(dpy, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd)
                         : nullptr;
    if (!xkb) {
        for (int kc = minKeycode_; kc <= maxKeycode_; ++kc) {
            for (int col = 0; col < 2; ++col) {
                XKeySym sym = symAt(static_cast<uint8_t>(kc), col);
                if (col == 1 && sym == NoSymbol) {
                    // A letter key may list only its lower case; Shift gives the upper case.
                    KeySym lower = 0, upper = 0;
                    XKeySym plain = symAt(static_cast<uint8_t>(kc), 0);
                    XConvertCase(plain, &lower, &upper);
                    if (plain == lower && upper != lower) sym = upper;
                }
                if (sym == NoSymbol) continue;
                places_[0].emplace(sym, Place{static_cast<uint8_t>(kc), col == 1});
                if (col == 0) plain_.emplace(sym, static_cast<uint8_t>(kc));
            }
        }
        return;
    }
    for (int group = 0; group < kMaxGroups; ++group) {
        for (int kc = minKeycode_; kc <= maxKeycode_; ++kc) {
            if (spareIndex(static_cast<uint8_t>(kc)) >= 0) continue;  // lent out
            const int n = XkbKeyNumGroups(xkb, kc);
            if (group >= n) continue;
            groups_ = std::max(groups_, group + 1);
            XkbKeyTypePtr type = XkbKeyKeyType(xkb, kc, group);
            bool shiftLevel = false;
            for (int e = 0; type && e < type->map_count; ++e) {
                const XkbKTMapEntryRec& m = type->map[e];
                if (m.active && m.level == 1 && m.mods.mask == ShiftMask) shiftLevel = true;
            }
            for (int level = 0; level < 2; ++level) {
                if (level == 1 && !shiftLevel) continue;
                if (level >= XkbKeyGroupWidth(xkb, kc, group)) continue;
                XKeySym sym = XkbKeySymEntry(xkb, kc, level, group);
                if (sym == NoSymbol) continue;
                places_[group].emplace(sym, Place{static_cast<uint8_t>(kc), level == 1});
                if (level == 0) plain_.emplace(sym, static_cast<uint8_t>(kc));
            }
        }
    }
    XkbFreeKeyboard(xkb, 0, True);
}

void Keyboard::assignVirtualKeys() {
    vkKeycode_.fill(0);
    keycodeVk_.fill(0);
    for (int v = 1; v < 256; ++v) {
        XKeySym sym = keysymForVirtualKey(static_cast<uint8_t>(v));
        if (!sym) continue;
        auto it = plain_.find(sym);
        if (it == plain_.end()) continue;
        vkKeycode_[v] = it->second;
        if (!keycodeVk_[it->second]) keycodeVk_[it->second] = static_cast<uint8_t>(v);
    }
    // Keys that type characters but have no code of their own yet get a free one.
    size_t next = 0;
    for (int kc = minKeycode_; kc <= maxKeycode_; ++kc) {
        if (keycodeVk_[kc] || spareIndex(static_cast<uint8_t>(kc)) >= 0) continue;
        bool types = false;
        for (int col = 0; col < perKeycode_ && !types; ++col)
            types = xkb_keysym_to_utf32(static_cast<xkb_keysym_t>(symAt(kc, col))) != 0;
        if (!types) continue;
        while (next < std::size(kSpareVirtualKeys) && vkKeycode_[kSpareVirtualKeys[next]]) ++next;
        if (next == std::size(kSpareVirtualKeys)) break;
        vkKeycode_[kSpareVirtualKeys[next]] = static_cast<uint8_t>(kc);
        keycodeVk_[kc] = kSpareVirtualKeys[next];
    }
}

// Spares in use stay; the others are chosen again from the current mapping.
void Keyboard::findSpares() {
    spares_.erase(
        std::remove_if(spares_.begin(), spares_.end(), [](const Spare& s) { return !s.sym; }),
        spares_.end());
    Display* dpy = c_.display();
    std::vector<bool> isModifier(256, false);
    if (XModifierKeymap* mods = XGetModifierMapping(dpy)) {
        for (int i = 0; i < 8 * mods->max_keypermod; ++i) {
            isModifier[static_cast<uint8_t>(mods->modifiermap[i])] = true;
        }
        XFreeModifiermap(mods);
    }
    auto take = [&](int kc) {
        Spare s;
        s.keycode = static_cast<uint8_t>(kc);
        for (int col = 0; col < perKeycode_; ++col) s.original.push_back(symAt(s.keycode, col));
        spares_.push_back(std::move(s));
    };
    for (int kc = minKeycode_; kc <= maxKeycode_; ++kc) {
        if (isModifier[kc] || spareIndex(static_cast<uint8_t>(kc)) >= 0) continue;
        bool empty = true;
        for (int col = 0; col < perKeycode_ && empty; ++col) empty = symAt(kc, col) == NoSymbol;
        if (empty) take(kc);
    }
    // Few empty keycodes: borrow keys that only carry vendor function keysyms (volume,
    // mail, ...); the empty ones are used first, and borrowed keys are given back.
    for (int kc = maxKeycode_; kc >= minKeycode_ && spares_.size() < kWantedSpares; --kc) {
        if (isModifier[kc] || spareIndex(static_cast<uint8_t>(kc)) >= 0) continue;
        bool vendor = symAt(kc, 0) != NoSymbol;
        for (int col = 0; col < perKeycode_ && vendor; ++col) {
            XKeySym sym = symAt(kc, col);
            vendor = sym == NoSymbol || isVendorKeysym(sym);
        }
        if (vendor) take(kc);
    }
}

// Changes of the keyboard mapping arrive as events: XKB's map and new-keyboard notices
// (selected in the constructor; an XKB client gets no core notice for key symbols) and
// core MappingNotify for servers without XKB. Our own spare changes need no reload.
void Keyboard::checkMappingChanges() {
    Display* dpy = c_.display();
    // Only the keyboard's own events come on this connection. While typing, the focus
    // check between keys reads what the server sent, so a look at the queue (no system
    // call) is enough; at other times the queue is filled first. Asking the socket before
    // every key made typing a thousand characters cost tens of thousands of reads.
    if (XEventsQueued(dpy, typingGroup_ >= 0 ? QueuedAlready : QueuedAfterReading) == 0) return;
    XEvent ev;
    bool reload = false;
    auto ownSpares = [&](int first, int count) {
        if (count < 1) return false;
        for (int k = 0; k < count; ++k) {
            if (spareIndex(static_cast<uint8_t>(first + k)) < 0) return false;
        }
        return true;
    };
    if (xkbEventBase_ >= 0) {
        while (XCheckTypedEvent(dpy, xkbEventBase_, &ev)) {
            const auto* xkb = reinterpret_cast<const XkbEvent*>(&ev);
            if (xkb->any.xkb_type == XkbNewKeyboardNotify) {
                reload = true;
            } else if (xkb->any.xkb_type == XkbMapNotify) {
                const XkbMapNotifyEvent& m = xkb->map;
                const unsigned otherParts =
                    m.changed & ~static_cast<unsigned>(XkbKeySymsMask | XkbKeyTypesMask);
                if (otherParts & XkbModifierMapMask ||
                    !ownSpares(m.first_key_sym, m.num_key_syms)) {
                    reload = true;
                }
            }
        }
    }
    while (XCheckTypedEvent(dpy, MappingNotify, &ev)) {
        XMappingEvent& m = ev.xmapping;
        if (m.request != MappingKeyboard || !ownSpares(m.first_keycode, m.count)) reload = true;
        XRefreshKeyboardMapping(&m);
    }
    // Anything else queued here is no one's: dropped, so that the queue is empty again.
    for (int n = XEventsQueued(dpy, QueuedAlready); n > 0; --n) XNextEvent(dpy, &ev);
    if (reload) load();
}

// ---- Spare keycodes ----

Keyboard::Spare* Keyboard::leastRecentSpare() {
    for (auto& s : spares_)  // empty keycodes come first in the list
        if (!s.sym) return &s;
    return &*std::min_element(spares_.begin(), spares_.end(),
                              [](const Spare& a, const Spare& b) { return a.lastUse < b.lastUse; });
}

// A pause may let the program's other events run (a changed layout reloads the spares),
// so nothing found before it is trusted after it.
uint8_t Keyboard::spareFor(XKeySym sym) {
    if (spares_.empty()) return 0;
    for (auto& s : spares_) {
        if (s.sym == sym) {
            s.lastUse = Clock::now();
            return s.keycode;
        }
    }
    if (const Spare* reused = leastRecentSpare(); reused->sym && reused->lastUse >= lastPause_) {
        if (!settle(reused->lastUse, false) || spares_.empty()) return 0;
    }
    Spare* pick = leastRecentSpare();
    const uint8_t keycode = pick->keycode;
    remap(*pick, sym);
    XSync(c_.display(), False);
    pick->lastUse = Clock::now();
    if (!pause(kRemapSettle)) return 0;
    const int at = spareIndex(keycode);
    if (at < 0 || spares_[at].sym != sym) return 0;
    spares_[at].lastUse = Clock::now();
    return keycode;
}

bool Keyboard::pause(Clock::duration length) {
    if (length <= Clock::duration::zero()) return true;
    if (!pause_) {
        std::this_thread::sleep_for(length);
        return true;
    }
    return pause_(std::chrono::ceil<std::chrono::milliseconds>(length));
}

bool Keyboard::settle(Clock::time_point lastUse, bool restoring) {
    XSync(c_.display(), False);
    auto now = Clock::now();
    const Clock::duration gap = restoring ? kRestoreGap : kReuseGap;
    const Clock::duration perRemap = restoring ? kRestorePerRemap : kPausePerRemap;
    // A restore counts the time since the last key for both shares (the program calls it
    // from a timer that has already waited); a reuse is about to add one more change.
    Clock::duration wait = gap - (now - lastUse);
    const Clock::duration changes = perRemap * remapsSincePause_;
    wait = std::max<Clock::duration>(wait, restoring ? changes - (now - lastUse) : changes);
    const bool goOn = pause(wait);
    lastPause_ = Clock::now();
    remapsSincePause_ = 0;
    return goOn;
}

void Keyboard::remap(Spare& spare, XKeySym sym) {
    // The same character with or without Shift, and in every group, so that it arrives
    // whichever layout group is active.
    std::vector<KeySym> row(static_cast<size_t>(std::max(perKeycode_, 2)), sym);
    XChangeKeyboardMapping(c_.display(), spare.keycode, static_cast<int>(row.size()), row.data(),
                           1);
    spare.sym = sym;
    ++remapsSincePause_;
}

void Keyboard::restoreSpares(std::chrono::milliseconds idle) {
    auto due = [&](Clock::time_point now, Clock::time_point* lastUse) {
        std::vector<Spare*> out;
        for (auto& s : spares_) {
            if (s.sym && now - s.lastUse >= idle) {
                out.push_back(&s);
                *lastUse = std::max(*lastUse, s.lastUse);
            }
        }
        return out;
    };
    Clock::time_point lastUse{};
    if (due(Clock::now(), &lastUse).empty()) return;
    if (lastUse >= lastPause_) {
        const Clock::time_point started = Clock::now();
        if (receiversCaughtUp()) {
            lastPause_ = Clock::now();
            remapsSincePause_ = 0;
        } else {
            settle(lastUse, true);
        }
        // The pause let other events run: a text typed meanwhile keeps its spares (its
        // own restore follows), and only what was due before the pause goes back.
        for (const auto& s : spares_)
            if (s.sym && s.lastUse >= started) return;
    }
    std::vector<Spare*> giveBack = due(Clock::now(), &lastUse);
    if (giveBack.empty()) return;
    // Neighbouring keycodes go back in one request: one mapping change for the clients.
    std::sort(giveBack.begin(), giveBack.end(),
              [](Spare* a, Spare* b) { return a->keycode < b->keycode; });
    const size_t per = static_cast<size_t>(std::max(perKeycode_, 2));
    for (size_t i = 0; i < giveBack.size();) {
        size_t j = i + 1;
        while (j < giveBack.size() && giveBack[j]->keycode == giveBack[j - 1]->keycode + 1) ++j;
        std::vector<KeySym> rows(per * (j - i), NoSymbol);
        for (size_t k = i; k < j; ++k) {
            const auto& original = giveBack[k]->original;
            for (size_t col = 0; col < per && col < original.size(); ++col) {
                rows[(k - i) * per + col] = original[col];
            }
            giveBack[k]->sym = 0;
        }
        XChangeKeyboardMapping(c_.display(), giveBack[i]->keycode, static_cast<int>(per),
                               rows.data(), static_cast<int>(j - i));
        ++remapsSincePause_;
        i = j;
    }
    XFlush(c_.display());
    if (sparesInUse() == 0) {
        receivers_.clear();
        receiverNoted_ = false;
    }
}

void Keyboard::noteReceiver() {
    if (receiverNoted_) return;
    receiverNoted_ = true;
    Window focus = 0;
    int revertTo = 0;
    XGetInputFocus(c_.display(), &focus, &revertTo);
    if (focus == None || focus == PointerRoot) return;
    if (std::find(receivers_.begin(), receivers_.end(), focus) == receivers_.end())
        receivers_.push_back(focus);
}

// The keys and the mapping changes before them reach a program in order, and a program
// answers a ping only after it has dealt with what came before; a program that lists no
// ping, or answers too late, leaves the fixed pause to the caller.
bool Keyboard::receiversCaughtUp() {
    if (receivers_.empty()) return false;
    XSync(c_.display(), False);
    return pingClients(receivers_, kReceiverLimit, pause_) == PingResult::Answered;
}

void Keyboard::restoreAllSpares() {
    restoreSpares(std::chrono::milliseconds(0));
}

size_t Keyboard::sparesInUse() const {
    return static_cast<size_t>(
        std::count_if(spares_.begin(), spares_.end(), [](const Spare& s) { return s.sym != 0; }));
}

// ---- Keys ----

XKeySym Keyboard::keysymForChar(char32_t ch) {
    switch (ch) {
        case U'\n':
        case U'\r':
            return XK_Return;
        case U'\t':
            return XK_Tab;
        case U'\b':
            return XK_BackSpace;
        case 0x1B:
            return XK_Escape;
        default:
            break;
    }
    if (ch < 0x20 || ch == 0x7F || (ch >= 0x80 && ch < 0xA0)) return 0;
    return xkb_utf32_to_keysym(static_cast<uint32_t>(ch));
}

KeyForChar Keyboard::keyForChar(char32_t ch) {
    checkMappingChanges();
    XKeySym sym = keysymForChar(ch);
    if (!sym) return {};
    // The group typed in first, then the others (locked for this key).
    const int first = typingGroup_ >= 0 ? typingGroup_ : activeGroup();
    for (int i = 0; i < groups_; ++i) {
        const int group = (first + i) % groups_;
        auto it = places_[group].find(sym);
        if (it == places_[group].end()) continue;
        uint8_t v = keycodeVk_[it->second.keycode];
        if (!v) continue;
        if (typingGroup_ >= 0) lockGroup(group);
        KeyForChar k;
        k.found = true;
        k.virtualKey = v;
        k.shift = it->second.shift;
        return k;
    }
    return {};
}

uint8_t Keyboard::keycodeOf(uint8_t virtualKey) {
    checkMappingChanges();
    if (vkKeycode_[virtualKey]) return vkKeycode_[virtualKey];
    // A key reached only with Shift or Num Lock (the keypad digits), or only in another
    // group: its keycode still names the key, and a grab is made on the keycode.
    const XKeySym sym = keysymForVirtualKey(virtualKey);
    for (int kc = minKeycode_; sym && kc <= maxKeycode_; ++kc) {
        if (spareIndex(static_cast<uint8_t>(kc)) >= 0) continue;
        for (int col = 0; col < perKeycode_; ++col)
            if (symAt(static_cast<uint8_t>(kc), col) == sym) return static_cast<uint8_t>(kc);
    }
    return 0;
}

int Keyboard::activeGroup() {
    XkbStateRec state{};
    if (xkbEventBase_ < 0 || XkbGetState(c_.display(), XkbUseCoreKbd, &state) != Success) return 0;
    return std::clamp<int>(state.group, 0, groups_ - 1);
}

void Keyboard::lockGroup(int group) {
    if (group == lockedGroup_ || xkbEventBase_ < 0) return;
    XkbLockGroup(c_.display(), XkbUseCoreKbd, static_cast<unsigned>(group));
    lockedGroup_ = group;
}

void Keyboard::beginTyping() {
    checkMappingChanges();
    receiverNoted_ = false;  // this text may go to another window
    typingGroup_ = lockedGroup_ = activeGroup();
    // Modifier keys down now would turn "a" into "A" or Tab into Shift+Tab. Lock keys
    // (Caps Lock, Num Lock) are states, not held keys, and stay as they are.
    Display* dpy = c_.display();
    char keys[32] = {};
    XQueryKeymap(dpy, keys);
    XModifierKeymap* mods = XGetModifierMapping(dpy);
    if (!mods) return;
    for (int m = 0; m < 8; ++m) {
        if (m == LockMask >> 1) continue;  // index 1: Lock
        for (int j = 0; j < mods->max_keypermod; ++j) {
            auto kc = static_cast<uint8_t>(mods->modifiermap[m * mods->max_keypermod + j]);
            if (!kc || !(keys[kc / 8] & (1 << (kc % 8)))) continue;
            const XKeySym sym = symAt(kc, 0);
            if (sym == XK_Num_Lock || sym == XK_Caps_Lock || sym == XK_Shift_Lock) continue;
            XTestFakeKeyEvent(dpy, kc, False, CurrentTime);
        }
    }
    XFreeModifiermap(mods);
    XFlush(dpy);
}

void Keyboard::endTyping() {
    if (typingGroup_ >= 0) lockGroup(typingGroup_);
    typingGroup_ = lockedGroup_ = -1;
    XFlush(c_.display());
}

void Keyboard::press(uint8_t virtualKey, bool down) {
    if (virtualKey == 0 || vk::isMouseButton(virtualKey)) return;
    checkMappingChanges();
    uint8_t kc = 0;
    if (down) {
        kc = vkKeycode_[virtualKey];
        if (!kc) {
            // A key the layout lacks (F13, a keypad digit without Num Lock, ...).
            XKeySym sym = keysymForVirtualKey(virtualKey);
            if (sym) kc = spareFor(sym);
            if (kc) noteReceiver();
        }
        if (!kc) return;
        pressed_[virtualKey] = kc;
    } else {
        kc = pressed_[virtualKey] ? pressed_[virtualKey] : vkKeycode_[virtualKey];
        pressed_[virtualKey] = 0;
        if (!kc) return;
        if (int i = spareIndex(kc); i >= 0) spares_[i].lastUse = Clock::now();
    }
    XTestFakeKeyEvent(c_.display(), kc, down ? True : False, CurrentTime);
    // While typing, the focus check before the next key sends it (one round trip that
    // carries every event before it), and endTyping sends the rest.
    if (typingGroup_ < 0) XFlush(c_.display());
}

bool Keyboard::typeChar(char32_t ch) {
    checkMappingChanges();
    XKeySym sym = keysymForChar(ch);
    if (!sym) return false;
    uint8_t kc = spareFor(sym);
    if (!kc) return false;
    noteReceiver();
    XTestFakeKeyEvent(c_.display(), kc, True, CurrentTime);
    XTestFakeKeyEvent(c_.display(), kc, False, CurrentTime);
    XFlush(c_.display());
    if (int i = spareIndex(kc); i >= 0) spares_[i].lastUse = Clock::now();
    return true;
}

bool Keyboard::capsLockOn() {
    XkbStateRec state{};
    if (XkbGetState(c_.display(), XkbUseCoreKbd, &state) == Success) {
        return (state.locked_mods & LockMask) != 0;
    }
    Window rootReturn = 0, child = 0;
    int rx = 0, ry = 0, wx = 0, wy = 0;
    unsigned int mask = 0;
    XQueryPointer(c_.display(), c_.root(), &rootReturn, &child, &rx, &ry, &wx, &wy, &mask);
    return (mask & LockMask) != 0;
}

unsigned Keyboard::altMask() {
    checkMappingChanges();
    return alt_;
}
unsigned Keyboard::superMask() {
    checkMappingChanges();
    return super_;
}
unsigned Keyboard::numLockMask() {
    checkMappingChanges();
    return numLock_;
}

}  // namespace corvix::desktop::x11
