// How the library tells and asks: through a hook the host or a test installs, else Qt
// message boxes when the widget library is loaded. Buttons and answers are bit values: 1 OK, 2 Yes,
// 4 No, 8 Cancel.
#pragma once

#include <functional>
#include <string>

namespace corvix::rubrica {

enum MessageButton : unsigned { kOk = 1, kYes = 2, kNo = 4, kCancel = 8 };

using MessageHook =
    std::function<unsigned(const std::string& title, const std::string& text, unsigned buttons)>;
// Qt message boxes; set by the widget library (message_boxes.cpp) when it is loaded.
// Without them a question takes its default answer.
using MessageBoxes = unsigned (*)(const std::string& title, const std::string& text,
                                  unsigned buttons, unsigned defaultButton);
void setMessageBoxes(MessageBoxes boxes);
// An empty hook restores the message boxes; returns the previous hook.
MessageHook setMessageHook(MessageHook hook);
unsigned ask(const std::string& title, const std::string& text, unsigned buttons,
             unsigned defaultButton);
void tell(const std::string& title, const std::string& text);

}  // namespace corvix::rubrica
