// Wizard:GeneratePassword: the window that makes a password of a chosen kind, puts it on
// the clipboard (marked secret, cleared after 30 s) and shows it.
#pragma once

#include <QButtonGroup>
#include <QGroupBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <map>
#include <string>

#include "framework/window_manager.h"

namespace corvix::security {

class Wizard_GeneratePassword : public framework::WindowManager {
  public:
    Wizard_GeneratePassword();

    int init() override;
    void kill() override;
    bool takeAccepted(QWidget* control) override;

    // The window's values (the radio buttons and the size entry).
    std::string type() const;
    void setType(const std::string& type);  // "" checks no type
    std::string concatenation() const;
    QLineEdit* sizeEntry() const { return size_; }
    QPushButton* okButton() const { return ok_; }

  private:
    void applyDependentControls();
    void generate();

    QPointer<QLineEdit> size_;
    QPointer<QPushButton> ok_;
    QPointer<QGroupBox> concatGroup_;
    std::map<std::string, QPointer<QRadioButton>> types_;
    std::map<std::string, QPointer<QRadioButton>> joins_;
    QButtonGroup* typeGroup_ = nullptr;
    bool tableOpen_ = false;
};

// Opens the window on a thread of its own; returns the thread number (0 = not opened).
int startGeneratePassword();

}  // namespace corvix::security
