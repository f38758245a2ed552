#include "libs/rubrica/formats.h"

#include <algorithm>

#include "runtime/collate.h"
#include "runtime/picture.h"

namespace corvix::rubrica {

namespace {

const RptField* findByDesc(const TQRPTFIELD& all, const std::string& desc) {
    for (const RptField& f : all)
        if (runtime::sameNoCase(f.DESC, desc)) return &f;
    return nullptr;
}

std::string trim(const std::string& s) {
    const size_t a = s.find_first_not_of(' ');
    return a == std::string::npos ? std::string() : runtime::rightTrim(s.substr(a));
}

}  // namespace

void BUILDCQ(const std::string& format, const TQRPTFIELD& allFields, TQRPTFIELD& columns) {
    columns.clear();
    if (trim(format).empty()) return;
    size_t at = 0;
    for (;;) {
        const size_t open = format.find('~', at);
        if (open == std::string::npos) return;
        const size_t close = format.find('~', open + 1);
        if (close == std::string::npos) return;
        const std::string desc = format.substr(open + 1, close - open - 1);
        at = close + 1;
        const RptField* field = findByDesc(allFields, desc);
        if (!field) continue;  // no longer offered by the host
        RptField column = *field;
        const bool totallable = field->TOTAL != kNoTotal && field->TOTAL < 0;
        if (format.compare(at, 3, "|+|") == 0 && totallable) {
            column.TOTAL = kSum;
            at += 3;
        } else if (format.compare(at, 3, "|@|") == 0) {
            // Not consumed for a field that cannot be totalled: the next search for "~"
            // passes over it.
            column.TOTAL = totallable ? kAverage : kNoTotal;
            if (totallable) at += 3;
        }
        columns.push_back(column);
    }
}

std::string buildFormat(const TQRPTFIELD& columns) {
    std::string out;
    for (const RptField& c : columns) {
        out += "~" + c.DESC + "~";
        if (c.TOTAL == kSum) out += "|+|";
        if (c.TOTAL == kAverage) out += "|@|";
    }
    return out;
}

std::vector<SortField> parseSort(const std::string& sort) {
    std::vector<SortField> out;
    size_t at = 0;
    while (at <= sort.size()) {
        size_t comma = sort.find(',', at);
        if (comma == std::string::npos) comma = sort.size();
        std::string item = trim(sort.substr(at, comma - at));
        at = comma + 1;
        if (item.empty()) continue;
        SortField f;
        if (item[0] == '-' || item[0] == '+') {
            f.descending = item[0] == '-';
            item = trim(item.substr(1));
        }
        std::string upper = item.substr(0, 6);
        std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
        if (upper == "UPPER(" && item.back() == ')') {
            f.noCase = true;
            item = trim(item.substr(6, item.size() - 7));
        }
        f.name = item;
        out.push_back(f);
    }
    return out;
}

std::string buildSort(const std::vector<SortField>& fields) {
    std::string out;
    for (const SortField& f : fields) {
        if (!out.empty()) out += ",";
        if (f.descending) out += "-";
        out += f.noCase ? "UPPER(" + f.name + ")" : f.name;
    }
    return out;
}

std::string describeSort(const std::string& sort, const TQFIELD& fields) {
    std::string out;
    for (const SortField& f : parseSort(sort)) {
        std::string desc = f.name;
        for (const FieldEntry& e : fields)
            if (runtime::sameNoCase(e.NAME, f.name)) desc = e.DESC;
        if (!out.empty()) out += ", ";
        out += f.descending ? "<" + desc + ">" : desc;
    }
    return out;
}

TQRPTFIELD columnsForFormat(const TQRPTFIELD& columns, const std::string& sort,
                            const BreakOptions& options, const TQRPTFIELD& allFields,
                            const TQFIELD& fields) {
    TQRPTFIELD out;
    for (const RptField& c : columns)
        if (c.TOTAL != kGroupLevel1 && c.TOTAL != kGroupLevel2) out.push_back(c);
    if (!options.GSUPPRESS || !(options.GFOOT[0] || options.GFOOT[1])) return out;
    const std::vector<SortField> order = parseSort(sort);
    for (int level = 0; level < 2 && level < static_cast<int>(order.size()); ++level) {
        if (!options.level(level)) continue;
        for (const FieldEntry& e : fields) {
            if (!runtime::sameNoCase(e.NAME, order[level].name)) continue;
            const RptField* f = findByDesc(allFields, e.DESC);
            if (!f) break;
            RptField group = *f;
            group.TOTAL = level + 1;
            std::erase_if(out, [&](const RptField& c) { return c.DESC == group.DESC; });
            out.push_back(group);
            break;
        }
    }
    return out;
}

bool suppressionAllowed(const BreakOptions& o) {
    return o.GFOOT[0] || o.GFOOT[1] || o.GTOTAL[0] || o.GTOTAL[1];
}

}  // namespace corvix::rubrica
