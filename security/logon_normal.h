// Logon:Normal: the master password typed into one line.
#pragma once

#include "security/logon_dialog.h"

class QLineEdit;

namespace corvix::security {

class Logon_Normal : public LogonDialog {
    Q_OBJECT
  public:
    explicit Logon_Normal(const std::string& prompt, QWidget* parent = nullptr);
    QLineEdit* entryLine() const { return edit_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

  private:
    QLineEdit* edit_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace corvix::security
