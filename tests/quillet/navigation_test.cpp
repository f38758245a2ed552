// QX_CHILDQUERY and QX_QWNAVIGATE over real tables: a parent (categories) and a child
// (accounts) linked by the category, moving in all four directions, the end-of-view
// messages, a filter that does not parse, and a long search cancelled from its progress
// window.
#include <QPushButton>

#include "platform/storage/table.h"
#include "tests/quillet/quillet_fixture.h"

namespace corvix::quillet::testing {
namespace {

using storage::FieldDecl;
using storage::FieldType;
using storage::KeyDecl;
using storage::TableDecl;

TableDecl parentDecl() {
    TableDecl d;
    d.label = "NAVCAT";
    d.prefix = "CAT";
    d.name = "nav\\!Categories";
    d.fields = {FieldDecl{"CAT:Category", FieldType::String, 30, {}, "@s30"}};
    d.keys = {KeyDecl{"CAT:K_Category", "", {0}, storage::kKeyUnique | storage::kKeyNoCase}};
    return d;
}

TableDecl childDecl() {
    TableDecl d;
    d.label = "NAVPAS";
    d.prefix = "PAS";
    d.name = "nav\\!Accounts";
    d.fields = {FieldDecl{"PAS:Category", FieldType::String, 30, {}, "@s30"},
                FieldDecl{"PAS:Name", FieldType::String, 40, {}, "@s40"},
                FieldDecl{"PAS:Wait", FieldType::Byte, 0, {}, "@n3"}};
    d.keys = {KeyDecl{"PAS:K_Category", "", {0}, storage::kKeyNoCase},
              KeyDecl{"PAS:K_Name", "", {1}, storage::kKeyNoCase}};
    return d;
}

class NavigationTest : public QuilletTest {
  protected:
    void SetUp() override {
        QuilletTest::SetUp();
        for (storage::Table* t : {&parent_, &child_}) {
            ASSERT_EQ(t->create(), 0);
            ASSERT_EQ(t->open(), 0);
        }
    }
    void addParent(const std::string& category) {
        storage::Record r(parentDecl_);
        r.set(0, category);
        ASSERT_EQ(parent_.add(r), 0);
    }
    void addChild(const std::string& category, const std::string& name, int wait) {
        storage::Record r(childDecl_);
        r.set(0, category);
        r.set(1, name);
        r.set(2, int64_t{wait});
        ASSERT_EQ(child_.add(r), 0);
    }
    std::string name() const { return childBuffer_.getString(1); }

    TableDecl parentDecl_ = parentDecl(), childDecl_ = childDecl();
    storage::Table parent_{parentDecl_}, child_{childDecl_};
    storage::Record parentBuffer_{parentDecl_}, childBuffer_{childDecl_};
    QueryView parentView_{&parent_, 0, &parentBuffer_};
    QueryView childView_{&child_, 1, &childBuffer_};  // by name
};

TEST_F(NavigationTest, MovesToPassingRecordsInEveryDirectionAndSaysWhenThereIsNoneLeft) {
    for (const auto& [name, wait] :
         std::vector<std::pair<std::string, int>>{{"ann", 1}, {"bob", 7}, {"cy", 2}, {"dee", 9}})
        addChild("Web", name, wait);
    const std::string filter = "PAS:Wait > 5";

    ASSERT_EQ(QX_QWNAVIGATE(childView_, nullptr, filter, 1), 1);
    EXPECT_EQ(name(), "bob");
    std::string at = child_.position();
    ASSERT_EQ(QX_QWNAVIGATE(childView_, &at, filter, 3), 1);
    EXPECT_EQ(name(), "dee");
    at = child_.position();
    // Nothing after the last: the message, and the record the search started from.
    EXPECT_EQ(QX_QWNAVIGATE(childView_, &at, filter, 3), 0);
    EXPECT_EQ(name(), "dee");
    ASSERT_EQ(messages_.asked.size(), 1u);
    EXPECT_EQ(messages_.asked[0].title, "Next Query Result");
    EXPECT_EQ(messages_.asked[0].text, "No forward records meet the query criteria.");
    ASSERT_EQ(QX_QWNAVIGATE(childView_, &at, filter, 2), 1);
    EXPECT_EQ(name(), "bob");
    at = child_.position();
    EXPECT_EQ(QX_QWNAVIGATE(childView_, &at, filter, 2), 0);
    EXPECT_EQ(messages_.titles().back(), "Previous Query Result");
    ASSERT_EQ(QX_QWNAVIGATE(childView_, nullptr, filter, 4), 1);
    EXPECT_EQ(name(), "dee");

    // No record passes: the buffer keeps what it held.
    EXPECT_EQ(QX_QWNAVIGATE(childView_, nullptr, "UPPER(PAS:Name) = 'ZED'", 1), 0);
    EXPECT_EQ(name(), "dee");
    EXPECT_EQ(messages_.asked.back().title, "Query Navigation Result");
    EXPECT_EQ(messages_.asked.back().text, "No records meet the current query criteria.");

    // Text typed as a filter never reaches the storage as SQL: it does not parse.
    messages_.asked.clear();
    EXPECT_EQ(QX_QWNAVIGATE(childView_, nullptr, "PAS:Name = 'x'); DROP TABLE x; --", 1), 0);
    ASSERT_EQ(messages_.titles(), std::vector<std::string>{"View Open Error"});
    EXPECT_EQ(child_.records(), 4);
}

TEST_F(NavigationTest, ChildQueryLinksToTheParentAndNavigationFindsParentsWithChildren) {
    for (const char* c : {"Bank", "Home", "Web"}) addParent(c);
    addChild("Bank", "teller", 1);
    addChild("Web", "mail", 9);
    addChild("Web", "shop", 2);
    const std::string link = "PAS:Category = CAT:Category";

    parentBuffer_.set(0, std::string("Web"));
    EXPECT_EQ(QX_CHILDQUERY(childView_, link, "PAS:Wait > 5", &parentView_), 1);
    parentBuffer_.set(0, std::string("Bank"));
    EXPECT_EQ(QX_CHILDQUERY(childView_, link, "PAS:Wait > 5", &parentView_), 0);
    EXPECT_EQ(QX_CHILDQUERY(childView_, link, "", &parentView_), 1);
    EXPECT_TRUE(messages_.asked.empty());
    EXPECT_EQ(QX_CHILDQUERY(childView_, link, "PAS:Wait >", &parentView_), 0);
    EXPECT_EQ(messages_.titles(), std::vector<std::string>{"View Open Error"});

    // The parents whose children pass, first to last.
    ASSERT_EQ(QX_QWNAVIGATE(parentView_, nullptr, "PAS:Wait < 5", 1, &childView_, &link), 1);
    EXPECT_EQ(parentBuffer_.getString(0), "Bank");
    const std::string at = parent_.position();
    ASSERT_EQ(QX_QWNAVIGATE(parentView_, &at, "PAS:Wait < 5", 3, &childView_, &link), 1);
    EXPECT_EQ(parentBuffer_.getString(0), "Web");
    ASSERT_EQ(QX_QWNAVIGATE(parentView_, nullptr, "PAS:Wait > 5", 4, &childView_, &link), 1);
    EXPECT_EQ(parentBuffer_.getString(0), "Web");
}

TEST_F(NavigationTest, ALongSearchShowsItsProgressAndCanBeCancelled) {
    for (int i = 0; i < 300; ++i) addParent("Empty " + std::to_string(1000 + i));
    const std::string link = "PAS:Category = CAT:Category";
    bool shown = false;
    setWindowHook([&](QDialog* w, const std::string& name) {
        ASSERT_EQ(name, "QueryNavigation");
        shown = true;
        w->findChild<QPushButton*>("Cancel")->click();
    });
    parentBuffer_.set(0, std::string("before"));
    EXPECT_EQ(QX_QWNAVIGATE(parentView_, nullptr, "", 1, &childView_, &link), 0);
    EXPECT_TRUE(shown);
    EXPECT_TRUE(messages_.asked.empty()) << messages_.titles().front();
    EXPECT_EQ(parentBuffer_.getString(0), "before");
}

}  // namespace
}  // namespace corvix::quillet::testing
