// The painter side of the report engine: report units (thousandths of an inch inside the
// margins) mapped to the device's pixels.
#include "runtime/report_paint.h"

#include <array>

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QRawFont>
#include <QToolBar>

namespace corvix::runtime::report {

namespace {

// One face of the report's font at the device's resolution, with the glyphs of the
// characters met so far. Plain text in the Latin range is laid out from these (one look-up
// per character) rather than shaped anew for every cell; anything else is shaped by Qt.
class Face {
  public:
    Face(const QFont& font, QPaintDevice& device)
        : font_(font, &device), raw_(QRawFont::fromFont(font_)), metrics_(font_, &device) {
        glyphs_.fill({0, -1});
        if (const Glyph* e = glyph(u'\u2026')) ellipsis_ = *e;
    }
    const QFont& font() const { return font_; }
    const QFontMetricsF& metrics() const { return metrics_; }

    // The text's glyphs and their offsets, cut with an ellipsis to `width`; false when the
    // text needs shaping (characters outside the range, or missing from the font).
    bool layOut(const QString& text, qreal width, QList<quint32>& glyphs, QList<QPointF>& at,
                qreal& used) {
        glyphs.clear();
        at.clear();
        used = 0;
        if (!raw_.isValid()) return false;
        for (QChar c : text) {
            const Glyph* g = glyph(c.unicode());
            if (!g) return false;
            glyphs.push_back(g->index);
            at.push_back(QPointF(used, 0));
            used += g->advance;
        }
        if (used <= width + 0.5) return true;
        if (ellipsis_.advance < 0) return false;
        // The longest start whose end, and the ellipsis after it, fit.
        qsizetype keep = glyphs.size();
        const auto endOf = [&](qsizetype n) { return n < at.size() ? at[n].x() : used; };
        while (keep > 0 && endOf(keep) + ellipsis_.advance > width) --keep;
        const qreal x = endOf(keep);
        glyphs.resize(keep);
        at.resize(keep);
        glyphs.push_back(ellipsis_.index);
        at.push_back(QPointF(x, 0));
        used = x + ellipsis_.advance;
        return true;
    }
    const QRawFont& raw() const { return raw_; }

  private:
    struct Glyph {
        quint32 index;
        qreal advance;  // < 0: not looked up yet
    };
    static constexpr char16_t kRange = 0x0250;  // Basic Latin to Latin Extended-B

    const Glyph* glyph(char16_t u) {
        const bool inRange = u < kRange && u >= 0x20 && !(u >= 0x7f && u < 0xa0);
        if (!inRange && u != u'\u2026') return nullptr;
        Glyph& g = u == u'\u2026' ? ellipsisSlot_ : glyphs_[u];
        if (g.advance < 0) {
            const QList<quint32> index = raw_.glyphIndexesForString(QString(QChar(u)));
            if (index.size() != 1 || index[0] == 0) return nullptr;  // left to font fallback
            g = {index[0], raw_.advancesForGlyphIndexes(index).value(0).x()};
        }
        return &g;
    }

    QFont font_;
    QRawFont raw_;
    QFontMetricsF metrics_;
    std::array<Glyph, kRange> glyphs_;
    Glyph ellipsisSlot_{0, -1};
    Glyph ellipsis_{0, -1};
};

class PainterSink : public PageSink {
  public:
    PainterSink(const Report& r, QPainter& p, QPagedPaintDevice& d)
        : r_(r), p_(p), d_(d), plain_(fontOf(r, r.bold), d), strong_(fontOf(r, true), d) {
        dpiX_ = d.logicalDpiX() / 1000.0;
        dpiY_ = d.logicalDpiY() / 1000.0;
    }

    bool beginPage(int number) override {
        if (number > 1 && !d_.newPage()) return false;
        return true;
    }

    void text(int x, int y, int width, int height, const std::string& text, Align align,
              bool bold) override {
        if (text.empty()) return;
        Face& face = bold ? strong_ : plain_;
        const QRectF box = rect(x, y, width, height);
        const QString shown = QString::fromStdString(text);
        qreal used = 0;
        if (face.layOut(shown, box.width(), glyphs_, at_, used)) {
            const qreal left = align == Align::Right    ? box.right() - used
                               : align == Align::Center ? box.left() + (box.width() - used) / 2
                                                        : box.left();
            QGlyphRun run;
            run.setRawFont(face.raw());
            run.setGlyphIndexes(glyphs_);
            run.setPositions(at_);
            p_.drawGlyphRun(QPointF(left, box.top() + face.metrics().ascent()), run);
            return;
        }
        setFont(face);
        const QString cut =
            face.metrics().elidedText(shown, Qt::ElideRight, box.width(), Qt::TextSingleLine);
        const Qt::Alignment h = align == Align::Right    ? Qt::AlignRight
                                : align == Align::Center ? Qt::AlignHCenter
                                                         : Qt::AlignLeft;
        p_.drawText(box, h | Qt::AlignTop | Qt::TextSingleLine, cut);
    }

    void rule(int x, int y, int width) override {
        const QRectF box = rect(x, y, width, 0);
        p_.drawLine(box.topLeft(), box.topRight());
    }

    void endPage() override {}

  private:
    static QFont fontOf(const Report& r, bool bold) {
        QFont f(QString::fromStdString(r.fontName));
        f.setPointSizeF(r.fontSize);
        f.setItalic(r.italic);
        f.setBold(bold);
        return f;
    }
    void setFont(const Face& face) {
        if (current_ != &face) p_.setFont(face.font());
        current_ = &face;
    }
    QRectF rect(int x, int y, int w, int h) const {
        return QRectF((x + r_.margin) * dpiX_, (y + r_.margin) * dpiY_, w * dpiX_, h * dpiY_);
    }

    const Report& r_;
    QPainter& p_;
    QPagedPaintDevice& d_;
    double dpiX_ = 1, dpiY_ = 1;
    Face plain_, strong_;
    const Face* current_ = nullptr;
    QList<quint32> glyphs_;  // reused from cell to cell
    QList<QPointF> at_;
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
