// The browse view in an order that no key gives (a column header clicked): the storage
// sorts the positions of the records by the field once, and every move reads only the
// rows of the page by position.
#include <algorithm>

#include "framework/browse_view.h"

namespace corvix::framework {

int BrowseView::setFieldOrder(int field, bool descending) {
    orderField_ = field;
    descending_ = descending;
    rows_.clear();
    selected_ = -1;
    return loadPositions();
}

int BrowseView::loadPositions() {
    const int rc = table_->positionsByField(orderField_, positions_);
    if (descending_) std::reverse(positions_.begin(), positions_.end());
    top_ = 0;
    return rc;
}

int BrowseView::fillAt(size_t top, int selectRow) {
    const size_t n = positions_.size();
    const size_t page = static_cast<size_t>(pageSize_);
    top_ = n > page ? std::min(top, n - page) : 0;
    std::vector<Row> rows;
    for (size_t i = top_; i < n && rows.size() < page; ++i) {
        Row row{storage::Record(decl_), std::to_string(positions_[i])};
        // A record deleted since the positions were read, or one the part of the filter
        // the storage cannot test refuses, is left out.
        if (table_->reget(row.position, row.record) != 0) continue;
        if (residual_ && !binding_.passes(*residual_, row.record)) continue;
        rows.push_back(std::move(row));
    }
    rows_ = std::move(rows);
    atTop_ = top_ == 0;
    atBottom_ = top_ + page >= n;
    selected_ = rows_.empty() ? -1 : std::clamp(selectRow, 0, static_cast<int>(rows_.size()) - 1);
    return 0;
}

int BrowseView::fieldFirst() {
    return fillAt(0, 0);
}

int BrowseView::fieldLast() {
    return fillAt(positions_.size(), pageSize_ - 1);
}

int BrowseView::fieldDown() {
    if (selected_ + 1 < static_cast<int>(rows_.size())) {
        ++selected_;
        return 0;
    }
    return atBottom_ ? 0 : fillAt(top_ + 1, pageSize_ - 1);
}

int BrowseView::fieldUp() {
    if (selected_ > 0) {
        --selected_;
        return 0;
    }
    return atTop_ ? 0 : fillAt(top_ - 1, 0);
}

int BrowseView::fieldPageDown() {
    const size_t n = positions_.size();
    if (n == 0) return fillAt(0, 0);
    const size_t at = std::min(n - 1, top_ + std::max(selected_, 0) + pageSize_);
    const size_t top =
        at >= static_cast<size_t>(std::max(selected_, 0)) ? at - std::max(selected_, 0) : 0;
    fillAt(top, 0);
    selected_ = rows_.empty()
                    ? -1
                    : std::min(static_cast<int>(at - top_), static_cast<int>(rows_.size()) - 1);
    return 0;
}

int BrowseView::fieldPageUp() {
    const size_t sel = static_cast<size_t>(std::max(selected_, 0));
    const size_t page = static_cast<size_t>(pageSize_);
    const size_t at = top_ + sel >= page ? top_ + sel - page : 0;
    fillAt(at >= sel ? at - sel : 0, 0);
    selected_ = rows_.empty() ? -1 : static_cast<int>(std::min(at - top_, rows_.size() - 1));
    return 0;
}

int BrowseView::fieldRefresh() {
    // Records added or deleted elsewhere: sort again and keep the chosen record.
    const int64_t chosen = current() ? std::stoll(current()->position) : 0;
    const size_t oldTop = top_;
    const int oldSelected = std::max(selected_, 0);
    const int rc = loadPositions();
    if (rc != 0) return rc;
    const auto it = std::find(positions_.begin(), positions_.end(), chosen);
    if (chosen && it != positions_.end()) {
        const size_t at = static_cast<size_t>(it - positions_.begin());
        const size_t top = at >= static_cast<size_t>(oldSelected) ? at - oldSelected : 0;
        fillAt(top, 0);
        selected_ = rows_.empty()
                        ? -1
                        : std::min(static_cast<int>(at - top_), static_cast<int>(rows_.size()) - 1);
        return 0;
    }
    return fillAt(oldTop, oldSelected);
}

int BrowseView::fieldThumb() const {
    const size_t n = positions_.size();
    if (n < 2 || selected_ < 0) return 0;
    return static_cast<int>((top_ + selected_) * 100 / (n - 1));
}

int BrowseView::fieldThumbTo(int percent) {
    const size_t n = positions_.size();
    if (n == 0) return fillAt(0, 0);
    const size_t at = (n - 1) * static_cast<size_t>(std::clamp(percent, 0, 100)) / 100;
    const size_t top = at >= static_cast<size_t>(pageSize_ / 2) ? at - pageSize_ / 2 : 0;
    fillAt(top, 0);
    selected_ = rows_.empty()
                    ? -1
                    : std::min(static_cast<int>(at - top_), static_cast<int>(rows_.size()) - 1);
    return 0;
}

}  // namespace corvix::framework
