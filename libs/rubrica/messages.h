// How the library tells and asks: through a hook the host or a test installs, else Qt
// message boxes. Buttons and answers are bit values: 1 OK, 2 Yes, 4 No, 8 Cancel.
#pragma once

#include <functional>
#include <string>

namespace corvix::rubrica {

enum MessageButton : unsigned { kOk = 1, kYes = 2, kNo = 4, kCancel = 8 };

using MessageHook =
    std::function<unsigned(const std::string& title, const std::string& text, unsigned buttons)>;
// An empty hook restores the message boxes; returns the previous hook.
MessageHook setMessageHook(MessageHook hook);
unsigned ask(const std::string& title, const std::string& text, unsigned buttons,
             unsigned defaultButton);
void tell(const std::string& title, const std::string& text);

}  // namespace corvix::rubrica
