// The accounts list with the query wizard library connected as the program connects it:
// a saved query narrows the list whatever the tab, Reset shows every account again, and
// opening the list again keeps the saved queries' field numbers (and so their validity).
#include <QApplication>
#include <QPushButton>
#include <QTabBar>
#include <QTableWidget>

#include "accounts/account_queries.h"
#include "accounts/browse_cvpas.h"
#include "accounts_fixture.h"
#include "app/accounts_query_wizard.h"
#include "app/query_wizard_texts.h"
#include "libs/quillet/messages.h"
#include "libs/quillet/query_store.h"
#include "libs/quillet/quillet.h"
#include "libs/quillet/windows.h"
#include "libs/quillet/wizard_session.h"

namespace corvix::gui_test {
namespace {

using accounts::BrowseCVPAS;

class AccountsQueryTest : public AccountsTest {
  protected:
    void SetUp() override {
        AccountsTest::SetUp();
        app::setQueryWizardTexts();
        quillet::QX_SETQWFILEPATHS(2, nullptr, nullptr);
        quillet::QX_SETQWFILEPATHS(0, nullptr, nullptr);
        quillet::currentQuery() = {};
        app::installAccountsQueryWizard();
        for (const char* category : {"Bank", "Web", "Web"}) {
            vault::PasRecord a;
            a.Category = category;
            a.Description = std::string(category) + " " + std::to_string(++added_);
            addFull(a);
        }
    }
    void TearDown() override {
        app::removeAccountsQueryWizard();
        quillet::setWindowHook({});
        quillet::setMessageSink(nullptr);
        AccountsTest::TearDown();
    }
    BrowseCVPAS* open() {
        auto* b = new BrowseCVPAS(m_->pasRelations, m_->catRelations);
        if (!b->start()) return nullptr;
        QApplication::processEvents();
        return b;
    }
    void close(BrowseCVPAS* b) {
        b->button("Cl&ose")->click();
        QApplication::processEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // The next Query picks the saved query of that description in the saved-queries list
    // with the button of that name ("Select"), or closes the list when description is
    // empty.
    void chooseOnQuery(std::string description, const char* button = "Select") {
        quillet::setWindowHook([description, button](QDialog* w, const std::string& name) {
            ASSERT_EQ(name, "SavedQueries");
            auto* list = w->findChild<QTableWidget*>("queries");
            for (int r = 0; !description.empty() && r < list->rowCount(); ++r)
                if (list->item(r, 0)->text().toStdString() == description) list->selectRow(r);
            w->findChild<QPushButton*>(description.empty() ? "Close" : button)->click();
        });
    }
    static int rows(BrowseCVPAS* b) { return b->browse().model().rowCount(); }
    int added_ = 0;
};

TEST_F(AccountsQueryTest, ASavedQueryNarrowsTheListOnEveryTabAndResetShowsAllAgain) {
    quillet::StoreError err;
    // "Category" is the category table's field in the wizard's list.
    quillet::StoredQuery web{
        0, accounts::kAccountsQueryClass, "Web accounts", 1, 0, "UPPER(CAT:Category) = 'WEB'", {}};
    ASSERT_EQ(quillet::QueryStore::save(web, &err), 0) << err.text;

    BrowseCVPAS* list = open();
    ASSERT_TRUE(list);
    EXPECT_TRUE(titles().empty()) << titles().front();
    EXPECT_TRUE(list->button("&Query")->isEnabled());
    EXPECT_FALSE(list->button("&Reset")->isEnabled());
    EXPECT_EQ(rows(list), 3);

    chooseOnQuery("Web accounts");
    list->button("&Query")->click();
    EXPECT_EQ(list->queryText(), "UPPER(CAT:Category) = 'WEB'");
    EXPECT_EQ(quillet::QXQW_Response, web.queryNo);
    EXPECT_TRUE(list->button("&Reset")->isEnabled());
    EXPECT_EQ(rows(list), 2);
    // Another tab is another sort order with filters of its own: the query follows.
    list->tabs()->setCurrentIndex(1);
    QApplication::processEvents();
    EXPECT_EQ(rows(list), 2);
    EXPECT_TRUE(titles().empty()) << titles().front();

    // Closing the saved-queries list applies nothing and keeps the query in force.
    chooseOnQuery("");
    list->button("&Query")->click();
    EXPECT_EQ(quillet::QXQW_Response, 0);
    EXPECT_EQ(rows(list), 2);

    list->button("&Reset")->click();
    EXPECT_FALSE(list->button("&Reset")->isEnabled());
    EXPECT_EQ(list->queryText(), "");
    EXPECT_EQ(rows(list), 3);
    list->tabs()->setCurrentIndex(0);
    QApplication::processEvents();
    EXPECT_EQ(rows(list), 3);
    close(list);
}

TEST_F(AccountsQueryTest, OpeningTheListAgainKeepsSavedQueriesValid) {
    BrowseCVPAS* list = open();
    ASSERT_TRUE(list);
    close(list);
    // A query built on the numbered fields, as the wizard saves it.
    std::vector<quillet::StoredField> fields;
    quillet::StoreError err;
    ASSERT_EQ(quillet::QueryStore::fields(accounts::kAccountsQueryClass, fields, &err), 0);
    ASSERT_EQ(fields.size(), 18u);
    int16_t notes = -1;
    for (const auto& f : fields)
        if (f.fieldName == "PAS:NOTES") notes = f.fieldPointer;
    ASSERT_GE(notes, 0);
    quillet::StoredQuery q{0, accounts::kAccountsQueryClass, "No notes", 0,
                           0, "UPPER(PAS:Notes) = ''",       {}};
    q.elements.push_back({notes, 0, "", "", 0, 1, 0});
    ASSERT_EQ(quillet::QueryStore::save(q, &err), 0) << err.text;

    list = open();
    ASSERT_TRUE(list);
    quillet::StoredQuery again;
    ASSERT_EQ(quillet::QueryStore::load(q.queryNo, again, true, &err), 0);
    EXPECT_EQ(again.invalid, 0);
    ASSERT_EQ(again.elements.size(), 1u);
    EXPECT_EQ(again.elements[0].fieldPointer, notes);
    std::vector<quillet::StoredField> after;
    ASSERT_EQ(quillet::QueryStore::fields(accounts::kAccountsQueryClass, after, &err), 0);
    EXPECT_EQ(after.size(), 18u);
    close(list);
}

}  // namespace
}  // namespace corvix::gui_test
