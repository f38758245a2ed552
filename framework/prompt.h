// Every message box and question of the program goes through one Prompt: Qt message
// boxes in the program, a scripted recorder in tests and in the command-line tool.
#pragma once

#include <deque>
#include <string>
#include <vector>

namespace corvix::framework {

enum class Icon { None, Information, Question, Exclamation, Hand };

enum Button : unsigned {
    kButtonNone = 0,
    kButtonOk = 1,
    kButtonYes = 2,
    kButtonNo = 4,
    kButtonCancel = 8,
    kButtonAbort = 16,
    kButtonRetry = 32,
    kButtonIgnore = 64,
};

class Prompt {
public:
    virtual ~Prompt() = default;
    // Shows a message; buttons is a set of Button bits. Returns the button chosen
    // (closing the box counts as Cancel when offered, else the default).
    virtual Button ask(const std::string& title, const std::string& text, Icon icon,
                       unsigned buttons, Button defaultButton) = 0;
};

// The process-wide prompt. Until one is installed, a ScriptedPrompt with no answers.
Prompt& prompt();
// Installs p (not owned; nullptr restores the default). Returns the previous one.
Prompt* setPrompt(Prompt* p);

// Answers from a script and records every question, for tests and the CLI.
class ScriptedPrompt : public Prompt {
public:
    struct Asked {
        std::string title;
        std::string text;
        Icon icon;
        unsigned buttons;
        Button defaultButton;
    };
    Button ask(const std::string& title, const std::string& text, Icon icon, unsigned buttons,
               Button defaultButton) override;
    void answer(Button b) { answers_.push_back(b); }  // queued answers, first in first out
    const std::vector<Asked>& asked() const { return asked_; }
    void reset() {
        answers_.clear();
        asked_.clear();
    }

private:
    std::deque<Button> answers_;  // when empty, the default button is chosen
    std::vector<Asked> asked_;
};

// Writes each message as "title: text" to standard error (the CLI) and answers with the
// default button.
class StderrPrompt : public Prompt {
public:
    Button ask(const std::string& title, const std::string& text, Icon icon, unsigned buttons,
               Button defaultButton) override;
};

}  // namespace corvix::framework
