// The progress windows of export and import, driven offscreen: the completion message,
// and an import of nothing but duplicates that asks once instead of once per record.
#include <QLabel>
#include <fstream>

#include "../gui/gui_fixture.h"
#include "app/transfer_windows.h"
#include "vault/access.h"

namespace corvix::app {
namespace {

using namespace corvix::framework;

class TransferWindowTest : public gui_test::GuiTest {
  protected:
    // Starts the window and waits until it has gone.
    void runWindow(TransferKind kind, FileManager& target) {
        const int thread = (new TransferWindow(kind, target))->start();
        ASSERT_NE(thread, 0);
        for (int i = 0; i < 500 && ThreadRegistry::instance().window(thread); ++i) QTest::qWait(20);
        ASSERT_EQ(ThreadRegistry::instance().window(thread), nullptr) << "still open";
    }
    void addAccounts(int n) {
        storage::Table t(vault::CVPAS());
        ASSERT_EQ(vault::openTable(t), 0);
        for (int i = 1; i <= n; ++i) {
            vault::PasBuffer r;
            r->PAS_ID = i;
            r->Description = "Account \"" + std::to_string(i) + "\"\nsecond line";
            ASSERT_EQ(t.add(r), 0);
        }
    }
};

TEST_F(TransferWindowTest, ExportShowsProgressThenTheCompletionMessage) {
    addAccounts(3);
    std::string heading, percent, title;
    onOpen("ExportPasswords", [&](WindowManager& w) {
        title = w.window()->windowTitle().toStdString();
        heading = w.window()->findChild<QLabel*>("Heading")->text().toStdString();
        percent = w.window()->findChild<QLabel*>("Percent")->text().toStdString();
        const std::filesystem::path dir = CORVIX_SCREENSHOT_DIR;
        std::filesystem::create_directories(dir);
        w.window()->grab().save(QString::fromStdString((dir / "export-progress.png").string()));
    });
    runWindow(TransferKind::ExportPasswords, m_->pas);
    EXPECT_EQ(title, "Progress...");
    EXPECT_EQ(heading, "Exporting passwords");
    EXPECT_EQ(percent, "0% Completed");
    ASSERT_EQ(prompt_.asked().size(), 1u);
    EXPECT_EQ(prompt_.asked()[0].title, "Complete");
    EXPECT_EQ(prompt_.asked()[0].text, "Passwords have been exported to ExPas.BAS.");
    std::ifstream in("ExPas.BAS");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
}

TEST_F(TransferWindowTest, AllDuplicatesAskOnceThenCountAtTheEnd) {
    addAccounts(40);
    runWindow(TransferKind::ExportPasswords, m_->pas);
    prompt_.reset();
    prompt_.answer(kButtonOk);   // the duplicate-key message
    prompt_.answer(kButtonYes);  // refuse the rest without a message
    runWindow(TransferKind::ImportPasswords, m_->pas);
    std::vector<std::string> shown;
    for (const auto& a : prompt_.asked()) shown.push_back(a.title + ": " + a.text);
    EXPECT_EQ(shown, (std::vector<std::string>{
                         "Duplicate Key Error: Adding this record creates a duplicate entry for "
                         "the key: System ID",
                         "Duplicate Key Error: Refuse the remaining duplicate records without a "
                         "message? The numbers are shown at the end.",
                         "Importing passwords: 0 records imported from ExPas.BAS, 40 refused as "
                         "duplicates."}));
}

TEST_F(TransferWindowTest, ThemesImportOfAFreshVaultEndsWithoutAMessage) {
    {
        storage::Table t(vault::CVGSD());
        ASSERT_EQ(vault::openTable(t), 0);
        for (int i = 1; i <= 3; ++i) {
            vault::GsdBuffer g;
            g->GSD_ID = i;
            g->Description = "Theme " + std::to_string(i);
            ASSERT_EQ(t.add(g), 0);
        }
    }
    runWindow(TransferKind::ExportThemes, m_->gsd);
    ASSERT_EQ(prompt_.asked().size(), 1u);
    EXPECT_EQ(prompt_.asked()[0].text, "3 image themes have been exported to ExGSD.BAS.");
    m_->gsd.Close();
    ASSERT_TRUE(storage::removeTable(vault::CVGSD().name, vault::BuildVaultKey()) == 0);
    prompt_.reset();
    runWindow(TransferKind::ImportThemes, m_->gsd);
    EXPECT_TRUE(prompt_.asked().empty());
    storage::Table t(vault::CVGSD());
    ASSERT_EQ(vault::openTable(t), 0);
    EXPECT_EQ(t.records(), 3);
}

}  // namespace
}  // namespace corvix::app
