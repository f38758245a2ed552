// The accounts list: status icons, masking, enabling, single instance, the clipboard,
// Send through the simulated desktop, the tabs and their locators, and the event that
// tells the frame the accounts changed.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>

#include "accounts/account_rules.h"
#include "accounts/accounts_context.h"
#include "accounts/browse_cvpas.h"
#include "accounts/status_icons.h"
#include "accounts/update_cvpas.h"
#include "accounts_fixture.h"
#include "runtime/picture.h"
#include "security/session.h"
#include "vault/tables.h"

namespace corvix::gui_test {
namespace {

using namespace corvix::framework;
using accounts::BrowseCVPAS;
namespace pas = vault::pas;

class AccountsListTest : public AccountsTest {
  protected:
    BrowseCVPAS* open() {
        auto* b = new BrowseCVPAS(m_->pasRelations, m_->catRelations);
        if (!b->start()) return nullptr;
        QApplication::processEvents();
        return b;
    }
    static QString cell(BrowseCVPAS* b, int row, int column, int role = Qt::DisplayRole) {
        const auto& model = b->browse().model();
        return model.data(model.index(row, column), role).toString();
    }
    static std::vector<std::string> column(BrowseCVPAS* b, int c) {
        std::vector<std::string> out;
        for (int r = 0; r < b->browse().model().rowCount(); ++r)
            out.push_back(cell(b, r, c).toStdString());
        return out;
    }
    static int64_t iconKey(BrowseCVPAS* b, int row) {
        const auto& model = b->browse().model();
        return model.data(model.index(row, 0), Qt::DecorationRole).value<QIcon>().cacheKey();
    }
    vault::PasRecord account(const std::string& description) {
        vault::PasRecord a;
        a.Category = "Bank";
        a.Description = description;
        return a;
    }
};

TEST_F(AccountsListTest, StatusIconsAroundTodayAndAWeekAheadExpiryBeforeWatch) {
    const int32_t t = today();
    using accounts::statusIcon;
    EXPECT_EQ(statusIcon(t - 1, true, t), accounts::kIconExpired);
    EXPECT_EQ(statusIcon(t, false, t), accounts::kIconExpired);
    EXPECT_EQ(statusIcon(t + 1, true, t), accounts::kIconExpiring);
    EXPECT_EQ(statusIcon(t + 6, false, t), accounts::kIconExpiring);
    EXPECT_EQ(statusIcon(t + 7, true, t), accounts::kIconExpiring);  // the week's last day
    EXPECT_EQ(statusIcon(t + 8, true, t), accounts::kIconWatched);
    EXPECT_EQ(statusIcon(t + 8, false, t), accounts::kIconGreen);
    EXPECT_EQ(statusIcon(0, true, t), accounts::kIconWatched);
    EXPECT_EQ(statusIcon(0, false, t), accounts::kIconGreen);

    // The list's first column shows them, in the category order of the first tab.
    auto a = account("a expired");
    a.Expires = t;
    a.Watch = 1;
    addFull(a);
    auto b = account("b tomorrow");
    b.Expires = t + 1;
    addFull(b);
    auto c = account("c watched");
    c.Watch = 1;
    addFull(c);
    BrowseCVPAS* list = open();
    ASSERT_TRUE(list);
    ASSERT_EQ(list->browse().model().rowCount(), 3);
    EXPECT_EQ(iconKey(list, 0), accounts::statusIconImage(accounts::kIconExpired).cacheKey());
    EXPECT_EQ(iconKey(list, 1), accounts::statusIconImage(accounts::kIconExpiring).cacheKey());
    EXPECT_EQ(iconKey(list, 2), accounts::statusIconImage(accounts::kIconWatched).cacheKey());
    EXPECT_EQ(cell(list, 0, 0), "");
    EXPECT_EQ(list->window()->windowTitle(), "Passwords");
}

TEST_F(AccountsListTest, PasswordsMaskedByCharactersUnlessRevealedAndClipboardCopiesTheRealOne) {
    auto a = account("five");
    a.Password = "pä$s5";  // five characters, six bytes
    addFull(a);
    addFull(account("none"));
    security::MasterCopy().RevealPasswords = 0;
    BrowseCVPAS* list = open();
    ASSERT_TRUE(list);
    EXPECT_EQ(column(list, 5), (std::vector<std::string>{"*****", ""}));
    EXPECT_EQ(list->browse().model().headerData(5, Qt::Horizontal, Qt::DisplayRole).toString(),
              "Password");

    // Place on Clipboard: the stored password, marked secret for clipboard managers.
    list->browse().first();
    list->button("&Place on Clipboard")->click();
    const QMimeData* data = QApplication::clipboard()->mimeData();
    ASSERT_TRUE(data);
    EXPECT_EQ(data->text(), "pä$s5");
    EXPECT_EQ(data->data("x-kde-passwordManagerHint"), "secret");
    list->clipboardChoice()->setCurrentText("Description");
    list->button("&Place on Clipboard")->click();
    EXPECT_EQ(QApplication::clipboard()->text(), "five");

    security::MasterCopy().RevealPasswords = 1;
    list->browse().resetFromFile();
    EXPECT_EQ(column(list, 5), (std::vector<std::string>{"pä$s5", ""}));
}

TEST_F(AccountsListTest, TheCopiedPasswordLeavesTheClipboardAfterTheDelay) {
    auto a = account("one");
    a.Password = "s3cret";
    addFull(a);
    qputenv("CORVIX_CLIPBOARD_CLEAR_MS", "80");
    BrowseCVPAS* list = open();
    ASSERT_TRUE(list);
    list->button("&Place on Clipboard")->click();
    EXPECT_EQ(QApplication::clipboard()->text(), "s3cret");
    QTest::qWait(250);
    EXPECT_EQ(QApplication::clipboard()->text(), "");
    qunsetenv("CORVIX_CLIPBOARD_CLEAR_MS");
}

TEST_F(AccountsListTest, EmptyListDisablesSendUrlAndClipboardAndQueryWizardIsReportedMissing) {
    // A wizard that fails to take the fields is reported; the buttons stay disabled.
    corvix::accounts::QueryWizard failing;
    failing.addFields = [](const std::string&, const std::string&) { return 2; };
    corvix::accounts::setQueryWizard(failing);
    BrowseCVPAS* list = open();
    corvix::accounts::setQueryWizard({});
    ASSERT_TRUE(list);
    for (const char* b : {"Start &URL", "&Send", "&Place on Clipboard", "&Query", "&Reset"})
        EXPECT_FALSE(list->button(b)->isEnabled()) << b;
    EXPECT_TRUE(list->button("&New")->isEnabled());
    ASSERT_TRUE(lastAsked());
    EXPECT_EQ(lastAsked()->title, "Query Wizard Error# 2");
    EXPECT_EQ(lastAsked()->text, "An error has prevented the Query Wizard from initializing.");
    EXPECT_EQ(lastAsked()->icon, Icon::Information);
    EXPECT_EQ(lastAsked()->buttons, unsigned(kButtonOk));

    // An account added elsewhere shows up when the list gains focus.
    addFull(account("later"));
    ThreadRegistry::instance().postGainFocus(list->thread());
    QApplication::processEvents();
    EXPECT_EQ(list->browse().model().rowCount(), 1);
    for (const char* b : {"Start &URL", "&Send", "&Place on Clipboard"})
        EXPECT_TRUE(list->button(b)->isEnabled()) << b;
    EXPECT_FALSE(list->button("&Query")->isEnabled());
}

TEST_F(AccountsListTest, InTheFrameAltLIsTheListsLocatePromptAndElsewhereTheListsMenu) {
    addFull(account("one"));
    // The frame: its "&Lists" menu on the same key, the windows as its children.
    QMainWindow frame;
    QMenu* lists = frame.menuBar()->addMenu("&Lists");
    lists->addAction("&Passwords");
    auto* area = new QMdiArea(&frame);
    frame.setCentralWidget(area);
    ThreadRegistry::instance().setMdiArea(area);
    frame.resize(900, 600);
    frame.show();
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    BrowseCVPAS* list = open();
    ASSERT_TRUE(list);
    list->tabs()->setCurrentIndex(4);  // "Last Changed": an entry locator
    QApplication::processEvents();
    list->list()->setFocus();
    QTest::keyClick(frame.windowHandle(), Qt::Key_L, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), list->locateEntry(4));
    EXPECT_EQ(frame.menuBar()->activeAction(), nullptr);

    // Another child window without an "&L": the frame's menu has the key, not the list.
    auto* other = new QWidget;
    auto* entry = new QLineEdit(other);
    area->addSubWindow(other)->show();
    area->setActiveSubWindow(area->subWindowList().back());
    entry->setFocus();
    QApplication::processEvents();
    QTest::keyClick(frame.windowHandle(), Qt::Key_L, Qt::AltModifier);
    EXPECT_EQ(frame.menuBar()->activeAction(), lists->menuAction());
    EXPECT_NE(QApplication::focusWidget(), list->locateEntry(4));
    lists->close();
    list->button("Cl&ose")->click();
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ThreadRegistry::instance().setMdiArea(nullptr);
}

TEST_F(AccountsListTest, SecondOpeningBringsTheFirstForwardAndTheRegistrationFollowsTheList) {
    BrowseCVPAS* list = open();
    ASSERT_TRUE(list);
    const int thread = list->thread();
    EXPECT_EQ(open(), nullptr);
    EXPECT_EQ(ThreadRegistry::instance().singleInstanceOwner("BrowseCVPAS"), thread);
    ASSERT_EQ(registrations_.size(), 1u);
    EXPECT_EQ(registrations_[0],
              (std::vector<int>{thread, BrowseCVPAS::kSendControl, BrowseCVPAS::kUrlControl}));
    list->button("Cl&ose")->click();
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(registrations_.size(), 2u);
    EXPECT_EQ(registrations_[1], (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(ThreadRegistry::instance().singleInstanceOwner("BrowseCVPAS"), 0);
}

TEST_F(AccountsListTest, SendTypesTheSelectedAccountIntoItsWindowAlsoWhenTheTrayPressesIt) {
    const auto other = desk_.addWindow("Editor");
    const auto bank = desk_.addWindow("Login - Bank", "", {"User name:"});
    auto a = account("bank");
    a.Name = "ann";
    a.Password = "pä$s€";
    a.TargetWindow = "Login*";
    a.Action = "[name][tab][password][enter]";
    addFull(a);
    auto b = account("zzz other");
    b.TargetWindow = "Editor";
    b.Action = "wrong";
    addFull(b);
    BrowseCVPAS* list = open();
    ASSERT_TRUE(list);
    list->tabs()->setCurrentIndex(1);  // by description: "bank" first
    list->button("&Send")->click();
    EXPECT_EQ(desk_.receivedText(bank), "ann\tpä$s€\n");
    EXPECT_EQ(desk_.receivedText(other), "");

    desk_.clearReceivedText(bank);
    ThreadRegistry::instance().postAccepted(list->thread(), BrowseCVPAS::kSendControl);
    QApplication::processEvents();
    EXPECT_EQ(desk_.receivedText(bank), "ann\tpä$s€\n");
}

TEST_F(AccountsListTest, TabsChooseTheOrderAndTheirLocators) {
    const char* names[] = {"Games", "Bank", "Gamma", "Mail"};
    int n = 0;
    for (const char* d : names) {
        auto a = account(d);
        a.Category = std::string("C") + std::to_string(4 - n);
        a.LastChange = today() - 10 * ++n;
        addFull(a);
    }
    BrowseCVPAS* list = open();
    ASSERT_TRUE(list);
    EXPECT_EQ(column(list, 2), (std::vector<std::string>{"Mail", "Gamma", "Bank", "Games"}));
    list->tabs()->setCurrentIndex(1);
    EXPECT_EQ(column(list, 2), (std::vector<std::string>{"Bank", "Games", "Gamma", "Mail"}));
    // Incremental: typed in the list, echoed in the tab's locate entry.
    QTest::keyClicks(list->list(), "gam");
    QTest::keyClick(list->list(), Qt::Key_M);
    EXPECT_EQ(list->locateEntry(1)->text(), "GAMM");
    EXPECT_EQ(list->browse().view().current()->record.getString(pas::Description), "Gamma");
    QTest::keyClick(list->list(), Qt::Key_Backspace);
    QTest::keyClick(list->list(), Qt::Key_Backspace);
    EXPECT_EQ(list->browse().view().current()->record.getString(pas::Description), "Games");

    // Entry locator on the date: the key goes into the entry, Enter positions.
    list->tabs()->setCurrentIndex(4);
    EXPECT_EQ(column(list, 2), (std::vector<std::string>{"Mail", "Gamma", "Bank", "Games"}));
    list->list()->setFocus();
    QLineEdit* date = list->locateEntry(4);
    date->setText(QString::fromStdString(runtime::formatPicture(today() - 25, "@d17")));
    QTest::keyClick(date, Qt::Key_Return);
    EXPECT_EQ(list->browse().view().current()->record.getString(pas::Description), "Bank");
}

TEST_F(AccountsListTest, HeaderSortsTheWholeTablePagedReversesAndIsKeptWithTheLayout) {
    // 30 accounts whose notes run against their descriptions; a page of a few rows.
    for (int i = 0; i < 30; ++i) {
        auto a = account("d" + std::string(i < 10 ? "0" : "") + std::to_string(i));
        a.Notes = std::string(1, static_cast<char>('z' - i % 26)) + std::to_string(i);
        addFull(a);
    }
    BrowseCVPAS* list = open();
    ASSERT_TRUE(list);
    list->window()->resize(900, 260);
    QApplication::processEvents();
    QHeaderView* header = list->list()->horizontalHeader();
    const int notes = 17;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(notes) + 5, 5));
    ASSERT_TRUE(list->browse().headerSorted());
    const int rows = list->browse().model().rowCount();
    ASSERT_GT(rows, 2);
    ASSERT_LT(rows, 30);  // paged, not every row
    // Walk the whole order page by page: every note in ascending order, each once.
    std::vector<std::string> seen;
    for (int page = 0; page < 30 && seen.size() < 30; ++page) {
        for (const std::string& n : column(list, notes))
            if (seen.empty() || n > seen.back()) seen.push_back(n);
        list->browse().pageDown();
    }
    ASSERT_EQ(seen.size(), 30u);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    // A second click reverses; Description has a key, so its order is the key's.
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(notes) + 5, 5));
    EXPECT_TRUE(list->browse().headerDescending());
    EXPECT_EQ(column(list, notes).front(), seen.back());
    list->browse().headerClicked(2);
    list->browse().headerClicked(2);
    EXPECT_EQ(column(list, 2).front(), "d29");
    list->browse().last();
    EXPECT_EQ(list->browse().view().current()->record.getString(pas::Description), "d00");

    // Kept on closing: order, width, and the header's order; restored on opening.
    header->resizeSection(3, 123);
    header->moveSection(header->visualIndex(4), 1);
    list->button("Cl&ose")->click();
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    BrowseCVPAS* again = open();
    ASSERT_TRUE(again);
    QHeaderView* h = again->list()->horizontalHeader();
    EXPECT_EQ(h->sectionSize(3), 123);
    EXPECT_EQ(h->visualIndex(4), 1);
    EXPECT_EQ(again->browse().headerColumn(), 2);
    EXPECT_TRUE(again->browse().headerDescending());
    EXPECT_EQ(column(again, 2).front(), "d29");
    // Choosing a tab drops the header's order.
    QTest::mouseClick(again->tabs(), Qt::LeftButton, {}, again->tabs()->tabRect(0).center());
    EXPECT_FALSE(again->browse().headerSorted());
    EXPECT_EQ(column(again, 2).front(), "d00");
}

TEST_F(AccountsListTest, CompletedFormsTellTheFrameAndCancelledOnesDoNot) {
    addFull(account("one"));
    BrowseCVPAS* list = open();
    ASSERT_TRUE(list);
    onOpen("UpdateCVPAS", [](WindowManager& w) {
        auto& f = static_cast<accounts::UpdateCVPAS&>(w);
        type(f.entry(pas::Description), " more");
        f.button("&OK")->click();
    });
    list->button("&Change")->click();
    onOpen("UpdateCVPAS", [](WindowManager& w) {
        static_cast<accounts::UpdateCVPAS&>(w).button("Cancel")->click();
    });
    list->button("&New")->click();
    QApplication::processEvents();
    EXPECT_EQ(frameEvents_, std::vector<int>{1100});
    EXPECT_EQ(accounts(), (std::vector<std::pair<std::string, std::string>>{{"one more", "Bank"}}));

    // Delete asks first; Yes deletes and tells the frame again.
    prompt_.answer(kButtonYes);
    list->button("&Delete")->click();
    QApplication::processEvents();
    EXPECT_EQ(lastAsked()->title, "Confirm Delete");
    EXPECT_TRUE(accounts().empty());
    EXPECT_EQ(frameEvents_, (std::vector<int>{1100, 1100}));
    EXPECT_FALSE(list->button("&Send")->isEnabled());
}

}  // namespace
}  // namespace corvix::gui_test
