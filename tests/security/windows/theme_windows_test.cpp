// The theme form, the recorder and the theme list: dependent controls, the range check on
// leaving columns and rows, held symbols, Cancel restoring, and a theme in use.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "platform/storage/table.h"
#include "security/browse_cvgsd.h"
#include "security/edit_image.h"
#include "security/password_text.h"
#include "security/session.h"
#include "security/theme_geometry.h"
#include "security/theme_symbols.h"
#include "security/update_cvgsd.h"
#include "security_window_fixture.h"
#include "vault/access.h"

namespace corvix::security_test {
namespace {

using namespace corvix::framework;
using namespace corvix::security;

class ThemeWindowsTest : public SecurityWindowTest {
  protected:
    int runForm(int request, std::function<void(UpdateCVGSD&)> script) {
        onOpen("UpdateCVGSD", [script](WindowManager& w) { script(static_cast<UpdateCVGSD&>(w)); });
        UpdateCVGSD form(*m_);
        form.request = request;
        return form.run();
    }
    int runRecorder(vault::GsdRecord& theme, std::function<void(Edit_Image&)> script) {
        onOpen("Edit:Image", [script](WindowManager& w) { script(static_cast<Edit_Image&>(w)); });
        Edit_Image recorder(theme);
        return recorder.run();
    }
    static void clickCell(Edit_Image& r, size_t i) {
        QTest::mouseClick(r.cell(i), Qt::LeftButton, {}, r.cell(i)->rect().center());
    }
    static void clickText(QAbstractButton* b) {
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(8, b->height() / 2));
    }
    static char32_t symbolOf(vault::GsdRecord theme, int c, int r) {
        return symbolAt(toChars(theme.Password), symbolIndex(c, r, theme.Columns));
    }
};

TEST_F(ThemeWindowsTest, LocationDisablesTheGridControlsButKeepsTheHintColour) {
    const int response = runForm(kInsertRecord, [this](UpdateCVGSD& f) {
        EXPECT_EQ(f.window()->windowTitle(), "Theme");
        EXPECT_TRUE(f.basisButton(false)->isChecked());  // a new theme is a grid
        EXPECT_EQ(f.columns()->text(), "3");
        // Grid without the grid shown: no colour to set.
        EXPECT_FALSE(f.colorButton()->isEnabled());
        clickText(f.gridCheck());
        EXPECT_TRUE(f.colorButton()->isEnabled());
        EXPECT_EQ(f.colorCaption()->text(), "Grid Color");
        clickText(f.gridCheck());
        clickText(f.basisButton(true));
        EXPECT_FALSE(f.advancedButton()->isEnabled());
        EXPECT_FALSE(f.columns()->isEnabled());
        EXPECT_FALSE(f.rows()->isEnabled());
        EXPECT_FALSE(f.gridCheck()->isEnabled());
        EXPECT_FALSE(f.styleGroup()->isEnabled());
        EXPECT_TRUE(f.colorButton()->isEnabled());
        EXPECT_EQ(f.colorCaption()->text(), "Hint Color");
        setThemeFormDialogs(
            {[this](QWidget*) { return QString::fromStdString(picture("p.bmp", 300, 100)); },
             [](QWidget*, uint32_t) { return std::optional<uint32_t>(0x00FF00); }});
        f.colorButton()->click();
        f.imageButton()->click();
        setThemeFormDialogs({});
        // Fitted: 148 high -> 442 wide is too wide, so 198 wide and 198 / 3 - 2 high.
        ASSERT_FALSE(f.preview()->pixmap().isNull());
        EXPECT_EQ(f.preview()->pixmap().size(), QSize(198, 64));
        gui_test::type(f.description(), "Beach");
        // By keyboard the picture comes right after the description.
        f.window()->activateWindow();
        QApplication::setActiveWindow(f.window());
        f.description()->setFocus();
        QTest::keyClick(f.description(), Qt::Key_Tab);
        EXPECT_EQ(f.window()->focusWidget(), f.image());
        f.okButton()->click();
    });
    EXPECT_EQ(response, kRequestCompleted);
    std::optional<vault::GsdRecord> saved = readTheme(1);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->Basis, "Location");
    EXPECT_EQ(saved->GridColor, 0x00FF00u);
    EXPECT_EQ(saved->Description, "Beach");
    EXPECT_EQ(toChars(saved->Password).size(), 128u);
}

TEST_F(ThemeWindowsTest, ColumnsOutOfRangeAreRefusedOnLeavingAndAtOk) {
    const int id = addTheme("Dunes");
    ASSERT_EQ(m_->gsd.Open(), kLevelBenign);
    m_->gsdRecord->GSD_ID = id;
    ASSERT_EQ(m_->gsd.Fetch(vault::gsd::K_GSD_ID), kLevelBenign);
    runForm(kChangeRecord, [this](UpdateCVGSD& f) {
        f.window()->activateWindow();
        QApplication::setActiveWindow(f.window());
        f.columns()->setFocus();
        f.columns()->selectAll();
        QTest::keyClicks(f.columns(), "0");
        f.rows()->setFocus();  // leaving the field checks it at once
        EXPECT_EQ(messages(), std::vector<std::string>{
                                  "Range Error: The value of Number of columns to divide the "
                                  "image into must be between 1 and 9."});
        EXPECT_EQ(f.window()->focusWidget(), f.columns());
        f.okButton()->click();  // still out of range: nothing saved
        EXPECT_EQ(messages().size(), 2u);
        QTest::keyClicks(f.columns(), "\b7");
        f.okButton()->click();
    });
    m_->gsd.Close();
    EXPECT_EQ(readTheme(id)->Columns, 7);
}

TEST_F(ThemeWindowsTest, RecorderGivesTheHeldSymbolToLaterCellsAndCancelRestores) {
    const int id = addTheme("Reef");
    vault::GsdRecord theme = *readTheme(id);
    const std::string before = theme.Password;
    const char32_t a = symbolOf(theme, 1, 1);
    runRecorder(theme, [&](Edit_Image& r) {
        EXPECT_EQ(r.window()->windowTitle(), "Image Theme (Advanced)");
        clickCell(r, 4);  // not recording: nothing
        EXPECT_FALSE(r.cell(4)->marked());
        QTest::mouseClick(r.startButton(), Qt::LeftButton);
        EXPECT_EQ(r.startButton()->text(), "&Stop");
        clickCell(r, 0);  // A lends its symbol
        clickCell(r, 4);  // B
        clickCell(r, 8);  // C
        EXPECT_TRUE(r.recorder().holding());
        EXPECT_EQ(r.recorder().held(), a);
        EXPECT_EQ(r.cell(4)->symbolText(), r.cell(0)->symbolText());
        EXPECT_TRUE(r.cell(8)->marked());
        EXPECT_FALSE(r.cell(1)->marked());
        EXPECT_EQ(r.window()->focusWidget(), r.okButton());
        screenshot(r.window(), "theme-recorder.png");
        QTest::mouseClick(r.cancelButton(), Qt::LeftButton);
    });
    EXPECT_EQ(theme.Password, before);

    // OK keeps them: clicking A, B or C at logon gives one and the same symbol.
    const int response = runRecorder(theme, [&](Edit_Image& r) {
        QTest::mouseClick(r.startButton(), Qt::LeftButton);
        clickCell(r, 0);
        clickCell(r, 4);
        clickCell(r, 8);
        QTest::mouseClick(r.startButton(), Qt::LeftButton);  // Stop lets the symbol go
        EXPECT_FALSE(r.recorder().holding());
        QTest::mouseClick(r.okButton(), Qt::LeftButton);
    });
    EXPECT_EQ(response, kRequestCompleted);
    EXPECT_EQ(symbolOf(theme, 2, 2), a);
    EXPECT_EQ(symbolOf(theme, 3, 3), a);
    EXPECT_NE(theme.Password, before);
}

TEST_F(ThemeWindowsTest, ThemeOfTheMasterPasswordCannotBeRecordedOrDeleted) {
    const int used = addTheme("Alps");
    const int named = addTheme("Bay");
    const int spare = addTheme("Cove");
    vault::MasRecord master;
    master.MAS_ID = 1;
    master.GSD_ID = used;
    master.UseMasterPasswordImage = 1;
    master.Password = "xyz";
    storeMaster(master);
    MasterCopy() = master;

    vault::GsdRecord theme = *readTheme(used);
    EXPECT_EQ(runRecorder(theme, [](Edit_Image&) { ADD_FAILURE() << "the recorder opened"; }),
              kRequestCancelled);
    EXPECT_EQ(messages(),
              std::vector<std::string>{"Error: This theme is in use.  It cannot be edited."});

    auto* list = new BrowseCVGSD(*m_);
    ASSERT_NE(list->start(), 0);
    EXPECT_EQ(list->window()->windowTitle(), "Image Themes");
    list->browse().first();  // Alps
    QTest::mouseClick(list->button("&Delete"), Qt::LeftButton);
    EXPECT_EQ(messages().back(), std::string(kThemeInUseTitle) + ": " + kThemeInUseDeleteText);
    EXPECT_TRUE(readTheme(used));

    list->browse().down();  // Bay: only named by a typed password once the settings change
    vault::MasRecord typed = master;
    typed.UseMasterPasswordImage = 0;
    typed.GSD_ID = named;
    {
        storage::Table t(vault::CVMAS());
        ASSERT_EQ(vault::openTable(t), 0);
        vault::MasBuffer b;
        t.set(storage::kPhysicalOrder);
        ASSERT_EQ(t.next(b), 0);
        b.record() = typed;
        ASSERT_EQ(t.put(b), 0);
    }
    MasterCopy() = typed;
    prompt_.answer(kButtonYes);  // "Confirm Delete"
    QTest::mouseClick(list->button("&Delete"), Qt::LeftButton);
    EXPECT_FALSE(readTheme(named));
    EXPECT_EQ(readMaster()->GSD_ID, 0);  // no longer names a missing theme
    EXPECT_EQ(readMaster()->Password, "xyz");
    EXPECT_TRUE(readTheme(spare));
    list->window()->close();
    settle();
}

}  // namespace
}  // namespace corvix::security_test
