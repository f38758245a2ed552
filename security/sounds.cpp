#include "security/sounds.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QSoundEffect>
#include <QUrl>
#include <map>

#include "security/password_text.h"
#include "security/session.h"

namespace corvix::security {

namespace {

std::function<void(const std::string&)>& player() {
    static std::function<void(const std::string&)> p;
    return p;
}

// One effect per file, kept so that a repeated click does not load the file again. Nothing
// here waits for a load or a play. The effects are never deleted: Qt's sample cache waits in
// an effect's destructor for its loader thread, and while a load is still under way (a machine
// without audio output is slow to fail it) that wait never ends, so deleting them with the
// application could hang the program's exit. The process ends soon after; the few effects it
// keeps cost nothing.
void playWithQt(const std::string& path) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!qobject_cast<QGuiApplication*>(app)) return;
    static std::map<QString, QSoundEffect*> effects;
    const QString file = QString::fromStdString(path);
    QSoundEffect*& effect = effects[file];
    if (!effect) {
        effect = new QSoundEffect;
        effect->setSource(QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()));
    }
    if (effect->status() == QSoundEffect::Error) return;  // unreadable, or no audio output
    effect->play();
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
    const QFileInfo file(QString::fromStdString(path));
    if (!file.isFile() || !file.isReadable()) return;  // silent, never an error box
    (player() ? player() : playWithQt)(path);
}

void setSoundPlayer(std::function<void(const std::string&)> p) {
    player() = std::move(p);
}

}  // namespace corvix::security
