#include "framework/prompt.h"

#include <cstdio>

namespace corvix::framework {

namespace {
ScriptedPrompt& defaultPrompt() {
    static ScriptedPrompt p;
    return p;
}
Prompt* installed = nullptr;
}  // namespace

Prompt& prompt() { return installed ? *installed : defaultPrompt(); }

Prompt* setPrompt(Prompt* p) {
    Prompt* previous = installed;
    installed = p;
    return previous;
}

Button ScriptedPrompt::ask(const std::string& title, const std::string& text, Icon icon,
                           unsigned buttons, Button defaultButton) {
    asked_.push_back({title, text, icon, buttons, defaultButton});
    if (answers_.empty()) return defaultButton;
    Button b = answers_.front();
    answers_.pop_front();
    return b;
}

Button StderrPrompt::ask(const std::string& title, const std::string& text, Icon, unsigned,
                         Button defaultButton) {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    return defaultButton;
}

}  // namespace corvix::framework
