// The accounts as a host of user reports: the fields a report may print, the sort orders
// the list's keys give, building a saved design into a report object, and the accounts'
// rows in a design's order for the report engine.
#pragma once

#include <memory>
#include <string>

#include "libs/rubrica/rubrica.h"
#include "runtime/expression.h"
#include "runtime/report.h"

class QWidget;

namespace corvix::framework {
class FileManager;
}

namespace corvix::accounts {

// The class the accounts list's report designs are kept under.
extern const char kAccountsReportClass[];

struct AccountReportFields {
    rubrica::TQFIELD fields;
    rubrica::TQRPTFIELD allFields;  // one per printable field, in the row's cell order
    rubrica::PredefinedSorts sorts;
};
const AccountReportFields& accountReportFields();

// What a design holds, as the print road needs it.
struct AccountReportDesign {
    std::string name, format, sort;
    rubrica::BreakOptions options;
    std::string fontName;
    int fontSize = 0;
    bool bold = false, italic = false;
};

// Builds the design into report (page header with the name and headings, breaks,
// columns, totals), through URINIT, URINITCONTROL and URPOST.
void buildAccountReport(const AccountReportDesign& design, runtime::report::Report& report);

// The accounts in the design's sort order (the default: category, then description),
// filtered by a tree over the accounts' fields (null: all). Passwords print masked
// with "*" unless reveal. The rows are read through a view of their own on the file
// manager's table; *error gets what the opening refused.
std::unique_ptr<runtime::report::RowSource> accountRows(framework::FileManager& pas,
                                                        const std::string& sort,
                                                        runtime::expr::Tree filter, bool reveal,
                                                        int* error = nullptr);

// The saved report designs of the accounts (URBROWSE); the one chosen is shown in the
// print preview, from which it prints or is saved as PDF, over the rows the filter
// lets through.
void runAccountReports(framework::FileManager& pas, runtime::expr::Tree filter, QWidget* parent);

// Finds a saved design of the accounts by name; false when none (or unreadable: *error).
bool loadAccountDesign(const std::string& name, AccountReportDesign& out,
                       std::string* error = nullptr);

}  // namespace corvix::accounts
