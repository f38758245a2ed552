// Changes to many records at once: the fields of every record whose leading key
// components equal given values are set in a few statements, rather than each record
// being read and rewritten (a category renamed into 100,000 accounts).
#include <algorithm>

#include "platform/storage/internal.h"
#include "platform/storage/table.h"

namespace corvix::storage {

using namespace detail;

namespace {

// Records rewritten per statement: progress is reported after each group.
constexpr size_t kGroupRows = 2048;

// The first unique key that holds one of the slots: the one a duplicate offends.
int offendedKey(const Shape& shape, const TableDecl& decl, const std::vector<int>& slots) {
    int first = -1;
    for (size_t k = 0; k < shape.keys.size(); ++k) {
        if (!shape.keys[k].unique) continue;
        if (first < 0) first = static_cast<int>(k);
        for (int s : shape.keys[k].cells)
            if (std::find(slots.begin(), slots.end(), s) != slots.end()) return static_cast<int>(k);
    }
    return first < 0 ? 0 : first;
}

}  // namespace

int Table::rewriteMatching(int key, size_t components, const RecordBuffer& match,
                           const std::vector<int>& fields, const RecordBuffer& values,
                           const std::function<void(int64_t done)>& progress, int64_t* changed) {
    Impl& d = *impl_;
    if (changed) *changed = 0;
    if (!d.isOpen()) return d.notOpen();
    if (!d.canWrite()) return fail(d.err, kAccessDenied, name());
    if (key == kPhysicalOrder || !d.validKey(key) || components == 0 ||
        components > d.shape->keys[key].terms.size())
        return fail(d.err, kDriverError, name(), 0, "no such key");
    const Shape& shape = *d.shape;
    const Shape::Key& k = shape.keys[key];

    // The records, as the key finds them: its collation compares the values.
    std::vector<Scalar> matchCells = readSlots(shape, *d.decl, match);
    std::string where;
    for (size_t i = 0; i < components; ++i) where += (i ? " AND " : "") + k.terms[i] + " = ?";
    if (!k.optionalCondition.empty()) where += " AND " + k.optionalCondition;
    auto bindMatch = [&](Stmt& st, int first) {
        for (size_t i = 0; i < components; ++i)
            st.bind(first + static_cast<int>(i), matchCells[k.cells[i]]);
    };
    std::vector<int64_t> rows;
    {
        Stmt find(d.conn->db,
                  "SELECT rowid FROM " + d.data + " WHERE " + where + " ORDER BY rowid;");
        if (!find.ok()) return failSql(d.err, d.conn->db, name());
        bindMatch(find, 1);
        int rc;
        while ((rc = find.step()) == SQLITE_ROW) rows.push_back(find.columnInt(0));
        if (rc != SQLITE_DONE) return failSql(d.err, d.conn->db, name());
    }
    if (rows.empty()) return succeed(d.err);

    // The new values as a rewrite would store them (cut to the field's size).
    std::vector<Scalar> valueCells = readSlots(shape, *d.decl, values);
    std::vector<int> slots;
    std::string set;
    for (int f : fields) {
        const FieldDecl& fd = d.decl->fields.at(f);
        const uint32_t elements = std::max<uint32_t>(1, fd.elements());
        for (uint32_t e = 0; e < elements; ++e) {
            const int slot = static_cast<int>(shape.first[f] + e);
            set += std::string(slots.empty() ? "" : ", ") + shape.columns[slot] + " = ?";
            slots.push_back(slot);
        }
    }
    if (slots.empty()) return succeed(d.err);

    // Groups of rows by row-id range; within a range only the matching records change.
    WriteScope scope(d.conn);
    if (scope.begin() != SQLITE_OK) return failSql(d.err, d.conn->db, name());
    Stmt update(d.conn->db, "UPDATE " + d.data + " NOT INDEXED SET " + set +
                                " WHERE rowid BETWEEN ? AND ? AND " + where + ";");
    if (!update.ok()) return failSql(d.err, d.conn->db, name());
    int64_t done = 0;
    for (size_t at = 0; at < rows.size(); at += kGroupRows) {
        const size_t last = std::min(rows.size(), at + kGroupRows) - 1;
        int i = 1;
        for (int s : slots) update.bind(i++, valueCells[s]);
        update.bindInt(i++, rows[at]);
        update.bindInt(i++, rows[last]);
        bindMatch(update, i);
        const int rc = update.step();
        if (rc != SQLITE_DONE) {
            if ((rc & 0xFF) == SQLITE_CONSTRAINT) {
                const int offended = offendedKey(shape, *d.decl, slots);
                int code = fail(d.err, kDuplicateKey, d.shownName());
                d.err.key = d.decl->keys[offended].name;
                setLastError(d.err);
                return code;
            }
            return failSql(d.err, d.conn->db, name());
        }
        done += sqlite3_changes(d.conn->db);
        update.reset();
        if (progress) progress(done);
    }
    if (scope.commit() != SQLITE_OK) return failSql(d.err, d.conn->db, name());
    if (changed) *changed = done;
    return succeed(d.err);
}

}  // namespace corvix::storage
