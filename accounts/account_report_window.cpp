// The accounts list's Reports button: the saved-reports list, then the chosen design in
// the print preview (widgets, so not with the report rows corvix-cli shares).
#include "accounts/account_reports.h"
#include "framework/list_output.h"
#include "libs/rubrica/rubrica.h"
#include "runtime/report_paint.h"
#include "security/session.h"

namespace corvix::accounts {

void runAccountReports(framework::FileManager& pas, runtime::expr::Tree filter, QWidget* parent) {
    AccountReportFields host = accountReportFields();
    rubrica::TQRPTFIELD columns;
    AccountReportDesign design;
    std::string format;
    if (rubrica::URBROWSE(columns, kAccountsReportClass, host.fields, design.sort, host.sorts,
                          host.allFields, design.options, format, &design.name) != 1)
        return;
    design.format = format;
    AccountReportDesign stored;
    if (loadAccountDesign(design.name, stored)) design = stored;
    runtime::report::Report report;
    buildAccountReport(design, report);
    const bool reveal = security::MasterCopy().RevealPasswords != 0;
    runtime::report::preview(
        report, [&] { return accountRows(pas, design.sort, filter, reveal); }, parent,
        "AccountReportPreview", framework::tellPdfNotSaved);
}

}  // namespace corvix::accounts
