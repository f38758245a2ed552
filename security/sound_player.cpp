// Qt Multimedia's player for the sounds of the settings, installed by the windowed
// program (the command-line tool plays none).
#include <QFileInfo>
#include <QGuiApplication>
#include <QSoundEffect>
#include <QUrl>
#include <map>

#include "security/sounds.h"

namespace corvix::security {

namespace {

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

void useQtSounds() {
    setDefaultSoundPlayer(playWithQt);
}

}  // namespace corvix::security
