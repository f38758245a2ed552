// The records of a table in the order of one field that no key gives: only their row
// ids, sorted by the storage, so that a list can page through them by position.
#include "platform/storage/internal.h"
#include "platform/storage/table.h"

namespace corvix::storage {

int Table::positionsByField(int field, std::vector<int64_t>& out) {
    Impl& d = *impl_;
    out.clear();
    if (!d.isOpen()) return d.notOpen();
    if (field < 0 || field >= static_cast<int>(d.decl->fields.size()))
        return detail::fail(d.err, kInvalidData, name());
    const std::string& column = d.shape->columns[d.shape->first[field]];
    const bool text = d.decl->fields[field].type == FieldType::String;
    std::string sql = "SELECT rowid FROM " + d.data;
    if (!d.filter.empty()) sql += " WHERE (" + d.filter + ")";
    sql += " ORDER BY " + column + (text ? std::string(" COLLATE ") + detail::kCollation : "") +
           ", rowid;";
    detail::Stmt st(d.conn->db, sql);
    if (!st.ok()) return detail::failSql(d.err, d.conn->db, name());
    int i = 1;
    for (const Scalar& a : d.filterParams) st.bind(i++, a);
    int rc = SQLITE_ROW;
    while ((rc = st.step()) == SQLITE_ROW) out.push_back(st.columnInt(0));
    if (rc != SQLITE_DONE) {
        out.clear();
        return detail::failSql(d.err, d.conn->db, name());
    }
    return detail::succeed(d.err);
}

}  // namespace corvix::storage
