// The report object: its bands and controls, found by number.
#include "runtime/report.h"

#include <algorithm>

namespace corvix::runtime::report {

Report::Report() {
    Band header;
    header.kind = BandKind::PageHeader;
    bands_.push_back(header);
}

int Report::width() const {
    return (landscape_ ? paperHeight : paperWidth) - 2 * margin;
}

int Report::height() const {
    return (landscape_ ? paperWidth : paperHeight) - 2 * margin;
}

void Report::setLandscape(bool on) {
    if (on == landscape_) return;
    const int before = width();
    landscape_ = on;
    // A rule or band control that spanned the whole width keeps spanning it.
    for (Band& b : bands_)
        for (Control& c : b.controls)
            if (c.x == 0 && c.width == before) c.width = width();
}

Band* Report::band(int id) {
    for (Band& b : bands_)
        if (b.id == id && b.kind != BandKind::PageHeader) return &b;
    return id == 0 ? &bands_.front() : nullptr;
}

const Band* Report::band(int id) const {
    return const_cast<Report*>(this)->band(id);
}

Band& Report::addBand(int id, BandKind kind, int parent) {
    if (Band* b = band(id); b && id != 0) return *b;
    Band b;
    b.id = id;
    b.kind = kind;
    b.parent = parent;
    bands_.push_back(b);
    return bands_.back();
}

Control* Report::control(int id) {
    for (Band& b : bands_)
        for (Control& c : b.controls)
            if (c.id == id) return &c;
    return nullptr;
}

const Control* Report::control(int id) const {
    return const_cast<Report*>(this)->control(id);
}

Band* Report::bandOf(int controlId) {
    for (Band& b : bands_)
        for (const Control& c : b.controls)
            if (c.id == controlId) return &b;
    return nullptr;
}

Control* Report::addControl(int bandId, const Control& c) {
    Band* target = band(bandId);
    if (!target) return nullptr;
    removeControl(c.id);
    target = band(bandId);
    target->controls.push_back(c);
    return &target->controls.back();
}

bool Report::removeControl(int id) {
    for (Band& b : bands_) {
        auto it = std::find_if(b.controls.begin(), b.controls.end(),
                               [id](const Control& c) { return c.id == id; });
        if (it != b.controls.end()) {
            b.controls.erase(it);
            return true;
        }
    }
    return false;
}

std::vector<const Band*> Report::breaks() const {
    std::vector<const Band*> out;
    int parent = 0;
    for (;;) {
        auto it = std::find_if(bands_.begin(), bands_.end(), [parent](const Band& b) {
            return b.kind == BandKind::Break && b.parent == parent;
        });
        if (it == bands_.end()) return out;
        out.push_back(&*it);
        parent = it->id;
    }
}

namespace {
const Band* findKind(const std::vector<Band>& bands, BandKind kind, int parent, bool anyParent) {
    for (const Band& b : bands)
        if (b.kind == kind && (anyParent || b.parent == parent)) return &b;
    return nullptr;
}
}  // namespace

const Band* Report::heading(int breakId) const {
    return findKind(bands_, BandKind::Heading, breakId, false);
}
const Band* Report::footing(int breakId) const {
    return findKind(bands_, BandKind::Footing, breakId, false);
}
const Band* Report::detail() const {
    return findKind(bands_, BandKind::Detail, 0, true);
}
const Band* Report::reportEnd() const {
    return findKind(bands_, BandKind::ReportEnd, 0, true);
}

}  // namespace corvix::runtime::report
