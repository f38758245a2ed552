// Building a design into the host's report at print time: the break bands and their
// headings and footings (URINIT), each column's detail control, heading, totals and group
// identifiers (URINITCONTROL), and the columns' places across the page (URPOST).
#include "libs/rubrica/messages.h"
#include "libs/rubrica/rubrica.h"
#include "runtime/collate.h"
#include "runtime/report.h"

namespace corvix::rubrica {

using runtime::report::Align;
using runtime::report::BandKind;
using runtime::report::Control;
using runtime::report::ControlKind;
using runtime::report::Report;
using runtime::report::TotalKind;

namespace {

enum Band : int {
    kBreak1 = 500,
    kHeading1 = 501,
    kFooting1 = 502,
    kBreak2 = 503,
    kHeading2 = 504,
    kFooting2 = 505,
    kDetail = 506,
    kReportEnd = 507,
};
constexpr int kControlTop = 5;
constexpr int kIdentifierWidth = 1500;

Report*& target() {
    static Report* r = nullptr;
    return r;
}

std::string& tableName() {
    static std::string name = "RWReport";
    return name;
}

bool isGroup(long total) {
    return total == kGroupLevel1 || total == kGroupLevel2;
}
bool isTotalled(long total) {
    return total == kSum || total == kAverage;
}

// Every control number a column's controls may carry.
std::vector<int> columnControls(const RptField& c) {
    const int f = static_cast<int>(c.FLDEQUATE);
    std::vector<int> ids = {f,        f + 2000,        f + 3000, (f + 3000) * 10,
                            f + 4000, (f + 4000) * 10, f + 5000, (f + 5000) * 10};
    if (c.TOTAL == kGroupLevel1) ids.insert(ids.end(), {601, 602, 603, 704, 705, 706});
    if (c.TOTAL == kGroupLevel2) ids.insert(ids.end(), {604, 605, 606});
    return ids;
}

// The control a column copies: the host's template, or a text column of 1,500 units.
Control templateOf(const Report& r, long* templateControl) {
    if (templateControl && *templateControl)
        if (const Control* t = r.control(static_cast<int>(*templateControl))) return *t;
    Control c;
    c.kind = ControlKind::Field;
    c.picture = "@S100";
    c.width = kIdentifierWidth;
    return c;
}

void addIdentifier(Report& r, int band, int id, const Control& tpl, int field) {
    Control c;
    c.id = id;
    c.kind = ControlKind::Field;
    c.field = field;
    const bool own = !tpl.picture.empty() && tpl.id != 0;
    c.picture = own ? tpl.picture : "@S100";
    c.width = own ? tpl.width : kIdentifierWidth;
    c.align = own ? tpl.align : Align::Left;
    c.y = kControlTop;
    r.addControl(band, c);
}

void addTotal(Report& r, int band, int id, const Control& tpl, int field, long total, int resetBand,
              bool rule) {
    if (!r.band(band)) r.addBand(band, BandKind::ReportEnd);
    Control c;
    c.id = id;
    c.kind = ControlKind::Total;
    c.field = field;
    c.total = total == kAverage ? TotalKind::Average : TotalKind::Sum;
    c.resetBand = resetBand;
    c.picture = tpl.picture;
    c.width = tpl.width;
    c.align = tpl.align;
    c.y = kControlTop;
    if (rule) {
        Control line;
        line.id = id * 10;
        line.kind = ControlKind::Rule;
        line.width = tpl.width;
        line.y = 1;
        r.addControl(band, line);
    }
    r.addControl(band, c);
}

}  // namespace

void useReport(Report* report) {
    target() = report;
}

const std::string& reportTableName() {
    return tableName();
}

void REPWIZINIT(const std::optional<std::string>& fileName) {
    const bool blank = !fileName || fileName->find_first_not_of(' ') == std::string::npos;
    tableName() = blank ? "RWReport" : *fileName;
}

void URINIT(const BreakOptions& o) {
    Report* r = target();
    if (!r) return;
    int inner = 0;
    if (o.level(0) || o.level(1)) {
        r->addBand(kBreak1, BandKind::Break).hidden = true;
        inner = kBreak1;
        if (o.GHEAD[0]) r->addBand(kHeading1, BandKind::Heading, kBreak1);
        if (o.GFOOT[0] || o.GTOTAL[0] || o.GPAGE[0])
            r->addBand(kFooting1, BandKind::Footing, kBreak1).pageAfter = o.GPAGE[0];
    }
    if (o.level(1)) {
        r->addBand(kBreak2, BandKind::Break, kBreak1).hidden = true;
        inner = kBreak2;
        if (o.GHEAD[1]) r->addBand(kHeading2, BandKind::Heading, kBreak2);
        if (o.GFOOT[1] || o.GTOTAL[1] || o.GPAGE[1])
            r->addBand(kFooting2, BandKind::Footing, kBreak2).pageAfter = o.GPAGE[1];
    }
    r->addBand(kDetail, BandKind::Detail, inner);
}

void URINITCONTROL(TQRPTFIELD& columns, int field, const std::string& name, long* templateControl,
                   long, const BreakOptions& o, long& count) {
    Report* r = target();
    if (!r) return;
    auto it = std::find_if(columns.begin(), columns.end(),
                           [&](const RptField& c) { return runtime::sameNoCase(c.NAME, name); });
    if (it == columns.end()) return;
    RptField& col = *it;
    const bool suppress = o.GSUPPRESS != 0;
    if (suppress && !isGroup(col.TOTAL) && !isTotalled(col.TOTAL)) {
        col.FLDEQUATE = 0;
        return;
    }
    ++count;
    const Control tpl = templateOf(*r, templateControl);
    col.FLDEQUATE =
        templateControl && *templateControl && tpl.id != 0 ? *templateControl : 1000 + count;
    const int f = static_cast<int>(col.FLDEQUATE);

    if (col.TOTAL == kGroupLevel1 || col.TOTAL == kGroupLevel2) {
        const bool one = col.TOTAL == kGroupLevel1;
        if (runtime::report::Band* b = r->band(one ? kBreak1 : kBreak2)) {
            b->breakField = field;
            b->hidden = false;
        }
        if (one) {
            if (o.GHEAD[0] && r->band(kHeading1)) addIdentifier(*r, kHeading1, 601, tpl, field);
            if (o.GFOOT[0] && r->band(kFooting1))
                addIdentifier(*r, kFooting1, suppress ? 603 : 602, tpl, field);
            if (o.GHEAD[1] && !o.GHEAD[0] && r->band(kHeading2))
                addIdentifier(*r, kHeading2, 704, tpl, field);
            if (o.GFOOT[1] && !o.GFOOT[0] && r->band(kFooting2))
                addIdentifier(*r, kFooting2, suppress ? 706 : 705, tpl, field);
        } else {
            if (o.GHEAD[1] && r->band(kHeading2)) addIdentifier(*r, kHeading2, 604, tpl, field);
            if (o.GFOOT[1] && r->band(kFooting2))
                addIdentifier(*r, kFooting2, suppress ? 606 : 605, tpl, field);
        }
        if (suppress) return;  // printed only as identifiers
    }

    if (!suppress) {
        Control d = tpl;
        d.id = f;
        d.kind = ControlKind::Field;
        d.field = field;
        d.hidden = false;
        d.y = kControlTop;
        d.height = 0;
        r->addControl(kDetail, d);
    }
    Control heading;
    heading.id = f + 2000;
    heading.kind = ControlKind::Text;
    heading.text = col.DESC;
    heading.width = tpl.width;
    heading.align = tpl.align;
    const int headerHeight = std::max(r->pageHeader().height, 250);
    heading.y = headerHeight - 250;
    r->addControl(0, heading);

    if (!isTotalled(col.TOTAL)) return;
    // A rule over a total separates it from the rows above it; with detail suppressed
    // only a lower-level footing can be above it.
    const bool lower2 = o.GTOTAL[1] || o.GFOOT[1];
    const bool lowerAny = lower2 || o.GTOTAL[0] || o.GFOOT[0];
    if (o.GTOTAL[0] && r->band(kFooting1))
        addTotal(*r, kFooting1, f + 3000, tpl, field, col.TOTAL, kBreak1, !suppress || lower2);
    if (o.GTOTAL[1] && r->band(kFooting2))
        addTotal(*r, kFooting2, f + 4000, tpl, field, col.TOTAL, kBreak2, !suppress);
    addTotal(*r, kReportEnd, f + 5000, tpl, field, col.TOTAL, 0, !suppress || lowerAny);
}

void URPOST(TQRPTFIELD& columns, long left, long gap, const BreakOptions& o) {
    Report* r = target();
    if (!r) return;
    int x = left > 0 ? static_cast<int>(left) : 10;
    const int step = gap > 0 ? static_cast<int>(gap) : 125;
    const bool suppress = o.GSUPPRESS != 0;
    bool overflow = false;
    for (RptField& col : columns) {
        if (col.FLDEQUATE == 0) continue;
        const std::vector<int> ids = columnControls(col);
        if (overflow) {
            for (int id : ids) r->removeControl(id);
            col.FLDEQUATE = 0;
            continue;
        }
        int width = 0;
        for (int id : ids)
            if (const Control* c = r->control(id)) width = std::max(width, c->width);
        const bool takesNoWidth = suppress && isGroup(col.TOTAL);
        if (!takesNoWidth && x + width > r->width()) {
            if (!r->landscape()) r->setLandscape(true);
            if (x + width > r->width()) {
                tell("Maximum Page Width Exceeded",
                     "This report exceeds the maximum width settings for a landscape report. The "
                     "report will continue to be prepared excluding the columns starting past the "
                     "edge of the report.\n\nPlease reduce the width of this report by "
                     "eliminating one or more columns.");
                overflow = true;
                for (int id : ids) r->removeControl(id);
                col.FLDEQUATE = 0;
                continue;
            }
        }
        for (int id : ids)
            if (Control* c = r->control(id)) c->x = x;
        if (!takesNoWidth) x += width + step;
    }
    // Footings that print totals or identifiers stand apart from what follows them,
    // except when they are the only rows of a report without detail.
    const bool lower2 = r->band(kFooting2) != nullptr;
    for (int id : {kFooting1, kFooting2}) {
        runtime::report::Band* b = r->band(id);
        if (!b || b->controls.empty()) continue;
        const bool lowerFooting = id == kFooting1 && lower2;
        if (!suppress || lowerFooting) b->height = 350;
    }
}

Placement adjusted(Placement c, int windowWidth, int referenceWidth, uint8_t mode) {
    const int d = windowWidth - referenceWidth;
    if (d == 0) return c;
    switch (mode) {
        case 1:
            c.x += d / 2;
            break;
        case 2:
            c.x += d;
            break;
        case 3:
            c.width += d;
            break;
        default:
            break;
    }
    return c;
}

}  // namespace corvix::rubrica
