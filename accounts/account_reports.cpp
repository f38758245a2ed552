#include "accounts/account_reports.h"

#include <algorithm>
#include <deque>
#include <optional>

#include "framework/browse_view.h"
#include "framework/file_manager.h"
#include "framework/filter_binding.h"
#include "framework/view_rows.h"
#include "libs/rubrica/formats.h"
#include "libs/rubrica/report_store.h"
#include "runtime/collate.h"
#include "runtime/picture.h"
#include "vault/tables.h"

namespace corvix::accounts {

const char kAccountsReportClass[] = "BrowseCVPAS";

namespace pas = vault::pas;
using runtime::report::Cell;
using runtime::report::Row;

namespace {

struct Printable {
    int field;
    const char* desc;
    const char* picture;  // "" for text the host formats; a number picture for totals
    int width;            // thousandths of an inch
    bool totallable;
};

constexpr Printable kPrintable[] = {
    {pas::Category, "Category", "", 1400, false},
    {pas::Description, "Description", "", 2200, false},
    {pas::Name, "Name", "", 1600, false},
    {pas::URL, "URL", "", 2200, false},
    {pas::Password, "Password", "", 1400, false},
    {pas::LastChange, "Last Change", "", 900, false},
    {pas::Expires, "Expires", "", 900, false},
    {pas::Custom1, "Custom 1", "", 1500, false},
    {pas::Custom2, "Custom 2", "", 1500, false},
    {pas::Custom3, "Custom 3", "", 1500, false},
    {pas::ExpiryInterval, "Expiry Interval", "@n-9", 900, true},
    {pas::TargetWindow, "Target Window", "", 2000, false},
    {pas::TargetWindowText, "Required text", "", 1500, false},
    {pas::Action, "Action", "", 2000, false},
    {pas::Watch, "Watch", "@n-6", 600, true},
    {pas::Wait, "Wait", "@n-6", 600, true},
    {pas::Notes, "Notes", "", 2500, false},
};
constexpr int kPrintableCount = static_cast<int>(std::size(kPrintable));
// The template control of printable i.
constexpr int templateControl(int i) {
    return 100 + i;
}

AccountReportFields makeFields() {
    AccountReportFields f;
    const storage::TableDecl& decl = vault::CVPAS();
    for (const Printable& p : kPrintable) {
        const std::string name = decl.fields[p.field].name;
        const bool text = decl.fields[p.field].type == storage::FieldType::String;
        f.fields.push_back({p.desc, name, static_cast<uint8_t>(text)});
        f.allFields.push_back(
            {p.desc, 0, name, p.totallable ? rubrica::kTotallable : rubrica::kNoTotal});
    }
    f.sorts = {{"Category", "UPPER(PAS:Category),UPPER(PAS:Description)"},
               {"Description", "UPPER(PAS:Description)"},
               {"Name", "UPPER(PAS:Name)"},
               {"URL", "UPPER(PAS:URL)"},
               {"Last Changed", "PAS:LastChange"},
               {"Expiry", "PAS:Expires"}};
    return f;
}

Cell cellOf(const storage::Record& r, const Printable& p, bool reveal) {
    const storage::FieldDecl& f = r.decl().fields[p.field];
    if (f.type == storage::FieldType::String) {
        std::string text = r.getString(p.field);
        if (p.field == pas::Password && !reveal) text = std::string(runtime::charCount(text), '*');
        // One line per cell: line breaks of notes and actions print as blanks.
        std::replace(text.begin(), text.end(), '\n', ' ');
        std::replace(text.begin(), text.end(), '\r', ' ');
        return {text, 0};
    }
    const double n = static_cast<double>(r.getInt(p.field));
    if (f.type == storage::FieldType::Date) return {runtime::formatPicture(n, "@d17b"), n};
    return {runtime::rightTrim(runtime::formatPicture(n, "@n-14")), n};
}

int compareValues(const storage::Record& a, const storage::Record& b, int field) {
    if (a.decl().fields[field].type == storage::FieldType::String)
        return runtime::compareNoCase(a.getString(field), b.getString(field));
    const int64_t x = a.getInt(field), y = b.getInt(field);
    return x < y ? -1 : x > y ? 1 : 0;
}

// Records read from the storage at a time: fewer, larger reads for a long report.
constexpr int kRowsPerRead = 1000;

// A key that starts with the field and holds every record (not an optional one), with
// the comparison the sort uses; -1 when there is none.
int keyStartingWith(const storage::TableDecl& d, int field) {
    for (size_t k = 0; k < d.keys.size(); ++k) {
        const storage::KeyDecl& key = d.keys[k];
        if (key.optional() || key.components.empty() || key.components[0] != field) continue;
        if (d.fields[field].type == storage::FieldType::String &&
            !(key.flags & storage::kKeyNoCase))
            continue;
        return static_cast<int>(k);
    }
    return -1;
}

// The accounts in a sort string's order: the storage sorts by the first field; the
// records of one value of it are sorted here by the further fields, so memory holds
// one run of equal first values, never the table.
class AccountRows : public runtime::report::RowSource {
  public:
    AccountRows(framework::FileManager& pas, const std::string& sort, runtime::expr::Tree filter,
                bool reveal, int* error)
        : view_(vault::CVPAS()), reveal_(reveal) {
        for (const rubrica::SortField& s : rubrica::parseSort(sort)) {
            const int field = vault::CVPAS().fieldIndex(s.name);
            if (field >= 0) order_.push_back({field, s.descending});
        }
        if (pas.beforeOpen) pas.beforeOpen(view_.table());
        view_.binding() = framework::FilterBinding::accounts();
        int rc = view_.open();
        if (rc == 0 && filter) rc = view_.setFilter(std::move(filter));
        if (rc == 0) {
            if (order_.empty())
                view_.setOrder(pas::K_Category);
            else if (const int key = keyStartingWith(vault::CVPAS(), order_[0].field); key >= 0) {
                // A key's order comes a page per read; a keyless one a record per read.
                view_.setOrder(key);
                view_.setDescending(order_[0].descending);
            } else {
                rc = view_.setFieldOrder(order_[0].field, order_[0].descending);
            }
        }
        if (rc == 0) rows_.emplace(view_, kRowsPerRead);
        error_ = rc;
        if (error) *error = rc;
    }

    bool next(Row& row) override {
        if (!rows_) return false;
        if (run_.empty() && !fillRun()) return false;
        const storage::Record& r = run_.front();
        row.clear();
        for (const Printable& p : kPrintable) row.push_back(cellOf(r, p, reveal_));
        run_.pop_front();
        return true;
    }

    int error() const override { return error_ ? error_ : rows_ ? rows_->error() : 0; }

  private:
    struct Order {
        int field;
        bool descending;
    };

    bool fillRun() {
        if (!pending_) {
            const storage::Record* r = rows_->next();
            if (!r) return false;
            pending_ = *r;
        }
        run_.push_back(std::move(*pending_));
        pending_.reset();
        if (order_.size() < 2) return true;
        while (const storage::Record* r = rows_->next()) {
            if (compareValues(*r, run_.front(), order_[0].field) != 0) {
                pending_ = *r;
                break;
            }
            run_.push_back(*r);
        }
        std::stable_sort(run_.begin(), run_.end(),
                         [this](const storage::Record& a, const storage::Record& b) {
                             for (size_t i = 1; i < order_.size(); ++i) {
                                 const int c = compareValues(a, b, order_[i].field);
                                 if (c != 0) return order_[i].descending ? c > 0 : c < 0;
                             }
                             return false;
                         });
        return true;
    }

    framework::BrowseView view_;
    std::optional<framework::ViewRows> rows_;
    std::vector<Order> order_;
    std::deque<storage::Record> run_;
    std::optional<storage::Record> pending_;
    bool reveal_;
    int error_ = 0;
};

}  // namespace

const AccountReportFields& accountReportFields() {
    static const AccountReportFields f = makeFields();
    return f;
}

void buildAccountReport(const AccountReportDesign& design, runtime::report::Report& report) {
    const AccountReportFields& host = accountReportFields();
    report = runtime::report::Report();
    report.title = design.name;
    if (!design.fontName.empty()) report.fontName = design.fontName;
    if (design.fontSize > 0) report.fontSize = design.fontSize;
    report.bold = design.bold;
    report.italic = design.italic;
    report.pageHeader().height = 650;
    runtime::report::Control title;
    title.id = 1;
    title.text = design.name;
    title.x = 10;
    title.width = report.width() - 10;
    report.addControl(0, title);
    for (int i = 0; i < kPrintableCount; ++i) {
        runtime::report::Control t;
        t.id = templateControl(i);
        t.kind = runtime::report::ControlKind::Field;
        t.picture = kPrintable[i].picture;
        t.width = kPrintable[i].width;
        t.align =
            *kPrintable[i].picture ? runtime::report::Align::Right : runtime::report::Align::Left;
        t.hidden = true;
        report.addControl(0, t);
    }
    rubrica::TQRPTFIELD columns;
    rubrica::BUILDCQ(design.format, host.allFields, columns);
    // The format keeps no group roles: they come from the sort and the options again.
    columns = rubrica::columnsForFormat(columns, design.sort, design.options, host.allFields,
                                        host.fields);
    // A break level in use breaks on its sort field even when the design does not print
    // it as a column: it then joins the columns as the group field.
    const auto order = rubrica::parseSort(design.sort);
    for (size_t level = 0; level < 2 && level < order.size(); ++level) {
        if (!design.options.level(static_cast<int>(level))) continue;
        auto it = std::find_if(columns.begin(), columns.end(), [&](const rubrica::RptField& c) {
            return runtime::sameNoCase(c.NAME, order[level].name);
        });
        if (it == columns.end()) {
            auto f = std::find_if(host.allFields.begin(), host.allFields.end(),
                                  [&](const rubrica::RptField& c) {
                                      return runtime::sameNoCase(c.NAME, order[level].name);
                                  });
            if (f == host.allFields.end()) continue;
            it = columns.insert(columns.end(), *f);
        }
        if (it->TOTAL != rubrica::kSum && it->TOTAL != rubrica::kAverage)
            it->TOTAL = static_cast<long>(level + 1);
    }
    rubrica::useReport(&report);
    rubrica::URINIT(design.options);
    long count = 0;
    for (const rubrica::RptField& c : std::vector<rubrica::RptField>(columns)) {
        for (int i = 0; i < kPrintableCount; ++i)
            if (host.allFields[i].NAME == c.NAME) {
                long tpl = templateControl(i);
                rubrica::URINITCONTROL(columns, i, c.NAME, &tpl, 0, design.options, count);
            }
    }
    rubrica::URPOST(columns, 0, 0, design.options);
    rubrica::useReport(nullptr);
    if (report.landscape()) report.control(1)->width = report.width() - 10;
}

std::unique_ptr<runtime::report::RowSource> accountRows(framework::FileManager& pas,
                                                        const std::string& sort,
                                                        runtime::expr::Tree filter, bool reveal,
                                                        int* error) {
    return std::make_unique<AccountRows>(pas, sort, std::move(filter), reveal, error);
}

bool loadAccountDesign(const std::string& name, AccountReportDesign& out, std::string* error) {
    rubrica::ReportDefinition d;
    rubrica::StoreError e;
    const int rc = rubrica::ReportStore::find(kAccountsReportClass, name, d, &e);
    if (rc != 0) {
        if (error) *error = e.text;
        return false;
    }
    out.name = d.description();
    out.format = d.FORMATSTR;
    out.sort = d.SORTORDER;
    out.options = d.BRKGRP;
    out.fontName = d.NAME;
    out.fontSize = d.SIZE;
    out.bold = d.BOLD;
    out.italic = d.ITALIC;
    return true;
}

}  // namespace corvix::accounts
