// The PDF writer corvix-cli loads for `report run`: a GUI application on the offscreen
// platform (painting needs fonts) and the report engine's painter.
#include <QGuiApplication>
#include <memory>

#include "cli/report_pdf.h"
#include "runtime/report_paint.h"

namespace {

std::unique_ptr<QGuiApplication> painterApplication() {
    if (QCoreApplication::instance()) return nullptr;
    static int argc = 3;
    static char name[] = "corvix-cli", flag[] = "-platform", platform[] = "offscreen";
    static char* argv[] = {name, flag, platform, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) bool corvix_cli_write_report_pdf(
    const corvix::runtime::report::Report& report, const corvix::cli::ReportRows& rows,
    const std::string& path, corvix::runtime::report::RunResult* result, std::string* error) {
    auto app = painterApplication();
    return corvix::runtime::report::writePdf(report, rows, path, result, error);
}
