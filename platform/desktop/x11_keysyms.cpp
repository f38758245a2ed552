#include "platform/desktop/x11_keysyms.h"

#include <X11/keysym.h>

#include "platform/desktop/virtual_keys.h"

namespace corvix::desktop::x11 {
namespace {

struct Entry {
    uint8_t virtualKey;
    unsigned long keysym;
};

// Keys that are not letters, digits, keypad digits or function keys.
constexpr Entry kKeys[] = {
    {vk::kCancel, XK_Cancel},
    {vk::kBack, XK_BackSpace},
    {vk::kTab, XK_Tab},
    {vk::kClear, XK_Clear},
    {vk::kReturn, XK_Return},
    {vk::kShift, XK_Shift_L},
    {vk::kControl, XK_Control_L},
    {vk::kMenu, XK_Alt_L},
    {vk::kPause, XK_Pause},
    {vk::kCapital, XK_Caps_Lock},
    {vk::kEscape, XK_Escape},
    {vk::kSpace, XK_space},
    {vk::kPrior, XK_Prior},
    {vk::kNext, XK_Next},
    {vk::kEnd, XK_End},
    {vk::kHome, XK_Home},
    {vk::kLeft, XK_Left},
    {vk::kUp, XK_Up},
    {vk::kRight, XK_Right},
    {vk::kDown, XK_Down},
    {vk::kSelect, XK_Select},
    {vk::kPrint, XK_Print},
    {vk::kExecute, XK_Execute},
    {vk::kSnapshot, XK_Print},
    {vk::kInsert, XK_Insert},
    {vk::kDelete, XK_Delete},
    {vk::kHelp, XK_Help},
    {vk::kLWin, XK_Super_L},
    {vk::kRWin, XK_Super_R},
    {vk::kApps, XK_Menu},
    {vk::kMultiply, XK_KP_Multiply},
    {vk::kAdd, XK_KP_Add},
    {vk::kSeparator, XK_KP_Separator},
    {vk::kSubtract, XK_KP_Subtract},
    {vk::kDecimal, XK_KP_Decimal},
    {vk::kDivide, XK_KP_Divide},
    {vk::kNumLock, XK_Num_Lock},
    {vk::kScroll, XK_Scroll_Lock},
    {vk::kLShift, XK_Shift_L},
    {vk::kRShift, XK_Shift_R},
    {vk::kLControl, XK_Control_L},
    {vk::kRControl, XK_Control_R},
    {vk::kLMenu, XK_Alt_L},
    {vk::kRMenu, XK_Alt_R},
    {vk::kOem1, XK_semicolon},
    {vk::kOemPlus, XK_equal},
    {vk::kOemComma, XK_comma},
    {vk::kOemMinus, XK_minus},
    {vk::kOemPeriod, XK_period},
    {vk::kOem2, XK_slash},
    {vk::kOem3, XK_grave},
    {vk::kOem4, XK_bracketleft},
    {vk::kOem5, XK_backslash},
    {vk::kOem6, XK_bracketright},
    {vk::kOem7, XK_apostrophe},
    {vk::kOem102, XK_less},
};

}  // namespace

unsigned long keysymForVirtualKey(uint8_t v) {
    if (v >= 'A' && v <= 'Z') return XK_a + (v - 'A');
    if (v >= '0' && v <= '9') return XK_0 + (v - '0');
    if (v >= vk::kNumpad0 && v <= vk::kNumpad0 + 9) return XK_KP_0 + (v - vk::kNumpad0);
    if (v >= vk::kF1 && v <= vk::kF24) return XK_F1 + (v - vk::kF1);
    for (const auto& e : kKeys) {
        if (e.virtualKey == v) return e.keysym;
    }
    return 0;
}

}  // namespace corvix::desktop::x11
