// The new-account wizard: each kind's pages and record, the URL guess from the clipboard
// and from browser windows, the first category (or the default when there is none), the
// browser check of the target, the send choices, and the events after Finish.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "accounts/wizard_add_password.h"
#include "accounts_fixture.h"
#include "runtime/date.h"
#include "send/windows.h"
#include "vault/prime.h"
#include "vault/tables.h"

namespace corvix::gui_test {
namespace {

using namespace corvix::framework;
using accounts::Wizard_AddPassword;
using W = Wizard_AddPassword;
namespace pas = vault::pas;

class WizardTest : public AccountsTest {
  protected:
    int runWizard(std::function<void(Wizard_AddPassword&)> script) {
        onOpen("Wizard:AddPassword",
               [script](WindowManager& w) { script(static_cast<Wizard_AddPassword&>(w)); });
        prompt_.reset();
        prompt_.answer(kButtonNo);  // Cancel never saves here
        Wizard_AddPassword wizard(m_->pasRelations, m_->catRelations);
        return wizard.run();
    }
};

TEST_F(WizardTest, KindsChoosePagesTitlesAndWatchAndKindDSkipsToOther) {
    QApplication::clipboard()->clear();
    addCategory(vault::kDefaultCategory);
    std::string title;
    runWizard([&](Wizard_AddPassword& w) {
        EXPECT_EQ(w.window()->windowTitle(), "New Password Account");
        EXPECT_EQ(w.kind(), 'A');
        EXPECT_FALSE(w.button("&Back")->isEnabled());
        EXPECT_TRUE(w.button("&Finish")->isHidden());
        w.chooseKind('D');
        title = w.window()->windowTitle().toStdString();
        EXPECT_EQ(w.shownPages(), (std::vector<int>{W::Introduction, W::Description, W::Other}));
        w.next();
        EXPECT_EQ(w.page(), W::Description);
        w.next();
        EXPECT_EQ(w.page(), W::Other);
        EXPECT_TRUE(w.button("&Next")->isHidden());
        EXPECT_FALSE(w.button("&Finish")->isHidden());
        w.next();  // stops on the last page
        EXPECT_EQ(w.page(), W::Other);
        w.back();
        EXPECT_EQ(w.page(), W::Description);

        w.chooseKind('C');
        EXPECT_EQ(w.shownPages(), (std::vector<int>{W::Introduction, W::Description, W::Password,
                                                    W::URL, W::Other}));
        EXPECT_EQ(w.window()->windowTitle(), "New Password Account - Store Password");
        w.chooseKind('B');
        EXPECT_EQ(w.window()->windowTitle(), "New Password Account - Store/Automatic Send");
        EXPECT_FALSE(w.pageShown(W::Other));
        w.chooseSend('B');
        w.entry(pas::Description)->setText("watched");
        w.entry(pas::Password)->setText("pw");
        while (w.page() != W::Send) w.next();
        w.button("&Finish")->click();
    });
    EXPECT_EQ(title, "New Password Account - Store General");
    const auto saved = stored(1);
    EXPECT_EQ(saved.Description, "watched");
    EXPECT_EQ(saved.Watch, 1);
    EXPECT_EQ(saved.Wait, 3);
    EXPECT_EQ(saved.Action, "[name][tab][password][enter]");
    EXPECT_EQ(saved.LastChange, today());
    EXPECT_EQ(saved.Expires, 0);
    // The frame rebuilds its watch list at once: the new account is watched.
    QApplication::processEvents();
    EXPECT_EQ(frameEvents_, std::vector<int>{1100});
}

TEST_F(WizardTest, KindAAfterBResetsWatchAndOtherKeepsTheActionForEditing) {
    addCategory(vault::kDefaultCategory);
    runWizard([&](Wizard_AddPassword& w) {
        w.chooseKind('B');
        w.chooseKind('A');
        w.chooseSend('C');
        EXPECT_EQ(w.entry(pas::Action)->text(), "[name][tab]");
        EXPECT_FALSE(w.entry(pas::Action)->isEnabled());
        EXPECT_TRUE(w.appendGroups()->isHidden());
        w.chooseSend('D');
        EXPECT_EQ(w.entry(pas::Action)->text(), "[name][tab]");
        EXPECT_TRUE(w.entry(pas::Action)->isEnabled());
        EXPECT_FALSE(w.appendGroups()->isHidden());
        w.keyList()->setCurrentText("ENTER");
        w.button("&Append")->click();
        w.entry(pas::Description)->setText("manual");
        while (!w.button("&Next")->isHidden()) w.next();
        EXPECT_EQ(w.page(), W::Send);
        w.button("&Finish")->click();
    });
    const auto saved = stored(1);
    EXPECT_EQ(saved.Watch, 0);
    EXPECT_EQ(saved.Wait, 1);
    EXPECT_EQ(saved.Action, "[name][tab][ENTER]");
}

TEST_F(WizardTest, UrlFromTheClipboardUnlessABrowserWindowIsOpen) {
    QApplication::clipboard()->setText("   www.Example.org/login");
    desk_.addWindow("Editor");
    std::string fromClipboard, fromWindow;
    runWizard([&](Wizard_AddPassword& w) {
        fromClipboard = w.entry(pas::URL)->text().toStdString();
        w.button("Cancel")->click();
    });
    desk_.addWindow("Bank - https://bank.example - Browser");
    runWizard([&](Wizard_AddPassword& w) {
        fromWindow = w.entry(pas::URL)->text().toStdString();
        w.button("Cancel")->click();
    });
    EXPECT_EQ(fromClipboard, "www.Example.org/login");
    EXPECT_EQ(fromWindow, "Bank - https://bank.example - Browser");
}

TEST_F(WizardTest, FirstCategoryInPhysicalOrderOrTheDefaultWhenThereIsNone) {
    std::string empty, first;
    runWizard([&](Wizard_AddPassword& w) {
        empty = w.entry(pas::Category)->text().toStdString();
        w.button("Cancel")->click();
    });
    addCategory("Zeta");
    addCategory("Alpha");
    runWizard([&](Wizard_AddPassword& w) {
        first = w.entry(pas::Category)->text().toStdString();
        w.button("Cancel")->click();
    });
    EXPECT_EQ(empty, vault::kDefaultCategory);
    EXPECT_EQ(first, "Zeta");
}

TEST_F(WizardTest, TargetCapturedFromTheLastWindowAndBrowsersHideTheRequiredText) {
    const auto mail = desk_.addWindow("Mail - Inbox", "", {"Password:"});
    send::LastForeignWindow = mail;
    runWizard([&](Wizard_AddPassword& w) {
        while (w.page() != W::Interaction) w.next();
        EXPECT_TRUE(w.requiredTextControls()->isHidden());  // no target yet
        w.targetWindow()->setFocus();
        QApplication::processEvents();
        EXPECT_EQ(w.targetWindow()->currentText(), "Mail - Inbox");
        EXPECT_EQ(w.requiredText()->count(), 1);
        w.targetWindow()->setCurrentText("Internet Explorer");
        emit w.targetWindow()->lineEdit()->editingFinished();
        EXPECT_TRUE(w.requiredTextControls()->isHidden());
        w.targetWindow()->setCurrentText("Mail*");
        emit w.targetWindow()->lineEdit()->editingFinished();
        EXPECT_FALSE(w.requiredTextControls()->isHidden());
        w.targetWindow()->setCurrentText("");
        emit w.targetWindow()->lineEdit()->editingFinished();
        EXPECT_TRUE(w.requiredTextControls()->isHidden());
        w.button("Cancel")->click();
    });
}

TEST_F(WizardTest, ViewModeChangesNothingAndCloseEndsAtOnce) {
    ThreadRegistry::instance().viewRequests = 1;
    std::vector<int> pages;
    const int response = runWizard([&](Wizard_AddPassword& w) {
        EXPECT_FALSE(w.entry(pas::Description)->isEnabled());
        EXPECT_FALSE(w.targetWindow()->isEnabled());
        w.chooseKind('B');
        while (w.page() != W::Send) w.next();
        pages.push_back(w.page());
        // The last page offers no Finish.
        EXPECT_TRUE(w.button("&Finish")->isHidden());
        EXPECT_EQ(w.button("Cancel"), nullptr);
        prompt_.reset();
        w.button("Cl&ose")->click();
    });
    ThreadRegistry::instance().viewRequests = 0;
    EXPECT_EQ(pages, std::vector<int>{W::Send});
    EXPECT_EQ(response, kRequestCancelled);
    EXPECT_TRUE(prompt_.asked().empty());
    EXPECT_TRUE(accounts().empty());
}

}  // namespace
}  // namespace corvix::gui_test
