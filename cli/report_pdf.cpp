#include "cli/report_pdf.h"

#include "cli/plugin.h"

namespace corvix::cli {

bool writeReportPdf(const runtime::report::Report& report, const ReportRows& rows,
                    const std::string& path, runtime::report::RunResult* result,
                    std::string* error) {
    std::string why;
    auto* write = reinterpret_cast<WriteReportPdf*>(
        pluginEntry("libcorvix_cli_pdf.so", kWriteReportPdfSymbol, &why));
    if (!write) {
        if (error) *error = "the PDF writer cannot be loaded: " + why;
        return false;
    }
    return write(report, rows, path, result, error);
}

}  // namespace corvix::cli
