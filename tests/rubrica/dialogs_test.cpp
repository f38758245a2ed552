// The design windows offscreen: the "Format Report" dialog's tabs and rules, the "Sort
// Designer", and the saved-reports list with its name form.
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include "libs/rubrica/format_dialog.h"
#include "libs/rubrica/formats.h"
#include "libs/rubrica/report_store.h"
#include "libs/rubrica/saved_reports.h"
#include "libs/rubrica/sort_designer.h"
#include "tests/rubrica/rubrica_fixture.h"

namespace corvix::rubrica::testing {
namespace {

class DesignTest : public RubricaTest {
  protected:
    void SetUp() override {
        RubricaTest::SetUp();
        makeHost();
        setCurrentViewClass("HostView");
    }
    FormatRequest request(std::optional<uint8_t> options, std::optional<long> id = {},
                          bool withSort = true) {
        return {&allFields,  options,
                id,          std::string("Current"),
                &fields,     withSort ? &sort : nullptr,
                &predefined, &columns,
                &breaks,     &format};
    }
    // Types a name into the name form that opens next and presses OK.
    void nameNext(const std::string& name, std::string* shownName = nullptr,
                  std::string* title = nullptr) {
        onNextModal([=](QWidget* form) {
            auto* entry = form->findChild<QLineEdit*>("ReportName");
            if (shownName) *shownName = entry->text().toStdString();
            if (title) *title = form->windowTitle().toStdString();
            entry->setText(QString::fromStdString(name));
            form->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
    }
    std::string sort = "H:Name";
    std::string format;
    PredefinedSorts predefined = {{"By category", "UPPER(H:Category)"}};
    TQRPTFIELD columns;
    BreakOptions breaks;
};

TEST_F(DesignTest, TitlesButtonsAndTabsFollowHowTheDialogIsCalled) {
    ReportDefinition d;
    d.VIEWCLASS = "HostView";
    d.setDescription("Stored one");
    ASSERT_EQ(ReportStore::save(d), 0);
    {
        FormatReportDialog dialog(request(1, d.SYSID));
        EXPECT_EQ(dialog.windowTitle(), "Modify Report Format (Stored one)");
        EXPECT_EQ(dialog.findChild<QPushButton*>("ApplyButton")->text(), "&Apply");
        EXPECT_FALSE(dialog.findChild<QPushButton*>("SaveButton")->isHidden());
        EXPECT_TRUE(dialog.tabs()->isTabVisible(1));
        dialog.resize(640, 420);
        dialog.show();
        const char* names[] = {"format_report_layout", "format_report_sort",
                               "format_report_grouping"};
        for (int i = 0; i < 3; ++i) {
            dialog.tabs()->setCurrentIndex(i);
            screenshot(&dialog, names[i]);
        }
    }
    FormatReportDialog fresh(request(1, 99));
    EXPECT_EQ(fresh.windowTitle(), "Define Report Format");
    FormatReportDialog hostOnly(request(std::nullopt, {}, false));
    EXPECT_EQ(hostOnly.windowTitle(), "Modify Report Format (Current)");
    EXPECT_EQ(hostOnly.findChild<QPushButton*>("ApplyButton")->text(), "&OK");
    EXPECT_TRUE(hostOnly.findChild<QPushButton*>("SaveButton")->isHidden());
    EXPECT_TRUE(hostOnly.findChild<QPushButton*>("SaveAsButton")->isHidden());
    EXPECT_FALSE(hostOnly.tabs()->isTabVisible(1));
}

TEST_F(DesignTest, LayoutMovesFieldsAndTotalsThenApplyHandsOverTheDesign) {
    columns = {{"Name", 0, "H:Name", kNoTotal}};
    FormatReportDialog dialog(request(1));
    auto items = [](QListWidget* l) {
        std::vector<std::string> out;
        for (int i = 0; i < l->count(); ++i) out.push_back(l->item(i)->text().toStdString());
        return out;
    };
    EXPECT_EQ(items(dialog.available()), (std::vector<std::string>{"Amount", "Category", "Count"}));
    dialog.available()->setCurrentRow(0);
    dialog.addSelected();  // Amount
    dialog.available()->setCurrentRow(1);
    dialog.addSelected();  // Count
    EXPECT_EQ(items(dialog.shown()), (std::vector<std::string>{"Name", "Amount", "Count"}));
    EXPECT_EQ(items(dialog.available()), (std::vector<std::string>{"Category"}));
    dialog.shown()->setCurrentRow(2);
    dialog.moveSelected(-2);
    dialog.moveSelected(-1);  // already first: stays
    EXPECT_EQ(items(dialog.shown()), (std::vector<std::string>{"Count", "Name", "Amount"}));

    dialog.shown()->setCurrentRow(1);  // Name cannot be totalled
    EXPECT_FALSE(dialog.totalBox()->isEnabled());
    dialog.shown()->setCurrentRow(2);
    dialog.totalBox()->click();
    dialog.averageBox()->click();  // the two exclude each other
    EXPECT_TRUE(dialog.averageBox()->isChecked());
    EXPECT_FALSE(dialog.totalBox()->isChecked());
    dialog.shown()->setCurrentRow(0);
    dialog.totalBox()->click();
    dialog.shown()->setCurrentRow(1);
    dialog.removeSelected();  // Name

    dialog.option(0, 2)->setChecked(true);  // footing identifier, level 1
    dialog.apply();
    EXPECT_EQ(dialog.result(), -1);
    EXPECT_EQ(format, "~Count~|+|~Amount~|@|");
    EXPECT_EQ(sort, "H:Name");  // the custom order on entry, kept
    EXPECT_EQ(breaks.GFOOT[0], 1);
    ASSERT_EQ(columns.size(), 2u);
}

TEST_F(DesignTest, SuppressingDetailNeedsAFooterTotalOrIdentifier) {
    breaks.GTOTAL[0] = breaks.GSUPPRESS = 1;
    FormatReportDialog dialog(request(1));
    EXPECT_TRUE(dialog.suppress()->isChecked());
    dialog.option(1, 2)->setChecked(true);
    dialog.option(1, 2)->setChecked(false);  // the level-1 total still allows it
    EXPECT_TRUE(messages.empty());
    dialog.option(0, 3)->click();  // the last group total goes
    EXPECT_FALSE(dialog.suppress()->isChecked());
    const std::string expected =
        "Suppress Details Deactivated: Disabling \"Suppress Report Detail Rows\"\n\nTo "
        "suppress report detail, a footer total or footer identifier must be enabled.";
    ASSERT_EQ(messages, std::vector<std::string>{expected});
    dialog.suppress()->click();  // nothing to print: refused the same way
    EXPECT_FALSE(dialog.suppress()->isChecked());
    EXPECT_EQ(messages.size(), 2u);
    dialog.option(0, 0)->setChecked(true);  // a page break alone is not enough
    dialog.suppress()->click();
    EXPECT_FALSE(dialog.suppress()->isChecked());
}

TEST_F(DesignTest, SortDesignerWritesTheSortStringAndCloseRestoresTheEntryOrder) {
    {
        SortDesigner designer(fields, "-UPPER(H:Name),H:Amount");
        EXPECT_EQ(designer.sortString(), "-UPPER(H:Name),UPPER(H:Amount)");
        designer.ignoreCase()->setChecked(false);
        designer.setLevel(1, -1, false);  // (none): the levels after it are dropped
        designer.setLevel(2, 0, false);
        EXPECT_EQ(designer.sortString(), "-H:Name");
        designer.show();
        screenshot(&designer, "sort_designer");
        designer.clearAll();
        EXPECT_EQ(designer.sortString(), "");
    }
    FormatReportDialog dialog(request(1));
    EXPECT_TRUE(dialog.customSort()->isChecked());
    EXPECT_EQ(dialog.customText()->text(), "Name");
    onNextModal([](QWidget* w) {
        auto* d = dynamic_cast<SortDesigner*>(w);
        d->setLevel(0, 0, false);  // Category
        d->setLevel(1, 2, true);   // Amount, descending
        d->accept();
    });
    dialog.findChild<QPushButton*>("DefineSortButton")->click();
    EXPECT_EQ(dialog.customText()->text(), "Category, <Amount>");
    EXPECT_EQ(dialog.currentSort(), "H:Category,-H:Amount");  // case counted, as on entry
    dialog.closeDialog();
    EXPECT_EQ(dialog.result(), 0);
    EXPECT_EQ(sort, "H:Name");

    sort = "UPPER(H:Category)";  // a predefined order is shown as one
    FormatReportDialog again(request(1));
    EXPECT_FALSE(again.customSort()->isChecked());
    EXPECT_EQ(again.customText()->text(),
              "Click the \"Define Sort Order\" button to create your custom sort order.");
}

TEST_F(DesignTest, SavedReportsAreAddedRenamedCopiedFormattedSelectedAndDeleted) {
    std::string name;
    SavedReportsWindow::Host host{&columns,   &fields, &sort,   &predefined,
                                  &allFields, &breaks, &format, &name};
    SavedReportsWindow window("HostView", host);
    window.show();
    // Insert: the name form, then the format dialog for the new report, saved there.
    std::string title;
    nameNext("Totals", nullptr, &title);
    onNextModal([](QWidget* w) {
        auto* d = dynamic_cast<FormatReportDialog*>(w);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->windowTitle(), "Modify Report Format (Totals)");
        d->available()->setCurrentRow(0);
        d->addSelected();  // Amount
        d->setTotal(0, kSum);
        EXPECT_TRUE(d->save(false));
        d->closeDialog();
    });
    window.insertReport();
    EXPECT_EQ(title, "New Report");
    ASSERT_EQ(window.reports().size(), 1u);
    EXPECT_EQ(window.reports()[0].FORMATSTR, "~Amount~|+|");

    std::string offered;
    nameNext("Totals kept", &offered);
    window.copyReport();
    EXPECT_EQ(offered, "Copy of Totals");
    nameNext("A renamed", &offered, &title);
    window.list()->setCurrentRow(0);  // "Totals"
    window.changeReport();
    EXPECT_EQ(offered, "Totals");
    EXPECT_EQ(title, "Rename Report");
    ASSERT_EQ(window.list()->count(), 2);
    EXPECT_EQ(window.list()->item(0)->text(), "A renamed");
    EXPECT_EQ(window.list()->currentRow(), 0);
    screenshot(&window, "saved_reports");

    answers = {kCancel};
    window.deleteReport();
    EXPECT_EQ(window.list()->count(), 2);
    answers = {kOk};
    window.deleteReport();
    ASSERT_EQ(window.list()->count(), 1);
    EXPECT_EQ(messages.back().substr(0, 16), "Confirm Delete: ");

    window.list()->setCurrentRow(0);
    window.selectReport();
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_EQ(name, "Totals kept");
    EXPECT_EQ(format, "~Amount~|+|");
    ASSERT_EQ(columns.size(), 1u);
    EXPECT_EQ(columns[0].TOTAL, kSum);
}

}  // namespace
}  // namespace corvix::rubrica::testing
