// The library's numbered messages (M1 ... M19), their default texts and the FRL.Ini
// overrides, and the sinks through which messages and progress are shown.
#pragma once

#include <string>

#include "libs/ferrule/ferrule.h"

namespace corvix::ferrule {

// Second default texts of messages that have two (M6, M14).
enum class Form { First, Second };

// The text of message n: FRL.Ini's M<n> in its section, else the default text.
std::string messageText(int n, Form form = Form::First);

// A stop message; when the user chooses to end, the application ends. Returns true when
// the program goes on (always, unless the terminator returned after ending was asked).
bool stopMessage(const std::string& text);
// A message after which the application ends. Returns only when the terminator does
// (tests); the caller then abandons what it was doing.
void haltMessage(const std::string& text);
// Stop message shown only with /DEBUGFRL (or /DEBUGFRLi for debugDetail).
void debugMessage(const std::string& text);
void debugDetail(const std::string& text);

void endApplication(int code);

MessageSink& messages();
ProgressSink& progress();

// Progress windows for the length of a scope.
class ProgressWindow {
  public:
    ProgressWindow(const std::string& text, const std::string& fileName, int64_t total);
    ~ProgressWindow();
    void setText(const std::string& text) { progress().setText(text); }
    void setTotal(int64_t total) { progress().setTotal(total); }
    void setValue(int64_t done) { progress().setValue(done); }
    void close();

  private:
    bool open_ = true;
};

}  // namespace corvix::ferrule
