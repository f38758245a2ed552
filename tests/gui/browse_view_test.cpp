// The paged view over a table: moves, duplicates in key order, locating, filters,
// re-reading, and the thumb.
#include "framework/browse_view.h"

#include "gui_fixture.h"
#include "vault/vault_key.h"

namespace corvix::gui_test {
namespace {

using namespace corvix::framework;
namespace pas = vault::pas;
namespace cat = vault::cat;

class BrowseViewTest : public GuiTest {
  protected:
    std::unique_ptr<BrowseView> openView(const storage::TableDecl& decl, int key, int pageSize) {
        auto v = std::make_unique<BrowseView>(decl);
        v->table().setOwner(vault::BuildVaultKey());
        EXPECT_EQ(v->open(), 0);
        v->setPageSize(pageSize);
        v->setOrder(key);
        return v;
    }
    static std::vector<std::string> page(const BrowseView& v, int field) {
        std::vector<std::string> out;
        for (const auto& r : v.rows()) out.push_back(r.record.getString(field));
        return out;
    }
    static std::string selected(const BrowseView& v, int field) {
        return v.current() ? v.current()->record.getString(field) : "<none>";
    }
    // Categories "C00".."C<n-1>".
    void addCategories(int n) {
        ASSERT_EQ(m_->cat.Open(), kLevelBenign);
        for (int i = 0; i < n; ++i) {
            char name[8];
            std::snprintf(name, sizeof name, "C%02d", i);
            m_->catRecord->Category = name;
            ASSERT_EQ(m_->cat.Insert(), kLevelBenign);
        }
        m_->cat.Close();
    }
};

TEST_F(BrowseViewTest, EmptyTableGivesAnEmptyPage) {
    addCategories(0);
    ASSERT_EQ(m_->cat.Open(), kLevelBenign);
    ASSERT_NE(m_->cat.Use(), nullptr);  // creates the table
    auto v = openView(vault::CVCAT(), cat::K_Category, 5);
    EXPECT_EQ(v->first(), 0);
    EXPECT_TRUE(v->empty());
    EXPECT_EQ(v->selected(), -1);
    EXPECT_EQ(v->pageDown(), 0);
    EXPECT_EQ(v->last(), 0);
    EXPECT_EQ(v->thumb(), 0);
    m_->cat.Close();
}

TEST_F(BrowseViewTest, PagesMoveThroughTheTableInKeyOrder) {
    addCategories(12);
    auto v = openView(vault::CVCAT(), cat::K_Category, 5);
    ASSERT_EQ(v->first(), 0);
    EXPECT_EQ(page(*v, cat::Category),
              (std::vector<std::string>{"C00", "C01", "C02", "C03", "C04"}));
    EXPECT_TRUE(v->atTop());
    EXPECT_FALSE(v->atBottom());
    v->select(1);
    v->pageDown();
    EXPECT_EQ(page(*v, cat::Category),
              (std::vector<std::string>{"C05", "C06", "C07", "C08", "C09"}));
    EXPECT_EQ(selected(*v, cat::Category), "C06");
    v->pageDown();  // a short last page is filled from before
    EXPECT_EQ(page(*v, cat::Category),
              (std::vector<std::string>{"C07", "C08", "C09", "C10", "C11"}));
    EXPECT_TRUE(v->atBottom());
    EXPECT_EQ(selected(*v, cat::Category), "C11");
    v->pageDown();
    EXPECT_EQ(selected(*v, cat::Category), "C11");
    v->pageUp();
    EXPECT_EQ(page(*v, cat::Category),
              (std::vector<std::string>{"C02", "C03", "C04", "C05", "C06"}));
    // Near the top the page fills from the first record; the selection still moves a
    // page's worth of records (C06 -> C01).
    v->pageUp();
    EXPECT_EQ(page(*v, cat::Category),
              (std::vector<std::string>{"C00", "C01", "C02", "C03", "C04"}));
    EXPECT_EQ(selected(*v, cat::Category), "C01");
    v->pageUp();
    EXPECT_EQ(selected(*v, cat::Category), "C00");
}

TEST_F(BrowseViewTest, UpAndDownScrollThePageByOneAtItsEdges) {
    addCategories(7);
    auto v = openView(vault::CVCAT(), cat::K_Category, 3);
    v->first();
    v->up();  // at the top: stays
    EXPECT_EQ(selected(*v, cat::Category), "C00");
    for (int i = 0; i < 4; ++i) v->down();
    EXPECT_EQ(page(*v, cat::Category), (std::vector<std::string>{"C02", "C03", "C04"}));
    EXPECT_EQ(selected(*v, cat::Category), "C04");
    v->last();
    EXPECT_EQ(page(*v, cat::Category), (std::vector<std::string>{"C04", "C05", "C06"}));
    v->down();
    EXPECT_EQ(selected(*v, cat::Category), "C06");
    EXPECT_TRUE(v->atBottom());
    for (int i = 0; i < 3; ++i) v->up();
    EXPECT_EQ(page(*v, cat::Category), (std::vector<std::string>{"C03", "C04", "C05"}));
    EXPECT_EQ(selected(*v, cat::Category), "C03");
}

TEST_F(BrowseViewTest, DuplicateKeysAreEachShownOnceWhilePaging) {
    addCategories(2);
    for (int i = 0; i < 9; ++i) addAccount(i < 7 ? "C00" : "C01", "Same");
    auto v = openView(vault::CVPAS(), pas::K_Category, 2);
    v->first();
    std::vector<int64_t> ids;
    for (const auto& r : v->rows()) ids.push_back(r.record.getInt(pas::PAS_ID));
    for (int i = 0; i < 4; ++i) {
        v->select(1);
        v->down();
        ids.push_back(v->current()->record.getInt(pas::PAS_ID));
    }
    v->pageDown();
    for (const auto& r : v->rows()) ids.push_back(r.record.getInt(pas::PAS_ID));
    v->pageDown();
    ids.push_back(v->rows().back().record.getInt(pas::PAS_ID));
    EXPECT_EQ(ids, (std::vector<int64_t>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    // And back up, one by one, through the duplicates.
    v->last();
    std::vector<int64_t> back{v->current()->record.getInt(pas::PAS_ID)};
    for (int i = 0; i < 8; ++i) {
        v->up();
        back.push_back(v->current()->record.getInt(pas::PAS_ID));
    }
    EXPECT_EQ(back, (std::vector<int64_t>{9, 8, 7, 6, 5, 4, 3, 2, 1}));
}

TEST_F(BrowseViewTest, LocateFindsTheFirstKeyNotBelowTheValueIgnoringCase) {
    for (const char* c : {"Banking", "Business", "Email", "Games"}) addCategory(c);
    auto v = openView(vault::CVCAT(), cat::K_Category, 3);
    storage::Record key(vault::CVCAT());
    key.set(cat::Category, std::string("bu"));
    v->locate(key);
    EXPECT_EQ(selected(*v, cat::Category), "Business");
    key.set(cat::Category, std::string("F"));
    v->locate(key);
    EXPECT_EQ(selected(*v, cat::Category), "Games");
    EXPECT_EQ(page(*v, cat::Category), (std::vector<std::string>{"Business", "Email", "Games"}));
    key.set(cat::Category, std::string("Zebra"));
    v->locate(key);
    EXPECT_EQ(selected(*v, cat::Category), "Games");
}

TEST_F(BrowseViewTest, FilterRunsInTheStorageOrPerRecordWithTheSameRows) {
    for (const char* c : {"Banking", "Business", "Email", "Games", "bingo"}) addCategory(c);
    auto v = openView(vault::CVCAT(), cat::K_Category, 2);
    auto tree = [&](const char* text) {
        auto r = v->binding().parse(text);
        EXPECT_TRUE(r.ok()) << r.message();
        return r.tree;
    };
    // Pushed into SQL: the constant is a bound value, never part of the SQL text.
    ASSERT_EQ(v->setFilter(tree("UPPER(SUB(CAT:Category,1,1)) = 'B'")), 0);
    EXPECT_TRUE(v->residualFilter() == nullptr);
    EXPECT_EQ(v->storageFilter().find("'B"), std::string::npos) << v->storageFilter();
    v->first();
    EXPECT_EQ(page(*v, cat::Category), (std::vector<std::string>{"Banking", "bingo"}));
    v->pageDown();
    EXPECT_EQ(page(*v, cat::Category), (std::vector<std::string>{"bingo", "Business"}));
    // INSTRING stepping by 2 has no SQL form: the whole filter is tested per record,
    // across page boundaries too.
    ASSERT_EQ(v->setFilter(tree("INSTRING('n',CAT:Category,2,1) > 0 AND CAT:Category <> 'x'")), 0);
    ASSERT_TRUE(v->residualFilter() != nullptr);
    EXPECT_FALSE(v->storageFilter().empty());  // the second condition still runs in SQL
    v->first();
    EXPECT_EQ(page(*v, cat::Category), (std::vector<std::string>{"Banking", "bingo"}));
    v->pageDown();
    EXPECT_EQ(page(*v, cat::Category), (std::vector<std::string>{"bingo", "Business"}));
    EXPECT_TRUE(v->atBottom());
    ASSERT_EQ(v->setFilter(nullptr), 0);
    v->first();
    v->last();
    EXPECT_EQ(page(*v, cat::Category), (std::vector<std::string>{"Email", "Games"}));
}

TEST_F(BrowseViewTest, RefreshShowsOtherWindowsChangesAndKeepsTheSelectedRecord) {
    for (const char* c : {"Banking", "Business", "Email", "Games"}) addCategory(c);
    auto v = openView(vault::CVCAT(), cat::K_Category, 3);
    v->first();
    v->select(1);  // Business
    addCategory("Bakery");
    v->refresh();
    EXPECT_EQ(page(*v, cat::Category), (std::vector<std::string>{"Banking", "Business", "Email"}));
    EXPECT_EQ(selected(*v, cat::Category), "Business");
    // The selected record goes away: the row number stays.
    ASSERT_EQ(m_->catRelations.Open(), kLevelBenign);
    m_->catRecord->Category = "Business";
    ASSERT_EQ(m_->cat.Fetch(cat::K_Category), kLevelBenign);
    ASSERT_EQ(m_->catRelations.Delete(false), kLevelBenign);
    m_->catRelations.Close();
    v->refresh();
    EXPECT_EQ(page(*v, cat::Category), (std::vector<std::string>{"Banking", "Email", "Games"}));
    EXPECT_EQ(selected(*v, cat::Category), "Email");
    // The top row itself goes away.
    v->first();
    EXPECT_EQ(page(*v, cat::Category).front(), "Bakery");
}

TEST_F(BrowseViewTest, ThumbFollowsTheLettersOfTextKeys) {
    for (const char* c : {"Apple", "Mango", "Melon", "Zucchini"}) addCategory(c);
    auto v = openView(vault::CVCAT(), cat::K_Category, 2);
    v->first();
    EXPECT_EQ(v->thumb(), 0);
    v->down();  // Mango, in the middle of the alphabet
    v->down();
    EXPECT_NEAR(v->thumb(), 48, 3);
    v->last();
    EXPECT_EQ(v->thumb(), 100);
    v->thumbTo(46);  // step "LY": the first record from there on
    EXPECT_EQ(selected(*v, cat::Category), "Mango");
    v->thumbTo(50);  // step "NA"
    EXPECT_EQ(selected(*v, cat::Category), "Zucchini");
    v->thumbTo(0);
    EXPECT_EQ(selected(*v, cat::Category), "Apple");
    EXPECT_EQ(BrowseView::letterSteps().size(), 100u);
    EXPECT_EQ(BrowseView::letterSteps().front(), "AA");
}

}  // namespace
}  // namespace corvix::gui_test
