// Wizard:Setup: the form that creates (New) and edits (Change) the single master record:
// how passwords are shown, the image theme for the master password, the inactivity
// logoff, the captions of the custom account fields and the sounds. Its OK runs the set-up
// sequence (security/setup_sequence.h), which asks for a new master password when the
// vault is new or the password medium changes.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QWidget>
#include <functional>

#include "framework/form.h"
#include "security/setup_sequence.h"

namespace corvix::framework {
class VaultManagers;
}

namespace corvix::security {

// What ends the program when the very first set-up is cancelled (the frame binds its Exit).
void setFirstSetupCancelled(std::function<void()> closeDown);
// What follows a completed first set-up (the frame lets the user log on).
void setFirstSetupCompleted(std::function<void()> completed);

// Opens the wizard on a thread of its own (from the frame); returns the thread, 0 when it
// did not open.
int startWizardSetup();

class Wizard_Setup : public framework::FormManager {
  public:
    explicit Wizard_Setup(framework::VaultManagers& managers);
    ~Wizard_Setup() override;

    bool isNew() const { return opening_.isNew; }
    QTabWidget* pages() const { return pages_; }
    QPushButton* button(const QString& text) const;  // by caption ("&Next")
    QCheckBox* revealCheck() const { return reveal_; }
    QCheckBox* imageCheck() const { return image_; }
    QPushButton* themeButton() const { return theme_; }
    QLabel* themeDescription() const { return themeText_; }
    QCheckBox* monitorCheck() const { return monitor_; }
    QLineEdit* timeoutEntry() const { return timeout_; }
    QLineEdit* customEntry(int i) const { return custom_[i - 1]; }
    QCheckBox* soundsCheck() const { return sounds_; }
    QLineEdit* soundEntry(int i) const { return soundEntries_[i - 1]; }
    QPushButton* soundButton(int i) const { return soundButtons_[i - 1]; }
    QWidget* soundGroup() const { return soundGroup_; }

    // The sound file dialog; tests replace it. Returns the chosen path, "" when none.
    static void setSoundFileChooser(std::function<QString(QWidget* parent)> chooser);

  protected:
    int build() override;
    void primeFields() override;
    void setupWindow() override;
    bool takeAccepted(QWidget* control) override;
    void kill() override;

  private:
    QWidget* page(QWidget* parent, QTabWidget* pages, const char* title);
    void buildBasic(QWidget* page);
    void buildInactivity(QWidget* page);
    void buildCustom(QWidget* page);
    void buildSound(QWidget* page);
    void applyEnabling();
    void showThemeDescription();
    void chooseTheme();
    void chooseSound(int i);
    void movePage(int step);
    void ok();

    framework::VaultManagers& m_;
    framework::RelationFormTable table_;
    SetupOpening opening_;
    bool masterOpen_ = false;
    bool completed_ = false;
    QPointer<QTabWidget> pages_;
    QPointer<QCheckBox> reveal_, image_, monitor_, sounds_;
    QPointer<QPushButton> theme_, back_, next_, ok_, cancel_, help_;
    QPointer<QLabel> themeText_;
    QPointer<QLineEdit> timeout_;
    QPointer<QLineEdit> custom_[3];
    QPointer<QLineEdit> soundEntries_[3];
    QPointer<QPushButton> soundButtons_[3];
    QPointer<QWidget> soundGroup_;
};

}  // namespace corvix::security
