// The form protocol on a table with an auto-numbered key, the browse's filters and the
// move-after-save loop, the activity hook and the resizer.
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "accounts/browse_cvcat.h"
#include "accounts/update_cvcat.h"
#include "framework/browse_manager.h"
#include "framework/file_manager.h"
#include "framework/form.h"
#include "framework/qt_prompt.h"
#include "framework/resizer.h"
#include "gui_fixture.h"

namespace corvix::gui_test {
namespace {

using namespace corvix::framework;
namespace pas = vault::pas;

// A minimal account form: one entry for the description.
class AccountForm : public FormManager {
  public:
    explicit AccountForm(RelationManager& r) : FormManager("UpdateTestPAS"), table_(r) {}
    QLineEdit* entry = nullptr;
    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;

  protected:
    int build() override {
        auto* w = new QWidget;
        auto* layout = new QVBoxLayout(w);
        entry = new QLineEdit(w);
        ok = new QPushButton("&OK", w);
        cancel = new QPushButton("Cancel", w);
        layout->addWidget(entry);
        layout->addWidget(ok);
        layout->addWidget(cancel);
        setWindow(w);
        primary = &table_;
        firstField = entry;
        okControl = ok;
        items.push_back({cancel, kRequestCancelled});
        bind(entry, pas::Description);
        return kLevelBenign;
    }
    void primeFields() override { table_.record().set(pas::Category, std::string("Personal")); }

  private:
    RelationFormTable table_;
};

class FormTest : public GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        addCategory("Personal");
    }
    int runAccountForm(int request, std::function<void(AccountForm&)> script,
                       int insertAction = 2) {
        onOpen("UpdateTestPAS",
               [script](WindowManager& w) { script(static_cast<AccountForm&>(w)); });
        EXPECT_EQ(m_->catRelations.Open(), kLevelBenign);
        AccountForm form(m_->pasRelations);
        form.request = request;
        form.insertAction = insertAction;
        const int r = form.run();
        m_->catRelations.Close();
        return r;
    }
};

TEST_F(FormTest, CancelledNewRecordLeavesNoReservedRecord) {
    prompt_.answer(kButtonNo);
    const int r = runAccountForm(kInsertRecord, [&](AccountForm& f) {
        EXPECT_EQ(accounts().size(), 1u);  // the number is reserved while the form is open
        f.entry->clear();
        type(f.entry, "Bank");
        f.cancel->click();
    });
    EXPECT_EQ(r, kRequestCancelled);
    EXPECT_EQ(titles(), std::vector<std::string>{"Save Record"});
    EXPECT_TRUE(accounts().empty());
}

TEST_F(FormTest, SavedNewRecordKeepsItsNumberAndTheWindowsOwnDefaults) {
    const int r = runAccountForm(kInsertRecord, [&](AccountForm& f) {
        f.entry->clear();
        type(f.entry, "Bank");
        f.ok->click();
    });
    EXPECT_EQ(r, kRequestCompleted);
    EXPECT_EQ(accounts(), (std::vector<std::pair<std::string, std::string>>{{"Bank", "Personal"}}));
}

TEST_F(FormTest, RecordAddedAnsweredYesStaysForAnotherRecord) {
    prompt_.answer(kButtonYes);
    prompt_.answer(kButtonNo);
    int secondNumber = 0;
    const int r = runAccountForm(
        kInsertRecord,
        [&](AccountForm& f) {
            f.entry->clear();
            type(f.entry, "First");
            f.ok->click();
            EXPECT_TRUE(f.window()->isVisible());
            secondNumber = static_cast<int>(m_->pasRecord->PAS_ID);
            f.entry->clear();
            type(f.entry, "Second");
            f.ok->click();
        },
        4);
    EXPECT_EQ(r, kRequestCompleted);
    EXPECT_EQ(titles(), (std::vector<std::string>{"Record Added", "Record Added"}));
    EXPECT_EQ(prompt_.asked()[0].text,
              "This record has been added to the file. Do you want to add another record?");
    EXPECT_EQ(secondNumber, 2);
    EXPECT_EQ(accounts().size(), 2u);
}

TEST_F(FormTest, ChangeWithoutChangesWritesNothingAndAsksNothing) {
    addAccount("Personal", "Diary");
    ASSERT_EQ(m_->catRelations.Open(), kLevelBenign);
    m_->pasRecord->PAS_ID = 1;
    ASSERT_EQ(m_->pas.Fetch(pas::K_PAS_ID), kLevelBenign);
    const int r = runAccountForm(kChangeRecord, [&](AccountForm& f) {
        EXPECT_EQ(f.entry->text(), "Diary");
        f.cancel->click();
    });
    m_->catRelations.Close();
    EXPECT_EQ(r, kRequestCancelled);
    EXPECT_TRUE(prompt_.asked().empty());
}

TEST_F(FormTest, EveryAcceptedControlTouchesTheActivityTime) {
    int touches = 0;
    setActivityHook([&] { ++touches; });
    prompt_.answer(kButtonNo);
    runAccountForm(kInsertRecord, [&](AccountForm& f) {
        f.entry->clear();
        type(f.entry, "x");
        QTest::keyClick(f.entry, Qt::Key_Return);  // the entry is accepted
        f.cancel->click();
    });
    setActivityHook({});
    EXPECT_EQ(touches, 2);
}

TEST_F(FormTest, DeleteRequestWithTheFormShownAsksAgainOnFailure) {
    addAccount("Personal", "Diary");
    ASSERT_EQ(m_->catRelations.Open(), kLevelBenign);
    m_->pasRecord->PAS_ID = 1;
    ASSERT_EQ(m_->pas.Fetch(pas::K_PAS_ID), kLevelBenign);
    onOpen("UpdateTestPAS", [&](WindowManager& w) { static_cast<AccountForm&>(w).ok->click(); });
    AccountForm form(m_->pasRelations);
    form.request = kDeleteRecord;
    form.deleteAction = 0;  // show the form
    EXPECT_EQ(form.run(), kRequestCompleted);
    m_->catRelations.Close();
    EXPECT_TRUE(accounts().empty());
    EXPECT_EQ(opened("UpdateTestPAS"), 1);
}

// ---- the browse's filters and the move after a save ----

class BrowseManagerTest : public GuiTest {
  protected:
    void SetUp() override {
        GuiTest::SetUp();
        for (const char* c : {"Banking", "Business", "Email", "Games", "Personal"}) addCategory(c);
        setWindowOpenedHook([this](WindowManager& w) {
            openedNames_.push_back(w.procedure());
            if (auto* b = dynamic_cast<accounts::BrowseCVCAT*>(&w)) list_ = b;
            for (auto it = scripts_.begin(); it != scripts_.end(); ++it) {
                if (it->first == w.procedure()) {
                    auto script = std::move(it->second);
                    scripts_.erase(it);
                    script(w);
                    return;
                }
            }
        });
        ASSERT_GE(accounts::startBrowseCVCAT(m_->catRelations), 2);
        ASSERT_NE(list_, nullptr);
    }
    std::vector<std::string> shown() {
        std::vector<std::string> out;
        for (const auto& r : list_->browse().view().rows())
            out.push_back(r.record.getString(vault::cat::Category));
        return out;
    }
    accounts::BrowseCVCAT* list_ = nullptr;
};

TEST_F(BrowseManagerTest, TwoNamedFiltersBothApplyAndAnEmptyOneIsRemoved) {
    BrowseManager& b = list_->browse();
    b.setFilter("UPPER(SUB(CAT:Category,1,1)) = 'B'");
    b.setFilter("CAT:Category <> 'Banking'", "6 Query");
    EXPECT_EQ(b.composedFilter(),
              "(UPPER(SUB(CAT:Category,1,1)) = 'B') AND (CAT:Category <> 'Banking')");
    b.applyFilter();
    EXPECT_EQ(shown(), std::vector<std::string>{"Business"});
    b.setFilter("", "6 Query");
    b.applyFilter();
    EXPECT_EQ(shown(), (std::vector<std::string>{"Banking", "Business"}));
    b.setFilter("   ");
    b.applyFilter();
    EXPECT_EQ(shown().size(), 5u);
    EXPECT_TRUE(prompt_.asked().empty());
}

TEST_F(BrowseManagerTest, RefusedFilterShowsViewOpenErrorAndTheWholeList) {
    BrowseManager& b = list_->browse();
    b.setFilter("no such column = 1");
    b.applyFilter();
    ASSERT_EQ(titles(), std::vector<std::string>{"View Open Error"});
    EXPECT_EQ(prompt_.asked()[0].text.rfind("Error: (", 0), 0u);
    EXPECT_NE(prompt_.asked()[0].text.find(
                  "attempting to open the current VIEW. Filter and Range Limits ignored."),
              std::string::npos);
    EXPECT_EQ(shown().size(), 5u);
}

TEST_F(BrowseManagerTest, ToolbarDownOneSavesAndOpensTheNextRecord) {
    std::vector<std::string> seen;
    onOpen("UpdateCVCAT", [&](WindowManager& w) {
        auto& f = static_cast<accounts::UpdateCVCAT&>(w);
        seen.push_back(f.entry()->text().toStdString());
        w.takeToolbar(kToolDown);  // as forwarded by the frame
    });
    onOpen("UpdateCVCAT", [&](WindowManager& w) {
        auto& f = static_cast<accounts::UpdateCVCAT&>(w);
        seen.push_back(f.entry()->text().toStdString());
        f.cancelButton()->click();
    });
    list_->browse().first();
    list_->button("&Change")->click();
    EXPECT_EQ(seen, (std::vector<std::string>{"Banking", "Business"}));
    EXPECT_EQ(opened("UpdateCVCAT"), 2);
}

TEST_F(BrowseManagerTest, ToolbarInTheListMovesAndOffersOnlyItsControls) {
    BrowseManager& b = list_->browse();
    EXPECT_FALSE(b.hasToolbarButton(kToolSelect));  // not selecting
    EXPECT_TRUE(b.hasToolbarButton(kToolChange));
    ThreadRegistry::instance().postAccepted(list_->thread(), kToolBottom);
    QApplication::processEvents();
    EXPECT_EQ(b.view().current()->record.getString(vault::cat::Category), "Personal");
    ThreadRegistry::instance().postAccepted(list_->thread(), kToolTop);
    QApplication::processEvents();
    EXPECT_EQ(b.view().current()->record.getString(vault::cat::Category), "Banking");
}

// A list of categories with an entry locator instead of the incremental one.
class EntryLocatorList : public WindowManager {
  public:
    explicit EntryLocatorList(FileManager& f) : WindowManager("TestEntryLocator"), file_(f) {}
    std::unique_ptr<BrowseManager> browse;
    QLineEdit* entry = nullptr;
    QTableView* list = nullptr;

  protected:
    int init() override {
        auto* w = new QWidget;
        auto* layout = new QVBoxLayout(w);
        entry = new QLineEdit(w);
        list = new QTableView(w);
        layout->addWidget(entry);
        layout->addWidget(list);
        w->resize(300, 400);
        setWindow(w);
        browse = std::make_unique<BrowseManager>(*this, file_);
        browse->setList(list);
        browse->addColumn(vault::cat::Category, "Category");
        browse->addSortOrder(vault::cat::K_Category);
        browse->addLocator(Locator::Kind::Entry, vault::cat::Category, entry);
        return browse->init(kNoRequest);
    }
    void kill() override { browse->kill(); }

  private:
    FileManager& file_;
};

TEST_F(BrowseManagerTest, EntryLocatorTakesTheTypedKeyAndPositionsWhenAccepted) {
    EntryLocatorList w(m_->cat);
    onOpen("TestEntryLocator", [&](WindowManager&) {
        QTest::keyClick(w.list, Qt::Key_G);  // forwarded to the entry
        EXPECT_EQ(w.entry->text(), "g");
        EXPECT_EQ(w.browse->view().current()->record.getString(vault::cat::Category), "Banking");
        QTest::keyClick(w.entry, Qt::Key_Return);
        EXPECT_EQ(w.browse->view().current()->record.getString(vault::cat::Category), "Games");
        w.endWindow();
    });
    w.run();
    EXPECT_EQ(opened("TestEntryLocator"), 1);
}

// ---- resizing and placement ----

TEST_F(GuiTest, ResizerKeepsTheOpeningSizeAsMinimumAndControlsFollow) {
    QWidget w;
    w.resize(300, 200);
    auto* list = new QListView(&w);
    list->setGeometry(10, 10, 200, 150);
    auto* button = new QPushButton("Cl&ose", &w);
    button->setGeometry(220, 160, 70, 30);
    w.show();
    Resizer r(&w, "TestWindow");
    EXPECT_EQ(w.minimumSize(), QSize(300, 200));
    w.resize(400, 260);
    EXPECT_EQ(list->geometry(), QRect(10, 10, 300, 210));
    EXPECT_EQ(button->geometry(), QRect(320, 220, 70, 30));
    w.resize(100, 100);
    EXPECT_GE(w.width(), 300);
    EXPECT_GE(w.height(), 200);
}

TEST_F(GuiTest, WindowPlacementIsSavedUnderItsProcedureAndRestored) {
    {
        QWidget w;
        w.resize(320, 240);
        w.show();
        Resizer r(&w, "BrowseCVCAT");
        w.resize(360, 280);
        w.move(40, 50);
        r.save();
    }
    EXPECT_EQ(settings_.GetValue("BrowseCVCAT", "Maximize"), "No");
    EXPECT_EQ(settings_.GetValue("BrowseCVCAT", "Width"), "360");
    EXPECT_EQ(settings_.GetValue("BrowseCVCAT", "Height"), "280");
    QWidget again;
    again.resize(320, 240);
    again.show();
    Resizer r(&again, "BrowseCVCAT");
    r.restore();
    EXPECT_EQ(again.size(), QSize(360, 280));
}

// ---- the Qt prompt ----

TEST_F(GuiTest, QtPromptShowsAMessageBoxAndAnswersTheButtonPressed) {
    QtPrompt qt;
    QString title, text;
    int buttons = 0;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        buttons = box->buttons().size();
        box->button(QMessageBox::No)->click();
    });
    const Button b =
        qt.ask("Confirm Delete", "Are you sure you want to delete the highlighted record?",
               Icon::Exclamation, kButtonYes | kButtonNo, kButtonYes);
    EXPECT_EQ(b, kButtonNo);
    EXPECT_EQ(title, "Confirm Delete");
    EXPECT_EQ(text, "Are you sure you want to delete the highlighted record?");
    EXPECT_EQ(buttons, 2);
}

}  // namespace
}  // namespace corvix::gui_test
