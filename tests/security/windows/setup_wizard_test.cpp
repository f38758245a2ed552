// The set-up wizard and the change-master-password wizard over a real vault: pages,
// enabling rules, the OK sequence with its messages, and what reaches the master record.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "runtime/date.h"
#include "security/password_change.h"
#include "security/select_cvgsd.h"
#include "security/session.h"
#include "security/wizard_change_master.h"
#include "security/wizard_setup.h"
#include "security_window_fixture.h"
#include "vault/prime.h"

namespace corvix::security_test {
namespace {

using namespace corvix::framework;
using namespace corvix::security;

class SetupWizardTest : public SecurityWindowTest {
  protected:
    void SetUp() override {
        SecurityWindowTest::SetUp();
        setFirstSetupCancelled([this] { ++closeDowns_; });
        setFirstSetupCompleted([this] { ++completions_; });
    }
    void TearDown() override {
        setFirstSetupCancelled({});
        setFirstSetupCompleted({});
        SecurityWindowTest::TearDown();
    }
    QPointer<Wizard_Setup> open() {
        auto* w = new Wizard_Setup(*m_);
        EXPECT_NE(w->start(), 0);
        return w;
    }
    // A real click on the button's own text (a check box stretched by its layout only
    // reacts there).
    static void click(QAbstractButton* b) {
        ASSERT_TRUE(b);
        ASSERT_TRUE(b->isEnabled() && b->isVisible()) << b->text().toStdString();
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(8, b->height() / 2));
    }
    static vault::MasRecord typedMaster(const std::string& password) {
        vault::MasRecord r;
        vault::primeNewVaultMaster(r, runtime::today());
        r.Password = password;
        r.EncPassword = "identity-1";
        r.GSD_ID = 0;
        return r;
    }
    int closeDowns_ = 0;
    int completions_ = 0;
};

TEST_F(SetupWizardTest, NewVaultWalksThePagesAndStoresThePasswordIdentityAndDefaults) {
    QPointer<Wizard_Setup> w = open();
    ASSERT_TRUE(w);
    EXPECT_EQ(w->window()->windowTitle(), "Setup Wizard (New)");
    QTabWidget* pages = w->pages();
    ASSERT_EQ(pages->count(), 5);
    EXPECT_EQ(pages->tabText(0), "Welcome");
    EXPECT_FALSE(w->button("&Back")->isEnabled());
    // Enabling rules follow their checks.
    EXPECT_FALSE(w->themeButton()->isEnabled());
    EXPECT_TRUE(w->monitorCheck()->isChecked());
    EXPECT_EQ(w->timeoutEntry()->text(), "10");
    EXPECT_FALSE(w->soundGroup()->isEnabled());
    const char* shots[5] = {"setup-welcome.png", "setup-basic.png", "setup-inactivity.png",
                            "setup-custom-fields.png", "setup-sound.png"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(pages->currentIndex(), i);
        screenshot(w->window(), shots[i]);
        if (i == 1) {
            click(w->imageCheck());
            EXPECT_TRUE(w->themeButton()->isEnabled());
            click(w->imageCheck());
        } else if (i == 2) {
            click(w->monitorCheck());
            EXPECT_FALSE(w->timeoutEntry()->isEnabled());
            click(w->monitorCheck());
        } else if (i == 4) {
            click(w->soundsCheck());
            EXPECT_TRUE(w->soundGroup()->isEnabled());
            Wizard_Setup::setSoundFileChooser(
                [](QWidget*) { return QString("/sounds/click.wav"); });
            click(w->soundButton(1));
            Wizard_Setup::setSoundFileChooser({});
        }
        if (i < 4) click(w->button("&Next"));
    }
    EXPECT_FALSE(w->button("&Next")->isEnabled());
    EXPECT_EQ(w->customEntry(1)->text(), "&Custom:");
    EXPECT_EQ(w->customEntry(2)->text(), "C&redit Card:");
    EXPECT_EQ(w->customEntry(3)->text(), "O&ther:");

    answer("Sesame 1");
    answer("Sesame 1");
    click(w->button("&OK"));
    settle();
    EXPECT_FALSE(w) << "the wizard is still open";
    EXPECT_EQ(messages(), (std::vector<std::string>{std::string("Tip: ") + kNewVaultPasswordTip,
                                                    std::string("Tip: ") + kSetupCompletedTip}));
    ASSERT_EQ(asked_.size(), 2u);
    EXPECT_EQ(asked_[0].window, LogonWindow::Normal);
    EXPECT_EQ(asked_[0].prompt, "Enter new master password");
    EXPECT_EQ(asked_[1].prompt, "Re-enter new password to confirm");
    EXPECT_EQ(asked_[1].expected, "Sesame 1");
    std::optional<vault::MasRecord> stored = readMaster();
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->MAS_ID, 1);
    EXPECT_EQ(stored->Password, "Sesame 1");
    EXPECT_EQ(stored->EncPassword, "Sesame 1");
    EXPECT_EQ(stored->InactivityTimeout, 10);
    EXPECT_EQ(stored->Custom2, "C&redit Card:");
    EXPECT_EQ(stored->PlaySounds, 1);
    EXPECT_EQ(stored->Sound_Click, "/sounds/click.wav");
    EXPECT_EQ(MasterCopy().Password, "Sesame 1");
    EXPECT_EQ(InstallationId(), "Sesame 1");
    EXPECT_EQ(closeDowns_, 0);
    EXPECT_EQ(completions_, 1);  // the frame may let the user log on now
    EXPECT_EQ(categories(), std::vector<std::string>{"Personal"});  // accounts can be saved
}

TEST_F(SetupWizardTest, CancelledFirstSetUpEndsTheProgramAndTheNextStartAsksAgain) {
    QPointer<Wizard_Setup> w = open();
    // A cancelled password keeps the wizard open, focused on Cancel.
    answer(std::nullopt);
    click(w->button("&OK"));
    EXPECT_TRUE(w && w->window()->isVisible());
    EXPECT_EQ(messages(),
              (std::vector<std::string>{std::string("Tip: ") + kNewVaultPasswordTip,
                                        "Information: The change was cancelled.",
                                        std::string("Note: ") + kPasswordCancelledNote}));
    EXPECT_EQ(w->window()->focusWidget(), w->button("Cancel"));
    click(w->button("Cancel"));
    settle();
    EXPECT_FALSE(w);
    EXPECT_EQ(closeDowns_, 1);
    EXPECT_EQ(completions_, 0);
    EXPECT_FALSE(readMaster());
    QPointer<Wizard_Setup> again = open();
    EXPECT_EQ(again->window()->windowTitle(), "Setup Wizard (New)");
}

TEST_F(SetupWizardTest, DifferingEntriesStayThenABlankPasswordIsAllowed) {
    QPointer<Wizard_Setup> w = open();
    answer("first");
    answer("second");
    click(w->button("&OK"));
    ASSERT_TRUE(w);
    EXPECT_EQ(messages().at(1), "Error: The two passwords do not match.");
    EXPECT_EQ(messages().at(2), std::string("Note: ") + kPasswordCancelledNote);
    EXPECT_FALSE(readMaster());
    answer("");
    answer("");
    click(w->button("&OK"));
    settle();
    std::optional<vault::MasRecord> stored = readMaster();
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->Password, "");
    // Without a password the identity is the day of the set-up.
    EXPECT_EQ(stored->EncPassword, std::to_string(runtime::today()));
    EXPECT_TRUE(CheckMasterPassword());
}

TEST_F(SetupWizardTest, ChangingOnlyInactivityAndLabelsAsksNoPasswordAndKeepsTheIdentity) {
    storeMaster(typedMaster("pw"));
    MasterCopy() = *readMaster();
    QPointer<Wizard_Setup> w = open();
    EXPECT_EQ(w->window()->windowTitle(), "Setup Wizard (Change)");
    EXPECT_EQ(w->pages()->tabText(0), "Basic");  // no welcome for a vault set up already
    w->timeoutEntry()->setText("25");
    w->customEntry(1)->setText("&Bank:");
    click(w->button("&OK"));
    settle();
    EXPECT_TRUE(asked_.empty());
    EXPECT_TRUE(messages().empty()) << messages().front();
    std::optional<vault::MasRecord> stored = readMaster();
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->InactivityTimeout, 25);
    EXPECT_EQ(stored->Custom1, "&Bank:");
    EXPECT_EQ(stored->Password, "pw");
    EXPECT_EQ(stored->EncPassword, "identity-1");
    EXPECT_EQ(MasterCopy().InactivityTimeout, 25);
}

TEST_F(SetupWizardTest, ImageCheckNeedsAThemeAndANewPasswordRecordedOnIt) {
    addTheme("Harbour");
    const int32_t lake = addTheme("Lake");
    storeMaster(typedMaster("pw"));
    MasterCopy() = *readMaster();
    QPointer<Wizard_Setup> w = open();
    click(w->imageCheck());
    click(w->button("&OK"));
    EXPECT_EQ(messages(), std::vector<std::string>{"Error: You must select an image Theme."});
    EXPECT_EQ(w->window()->focusWidget(), w->themeButton());

    onOpen("SelectCVGSD", [](WindowManager& wm) {
        auto& picker = static_cast<SelectCVGSD&>(wm);
        EXPECT_EQ(picker.window()->windowTitle(), "Select Theme");
        picker.browse().down();  // Harbour, then Lake
        picker.button("&Select")->click();
    });
    click(w->themeButton());
    EXPECT_EQ(w->themeDescription()->text(), "Lake");

    // A cancelled new password keeps the old settings in force.
    answer(std::nullopt);
    click(w->button("&OK"));
    ASSERT_EQ(asked_.size(), 1u);
    EXPECT_EQ(asked_[0].window, LogonWindow::Image);
    EXPECT_EQ(asked_[0].masterCopyTheme, lake);  // shown on the chosen theme
    EXPECT_EQ(messages().at(1), std::string("Tip: ") + kNewImagePasswordTip);
    EXPECT_EQ(MasterCopy().GSD_ID, 0);
    EXPECT_EQ(MasterCopy().Password, "pw");
    EXPECT_EQ(m_->masRecord->Password, "pw");  // not a blank one waiting to be saved
    EXPECT_EQ(readMaster()->UseMasterPasswordImage, 0);

    answer("%#!");
    answer("%#!");
    click(w->button("&OK"));
    settle();
    std::optional<vault::MasRecord> stored = readMaster();
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->UseMasterPasswordImage, 1);
    EXPECT_EQ(stored->GSD_ID, lake);
    EXPECT_EQ(stored->Password, "%#!");
    EXPECT_EQ(stored->EncPassword, "identity-1");
}

class ChangeMasterTest : public SetupWizardTest {
  protected:
    // Runs the wizard; script drives it from inside its loop.
    int run(std::function<void(Wizard_ChangeMasterPassword&)> script) {
        onOpen("Wizard:ChangeMasterPassword", [script](WindowManager& wm) {
            script(static_cast<Wizard_ChangeMasterPassword&>(wm));
        });
        Wizard_ChangeMasterPassword wizard(*m_);
        return wizard.run();
    }
};

TEST_F(ChangeMasterTest, LoggedOnAsksOnlyTheNewPasswordTwice) {
    storeMaster(typedMaster("old"));
    MasterCopy() = *readMaster();
    LoggedOn() = true;
    answer("new");
    answer("new");
    const int response = run([this](Wizard_ChangeMasterPassword& w) {
        EXPECT_EQ(w.window()->windowTitle(), "Change Master Password");
        EXPECT_EQ(w.shownLines(),
                  (QStringList{"This process allows you to set (or change) your master password.",
                               "You will be asked to enter your new master password twice.",
                               "If you do not wish to use a master password, simply press the OK",
                               "button without entering a password."}));
        EXPECT_EQ(w.window()->findChild<QLabel*>("Medium")->text(), "Standard encrypted text.");
        screenshot(w.window(), "change-master-password.png");
        w.continueButton()->click();
    });
    EXPECT_EQ(response, kRequestCompleted);
    ASSERT_EQ(asked_.size(), 2u);
    EXPECT_EQ(asked_[0].prompt, "Enter new master password");
    EXPECT_EQ(readMaster()->Password, "new");
    EXPECT_EQ(readMaster()->EncPassword, "identity-1");
    EXPECT_EQ(MasterCopy().Password, "new");
}

TEST_F(ChangeMasterTest, LoggedOffAWrongCurrentPasswordStopsThenNothingTwiceRemovesIt) {
    storeMaster(typedMaster("old"));
    MasterCopy() = *readMaster();
    answer("olD");
    answer("old");
    answer("");
    answer("");
    run([this](Wizard_ChangeMasterPassword& w) {
        EXPECT_EQ(w.shownLines().size(), 6);
        w.continueButton()->click();
        EXPECT_EQ(messages(), std::vector<std::string>{"Information: The password did not match."});
        EXPECT_EQ(w.window()->focusWidget(), w.cancelButton());
        EXPECT_EQ(readMaster()->Password, "old");
        w.continueButton()->click();
    });
    ASSERT_EQ(asked_.size(), 4u);
    EXPECT_EQ(asked_[0].prompt, "Enter current master password");
    EXPECT_EQ(asked_[0].expected, "old");
    EXPECT_EQ(readMaster()->Password, "");
    EXPECT_TRUE(CheckMasterPassword());  // the next logon needs no window
    EXPECT_EQ(asked_.size(), 4u);
}

TEST_F(ChangeMasterTest, WithoutAPasswordNothingCurrentIsAskedAndAnImageMediumIsNamed) {
    const int32_t theme = addTheme("Pier");
    vault::MasRecord r = typedMaster("");
    r.UseMasterPasswordImage = 1;
    r.GSD_ID = theme;
    storeMaster(r);
    MasterCopy() = *readMaster();
    answer("AB");
    answer("AC");  // differs
    run([this](Wizard_ChangeMasterPassword& w) {
        EXPECT_EQ(w.window()->findChild<QLabel*>("Medium")->text(),
                  "An encrypted recording of mouse-clicks on a selected image.");
        w.continueButton()->click();
        EXPECT_EQ(messages(), std::vector<std::string>{"Error: The two passwords do not match."});
        w.cancelButton()->click();
    });
    ASSERT_EQ(asked_.size(), 2u);
    EXPECT_EQ(asked_[0].window, LogonWindow::Image);
    EXPECT_EQ(readMaster()->Password, "");
    // Escape ends it like Cancel.
    EXPECT_EQ(
        run([](Wizard_ChangeMasterPassword& w) { QTest::keyClick(w.window(), Qt::Key_Escape); }),
        kRequestCancelled);
}

}  // namespace
}  // namespace corvix::security_test
