// The message boxes of a widget program, installed when this library is loaded.
#include <QApplication>
#include <QMessageBox>

#include "libs/rubrica/messages.h"

namespace corvix::rubrica {

namespace {

unsigned messageBox(const std::string& title, const std::string& text, unsigned buttons,
                    unsigned defaultButton) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return defaultButton;
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QString::fromStdString(title));
    box.setText(QString::fromStdString(text));
    box.setIcon(buttons & (kYes | kNo) ? QMessageBox::Question : QMessageBox::Warning);
    const std::pair<unsigned, QMessageBox::StandardButton> map[] = {{kOk, QMessageBox::Ok},
                                                                    {kYes, QMessageBox::Yes},
                                                                    {kNo, QMessageBox::No},
                                                                    {kCancel, QMessageBox::Cancel}};
    QMessageBox::StandardButtons shown;
    for (const auto& [bit, b] : map) {
        if (buttons & bit) shown |= b;
        if (defaultButton == bit) box.setDefaultButton(b);
    }
    box.setStandardButtons(shown);
    const int chosen = box.exec();
    for (const auto& [bit, b] : map)
        if (chosen == b) return bit;
    return (buttons & kCancel) ? kCancel : defaultButton;
}

const bool installed = [] {
    setMessageBoxes(messageBox);
    return true;
}();

}  // namespace

}  // namespace corvix::rubrica
