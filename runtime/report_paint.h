// Putting a report on paper: painted with QPainter onto a printer, a PDF file or the
// print preview. The rows come from a factory, since a preview paints them again each
// time its pages are redrawn.
#pragma once

#include <QPagedPaintDevice>
#include <functional>
#include <memory>
#include <string>

#include "runtime/report.h"

class QPrinter;
class QWidget;

namespace corvix::runtime::report {

using RowsFactory = std::function<std::unique_ptr<RowSource>()>;

// Paints every page onto a device that has not been painted on yet; the device's page
// layout is set to the report's paper and orientation.
RunResult paint(const Report& report, RowSource& rows, QPagedPaintDevice& device);

// Writes a PDF; false (with a reason) when the file cannot be written.
bool writePdf(const Report& report, const RowsFactory& rows, const std::string& path,
              RunResult* result = nullptr, std::string* error = nullptr);

// The print dialog, then the printer; false when the user cancelled.
bool printWithDialog(const Report& report, const RowsFactory& rows, QWidget* parent);
// Tells the user why a PDF could not be written.
using ReportError = std::function<void(const std::string& path, const std::string& error)>;

// The print preview window (modal), from which the user may also print, or save the
// report as PDF (Ctrl+S) into a file chosen in a dialog; a failure goes to saveFailed.
void preview(const Report& report, const RowsFactory& rows, QWidget* parent,
             const std::string& objectName = "ReportPreview", const ReportError& saveFailed = {});

}  // namespace corvix::runtime::report
