#include "libs/rubrica/messages.h"

namespace corvix::rubrica {

namespace {

MessageHook& hook() {
    static MessageHook h;
    return h;
}

MessageBoxes& boxes() {
    static MessageBoxes b = nullptr;
    return b;
}

}  // namespace

void setMessageBoxes(MessageBoxes b) {
    boxes() = b;
}

MessageHook setMessageHook(MessageHook h) {
    MessageHook previous = std::move(hook());
    hook() = std::move(h);
    return previous;
}

unsigned ask(const std::string& title, const std::string& text, unsigned buttons,
             unsigned defaultButton) {
    if (hook()) return hook()(title, text, buttons);
    // Without the windows (corvix-cli) nothing can ask: the default answer.
    return boxes() ? boxes()(title, text, buttons, defaultButton) : defaultButton;
}

void tell(const std::string& title, const std::string& text) {
    ask(title, text, kOk, kOk);
}

}  // namespace corvix::rubrica
