// Writing: add, rewrite (with the check that nobody changed the record since it was
// read) and erase, each in its own write section.
#include "platform/storage/internal.h"
#include "platform/storage/table.h"

namespace corvix::storage {

using namespace detail;

namespace {

// The first unique key the values would duplicate (other than in row `self`), or -1.
// SQLite's constraint message names columns, not keys, so the keys are asked in turn.
int duplicatedKey(const Table::Impl& d, const std::vector<Scalar>& cells, int64_t self,
                  int* sqlError) {
    *sqlError = SQLITE_OK;
    for (size_t k = 0; k < d.shape->keys.size(); ++k) {
        const Shape::Key& key = d.shape->keys[k];
        if (!key.unique || key.cells.empty()) continue;
        if (!key.optionalCondition.empty()) {
            bool allBlank = true;
            for (int s : key.cells) allBlank = allBlank && isBlank(cells[s]);
            if (allBlank) continue;  // left out of an optional key, so never a duplicate
        }
        std::string sql = "SELECT 1 FROM " + d.data + " WHERE ";
        for (size_t i = 0; i < key.terms.size(); ++i)
            sql += (i ? " AND " : "") + key.terms[i] + " = ?";
        if (!key.optionalCondition.empty()) sql += " AND " + key.optionalCondition;
        sql += " AND rowid <> ? LIMIT 1;";
        Stmt st(d.conn, sql);
        if (!st.ok()) {
            *sqlError = st.prepareCode();
            return -1;
        }
        int i = 1;
        for (int s : key.cells) st.bind(i++, cells[s]);
        st.bindInt(i, self);
        int rc = st.step();
        if (rc == SQLITE_ROW) return static_cast<int>(k);
        if (rc != SQLITE_DONE) {
            *sqlError = rc;
            return -1;
        }
    }
    return -1;
}

int duplicate(Table::Impl& d, int key) {
    int rc = fail(d.err, kDuplicateKey, d.name);
    d.err.key = d.decl->keys[key].name;
    setLastError(d.err);
    return rc;
}

int firstUniqueKey(const TableDecl& decl) {
    for (size_t k = 0; k < decl.keys.size(); ++k)
        if (decl.keys[k].unique()) return static_cast<int>(k);
    return 0;
}

bool isConstraint(int rc) {
    return (rc & 0xFF) == SQLITE_CONSTRAINT;
}

// A unique index refused the values: name the first key (in declaration order) that
// they duplicate.
int refused(Table::Impl& d, const std::vector<Scalar>& cells, int64_t self) {
    int sqlError;
    int dup = duplicatedKey(d, cells, self, &sqlError);
    return duplicate(d, dup >= 0 ? dup : firstUniqueKey(*d.decl));
}

}  // namespace

int Table::add(RecordBuffer& record) {
    Impl& d = *impl_;
    if (!d.isOpen()) return d.notOpen();
    if (!d.canWrite()) return fail(d.err, kAccessDenied, name());
    std::vector<Scalar> cells = readSlots(*d.shape, *d.decl, record);
    WriteScope w(d.conn);
    if (w.begin() != SQLITE_OK) return failSql(d.err, d.conn->db, name());
    std::string cols, marks;
    for (size_t i = 0; i < d.shape->columns.size(); ++i) {
        cols += (i ? ", " : "") + d.shape->columns[i];
        marks += i ? ", ?" : "?";
    }
    Stmt ins(d.conn, "INSERT INTO " + d.data + " (" + cols + ") VALUES (" + marks + ");");
    if (!ins.ok()) return failSql(d.err, d.conn->db, name());
    for (size_t i = 0; i < cells.size(); ++i) ins.bind(static_cast<int>(i + 1), cells[i]);
    int rc = ins.step();
    if (isConstraint(rc)) return refused(d, cells, 0);
    if (rc != SQLITE_DONE) return failSql(d.err, d.conn->db, name());
    int64_t row = sqlite3_last_insert_rowid(d.conn->db);
    if (w.commit() != SQLITE_OK) return failSql(d.err, d.conn->db, name());
    d.current = row;
    writeSlots(*d.shape, *d.decl, cells, record);
    d.snapshot = std::move(cells);
    return succeed(d.err);
}

int Table::put(const RecordBuffer& record) {
    Impl& d = *impl_;
    if (!d.isOpen()) return d.notOpen();
    if (!d.canWrite()) return fail(d.err, kAccessDenied, name());
    if (d.current == 0) return fail(d.err, kRecordNotAvailable, name());
    std::vector<Scalar> cells = readSlots(*d.shape, *d.decl, record);
    WriteScope w(d.conn);
    if (w.begin() != SQLITE_OK) return failSql(d.err, d.conn->db, name());
    {
        // Inside the write section nobody else can change the row between this check
        // and the rewrite.
        Stmt st(d.conn,
                "SELECT " + d.shape->selectList() + " FROM " + d.data + " WHERE rowid = ?;");
        if (!st.ok()) return failSql(d.err, d.conn->db, name());
        st.bindInt(1, d.current);
        int rc = st.step();
        if (rc == SQLITE_DONE) return fail(d.err, kChangedByOther, name());  // erased meanwhile
        if (rc != SQLITE_ROW) return failSql(d.err, d.conn->db, name());
        for (size_t c = 0; c < d.shape->types.size(); ++c)
            if (c >= d.snapshot.size() ||
                !sameValue(st.column(static_cast<int>(c + 1), d.shape->types[c]), d.snapshot[c]))
                return fail(d.err, kChangedByOther, name());
    }
    std::string sets;
    for (size_t i = 0; i < d.shape->columns.size(); ++i)
        sets += (i ? ", " : "") + d.shape->columns[i] + " = ?";
    Stmt up(d.conn, "UPDATE " + d.data + " SET " + sets + " WHERE rowid = ?;");
    if (!up.ok()) return failSql(d.err, d.conn->db, name());
    for (size_t i = 0; i < cells.size(); ++i) up.bind(static_cast<int>(i + 1), cells[i]);
    up.bindInt(static_cast<int>(cells.size() + 1), d.current);
    int rc = up.step();
    if (isConstraint(rc)) return refused(d, cells, d.current);
    if (rc != SQLITE_DONE) return failSql(d.err, d.conn->db, name());
    if (w.commit() != SQLITE_OK) return failSql(d.err, d.conn->db, name());
    d.snapshot = std::move(cells);
    return succeed(d.err);
}

int Table::erase() {
    Impl& d = *impl_;
    if (!d.isOpen()) return d.notOpen();
    if (!d.canWrite()) return fail(d.err, kAccessDenied, name());
    if (d.current == 0) return fail(d.err, kRecordNotAvailable, name());
    WriteScope w(d.conn);
    if (w.begin() != SQLITE_OK) return failSql(d.err, d.conn->db, name());
    Stmt del(d.conn, "DELETE FROM " + d.data + " WHERE rowid = ?;");
    Stmt chunks(d.conn, "DELETE FROM " + d.blobs + " WHERE rid = ?;");
    if (!del.ok() || !chunks.ok()) return failSql(d.err, d.conn->db, name());
    del.bindInt(1, d.current);
    chunks.bindInt(1, d.current);
    if (del.step() != SQLITE_DONE || chunks.step() != SQLITE_DONE)
        return failSql(d.err, d.conn->db, name());
    if (w.commit() != SQLITE_OK) return failSql(d.err, d.conn->db, name());
    d.current = 0;
    d.snapshot.clear();
    return succeed(d.err);
}

}  // namespace corvix::storage
