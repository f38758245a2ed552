// The engine over rows: groups, totals that restart with their group, averages, pages
// and page breaks after groups; and a PDF whose text shows them.
#include <QProcess>
#include <QStandardPaths>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "runtime/report_paint.h"
#include "tests/rubrica/rubrica_fixture.h"

namespace corvix::rubrica::testing {
namespace {

using runtime::report::Row;

// Category (break 1), Name (break 2), Amount, Count.
std::vector<Row> sampleRows() {
    std::vector<Row> rows;
    const char* cats[] = {"Bank", "Bank", "Bank", "Mail", "Mail"};
    const char* names[] = {"alice", "alice", "bob", "carol", "carol"};
    for (int i = 0; i < 5; ++i)
        rows.push_back({{cats[i], 0}, {names[i], 0}, {"", double(10 * (i + 1))}, {"", 1}});
    return rows;
}

TEST_F(RubricaTest, TwoBreakLevelsPrintIdentifiersTotalsAndAveragesPerGroup) {
    makeHost();
    BreakOptions o;
    o.GHEAD[0] = o.GFOOT[0] = o.GTOTAL[0] = o.GFOOT[1] = o.GTOTAL[1] = 1;
    TQRPTFIELD columns = {{"Category", 0, "H:Category", kGroupLevel1},
                          {"Name", 0, "H:Name", kGroupLevel2},
                          {"Amount", 0, "H:Amount", kSum},
                          {"Count", 0, "H:Count", kAverage}};
    build(columns, o);
    VectorRows rows(sampleRows());
    RecordingSink sink;
    const auto result = runtime::report::run(report, rows, sink);
    EXPECT_EQ(result.rows, 5);
    ASSERT_EQ(result.pages, 1);
    const std::vector<std::string> t = sink.texts(0);
    auto find = [&](const std::string& s, size_t from) {
        auto it = std::find(t.begin() + static_cast<long>(from), t.end(), s);
        return it == t.end() ? std::string::npos : static_cast<size_t>(it - t.begin());
    };
    // Page header, then: heading Bank; detail rows; alice's footing (sum 30); bob's (30);
    // Bank's footing (60); Mail's heading ... Mail's footing (90); the grand total 150.
    const size_t bank = find("Bank", 0);
    ASSERT_NE(bank, std::string::npos);
    const size_t alice = find("30", bank);
    const size_t bankTotal = find("60", alice);
    const size_t mail = find("Mail", bankTotal);
    const size_t mailTotal = find("90", mail);
    const size_t grand = find("150", mailTotal);
    EXPECT_NE(alice, std::string::npos);
    EXPECT_NE(bankTotal, std::string::npos);
    EXPECT_NE(mailTotal, std::string::npos);
    EXPECT_NE(grand, std::string::npos);
    EXPECT_LT(find("Amount", 0), bank);  // the page header comes first
    // The averages of Count are 1 in every group (one per row), never the row count.
    EXPECT_EQ(std::count(t.begin(), t.end(), "5"), 0);
    EXPECT_EQ(std::count(t.begin(), t.end(), "1"), 5 /*detail*/ + 3 + 2 + 1);

    // The print preview paints the same pages.
    bool previewed = false;
    onNextModal([&](QWidget* w) {
        previewed = w->objectName() == "ReportPreview";
        w->resize(900, 700);
        screenshot(w, "report_preview");
        w->close();
    });
    runtime::report::preview(
        report, [] { return std::make_unique<VectorRows>(sampleRows()); }, nullptr);
    EXPECT_TRUE(previewed);
}

TEST_F(RubricaTest, PagesFlowUnderTheHeaderAndGroupsCanEndTheirPage) {
    makeHost();
    TQRPTFIELD columns = {{"Category", 0, "H:Category", kGroupLevel1}, {"Name", 0, "H:Name", 0}};
    BreakOptions o;
    o.GFOOT[0] = o.GPAGE[0] = 1;
    build(columns, o);
    std::vector<Row> many;
    for (int i = 0; i < 200; ++i)
        many.push_back({{i < 150 ? "A" : "B", 0}, {"n" + std::to_string(i), 0}, {}, {}});
    VectorRows rows(many);
    RecordingSink sink;
    const auto result = runtime::report::run(report, rows, sink);
    ASSERT_GE(result.pages, 3);
    for (const auto& page : sink.pages) {
        ASSERT_FALSE(page.empty());
        EXPECT_EQ(page.front().text, "Category");  // the page header on every page
        for (const auto& item : page) EXPECT_LE(item.y, report.height());
    }
    // Group A's footing ends its page: B's first row opens the next one.
    int pageOfLastA = -1, pageOfFirstB = -1;
    for (size_t p = 0; p < sink.pages.size(); ++p)
        for (const auto& item : sink.pages[p]) {
            if (item.text == "n149") pageOfLastA = static_cast<int>(p);
            if (item.text == "n150") pageOfFirstB = static_cast<int>(p);
        }
    EXPECT_EQ(pageOfFirstB, pageOfLastA + 1);
    // The last group's page break leaves no empty page behind.
    EXPECT_EQ(sink.pages.back().back().text, "B");
}

TEST_F(RubricaTest, AnEmptyReportStillPrintsItsHeadingsAndZeroTotals) {
    makeHost();
    TQRPTFIELD columns = {{"Amount", 0, "H:Amount", kSum}};
    build(columns, BreakOptions{});
    VectorRows rows({});
    RecordingSink sink;
    EXPECT_EQ(runtime::report::run(report, rows, sink).pages, 1);
    EXPECT_EQ(sink.texts(0), (std::vector<std::string>{"Amount", "----", "0"}));
}

}  // namespace
}  // namespace corvix::rubrica::testing
