// The sounds of the settings: the click sound on each click of an image logon window, the
// send sound when an action has been typed, the other sound for the remaining events
// (logon refused, logoff), when "Play sounds for events" is on. Playing never waits: the
// sound starts and the caller goes on. A missing or unreadable file, or no audio output,
// is silent.
#pragma once

#include <functional>
#include <string>

#include "vault/records.h"

namespace corvix::security {

enum class SoundEvent { Click, Send, Other };

// The file the settings name for an event; "" when sounds are off or none is named.
std::string soundFileFor(const vault::MasRecord& settings, SoundEvent event);

// Plays the event's sound as MasterCopy's settings say.
void playSound(SoundEvent event);

// What plays a file; the default is Qt Multimedia's QSoundEffect. Tests record instead.
// An empty function restores the default.
void setSoundPlayer(std::function<void(const std::string& path)> player);
// The default itself: none (silent) until the windowed program calls useQtSounds()
// (sound_player.cpp, in the widget target).
void setDefaultSoundPlayer(std::function<void(const std::string& path)> player);
void useQtSounds();

}  // namespace corvix::security
