#include "send/key_names.h"

#include <array>

#include "send/text.h"

namespace corvix::send {
namespace {

struct Entry {
    std::string_view name;
    uint8_t code;
};

// The table in its fixed order. Lookups run from the last entry to the first, so where a
// name occurs twice ("Print") the later entry wins.
constexpr Entry kEntries[] = {
    {"A", 65},           {"Ast", 106},     {"B", 66},          {"Bs", 8},
    {"Backspace", 8},    {"CapsLock", 20}, {"Caps", 20},       {"C", 67},
    {"Decimal", 110},    {"Del", 46},      {"Delete", 46},     {"D", 68},
    {"Down", 40},        {"E", 69},        {"End", 35},        {"Enter", 13},
    {"Esc", 27},         {"F10", 121},     {"F11", 122},       {"F12", 123},
    {"F1", 112},         {"F2", 113},      {"F3", 114},        {"F4", 115},
    {"F5", 116},         {"F6", 117},      {"F7", 118},        {"F8", 119},
    {"F9", 120},         {"F", 70},        {"G", 71},          {"H", 72},
    {"Home", 36},        {"I", 73},        {"Ins", 45},        {"Insert", 45},
    {"J", 74},           {"K", 75},        {"Left", 37},       {"L", 76},
    {"Minus", 109},      {"M", 77},        {"MouseCenter", 3}, {"MouseCenter2", 7},
    {"Mouse", 1},        {"MouseLeft", 1}, {"MouseLeft2", 5},  {"MouseRight", 2},
    {"MouseRight2", 6},  {"N", 78},        {"O", 79},          {"Pause", 19},
    {"PgDn", 34},        {"PgUp", 33},     {"P", 80},          {"Plus", 107},
    {"Print", 44},       {"Q", 81},        {"Right", 39},      {"R", 82},
    {"S", 83},           {"Slash", 111},   {"Space", 32},      {"Tab", 9},
    {"T", 84},           {"U", 85},        {"Up", 38},         {"V", 86},
    {"W", 87},           {"X", 88},        {"Y", 89},          {"Z", 90},
    {"0", 48},           {"1", 49},        {"2", 50},          {"3", 51},
    {"4", 52},           {"5", 53},        {"6", 54},          {"7", 55},
    {"8", 56},           {"9", 57},        {"Pad0", 96},       {"Pad1", 97},
    {"Pad2", 98},        {"Pad3", 99},     {"Pad4", 100},      {"Pad5", 101},
    {"Pad6", 102},       {"Pad7", 103},    {"Pad8", 104},      {"Pad9", 105},
    {"LWin", 91},        {"RWin", 92},     {"LShift", 160},    {"RShift", 161},
    {"LCtrl", 162},      {"RCtrl", 163},   {"LAlt", 164},      {"RAlt", 165},
    {"PrintScreen", 44}, {"Print", 42},    {"Shift", 16},      {"Ctrl", 17},
    {"Alt", 18},
};
static_assert(std::size(kEntries) == kKeyNameCount);
static_assert(kEntries[kHotKeyNameCount - 1].name == "Pad9");

constexpr size_t packedSize() {
    size_t n = 2;
    for (const Entry& e : kEntries) n += 2 + e.name.size();
    return n;
}

constexpr std::array<uint8_t, packedSize()> pack() {
    std::array<uint8_t, packedSize()> out{};
    size_t i = 0;
    out[i++] = static_cast<uint8_t>(std::size(kEntries) & 0xFF);
    out[i++] = static_cast<uint8_t>(std::size(kEntries) >> 8);
    for (const Entry& e : kEntries) {
        out[i++] = static_cast<uint8_t>(e.name.size());
        for (char c : e.name) out[i++] = static_cast<uint8_t>(c);
        out[i++] = e.code;
    }
    return out;
}

constexpr auto kPacked = pack();

std::u32string_view dropFirst(std::u32string_view s, size_t n) {
    return n >= s.size() ? std::u32string_view() : s.substr(n);
}

}  // namespace

std::span<const uint8_t> packedKeyNames() {
    return kPacked;
}

bool unpackKeyNames(std::span<const uint8_t> packed, std::vector<KeyName>& out) {
    out.clear();
    if (packed.size() < 2) return false;
    size_t count = packed[0] | (static_cast<size_t>(packed[1]) << 8);
    size_t i = 2;
    std::vector<KeyName> names;
    names.reserve(count);
    for (size_t n = 0; n < count; ++n) {
        if (i >= packed.size()) return false;
        size_t len = packed[i++];
        if (i + len + 1 > packed.size()) return false;
        KeyName k;
        k.name.assign(reinterpret_cast<const char*>(packed.data() + i), len);
        k.upper = upper(toU32(k.name));
        k.code = packed[i + len];
        i += len + 1;
        names.push_back(std::move(k));
    }
    if (i != packed.size()) return false;
    out = std::move(names);
    return true;
}

const std::vector<KeyName>& KeyNameTable() {
    static const std::vector<KeyName> table = [] {
        std::vector<KeyName> t;
        unpackKeyNames(packedKeyNames(), t);
        return t;
    }();
    return table;
}

uint32_t parseKeyToken(std::u32string_view token, const ModifierBits& bits,
                       std::span<const KeyName> table) {
    if (!token.empty()) {
        switch (token[0]) {
            case U'+':
                return bits.shift | parseKeyToken(token.substr(1), bits, table);
            case U'^':
                return bits.ctrl | parseKeyToken(token.substr(1), bits, table);
            case U'%':
                return bits.alt | parseKeyToken(token.substr(1), bits, table);
            case U'*':
                return bits.win | parseKeyToken(token.substr(1), bits, table);
            case U'-':
                return parseKeyToken(token.substr(1), bits, table);
            default:
                break;
        }
    }
    std::u32string_view head = token.substr(0, 3);
    if (head == U"SHI") return bits.shift | parseKeyToken(dropFirst(token, 5), bits, table);
    if (head == U"CTR") return bits.ctrl | parseKeyToken(dropFirst(token, 4), bits, table);
    if (head == U"ALT") return bits.alt | parseKeyToken(dropFirst(token, 3), bits, table);
    if (head == U"WIN") return bits.win | parseKeyToken(dropFirst(token, 3), bits, table);

    std::u32string name(token);
    if (size_t k = name.find(U"KEY"); k != std::u32string::npos) name.erase(k, 3);
    for (size_t i = table.size(); i > 0; --i) {
        if (table[i - 1].upper == name) return table[i - 1].code;
    }
    return 0;
}

}  // namespace corvix::send
