#include "security/sounds.h"

#include <sys/stat.h>
#include <unistd.h>

#include "security/password_text.h"
#include "security/session.h"

namespace corvix::security {

namespace {

std::function<void(const std::string&)>& player() {
    static std::function<void(const std::string&)> p;
    return p;
}

// The default player: Qt Multimedia's, once the windowed program installs it.
std::function<void(const std::string&)>& defaultPlayer() {
    static std::function<void(const std::string&)> p;
    return p;
}

}  // namespace

std::string soundFileFor(const vault::MasRecord& settings, SoundEvent event) {
    if (!settings.PlaySounds) return {};
    switch (event) {
        case SoundEvent::Click:
            return trimTrailingBlanks(settings.Sound_Click);
        case SoundEvent::Send:
            return trimTrailingBlanks(settings.Sound_Send);
        case SoundEvent::Other:
            return trimTrailingBlanks(settings.Sound_Other);
    }
    return {};
}

void playSound(SoundEvent event) {
    const std::string path = soundFileFor(MasterCopy(), event);
    if (path.empty()) return;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || ::access(path.c_str(), R_OK) != 0)
        return;  // silent, never an error box
    if (player())
        player()(path);
    else if (defaultPlayer())
        defaultPlayer()(path);
}

void setSoundPlayer(std::function<void(const std::string&)> p) {
    player() = std::move(p);
}

void setDefaultSoundPlayer(std::function<void(const std::string&)> p) {
    defaultPlayer() = std::move(p);
}

}  // namespace corvix::security
