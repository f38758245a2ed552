// How the library asks and tells: through a sink the host installs (its own prompt),
// else Qt message boxes. Buttons and answers are bit values: 1 OK, 2 Yes, 4 No, 8 Cancel.
#pragma once

#include <string>

namespace corvix::quillet {

enum MessageButton : unsigned { kOk = 1, kYes = 2, kNo = 4, kCancel = 8 };
enum class MessageIcon { None, Information, Question, Exclamation, Hand };

class MessageSink {
  public:
    virtual ~MessageSink() = default;
    // Returns the button chosen (closing counts as Cancel when offered, else the default).
    virtual unsigned ask(const std::string& title, const std::string& text, MessageIcon icon,
                         unsigned buttons, unsigned defaultButton) = 0;
};

// nullptr restores the Qt message boxes; returns the previous sink.
MessageSink* setMessageSink(MessageSink* sink);
unsigned ask(const std::string& title, const std::string& text, MessageIcon icon, unsigned buttons,
             unsigned defaultButton);
void tell(const std::string& title, const std::string& text,
          MessageIcon icon = MessageIcon::Exclamation);

}  // namespace corvix::quillet
