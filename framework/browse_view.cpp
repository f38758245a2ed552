#include "framework/browse_view.h"

#include <algorithm>
#include <charconv>

#include "platform/storage/table_filter.h"
#include "runtime/collate.h"
#include "runtime/qt_services.h"

namespace corvix::framework {

namespace {

int compareScalars(const storage::Scalar& a, const storage::Scalar& b) {
    if (const auto* sa = std::get_if<std::string>(&a)) {
        const auto* sb = std::get_if<std::string>(&b);
        return runtime::compareNoCase(*sa, sb ? std::string_view(*sb) : std::string_view());
    }
    auto asReal = [](const storage::Scalar& s) {
        if (const auto* i = std::get_if<int64_t>(&s)) return static_cast<double>(*i);
        if (const auto* d = std::get_if<double>(&s)) return *d;
        return 0.0;
    };
    const double x = asReal(a), y = asReal(b);
    return x < y ? -1 : (x > y ? 1 : 0);
}

// Positions are the record's row id as text; compare them as numbers.
int comparePositions(const std::string& a, const std::string& b) {
    long long x = 0, y = 0;
    auto ra = std::from_chars(a.data(), a.data() + a.size(), x);
    auto rb = std::from_chars(b.data(), b.data() + b.size(), y);
    if (ra.ec != std::errc() || rb.ec != std::errc()) return a.compare(b);
    return x < y ? -1 : (x > y ? 1 : 0);
}

}  // namespace

BrowseView::BrowseView(const storage::TableDecl& decl)
    : decl_(decl), table_(std::make_unique<storage::Table>(decl)), binding_(decl) {}

BrowseView::~BrowseView() = default;

int BrowseView::open() {
    if (table_->isOpen()) return 0;
    return table_->open(storage::kReadOnly | storage::kDenyNone);
}

void BrowseView::close() {
    table_->close();
    rows_.clear();
    selected_ = -1;
}

bool BrowseView::isOpen() const {
    return table_->isOpen();
}

void BrowseView::setPageSize(int rows) {
    pageSize_ = std::max(1, rows);
}

void BrowseView::setOrder(int key) {
    key_ = key;
    descending_ = false;
    orderField_ = -1;
    positions_.clear();
    positions_.shrink_to_fit();
    rows_.clear();
    selected_ = -1;
}

void BrowseView::setDescending(bool descending) {
    descending_ = descending;
    rows_.clear();
    selected_ = -1;
}

int BrowseView::setFilter(runtime::expr::Tree tree, bool inStorage) {
    runtime::expr::SqlFilter sql;
    if (tree && inStorage) sql = binding_.toSql(tree);
    if (tree && !inStorage) sql.residual = tree;
    const int rc = storage::setFilter(*table_, sql.where, std::move(sql.params));
    if (rc != 0) {
        table_->setFilter("");
        filter_.reset();
        residual_.reset();
        storageFilter_.clear();
        return rc;
    }
    filter_ = std::move(tree);
    residual_ = std::move(sql.residual);
    storageFilter_ = std::move(sql.where);
    return orderField_ >= 0 ? loadPositions() : 0;
}

bool BrowseView::stringKey() const {
    if (key_ < 0 || key_ >= static_cast<int>(decl_.keys.size())) return false;
    const auto& comps = decl_.keys[key_].components;
    return !comps.empty() && decl_.fields[comps.front()].type == storage::FieldType::String;
}

int BrowseView::compareKey(const storage::RecordBuffer& a, const storage::RecordBuffer& b) const {
    if (key_ < 0 || key_ >= static_cast<int>(decl_.keys.size())) return 0;
    for (int field : decl_.keys[key_].components) {
        const int c = compareScalars(a.get(field), b.get(field));
        if (c != 0) return c;
    }
    return 0;
}

int BrowseView::compareRows(const Row& a, const Row& b) const {
    const int c = compareKey(a.record, b.record);
    return c != 0 ? c : comparePositions(a.position, b.position);
}

int BrowseView::seekRead(bool forward, const storage::RecordBuffer* from, int n, const Row* anchor,
                         bool inclusive, std::vector<Row>& out) {
    // A descending order reads the key the other way; anchors compare as stored.
    forward = forward != descending_;
    int rc = 0;
    if (from && anchor && !anchor->position.empty())
        rc = table_->setFrom(key_, *from, anchor->position);  // reads the anchor itself first
    else if (from)
        rc = table_->setFrom(key_, *from);
    else
        rc = forward ? table_->set(key_) : table_->setLast(key_);
    if (rc != 0) return rc;
    table_->expectRows(static_cast<size_t>(n) + (anchor ? 1 : 0));
    Row row{storage::Record(decl_), {}};
    while (static_cast<int>(out.size()) < n) {
        rc = forward ? table_->next(row.record) : table_->previous(row.record);
        if (rc == storage::kRecordNotAvailable) return 0;
        if (rc != 0) return rc;
        row.position = table_->position();
        if (residual_ && !binding_.passes(*residual_, row.record)) continue;
        if (anchor) {
            // Reading starts at the anchor itself (or, without its position, at the first
            // record of its key value): step over what is not beyond it.
            const int c = compareRows(row, *anchor);
            if (forward ? (inclusive ? c < 0 : c <= 0) : (inclusive ? c > 0 : c >= 0)) continue;
        }
        out.push_back(row);
    }
    return 0;
}

int BrowseView::readAfter(const Row& anchor, int n, bool inclusive, std::vector<Row>& out) {
    return seekRead(true, &anchor.record, n, &anchor, inclusive, out);
}

int BrowseView::readBefore(const Row& anchor, int n, bool inclusive, std::vector<Row>& out) {
    return seekRead(false, &anchor.record, n, &anchor, inclusive, out);
}

int BrowseView::readFromStart(int n, std::vector<Row>& out) {
    return seekRead(true, nullptr, n, nullptr, false, out);
}

int BrowseView::readFromEnd(int n, std::vector<Row>& out) {
    const int rc = seekRead(false, nullptr, n, nullptr, false, out);
    std::reverse(out.begin(), out.end());
    return rc;
}

int BrowseView::first() {
    if (orderField_ >= 0) return fieldFirst();
    std::vector<Row> rows;
    const int rc = readFromStart(pageSize_ + 1, rows);
    if (rc != 0) return rc;
    atTop_ = true;
    atBottom_ = static_cast<int>(rows.size()) <= pageSize_;
    if (!atBottom_) rows.pop_back();
    rows_ = std::move(rows);
    selected_ = rows_.empty() ? -1 : 0;
    return 0;
}

int BrowseView::last() {
    if (orderField_ >= 0) return fieldLast();
    std::vector<Row> rows;
    const int rc = readFromEnd(pageSize_ + 1, rows);
    if (rc != 0) return rc;
    atBottom_ = true;
    atTop_ = static_cast<int>(rows.size()) <= pageSize_;
    if (!atTop_) rows.erase(rows.begin());
    rows_ = std::move(rows);
    selected_ = static_cast<int>(rows_.size()) - 1;
    return 0;
}

void BrowseView::fillPage(std::vector<Row> forward, int selectRow) {
    // forward holds the rows from the wanted one on (up to pageSize_ + 1 to see the end).
    atBottom_ = static_cast<int>(forward.size()) <= pageSize_;
    if (!atBottom_) forward.erase(forward.begin() + pageSize_, forward.end());
    const int missing = pageSize_ - static_cast<int>(forward.size());
    std::vector<Row> before;
    if (!forward.empty()) readBefore(forward.front(), missing + 1, false, before);
    atTop_ = static_cast<int>(before.size()) <= missing;
    if (!atTop_) before.pop_back();
    std::reverse(before.begin(), before.end());
    selected_ = forward.empty() ? -1 : static_cast<int>(before.size()) + selectRow;
    before.insert(before.end(), std::make_move_iterator(forward.begin()),
                  std::make_move_iterator(forward.end()));
    rows_ = std::move(before);
}

int BrowseView::locate(const storage::RecordBuffer& keyValues) {
    if (orderField_ >= 0) return fieldFirst();  // no key to locate on
    std::vector<Row> forward;
    const int rc = seekRead(true, &keyValues, pageSize_ + 1, nullptr, false, forward);
    if (rc != 0) return rc;
    if (forward.empty()) return last();
    fillPage(std::move(forward), 0);
    return 0;
}

int BrowseView::down() {
    if (orderField_ >= 0) return fieldDown();
    if (rows_.empty()) return first();
    if (selected_ < static_cast<int>(rows_.size()) - 1) {
        ++selected_;
        return 0;
    }
    std::vector<Row> more;
    const int rc = readAfter(rows_.back(), 2, false, more);
    if (rc != 0) return rc;
    if (more.empty()) {
        atBottom_ = true;
        return 0;
    }
    atBottom_ = more.size() < 2;
    rows_.push_back(std::move(more.front()));
    if (static_cast<int>(rows_.size()) > pageSize_) {
        rows_.erase(rows_.begin());
        atTop_ = false;
    }
    selected_ = static_cast<int>(rows_.size()) - 1;
    return 0;
}

int BrowseView::up() {
    if (orderField_ >= 0) return fieldUp();
    if (rows_.empty()) return first();
    if (selected_ > 0) {
        --selected_;
        return 0;
    }
    std::vector<Row> more;
    const int rc = readBefore(rows_.front(), 2, false, more);
    if (rc != 0) return rc;
    if (more.empty()) {
        atTop_ = true;
        return 0;
    }
    atTop_ = more.size() < 2;
    rows_.insert(rows_.begin(), std::move(more.front()));
    if (static_cast<int>(rows_.size()) > pageSize_) {
        rows_.pop_back();
        atBottom_ = false;
    }
    selected_ = 0;
    return 0;
}

int BrowseView::pageDown() {
    if (orderField_ >= 0) return fieldPageDown();
    if (rows_.empty()) return first();
    std::vector<Row> more;
    const int rc = readAfter(rows_.back(), pageSize_ + 1, false, more);
    if (rc != 0) return rc;
    if (more.empty()) {
        atBottom_ = true;
        selected_ = static_cast<int>(rows_.size()) - 1;
        return 0;
    }
    atBottom_ = static_cast<int>(more.size()) <= pageSize_;
    if (!atBottom_) more.pop_back();
    // The selection moves a page on; a short last page is filled up with the rows
    // before it.
    const int target = selected_ + pageSize_;
    std::vector<Row> page(rows_.begin(), rows_.end());
    page.insert(page.end(), std::make_move_iterator(more.begin()),
                std::make_move_iterator(more.end()));
    int dropped = 0;
    if (static_cast<int>(page.size()) > pageSize_) {
        dropped = static_cast<int>(page.size()) - pageSize_;
        page.erase(page.begin(), page.begin() + dropped);
        atTop_ = false;
    }
    rows_ = std::move(page);
    selected_ = std::min(target - dropped, static_cast<int>(rows_.size()) - 1);
    return 0;
}

int BrowseView::pageUp() {
    if (orderField_ >= 0) return fieldPageUp();
    if (rows_.empty()) return first();
    std::vector<Row> more;
    const int rc = readBefore(rows_.front(), pageSize_ + 1, false, more);
    if (rc != 0) return rc;
    if (more.empty()) {
        atTop_ = true;
        selected_ = 0;
        return 0;
    }
    atTop_ = static_cast<int>(more.size()) <= pageSize_;
    if (!atTop_) more.pop_back();
    std::reverse(more.begin(), more.end());
    const int target = static_cast<int>(more.size()) + selected_ - pageSize_;
    more.insert(more.end(), rows_.begin(), rows_.end());
    if (static_cast<int>(more.size()) > pageSize_) {
        more.erase(more.begin() + pageSize_, more.end());
        atBottom_ = false;
    }
    rows_ = std::move(more);
    selected_ = std::max(target, 0);
    return 0;
}

int BrowseView::refresh() {
    if (orderField_ >= 0) return fieldRefresh();
    if (rows_.empty()) return first();
    const Row top = rows_.front();
    const Row chosen = rows_[std::max(selected_, 0)];
    const int oldSelected = selected_;
    std::vector<Row> forward;
    const int rc = readAfter(top, pageSize_ + 1, true, forward);
    if (rc != 0) return rc;
    if (forward.empty()) return last();
    fillPage(std::move(forward), 0);
    // Keep the chosen record selected when it is still on the page; otherwise keep the
    // row number.
    for (size_t i = 0; i < rows_.size(); ++i) {
        if (compareRows(rows_[i], chosen) == 0) {
            selected_ = static_cast<int>(i);
            return 0;
        }
    }
    if (selected_ >= 0) selected_ = std::clamp(oldSelected, 0, static_cast<int>(rows_.size()) - 1);
    return 0;
}

void BrowseView::select(int row) {
    if (row >= 0 && row < static_cast<int>(rows_.size())) selected_ = row;
}

const BrowseView::Row* BrowseView::current() const {
    if (selected_ < 0 || selected_ >= static_cast<int>(rows_.size())) return nullptr;
    return &rows_[selected_];
}

const std::vector<std::string>& BrowseView::letterSteps() {
    static const std::vector<std::string> steps = [] {
        std::vector<std::string> s;
        for (int i = 0; i < 100; ++i) {
            const int v = i * 26 * 26 / 100;
            s.push_back({static_cast<char>('A' + v / 26), static_cast<char>('A' + v % 26)});
        }
        return s;
    }();
    return steps;
}

int BrowseView::thumb() const {
    if (orderField_ >= 0) return fieldThumb();
    const Row* row = current();
    if (!row) return 0;
    if (atTop_ && selected_ == 0) return 0;
    if (atBottom_ && selected_ == static_cast<int>(rows_.size()) - 1) return 100;
    if (!stringKey()) return 50;
    const int field = decl_.keys[key_].components.front();
    const std::string text = runtime::qtServices().upper(row->record.getString(field));
    const auto& steps = letterSteps();
    int step = 0;
    while (step + 1 < 100 && steps[step + 1] <= text) ++step;
    return std::clamp(descending_ ? 100 - step : step, 1, 99);
}

int BrowseView::thumbTo(int percent) {
    if (orderField_ >= 0) return fieldThumbTo(percent);
    if (percent <= 0) return first();
    if (percent >= 100 || !stringKey()) return percent >= 50 ? last() : first();
    storage::Record keyValues(decl_);
    keyValues.set(decl_.keys[key_].components.front(),
                  letterSteps()[descending_ ? 100 - percent : percent]);
    return locate(keyValues);
}

}  // namespace corvix::framework
