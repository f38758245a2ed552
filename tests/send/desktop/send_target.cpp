// corvix-send-target --title TITLE --out FILE
// A login window for the sending tests: "Name:" and "Password:" line edits. Enter in
// the password edit writes "<name>\n<password>\n" to FILE (UTF-8) and closes the window,
// so a test sees whether Tab moved on and Enter arrived, not only the characters. Every
// edit before that rewrites FILE.live the same way, so a test also sees a text that
// arrived only in part. --busy-ms N: the first edit blocks the window's event loop for
// N ms, as a program busy with a key does, while the rest of the keys queue up.
#include <QApplication>
#include <QCommandLineParser>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSaveFile>
#include <QThread>
#include <QWidget>
#include <utility>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({"title", "Window title.", "title", "Corvix Send Target"});
    parser.addOption({"out", "File that receives what was entered.", "file"});
    parser.addOption({"busy-ms", "Milliseconds the first edit keeps the window busy.", "ms", "0"});
    parser.process(app);
    const QString out = parser.value("out");
    int busyMs = parser.value("busy-ms").toInt();

    QWidget window;
    window.setWindowTitle(parser.value("title"));
    auto* layout = new QFormLayout(&window);
    auto* name = new QLineEdit;
    auto* password = new QLineEdit;
    layout->addRow(new QLabel("Name:"), name);
    layout->addRow(new QLabel("Password:"), password);
    auto writeLive = [&] {
        if (busyMs > 0) QThread::msleep(static_cast<unsigned long>(std::exchange(busyMs, 0)));
        QSaveFile file(out + ".live");
        if (file.open(QIODevice::WriteOnly)) {
            file.write((name->text() + "\n" + password->text() + "\n").toUtf8());
            file.commit();
        }
    };
    QObject::connect(name, &QLineEdit::textEdited, writeLive);
    QObject::connect(password, &QLineEdit::textEdited, writeLive);
    QObject::connect(password, &QLineEdit::returnPressed, [&] {
        QSaveFile file(out);
        if (file.open(QIODevice::WriteOnly)) {
            file.write((name->text() + "\n" + password->text() + "\n").toUtf8());
            file.commit();
        }
        app.quit();
    });
    window.show();
    name->setFocus();
    return app.exec();
}
