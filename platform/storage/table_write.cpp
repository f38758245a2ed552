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
        if (d.sql.uniqueCheck[k].empty()) continue;
        if (!key.optionalCondition.empty()) {
            bool allBlank = true;
            for (int s : key.cells) allBlank = allBlank && isBlank(cells[s]);
            if (allBlank) continue;  // left out of an optional key, so never a duplicate
        }
        Stmt st(d.conn, d.sql.uniqueCheck[k]);
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
    int rc = fail(d.err, kDuplicateKey, d.shownName());
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

void Table::Impl::makeWriteSql() {
    std::string cols, marks, sets;
    for (size_t i = 0; i < shape->columns.size(); ++i) {
        cols += (i ? ", " : "") + shape->columns[i];
        marks += i ? ", ?" : "?";
        sets += (i ? ", " : "") + shape->columns[i] + " = ?";
    }
    sql.insert = "INSERT INTO " + data + " (" + cols + ") VALUES (" + marks + ");";
    sql.update = "UPDATE " + data + " SET " + sets + " WHERE rowid = ?;";
    sql.row = "SELECT " + shape->selectList() + " FROM " + data + " WHERE rowid = ?;";
    sql.erase = "DELETE FROM " + data + " WHERE rowid = ?;";
    sql.eraseChunks = "DELETE FROM " + blobs + " WHERE rid = ?;";
    sql.uniqueCheck.clear();
    for (const Shape::Key& key : shape->keys) {
        std::string check;
        if (key.unique && !key.cells.empty()) {
            check = "SELECT 1 FROM " + data + " WHERE ";
            for (size_t i = 0; i < key.terms.size(); ++i)
                check += (i ? " AND " : "") + key.terms[i] + " = ?";
            if (!key.optionalCondition.empty()) check += " AND " + key.optionalCondition;
            check += " AND rowid <> ? LIMIT 1;";
        }
        sql.uniqueCheck.push_back(std::move(check));
    }
}

// One INSERT of the cells; on success the new record is the current one.
int Table::Impl::insert(std::vector<Scalar>& cells) {
    WriteScope w(conn);
    if (w.begin(true) != SQLITE_OK) return failSql(err, conn->db, shownName());
    int64_t row = 0;
    {
        Stmt ins(conn, sql.insert);
        if (!ins.ok()) return failSql(err, conn->db, shownName());
        // The cells outlive the statement's use of them: no copies for SQLite.
        for (size_t i = 0; i < cells.size(); ++i) ins.bindStatic(static_cast<int>(i + 1), cells[i]);
        int rc = ins.step();
        if (isConstraint(rc)) {
            ins.reset();
            return refused(*this, cells, 0);
        }
        if (rc != SQLITE_DONE) return failSql(err, conn->db, shownName());
        row = sqlite3_last_insert_rowid(conn->db);
    }
    if (w.commit() != SQLITE_OK) return failSql(err, conn->db, shownName());
    current = row;
    return kNoError;
}

// Drops the indexes of the keys that are not unique; unique ones stay, so that a
// duplicate is still refused when it is written.
int Table::Impl::setKeysAside() {
    WriteScope w(conn);
    int rc = w.begin();
    for (size_t k = 0; rc == SQLITE_OK && k < shape->keys.size(); ++k)
        if (!shape->keys[k].unique && !shape->keys[k].terms.empty())
            rc = exec(conn->db, "DROP INDEX IF EXISTS " + indexName(id, k) + ";");
    if (rc == SQLITE_OK) rc = w.commit();
    if (rc != SQLITE_OK) return failSql(err, conn->db, shownName());
    keysSetAside = true;
    return kNoError;
}

int Table::add(RecordBuffer& record) {
    Impl& d = *impl_;
    if (!d.isOpen()) return d.notOpen();
    if (!d.canWrite()) return fail(d.err, kAccessDenied, name());
    bool normalised = false;
    std::vector<Scalar> cells = readSlots(*d.shape, *d.decl, record, &normalised);
    if (int rc = d.insert(cells)) return rc;
    if (normalised) writeSlots(*d.shape, *d.decl, cells, record);  // as it is now stored
    d.keepSnapshot(std::move(cells));
    return succeed(d.err);
}

int Table::append(const RecordBuffer& record) {
    Impl& d = *impl_;
    if (!d.isOpen()) return d.notOpen();
    if (!d.canWrite()) return fail(d.err, kAccessDenied, name());
    if (!d.keysSetAside && (d.mode & kShareMask) == kDenyAll)
        if (int rc = d.setKeysAside()) return rc;
    std::vector<Scalar> cells = readSlots(*d.shape, *d.decl, record);
    if (int rc = d.insert(cells)) return rc;
    d.keepSnapshot(std::move(cells));
    return succeed(d.err);
}

int Table::put(const RecordBuffer& record) {
    Impl& d = *impl_;
    if (!d.isOpen()) return d.notOpen();
    if (!d.canWrite()) return fail(d.err, kAccessDenied, name());
    if (d.current == 0) return fail(d.err, kRecordNotAvailable, name());
    std::vector<Scalar> cells = readSlots(*d.shape, *d.decl, record);
    // Inside the write section nobody else can change the row between this check and
    // the rewrite; a failed rewrite leaves it untouched, so one statement's section is
    // enough.
    WriteScope w(d.conn);
    if (w.begin(true) != SQLITE_OK) return failSql(d.err, d.conn->db, name());
    {
        Stmt st(d.conn, d.sql.row);
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
    {
        Stmt up(d.conn, d.sql.update);
        if (!up.ok()) return failSql(d.err, d.conn->db, name());
        for (size_t i = 0; i < cells.size(); ++i) up.bindStatic(static_cast<int>(i + 1), cells[i]);
        up.bindInt(static_cast<int>(cells.size() + 1), d.current);
        int rc = up.step();
        if (isConstraint(rc)) {
            up.reset();
            return refused(d, cells, d.current);
        }
        if (rc != SQLITE_DONE) return failSql(d.err, d.conn->db, name());
    }
    if (w.commit() != SQLITE_OK) return failSql(d.err, d.conn->db, name());
    d.keepSnapshot(std::move(cells));
    return succeed(d.err);
}

int Table::erase() {
    Impl& d = *impl_;
    if (!d.isOpen()) return d.notOpen();
    if (!d.canWrite()) return fail(d.err, kAccessDenied, name());
    if (d.current == 0) return fail(d.err, kRecordNotAvailable, name());
    WriteScope w(d.conn);
    if (w.begin() != SQLITE_OK) return failSql(d.err, d.conn->db, name());
    Stmt del(d.conn, d.sql.erase);
    Stmt chunks(d.conn, d.sql.eraseChunks);
    if (!del.ok() || !chunks.ok()) return failSql(d.err, d.conn->db, name());
    del.bindInt(1, d.current);
    chunks.bindInt(1, d.current);
    if (del.step() != SQLITE_DONE || chunks.step() != SQLITE_DONE)
        return failSql(d.err, d.conn->db, name());
    if (w.commit() != SQLITE_OK) return failSql(d.err, d.conn->db, name());
    d.current = 0;
    wipeCells(d.snapshot);
    return succeed(d.err);
}

}  // namespace corvix::storage
