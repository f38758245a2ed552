// The program's Prompt: a Qt message box with the given title, text, icon and buttons.
#pragma once

#include "framework/prompt.h"

class QWidget;

namespace corvix::framework {

class QtPrompt : public Prompt {
  public:
    explicit QtPrompt(QWidget* parent = nullptr) : parent_(parent) {}
    Button ask(const std::string& title, const std::string& text, Icon icon, unsigned buttons,
               Button defaultButton) override;

  private:
    QWidget* parent_;
};

}  // namespace corvix::framework
