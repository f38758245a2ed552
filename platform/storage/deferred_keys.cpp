// Keys deferred for a large load: the indexes of the keys that are not unique are dropped
// while the records go in, and built again at the end, each in one sort. A marker row in
// the file, written in the transaction that drops them and deleted in the one that builds
// them, and a lock byte held by the loading handle meanwhile, let any later open tell a
// load that died from one that is still running, and build the keys the first left out.
#include <unistd.h>

#include <algorithm>

#include "platform/storage/internal.h"
#include "platform/storage/table.h"

namespace corvix::storage {

using namespace detail;

namespace {

constexpr const char* kMarkers = "corvix_deferred_keys";

bool hasMarker(sqlite3* db, int64_t id) {
    // Without the marker table no load ever deferred keys in this file.
    Stmt st(db, std::string("SELECT 1 FROM ") + kMarkers + " WHERE id = ?;");
    if (!st.ok()) return false;
    st.bindInt(1, id);
    return st.step() == SQLITE_ROW;
}

int deleteMarker(sqlite3* db, int64_t id) {
    if (!hasMarker(db, id)) return SQLITE_OK;
    Stmt del(db, std::string("DELETE FROM ") + kMarkers + " WHERE id = ?;");
    if (!del.ok()) return del.prepareCode();
    del.bindInt(1, id);
    return del.step() == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(db);
}

// Inside a write section: every missing key index of the table, then the marker goes.
int buildMissing(sqlite3* db, const Shape& shape, int64_t id) {
    for (size_t k = 0; k < shape.keys.size(); ++k) {
        if (shape.keys[k].terms.empty()) continue;
        int rc = exec(db, indexSql(shape, id, k, true));
        if (rc != SQLITE_OK) return rc;
    }
    return deleteMarker(db, id);
}

// While keys are built, the page cache may hold the whole table with them: each key's
// build reads every record again, and a cache too small for both writes pages out
// half-built, to read them back for the next key. It is given back after the commit.
class BuildCache {
  public:
    explicit BuildCache(sqlite3* db) : db_(db) {
        Stmt st(db, "PRAGMA cache_size;");
        if (st.ok() && st.step() == SQLITE_ROW) before_ = st.columnInt(0);
        exec(db_, "PRAGMA cache_size = -" + std::to_string(kBuildCacheKib) + ";");
    }
    ~BuildCache() { exec(db_, "PRAGMA cache_size = " + std::to_string(before_) + ";"); }

  private:
    sqlite3* db_;
    int64_t before_ = -kCacheKib;
};

// The keys a load leaves out: every key that may repeat a value (the unique ones stay, so
// that duplicates are still refused record by record).
bool deferrable(const Shape::Key& key) {
    return !key.unique && !key.terms.empty();
}

bool hasKeysToDefer(const Shape& shape) {
    return std::any_of(shape.keys.begin(), shape.keys.end(), deferrable);
}

}  // namespace

namespace detail {

bool settleDeferredKeys(Connection* c, int64_t id, const Shape& shape) {
    if (!hasMarker(c->db, id)) return false;         // missing for another reason
    if (deferredKeysHeld(c->path, id)) return true;  // a running load: read without them
    // The load died, or ended without building them: they are built before anything reads.
    BuildCache cache(c->db);
    WriteScope w(c);
    if (w.begin() != SQLITE_OK) return false;
    // Checked again with the file held for writing: a new load may have begun meanwhile.
    if (deferredKeysHeld(c->path, id) || !hasMarker(c->db, id)) return true;
    return buildMissing(c->db, shape, id) == SQLITE_OK && w.commit() == SQLITE_OK;
}

int clearDeferredMarker(sqlite3* db, int64_t id) {
    return deleteMarker(db, id);
}

}  // namespace detail

int Table::deferKeys() {
    Impl& d = *impl_;
    if (!d.isOpen()) return d.notOpen();
    if (!d.canWrite()) return fail(d.err, kAccessDenied, name());
    // Inside a transaction a rollback could undo the marker but not the lock's meaning;
    // such writes are few anyway.
    if (d.deferredLock >= 0 || d.keysSetAside || d.conn->inTransaction ||
        !sqlite3_get_autocommit(d.conn->db) || !hasKeysToDefer(*d.shape))
        return succeed(d.err);
    const int lock = lockDeferredKeys(d.conn->path, d.id);
    if (lock < 0) return succeed(d.err);
    WriteScope w(d.conn);
    int rc = w.begin();
    if (rc == SQLITE_OK)
        rc = exec(d.conn->db, std::string("CREATE TABLE IF NOT EXISTS ") + kMarkers +
                                  " (id INTEGER PRIMARY KEY);");
    if (rc == SQLITE_OK)
        rc = exec(d.conn->db, std::string("INSERT OR IGNORE INTO ") + kMarkers + " (id) VALUES (" +
                                  std::to_string(d.id) + ");");
    for (size_t k = 0; rc == SQLITE_OK && k < d.shape->keys.size(); ++k)
        if (deferrable(d.shape->keys[k]))
            rc = exec(d.conn->db, "DROP INDEX IF EXISTS " + indexName(d.id, k) + ";");
    if (rc == SQLITE_OK) rc = w.commit();
    if (rc != SQLITE_OK) {
        ::close(lock);  // nothing was set aside: the section rolled back
        return failSql(d.err, d.conn->db, name());
    }
    d.deferredLock = lock;
    return succeed(d.err);
}

int Table::restoreKeys() {
    Impl& d = *impl_;
    if (!d.isOpen()) return d.notOpen();
    if (d.deferredLock < 0) return succeed(d.err);
    int result;
    {
        BuildCache cache(d.conn->db);
        WriteScope w(d.conn);
        int rc = w.begin();
        if (rc == SQLITE_OK) rc = buildMissing(d.conn->db, *d.shape, d.id);
        if (rc == SQLITE_OK) rc = w.commit();
        result = rc == SQLITE_OK ? succeed(d.err) : failSql(d.err, d.conn->db, name());
    }
    // Built or not, the load is over: keys still missing are built by the next open.
    ::close(d.deferredLock);
    d.deferredLock = -1;
    return result;
}

bool Table::keysDeferred() const {
    return impl_->deferredLock >= 0;
}

}  // namespace corvix::storage
