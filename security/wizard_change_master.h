// Wizard:ChangeMasterPassword: sets, changes or removes the master password on the medium
// the settings choose, leaving every other setting alone. Modal on the frame's thread.
// Continue runs the steps of security/password_change.h.
#pragma once

#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include "framework/form.h"

namespace corvix::framework {
class VaultManagers;
}

namespace corvix::security {

class Wizard_ChangeMasterPassword : public framework::FormManager {
  public:
    explicit Wizard_ChangeMasterPassword(framework::VaultManagers& managers);
    ~Wizard_ChangeMasterPassword() override;

    // The explanation as shown, one line per entry (hidden lines left out).
    QStringList shownLines() const;
    QPushButton* continueButton() const { return continue_; }
    QPushButton* cancelButton() const { return cancel_; }

  protected:
    int build() override;
    void setupWindow() override;
    bool takeAccepted(QWidget* control) override;
    void kill() override;

  private:
    framework::VaultManagers& m_;
    framework::RelationFormTable table_;
    bool masterOpen_ = false;
    QList<QLabel*> lines_;
    QPointer<QLabel> medium_;
    QPointer<QPushButton> continue_, cancel_, help_;
};

// Runs it modally (the frame's Change Master Password); returns the response.
int runWizardChangeMasterPassword();

}  // namespace corvix::security
