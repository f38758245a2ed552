// Printing a report into a PDF takes Qt's painting and fonts, which corvix-cli does not
// link (it starts without a window system): they live in a plugin beside the program,
// libcorvix_cli_pdf.so (in lib/corvix when installed), loaded only by `report run`.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "runtime/report.h"

namespace corvix::cli {

using ReportRows = std::function<std::unique_ptr<runtime::report::RowSource>()>;

// false with *error set when the plugin cannot be loaded or the file cannot be written.
bool writeReportPdf(const runtime::report::Report& report, const ReportRows& rows,
                    const std::string& path, runtime::report::RunResult* result,
                    std::string* error);

// The plugin's entry point, by this name.
using WriteReportPdf = bool(const runtime::report::Report& report, const ReportRows& rows,
                            const std::string& path, runtime::report::RunResult* result,
                            std::string* error);
constexpr const char* kWriteReportPdfSymbol = "corvix_cli_write_report_pdf";

}  // namespace corvix::cli
