#include "platform/desktop/us_layout.h"

#include <gtest/gtest.h>

#include "platform/desktop/virtual_keys.h"

namespace corvix::desktop {
namespace {

// Every printable ASCII character has a key, and that key gives the character back.
TEST(UsLayout, EveryPrintableCharacterRoundTrips) {
    for (char32_t ch = 0x20; ch < 0x7F; ++ch) {
        KeyForChar k = usKeyForChar(ch);
        ASSERT_TRUE(k.found) << static_cast<char>(ch);
        EXPECT_FALSE(k.ctrl || k.alt);
        EXPECT_EQ(usCharForKey(k.virtualKey, k.shift), ch) << static_cast<char>(ch);
    }
}

TEST(UsLayout, KeysWithoutCharacters) {
    EXPECT_EQ(usCharForKey(vk::kShift, false), 0u);
    EXPECT_EQ(usCharForKey(vk::kF1, true), 0u);
    EXPECT_EQ(usCharForKey(vk::kLeft, false), 0u);
    EXPECT_EQ(usCharForKey(vk::kNumpad0 + 7, false), U'7');
    EXPECT_EQ(usCharForKey(vk::kDecimal, false), U'.');
    EXPECT_FALSE(usKeyForChar(U'\x7f').found);
    EXPECT_FALSE(usKeyForChar(U'\u00a3').found);
    EXPECT_TRUE(usKeyForChar(U'\n').found);
}

TEST(VirtualKeys, MouseButtonsAndModifiers) {
    for (uint8_t v : {1, 2, 4, 5, 6}) EXPECT_TRUE(vk::isMouseButton(v));
    for (uint8_t v : {0, 3, 7, 8}) EXPECT_FALSE(vk::isMouseButton(v));
    EXPECT_TRUE(vk::isModifier(vk::kRShift));
    EXPECT_TRUE(vk::isModifier(vk::kRWin));
    EXPECT_FALSE(vk::isModifier(vk::kCapital));
}

}  // namespace
}  // namespace corvix::desktop
