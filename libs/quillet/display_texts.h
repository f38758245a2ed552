// The wizard's display texts: numbered slots that the host fills at start-up. Each
// slot has a fixed width (longer texts are cut) and keeps its text until changed.
#pragma once

#include <string>

namespace corvix::quillet {

// The operations' names before the host sets them (texts 1 to 12).
extern const char* const kOperationNames[12];

// The slot's text; blank for an id that is no slot.
const std::string& displayText(long id);
// The caption part of an option text ("caption|second text").
std::string displayCaption(long id);
// A message text with "|" turned into line breaks.
std::string displayMessage(long id);
// Whether the id names a slot (ids not named are ignored).
bool isDisplayTextSlot(long id);
// How many slots there are (124).
int displayTextSlots();

}  // namespace corvix::quillet
