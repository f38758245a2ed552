// corvix-desktop-target --window-title TITLE --out FILE
// Shows a window titled TITLE with a "Password:" label and a line edit. The edit's text
// is written to FILE (UTF-8, replaced whole) a few milliseconds after each change, and
// once more on close.
// Start it with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 so that its widgets are accessible.

#include <QApplication>
#include <QCommandLineParser>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSaveFile>
#include <QTimer>
#include <QWidget>

namespace {

void save(const QString& path, const QString& text) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return;
    file.write(text.toUtf8());
    file.commit();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCommandLineParser parser;
    // Not "--title": Qt takes that one for itself and gives it to the X window only, so
    // the accessible name would keep the default.
    parser.addOption({"window-title", "Window title.", "title", "Corvix Desktop Target"});
    parser.addOption({"out", "File that receives the edit's text.", "file"});
    parser.process(app);
    const QString out = parser.value("out");

    QWidget window;
    window.setWindowTitle(parser.value("window-title"));
    auto* layout = new QFormLayout(&window);
    auto* label = new QLabel("Password:");
    auto* edit = new QLineEdit;
    edit->setMaxLength(1 << 20);
    label->setBuddy(edit);
    layout->addRow(label, edit);
    window.resize(480, 120);

    // Bursts of changes (typing) are written once they pause for a few milliseconds, so
    // that the file does not slow down what it records.
    QTimer writer;
    writer.setSingleShot(true);
    writer.setInterval(5);
    if (!out.isEmpty()) {
        save(out, QString());
        QObject::connect(&writer, &QTimer::timeout, [out, edit] { save(out, edit->text()); });
        QObject::connect(edit, &QLineEdit::textChanged, &writer, qOverload<>(&QTimer::start));
        QObject::connect(&app, &QApplication::aboutToQuit,
                         [out, edit] { save(out, edit->text()); });
    }
    window.show();
    edit->setFocus();
    return app.exec();
}
