// Reports and list exports end to end through corvix-cli: a saved two-level design over
// 1,000 accounts printed into a PDF whose text shows every group's sum, and the accounts
// list written as CSV and HTML.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <cctype>
#include <filesystem>
#include <functional>
#include <map>

#include "libs/rubrica/report_store.h"
#include "platform/storage/table.h"
#include "tests/cli/cli_runner.h"
#include "vault/access.h"
#include "vault/tables.h"

namespace corvix::testing {
namespace {

// 12,345 as the column's picture shows it.
std::string grouped(long n) {
    std::string s = std::to_string(n);
    for (int i = static_cast<int>(s.size()) - 3; i > 0; i -= 3) s.insert(i, ",");
    return s;
}

class ReportCli : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(cli.run({"init", "--master-password-stdin"}, "\n").exitCode, 0);
    }
    // Runs body in the vault's folder, with its tables open.
    void inVault(const std::function<void(vault::VaultTables&)>& body) {
        const auto previous = std::filesystem::current_path();
        std::filesystem::current_path(cli.dir());
        {
            vault::VaultTables t;
            ASSERT_EQ(t.openAll(), 0);
            body(t);
            t.closeAll();
        }
        std::filesystem::current_path(previous);
    }
    void addAccounts(int count, const std::function<void(int, vault::PasRecord&)>& fill) {
        inVault([&](vault::VaultTables& t) {
            storage::Transaction tx;
            ASSERT_EQ(tx.begin({&t.pas}, 5), 0);
            for (int i = 1; i <= count; ++i) {
                vault::PasBuffer p;
                p->PAS_ID = i;
                p->Password = "pw" + std::to_string(i);
                fill(i, p.record());
                ASSERT_EQ(t.pas.add(p), 0);
            }
            ASSERT_EQ(tx.commit(), 0);
        });
    }
    void saveDesign(rubrica::ReportDefinition d) {
        const auto previous = std::filesystem::current_path();
        std::filesystem::current_path(cli.dir());
        d.VIEWCLASS = "BrowseCVPAS";
        ASSERT_EQ(rubrica::ReportStore::save(d), 0);
        std::filesystem::current_path(previous);
    }
    std::string pdfText(const std::string& pdf) {
        CliResult r;
        const std::string out = cli.dir() + "/out.txt";
        EXPECT_EQ(std::system(
                      ("pdftotext -layout '" + cli.dir() + "/" + pdf + "' '" + out + "'").c_str()),
                  0);
        return cli.fileBytes("out.txt");
    }
    CliRunner cli;
};

TEST_F(ReportCli, TwoLevelReportOverAThousandAccountsShowsEveryGroupsSum) {
    const char* cats[] = {"Banking", "Mailboxes", "Shopping", "Travel"};
    std::map<std::string, long> catSum, nameSum;
    long grand = 0;
    addAccounts(1000, [&](int i, vault::PasRecord& p) {
        p.Category = cats[i % 4];
        p.Name = std::string(cats[i % 4]).substr(0, 4) + "-user" + std::to_string(i % 3);
        p.Description = "account " + std::to_string(i);
        p.ExpiryInterval = i % 97 + 1;
        catSum[p.Category] += p.ExpiryInterval;
        nameSum[p.Name] += p.ExpiryInterval;
        grand += p.ExpiryInterval;
    });
    rubrica::ReportDefinition d;
    d.setDescription("Expiry by group");
    d.FORMATSTR = "~Description~~Expiry Interval~|+|";
    d.SORTORDER = "UPPER(PAS:Category),UPPER(PAS:Name)";
    d.BRKGRP.GHEAD[0] = d.BRKGRP.GFOOT[0] = d.BRKGRP.GTOTAL[0] = d.BRKGRP.GPAGE[0] = 1;
    d.BRKGRP.GFOOT[1] = d.BRKGRP.GTOTAL[1] = 1;
    saveDesign(d);

    CliResult r = cli.run({"report", "list"});
    EXPECT_EQ(r.out, "1\tExpiry by group\n");
    r = cli.run({"report", "run", "expiry BY group", "--pdf", "groups.pdf"}, "\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("1000 rows"), std::string::npos) << r.out;
    struct stat st {};
    ASSERT_EQ(::stat((cli.dir() + "/groups.pdf").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    const QString text = QString::fromStdString(pdfText("groups.pdf"));
    const QStringList pages = text.split('\f', Qt::SkipEmptyParts);
    // Every footing line: a sum and its group's identifier, side by side.
    auto footingPage = [&](const std::string& id, long sum) {
        const QRegularExpression line(
            QString("^\\s*%1\\s+%2\\s*$")
                .arg(QRegularExpression::escape(QString::fromStdString(grouped(sum))),
                     QString::fromStdString(id)),
            QRegularExpression::MultilineOption);
        for (int p = 0; p < pages.size(); ++p)
            if (line.match(pages[p]).hasMatch()) return p;
        return -1;
    };
    std::vector<int> catPages;
    for (const auto& [cat, sum] : catSum) {
        const int page = footingPage(cat, sum);
        EXPECT_GE(page, 0) << cat << " " << sum;
        catPages.push_back(page);
    }
    for (const auto& [name, sum] : nameSum) EXPECT_GE(footingPage(name, sum), 0) << name;
    // New page after each category: the next one's heading opens the next page.
    for (size_t i = 1; i < catPages.size(); ++i) {
        ASSERT_GT(catPages[i], catPages[i - 1]);
        EXPECT_TRUE(pages[catPages[i - 1] + 1].contains(QString::fromStdString(cats[i])));
        EXPECT_FALSE(pages[catPages[i - 1]].contains(QString::fromStdString(cats[i])));
    }
    EXPECT_TRUE(pages.back().contains(QString::fromStdString(grouped(grand))));
    EXPECT_TRUE(pages.front().contains("Expiry by group"));
    EXPECT_FALSE(text.contains("pw17"));  // passwords are not even a column here

    // A filter narrows the rows; an unknown design and a bad filter are refused.
    r = cli.run({"report", "run", "Expiry by group", "--pdf", "bank.pdf", "--where",
                 "PAS:Category = 'Banking'"},
                "\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("250 rows"), std::string::npos) << r.out;
    EXPECT_FALSE(QString::fromStdString(pdfText("bank.pdf")).contains("Travel"));
    EXPECT_EQ(cli.run({"report", "run", "nope", "--pdf", "x.pdf"}, "\n").exitCode, 1);
    EXPECT_EQ(cli.run({"report", "run", "Expiry by group", "--pdf", "x.pdf", "--where", "(("}, "\n")
                  .exitCode,
              2);
    EXPECT_EQ(
        cli.run({"report", "run", "Expiry by group", "--pdf", "bank.pdf/x.pdf"}, "\n").exitCode, 1);
}

// A design's order whether its first field has a key (read a page at a time) or not
// (read by sorted positions), ascending or descending, with the further fields sorted
// within each run of equal first values.
TEST_F(ReportCli, RowsFollowTheDesignsOrderWithOrWithoutAKey) {
    const char* cats[] = {"Mail", "bank", "Travel"};  // letter case must not matter
    addAccounts(90, [&](int i, vault::PasRecord& p) {
        p.Category = cats[i % 3];
        p.Description = "acct " + std::to_string(1000 + (i * 37) % 90);
        p.Wait = i % 4;
    });
    struct Line {
        std::string description, other;
    };
    // The rows printed by a design of this sort: each description with the category
    // (by = 2) or the wait (by = 3).
    auto rowsOf = [&](const std::string& name, const std::string& sort, int by) {
        rubrica::ReportDefinition d;
        d.setDescription(name);
        d.FORMATSTR = "~Description~~Category~~Wait~";
        d.SORTORDER = sort;
        saveDesign(d);
        const CliResult r = cli.run({"report", "run", name, "--pdf", "order.pdf"}, "\n");
        EXPECT_EQ(r.exitCode, 0) << r.err;
        std::vector<Line> rows;
        const QRegularExpression row("^\\s*(acct \\d+)\\s+(\\S+)\\s+(\\d+)\\s*$",
                                     QRegularExpression::MultilineOption);
        auto it = row.globalMatch(QString::fromStdString(pdfText("order.pdf")));
        while (it.hasNext()) {
            const auto m = it.next();
            rows.push_back({m.captured(1).toStdString(), m.captured(by).toStdString()});
        }
        return rows;
    };
    auto upper = [](std::string s) {
        for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return s;
    };
    // Category has a key; descending, then descriptions ascending.
    std::vector<Line> rows = rowsOf("Down", "-UPPER(PAS:Category),UPPER(PAS:Description)", 2);
    ASSERT_EQ(rows.size(), 90u);
    for (size_t i = 1; i < rows.size(); ++i) {
        const std::string a = upper(rows[i - 1].other), b = upper(rows[i].other);
        ASSERT_GE(a, b) << i;
        if (a == b) ASSERT_LT(rows[i - 1].description, rows[i].description) << i;
    }
    EXPECT_EQ(rows.front().other, "Travel");
    EXPECT_EQ(rows.back().other, "bank");
    // Wait has none; ascending, then descriptions descending.
    rows = rowsOf("By wait", "PAS:Wait,-UPPER(PAS:Description)", 3);
    ASSERT_EQ(rows.size(), 90u);
    for (size_t i = 1; i < rows.size(); ++i) {
        ASSERT_LE(rows[i - 1].other, rows[i].other) << i;
        if (rows[i - 1].other == rows[i].other)
            ASSERT_GT(rows[i - 1].description, rows[i].description) << i;
    }
}

TEST_F(ReportCli, ListsExportAsCsvAndEscapedHtmlInTheirOrderAndFilter) {
    addAccounts(4, [](int i, vault::PasRecord& p) {
        const char* names[] = {"", "<script>alert(1)</script>", "O\"Brien, \"Jr\"", "plain", "x&y"};
        p.Category = i % 2 ? "Web" : "Mail";
        p.Description = "d" + std::to_string(5 - i);  // category, then description order
        p.Name = names[i];
        p.Notes = "line1\nline2";
    });
    CliResult r = cli.run({"list", "--csv", "--where", "PAS:PAS_ID <> 4"}, "\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "\"ID\",\"Category\",\"Description\",\"Name\",\"Password\",\"URL\"\r\n"
              "\"2\",\"Mail\",\"d3\",\"O\"\"Brien, \"\"Jr\"\"\",\"***\",\"\"\r\n"
              "\"3\",\"Web\",\"d2\",\"plain\",\"***\",\"\"\r\n"
              "\"1\",\"Web\",\"d4\",\"<script>alert(1)</script>\",\"***\",\"\"\r\n");
    r = cli.run({"list", "--html", "--reveal"}, "\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.find("<script>"), std::string::npos);
    EXPECT_NE(r.out.find("<td>&lt;script&gt;alert(1)&lt;/script&gt;</td>"), std::string::npos);
    EXPECT_NE(r.out.find("<td>x&amp;y</td>"), std::string::npos);
    EXPECT_NE(r.out.find("<td>pw4</td>"), std::string::npos);  // revealed when asked
    EXPECT_LT(r.out.find("d1"), r.out.find("d2"));
    EXPECT_EQ(cli.run({"list", "--csv", "--html"}, "\n").exitCode, 2);
}

}  // namespace
}  // namespace corvix::testing
