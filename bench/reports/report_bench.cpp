// bench_reports [RECORDS]: a PDF report over RECORDS accounts (100,000 by default) sorted
// by category with one break level, a group total and a grand total, beside writing the
// same rows in the same order to CSV, in the same run. Each phase runs in a child process,
// so its peak memory is its own; both also run at a tenth of the size to show that memory
// stays flat as the rows grow.
#include <unistd.h>

#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "accounts/account_reports.h"
#include "bench/child_phase.h"
#include "framework/list_export.h"
#include "framework/vault_managers.h"
#include "runtime/report_paint.h"
#include "vault/access.h"
#include "vault/vault_key.h"

using namespace corvix;
using bench::inChild;
using bench::Phase;

namespace {

void fillVault(int records) {
    vault::VaultTables t;
    if (t.openAll() != 0) std::exit(1);
    storage::Transaction tx;
    if (tx.begin({&t.pas}, 30) != 0) std::exit(1);
    for (int i = 1; i <= records; ++i) {
        vault::PasBuffer p;
        p->PAS_ID = i;
        p->Category = "Category " + std::to_string(i % 40);
        p->Description = "Account number " + std::to_string(i);
        p->Name = "user" + std::to_string(i % 977);
        p->Password = "pw" + std::to_string(i);
        p->ExpiryInterval = i % 365;
        if (t.pas.add(p) != 0) std::exit(1);
    }
    if (tx.commit() != 0) std::exit(1);
    t.closeAll();
}

accounts::AccountReportDesign design() {
    accounts::AccountReportDesign d;
    d.name = "Expiry by category";
    d.format = "~Description~~Name~~Expiry Interval~|+|";
    d.sort = "UPPER(PAS:Category)";
    d.options.GHEAD[0] = d.options.GFOOT[0] = d.options.GTOTAL[0] = 1;
    return d;
}

int writePdf() {
    int argc = 3;
    char name[] = "bench", flag[] = "-platform", platform[] = "offscreen";
    char* argv[] = {name, flag, platform, nullptr};
    QGuiApplication app(argc, argv);
    framework::createVaultManagers();
    runtime::report::Report report;
    accounts::buildAccountReport(design(), report);
    runtime::report::RunResult result;
    std::string error;
    const bool ok = runtime::report::writePdf(
        report,
        [] {
            return accounts::accountRows(framework::vaultManagers().pas, design().sort, nullptr,
                                         false);
        },
        "report.pdf", &result, &error);
    std::fprintf(stderr, "  pdf: %lld rows, %d pages, %lld bytes%s%s\n",
                 static_cast<long long>(result.rows), result.pages,
                 static_cast<long long>(std::filesystem::file_size("report.pdf")),
                 ok ? "" : ", failed: ", error.c_str());
    return ok ? 0 : 1;
}

int writeCsv() {
    framework::createVaultManagers();
    auto rows =
        accounts::accountRows(framework::vaultManagers().pas, design().sort, nullptr, false);
    std::ofstream out("rows.csv", std::ios::binary);
    framework::ListWriter writer(out, framework::ListFormat::Csv, "Accounts");
    runtime::report::Row row;
    std::vector<std::string> cells;
    while (rows->next(row)) {
        cells.clear();
        for (const auto& c : row) cells.push_back(c.text);
        writer.row(cells);
    }
    return writer.finish() && rows->error() == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const int records = argc > 1 ? std::atoi(argv[1]) : 100000;
    const auto home =
        std::filesystem::temp_directory_path() / ("bench_reports." + std::to_string(::getpid()));
    vault::BuildVaultKey();
    std::printf("report over %d accounts: one break level (40 groups), a total\n", records);
    for (int n : {records / 10, records}) {
        std::filesystem::create_directories(home / std::to_string(n));
        std::filesystem::current_path(home / std::to_string(n));
        inChild([n] {
            fillVault(n);
            return 0;
        });
        const Phase pdf = inChild(writePdf);
        const Phase csv = inChild(writeCsv);
        std::printf(
            "%7d rows  PDF %6.2f s (cpu %6.2f s) %7ld KB peak   CSV %6.2f s (cpu %5.2f s) %7ld KB "
            "peak   PDF/CSV %.1fx\n",
            n, pdf.seconds, pdf.cpuSeconds, pdf.peakKb, csv.seconds, csv.cpuSeconds, csv.peakKb,
            csv.seconds > 0 ? pdf.seconds / csv.seconds : 0.0);
        // Both read the rows alike (the storage's page cache grows with the file up to
        // its fixed limit); what the report adds on top is its own.
        std::printf("%7d rows  the report's own memory (PDF peak less CSV peak): %ld KB\n", n,
                    pdf.peakKb - csv.peakKb);
    }
    std::filesystem::current_path("/");
    std::filesystem::remove_all(home);
    std::printf(
        "target: PDF of %d rows under 15 s; the report's own memory the same at both sizes\n",
        records);
    return 0;
}
