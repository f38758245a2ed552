#include "libs/rubrica/saved_reports.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "libs/rubrica/format_dialog.h"
#include "libs/rubrica/formats.h"
#include "libs/rubrica/messages.h"
#include "platform/storage/errors.h"
#include "runtime/list_decorator.h"
#include "runtime/picture.h"

namespace corvix::rubrica {

namespace {

class NameForm : public QDialog {
  public:
    NameForm(NameMode mode, const std::string& name, QWidget* parent) : QDialog(parent) {
        const bool add = mode == NameMode::New;
        setObjectName("ReportNameForm");
        setWindowTitle(add ? "New Report" : "Rename Report");
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(new QLabel(add ? "Enter a Name for the New Report"
                                         : "Enter a new Name for the Report or press OK to "
                                           "accept the current Name.",
                                     this));
        entry_ = new QLineEdit(QString::fromStdString(name), this);
        entry_->setObjectName("ReportName");
        entry_->setMaxLength(40);
        layout->addWidget(entry_);
        auto* status = new QLabel(add ? "View Will Be Added" : "View Name Will Be Changed", this);
        status->setObjectName("ReportNameStatus");
        layout->addWidget(status);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        connect(buttons, &QDialogButtonBox::accepted, this, [this] {
            if (runtime::rightTrim(entry_->text().toStdString()).empty()) {
                tell("Report Name", "Enter a name for the report.");
                return;
            }
            accept();
        });
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        layout->addWidget(buttons);
    }
    std::string name() const { return runtime::rightTrim(entry_->text().toStdString()); }

  private:
    QLineEdit* entry_;
};

}  // namespace

bool askReportName(NameMode mode, std::string& name, QWidget* parent) {
    NameForm form(mode, name, parent);
    if (form.exec() != QDialog::Accepted) return false;
    name = form.name();
    return true;
}

bool storeDefinition(ReportDefinition& def) {
    const bool adding = def.SYSID == 0;
    StoreError e;
    const int rc = ReportStore::save(def, &e);
    if (rc == 0) return true;
    if (rc == storage::kDuplicateKey)
        tell("Duplicate Key Error",
             "Adding this record creates a duplicate entry for the key: " + e.text);
    else if (rc == storage::kChangedByOther)
        tell("Record Was Not Updated",
             "This record was changed by another station. Those changes will now be displayed. "
             "Use the Ditto Button or Ctrl+' to recall your changes.");
    else
        tell(adding ? "Record Insert Error" : "Update Operation Error",
             (adding ? "An error was experienced adding this record: "
                     : "An error was experienced changing this record: ") +
                 e.text);
    return false;
}

SavedReportsWindow::SavedReportsWindow(const std::string& viewClass, const Host& host,
                                       QWidget* parent)
    : QDialog(parent), viewClass_(viewClass), host_(host) {
    setObjectName("SavedReports");
    setWindowTitle("Reports");
    auto* layout = new QVBoxLayout(this);
    list_ = new QListWidget(this);
    list_->setObjectName("ReportList");
    list_->setToolTip("Default sort order.");
    layout->addWidget(list_);
    runtime::decorateList(list_, "Reports");
    connect(list_, &QListWidget::itemDoubleClicked, this, [this] { selectReport(); });
    auto* row = new QHBoxLayout;
    auto button = [&](const char* text, const char* name, void (SavedReportsWindow::*fn)()) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        connect(b, &QPushButton::clicked, this, fn);
        row->addWidget(b);
        return b;
    };
    button("&Select", "SelectButton", &SavedReportsWindow::selectReport)->setDefault(true);
    button("&Insert", "InsertButton", &SavedReportsWindow::insertReport);
    button("&Change", "ChangeButton", &SavedReportsWindow::changeReport);
    button("C&opy", "CopyButton", &SavedReportsWindow::copyReport);
    button("&Delete", "DeleteButton", &SavedReportsWindow::deleteReport);
    button("&Format...", "FormatButton", &SavedReportsWindow::formatReport);
    auto* close = new QPushButton("Close", this);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    row->addWidget(close);
    layout->addLayout(row);
    reload();
}

void SavedReportsWindow::reload(int32_t select) {
    StoreError e;
    if (ReportStore::list(viewClass_, reports_, &e) != 0)
        tell("File Access Error", "The saved reports cannot be read: " + e.text);
    list_->clear();
    int row = reports_.empty() ? -1 : 0;
    for (size_t i = 0; i < reports_.size(); ++i) {
        list_->addItem(QString::fromStdString(reports_[i].description()));
        if (reports_[i].SYSID == select) row = static_cast<int>(i);
    }
    list_->setCurrentRow(row);
}

const ReportDefinition* SavedReportsWindow::current() const {
    const int row = list_->currentRow();
    return row >= 0 && row < static_cast<int>(reports_.size()) ? &reports_[row] : nullptr;
}

void SavedReportsWindow::insertReport() {
    std::string name;
    if (!askReportName(NameMode::New, name, this)) return;
    ReportDefinition d;
    d.VIEWCLASS = viewClass_;
    d.setDescription(name);
    if (!storeDefinition(d)) return;
    reload(d.SYSID);
    formatReport();
}

void SavedReportsWindow::changeReport() {
    const ReportDefinition* c = current();
    if (!c) return;
    ReportDefinition d = *c;
    std::string name = d.description();
    if (!askReportName(NameMode::Rename, name, this)) return;
    d.setDescription(name);
    if (storeDefinition(d))
        reload(d.SYSID);
    else
        reload(c->SYSID);
}

void SavedReportsWindow::copyReport() {
    const ReportDefinition* c = current();
    if (!c) return;
    ReportDefinition d = *c;
    std::string name = "Copy of " + d.description();
    if (!askReportName(NameMode::New, name, this)) return;
    d.SYSID = 0;
    d.setDescription(name);
    if (storeDefinition(d)) reload(d.SYSID);
}

void SavedReportsWindow::deleteReport() {
    const ReportDefinition* c = current();
    if (!c) return;
    if (ask("Confirm Delete",
            "You've selected to delete the highlighted record.  Press OK to confirm deletion of "
            "this record.",
            kOk | kCancel, kOk) != kOk)
        return;
    StoreError e;
    if (ReportStore::remove(c->SYSID, &e) != 0)
        tell("Delete Operation Error", "This record cannot be deleted: " + e.text);
    reload();
}

void SavedReportsWindow::formatReport() {
    const ReportDefinition* c = current();
    if (!c) return;
    const int32_t id = c->SYSID;
    TQRPTFIELD columns;
    BUILDCQ(c->FORMATSTR, *host_.allFields, columns);
    std::string sort = c->SORTORDER;
    BreakOptions options = c->BRKGRP;
    REPORTWIZARD(*host_.allFields, 1, id, c->description(), *host_.fields,
                 host_.sort ? &sort : nullptr, *host_.predefined, columns, options);
    reload(id);
}

void SavedReportsWindow::selectReport() {
    const ReportDefinition* c = current();
    if (!c) return;
    BUILDCQ(c->FORMATSTR, *host_.allFields, *host_.columns);
    if (host_.sort) *host_.sort = c->SORTORDER;
    *host_.options = c->BRKGRP;
    *host_.format = c->FORMATSTR;
    if (host_.name) *host_.name = c->description();
    accept();
}

long URBROWSE(TQRPTFIELD& columns, const std::string& viewClass, const TQFIELD& fields,
              std::string& sort, const PredefinedSorts& predefined, TQRPTFIELD& allFields,
              BreakOptions& options, std::string& format, std::string* name) {
    setCurrentViewClass(viewClass);
    SavedReportsWindow window(
        viewClass, {&columns, &fields, &sort, &predefined, &allFields, &options, &format, name});
    return window.exec() == QDialog::Accepted ? 1 : 0;
}

}  // namespace corvix::rubrica
