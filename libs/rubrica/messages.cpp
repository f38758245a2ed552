#include "libs/rubrica/messages.h"

#include <QApplication>
#include <QMessageBox>

namespace corvix::rubrica {

namespace {

MessageHook& hook() {
    static MessageHook h;
    return h;
}

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

}  // namespace

MessageHook setMessageHook(MessageHook h) {
    MessageHook previous = std::move(hook());
    hook() = std::move(h);
    return previous;
}

unsigned ask(const std::string& title, const std::string& text, unsigned buttons,
             unsigned defaultButton) {
    if (hook()) return hook()(title, text, buttons);
    return messageBox(title, text, buttons, defaultButton);
}

void tell(const std::string& title, const std::string& text) {
    ask(title, text, kOk, kOk);
}

}  // namespace corvix::rubrica
