#include "cli/report_pdf.h"

#include <dlfcn.h>
#include <unistd.h>

#include "vault/locations.h"

namespace corvix::cli {

namespace {

constexpr const char* kPluginName = "libcorvix_cli_pdf.so";

// Beside the program in the build tree; in lib/corvix when installed (bin/../lib/corvix).
std::string pluginPath() {
    const std::string dir = vault::programDirectory();
    const std::string installed = dir + "/../lib/corvix/" + kPluginName;
    if (access(installed.c_str(), R_OK) == 0) return installed;
    return dir + "/" + kPluginName;
}

}  // namespace

bool writeReportPdf(const runtime::report::Report& report, const ReportRows& rows,
                    const std::string& path, runtime::report::RunResult* result,
                    std::string* error) {
    const std::string plugin = pluginPath();
    // Kept loaded: Qt's painting must not be unloaded while the process ends.
    void* handle = dlopen(plugin.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        if (error) *error = "the PDF writer cannot be loaded: " + std::string(dlerror());
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
