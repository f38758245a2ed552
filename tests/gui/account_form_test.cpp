// The account form: the expiry rule's three cases, category completion and validation,
// the append buttons, the window lists, custom prompts, masking, view mode and the
// Calendar.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>

#include "accounts/calendar.h"
#include "accounts/update_cvpas.h"
#include "accounts_fixture.h"
#include "runtime/date.h"
#include "runtime/picture.h"
#include "security/session.h"
#include "send/windows.h"
#include "vault/tables.h"

namespace corvix::gui_test {
namespace {

using namespace corvix::framework;
using accounts::Calendar;
using accounts::UpdateCVPAS;
namespace pas = vault::pas;

class AccountFormTest : public AccountsTest {
  protected:
    int runForm(int request, std::function<void(UpdateCVPAS&)> script, int id = 0) {
        if (id) {
            EXPECT_EQ(m_->pas.Open(), kLevelBenign);
            m_->pasRecord->PAS_ID = id;
            EXPECT_EQ(m_->pas.Fetch(pas::K_PAS_ID), kLevelBenign);
        }
        onOpen("UpdateCVPAS", [script](WindowManager& w) { script(static_cast<UpdateCVPAS&>(w)); });
        UpdateCVPAS form(m_->pasRelations, m_->catRelations);
        form.request = request;
        const int response = form.run();
        if (id) m_->pas.Close();
        return response;
    }
    static void setText(QLineEdit* e, const QString& text) {
        e->selectAll();
        type(e, text);
    }
};

TEST_F(AccountFormTest, ExpiryRuleOnNewOnNotesOnlyAndOnAPasswordChangeWithALaterDate) {
    addCategory("Bank");
    const int32_t t = today();
    // New, interval 30, no expiry date: expires in 30 days.
    EXPECT_EQ(runForm(kInsertRecord,
                      [](UpdateCVPAS& f) {
                          setText(f.entry(pas::Category), "Bank");
                          setText(f.entry(pas::Description), "new");
                          setText(f.entry(pas::Password), "pw");
                          f.intervalSpin()->setValue(30);
                          f.button("&OK")->click();
                      }),
              kRequestCompleted);
    auto saved = stored(1);
    EXPECT_EQ(saved.LastChange, t);
    EXPECT_EQ(saved.Expires, t + 30);

    // Only the notes change: last changed today, expiry untouched.
    vault::PasRecord old;
    old.Category = "Bank";
    old.Description = "old";
    old.Password = "same";
    old.LastChange = t - 100;
    old.Expires = t - 5;
    old.ExpiryInterval = 30;
    const int id = addFull(old);
    EXPECT_EQ(runForm(
                  kChangeRecord,
                  [](UpdateCVPAS& f) {
                      f.sheet()->setCurrentIndex(1);
                      type(f.window()->findChild<QPlainTextEdit*>("PAS:Notes"), "note");
                      f.button("&OK")->click();
                  },
                  id),
              kRequestCompleted);
    saved = stored(id);
    EXPECT_EQ(saved.Notes, "note");
    EXPECT_EQ(saved.LastChange, t);
    EXPECT_EQ(saved.Expires, t - 5);

    // A new password with an expiry already later than today + interval keeps it.
    old.Description = "later";
    old.Expires = t + 90;
    const int later = addFull(old);
    runForm(
        kChangeRecord,
        [](UpdateCVPAS& f) {
            setText(f.entry(pas::Password), "changed");
            f.button("&OK")->click();
        },
        later);
    saved = stored(later);
    EXPECT_EQ(saved.Password, "changed");
    EXPECT_EQ(saved.Expires, t + 90);
    // ... and one whose expiry is sooner moves on to today + interval.
    runForm(
        kChangeRecord,
        [](UpdateCVPAS& f) {
            setText(f.entry(pas::Password), "changed again");
            f.button("&OK")->click();
        },
        id);
    EXPECT_EQ(stored(id).Expires, t + 30);
}

TEST_F(AccountFormTest, CategoryCompletesAsTypedAndAMissingOneOpensTheCategoriesList) {
    addCategory("Apple");
    addCategory("Business");
    addCategory("Busy Bee");
    QString text, selected;
    int lookups = 0;
    onOpen("BrowseCVCAT", [&](WindowManager& w) {
        ++lookups;
        w.post(kRequestCancelled);  // nothing chosen
    });
    runForm(kInsertRecord, [&](UpdateCVPAS& f) {
        QLineEdit* c = f.entry(pas::Category);
        f.window()->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(f.window()));
        c->setFocus();
        c->clear();
        QTest::keyClicks(c, "bu");
        text = c->text();
        selected = c->selectedText();
        // Typing on overwrites the completion: "busy" finds "Busy Bee".
        QTest::keyClicks(c, "sy");
        EXPECT_EQ(c->text(), "Busy Bee");
        EXPECT_EQ(c->selectedText(), " Bee");
        // Backspace shortens the prefix by one and completes again.
        QTest::keyClick(c, Qt::Key_Backspace);
        EXPECT_EQ(c->text(), "Business");
        EXPECT_EQ(c->selectedText(), "iness");
        // A name no category begins with is left as typed; leaving it asks the list.
        c->selectAll();
        QTest::keyClicks(c, "zz");
        EXPECT_EQ(c->text(), "zz");
        QTest::keyClick(c, Qt::Key_Tab);
        QApplication::processEvents();
        EXPECT_EQ(lookups, 1);
        EXPECT_EQ(f.window()->focusWidget(), c);  // back to the entry
        prompt_.answer(kButtonNo);
        f.button("Cancel")->click();
    });
    EXPECT_EQ(text, "Business");
    EXPECT_EQ(selected, "siness");
}

TEST_F(AccountFormTest, AppendButtonsWindowListsCustomPromptsAndMaskedPassword) {
    addCategory("Bank");
    security::MasterCopy().Custom1 = "PIN";
    security::MasterCopy().Custom2 = "";
    security::MasterCopy().RevealPasswords = 0;
    desk_.addWindow("Editor", "", {"nothing"});
    desk_.addWindow("Bank of Example - Login", "", {"User name:", "Password:"});
    runForm(kInsertRecord, [&](UpdateCVPAS& f) {
        EXPECT_EQ(f.window()->windowTitle(), "New Password Account");
        EXPECT_EQ(f.customPrompt(1)->text(), "PIN");
        EXPECT_EQ(f.customPrompt(2)->text(), "");
        EXPECT_EQ(f.customPrompt(3)->text(), "");
        EXPECT_EQ(f.entry(pas::Password)->echoMode(), QLineEdit::Password);
        setText(f.entry(pas::Category), "Bank");
        setText(f.entry(pas::Description), "d");
        setText(f.entry(pas::Password), "typed secret");

        f.sheet()->setCurrentIndex(2);
        f.targetWindow()->setFocus();
        f.targetWindow()->setCurrentText("bank*");
        f.refreshWindowLists();
        EXPECT_EQ(f.targetWindow()->count(), 2);
        ASSERT_EQ(f.requiredText()->count(), 2);
        EXPECT_EQ(f.requiredText()->itemText(1), "Password:");
        f.targetWindow()->setCurrentText("no such window");
        f.refreshWindowLists();
        EXPECT_EQ(f.requiredText()->count(), 0);

        QLineEdit* action = f.entry(pas::Action);
        setText(action, "[name]");
        f.modifierList()->setCurrentText("Ctrl");
        f.keyList()->setCurrentText("v");
        f.button("&Append")->click();
        EXPECT_EQ(action->text(), "[name][Ctrl-v]");
        f.modifierList()->setCurrentIndex(0);
        f.keyList()->setCurrentText("TAB");
        f.button("&Append")->click();
        f.valueList()->setCurrentText("PASSWORD");
        f.button("A&ppend")->click();
        EXPECT_EQ(action->text(), "[name][Ctrl-v][TAB][PASSWORD]");
        EXPECT_EQ(f.window()->focusWidget(), action);
        f.button("&OK")->click();
    });
    const auto saved = stored(1);
    EXPECT_EQ(saved.Password, "typed secret");
    EXPECT_EQ(saved.Action, "[name][Ctrl-v][TAB][PASSWORD]");
    EXPECT_EQ(saved.TargetWindow, "no such window");
}

TEST_F(AccountFormTest, NewAccountTargetsTheLastForeignWindowAndTheDocumentPickerFillsTheUrl) {
    addCategory("Bank");
    const auto w = desk_.addWindow("Mail - Inbox");
    send::LastForeignWindow = w;
    accounts::setDocumentPicker([](QWidget*, const QString& title, const QString& filters) {
        EXPECT_EQ(title, "Select document");
        EXPECT_EQ(filters, "All Files (*.*)");
        return QString("/tmp/notes.txt");
    });
    prompt_.answer(kButtonNo);
    runForm(kInsertRecord, [](UpdateCVPAS& f) {
        EXPECT_EQ(f.targetWindow()->currentText(), "Mail - Inbox");
        f.window()->findChild<QPushButton*>("Document")->click();
        EXPECT_EQ(f.entry(pas::URL)->text(), "/tmp/notes.txt");
        f.button("Cancel")->click();  // asks whether to save: No
    });
    accounts::setDocumentPicker({});
    ASSERT_TRUE(lastAsked());
    EXPECT_EQ(lastAsked()->title, "Save Record");
}

TEST_F(AccountFormTest, ViewModeIsReadOnlyAndClosesWithoutAQuestion) {
    vault::PasRecord a;
    a.Category = "Bank";
    a.Description = "shown";
    const int id = addFull(a);
    ThreadRegistry::instance().viewRequests = 1;
    const int response = runForm(
        kChangeRecord,
        [](UpdateCVPAS& f) {
            EXPECT_EQ(f.window()->windowTitle(), "View Password Account");
            EXPECT_FALSE(f.entry(pas::Description)->isEnabled());
            EXPECT_FALSE(f.targetWindow()->isEnabled());
            EXPECT_FALSE(f.calendarButton()->isEnabled());
            EXPECT_FALSE(f.button("&OK")->isVisible());
            f.button("Cl&ose")->click();
        },
        id);
    ThreadRegistry::instance().viewRequests = 0;
    EXPECT_EQ(response, kRequestCancelled);
    EXPECT_TRUE(prompt_.asked().empty());
}

TEST_F(AccountFormTest, CalendarShowsSixWeeksStepsAndWrapsYearsAndReturnsTheChoice) {
    const int32_t given = runtime::standardDate(2099, 12, 15);
    int32_t picked = 0;
    onOpen("Calendar", [&](WindowManager& w) {
        auto& c = static_cast<Calendar&>(w);
        EXPECT_EQ(c.window()->windowTitle(), "Select Date");
        EXPECT_EQ(c.heading(), "December, 2099");
        // 1 December 2099 is a Tuesday: buttons 0 and 1 are blank, 2 is the first.
        EXPECT_EQ(c.dayButton(1)->text(), "");
        EXPECT_EQ(c.dayButton(2)->text(), "1");
        EXPECT_EQ(c.dayButton(32)->text(), "31");
        EXPECT_EQ(c.dayButton(41)->text(), "");
        c.stepMonth(1);
        EXPECT_EQ(c.heading(), "January, 1801");
        c.stepMonth(-1);
        c.stepYear(1);
        EXPECT_EQ(c.year(), 1801);
        c.stepYear(-1);
        EXPECT_EQ(c.year(), 2099);
        c.stepMonth(-11);  // January 2099 starts on a Thursday
        EXPECT_EQ(c.dayButton(4)->text(), "1");
        c.dayButton(4 + 9)->click();
    });
    picked = Calendar(given).pick();
    EXPECT_EQ(picked, runtime::standardDate(2099, 1, 10));

    onOpen("Calendar", [](WindowManager& w) {
        static_cast<Calendar&>(w).stepYear(-3);
        static_cast<Calendar&>(w).button("Cancel")->click();
    });
    EXPECT_EQ(Calendar(given).pick(), given);
    onOpen("Calendar",
           [](WindowManager& w) { static_cast<Calendar&>(w).button("&Today")->click(); });
    EXPECT_EQ(Calendar(0).pick(), today());
}

}  // namespace
}  // namespace corvix::gui_test
