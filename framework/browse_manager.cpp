#include "framework/browse_manager.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QTabBar>
#include <QTableView>

#include "framework/error_manager.h"
#include "framework/file_manager.h"
#include "framework/form.h"
#include "framework/settings_store.h"
#include "framework/toolbar.h"
#include "framework/window_manager.h"
#include "platform/storage/errors.h"
#include "runtime/picture.h"

namespace corvix::framework {

namespace {
constexpr size_t kMaxFilterText = 5000;

bool usable(const QAbstractButton* b) {
    return b && b->isEnabled() && !b->isHidden();
}
}  // namespace

BrowseManager::BrowseManager(WindowManager& window, FileManager& file)
    : window_(window),
      file_(file),
      view_(std::make_unique<BrowseView>(file.Decl())),
      model_(std::make_unique<BrowseModel>(*view_)) {}

BrowseManager::~BrowseManager() = default;

void BrowseManager::setList(QTableView* list, QScrollBar* thumb) {
    list_ = list;
    thumb_ = thumb;
    list->setModel(model_.get());
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->verticalHeader()->hide();
    list->horizontalHeader()->setStretchLastSection(true);
    list->setTabKeyNavigation(false);
    list->installEventFilter(this);
    list->viewport()->installEventFilter(this);
    list->horizontalHeader()->setSectionsMovable(true);
    list->horizontalHeader()->setSectionsClickable(true);
    connect(list->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int column) { headerClicked(column); });
    connect(list->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (syncing_ || !current.isValid()) return;
                view_->select(current.row());
                if (thumb_) thumb_->setValue(view_->thumb());
            });
    if (thumb) {
        thumb->setRange(0, 100);
        thumb->setPageStep(10);
        connect(thumb, &QScrollBar::actionTriggered, this, [this](int action) {
            switch (action) {
                case QAbstractSlider::SliderSingleStepAdd:
                    down();
                    break;
                case QAbstractSlider::SliderSingleStepSub:
                    up();
                    break;
                case QAbstractSlider::SliderPageStepAdd:
                    pageDown();
                    break;
                case QAbstractSlider::SliderPageStepSub:
                    pageUp();
                    break;
                case QAbstractSlider::SliderToMinimum:
                    first();
                    break;
                case QAbstractSlider::SliderToMaximum:
                    last();
                    break;
                default:
                    return;
            }
            // The thumb shows the place reached, not the slider's own step.
            QMetaObject::invokeMethod(
                this, [this] { shown(); }, Qt::QueuedConnection);
        });
        connect(thumb, &QScrollBar::sliderReleased, this, [this] {
            view_->thumbTo(thumb_->value());
            shown();
        });
    }
}

void BrowseManager::addColumn(int field, std::string header, std::string picture) {
    model_->addColumn(field, std::move(header), std::move(picture));
}

int BrowseManager::addSortOrder(int key) {
    orders_.push_back({key, nullptr, {}});
    return static_cast<int>(orders_.size());
}

void BrowseManager::addLocator(Locator::Kind kind, int field, QLineEdit* entry) {
    if (orders_.empty()) return;
    orders_.back().locator = std::make_unique<Locator>(kind, field, entry);
    if (kind == Locator::Kind::Entry && entry) {
        Locator* loc = orders_.back().locator.get();
        connect(entry, &QLineEdit::returnPressed, this, [this, loc] {
            loc->takeEntry();
            if (locator() == loc) locate();
            if (list_) list_->setFocus();
        });
    }
}

void BrowseManager::setSheet(QTabBar* tabs) {
    sheet_ = tabs;
    connect(tabs, &QTabBar::currentChanged, this, [this](int index) {
        if (index >= 0) setSortOrder(index + 1);
    });
    // Clicking the tab already chosen still drops a header order.
    connect(tabs, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index >= 0 && headerSorted() && index + 1 == order_) setSortOrder(index + 1);
    });
}

int BrowseManager::init(int request) {
    request_ = request;
    // Opening is lazy; the view reads at once, so make the table exist (created when new).
    if (file_.Open() != kLevelBenign || !file_.Use()) return kLevelFatal;
    if (file_.beforeOpen) file_.beforeOpen(view_->table());
    if (view_->open() != 0) {
        file_.Raise(1);
        return kLevelNotify;
    }
    if (selectControl && hideSelect && !selecting()) selectControl->hide();
    if (orders_.empty()) addSortOrder(0);
    window_.toolbar.bindBrowse([this](int b) { return hasToolbarButton(b); },
                               [this](int b) { takeToolbarButton(b); });
    order_ = 0;
    setSortOrder(sheet_ && sheet_->currentIndex() >= 0 ? sheet_->currentIndex() + 1 : 1);
    return kLevelBenign;
}

void BrowseManager::kill() {
    view_->close();
    file_.Close();
}

// ---- filters and orders ----

void BrowseManager::setFilter(const std::string& expression, const std::string& name) {
    if (orders_.empty() || order_ < 1) return;
    auto& filters = orders_[order_ - 1].filters;
    if (runtime::rightTrim(expression).empty()) {
        filters.erase(name);
        return;
    }
    filters[runtime::cutToChars(name, 30)] = {expression, view_->binding().parse(expression).tree};
}

void BrowseManager::setFilter(runtime::expr::Tree tree, const std::string& name) {
    if (orders_.empty() || order_ < 1) return;
    auto& filters = orders_[order_ - 1].filters;
    if (!tree)
        filters.erase(name);
    else
        filters[runtime::cutToChars(name, 30)] = {{}, std::move(tree)};
}

std::string BrowseManager::composedFilter() const {
    if (orders_.empty() || order_ < 1) return {};
    std::string text;
    for (const auto& [name, filter] : orders_[order_ - 1].filters) {
        if (!text.empty()) text += " AND ";
        text += "(" + filter.text + ")";
    }
    return text.size() > kMaxFilterText ? text.substr(0, kMaxFilterText) : text;
}

void BrowseManager::applyFilter() {
    if (beforeApplyFilter) beforeApplyFilter();
    std::vector<runtime::expr::Tree> trees;
    bool refused = false;
    if (!orders_.empty() && order_ >= 1) {
        for (const auto& [name, filter] : orders_[order_ - 1].filters) {
            if (!filter.tree && !refused) {
                // The message names the refusal as the storage's would.
                refused = true;
                storage::Error e;
                e.code = storage::kInvalidFilter;
                e.text = storage::errorText(e.code);
                e.driverText = view_->binding().parse(filter.text).message();
                storage::setLastError(e);
            }
            trees.push_back(filter.tree);
        }
    }
    if (refused || view_->setFilter(refused ? nullptr : runtime::expr::allOf(trees)) != 0) {
        view_->setFilter(nullptr);
        file_.Raise(40);
    }
    view_->first();
    shown();
}

void BrowseManager::setSortOrder(int order) {
    if (order < 1 || order > static_cast<int>(orders_.size())) return;
    if (headerSorted()) {
        headerColumn_ = -1;
        headerDescending_ = false;
        if (list_) list_->horizontalHeader()->setSortIndicatorShown(false);
        order_ = 0;  // the view's order is set again below
    }
    if (order_ != order) {
        order_ = order;
        view_->setOrder(orders_[order - 1].key);
        if (Locator* loc = locator()) loc->clear();
    }
    pageRows();
    applyFilter();
}

void BrowseManager::headerClicked(int column) {
    sortByColumn(column, column == headerColumn_ && !headerDescending_);
}

void BrowseManager::sortByColumn(int column, bool descending) {
    const int field = model_->columnField(column);
    if (field < 0 || order_ < 1) return;
    headerColumn_ = column;
    headerDescending_ = descending;
    const auto& keys = file_.Decl().keys;
    int key = -1;
    for (const SortOrder& o : orders_)
        if (o.key >= 0 && o.key < static_cast<int>(keys.size()) &&
            !keys[o.key].components.empty() && keys[o.key].components.front() == field)
            key = o.key;
    if (key >= 0) {
        view_->setOrder(key);
        view_->setDescending(descending);
    } else if (view_->setFieldOrder(field, descending) != 0) {
        file_.Raise(40);
    }
    if (list_) {
        list_->horizontalHeader()->setSortIndicatorShown(true);
        list_->horizontalHeader()->setSortIndicator(
            column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    }
    pageRows();
    view_->first();
    shown();
}

void BrowseManager::saveLayout(const std::string& section, const std::string& list) {
    if (!list_) return;
    QHeaderView* header = list_->horizontalHeader();
    std::string order, widths;
    for (int visual = 0; visual < header->count(); ++visual)
        order += (visual ? "," : "") + std::to_string(header->logicalIndex(visual));
    for (int column = 0; column < header->count(); ++column)
        widths += (column ? "," : "") + std::to_string(header->sectionSize(column));
    SettingsStore& store = settingsStore();
    store.PutValue(section, list + ".Columns", order);
    store.PutValue(section, list + ".Widths", widths);
    store.PutValue(
        section, list + ".Sort",
        headerSorted() ? std::to_string(headerColumn_) + (headerDescending_ ? ",D" : ",A") : "");
}

void BrowseManager::restoreLayout(const std::string& section, const std::string& list) {
    if (!list_) return;
    QHeaderView* header = list_->horizontalHeader();
    SettingsStore& store = settingsStore();
    auto numbers = [](const std::string& text) {
        std::vector<int> out;
        for (const QString& part : QString::fromStdString(text).split(',', Qt::SkipEmptyParts)) {
            bool ok = false;
            const int n = part.toInt(&ok);
            if (!ok) return std::vector<int>{};
            out.push_back(n);
        }
        return out;
    };
    const std::vector<int> order = numbers(store.GetValue(section, list + ".Columns", ""));
    // A layout saved for another set of columns is ignored.
    if (static_cast<int>(order.size()) == header->count()) {
        for (int visual = 0; visual < static_cast<int>(order.size()); ++visual) {
            if (order[visual] < 0 || order[visual] >= header->count()) break;
            header->moveSection(header->visualIndex(order[visual]), visual);
        }
    }
    const std::vector<int> widths = numbers(store.GetValue(section, list + ".Widths", ""));
    if (static_cast<int>(widths.size()) == header->count())
        for (int column = 0; column < header->count(); ++column)
            if (widths[column] > 0) header->resizeSection(column, widths[column]);
    const QString sort = QString::fromStdString(store.GetValue(section, list + ".Sort", ""));
    const QStringList parts = sort.split(',');
    bool ok = false;
    const int column = parts.value(0).toInt(&ok);
    if (ok && parts.size() == 2 && column >= 0 && column < header->count())
        sortByColumn(column, parts[1] == "D");
}

Locator* BrowseManager::locator() {
    if (headerSorted()) return nullptr;  // the header's order has no locator
    if (order_ < 1 || order_ > static_cast<int>(orders_.size())) return nullptr;
    return orders_[order_ - 1].locator.get();
}

// ---- moving ----

int BrowseManager::pageRows() {
    if (!list_) return view_->pageSize();
    const int rowHeight = std::max(1, list_->verticalHeader()->defaultSectionSize());
    const int rows = std::max(1, list_->viewport()->height() / rowHeight);
    view_->setPageSize(rows);
    return rows;
}

void BrowseManager::shown() {
    syncing_ = true;
    model_->pageChanged();
    if (list_ && view_->selected() >= 0) {
        const QModelIndex index = model_->index(view_->selected(), 0);
        list_->selectionModel()->setCurrentIndex(
            index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    if (thumb_) thumb_->setValue(view_->thumb());
    syncing_ = false;
}

void BrowseManager::first() {
    view_->first();
    shown();
}
void BrowseManager::last() {
    view_->last();
    shown();
}
void BrowseManager::up() {
    view_->up();
    shown();
}
void BrowseManager::down() {
    view_->down();
    shown();
}
void BrowseManager::pageUp() {
    view_->pageUp();
    shown();
}
void BrowseManager::pageDown() {
    view_->pageDown();
    shown();
}

void BrowseManager::locate() {
    Locator* loc = locator();
    if (!loc) return;
    storage::Record keyValues(file_.Decl());
    loc->fill(keyValues);
    view_->locate(keyValues);
    shown();
}

void BrowseManager::resetFromFile() {
    pageRows();
    view_->refresh();
    shown();
}

bool BrowseManager::takeTyped(const QString& typed) {
    Locator* loc = locator();
    if (!loc) return false;
    if (loc->kind() == Locator::Kind::Entry) {
        QLineEdit* entry = loc->entry();
        if (!entry || typed == "\b") return false;
        entry->setFocus();
        entry->insert(typed);
        return true;
    }
    if (!loc->take(typed)) return false;
    locate();
    return true;
}

// ---- updating ----

bool BrowseManager::updateBuffer() {
    const BrowseView::Row* row = view_->current();
    if (!row) return false;
    return file_.Reget(row->position) == kLevelBenign;
}

void BrowseManager::moveBy(int button) {
    switch (button) {
        case kToolBottom:
            view_->last();
            break;
        case kToolTop:
            view_->first();
            break;
        case kToolPageDown:
            view_->pageDown();
            break;
        case kToolPageUp:
            view_->pageUp();
            break;
        case kToolDown:
            view_->down();
            break;
        case kToolUp:
            view_->up();
            break;
        default:
            break;
    }
    shown();
}

int BrowseManager::ask(int request) {
    int resp = kRequestCancelled;
    for (;;) {
        if (request != kInsertRecord && !updateBuffer()) return kRequestCancelled;
        clearFormOutcome();
        resp = window_.runProcedure(updateProcedure, request);
        const FormOutcome& out = lastFormOutcome();
        if (resp == kRequestCompleted && out.record && &out.record->decl() == &file_.Decl()) {
            // Show the record just saved.
            storage::Record keyValues(file_.Decl());
            keyValues.copyFrom(*out.record);
            view_->locate(keyValues);
            shown();
        } else {
            resetFromFile();
        }
        const int button = out.toolbarButton;
        if (resp != kRequestCompleted || !button) return resp;
        // Saved with a toolbar move: go on with the next record (or a new one).
        if (button == kToolInsert || (request == kInsertRecord && button == kToolDown)) {
            request = kInsertRecord;
            continue;
        }
        moveBy(button);
        if (view_->empty()) return resp;
        request = kChangeRecord;
    }
}

void BrowseManager::viewRecord() {
    auto& reg = ThreadRegistry::instance();
    ++reg.viewRequests;
    ask(kChangeRecord);
    --reg.viewRequests;
}

void BrowseManager::selectCurrent() {
    if (!updateBuffer()) return;
    window_.response = kRequestCompleted;
    window_.endWindow();
}

bool BrowseManager::takeAccepted(QWidget* control) {
    if (!control) return false;
    if (control == insertControl) {
        ask(kInsertRecord);
    } else if (control == changeControl) {
        ask(kChangeRecord);
    } else if (control == deleteControl) {
        ask(kDeleteRecord);
    } else if (control == viewControl) {
        viewRecord();
    } else if (control == selectControl) {
        selectCurrent();
    } else {
        return false;
    }
    if (list_ && !window_.window()->isHidden()) list_->setFocus();
    return true;
}

void BrowseManager::press(QAbstractButton* control) {
    if (usable(control)) control->click();
}

QMenu* BrowseManager::actionsMenu() {
    delete menu_;
    menu_ = new QMenu("Browse Actions", list_);
    menu_->setTitle("Browse Actions");
    auto item = [this](const char* text, QAbstractButton* control) {
        if (!usable(control)) return;
        QPointer<QAbstractButton> target = control;
        menu_->addAction(text, this, [this, target] { press(target); });
    };
    item("&Insert", insertControl);
    item("&Change", changeControl);
    item("&Delete", deleteControl);
    item("&Select", selectControl);
    return menu_;
}

bool BrowseManager::hasToolbarButton(int button) const {
    switch (button) {
        case kToolChange:
            return usable(changeControl);
        case kToolDelete:
            return usable(deleteControl);
        case kToolSelect:
            return selecting() && usable(selectControl);
        case kToolHelp:
            return usable(helpControl);
        case kToolHistory:
        case kToolInsert:
            return false;
        default:
            return button >= kToolBottom && button <= kToolLocate;
    }
}

void BrowseManager::takeToolbarButton(int button) {
    switch (button) {
        case kToolChange:
            press(changeControl);
            break;
        case kToolDelete:
            press(deleteControl);
            break;
        case kToolSelect:
            selectCurrent();
            break;
        case kToolBottom:
            last();
            break;
        case kToolTop:
            first();
            break;
        case kToolPageDown:
            pageDown();
            break;
        case kToolPageUp:
            pageUp();
            break;
        case kToolDown:
            down();
            break;
        case kToolUp:
            up();
            break;
        case kToolLocate:
            if (Locator* loc = locator();
                loc && loc->kind() == Locator::Kind::Entry && loc->entry())
                loc->entry()->setFocus();
            else if (list_)
                list_->setFocus();
            break;
        case kToolHelp:
            press(helpControl);
            break;
        default:
            break;
    }
}

bool BrowseManager::keyPressed(QKeyEvent* key) {
    const bool ctrl = key->modifiers() & Qt::ControlModifier;
    const bool rows = !view_->empty();
    switch (key->key()) {
        case Qt::Key_Up:
            up();
            return true;
        case Qt::Key_Down:
            down();
            return true;
        case Qt::Key_PageUp:
            pageUp();
            return true;
        case Qt::Key_PageDown:
            pageDown();
            return true;
        case Qt::Key_Home:
            first();
            return true;
        case Qt::Key_End:
            last();
            return true;
        case Qt::Key_Insert:
            if (!usable(insertControl)) return false;
            press(insertControl);
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (ctrl && rows && usable(changeControl)) {
                press(changeControl);
                return true;
            }
            return false;
        case Qt::Key_Delete:
            if (rows && usable(deleteControl)) {
                press(deleteControl);
                return true;
            }
            return false;
        case Qt::Key_Backspace:
            return takeTyped("\b");
        default:
            break;
    }
    if (ctrl || (key->modifiers() & Qt::AltModifier)) return false;
    return takeTyped(key->text());
}

bool BrowseManager::eventFilter(QObject* watched, QEvent* event) {
    if (!list_) return false;
    if (watched == list_ && event->type() == QEvent::KeyPress)
        return keyPressed(static_cast<QKeyEvent*>(event));
    if (watched != list_->viewport()) return false;
    switch (event->type()) {
        case QEvent::MouseButtonDblClick: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            const QModelIndex at = list_->indexAt(mouse->position().toPoint());
            if (!at.isValid()) return false;
            view_->select(at.row());
            if (selecting() && usable(selectControl))
                press(selectControl);
            else if (usable(changeControl))
                press(changeControl);
            return true;
        }
        case QEvent::MouseButtonRelease: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::RightButton) return false;
            const QModelIndex at = list_->indexAt(mouse->position().toPoint());
            if (at.isValid()) {
                view_->select(at.row());
                shown();
            }
            QMenu* menu = actionsMenu();
            if (!menu->isEmpty()) menu->popup(mouse->globalPosition().toPoint());
            return true;
        }
        case QEvent::Wheel: {
            auto* wheel = static_cast<QWheelEvent*>(event);
            const int steps = wheel->angleDelta().y() / 40;
            for (int i = 0; i < std::abs(steps); ++i) steps > 0 ? view_->up() : view_->down();
            shown();
            return true;
        }
        case QEvent::Resize:
            if (view_->isOpen() && pageRows() != static_cast<int>(view_->rows().size())) {
                view_->refresh();
                shown();
            }
            return false;
        default:
            return false;
    }
}

}  // namespace corvix::framework
