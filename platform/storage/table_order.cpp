// The records of a table in the order of one field that no key gives: only their row
// ids, sorted once, so that a list can page through them by position.
#include <algorithm>
#include <utility>

#include "platform/storage/internal.h"
#include "platform/storage/table.h"
#include "runtime/collate.h"

namespace corvix::storage {

namespace {

// Text held in memory while sorting by a text field: beyond it the storage sorts.
constexpr size_t kSortTextBudget = size_t{48} << 20;

}  // namespace

int Table::positionsByField(int field, std::vector<int64_t>& out) {
    Impl& d = *impl_;
    out.clear();
    if (!d.isOpen()) return d.notOpen();
    if (field < 0 || field >= static_cast<int>(d.decl->fields.size()))
        return detail::fail(d.err, kInvalidData, name());
    const std::string& column = d.shape->columns[d.shape->first[field]];
    const bool text = d.decl->fields[field].type == FieldType::String;
    const std::string where = d.filter.empty() ? std::string() : " WHERE (" + d.filter + ")";
    auto run = [&](const std::string& sql, auto&& row) {
        detail::Stmt st(d.conn->db, sql);
        if (!st.ok()) return detail::failSql(d.err, d.conn->db, name());
        int i = 1;
        for (const Scalar& a : d.filterParams) st.bind(i++, a);
        int rc = SQLITE_ROW;
        while ((rc = st.step()) == SQLITE_ROW)
            if (!row(st)) return -1;
        if (rc != SQLITE_DONE) return detail::failSql(d.err, d.conn->db, name());
        return 0;
    };
    if (text) {
        // Sorted here with the keys' own comparison: the storage's sorter calls the
        // collation through its record comparison for every pair, several times slower.
        // Rows come in row id order and the sort is stable, so equal texts keep it.
        std::vector<std::pair<std::string, int64_t>> rows;
        size_t bytes = 0;
        const int rc = run("SELECT rowid, " + column + " FROM " + d.data + where + ";",
                           [&](detail::Stmt& st) {
                               rows.emplace_back(st.columnText(1), st.columnInt(0));
                               bytes += rows.back().first.size() + sizeof(rows.back());
                               return bytes <= kSortTextBudget;
                           });
        if (rc > 0) return rc;
        if (rc == 0) {
            std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
                return runtime::compareNoCase(a.first, b.first) < 0;
            });
            out.reserve(rows.size());
            for (const auto& r : rows) out.push_back(r.second);
            return detail::succeed(d.err);
        }
        // Too much text to hold: the storage sorts it.
    }
    const std::string sql = "SELECT rowid FROM " + d.data + where + " ORDER BY " + column +
                            (text ? std::string(" COLLATE ") + detail::kCollation : "") +
                            ", rowid;";
    const int rc = run(sql, [&](detail::Stmt& st) {
        out.push_back(st.columnInt(0));
        return true;
    });
    if (rc != 0) {
        out.clear();
        return rc;
    }
    return detail::succeed(d.err);
}

}  // namespace corvix::storage
