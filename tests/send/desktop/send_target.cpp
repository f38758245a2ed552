// corvix-send-target --title TITLE --out FILE
// A login window for the sending tests: "Name:" and "Password:" line edits. Enter in
// the password edit writes "<name>\n<password>\n" to FILE (UTF-8) and closes the window,
// so a test sees whether Tab moved on and Enter arrived, not only the characters. Every
// edit before that rewrites FILE.live the same way, so a test also sees a text that
// arrived only in part.
#include <QApplication>
#include <QCommandLineParser>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSaveFile>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({"title", "Window title.", "title", "Corvix Send Target"});
    parser.addOption({"out", "File that receives what was entered.", "file"});
    parser.process(app);
    const QString out = parser.value("out");

    QWidget window;
    window.setWindowTitle(parser.value("title"));
    auto* layout = new QFormLayout(&window);
    auto* name = new QLineEdit;
    auto* password = new QLineEdit;
    layout->addRow(new QLabel("Name:"), name);
    layout->addRow(new QLabel("Password:"), password);
    auto writeLive = [&] {
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
