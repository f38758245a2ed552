// The painter side of the report engine: report units (thousandths of an inch inside the
// margins) mapped to the device's pixels.
#include "runtime/report_paint.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QToolBar>

namespace corvix::runtime::report {

namespace {

class PainterSink : public PageSink {
  public:
    PainterSink(const Report& r, QPainter& p, QPagedPaintDevice& d) : r_(r), p_(p), d_(d) {
        dpiX_ = d.logicalDpiX() / 1000.0;
        dpiY_ = d.logicalDpiY() / 1000.0;
        plain_ = QFont(QString::fromStdString(r.fontName));
        plain_.setPointSizeF(r.fontSize);
        plain_.setItalic(r.italic);
        plain_.setBold(r.bold);
        strong_ = plain_;
        strong_.setBold(true);
    }

    bool beginPage(int number) override {
        if (number > 1 && !d_.newPage()) return false;
        return true;
    }

    void text(int x, int y, int width, int height, const std::string& text, Align align,
              bool bold) override {
        if (text.empty()) return;
        p_.setFont(bold ? strong_ : plain_);
        const QRectF box = rect(x, y, width, height);
        const QString shown = p_.fontMetrics().elidedText(
            QString::fromStdString(text), Qt::ElideRight, static_cast<int>(box.width()));
        const Qt::Alignment h = align == Align::Right    ? Qt::AlignRight
                                : align == Align::Center ? Qt::AlignHCenter
                                                         : Qt::AlignLeft;
        p_.drawText(box, h | Qt::AlignTop | Qt::TextSingleLine, shown);
    }

    void rule(int x, int y, int width) override {
        const QRectF box = rect(x, y, width, 0);
        p_.drawLine(box.topLeft(), box.topRight());
    }

    void endPage() override {}

  private:
    QRectF rect(int x, int y, int w, int h) const {
        return QRectF((x + r_.margin) * dpiX_, (y + r_.margin) * dpiY_, w * dpiX_, h * dpiY_);
    }

    const Report& r_;
    QPainter& p_;
    QPagedPaintDevice& d_;
    double dpiX_ = 1, dpiY_ = 1;
    QFont plain_, strong_;
};

QPageLayout layoutOf(const Report& r) {
    const QPageSize size(QSizeF(r.paperWidth / 1000.0, r.paperHeight / 1000.0), QPageSize::Inch);
    return QPageLayout(size, r.landscape() ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(0, 0, 0, 0));
}

RunResult paintOpened(const Report& report, RowSource& rows, QPainter& painter,
                      QPagedPaintDevice& device) {
    PainterSink sink(report, painter, device);
    return run(report, rows, sink);
}

}  // namespace

RunResult paint(const Report& report, RowSource& rows, QPagedPaintDevice& device) {
    device.setPageLayout(layoutOf(report));
    QPainter painter;
    if (!painter.begin(&device)) {
        RunResult failed;
        failed.error = -1;
        return failed;
    }
    RunResult r = paintOpened(report, rows, painter, device);
    painter.end();
    return r;
}

bool writePdf(const Report& report, const RowsFactory& rows, const std::string& path,
              RunResult* result, std::string* error) {
    const QString file = QString::fromStdString(path);
    {
        QFile probe(file);
        if (!probe.open(QIODevice::WriteOnly)) {
            if (error) *error = probe.errorString().toStdString();
            return false;
        }
        // A report may print passwords: only the user reads it.
        probe.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    RunResult r;
    {
        QPdfWriter writer(file);
        writer.setResolution(600);
        writer.setTitle(QString::fromStdString(report.title));
        writer.setCreator("Corvix");
        std::unique_ptr<RowSource> source = rows();
        r = paint(report, *source, writer);
    }
    if (result) *result = r;
    if (r.error != 0 || r.pages == 0 || QFileInfo(file).size() == 0) {
        if (error)
            *error = r.error ? "the rows could not be read (error " + std::to_string(r.error) + ")"
                             : "nothing could be written to " + path;
        return false;
    }
    return true;
}

bool printWithDialog(const Report& report, const RowsFactory& rows, QWidget* parent) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setFullPage(true);
    printer.setPageLayout(layoutOf(report));
    QPrintDialog dialog(&printer, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    std::unique_ptr<RowSource> source = rows();
    paint(report, *source, printer);
    return true;
}

namespace {

// The preview's own "Save as PDF" command, beside its print button.
void addSaveAsPdf(QDialog& dialog, const Report& report, const RowsFactory& rows,
                  const ReportError& saveFailed) {
    auto* save = new QAction(QIcon::fromTheme("document-save"), "Save as PDF\u2026", &dialog);
    save->setObjectName("SaveAsPdf");
    save->setShortcut(QKeySequence::Save);
    dialog.addAction(save);
    if (QToolBar* bar = dialog.findChild<QToolBar*>()) bar->addAction(save);
    QObject::connect(save, &QAction::triggered, &dialog, [&dialog, &report, &rows, saveFailed] {
        const QString name = QString::fromStdString(report.title.empty() ? "Report" : report.title);
        const QString path = QFileDialog::getSaveFileName(&dialog, "Save as PDF", name + ".pdf",
                                                          "PDF files (*.pdf)");
        if (path.isEmpty()) return;
        std::string error;
        if (!writePdf(report, rows, path.toStdString(), nullptr, &error) && saveFailed)
            saveFailed(path.toStdString(), error);
    });
}

}  // namespace

void preview(const Report& report, const RowsFactory& rows, QWidget* parent,
             const std::string& objectName, const ReportError& saveFailed) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setFullPage(true);
    printer.setPageLayout(layoutOf(report));
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setObjectName(QString::fromStdString(objectName));
    dialog.setWindowTitle(
        QString::fromStdString(report.title.empty() ? "Print Preview" : report.title));
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, [&](QPrinter* p) {
        std::unique_ptr<RowSource> source = rows();
        QPainter painter(p);
        paintOpened(report, *source, painter, *p);
    });
    addSaveAsPdf(dialog, report, rows, saveFailed);
    dialog.exec();
}

}  // namespace corvix::runtime::report
