#include "framework/qt_prompt.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <utility>

namespace corvix::framework {

namespace {

QMessageBox::Icon boxIcon(Icon icon) {
    switch (icon) {
        case Icon::Information:
            return QMessageBox::Information;
        case Icon::Question:
            return QMessageBox::Question;
        case Icon::Exclamation:
            return QMessageBox::Warning;
        case Icon::Hand:
            return QMessageBox::Critical;
        case Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

constexpr std::pair<Button, QMessageBox::StandardButton> kButtons[] = {
    {kButtonOk, QMessageBox::Ok},         {kButtonYes, QMessageBox::Yes},
    {kButtonNo, QMessageBox::No},         {kButtonCancel, QMessageBox::Cancel},
    {kButtonAbort, QMessageBox::Abort},   {kButtonRetry, QMessageBox::Retry},
    {kButtonIgnore, QMessageBox::Ignore},
};

}  // namespace

Button QtPrompt::ask(const std::string& title, const std::string& text, Icon icon, unsigned buttons,
                     Button defaultButton) {
    if (buttons == kButtonNone) buttons = kButtonOk;
    QWidget* parent = parent_ ? parent_ : QApplication::activeWindow();
    QMessageBox box(boxIcon(icon), QString::fromStdString(title), QString::fromStdString(text),
                    QMessageBox::NoButton, parent);
    for (auto [mine, theirs] : kButtons)
        if (buttons & mine) box.addButton(theirs);
    for (auto [mine, theirs] : kButtons)
        if (mine == defaultButton && (buttons & mine)) box.setDefaultButton(theirs);
    // Closing the box answers Cancel when it is offered, else the default button.
    Button onEscape = (buttons & kButtonCancel) ? kButtonCancel : defaultButton;
    for (auto [mine, theirs] : kButtons)
        if (mine == onEscape && (buttons & mine)) box.setEscapeButton(theirs);
    const int chosen = box.exec();
    for (auto [mine, theirs] : kButtons)
        if (chosen == theirs) return mine;
    return onEscape;
}

}  // namespace corvix::framework
