#include "framework/list_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QAbstractItemView>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QMenu>
#include <QTableView>
#include <fstream>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include "framework/browse_manager.h"
#include "framework/prompt.h"
#include "framework/view_rows.h"
#include "runtime/report_paint.h"

namespace corvix::framework {

namespace {

using runtime::report::Cell;
using runtime::report::Row;

// The model columns shown, in the header's order; a column without a heading (an icon)
// is left out.
std::vector<int> shownColumns(QAbstractItemView* view) {
    std::vector<int> out;
    QAbstractItemModel* model = view->model();
    if (!model) return out;
    auto* table = qobject_cast<QTableView*>(view);
    QHeaderView* header = table ? table->horizontalHeader() : nullptr;
    for (int visual = 0; visual < model->columnCount(); ++visual) {
        const int column = header ? header->logicalIndex(visual) : visual;
        if (header && header->isSectionHidden(column)) continue;
        if (model->headerData(column, Qt::Horizontal).toString().isEmpty() &&
            model->columnCount() > 1)
            continue;
        out.push_back(column);
    }
    return out;
}

std::vector<std::string> headersOf(QAbstractItemView* view, const std::vector<int>& columns) {
    std::vector<std::string> out;
    for (int c : columns) {
        QString h = view->model()->headerData(c, Qt::Horizontal).toString();
        out.push_back((h.isEmpty() ? view->windowTitle() : h).toStdString());
    }
    return out;
}

std::vector<int> widthsOf(QAbstractItemView* view, const std::vector<int>& columns) {
    std::vector<int> out;
    auto* table = qobject_cast<QTableView*>(view);
    for (int c : columns) out.push_back(table ? table->columnWidth(c) : view->width());
    return out;
}

class BrowseRows : public runtime::report::RowSource {
  public:
    BrowseRows(BrowseManager& browse, std::vector<int> columns)
        : model_(browse.model()), view_(browse.view().decl()), columns_(std::move(columns)) {
        BrowseView& shown = browse.view();
        view_.table().setName(shown.table().name());
        view_.table().setOwner(shown.table().owner());
        view_.binding() = shown.binding();
        error_ = view_.open();
        if (error_ == 0 && shown.filter()) error_ = view_.setFilter(shown.filter());
        if (error_ == 0) {
            if (shown.fieldOrder() >= 0) {
                error_ = view_.setFieldOrder(shown.fieldOrder(), shown.descending());
            } else {
                view_.setOrder(shown.order());
                view_.setDescending(shown.descending());
            }
        }
        if (error_ == 0) rows_.emplace(view_);
    }
    bool next(Row& row) override {
        const storage::Record* r = rows_ ? rows_->next() : nullptr;
        if (!r) return false;
        row.clear();
        for (int c : columns_) row.push_back({model_.recordText(*r, c), 0});
        return true;
    }
    int error() const override { return error_ ? error_ : rows_ ? rows_->error() : 0; }

  private:
    const BrowseModel& model_;
    BrowseView view_;
    std::vector<int> columns_;
    std::optional<ViewRows> rows_;
    int error_ = 0;
};

class BrowseSource : public ListSource {
  public:
    BrowseSource(BrowseManager& b, int secret, std::function<bool()> revealed)
        : browse_(b), secret_(secret), revealed_(std::move(revealed)) {
        columns_ = shownColumns(b.list());
    }
    std::vector<std::string> headers() const override {
        return headersOf(browse_.list(), columns_);
    }
    std::vector<int> widths() const override { return widthsOf(browse_.list(), columns_); }
    std::unique_ptr<runtime::report::RowSource> rows() const override {
        return std::make_unique<BrowseRows>(browse_, columns_);
    }
    bool showsSecretsInClear() const override {
        return secret_ >= 0 && revealed_ && revealed_() &&
               std::find(columns_.begin(), columns_.end(), secret_) != columns_.end();
    }

  private:
    BrowseManager& browse_;
    int secret_;
    std::function<bool()> revealed_;
    std::vector<int> columns_;
};

class ModelRows : public runtime::report::RowSource {
  public:
    ModelRows(QAbstractItemModel* model, std::vector<int> columns)
        : model_(model), columns_(std::move(columns)) {}
    bool next(Row& row) override {
        if (!model_ || at_ >= model_->rowCount()) return false;
        row.clear();
        for (int c : columns_)
            row.push_back({model_->index(at_, c).data().toString().toStdString(), 0});
        ++at_;
        return true;
    }

  private:
    QPointer<QAbstractItemModel> model_;
    std::vector<int> columns_;
    int at_ = 0;
};

class ModelSource : public ListSource {
  public:
    explicit ModelSource(QAbstractItemView* view) : view_(view), columns_(shownColumns(view)) {}
    std::vector<std::string> headers() const override { return headersOf(view_, columns_); }
    std::vector<int> widths() const override { return widthsOf(view_, columns_); }
    std::unique_ptr<runtime::report::RowSource> rows() const override {
        return std::make_unique<ModelRows>(view_->model(), columns_);
    }

  private:
    QAbstractItemView* view_;
    std::vector<int> columns_;
};

// Screen pixels to the report's thousandths of an inch, as a 96-dpi screen shows them.
constexpr int kThouPerPixel = 1000 / 96;

}  // namespace

std::unique_ptr<ListSource> browseSource(BrowseManager& browse, int secretColumn,
                                         std::function<bool()> revealed) {
    return std::make_unique<BrowseSource>(browse, secretColumn, std::move(revealed));
}

std::unique_ptr<ListSource> modelSource(QAbstractItemView* view) {
    return std::make_unique<ModelSource>(view);
}

ListOutput::ListOutput(QAbstractItemView* list, std::string title, SourceFactory source)
    : QObject(list), list_(list), title_(std::move(title)), source_(std::move(source)) {
    setObjectName("ListOutput");
    auto* table = qobject_cast<QTableView*>(list);
    QWidget* target = table ? static_cast<QWidget*>(table->horizontalHeader()) : list;
    target->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(target, &QWidget::customContextMenuRequested, this, [this, target](QPoint at) {
        QMenu menu(target);
        addActions(&menu);
        menu.exec(target->mapToGlobal(at));
    });
}

void ListOutput::addActions(QMenu* menu) {
    menu->addAction("Print\u2026", this, [this] { print(); });
    menu->addAction("Print Preview\u2026", this, [this] { preview(); });
    menu->addAction("Export as CSV\u2026", this, [this] { exportWithDialog(ListFormat::Csv); });
    menu->addAction("Export as HTML\u2026", this, [this] { exportWithDialog(ListFormat::Html); });
    if (!commands_.empty()) menu->addSeparator();
    for (const auto& [text, run] : commands_)
        menu->addAction(QString::fromStdString(text), this, run);
}

void ListOutput::addCommand(std::string text, std::function<void()> run) {
    commands_.emplace_back(std::move(text), std::move(run));
}

runtime::report::Report ListOutput::report() const {
    using namespace runtime::report;
    Report r;
    r.title = title_;
    const std::unique_ptr<ListSource> source = source_();
    const std::vector<std::string> headers = source->headers();
    std::vector<int> widths = source->widths();
    int total = 0;
    for (int& w : widths) total += (w = std::max(w, 30) * kThouPerPixel) + 100;
    if (total > r.width()) r.setLandscape(true);
    // Still too wide: every column narrower alike, so that none is lost on paper.
    const double scale = total > r.width() ? double(r.width()) / total : 1.0;
    r.pageHeader().height = 2 * kLineHeight + 150;
    Control title;
    title.id = 1;
    title.text = title_;
    title.width = r.width();
    r.addControl(0, title);
    Band& detail = r.addBand(506, BandKind::Detail);
    detail.height = kLineHeight + 20;
    int x = 0;
    for (size_t i = 0; i < headers.size(); ++i) {
        const int w = static_cast<int>(widths[i] * scale);
        Control heading;
        heading.id = 2000 + static_cast<int>(i);
        heading.text = headers[i];
        heading.x = x;
        heading.y = kLineHeight + 100;
        heading.width = w;
        r.addControl(0, heading);
        Control field;
        field.id = 1000 + static_cast<int>(i);
        field.kind = ControlKind::Field;
        field.field = static_cast<int>(i);
        field.x = x;
        field.width = w;
        r.addControl(506, field);
        x += w + static_cast<int>(100 * scale);
    }
    Control rule;
    rule.id = 3000;
    rule.kind = ControlKind::Rule;
    rule.y = 2 * kLineHeight + 120;
    rule.width = r.width();
    r.addControl(0, rule);
    return r;
}

bool ListOutput::confirmSecrets(const ListSource& source) const {
    if (!source.showsSecretsInClear()) return true;
    return prompt().ask("Passwords in Clear",
                        "The list shows passwords in clear, and they will be written as they "
                        "are shown. Anyone who can read the file or the paper can read them.\n\n"
                        "Do you want to go on?",
                        Icon::Question, kButtonYes | kButtonNo, kButtonNo) == kButtonYes;
}

bool ListOutput::exportTo(const std::string& path, ListFormat format, std::string* error) {
    const std::unique_ptr<ListSource> source = source_();
    if (!confirmSecrets(*source)) {
        if (error) *error = "cancelled";
        return false;
    }
    // Created for the user only before anything is written into it.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || ::fchmod(fd, 0600) != 0) {
        if (error) *error = std::strerror(errno);
        if (fd >= 0) ::close(fd);
        return false;
    }
    ::close(fd);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    ListWriter writer(out, format, title_);
    writer.header(source->headers());
    std::unique_ptr<runtime::report::RowSource> rows = source->rows();
    Row row;
    while (rows->next(row)) {
        std::vector<std::string> cells;
        for (const Cell& c : row) cells.push_back(c.text);
        writer.row(cells);
    }
    const bool ok = writer.finish() && rows->error() == 0;
    if (!ok && error)
        *error = rows->error()
                     ? "the list could not be read (error " + std::to_string(rows->error()) + ")"
                     : "the file could not be written (disk full?)";
    return ok;
}

bool ListOutput::writePdf(const std::string& path, std::string* error) {
    const std::unique_ptr<ListSource> source = source_();
    if (!confirmSecrets(*source)) return false;
    return runtime::report::writePdf(
        report(), [&] { return source->rows(); }, path, nullptr, error);
}

void ListOutput::print() {
    const std::unique_ptr<ListSource> source = source_();
    if (!confirmSecrets(*source)) return;
    runtime::report::printWithDialog(
        report(), [&] { return source->rows(); }, list_);
}

void ListOutput::preview() {
    const std::unique_ptr<ListSource> source = source_();
    if (!confirmSecrets(*source)) return;
    runtime::report::preview(
        report(), [&] { return source->rows(); }, list_, "ListPreview", tellPdfNotSaved);
}

void ListOutput::exportWithDialog(ListFormat format) {
    const bool csv = format == ListFormat::Csv;
    const QString path =
        QFileDialog::getSaveFileName(list_, csv ? "Export as CSV" : "Export as HTML",
                                     QString::fromStdString(title_) + (csv ? ".csv" : ".html"),
                                     csv ? "CSV files (*.csv)" : "HTML files (*.html *.htm)");
    if (path.isEmpty()) return;
    std::string error;
    if (!exportTo(path.toStdString(), format, &error) && error != "cancelled")
        prompt().ask("Export Error",
                     "The list could not be exported to " + path.toStdString() + ": " + error,
                     Icon::Exclamation, kButtonOk, kButtonOk);
}

bool ListOutput::hasCommand(const std::string& text) const {
    return std::any_of(commands_.begin(), commands_.end(),
                       [&](const auto& c) { return c.first == text; });
}

bool ListOutput::runCommand(const std::string& text) {
    for (const auto& [name, run] : commands_)
        if (name == text) {
            run();
            return true;
        }
    return false;
}

void tellPdfNotSaved(const std::string& path, const std::string& error) {
    prompt().ask("Save as PDF", "The report could not be saved as " + path + ": " + error,
                 Icon::Exclamation, kButtonOk, kButtonOk);
}

ListOutput* attachListOutput(QAbstractItemView* list, std::string title,
                             ListOutput::SourceFactory source) {
    return new ListOutput(list, std::move(title), std::move(source));
}

ListOutput* listOutputOf(QWidget* window) {
    return window ? window->findChild<ListOutput*>("ListOutput") : nullptr;
}

}  // namespace corvix::framework
