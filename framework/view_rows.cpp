#include "framework/view_rows.h"

namespace corvix::framework {

ViewRows::ViewRows(BrowseView& view, int pageSize) : view_(view) {
    view_.setPageSize(pageSize);
}

const storage::Record* ViewRows::next() {
    if (ended_) return nullptr;
    if (!started_) {
        started_ = true;
        if ((error_ = view_.first()) != 0) return ended_ = true, nullptr;
    }
    while (at_ >= view_.rows().size()) {
        if (view_.atBottom() || view_.rows().empty()) return ended_ = true, nullptr;
        // The next page may repeat rows of this one (a short last page is filled up with
        // the rows before it): carry on after the last record handed out.
        const std::string before = view_.rows().back().position;
        view_.select(0);
        if ((error_ = view_.pageDown()) != 0) return ended_ = true, nullptr;
        const auto& rows = view_.rows();
        if (rows.empty() || rows.back().position == before) return ended_ = true, nullptr;
        at_ = 0;
        for (size_t i = 0; i < rows.size(); ++i)
            if (rows[i].position == last_) at_ = i + 1;
        if (at_ >= rows.size() && view_.atBottom()) return ended_ = true, nullptr;
    }
    const BrowseView::Row& row = view_.rows()[at_++];
    last_ = row.position;
    return &row.record;
}

}  // namespace corvix::framework
