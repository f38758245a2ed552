// The Repair window offscreen: its list and buttons, tagging, an operation closing the
// program's other windows first, Fix refused on a vault table, Info filling the counts.
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include "../gui/gui_fixture.h"
#include "app/repair_window.h"
#include "vault/access.h"

namespace corvix::app {
namespace {

using namespace corvix::framework;

class RepairWindowTest : public gui_test::GuiTest {
  protected:
    RepairWindow* open() {
        auto* w = new RepairWindow();
        return w->start() ? w : nullptr;
    }
    QPushButton* button(RepairWindow* w, const char* text) {
        for (QPushButton* b : w->window()->findChildren<QPushButton*>())
            if (b->text() == text) return b;
        return nullptr;
    }
};

TEST_F(RepairWindowTest, ListButtonsAndTagging) {
    RepairWindow* w = open();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->window()->windowTitle(), "Repair");
    QStringList texts;
    for (QPushButton* b : w->window()->findChildren<QPushButton*>()) texts << b->text();
    EXPECT_EQ(texts, (QStringList{"&Build", "&Pack", "Relea&se", "&Repair", "&Info", "&Tag",
                                  "&Untag", "Ta&g All", "U&ntag All", "Cl&ose", "Help"}));
    EXPECT_EQ(button(w, "&Build")->toolTip(), "Build the key files for the tagged data files");
    QTreeWidget* list = w->list();
    ASSERT_EQ(list->topLevelItemCount(), 7);
    EXPECT_EQ(list->headerItem()->text(1), "File");
    EXPECT_EQ(list->topLevelItem(0)->text(1), "Category");
    EXPECT_EQ(list->topLevelItem(6)->text(1), "Themes");

    list->setCurrentItem(list->topLevelItem(4));
    button(w, "&Tag")->click();
    EXPECT_EQ(w->rows()[4].tag, "1");
    EXPECT_FALSE(list->topLevelItem(4)->icon(0).isNull());
    emit list->itemActivated(list->topLevelItem(4), 1);  // accepting toggles
    EXPECT_EQ(w->rows()[4].tag, "");
    EXPECT_TRUE(list->topLevelItem(4)->icon(0).isNull());
    button(w, "Ta&g All")->click();
    for (const auto& r : w->rows()) EXPECT_EQ(r.tag, "1");
    button(w, "U&ntag All")->click();
    for (const auto& r : w->rows()) EXPECT_EQ(r.tag, "");

    const std::filesystem::path dir = CORVIX_SCREENSHOT_DIR;
    std::filesystem::create_directories(dir);
    list->setCurrentItem(list->topLevelItem(1));
    button(w, "&Tag")->click();
    EXPECT_TRUE(w->window()->grab().save(QString::fromStdString((dir / "repair.png").string())));
    button(w, "Cl&ose")->click();
}

TEST_F(RepairWindowTest, OperationsCloseOtherWindowsFirstAndReportPerFile) {
    {
        vault::VaultTables t;
        ASSERT_EQ(t.openAll(), 0);
        vault::PasBuffer r;
        r->PAS_ID = 1;
        ASSERT_EQ(t.pas.add(r), 0);
        t.closeAll();
    }
    auto* other = new QWidget;
    QPointer<QWidget> guard(other);
    const int otherThread = ThreadRegistry::instance().start(other);
    ASSERT_NE(otherThread, 0);
    RepairWindow* w = open();
    ASSERT_NE(w, nullptr);
    QTreeWidget* list = w->list();
    list->setCurrentItem(list->topLevelItem(4));  // CVPAS, highlighted, nothing tagged
    button(w, "&Repair")->click();
    ASSERT_NE(lastAsked(), nullptr);
    EXPECT_EQ(lastAsked()->text, "Can't fix encrypted file : CVPAS");
    EXPECT_TRUE(!guard || !guard->isVisible());  // asked to close first

    prompt_.reset();
    button(w, "Ta&g All")->click();
    button(w, "&Info")->click();
    EXPECT_TRUE(prompt_.asked().empty());
    EXPECT_EQ(w->rows()[4].records, "1");
    EXPECT_EQ(w->rows()[0].records, "0");
    EXPECT_EQ(w->window()->findChild<QLabel*>("Details")->text().toStdString(),
              "Records: 1\n" + dir_.string() + "/Corvix.TPS\\!Passwords");
    button(w, "&Build")->click();
    EXPECT_TRUE(prompt_.asked().empty());
    button(w, "Cl&ose")->click();
}

}  // namespace
}  // namespace corvix::app
