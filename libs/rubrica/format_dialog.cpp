#include "libs/rubrica/format_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "libs/rubrica/formats.h"
#include "libs/rubrica/messages.h"
#include "libs/rubrica/report_store.h"
#include "libs/rubrica/saved_reports.h"
#include "libs/rubrica/sort_designer.h"
#include "runtime/collate.h"

namespace corvix::rubrica {

namespace {

std::string& viewClassStorage() {
    static std::string c;
    return c;
}

enum Which { kPage, kHeading, kFooting, kTotals };
const char* const kNoCustomSort =
    "Click the \"Define Sort Order\" button to create your custom sort order.";

bool totallable(const RptField& f) {
    return f.TOTAL == kTotallable || f.TOTAL == kSum || f.TOTAL == kAverage;
}

}  // namespace

void setCurrentViewClass(const std::string& viewClass) {
    viewClassStorage() = viewClass;
}
const std::string& currentViewClass() {
    return viewClassStorage();
}

FormatReportDialog::FormatReportDialog(const FormatRequest& request, QWidget* parent)
    : QDialog(parent), r_(request) {
    setObjectName("FormatReport");
    columns_ = *r_.columns;
    if (r_.sort) sortOnEntry_ = *r_.sort;
    name_ = r_.title.value_or("");
    const bool designing = r_.options && *r_.options;
    ReportDefinition stored;
    const bool exists = designing && r_.reportId && *r_.reportId >= 1 &&
                        ReportStore::load(static_cast<int32_t>(*r_.reportId), stored) == 0;
    if (exists) name_ = stored.description();
    setWindowTitle(QString::fromStdString(
        exists || !designing ? "Modify Report Format (" + name_ + ")" : "Define Report Format"));

    auto* layout = new QVBoxLayout(this);
    tabs_ = new QTabWidget(this);
    tabs_->addTab(layoutTab(), "Layout");
    const int sortIndex = tabs_->addTab(sortTab(), "Sort Order");
    tabs_->addTab(groupingTab(), "Grouping");
    if (!r_.sort) tabs_->setTabVisible(sortIndex, false);
    layout->addWidget(tabs_);

    auto* row = new QHBoxLayout;
    auto* ok = new QPushButton(designing ? "&Apply" : "&OK", this);
    ok->setObjectName("ApplyButton");
    ok->setDefault(true);
    auto* close = new QPushButton("Close", this);
    close->setObjectName("CloseButton");
    auto* saveButton = new QPushButton("&Save", this);
    saveButton->setObjectName("SaveButton");
    auto* saveAs = new QPushButton("Save As...", this);
    saveAs->setObjectName("SaveAsButton");
    saveButton->setVisible(designing);
    saveAs->setVisible(designing);
    for (QPushButton* b : {ok, saveButton, saveAs, close}) row->addWidget(b);
    layout->addLayout(row);
    connect(ok, &QPushButton::clicked, this, [this] { apply(); });
    connect(close, &QPushButton::clicked, this, [this] { closeDialog(); });
    connect(saveButton, &QPushButton::clicked, this, [this] { save(false); });
    connect(saveAs, &QPushButton::clicked, this, [this] { save(true); });

    // The break options on entry.
    syncing_ = true;
    const BreakOptions& o = *r_.breakOptions;
    for (int l = 0; l < 2; ++l) {
        level_[l][kPage]->setChecked(o.GPAGE[l]);
        level_[l][kHeading]->setChecked(o.GHEAD[l]);
        level_[l][kFooting]->setChecked(o.GFOOT[l]);
        level_[l][kTotals]->setChecked(o.GTOTAL[l]);
    }
    suppress_->setChecked(o.GSUPPRESS);
    syncing_ = false;
    refreshLists(0);
}

QWidget* FormatReportDialog::layoutTab() {
    auto* page = new QWidget;
    auto* outer = new QVBoxLayout(page);
    auto* box = new QGroupBox("Define the Report Column Layout", page);
    auto* grid = new QHBoxLayout(box);
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel("Available fields:", box));
    available_ = new QListWidget(box);
    available_->setObjectName("AvailableFields");
    left->addWidget(available_);
    grid->addLayout(left);
    auto* middle = new QVBoxLayout;
    auto button = [&](const char* text, const char* name, auto fn) {
        auto* b = new QPushButton(text, box);
        b->setObjectName(name);
        connect(b, &QPushButton::clicked, this, fn);
        middle->addWidget(b);
    };
    button("Add ->", "AddButton", [this] { addSelected(); });
    button("<- Remove", "RemoveButton", [this] { removeSelected(); });
    button("Move field up (left)", "UpButton", [this] { moveSelected(-1); });
    button("Move field down (right)", "DownButton", [this] { moveSelected(1); });
    middle->addStretch();
    grid->addLayout(middle);
    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel("Show these fields in this order:", box));
    shown_ = new QListWidget(box);
    shown_->setObjectName("ColumnFields");
    right->addWidget(shown_);
    auto* checks = new QHBoxLayout;
    average_ = new QCheckBox("Average", box);
    total_ = new QCheckBox("Total", box);
    checks->addWidget(average_);
    checks->addWidget(total_);
    right->addLayout(checks);
    grid->addLayout(right);
    outer->addWidget(box);
    connect(available_, &QListWidget::itemDoubleClicked, this, [this] { addSelected(); });
    connect(shown_, &QListWidget::itemDoubleClicked, this, [this] { removeSelected(); });
    connect(shown_, &QListWidget::currentRowChanged, this, [this] { refreshTotals(); });
    connect(average_, &QCheckBox::clicked, this,
            [this](bool on) { setTotal(shown_->currentRow(), on ? kAverage : kTotallable); });
    connect(total_, &QCheckBox::clicked, this,
            [this](bool on) { setTotal(shown_->currentRow(), on ? kSum : kTotallable); });
    return page;
}

QWidget* FormatReportDialog::sortTab() {
    auto* page = new QWidget;
    auto* outer = new QVBoxLayout(page);
    auto* box = new QGroupBox("Select a Sort Order for the Report", page);
    auto* v = new QVBoxLayout(box);
    default_ = new QRadioButton("Use the Default Sort Order", box);
    predefined_ = new QRadioButton("Select a &Predefined Sort Order (fastest)", box);
    predefinedList_ = new QComboBox(box);
    predefinedList_->setObjectName("PredefinedSorts");
    if (r_.predefined)
        for (const PredefinedSort& s : *r_.predefined)
            predefinedList_->addItem(QString::fromStdString(s.description));
    custom_ = new QRadioButton("Define Your Own &Custom Sort Order (slowest)", box);
    auto* define = new QPushButton("&Define Sort Order", box);
    define->setObjectName("DefineSortButton");
    customText_ = new QLabel(box);
    customText_->setObjectName("CustomSortText");
    customText_->setWordWrap(true);
    for (QWidget* w : std::initializer_list<QWidget*>{default_, predefined_, predefinedList_,
                                                      custom_, define, customText_})
        v->addWidget(w);
    v->addStretch();
    outer->addWidget(box);
    connect(define, &QPushButton::clicked, this, [this] { designSort(); });
    connect(predefinedList_, &QComboBox::activated, this,
            [this] { predefined_->setChecked(true); });

    // Which kind of order the sort string on entry is.
    default_->setChecked(true);
    if (r_.sort && !r_.sort->empty()) {
        int match = -1;
        if (r_.predefined)
            for (size_t i = 0; i < r_.predefined->size(); ++i)
                if (runtime::sameNoCase((*r_.predefined)[i].order, *r_.sort))
                    match = static_cast<int>(i);
        if (match >= 0) {
            predefined_->setChecked(true);
            predefinedList_->setCurrentIndex(match);
        } else {
            custom_->setChecked(true);
            customSort_ = *r_.sort;
        }
    }
    showCustomSort();
    return page;
}

QWidget* FormatReportDialog::groupingTab() {
    auto* page = new QWidget;
    auto* outer = new QVBoxLayout(page);
    auto* box = new QGroupBox("Group Heading and Footing Options", page);
    auto* v = new QVBoxLayout(box);
    suppress_ = new QCheckBox("&Suppress Report Detail Rows", box);
    suppress_->setObjectName("SuppressDetail");
    v->addWidget(suppress_);
    const char* titles[] = {"&First Break Level", "&Second Break Level"};
    const char* texts[] = {"New Page After Group", "Group Identifier in Heading",
                           "Group Identifier in Footing", "Group Totals"};
    for (int l = 0; l < 2; ++l) {
        auto* level = new QGroupBox(titles[l], box);
        auto* lv = new QVBoxLayout(level);
        for (int w = 0; w < 4; ++w) {
            level_[l][w] = new QCheckBox(texts[w], level);
            level_[l][w]->setObjectName(QString("Level%1Option%2").arg(l + 1).arg(w));
            lv->addWidget(level_[l][w]);
            connect(level_[l][w], &QCheckBox::toggled, this, [this] { optionToggled(); });
        }
        v->addWidget(level);
    }
    v->addStretch();
    outer->addWidget(box);
    connect(suppress_, &QCheckBox::toggled, this, [this](bool on) { suppressToggled(on); });
    return page;
}

void FormatReportDialog::refreshLists(int selectShown) {
    std::vector<const RptField*> free;
    for (const RptField& f : *r_.allFields)
        if (std::none_of(columns_.begin(), columns_.end(),
                         [&](const RptField& c) { return c.DESC == f.DESC; }))
            free.push_back(&f);
    std::sort(free.begin(), free.end(), [](const RptField* a, const RptField* b) {
        return runtime::compareNoCase(a->DESC, b->DESC) < 0;
    });
    const int availableRow = std::max(available_->currentRow(), 0);
    available_->clear();
    for (const RptField* f : free) available_->addItem(QString::fromStdString(f->DESC));
    available_->setCurrentRow(std::min(availableRow, available_->count() - 1));
    shown_->clear();
    for (const RptField& c : columns_) shown_->addItem(QString::fromStdString(c.DESC));
    shown_->setCurrentRow(std::min(selectShown, shown_->count() - 1));
    refreshTotals();
}

void FormatReportDialog::refreshTotals() {
    const int row = shown_->currentRow();
    const bool can =
        row >= 0 && row < static_cast<int>(columns_.size()) && totallable(columns_[row]);
    average_->setEnabled(can);
    total_->setEnabled(can);
    average_->setChecked(can && columns_[row].TOTAL == kAverage);
    total_->setChecked(can && columns_[row].TOTAL == kSum);
}

void FormatReportDialog::addSelected() {
    QListWidgetItem* item = available_->currentItem();
    if (!item) return;
    const std::string desc = item->text().toStdString();
    for (const RptField& f : *r_.allFields)
        if (f.DESC == desc) {
            RptField c = f;
            if (c.TOTAL == kSum || c.TOTAL == kAverage) c.TOTAL = kTotallable;
            columns_.push_back(c);
            break;
        }
    refreshLists(static_cast<int>(columns_.size()) - 1);
}

void FormatReportDialog::removeSelected() {
    const int row = shown_->currentRow();
    if (row < 0 || row >= static_cast<int>(columns_.size())) return;
    columns_.erase(columns_.begin() + row);
    refreshLists(row);
}

void FormatReportDialog::moveSelected(int by) {
    const int row = shown_->currentRow(), to = row + by;
    if (row < 0 || to < 0 || to >= static_cast<int>(columns_.size())) return;
    RptField moving = columns_[row];
    columns_.erase(columns_.begin() + row);
    columns_.insert(columns_.begin() + to, moving);
    refreshLists(to);
}

void FormatReportDialog::setTotal(int column, long total) {
    if (column < 0 || column >= static_cast<int>(columns_.size()) || !totallable(columns_[column]))
        return;
    columns_[column].TOTAL = total;
    refreshTotals();
}

void FormatReportDialog::setBreakOption(QCheckBox* box, bool on) {
    box->setChecked(on);
}

BreakOptions FormatReportDialog::currentOptions() const {
    BreakOptions o;
    for (int l = 0; l < 2; ++l) {
        o.GPAGE[l] = level_[l][kPage]->isChecked();
        o.GHEAD[l] = level_[l][kHeading]->isChecked();
        o.GFOOT[l] = level_[l][kFooting]->isChecked();
        o.GTOTAL[l] = level_[l][kTotals]->isChecked();
    }
    o.GSUPPRESS = suppress_->isChecked();
    return o;
}

std::string FormatReportDialog::currentSort() const {
    if (custom_->isChecked()) return customSort_;
    if (predefined_->isChecked() && r_.predefined && predefinedList_->currentIndex() >= 0)
        return (*r_.predefined)[predefinedList_->currentIndex()].order;
    return "";
}

void FormatReportDialog::suppressToggled(bool on) {
    if (syncing_ || !on || suppressionAllowed(currentOptions())) return;
    optionToggled();
}

// Suppressed detail needs a footing identifier or a group total to print anything.
void FormatReportDialog::optionToggled() {
    if (syncing_ || !suppress_->isChecked() || suppressionAllowed(currentOptions())) return;
    syncing_ = true;
    suppress_->setChecked(false);
    syncing_ = false;
    tell("Suppress Details Deactivated",
         "Disabling \"Suppress Report Detail Rows\"\n\nTo suppress report detail, a footer total "
         "or footer identifier must be enabled.");
}

void FormatReportDialog::designSort() {
    static const TQFIELD none;
    SortDesigner designer(r_.fields ? *r_.fields : none, customSort_, this);
    if (designer.exec() != QDialog::Accepted) return;
    customSort_ = designer.sortString();
    custom_->setChecked(true);
    showCustomSort();
}

void FormatReportDialog::showCustomSort() {
    static const TQFIELD none;
    const std::string text = describeSort(customSort_, r_.fields ? *r_.fields : none);
    customText_->setText(QString::fromStdString(text.empty() ? kNoCustomSort : text));
}

void FormatReportDialog::apply() {
    static const TQFIELD none;
    const BreakOptions o = currentOptions();
    const std::string sort = currentSort();
    *r_.columns = columnsForFormat(columns_, sort, o, *r_.allFields, r_.fields ? *r_.fields : none);
    *r_.breakOptions = o;
    if (r_.sort) *r_.sort = sort;
    if (r_.format) *r_.format = buildFormat(*r_.columns);
    result_ = -1;
    accept();
}

void FormatReportDialog::closeDialog() {
    if (r_.sort) *r_.sort = sortOnEntry_;
    result_ = 0;
    reject();
}

bool FormatReportDialog::save(bool asNew) {
    static const TQFIELD none;
    ReportDefinition d;
    const bool existing = !asNew && r_.reportId && *r_.reportId >= 1 &&
                          ReportStore::load(static_cast<int32_t>(*r_.reportId), d) == 0;
    if (!existing) {
        std::string name = asNew && !name_.empty() ? "Copy of " + name_ : name_;
        if (!askReportName(NameMode::New, name, this)) return false;
        d = ReportDefinition();
        d.VIEWCLASS = currentViewClass();
        d.setDescription(name);
    }
    const BreakOptions o = currentOptions();
    const std::string sort = currentSort();
    d.FORMATSTR = buildFormat(
        columnsForFormat(columns_, sort, o, *r_.allFields, r_.fields ? *r_.fields : none));
    d.SORTORDER = sort;
    d.BRKGRP = o;
    if (!storeDefinition(d)) return false;
    r_.reportId = d.SYSID;
    name_ = d.description();
    setWindowTitle(QString::fromStdString("Modify Report Format (" + name_ + ")"));
    return true;
}

long REPORTWIZARD(TQRPTFIELD& allFields, std::optional<uint8_t> options,
                  std::optional<long> reportId, const std::optional<std::string>& title,
                  const TQFIELD& fields, std::string* sort, const PredefinedSorts& predefined,
                  TQRPTFIELD& columns, BreakOptions& breakOptions) {
    FormatRequest request{&allFields, options,     reportId, title,         &fields,
                          sort,       &predefined, &columns, &breakOptions, nullptr};
    FormatReportDialog dialog(request);
    dialog.exec();
    return dialog.result();
}

}  // namespace corvix::rubrica
