// corvix-cli report list | report run NAME --pdf FILE: the accounts list's saved report
// designs, and one of them printed into a PDF.
#include <cstdio>

#include "accounts/account_reports.h"
#include "cli/command.h"
#include "cli/report_pdf.h"
#include "framework/filter_binding.h"
#include "libs/rubrica/report_store.h"
#include "runtime/picture.h"

namespace corvix::cli {
namespace {

int runReportList(const std::vector<std::string>& args) {
    if (!args.empty()) return usageError("report list", "report list takes no arguments");
    std::vector<rubrica::ReportDefinition> designs;
    rubrica::StoreError e;
    if (rubrica::ReportStore::list(accounts::kAccountsReportClass, designs, &e) != 0)
        return failWith("Report Definitions", "the saved reports cannot be read: " + e.text);
    for (const rubrica::ReportDefinition& d : designs)
        std::printf("%d\t%s\n", d.SYSID, d.description().c_str());
    return kExitOk;
}

int runReportRun(const std::vector<std::string>& args) {
    Options o;
    std::string error;
    if (!parseOptions(args, {}, {"--pdf", "--where"}, o, &error))
        return usageError("report run", error);
    if (o.positional.size() != 1) return usageError("report run", "give the report's name");
    if (!o.hasValue("--pdf")) return usageError("report run", "--pdf FILE is required");
    runtime::expr::Tree filter;
    if (!runtime::rightTrim(o.value("--where")).empty()) {
        runtime::expr::ParseResult parsed =
            framework::FilterBinding::accounts().parse(o.value("--where"));
        if (!parsed.ok()) return usageError("report run", "the filter: " + parsed.message());
        filter = parsed.tree;
    }
    accounts::AccountReportDesign design;
    if (!accounts::loadAccountDesign(o.positional[0], design, &error))
        return failWith("Report Not Found",
                        "There is no saved report \"" + o.positional[0] + "\" (" + error + ").");
    ManagedSession session;
    int rc = session.openAndLogOn();
    if (rc != kExitOk) return rc;
    const bool reveal = session.state().master.RevealPasswords != 0;
    runtime::report::Report report;
    accounts::buildAccountReport(design, report);
    framework::FileManager& pas = session.managers().pas;
    int openError = 0;
    auto rows = [&] { return accounts::accountRows(pas, design.sort, filter, reveal, &openError); };
    runtime::report::RunResult result;
    // Relative to where the command runs, not to the vault's folder.
    if (!writeReportPdf(report, rows, userPath(o.value("--pdf")), &result, &error))
        return failWith("Report Error", "The report could not be written: " + error);
    std::printf("%lld rows, %d pages written to %s\n", static_cast<long long>(result.rows),
                result.pages, o.value("--pdf").c_str());
    return kExitOk;
}

}  // namespace

CORVIX_CLI_COMMAND(kReportList, "report list", "report list",
                   "the saved report designs of the accounts list", runReportList);
CORVIX_CLI_COMMAND(kReportRun, "report run", "report run NAME --pdf FILE [--where EXPRESSION]",
                   "prints a saved report design over the accounts into a PDF", runReportRun);

}  // namespace corvix::cli
