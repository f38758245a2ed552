// The wizard as a user drives it: the saved-queries list, the five pages, saving,
// reusing and joining queries, and a typed query that does not evaluate.
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>

#include "libs/quillet/query_store.h"
#include "tests/quillet/quillet_fixture.h"

namespace corvix::quillet::testing {
namespace {

void shoot(QWidget* w, const char* name) {
    std::filesystem::create_directories(CORVIX_SCREENSHOT_DIR);
    w->grab().save(QString(CORVIX_SCREENSHOT_DIR) + "/" + name);
}

QPushButton* button(QWidget* w, const char* name) {
    for (QPushButton* b : w->findChildren<QPushButton*>(name))
        if (b->isVisible()) return b;
    ADD_FAILURE() << "no visible button " << name;
    static QPushButton none;
    return &none;
}

void pickRow(QTableWidget* list, const std::string& text) {
    for (int r = 0; r < list->rowCount(); ++r)
        if (list->item(r, 0)->text().toStdString() == text) return list->selectRow(r);
    ADD_FAILURE() << "no row " << text;
}

TEST_F(QuilletTest, UserBuildsSavesReusesAndJoinsAQuery) {
    FieldsQueue fields = accountFields();
    StoreError err;
    StoredQuery expired{0, "PASSWORDS", "Expired accounts", 1, 0, "PAS:Expires <= 80000", {}};
    ASSERT_EQ(QueryStore::save(expired, &err), 0);

    std::vector<std::string> pageTitles;
    setWindowHook([&](QDialog* w, const std::string& name) {
        if (name == "SavedQueries") {
            w->resize(560, 300);
            shoot(w, "quillet_saved_queries.png");
            button(w, "New")->click();
        } else if (name == "QueryWizard") {
            auto* fieldsList = w->findChild<QListWidget*>("fields");
            auto items = fieldsList->findItems("Category of account", Qt::MatchExactly);
            ASSERT_EQ(items.size(), 1);
            fieldsList->setCurrentItem(items[0]);
            shoot(w, "quillet_page1_field.png");
            button(w, "Next >")->click();
            auto* ops = w->findChild<QListWidget*>("operations");
            EXPECT_EQ(ops->count(), 10);  // a text field offers operations 1 to 10
            ops->setCurrentRow(0);
            shoot(w, "quillet_page2_operation.png");
            button(w, "Next >")->click();
            w->findChild<QLineEdit*>("value")->setText("web");
            shoot(w, "quillet_page3_value.png");
            button(w, "Next >")->click();
            auto* elements = w->findChild<QTableWidget*>("elements");
            EXPECT_EQ(elements->item(0, 0)->text(), "Category of account Is Equal To web");
            shoot(w, "quillet_page4_query.png");
            messages_.answers = {kYes};  // Save Query? Yes
            button(w, "Finish")->click();
        } else if (name == "QueryDescription") {
            EXPECT_EQ(w->windowTitle(), "Add New Query");
            w->findChild<QLineEdit*>("description")->setText("Web accounts");
            button(w, "OK")->click();
        }
    });
    std::string filter, description;
    QX_QWIZARD(fields, "PASSWORDS", filter, &description, false, false, 0, 1024);
    EXPECT_EQ(filter, "UPPER(PAS:Category) = 'WEB'");
    EXPECT_EQ(description, "Web accounts");
    EXPECT_EQ(QXQW_Response, 2);
    EXPECT_EQ(messages_.titles(), std::vector<std::string>{"Save Query"});
    StoredQuery saved;
    ASSERT_EQ(QueryStore::load(2, saved, true, &err), 0);
    ASSERT_EQ(saved.elements.size(), 1u);
    EXPECT_EQ(saved.elements[0].value, "web");

    // Reused and joined: the filter in force gets the saved one with AND.
    setWindowHook([&](QDialog* w, const std::string& name) {
        ASSERT_EQ(name, "SavedQueries");
        pickRow(w->findChild<QTableWidget*>("queries"), "Expired accounts");
        button(w, "AND Join")->click();
    });
    QX_QWIZARD(fields, "PASSWORDS", filter, &description, false, false, 0, 1024);
    EXPECT_EQ(filter, "(UPPER(PAS:Category) = 'WEB') AND (PAS:Expires <= 80000)");
    EXPECT_EQ(description, "(Web accounts) AND (Expired accounts)");
    EXPECT_EQ(QXQW_Response, -2);

    // Changing the saved query opens it on its element list; a typed query that does
    // not evaluate is refused with the invalid-query message and the wizard stays.
    messages_.asked.clear();
    bool stayed = false;
    setWindowHook([&](QDialog* w, const std::string& name) {
        if (name == "SavedQueries") {
            pickRow(w->findChild<QTableWidget*>("queries"), "Web accounts");
            button(w, "Change")->click();
            return;
        }
        ASSERT_EQ(name, "QueryWizard");
        EXPECT_EQ(w->findChild<QTableWidget*>("elements")->item(0, 0)->text(),
                  "Category of account Is Equal To web");
        button(w, "Manual")->click();
        auto* manual = w->findChild<QPlainTextEdit*>("manual");
        EXPECT_EQ(manual->toPlainText(), "UPPER(PAS:Category) = 'WEB'");
        manual->setPlainText("PAS:Category = 'x'); DROP TABLE x; --");
        shoot(w, "quillet_page5_manual.png");
        button(w, "Finish")->click();
        stayed = w->isVisible();
        button(w, "Cancel")->click();
    });
    const std::string before = filter;
    QX_QWIZARD(fields, "PASSWORDS", filter, &description, false, false, 0, 1024);
    EXPECT_TRUE(stayed);
    EXPECT_EQ(messages_.titles(), std::vector<std::string>{"Invalid Query"});
    EXPECT_EQ(messages_.asked[0].text,
              "The query you have designed is invalid.\nPlease review your query and correct the "
              "problem.");
    EXPECT_EQ(filter, before);
    EXPECT_EQ(QXQW_Response, 0);

    // A saved query applied by number, without a window; an unknown number is refused.
    setWindowHook([](QDialog*, const std::string& name) { ADD_FAILURE() << name; });
    QX_QWIZARD(fields, "PASSWORDS", filter, nullptr, false, false, 1, 1024);
    EXPECT_EQ(filter, "PAS:Expires <= 80000");
    EXPECT_EQ(QXQW_Response, 1);
    QX_QWIZARD(fields, "PASSWORDS", filter, nullptr, false, false, 99, 1024);
    EXPECT_EQ(filter, "PAS:Expires <= 80000");
    EXPECT_EQ(QXQW_Response, 0);
    EXPECT_EQ(messages_.titles().back(), "ErrorLoadingQuery");
}

TEST_F(QuilletTest, AJoinThatDoesNotFitIsRefusedAndAnInvalidSavedQueryCannotRun) {
    FieldsQueue fields = accountFields();
    StoreError err;
    StoredQuery longOne{0, "PASSWORDS", "long", 1, 0, "PAS:Name <> '" + std::string(480, 'b') + "'",
                        {}};
    StoredQuery broken{0, "PASSWORDS", "broken", 0, 1, "UPPER(PAS:Gone) = 'X'", {}};
    ASSERT_EQ(QueryStore::save(longOne, &err), 0);
    ASSERT_EQ(QueryStore::save(broken, &err), 0);
    std::string filter = "PAS:Name <> '" + std::string(590, 'a') + "'";
    const std::string before = filter;
    int shown = 0;
    setWindowHook([&](QDialog* w, const std::string& name) {
        ASSERT_EQ(name, "SavedQueries");
        auto* list = w->findChild<QTableWidget*>("queries");
        if (shown++ == 0) {
            pickRow(list, "long");
            button(w, "OR Join")->click();
        } else if (shown == 2) {
            pickRow(list, "broken");
            button(w, "Select")->click();
        } else {
            button(w, "Close")->click();
        }
    });
    QX_QWIZARD(fields, "PASSWORDS", filter, nullptr, false, false, 0, 1024);
    EXPECT_EQ(shown, 3);  // after each refusal the list is shown again
    EXPECT_EQ(filter, before);
    EXPECT_EQ(QXQW_Response, 0);
    EXPECT_EQ(messages_.titles(),
              (std::vector<std::string>{"Query String Too Small", "Query No Longer Valid"}));
    EXPECT_EQ(messages_.asked[0].text,
              "The resulting query is too large. The new query cannot be combined with the "
              "original query.");
}

}  // namespace
}  // namespace corvix::quillet::testing
