#include "cli/report_pdf.h"

#include <dlfcn.h>

#include <filesystem>

namespace corvix::cli {

bool writeReportPdf(const runtime::report::Report& report, const ReportRows& rows,
                    const std::string& path, runtime::report::RunResult* result,
                    std::string* error) {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    const std::string plugin = (self.parent_path() / "libcorvix_cli_pdf.so").string();
    // Kept loaded: Qt's painting must not be unloaded while the process ends.
    void* handle = ec ? nullptr : dlopen(plugin.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        if (error)
            *error = "the PDF writer " + plugin +
                     " cannot be loaded: " + (ec ? ec.message() : std::string(dlerror()));
        return false;
    }
    auto* write = reinterpret_cast<WriteReportPdf*>(dlsym(handle, kWriteReportPdfSymbol));
    if (!write) {
        if (error) *error = "the PDF writer " + plugin + " has no entry point";
        return false;
    }
    return write(report, rows, path, result, error);
}

}  // namespace corvix::cli
