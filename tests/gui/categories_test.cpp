// The categories list and form, driven through their widgets.
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QPushButton>
#include <QTableView>

#include "accounts/browse_cvcat.h"
#include "accounts/update_cvcat.h"
#include "framework/browse_model.h"
#include "gui_fixture.h"

namespace corvix::gui_test {
namespace {

using namespace corvix::framework;
using accounts::BrowseCVCAT;
using accounts::UpdateCVCAT;

class CategoriesTest : public GuiTest {
  protected:
    // Runs UpdateCVCAT with a request; script drives the open form.
    int runForm(int request, std::function<void(UpdateCVCAT&)> script) {
        if (script)
            onOpen("UpdateCVCAT",
                   [script](WindowManager& w) { script(static_cast<UpdateCVCAT&>(w)); });
        UpdateCVCAT form(m_->catRelations);
        form.request = request;
        return form.run();
    }
    // The category names the list shows, top to bottom.
    static std::vector<std::string> shown(BrowseCVCAT& b) {
        std::vector<std::string> out;
        for (int r = 0; r < b.browse().model().rowCount(); ++r)
            out.push_back(b.browse()
                              .model()
                              .data(b.browse().model().index(r, 0), Qt::DisplayRole)
                              .toString()
                              .toStdString());
        return out;
    }
    static std::string selectedName(BrowseCVCAT& b) {
        const auto* row = b.browse().view().current();
        return row ? row->record.getString(vault::cat::Category) : std::string("<none>");
    }
};

TEST_F(CategoriesTest, NewCategoryIsSavedWithOkAndTheFormIsTitledAddCategory) {
    QString title;
    const int response = runForm(kInsertRecord, [&](UpdateCVCAT& f) {
        title = f.window()->windowTitle();
        type(f.entry(), "Work");
        f.okButton()->click();
    });
    EXPECT_EQ(title, "Add Category");
    EXPECT_EQ(response, kRequestCompleted);
    EXPECT_EQ(categories(), std::vector<std::string>{"Work"});
    EXPECT_TRUE(prompt_.asked().empty());
}

TEST_F(CategoriesTest, CancelAfterTypingAsksSaveRecordAndNoClosesWithoutSaving) {
    prompt_.answer(kButtonNo);
    const int response = runForm(kInsertRecord, [&](UpdateCVCAT& f) {
        type(f.entry(), "Games");
        f.cancelButton()->click();
    });
    EXPECT_EQ(response, kRequestCancelled);
    ASSERT_EQ(prompt_.asked().size(), 1u);
    EXPECT_EQ(prompt_.asked()[0].title, "Save Record");
    EXPECT_EQ(prompt_.asked()[0].text, "Do you want to save the changes to this record?");
    EXPECT_EQ(prompt_.asked()[0].buttons, unsigned(kButtonYes | kButtonNo | kButtonCancel));
    EXPECT_TRUE(categories().empty());
}

TEST_F(CategoriesTest, CancelAnsweredCancelKeepsTheFormAndYesSaves) {
    bool stillOpen = false;
    const int response = runForm(kInsertRecord, [&](UpdateCVCAT& f) {
        type(f.entry(), "Games");
        prompt_.answer(kButtonCancel);
        f.cancelButton()->click();
        stillOpen = f.window()->isVisible();
        prompt_.answer(kButtonYes);
        f.cancelButton()->click();
    });
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(response, kRequestCompleted);
    EXPECT_EQ(categories(), std::vector<std::string>{"Games"});
    EXPECT_EQ(titles(), (std::vector<std::string>{"Save Record", "Save Record"}));
}

TEST_F(CategoriesTest, CancelWithoutTypingClosesAtOnce) {
    const int response = runForm(kInsertRecord, [&](UpdateCVCAT& f) { f.cancelButton()->click(); });
    EXPECT_EQ(response, kRequestCancelled);
    EXPECT_TRUE(prompt_.asked().empty());
}

TEST_F(CategoriesTest, BlankCategoryStopsOkWithMissingInformationAndKeepsTheForm) {
    bool stillOpen = false;
    bool entryHasFocus = false;
    runForm(kInsertRecord, [&](UpdateCVCAT& f) {
        type(f.entry(), "   ");
        f.okButton()->click();
        stillOpen = f.window()->isVisible();
        entryHasFocus = f.window()->focusWidget() == f.entry();
        f.entry()->clear();
        f.cancelButton()->click();
    });
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(entryHasFocus);
    ASSERT_FALSE(prompt_.asked().empty());
    EXPECT_EQ(prompt_.asked()[0].title, "Missing Information");
    EXPECT_EQ(prompt_.asked()[0].text, "\"Category\" must be entered.");
    EXPECT_EQ(prompt_.asked()[0].icon, Icon::Information);
    EXPECT_EQ(prompt_.asked()[0].buttons, unsigned(kButtonOk));
    EXPECT_TRUE(categories().empty());
}

TEST_F(CategoriesTest, DuplicateNameShowsDuplicateKeyErrorWithTheKeyDescription) {
    addCategory("Business");
    bool stillOpen = false;
    runForm(kInsertRecord, [&](UpdateCVCAT& f) {
        type(f.entry(), "business");
        f.okButton()->click();
        stillOpen = f.window()->isVisible();
        prompt_.answer(kButtonNo);
        f.cancelButton()->click();
    });
    EXPECT_TRUE(stillOpen);
    ASSERT_FALSE(prompt_.asked().empty());
    EXPECT_EQ(prompt_.asked()[0].title, "Duplicate Key Error");
    EXPECT_EQ(prompt_.asked()[0].text,
              "Adding this record creates a duplicate entry for the key: Category");
    EXPECT_EQ(categories(), std::vector<std::string>{"Business"});
}

TEST_F(CategoriesTest, DittoKeyBringsBackTheLastSavedValue) {
    runForm(kInsertRecord, [&](UpdateCVCAT& f) {
        type(f.entry(), "Travel");
        f.okButton()->click();
    });
    QString recalled, viaToolbar;
    prompt_.answer(kButtonNo);
    runForm(kInsertRecord, [&](UpdateCVCAT& f) {
        EXPECT_TRUE(f.entry()->text().isEmpty());
        f.window()->activateWindow();
        QApplication::setActiveWindow(f.window());
        f.entry()->setFocus();
        QTest::keyClick(f.entry(), Qt::Key_Apostrophe, Qt::ControlModifier);
        recalled = f.entry()->text();
        f.entry()->clear();
        f.ditto(f.entry());
        viaToolbar = f.entry()->text();
        f.cancelButton()->click();
    });
    EXPECT_EQ(recalled, "Travel");
    EXPECT_EQ(viaToolbar, "Travel");
}

TEST_F(CategoriesTest, ViewModeShowsTheRecordReadOnlyAndCloseEndsAtOnce) {
    addCategory("Banking");
    ASSERT_EQ(m_->cat.Open(), kLevelBenign);
    m_->catRecord->Category = "Banking";
    ASSERT_EQ(m_->cat.Fetch(vault::cat::K_Category), kLevelBenign);
    ThreadRegistry::instance().viewRequests = 1;
    QString title, cancelText, shownText;
    bool entryEnabled = true, okVisible = true;
    const int response = runForm(kChangeRecord, [&](UpdateCVCAT& f) {
        title = f.window()->windowTitle();
        entryEnabled = f.entry()->isEnabled();
        okVisible = f.okButton()->isVisible();
        cancelText = f.cancelButton()->text();
        shownText = f.entry()->text();
        f.cancelButton()->click();
    });
    ThreadRegistry::instance().viewRequests = 0;
    m_->cat.Close();
    EXPECT_EQ(title, "View Category");
    EXPECT_FALSE(entryEnabled);
    EXPECT_FALSE(okVisible);
    EXPECT_EQ(cancelText, "Cl&ose");
    EXPECT_EQ(shownText, "Banking");
    EXPECT_EQ(response, kRequestCancelled);
    EXPECT_TRUE(prompt_.asked().empty());
}

// ---- the list ----

// The list over six categories; the BrowseCVCAT objects opened are kept through the
// opened hook.
class ListFixture : public CategoriesTest {
  protected:
    void SetUp() override {
        CategoriesTest::SetUp();
        for (const char* c : {"Banking", "Business", "Email", "Games", "Personal", "Shopping"})
            addCategory(c);
        setWindowOpenedHook([this](WindowManager& w) {
            openedNames_.push_back(w.procedure());
            if (auto* b = dynamic_cast<BrowseCVCAT*>(&w)) listWindows_.push_back(b);
            for (auto it = scripts_.begin(); it != scripts_.end(); ++it) {
                if (it->first == w.procedure()) {
                    auto script = std::move(it->second);
                    scripts_.erase(it);
                    script(w);
                    return;
                }
            }
        });
    }
    BrowseCVCAT* openList() {
        const int thread = accounts::startBrowseCVCAT(m_->catRelations);
        EXPECT_GE(thread, 2);
        QWidget* w = ThreadRegistry::instance().window(thread);
        for (auto* b : listWindows_)
            if (w && b->window() == w) return b;
        return nullptr;
    }
    std::vector<BrowseCVCAT*> listWindows_;
};

TEST_F(ListFixture, ListShowsTheCategoriesInKeyOrderUnderItsTitle) {
    BrowseCVCAT* b = openList();
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->window()->windowTitle(), "Categories");
    EXPECT_EQ(shown(*b), (std::vector<std::string>{"Banking", "Business", "Email", "Games",
                                                   "Personal", "Shopping"}));
    EXPECT_EQ(b->browse().model().headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
              "Category");
    // Opened from the menu: no "&Select".
    EXPECT_TRUE(b->button("&Select")->isHidden());
    for (const char* text : {"&View", "&New", "&Change", "&Delete", "Cl&ose", "Help"})
        EXPECT_NE(b->button(text), nullptr) << text;
}

TEST_F(ListFixture, TypingTheFirstLettersPositionsOnTheCategoryWithoutRegardToCase) {
    BrowseCVCAT* b = openList();
    ASSERT_NE(b, nullptr);
    QTest::keyClicks(b->list(), "bu");
    EXPECT_EQ(selectedName(*b), "Business");
    EXPECT_EQ(b->browse().locator()->text(), "BU");
    QTest::keyClick(b->list(), Qt::Key_Backspace);
    EXPECT_EQ(b->browse().locator()->text(), "B");
    EXPECT_EQ(selectedName(*b), "Banking");
    // "BZZ" comes after every B: the next name.
    QTest::keyClicks(b->list(), "zz");
    EXPECT_EQ(selectedName(*b), "Email");
    // Past every name: the last one.
    for (int i = 0; i < 3; ++i) QTest::keyClick(b->list(), Qt::Key_Backspace);
    EXPECT_EQ(b->browse().locator()->text(), "");
    QTest::keyClicks(b->list(), "zz");
    EXPECT_EQ(selectedName(*b), "Shopping");
}

TEST_F(ListFixture, OpeningTheListTwiceBringsTheFirstToTheFront) {
    QMdiArea area;
    area.resize(800, 600);
    area.show();
    ThreadRegistry::instance().setMdiArea(&area);
    const int first = accounts::startBrowseCVCAT(m_->catRelations);
    ASSERT_GE(first, 2);
    // Something else comes to the front meanwhile.
    auto* other = new QWidget;
    ThreadRegistry::instance().start(other);
    ASSERT_NE(area.activeSubWindow()->widget(), ThreadRegistry::instance().window(first));
    const int second = accounts::startBrowseCVCAT(m_->catRelations);
    EXPECT_EQ(second, 0);
    QApplication::processEvents();
    EXPECT_EQ(area.activeSubWindow()->widget(), ThreadRegistry::instance().window(first));
    EXPECT_EQ(opened("BrowseCVCAT"), 1);
    EXPECT_EQ(ThreadRegistry::instance().singleInstanceOwner("BrowseCVCAT"), first);
    ThreadRegistry::instance().setMdiArea(nullptr);
    area.closeAllSubWindows();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(ListFixture, DeleteAsksConfirmDeleteAndNeverShowsTheForm) {
    BrowseCVCAT* b = openList();
    ASSERT_NE(b, nullptr);
    QTest::keyClicks(b->list(), "ga");
    ASSERT_EQ(selectedName(*b), "Games");
    prompt_.answer(kButtonYes);
    QTest::keyClick(b->list(), Qt::Key_Delete);
    ASSERT_EQ(prompt_.asked().size(), 1u);
    EXPECT_EQ(prompt_.asked()[0].title, "Confirm Delete");
    EXPECT_EQ(prompt_.asked()[0].text, "Are you sure you want to delete the highlighted record?");
    EXPECT_EQ(opened("UpdateCVCAT"), 0);
    EXPECT_EQ(categories(),
              (std::vector<std::string>{"Banking", "Business", "Email", "Personal", "Shopping"}));
    EXPECT_EQ(shown(*b), categories());
}

TEST_F(ListFixture, DeleteAnsweredNoKeepsTheCategory) {
    BrowseCVCAT* b = openList();
    ASSERT_NE(b, nullptr);
    prompt_.answer(kButtonNo);
    b->button("&Delete")->click();
    EXPECT_EQ(titles(), std::vector<std::string>{"Confirm Delete"});
    EXPECT_EQ(categories().size(), 6u);
}

TEST_F(ListFixture, UsedCategoryCannotBeDeleted) {
    addAccount("Email", "Mail account");
    BrowseCVCAT* b = openList();
    ASSERT_NE(b, nullptr);
    QTest::keyClicks(b->list(), "em");
    ASSERT_EQ(selectedName(*b), "Email");
    prompt_.answer(kButtonYes);
    prompt_.answer(kButtonOk);
    prompt_.answer(kButtonNo);  // do not try again
    b->button("&Delete")->click();
    ASSERT_GE(prompt_.asked().size(), 2u);
    EXPECT_EQ(prompt_.asked()[1].title, "Referential Integrity Delete Error");
    EXPECT_EQ(prompt_.asked()[1].text,
              "This record is referenced from the file Passwords [CVPAS]. This record cannot be "
              "deleted while "
              "these references exist.");
    EXPECT_EQ(categories().size(), 6u);
    EXPECT_EQ(opened("UpdateCVCAT"), 0);
}

TEST_F(ListFixture, RenamingBusinessToWorkMovesEveryAccount) {
    addAccount("Business", "Payroll");
    addAccount("Business", "Timesheets");
    addAccount("Personal", "Diary");
    BrowseCVCAT* b = openList();
    ASSERT_NE(b, nullptr);
    QTest::keyClicks(b->list(), "bus");
    ASSERT_EQ(selectedName(*b), "Business");
    QString title;
    onOpen("UpdateCVCAT", [&](WindowManager& w) {
        auto& f = static_cast<UpdateCVCAT&>(w);
        title = f.window()->windowTitle();
        f.entry()->clear();
        type(f.entry(), "Work");
        f.okButton()->click();
    });
    b->button("&Change")->click();
    EXPECT_EQ(title, "Change Category");
    EXPECT_EQ(categories(), (std::vector<std::string>{"Banking", "Email", "Games", "Personal",
                                                      "Shopping", "Work"}));
    EXPECT_EQ(accounts(), (std::vector<std::pair<std::string, std::string>>{
                              {"Diary", "Personal"}, {"Payroll", "Work"}, {"Timesheets", "Work"}}));
    // The list re-read itself and shows the renamed record.
    EXPECT_EQ(shown(*b), categories());
    EXPECT_EQ(selectedName(*b), "Work");
}

TEST_F(ListFixture, DoubleClickChangesWhenOpenedFromTheMenu) {
    BrowseCVCAT* b = openList();
    ASSERT_NE(b, nullptr);
    int request = 0;
    onOpen("UpdateCVCAT", [&](WindowManager& w) {
        request = w.request;
        static_cast<UpdateCVCAT&>(w).cancelButton()->click();
    });
    const QRect cell = b->list()->visualRect(b->browse().model().index(2, 0));
    QTest::mouseDClick(b->list()->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(request, kChangeRecord);
    EXPECT_EQ(selectedName(*b), "Email");
}

TEST_F(ListFixture, InsertKeyOpensANewRecordAndTheListShowsIt) {
    BrowseCVCAT* b = openList();
    ASSERT_NE(b, nullptr);
    onOpen("UpdateCVCAT", [&](WindowManager& w) {
        auto& f = static_cast<UpdateCVCAT&>(w);
        EXPECT_EQ(f.request, kInsertRecord);
        type(f.entry(), "Forums");
        f.okButton()->click();
    });
    QTest::keyClick(b->list(), Qt::Key_Insert);
    EXPECT_EQ(selectedName(*b), "Forums");
    EXPECT_EQ(categories().size(), 7u);
}

TEST_F(ListFixture, CtrlEnterChangesTheSelectedRow) {
    BrowseCVCAT* b = openList();
    ASSERT_NE(b, nullptr);
    std::string shownInForm;
    onOpen("UpdateCVCAT", [&](WindowManager& w) {
        auto& f = static_cast<UpdateCVCAT&>(w);
        shownInForm = f.entry()->text().toStdString();
        EXPECT_EQ(f.window()->windowTitle(), "Change Category");
        f.cancelButton()->click();
    });
    QTest::keyClick(b->list(), Qt::Key_Down);
    QTest::keyClick(b->list(), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(shownInForm, "Business");
}

TEST_F(CategoriesTest, EmptyListIgnoresDeleteAndInsertStillAdds) {
    std::vector<BrowseCVCAT*> lists;
    setWindowOpenedHook([&](WindowManager& w) {
        openedNames_.push_back(w.procedure());
        if (auto* b = dynamic_cast<BrowseCVCAT*>(&w)) lists.push_back(b);
        if (w.procedure() == "UpdateCVCAT") {
            auto& f = static_cast<UpdateCVCAT&>(w);
            type(f.entry(), "Personal");
            f.okButton()->click();
        }
    });
    ASSERT_GE(accounts::startBrowseCVCAT(m_->catRelations), 2);
    ASSERT_EQ(lists.size(), 1u);
    BrowseCVCAT* b = lists.front();
    EXPECT_TRUE(b->browse().view().empty());
    QTest::keyClick(b->list(), Qt::Key_Delete);
    EXPECT_TRUE(prompt_.asked().empty());
    EXPECT_EQ(opened("UpdateCVCAT"), 0);
    QTest::keyClick(b->list(), Qt::Key_Insert);
    EXPECT_EQ(opened("UpdateCVCAT"), 1);
    EXPECT_EQ(categories(), std::vector<std::string>{"Personal"});
    EXPECT_EQ(shown(*b), std::vector<std::string>{"Personal"});
}

TEST_F(ListFixture, ViewOpensTheFormReadOnlyAndLeavesTheCounterAsItWas) {
    BrowseCVCAT* b = openList();
    ASSERT_NE(b, nullptr);
    QString title;
    bool enabled = true;
    int counter = 0;
    onOpen("UpdateCVCAT", [&](WindowManager& w) {
        auto& f = static_cast<UpdateCVCAT&>(w);
        title = f.window()->windowTitle();
        enabled = f.entry()->isEnabled();
        counter = ThreadRegistry::instance().viewRequests;
        f.cancelButton()->click();
    });
    b->button("&View")->click();
    EXPECT_EQ(title, "View Category");
    EXPECT_FALSE(enabled);
    EXPECT_EQ(counter, 1);
    EXPECT_EQ(ThreadRegistry::instance().viewRequests, 0);
    EXPECT_TRUE(prompt_.asked().empty());
}

TEST_F(ListFixture, RightClickOffersTheBrowseActionsOfItsControls) {
    BrowseCVCAT* b = openList();
    ASSERT_NE(b, nullptr);
    QMenu* menu = b->browse().actionsMenu();
    QStringList items;
    for (QAction* a : menu->actions()) items << a->text();
    EXPECT_EQ(menu->title(), "Browse Actions");
    EXPECT_EQ(items, (QStringList{"&Insert", "&Change", "&Delete"}));
}

TEST_F(ListFixture, GainingFocusRereadsChangesMadeElsewhere) {
    BrowseCVCAT* b = openList();
    ASSERT_NE(b, nullptr);
    addCategory("Alpha");
    EXPECT_EQ(shown(*b).front(), "Banking");
    ThreadRegistry::instance().postGainFocus(b->thread());
    QApplication::processEvents();
    EXPECT_EQ(shown(*b).front(), "Alpha");
}

TEST_F(ListFixture, ScreenshotOfTheCategoriesList) {
    BrowseCVCAT* b = openList();
    ASSERT_NE(b, nullptr);
    QTest::keyClicks(b->list(), "e");
    const std::filesystem::path dir = CORVIX_SCREENSHOT_DIR;
    std::filesystem::create_directories(dir);
    const QString file = QString::fromStdString((dir / "categories.png").string());
    const QPixmap shot = b->window()->grab();
    EXPECT_FALSE(shot.isNull());
    EXPECT_TRUE(shot.save(file, "PNG"));
    EXPECT_GT(std::filesystem::file_size(file.toStdString()), 1000u);
}

// ---- the look-up ----

TEST_F(CategoriesTest, LookUpShowsSelectAndDoubleClickSelectsTheRow) {
    for (const char* c : {"Banking", "Business", "Email"}) addCategory(c);
    std::string titleSeen;
    bool selectVisible = false;
    onOpen("BrowseCVCAT", [&](WindowManager& w) {
        auto& b = static_cast<BrowseCVCAT&>(w);
        selectVisible = !b.button("&Select")->isHidden();
        const QRect cell = b.list()->visualRect(b.browse().model().index(1, 0));
        QTest::mouseDClick(b.list()->viewport(), Qt::LeftButton, {}, cell.center());
    });
    ASSERT_EQ(m_->catRelations.Open(), kLevelBenign);
    BrowseCVCAT lookUp(m_->catRelations, kSelectRecord);
    const int response = lookUp.run();
    m_->catRelations.Close();
    EXPECT_TRUE(selectVisible);
    EXPECT_EQ(response, kRequestCompleted);
    EXPECT_EQ(m_->catRecord->Category, "Business");
    EXPECT_EQ(opened("UpdateCVCAT"), 0);
}

TEST_F(CategoriesTest, LookUpClosedWithCloseIsCancelled) {
    addCategory("Banking");
    onOpen("BrowseCVCAT",
           [&](WindowManager& w) { static_cast<BrowseCVCAT&>(w).button("Cl&ose")->click(); });
    BrowseCVCAT lookUp(m_->catRelations, kSelectRecord);
    EXPECT_EQ(lookUp.run(), kRequestCancelled);
}

}  // namespace
}  // namespace corvix::gui_test
