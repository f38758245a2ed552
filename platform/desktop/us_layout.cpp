#include "platform/desktop/us_layout.h"

#include "platform/desktop/virtual_keys.h"

namespace corvix::desktop {
namespace {

struct PunctuationKey {
    uint8_t virtualKey;
    char plain;
    char shifted;
};

// The keys outside letters and digits that carry characters.
constexpr PunctuationKey kPunctuation[] = {
    {vk::kSpace, ' ', ' '},    {vk::kOem1, ';', ':'},     {vk::kOemPlus, '=', '+'},
    {vk::kOemComma, ',', '<'}, {vk::kOemMinus, '-', '_'}, {vk::kOemPeriod, '.', '>'},
    {vk::kOem2, '/', '?'},     {vk::kOem3, '`', '~'},     {vk::kOem4, '[', '{'},
    {vk::kOem5, '\\', '|'},    {vk::kOem6, ']', '}'},     {vk::kOem7, '\'', '"'},
    {vk::kMultiply, '*', '*'}, {vk::kAdd, '+', '+'},      {vk::kSubtract, '-', '-'},
    {vk::kDivide, '/', '/'},   {vk::kTab, '\t', '\t'},    {vk::kReturn, '\r', '\r'},
};

// Shift + digit row, from '0' to '9'.
constexpr char kShiftedDigits[] = ")!@#$%^&*(";

KeyForChar key(uint8_t virtualKey, bool shift) {
    KeyForChar k;
    k.found = true;
    k.virtualKey = virtualKey;
    k.shift = shift;
    return k;
}

}  // namespace

KeyForChar usKeyForChar(char32_t ch) {
    if (ch >= 'a' && ch <= 'z') return key(static_cast<uint8_t>(ch - 'a' + 'A'), false);
    if (ch >= 'A' && ch <= 'Z') return key(static_cast<uint8_t>(ch), true);
    if (ch >= '0' && ch <= '9') return key(static_cast<uint8_t>(ch), false);
    for (int d = 0; d < 10; ++d) {
        if (ch == static_cast<char32_t>(kShiftedDigits[d]))
            return key(static_cast<uint8_t>('0' + d), true);
    }
    if (ch == '\n') return key(vk::kReturn, false);
    // The main keyboard's keys win over the keypad's: search in table order.
    for (const auto& p : kPunctuation) {
        if (ch == static_cast<char32_t>(p.plain)) return key(p.virtualKey, false);
        if (ch == static_cast<char32_t>(p.shifted)) return key(p.virtualKey, true);
    }
    return {};
}

char32_t usCharForKey(uint8_t virtualKey, bool shift) {
    if (virtualKey >= 'A' && virtualKey <= 'Z') {
        return shift ? virtualKey : static_cast<char32_t>(virtualKey - 'A' + 'a');
    }
    if (virtualKey >= '0' && virtualKey <= '9') {
        return shift ? static_cast<char32_t>(kShiftedDigits[virtualKey - '0']) : virtualKey;
    }
    if (virtualKey >= vk::kNumpad0 && virtualKey <= vk::kNumpad0 + 9) {
        return static_cast<char32_t>('0' + (virtualKey - vk::kNumpad0));
    }
    if (virtualKey == vk::kDecimal) return '.';
    for (const auto& p : kPunctuation) {
        if (p.virtualKey == virtualKey) return static_cast<char32_t>(shift ? p.shifted : p.plain);
    }
    return 0;
}

}  // namespace corvix::desktop
