// The engine over rows: groups, totals that restart with their group, averages, pages
// and page breaks after groups; and a PDF whose text shows them.
#include <QProcess>
#include <QRegularExpression>
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

TEST_F(RubricaTest, PdfCellsKeepTheirTextsCutWhatDoesNotFitAndShapeOtherScripts) {
    using namespace runtime::report;
    Report r;
    r.addBand(506, BandKind::Detail);
    const struct {
        int x, width;
        Align align;
    } cells[] = {{0, 2500, Align::Left}, {2700, 900, Align::Left}, {3800, 1500, Align::Right}};
    for (int i = 0; i < 3; ++i) {
        Control c;
        c.id = i + 1;
        c.kind = ControlKind::Field;
        c.field = i;
        c.x = cells[i].x;
        c.width = cells[i].width;
        c.align = cells[i].align;
        r.addControl(506, c);
    }
    const std::vector<Row> rows = {
        {{"Caf\u00e9 cr\u00e8me", 0}, {"A description far too long for its column", 0}, {"7", 0}},
        {{"\u03a9\u03bc\u03ad\u03b3\u03b1 \u05e9\u05dc\u05d5\u05dd", 0},
         {"short", 0},
         {"1,234", 0}}};
    corvix::testing::TempWorkDir dir;
    const std::string pdf = dir.path() + "/cells.pdf";
    std::string error;
    ASSERT_TRUE(writePdf(
        r, [&] { return std::make_unique<VectorRows>(rows); }, pdf, nullptr, &error))
        << error;
    QProcess text;
    text.start("pdftotext", {"-layout", QString::fromStdString(pdf), "-"});
    ASSERT_TRUE(text.waitForFinished(20000));
    QStringList lines;
    for (const QString& line : QString::fromUtf8(text.readAllStandardOutput()).split('\n'))
        if (!line.trimmed().isEmpty()) lines << line;  // the page ends with a form feed
    ASSERT_EQ(lines.size(), 2) << lines.join("|").toStdString();
    // Latin text whole; the long cell cut with an ellipsis, never spilling into the next.
    EXPECT_TRUE(lines[0].startsWith("Caf\u00e9 cr\u00e8me")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains(QRegularExpression("A descr[a-z ]*\u2026 +7$")))
        << lines[0].toStdString();
    EXPECT_FALSE(lines[0].contains("column"));
    // Greek and Hebrew (shaped, right to left) print as they are.
    EXPECT_TRUE(lines[1].startsWith("\u03a9\u03bc\u03ad\u03b3\u03b1")) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].contains("\u05e9\u05dc\u05d5\u05dd") ||
                lines[1].contains("\u05dd\u05d5\u05dc\u05e9"))
        << lines[1].toStdString();
    EXPECT_TRUE(lines[1].contains(QRegularExpression("short +1,234$"))) << lines[1].toStdString();
}

}  // namespace
}  // namespace corvix::rubrica::testing
