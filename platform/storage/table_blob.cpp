// BLOBs and memos of the current record, kept as fixed-size chunks in a side table and
// streamed: no value is ever held whole in memory, so a BLOB may be as large as the disk.
//
// Every chunk but a BLOB's last is full, so the size of its first chunk names the chunk
// of any offset. In files of large pages (sealed containers, streamed through gigabytes)
// new BLOBs take chunks sized to their pages: a chunk's record leaves only SQLite's
// minimum on its leaf page and fills two overflow pages exactly, where 64 KiB chunks
// left each overflow pair part empty and made the file 7% larger than its content, 7%
// more pages to encrypt, authenticate and write. BLOBs stored with 64 KiB chunks keep
// them, so files written before read and grow as they were.
#include <algorithm>
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

// Bytes each encrypted page keeps for its IV and HMAC (SQLCipher 3, rounded up to whole
// cipher blocks). Were it other, chunks would only fit less well: nothing depends on it.
constexpr size_t kCipherReserve = 48;
// A chunk's record beside its data: the header (its size, the types of rid, blob and
// chunk, the 3-byte type of the data), and the three numbers, counted at up to 6 bytes
// (0 and 1 take none, chunk numbers up to 32767 two bytes, up to 8 million three).
constexpr size_t kRecordHeader = 7;
constexpr size_t kNumberBytes = 6;
// A leaf page's cell beside the record's part on it: the record's size (3 bytes), the
// first overflow page's number (4) and the cell's pointer (2); the page's header is 8.
constexpr size_t kCellExtra = 9;
constexpr size_t kLeafHeader = 8;

size_t newChunkSize(Connection* c) {
    if (c->newChunkSize) return c->newChunkSize;
    int64_t page = 0;
    {
        Stmt st(c->db, "PRAGMA page_size;");
        if (st.step() == SQLITE_ROW) page = st.columnInt(0);
    }
    size_t size = kChunkSize;
    if (page >= static_cast<int64_t>(kLargePageSize)) {
        // SQLite's rule for a record too large for its page (an index b-tree, as tables
        // without rowid are): the leaf keeps at least minLocal bytes, plus whatever does
        // not fill the last overflow page, each of which holds usable - 4 bytes. So a
        // record of two full overflow pages keeps on its leaf any part between minLocal
        // and maxLocal: the part is sized so that the leaf holds a whole number of cells.
        const size_t usable = static_cast<size_t>(page) - (c->keyHex.empty() ? 0 : kCipherReserve);
        const size_t minLocal = (usable - 12) * 32 / 255 - 23;
        const size_t room = usable - kLeafHeader;
        const size_t cells = room / (minLocal + kNumberBytes + kCellExtra);
        const size_t local = room / cells - kCellExtra;  // numbers included
        size = local + 2 * (usable - 4) - kRecordHeader - kNumberBytes;
    }
    c->newChunkSize = size;
    return size;
}

// Where a BLOB ends and the size of its chunks, from its last two chunks, which appends
// have in the page cache: every chunk but the last is full, so the one before the last
// has the BLOB's chunk size. A BLOB of one chunk or none takes the size new BLOBs take
// (or its only chunk's, if larger).
struct ChunkShape {
    int64_t last = -1;     // number of the last chunk; -1 for none
    size_t lastSize = 0;   // its length
    size_t size = 0;       // the chunk size
    bool settled = false;  // two chunks or more: the size stays until the BLOB is emptied
    uint64_t total() const { return last < 0 ? 0 : static_cast<uint64_t>(last) * size + lastSize; }
};

int shapeOf(Table::Impl& d, int blob, ChunkShape* out) {
    Stmt st(d.conn, "SELECT chunk, length(data) FROM " + d.blobs +
                        " WHERE rid = ? AND blob = ? ORDER BY chunk DESC LIMIT 2;");
    if (!st.ok()) return st.prepareCode();
    st.bindInt(1, d.current);
    st.bindInt(2, blob);
    ChunkShape shape;
    int rc = st.step();
    if (rc == SQLITE_ROW) {
        shape.last = st.columnInt(0);
        shape.lastSize = static_cast<size_t>(st.columnInt(1));
        rc = st.step();
        if (rc == SQLITE_ROW) {
            shape.size = static_cast<size_t>(st.columnInt(1));
            shape.settled = true;
            rc = SQLITE_DONE;
        }
    }
    if (rc != SQLITE_DONE) return rc;
    if (!shape.settled) shape.size = std::max(shape.lastSize, newChunkSize(d.conn));
    *out = shape;
    return SQLITE_OK;
}

// The chunk size for reading. Restoring reads from the first chunk to the last, far from
// the last two, so a settled size is kept while no other handle or process commits.
int readingChunkSize(Table::Impl& d, int blob, size_t* size) {
    auto& kept = d.blobChunks;
    const int64_t version = d.dataVersion();
    if (kept.rid == d.current && kept.blob == blob && kept.version == version && version >= 0) {
        *size = kept.size;
        return SQLITE_OK;
    }
    ChunkShape shape;
    if (int rc = shapeOf(d, blob, &shape)) return rc;
    if (shape.settled) kept = {d.current, blob, shape.size, version};
    *size = shape.size;
    return SQLITE_OK;
}

}  // namespace

size_t Table::blobChunkSize(int blob) {
    Impl& d = *impl_;
    if (checkBlob(d, blob, false)) return 0;
    ChunkShape shape;
    if (shapeOf(d, blob, &shape) != SQLITE_OK) {
        failSql(d.err, d.conn->db, name());
        return 0;
    }
    succeed(d.err);
    return shape.size;
}

int64_t Table::blobSize(int blob) {
    Impl& d = *impl_;
    if (checkBlob(d, blob, false)) return -1;
    ChunkShape shape;
    if (shapeOf(d, blob, &shape) != SQLITE_OK) {
        failSql(d.err, d.conn->db, name());
        return -1;
    }
    succeed(d.err);
    return static_cast<int64_t>(shape.total());
}

int Table::readBlob(int blob, uint64_t offset, void* buffer, size_t length, size_t* got) {
    Impl& d = *impl_;
    if (got) *got = 0;
    if (int rc = checkBlob(d, blob, false)) return rc;
    size_t chunkSize = 0;
    if (readingChunkSize(d, blob, &chunkSize) != SQLITE_OK)
        return failSql(d.err, d.conn->db, name());
    Stmt st(d.conn, "SELECT chunk, data FROM " + d.blobs +
                        " WHERE rid = ? AND blob = ? AND chunk >= ? ORDER BY chunk;");
    if (!st.ok()) return failSql(d.err, d.conn->db, name());
    st.bindInt(1, d.current);
    st.bindInt(2, blob);
    st.bindInt(3, static_cast<int64_t>(offset / chunkSize));
    size_t done = 0;
    uint64_t skip = offset % chunkSize;
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
    ChunkShape shape;
    if (shapeOf(d, blob, &shape) != SQLITE_OK) return failSql(d.err, d.conn->db, name());
    const size_t chunkSize = shape.size;
    bool lastIsPartial = shape.last >= 0 && shape.lastSize < chunkSize;
    int64_t chunk = lastIsPartial ? shape.last : shape.last + 1;
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
        const size_t n = std::min(chunkSize - partial.size(), length - used);
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
    d.blobChunks = {};  // refilled, it takes the size of new BLOBs
    noteChange(d.conn);
    return succeed(d.err);
}

}  // namespace corvix::storage
