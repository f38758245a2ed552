// Laying rows out: groups open and close as the break fields change, totals gather per
// detail row and restart with their group, bands flow onto pages under the page header.
#include <algorithm>
#include <cmath>

#include "runtime/collate.h"
#include "runtime/picture.h"
#include "runtime/report.h"

namespace corvix::runtime::report {

namespace {

std::string trimLeft(std::string s) {
    s.erase(0, s.find_first_not_of(' '));
    return s;
}

}  // namespace

std::string totalText(const Control& c, double value) {
    // A fraction (an average) shows two places, which a whole-number picture would lose.
    const bool whole = std::fabs(value - std::round(value)) < 1e-9;
    if (whole && c.picture.size() > 1 && c.picture[0] == '@' && (c.picture[1] | 0x20) == 'n')
        return trimLeft(rightTrim(formatPicture(value, c.picture)));
    return trimLeft(rightTrim(formatPicture(value, whole ? "@n-20" : "@n-20.2")));
}

namespace {

std::string cellText(const Control& c, const Cell& cell) {
    if (c.picture.empty()) return cell.text;
    const char kind = c.picture.size() > 1 ? static_cast<char>(c.picture[1] | 0x20) : 's';
    if (kind == 's') return rightTrim(formatText(cell.text, c.picture));
    return trimLeft(rightTrim(formatPicture(cell.number, c.picture)));
}

int bandHeight(const Band& b) {
    if (b.height > 0) return b.height;
    int h = 0;
    for (const Control& c : b.controls)
        if (!c.hidden) h = std::max(h, c.y + (c.height > 0 ? c.height : kLineHeight));
    return h;
}

class Runner {
  public:
    Runner(const Report& r, PageSink& sink) : r_(r), sink_(sink) {
        levels_ = r.breaks();
        for (const Band& b : r.bands())
            for (const Control& c : b.controls)
                if (c.kind == ControlKind::Total && !c.hidden && c.field >= 0)
                    totals_.push_back({&c});
        headerHeight_ = bandHeight(r.pageHeader());
    }

    RunResult go(RowSource& rows) {
        Row row, previous;
        bool first = true;
        while (!stopped_ && rows.next(row)) {
            ++result_.rows;
            if (first) {
                openFrom(0, row);
                first = false;
            } else if (int level = changedLevel(previous, row); level >= 0) {
                closeFrom(level, previous);
                openFrom(level, row);
            }
            for (Total& t : totals_) {
                if (static_cast<size_t>(t.c->field) < row.size()) t.sum += row[t.c->field].number;
                ++t.count;
            }
            if (const Band* d = r_.detail()) print(*d, &row);
            previous.swap(row);
        }
        result_.error = rows.error();
        if (!first) closeFrom(0, previous);
        pageBreakPending_ = false;  // the last group's page break leaves no empty page
        if (const Band* end = r_.reportEnd()) print(*end, nullptr);
        if (!open_) newPage();  // an empty report still has its page with the headings
        sink_.endPage();
        return result_;
    }

  private:
    struct Total {
        const Control* c;
        double sum = 0;
        int64_t count = 0;
    };

    int changedLevel(const Row& a, const Row& b) const {
        for (size_t i = 0; i < levels_.size(); ++i) {
            const int f = levels_[i]->breakField;
            if (f < 0) continue;
            const std::string& x = static_cast<size_t>(f) < a.size() ? a[f].text : empty_;
            const std::string& y = static_cast<size_t>(f) < b.size() ? b[f].text : empty_;
            if (!sameNoCase(x, y)) return static_cast<int>(i);
        }
        return -1;
    }

    void openFrom(size_t level, const Row& row) {
        for (size_t i = level; i < levels_.size(); ++i)
            if (const Band* h = r_.heading(levels_[i]->id)) print(*h, &row);
    }

    void closeFrom(size_t level, const Row& row) {
        for (size_t i = levels_.size(); i-- > level;) {
            if (const Band* f = r_.footing(levels_[i]->id)) {
                print(*f, &row);
                if (f->pageAfter) pageBreakPending_ = true;
            }
            for (Total& t : totals_)
                if (t.c->resetBand == levels_[i]->id) t.sum = 0, t.count = 0;
        }
    }

    void newPage() {
        if (open_) sink_.endPage();
        if (!sink_.beginPage(++result_.pages)) stopped_ = true;
        open_ = true;
        pageBreakPending_ = false;
        y_ = 0;
        draw(r_.pageHeader(), nullptr);
        y_ = headerHeight_;
    }

    void print(const Band& b, const Row* row) {
        const int h = bandHeight(b);
        if (h == 0) return;
        if (!open_ || pageBreakPending_ || (y_ + h > r_.height() && y_ > headerHeight_)) newPage();
        draw(b, row);
        y_ += h;
    }

    void draw(const Band& b, const Row* row) {
        for (const Control& c : b.controls) {
            if (c.hidden) continue;
            const int x = c.x, y = y_ + c.y, h = c.height > 0 ? c.height : kLineHeight;
            switch (c.kind) {
                case ControlKind::Text:
                    sink_.text(x, y, c.width, h, c.text, c.align, false);
                    break;
                case ControlKind::Field:
                    if (row && c.field >= 0 && static_cast<size_t>(c.field) < row->size())
                        sink_.text(x, y, c.width, h, cellText(c, (*row)[c.field]), c.align,
                                   b.kind != BandKind::Detail);
                    break;
                case ControlKind::Total:
                    sink_.text(x, y, c.width, h, totalText(c, valueOf(c)), c.align, true);
                    break;
                case ControlKind::Rule:
                    sink_.rule(x, y, c.width);
                    break;
            }
        }
    }

    double valueOf(const Control& c) const {
        for (const Total& t : totals_)
            if (t.c == &c)
                return c.total == TotalKind::Sum ? t.sum : t.count ? t.sum / t.count : 0.0;
        return 0;
    }

    const Report& r_;
    PageSink& sink_;
    std::vector<const Band*> levels_;
    std::vector<Total> totals_;
    RunResult result_;
    int headerHeight_ = 0;
    int y_ = 0;
    bool open_ = false;
    bool pageBreakPending_ = false;
    bool stopped_ = false;
    const std::string empty_;
};

}  // namespace

RunResult run(const Report& report, RowSource& rows, PageSink& sink) {
    return Runner(report, sink).go(rows);
}

}  // namespace corvix::runtime::report
