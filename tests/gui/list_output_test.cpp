// Printing and exporting a list as it is shown: the accounts list's visible columns in the
// header's order, every row of its current order and filter (beyond the page on screen),
// passwords as the list shows them, files for the user only.
#include <sys/stat.h>
#include <QHeaderView>
#include <QPrintPreviewDialog>
#include <QTableView>
#include <QTimer>
#include <fstream>
#include <sstream>

#include "accounts/browse_cvpas.h"
#include "accounts_fixture.h"
#include "framework/browse_manager.h"
#include "framework/list_output.h"
#include "platform/storage/table.h"
#include "security/session.h"
#include "vault/access.h"

namespace corvix::gui_test {
namespace {

using namespace corvix::framework;

class ListOutputTest : public AccountsTest {
  protected:
    accounts::BrowseCVPAS* open() {
        auto* b = new accounts::BrowseCVPAS(m_->pasRelations, m_->catRelations);
        if (!b->start()) return nullptr;
        QApplication::processEvents();
        return b;
    }
    std::string read(const std::string& name) {
        std::ifstream in(dir_ / name, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static unsigned mode(const std::filesystem::path& p) {
        struct stat st {};
        return ::stat(p.c_str(), &st) == 0 ? st.st_mode & 0777 : 0;
    }
};

TEST_F(ListOutputTest, AccountsExportAndPrintAsShownInTheirOrderFilterAndColumns) {
    {
        // More rows than one read of the printing view: written at once, in one go.
        vault::VaultTables t;
        ASSERT_EQ(t.openAll(), 0);
        storage::Transaction tx;
        ASSERT_EQ(tx.begin({&t.pas}, 5), 0);
        for (int i = 0; i < 300; ++i) {
            vault::PasBuffer a;
            a->PAS_ID = i + 1;
            a->Category = i % 10 ? "Bank" : "Mail";
            a->Description = "acct " + std::to_string(1000 + i);
            a->Name = i == 7 ? "<script>x</script>" : "user" + std::to_string(i);
            a->Password = "pw" + std::to_string(i);
            ASSERT_EQ(t.pas.add(a), 0);
        }
        ASSERT_EQ(tx.commit(), 0);
        t.closeAll();
    }
    security::MasterCopy().RevealPasswords = 0;
    accounts::BrowseCVPAS* list = open();
    ASSERT_TRUE(list);
    BrowseManager& browse = list->browse();
    browse.setFilter("PAS:Category = 'Bank'");
    browse.applyFilter();
    browse.sortByColumn(2, true);  // Description, descending
    QHeaderView* header = browse.list()->horizontalHeader();
    for (int c = 6; c < header->count(); ++c) header->hideSection(c);
    header->hideSection(4);                          // URL
    header->moveSection(header->visualIndex(5), 1);  // Password first
    ListOutput* output = listOutputOf(list->window());
    ASSERT_TRUE(output);

    std::string error;
    ASSERT_TRUE(output->exportTo((dir_ / "a.csv").string(), ListFormat::Csv, &error)) << error;
    EXPECT_EQ(mode(dir_ / "a.csv"), 0600u);
    const std::string csv = read("a.csv");
    std::vector<std::string> lines;
    for (size_t at = 0; at < csv.size();) {
        const size_t end = csv.find("\r\n", at);
        lines.push_back(csv.substr(at, end - at));
        at = end + 2;
    }
    ASSERT_EQ(lines.size(), 1u + 270u);  // the Bank accounts, every page of them
    EXPECT_EQ(lines[0], "\"Password\",\"Category\",\"Description\",\"Name\"");
    EXPECT_EQ(lines[1], "\"*****\",\"Bank\",\"acct 1299\",\"user299\"");
    EXPECT_EQ(lines[270], "\"***\",\"Bank\",\"acct 1001\",\"user1\"");
    auto description = [](const std::string& line) { return line.substr(line.find("acct"), 9); };
    for (size_t i = 2; i < lines.size(); ++i)
        ASSERT_LT(description(lines[i]), description(lines[i - 1])) << i;

    ASSERT_TRUE(output->exportTo((dir_ / "a.html").string(), ListFormat::Html, &error));
    const std::string html = read("a.html");
    EXPECT_NE(html.find("<td>&lt;script&gt;x&lt;/script&gt;</td>"), std::string::npos);
    EXPECT_EQ(html.find("<script>"), std::string::npos);
    EXPECT_EQ(std::count(html.begin(), html.end(), '\n'), 0 + 6 + 1 + 270 + 3);
    EXPECT_TRUE(prompt_.asked().empty());

    // Passwords in clear leave only when the user agrees.
    security::MasterCopy().RevealPasswords = 1;
    prompt_.answer(kButtonNo);
    EXPECT_FALSE(output->exportTo((dir_ / "clear.csv").string(), ListFormat::Csv, &error));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "clear.csv"));
    ASSERT_EQ(titles().back(), "Passwords in Clear");
    prompt_.answer(kButtonYes);
    ASSERT_TRUE(output->exportTo((dir_ / "clear.csv").string(), ListFormat::Csv, &error));
    EXPECT_NE(read("clear.csv").find("\"pw299\",\"Bank\",\"acct 1299\""), std::string::npos);
    EXPECT_EQ(mode(dir_ / "clear.csv"), 0600u);
    security::MasterCopy().RevealPasswords = 0;

    // A file that cannot be made (its folder is a file) is reported, not taken for done.
    EXPECT_FALSE(output->exportTo((dir_ / "a.csv" / "x.csv").string(), ListFormat::Csv, &error));
    EXPECT_FALSE(error.empty());

    // On paper: the same columns and rows; the preview shows them page by page.
    ASSERT_TRUE(output->writePdf((dir_ / "list.pdf").string(), &error)) << error;
    ASSERT_EQ(std::system(("pdftotext -layout " + (dir_ / "list.pdf").string() + " " +
                           (dir_ / "list.txt").string())
                              .c_str()),
              0);
    const std::string text = read("list.txt");
    EXPECT_NE(text.find("Passwords"), std::string::npos);
    EXPECT_NE(text.find("acct 1001"), std::string::npos);
    EXPECT_EQ(text.find("acct 1000"), std::string::npos);  // a Mail account
    EXPECT_EQ(text.find("pw1"), std::string::npos);
    bool previewed = false;
    QTimer::singleShot(300, [&] {
        QWidget* w = QApplication::activeModalWidget();
        if (auto* d = qobject_cast<QPrintPreviewDialog*>(w)) {
            previewed = true;
            d->resize(900, 700);
            QDir().mkpath(CORVIX_SCREENSHOT_DIR);
            d->grab().save(QString(CORVIX_SCREENSHOT_DIR) + "/list_print_preview.png");
            d->reject();
        }
    });
    output->preview();
    EXPECT_TRUE(previewed);
}

}  // namespace
}  // namespace corvix::gui_test
