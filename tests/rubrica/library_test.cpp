// The library's stored designs, its format and sort strings, and how a design is built
// into a report: bands, controls, totals and the page width.
#include <QWidget>
#include "libs/rubrica/formats.h"

#include "libs/rubrica/report_store.h"
#include "platform/storage/errors.h"
#include "tests/rubrica/rubrica_fixture.h"

namespace corvix::rubrica::testing {
namespace {

using runtime::report::BandKind;

TEST_F(RubricaTest, FormatStringsRebuildColumnsDroppingWhatTheHostNoLongerOffers) {
    makeHost();
    TQRPTFIELD columns;
    BUILDCQ("~Name~~Gone~|+|~Amount~|+|~Count~|@|", allFields, columns);
    ASSERT_EQ(columns.size(), 3u);
    EXPECT_EQ(columns[0].DESC, "Name");
    EXPECT_EQ(columns[0].TOTAL, kNoTotal);
    EXPECT_EQ(columns[1].DESC, "Amount");
    EXPECT_EQ(columns[1].TOTAL, kSum);
    EXPECT_EQ(columns[2].TOTAL, kAverage);
    EXPECT_EQ(buildFormat(columns), "~Name~~Amount~|+|~Count~|@|");

    // An average on a field that cannot be totalled: TOTAL 0, the marker passed over.
    BUILDCQ("~Category~|@|~Amount~", allFields, columns);
    ASSERT_EQ(columns.size(), 2u);
    EXPECT_EQ(columns[0].TOTAL, kNoTotal);
    EXPECT_EQ(columns[1].DESC, "Amount");
    EXPECT_EQ(columns[1].TOTAL, kTotallable);
    // A total marker on it is not a total either; a blank format empties the queue.
    BUILDCQ("~Category~|+|", allFields, columns);
    EXPECT_EQ(columns.at(0).TOTAL, kNoTotal);
    BUILDCQ("   ", allFields, columns);
    EXPECT_TRUE(columns.empty());
}

TEST_F(RubricaTest, SortStringsAndTheirDescriptions) {
    makeHost();
    const std::vector<SortField> s = parseSort("UPPER(H:Category), -H:Amount,+H:Name");
    ASSERT_EQ(s.size(), 3u);
    EXPECT_TRUE(s[0].noCase);
    EXPECT_EQ(s[0].name, "H:Category");
    EXPECT_TRUE(s[1].descending);
    EXPECT_FALSE(s[2].descending);
    EXPECT_EQ(buildSort(s), "UPPER(H:Category),-H:Amount,H:Name");
    EXPECT_EQ(describeSort("UPPER(H:Category),-H:Amount", fields), "Category, <Amount>");
    EXPECT_EQ(describeSort("", fields), "");

    // Suppressed detail with a footing: the group fields join the columns as level 1 and 2.
    BreakOptions o;
    o.GFOOT[0] = o.GTOTAL[1] = o.GSUPPRESS = 1;
    TQRPTFIELD cols = {{"Amount", 0, "H:Amount", kSum}, {"Category", 0, "H:Category", 0}};
    cols = columnsForFormat(cols, "H:Category,H:Name", o, allFields, fields);
    ASSERT_EQ(cols.size(), 3u);
    EXPECT_EQ(cols[1].DESC, "Category");
    EXPECT_EQ(cols[1].TOTAL, kGroupLevel1);
    EXPECT_EQ(cols[2].TOTAL, kGroupLevel2);
}

TEST_F(RubricaTest, TheDefinitionsTableNameAndStoredDesigns) {
    REPWIZINIT("Designs");
    EXPECT_EQ(reportTableName(), "Designs");
    REPWIZINIT("  ");
    EXPECT_EQ(reportTableName(), "RWReport");
    REPWIZINIT("Other");
    REPWIZINIT();
    EXPECT_EQ(reportTableName(), "RWReport");
    EXPECT_EQ(RWReportDecl().recordSize(), 4605u - 2u);  // two terminators not stored

    ReportDefinition a;
    a.VIEWCLASS = "Accounts";
    a.setDescription("Accounts by category and name");
    a.FORMATSTR = "~Name~~Amount~|+|";
    a.BRKGRP.GFOOT[1] = a.BRKGRP.GSUPPRESS = 1;
    ASSERT_EQ(ReportStore::save(a), 0);
    EXPECT_EQ(a.SYSID, 1);
    EXPECT_EQ(a.DESC_1, "Accounts by cat");
    ReportDefinition b = a;
    b.SYSID = 0;
    b.setDescription("Copy of " + a.description());
    ASSERT_EQ(ReportStore::save(b), 0);
    EXPECT_EQ(b.SYSID, 2);
    ReportDefinition other;
    other.VIEWCLASS = "Themes";
    other.setDescription("A");
    ASSERT_EQ(ReportStore::save(other), 0);

    std::vector<ReportDefinition> list;
    ASSERT_EQ(ReportStore::list("ACCOUNTS", list), 0);  // the class in any case
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].description(), "Accounts by category and name");
    EXPECT_EQ(list[1].description(), "Copy of Accounts by category and name");
    EXPECT_EQ(list[0].BRKGRP, a.BRKGRP);
    EXPECT_EQ(list[0].FORMATSTR, a.FORMATSTR);

    ReportDefinition found;
    ASSERT_EQ(ReportStore::find("accounts", "copy of accounts by category and name", found), 0);
    EXPECT_EQ(found.SYSID, 2);
    ASSERT_EQ(ReportStore::remove(2), 0);
    EXPECT_EQ(ReportStore::load(2, found), storage::kRecordNotFound);
    StoreError e;
    EXPECT_EQ(ReportStore::find("Accounts", "nothing", found, &e), storage::kRecordNotFound);
    EXPECT_EQ(e.code, storage::kRecordNotFound);
}

TEST_F(RubricaTest, URADJUSTMovesOrStretchesByTheWidthDifference) {
    const Placement c{100, 50};
    EXPECT_EQ(adjusted(c, 400, 300, 1).x, 150);
    EXPECT_EQ(adjusted(c, 400, 300, 2).x, 200);
    EXPECT_EQ(adjusted(c, 400, 300, 3).width, 150);
    EXPECT_EQ(adjusted(c, 200, 300, 1).x, 50);
    const Placement same = adjusted(c, 300, 300, 3);
    EXPECT_EQ(same.x, 100);
    EXPECT_EQ(same.width, 50);
    EXPECT_EQ(adjusted(c, 400, 300, 7).x, 100);

    QWidget window;
    window.resize(400, 100);
    auto* control = new QWidget(&window);
    control->setProperty("equate", 9);
    control->setGeometry(100, 10, 50, 20);
    window.show();
    QApplication::setActiveWindow(&window);
    URADJUST(9, 300, 1);
    EXPECT_EQ(control->x(), 150);
}

TEST_F(RubricaTest, NoOptionsAndNoTotalsGiveOnlyTheDetailAndHeadings) {
    makeHost();
    TQRPTFIELD columns = {{"Name", 0, "H:Name", 0}, {"Category", 0, "H:Category", 0}};
    build(columns, BreakOptions{});
    EXPECT_EQ(columns[0].FLDEQUATE, 12);
    EXPECT_EQ(columns[1].FLDEQUATE, 11);
    std::vector<int> bands;
    for (const auto& b : report.bands()) bands.push_back(b.id);
    EXPECT_EQ(bands, (std::vector<int>{0, 506}));
    EXPECT_EQ(report.band(506)->controls.size(), 2u);
    ASSERT_NE(report.control(2012), nullptr);
    EXPECT_EQ(report.control(2012)->text, "Name");
    EXPECT_EQ(report.control(2012)->y, 600 - 250);
    // Placed in queue order: Name first, Category 125 units after its right edge.
    EXPECT_EQ(report.control(12)->x, 10);
    EXPECT_EQ(report.control(11)->x, 10 + 1500 + 125);
    EXPECT_EQ(report.control(2011)->x, report.control(11)->x);
    EXPECT_FALSE(report.landscape());
}

TEST_F(RubricaTest, TotalsWithoutGroupTotalsStillGiveAGrandTotal) {
    makeHost();
    TQRPTFIELD columns = {{"Name", 0, "H:Name", 0}, {"Amount", 0, "H:Amount", kSum}};
    BreakOptions o;
    o.GHEAD[0] = 1;
    build(columns, o);
    ASSERT_NE(report.band(507), nullptr);
    EXPECT_EQ(report.band(507)->kind, BandKind::ReportEnd);
    ASSERT_NE(report.control(5013), nullptr);
    EXPECT_NE(report.control(50130), nullptr);  // its rule
    EXPECT_EQ(report.control(3013), nullptr);   // no group total asked for
    EXPECT_EQ(report.band(502), nullptr);
    EXPECT_EQ(report.control(5013)->x, report.control(13)->x);
}

TEST_F(RubricaTest, SuppressedDetailPrintsGroupsOnlyAsIdentifiersAndTotals) {
    makeHost();
    BreakOptions o;
    o.GFOOT[0] = o.GTOTAL[0] = o.GSUPPRESS = 1;
    TQRPTFIELD columns = {{"Name", 0, "H:Name", 0},
                          {"Amount", 0, "H:Amount", kSum},
                          {"Category", 0, "H:Category", kGroupLevel1}};
    build(columns, o);
    EXPECT_EQ(columns[0].FLDEQUATE, 0);       // neither total nor group: left out
    EXPECT_TRUE(report.control(12)->hidden);  // its template, unused
    EXPECT_TRUE(report.band(506)->controls.empty());
    EXPECT_EQ(report.band(500)->breakField, 0);
    EXPECT_NE(report.control(603), nullptr);
    EXPECT_EQ(report.control(602), nullptr);
    EXPECT_NE(report.control(3013), nullptr);
    EXPECT_EQ(report.control(30130), nullptr);  // nothing above it to rule off
    EXPECT_EQ(report.band(502)->height, 0);     // the footings are the report's rows
    // The group column, last, takes no width: its identifier stands where it would start.
    EXPECT_EQ(report.control(13)->x, 10);
    EXPECT_EQ(report.control(603)->x, 10 + 1500 + 125);
}

TEST_F(RubricaTest, WideReportsTurnLandscapeThenDropTheColumnsThatDoNotFit) {
    TQRPTFIELD all = {{"Name", 0, "H:Name", 0},
                      {"Category", 0, "H:Category", 0},
                      {"Amount", 0, "H:Amount", kSum},
                      {"Count", 0, "H:Count", kSum}};
    makeHost(1500);
    TQRPTFIELD columns = all;
    build(columns, BreakOptions{});
    EXPECT_FALSE(report.landscape());
    EXPECT_TRUE(messages.empty());

    makeHost(2000);  // one column too many for portrait
    columns = all;
    build(columns, BreakOptions{});
    EXPECT_TRUE(report.landscape());
    EXPECT_EQ(report.width(), 11693 - 800);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(report.control(14)->x, 10 + 3 * 2125);

    makeHost(3000);  // too wide even in landscape: the last column goes, one message
    columns = all;
    build(columns, BreakOptions{});
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0],
              "Maximum Page Width Exceeded: This report exceeds the maximum width settings for "
              "a landscape report. The report will continue to be prepared excluding the "
              "columns starting past the edge of the report.\n\nPlease reduce the width of "
              "this report by eliminating one or more columns.");
    EXPECT_EQ(columns[3].FLDEQUATE, 0);
    EXPECT_EQ(report.control(14), nullptr);
    EXPECT_EQ(report.control(2014), nullptr);
    EXPECT_EQ(report.control(5014), nullptr);
    EXPECT_NE(report.control(13), nullptr);
}

}  // namespace
}  // namespace corvix::rubrica::testing
