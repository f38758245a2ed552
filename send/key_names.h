// The key-name table of the action language and the token parser shared by the
// keystroke sender and the hot-key manager.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvix::send {

struct KeyName {
    std::string name;      // as written in the table ("PgDn")
    std::u32string upper;  // upper-cased, what tokens are compared with
    uint8_t code = 0;      // virtual-key code
};

// The packed form the table is built from: a 16-bit entry count (low byte first), then
// per entry one length byte, the name's characters and one code byte.
std::span<const uint8_t> packedKeyNames();

constexpr size_t kKeyNameCount = 105;
constexpr size_t kHotKeyNameCount = 92;  // "A" to "Pad9"

// Unpacks a packed table; false (and out left empty) when the data is truncated or the
// count does not match the entries.
bool unpackKeyNames(std::span<const uint8_t> packed, std::vector<KeyName>& out);

// KeyNameTable: the 105 entries, unpacked once.
const std::vector<KeyName>& KeyNameTable();

// Modifier bit values for one dialect of the token language.
struct ModifierBits {
    uint32_t shift;
    uint32_t ctrl;
    uint32_t alt;
    uint32_t win;
};
constexpr ModifierBits kKeyCodeBits{256, 512, 1024, 2048};     // action tokens
constexpr ModifierBits kHotKeyCodeBits{1024, 512, 256, 2048};  // hot-key names

// Parses an (already upper-cased) token: modifier prefixes "+ ^ % *", the separator "-",
// the words SHIFT/CTRL/ALT/WIN by their first three letters, then a key name looked up
// from the last table entry to the first after removing the first "KEY". 0 when the
// token is not understood; modifiers over an unknown name give the modifier bits alone.
uint32_t parseKeyToken(std::u32string_view token, const ModifierBits& bits,
                       std::span<const KeyName> table);

}  // namespace corvix::send
