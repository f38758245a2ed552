#include "libs/quillet/messages.h"

#include <QApplication>
#include <QMessageBox>

namespace corvix::quillet {

namespace {

class QtMessages : public MessageSink {
  public:
    unsigned ask(const std::string& title, const std::string& text, MessageIcon icon,
                 unsigned buttons, unsigned defaultButton) override {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return defaultButton;
        QMessageBox box;
        box.setWindowTitle(QString::fromStdString(title));
        box.setText(QString::fromStdString(text));
        static const QMessageBox::Icon icons[] = {QMessageBox::NoIcon, QMessageBox::Information,
                                                  QMessageBox::Question, QMessageBox::Warning,
                                                  QMessageBox::Critical};
        box.setIcon(icons[static_cast<int>(icon)]);
        const std::pair<unsigned, QMessageBox::StandardButton> map[] = {
            {kOk, QMessageBox::Ok},
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
};

MessageSink*& current() {
    static QtMessages qt;
    static MessageSink* sink = &qt;
    return sink;
}

}  // namespace

MessageSink* setMessageSink(MessageSink* sink) {
    static QtMessages qt;
    MessageSink* previous = current();
    current() = sink ? sink : &qt;
    return previous;
}

unsigned ask(const std::string& title, const std::string& text, MessageIcon icon, unsigned buttons,
             unsigned defaultButton) {
    return current()->ask(title, text, icon, buttons, defaultButton);
}

void tell(const std::string& title, const std::string& text, MessageIcon icon) {
    ask(title, text, icon, kOk, kOk);
}

}  // namespace corvix::quillet
