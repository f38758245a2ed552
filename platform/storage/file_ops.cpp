// Whole-table operations on names: existence, stored declaration, remove, copy and
// rename, also out of and into multi-table files. Each works under an exclusive share
// lock on the tables it changes and in one write section, so a failure changes nothing.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/storage/internal.h"
#include "platform/storage/table.h"

namespace corvix::storage {

using namespace detail;

namespace {

// A connection held for the length of one operation.
struct Held {
    Connection* c = nullptr;
    ~Held() { releaseConnection(c); }
};

bool exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

void removeFiles(const std::string& path) {
    ::unlink(path.c_str());
    ::unlink((path + "-journal").c_str());
    ::unlink(lockPath(path).c_str());
}

int copyTableRows(sqlite3* from, const CatalogueEntry& src, sqlite3* to, int64_t toId) {
    Shape shape(src.decl);
    std::string cols = "_row";
    std::string marks = "?";
    for (const std::string& c : shape.columns) {
        cols += ", " + c;
        marks += ", ?";
    }
    {
        Stmt read(from, "SELECT " + cols + " FROM " + dataTable(src.id) + " ORDER BY _row;");
        Stmt write(to,
                   "INSERT INTO " + dataTable(toId) + " (" + cols + ") VALUES (" + marks + ");");
        if (!read.ok()) return read.prepareCode();
        if (!write.ok()) return write.prepareCode();
        int rc;
        while ((rc = read.step()) == SQLITE_ROW) {
            write.bindInt(1, read.columnInt(0));
            for (size_t i = 0; i < shape.types.size(); ++i)
                write.bind(static_cast<int>(i + 2),
                           read.column(static_cast<int>(i + 1), shape.types[i]));
            if ((rc = write.step()) != SQLITE_DONE) return rc;
            write.reset();
        }
        if (rc != SQLITE_DONE) return rc;
    }
    // Chunks one at a time: a BLOB is never held whole.
    Stmt read(from, "SELECT rid, blob, chunk, data FROM " + blobTable(src.id) + ";");
    Stmt write(to,
               "INSERT INTO " + blobTable(toId) + " (rid, blob, chunk, data) VALUES (?, ?, ?, ?);");
    if (!read.ok()) return read.prepareCode();
    if (!write.ok()) return write.prepareCode();
    int rc;
    while ((rc = read.step()) == SQLITE_ROW) {
        for (int i = 0; i < 3; ++i) write.bindInt(i + 1, read.columnInt(i));
        write.bindBlob(4, sqlite3_column_blob(read.get(), 3),
                       static_cast<size_t>(sqlite3_column_bytes(read.get(), 3)));
        if ((rc = write.step()) != SQLITE_DONE) return rc;
        write.reset();
    }
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

// Copies a table. lockSource: take a deny-write lock on the source (rename already
// holds an exclusive one).
int copyImpl(std::string_view from, std::string_view to, std::string_view owner, bool lockSource,
             Error& err) {
    TableName src = splitTableName(from);
    TableName dst = splitTableName(to);
    Held s;
    if (int rc = acquireConnection(src.file, owner, &s.c, err)) return rc;
    CatalogueEntry entry;
    int rc = findTable(s.c->db, src.table, entry);
    if (rc == SQLITE_NOTFOUND) return fail(err, kFileNotFound, std::string(from));
    if (rc != SQLITE_OK) return failSql(err, s.c->db, std::string(from));
    ShareLock srcLock;
    if (lockSource && srcLock.acquire(s.c->path, entry.name, kReadOnly | kDenyWrite, 0))
        return fail(err, kAccessDenied, std::string(from));

    std::string dstPath = absolutePath(dst.file);
    ShareLock dstLock;
    if (dstLock.acquire(dstPath, dst.table, kReadWrite | kDenyAll, 0))
        return fail(err, kAccessDenied, std::string(to));
    bool newFile = !exists(dstPath);
    if (newFile) {
        // The new file gets an empty table first, then the rows.
        Table maker(entry.decl);
        maker.setName(std::string(to));
        maker.setOwner(std::string(owner));
        dstLock.release();
        if (int made = maker.create()) {
            err = maker.error();
            return made;
        }
    }
    Held t;
    if (int got = acquireConnection(dst.file, owner, &t.c, err)) {
        if (newFile) removeFiles(dstPath);
        return got;
    }
    WriteScope w(t.c);
    rc = w.begin();
    CatalogueEntry target;
    int64_t id = 0;
    if (rc == SQLITE_OK) {
        int found = findTable(t.c->db, dst.table, target);
        if (!newFile && found == SQLITE_OK) return fail(err, kAccessDenied, std::string(to));
        if (newFile && found == SQLITE_OK)
            id = target.id;
        else if (found != SQLITE_NOTFOUND && found != SQLITE_OK)
            rc = found;
        else
            rc = createTableIn(t.c->db, dst.table, entry.decl, &id);
    }
    if (rc == SQLITE_OK) rc = copyTableRows(s.c->db, entry, t.c->db, id);
    if (rc == SQLITE_OK) rc = w.commit();
    if (rc != SQLITE_OK) {
        int code = failSql(err, t.c->db, std::string(to));
        if (err.driverCode == 0) err.driverCode = rc;
        if (newFile) {
            releaseConnection(t.c);
            t.c = nullptr;
            removeFiles(dstPath);
        }
        return code;
    }
    return succeed(err);
}

constexpr int kNotMoved = -1;

// A file's only table renamed into a file that does not exist yet: the file itself takes
// the new name (a hard link, then the old name goes) instead of every record being copied.
// kNotMoved, with nothing changed, when that does not apply (another table in the file,
// other opens of it, the target exists, no hard links across file systems); the share
// lock and the connection may have been let go then.
int moveWholeFile(Held& h, const CatalogueEntry& entry, ShareLock& lock, const TableName& dst,
                  std::string_view owner, Error& err) {
    std::vector<CatalogueEntry> all;
    std::string dstPath = absolutePath(dst.file);
    if (h.c->refs != 1 || h.c->inTransaction || listTables(h.c->db, all) != SQLITE_OK ||
        all.size() != 1 || exists(dstPath))
        return kNotMoved;
    std::string path = h.c->path;
    lock.release();
    if (fileInUse(path)) return kNotMoved;
    releaseConnection(h.c);
    h.c = nullptr;
    if (::link(path.c_str(), dstPath.c_str()) != 0) return kNotMoved;
    ::unlink(path.c_str());
    ::unlink(lockPath(path).c_str());
    // The table takes the name it was given inside its new file.
    Held t;
    int rc = acquireConnection(dst.file, owner, &t.c, err);
    if (rc == kNoError) {
        Stmt up(t.c->db, std::string("UPDATE ") + kCatalogue + " SET name = ? WHERE id = ?;");
        if (up.ok()) {
            up.bindText(1, dst.table);
            up.bindInt(2, entry.id);
        }
        if (!up.ok() || up.step() != SQLITE_DONE) rc = failSql(err, t.c->db, dstPath);
    }
    if (rc != kNoError) {
        // Back under its old name, as it was.
        releaseConnection(t.c);
        t.c = nullptr;
        if (::link(dstPath.c_str(), path.c_str()) == 0) ::unlink(dstPath.c_str());
        return rc;
    }
    return succeed(err);
}

// Takes a table for a whole-table operation: its file's connection, its catalogue entry
// and an exclusive share lock (5 when another open holds it).
int takeExclusively(const TableName& tn, std::string_view name, std::string_view owner, Held& h,
                    CatalogueEntry& entry, ShareLock& lock, Error& err) {
    if (int rc = acquireConnection(tn.file, owner, &h.c, err)) return rc;
    int rc = findTable(h.c->db, tn.table, entry);
    if (rc == SQLITE_NOTFOUND) return fail(err, kFileNotFound, std::string(name));
    if (rc != SQLITE_OK) return failSql(err, h.c->db, std::string(name));
    if (lock.acquire(h.c->path, entry.name, kReadWrite | kDenyAll, 0))
        return fail(err, kAccessDenied, std::string(name));
    return kNoError;
}

int removeImpl(std::string_view name, std::string_view owner, Error& err) {
    TableName tn = splitTableName(name);
    Held h;
    CatalogueEntry entry;
    ShareLock lock;
    int rc = takeExclusively(tn, name, owner, h, entry, lock, err);
    if (rc != kNoError) return rc;
    std::vector<CatalogueEntry> rest;
    // The file's only table, and nothing else in this process on the file: when no open
    // anywhere has it either, the file goes at once. Dropping the table first would
    // read, clear and journal every page of it only to delete them.
    if (h.c->refs == 1 && !h.c->inTransaction && listTables(h.c->db, rest) == SQLITE_OK &&
        rest.size() == 1 && rest[0].id == entry.id) {
        std::string path = h.c->path;
        lock.release();
        if (!fileInUse(path)) {
            releaseConnection(h.c);
            h.c = nullptr;
            removeFiles(path);
            return succeed(err);
        }
        if (lock.acquire(path, entry.name, kReadWrite | kDenyAll, 0))
            return fail(err, kAccessDenied, std::string(name));
    }
    rest.clear();
    {
        WriteScope w(h.c);
        rc = w.begin();
        if (rc == SQLITE_OK) rc = dropTableIn(h.c->db, entry);
        if (rc == SQLITE_OK) rc = listTables(h.c->db, rest);
        if (rc == SQLITE_OK) rc = w.commit();
        if (rc != SQLITE_OK) return failSql(err, h.c->db, std::string(name));
    }
    std::string path = h.c->path;
    lock.release();
    releaseConnection(h.c);
    h.c = nullptr;
    // The file goes with its last table, unless something still has it open.
    if (rest.empty() && !fileInUse(path)) removeFiles(path);
    return succeed(err);
}

}  // namespace

bool tableExists(std::string_view name, std::string_view owner) {
    Error err;
    TableName tn = splitTableName(name);
    if (!exists(absolutePath(tn.file))) return false;
    Held h;
    if (acquireConnection(tn.file, owner, &h.c, err)) return false;
    CatalogueEntry entry;
    return findTable(h.c->db, tn.table, entry) == SQLITE_OK;
}

int readStoredDeclaration(std::string_view name, std::string_view owner, TableDecl& out) {
    Error err;
    TableName tn = splitTableName(name);
    Held h;
    if (int rc = acquireConnection(tn.file, owner, &h.c, err)) return rc;
    CatalogueEntry entry;
    int rc = findTable(h.c->db, tn.table, entry);
    if (rc == SQLITE_NOTFOUND) return fail(err, kFileNotFound, std::string(name));
    if (rc != SQLITE_OK) return failSql(err, h.c->db, std::string(name));
    out = std::move(entry.decl);
    out.name = std::string(name);
    return succeed(err);
}

int removeTable(std::string_view name, std::string_view owner) {
    Error err;
    return removeImpl(name, owner, err);
}

int copyTable(std::string_view from, std::string_view to, std::string_view owner) {
    Error err;
    return copyImpl(from, to, owner, true, err);
}

int renameTable(std::string_view from, std::string_view to, std::string_view owner) {
    Error err;
    TableName src = splitTableName(from);
    TableName dst = splitTableName(to);
    Held h;
    CatalogueEntry entry;
    ShareLock lock;
    int rc = takeExclusively(src, from, owner, h, entry, lock, err);
    if (rc != kNoError) return rc;

    if (absolutePath(dst.file) != h.c->path) {
        if (int moved = moveWholeFile(h, entry, lock, dst, owner, err); moved != kNotMoved)
            return moved;
        if (!h.c) {
            if (int rc2 = acquireConnection(src.file, owner, &h.c, err)) return rc2;
        }
        if (!lock.held() && lock.acquire(h.c->path, entry.name, kReadWrite | kDenyAll, 0))
            return fail(err, kAccessDenied, std::string(from));
        // Into another file: copy, then remove the original; a failed removal takes
        // the copy back so that the table exists exactly once.
        if (int copied = copyImpl(from, to, owner, false, err)) return copied;
        lock.release();
        releaseConnection(h.c);  // so that a file left without tables can simply go
        h.c = nullptr;
        if (int removed = removeImpl(from, owner, err)) {
            Error ignored;
            removeImpl(to, owner, ignored);
            setLastError(err);
            return removed;
        }
        return succeed(err);
    }
    ShareLock dstLock;
    if (dstLock.acquire(h.c->path, dst.table, kReadWrite | kDenyAll, 0))
        return fail(err, kAccessDenied, std::string(to));
    CatalogueEntry clash;
    if (findTable(h.c->db, dst.table, clash) == SQLITE_OK && clash.id != entry.id)
        return fail(err, kAccessDenied, std::string(to));
    Stmt up(h.c->db, std::string("UPDATE ") + kCatalogue + " SET name = ? WHERE id = ?;");
    if (!up.ok()) return failSql(err, h.c->db, std::string(from));
    up.bindText(1, dst.table);
    up.bindInt(2, entry.id);
    if (up.step() != SQLITE_DONE) return failSql(err, h.c->db, std::string(from));
    return succeed(err);
}

}  // namespace corvix::storage
