// BLOBs and memos of the current record, kept as fixed-size chunks in a side table and
// streamed: no value is ever held whole in memory, so a BLOB may be as large as the disk.
#include <cstring>

#include "platform/storage/internal.h"
#include "platform/storage/table.h"

namespace corvix::storage {

using namespace detail;

namespace {

int checkBlob(Table::Impl& d, int blob, bool write) {
    if (!d.isOpen()) return d.notOpen();
    if (blob < 0 || static_cast<size_t>(blob) >= d.decl->blobs.size())
        return fail(d.err, kDriverError, d.name, 0, "no such BLOB");
    if (write && !d.canWrite()) return fail(d.err, kAccessDenied, d.name);
    if (d.current == 0) return fail(d.err, kRecordNotAvailable, d.name);
    return kNoError;
}

}  // namespace

int64_t Table::blobSize(int blob) {
    Impl& d = *impl_;
    if (checkBlob(d, blob, false)) return -1;
    Stmt st(d.conn, "SELECT coalesce(sum(length(data)), 0) FROM " + d.blobs +
                        " WHERE rid = ? AND blob = ?;");
    if (!st.ok()) {
        failSql(d.err, d.conn->db, name());
        return -1;
    }
    st.bindInt(1, d.current);
    st.bindInt(2, blob);
    if (st.step() != SQLITE_ROW) {
        failSql(d.err, d.conn->db, name());
        return -1;
    }
    succeed(d.err);
    return st.columnInt(0);
}

int Table::readBlob(int blob, uint64_t offset, void* buffer, size_t length, size_t* got) {
    Impl& d = *impl_;
    if (got) *got = 0;
    if (int rc = checkBlob(d, blob, false)) return rc;
    // Every chunk but the last is full, so the offset names its chunk directly.
    Stmt st(d.conn, "SELECT chunk, data FROM " + d.blobs +
                        " WHERE rid = ? AND blob = ? AND chunk >= ? ORDER BY chunk;");
    if (!st.ok()) return failSql(d.err, d.conn->db, name());
    st.bindInt(1, d.current);
    st.bindInt(2, blob);
    st.bindInt(3, static_cast<int64_t>(offset / kChunkSize));
    size_t done = 0;
    uint64_t skip = offset % kChunkSize;
    auto* out = static_cast<unsigned char*>(buffer);
    int rc = SQLITE_ROW;
    while (done < length && (rc = st.step()) == SQLITE_ROW) {
        const void* data = sqlite3_column_blob(st.get(), 1);
        size_t size = static_cast<size_t>(sqlite3_column_bytes(st.get(), 1));
        if (skip >= size) break;
        size_t n = std::min(size - skip, length - done);
        std::memcpy(out + done, static_cast<const unsigned char*>(data) + skip, n);
        done += n;
        skip = 0;
    }
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) return failSql(d.err, d.conn->db, name());
    if (got) *got = done;
    if (done == 0 && length > 0) return fail(d.err, kRecordNotAvailable, name());
    return succeed(d.err);
}

int Table::appendBlob(int blob, const void* data, size_t length) {
    Impl& d = *impl_;
    if (int rc = checkBlob(d, blob, true)) return rc;
    if (length == 0) return succeed(d.err);
    WriteScope w(d.conn);
    if (w.begin() != SQLITE_OK) return failSql(d.err, d.conn->db, name());
    // Only a last chunk that is not full is read back (and filled up first); its length
    // comes from the record header without loading the data.
    int64_t chunk = 0;
    bool lastIsPartial = false;
    {
        Stmt last(d.conn, "SELECT chunk, length(data) FROM " + d.blobs +
                              " WHERE rid = ? AND blob = ? ORDER BY chunk DESC LIMIT 1;");
        if (!last.ok()) return failSql(d.err, d.conn->db, name());
        last.bindInt(1, d.current);
        last.bindInt(2, blob);
        if (last.step() == SQLITE_ROW) {
            chunk = last.columnInt(0);
            lastIsPartial = static_cast<size_t>(last.columnInt(1)) < kChunkSize;
            if (!lastIsPartial) ++chunk;
        }
    }
    std::vector<unsigned char> partial;
    if (lastIsPartial) {
        Stmt tail(d.conn,
                  "SELECT data FROM " + d.blobs + " WHERE rid = ? AND blob = ? AND chunk = ?;");
        if (!tail.ok()) return failSql(d.err, d.conn->db, name());
        tail.bindInt(1, d.current);
        tail.bindInt(2, blob);
        tail.bindInt(3, chunk);
        if (tail.step() != SQLITE_ROW) return failSql(d.err, d.conn->db, name());
        auto p = static_cast<const unsigned char*>(sqlite3_column_blob(tail.get(), 0));
        partial.assign(p, p + sqlite3_column_bytes(tail.get(), 0));
    }
    // New chunks are plain inserts: an INSERT OR REPLACE would journal every page it
    // writes for the statement's sake, encrypting each page several times.
    Stmt put(d.conn, "INSERT INTO " + d.blobs + " (rid, blob, chunk, data) VALUES (?, ?, ?, ?);");
    Stmt fill(d.conn,
              "UPDATE " + d.blobs + " SET data = ? WHERE rid = ? AND blob = ? AND chunk = ?;");
    if (!put.ok() || !fill.ok()) return failSql(d.err, d.conn->db, name());
    auto in = static_cast<const unsigned char*>(data);
    size_t used = 0;
    while (used < length) {
        const size_t n = std::min(kChunkSize - partial.size(), length - used);
        const unsigned char* bytes = in + used;
        size_t size = n;
        if (!partial.empty()) {  // full chunks go straight from the caller's buffer
            partial.insert(partial.end(), in + used, in + used + n);
            bytes = partial.data();
            size = partial.size();
        }
        used += n;
        Stmt& write = lastIsPartial ? fill : put;
        write.bindBlobNoCopy(lastIsPartial ? 1 : 4, bytes, size);
        write.bindInt(lastIsPartial ? 2 : 1, d.current);
        write.bindInt(lastIsPartial ? 3 : 2, blob);
        write.bindInt(lastIsPartial ? 4 : 3, chunk);
        if (write.step() != SQLITE_DONE) return failSql(d.err, d.conn->db, name());
        write.reset();
        partial.clear();
        lastIsPartial = false;
        ++chunk;
    }
    if (w.commit() != SQLITE_OK) return failSql(d.err, d.conn->db, name());
    return succeed(d.err);
}

int Table::truncateBlob(int blob) {
    Impl& d = *impl_;
    if (int rc = checkBlob(d, blob, true)) return rc;
    Stmt del(d.conn, "DELETE FROM " + d.blobs + " WHERE rid = ? AND blob = ?;");
    if (!del.ok()) return failSql(d.err, d.conn->db, name());
    del.bindInt(1, d.current);
    del.bindInt(2, blob);
    if (del.step() != SQLITE_DONE) return failSql(d.err, d.conn->db, name());
    noteChange(d.conn);
    return succeed(d.err);
}

}  // namespace corvix::storage
