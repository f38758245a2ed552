// What the sending desktop tests look at on the X display, kept apart so that no X11
// header meets gtest: the layout group, setting a layout, and whether a character still
// sits anywhere in the keyboard mapping.
#pragma once

#include <string>

namespace corvix::send::testing {

// setxkbmap with the given layouts ("us,ru"); true when it ran.
bool setLayout(const std::string& layouts);
// Locks a layout group (0 = the first layout) and waits until the server has done it.
bool lockGroup(int group);
int activeGroup();
// The character's keysym is on some keycode of the current mapping.
bool keymapHas(char32_t ch);

}  // namespace corvix::send::testing
