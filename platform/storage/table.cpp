// Table handles: create, open and close, driver strings and whole-table maintenance.
#include "platform/storage/table.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sodium.h>

#include <cerrno>
#include <cstring>

#include "platform/storage/internal.h"

namespace corvix::storage {

using namespace detail;

namespace {

// 88 when only the length of a key differs, 47 for any other difference.
int mismatchCode(const TableDecl& stored, const TableDecl& given) {
    TableDecl a = stored, b = given;
    a.keys.clear();
    b.keys.clear();
    if (!a.sameStructure(b) || stored.keys.size() != given.keys.size()) return kRecordMismatch;
    for (size_t k = 0; k < stored.keys.size(); ++k) {
        auto width = [](const TableDecl& d, const KeyDecl& key) {
            uint32_t w = 0;
            for (int c : key.components)
                if (c >= 0 && static_cast<size_t>(c) < d.fields.size()) w += d.fields[c].width();
            return w;
        };
        if (width(stored, stored.keys[k]) != width(given, given.keys[k])) return kKeyLengthMismatch;
    }
    return kRecordMismatch;
}

bool fileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

void removeFileAndJournal(const std::string& path) {
    ::unlink(path.c_str());
    ::unlink((path + "-journal").c_str());
}

// A new file is built under a temporary name and moved into place only when complete,
// so that a failure never leaves a half-written file behind.
int createNewFile(const std::string& path, const std::string& table, const TableDecl& decl,
                  const std::string& keyHex, Error& err, const std::string& shownName) {
    std::string temp = path + ".new-" + std::to_string(::getpid());
    removeFileAndJournal(temp);
    int fd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        int e = errno;
        int code = e == EACCES || e == EPERM || e == EROFS ? kAccessDenied
                   : e == ENOENT || e == ENOTDIR           ? kPathNotFound
                                                           : kDriverError;
        return fail(err, code, shownName, e, std::strerror(e));
    }
    ::close(fd);
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(temp.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    std::string why;
    if (rc == SQLITE_OK) {
        const uint32_t pageSize = decl.pageSize ? decl.pageSize : kDefaultPageSize;
        if (keyHex.empty()) rc = exec(db, "PRAGMA page_size = " + std::to_string(pageSize) + ";");
        if (rc == SQLITE_OK) rc = configureHandle(db, keyHex, &why, pageSize);
        // A file being sealed is made durable once, before it takes its own name.
        if (rc == SQLITE_OK && sealingRequested(absolutePath(path)))
            rc = exec(db, "PRAGMA synchronous = OFF;");
        if (rc == SQLITE_OK) rc = useIncrementalVacuum(db);
    }
    if (rc == SQLITE_OK) rc = exec(db, "BEGIN IMMEDIATE;");
    if (rc == SQLITE_OK) rc = createCatalogue(db);
    if (rc == SQLITE_OK) rc = createTableIn(db, table, decl, nullptr);
    if (rc == SQLITE_OK) rc = exec(db, "COMMIT;");
    if (rc != SQLITE_OK) {
        if (why.empty()) why = db ? sqlite3_errmsg(db) : "cannot create";
        sqlite3_close_v2(db);
        removeFileAndJournal(temp);
        return fail(err, kDriverError, shownName, rc, why);
    }
    sqlite3_close_v2(db);
    // link() refuses to replace a file another process made meanwhile.
    if (::link(temp.c_str(), path.c_str()) != 0) {
        int e = errno;
        removeFileAndJournal(temp);
        return fail(err, e == EEXIST ? kAccessDenied : kDriverError, shownName, e,
                    std::strerror(e));
    }
    ::unlink(temp.c_str());
    return succeed(err);
}

}  // namespace

int Table::Impl::notOpen() {
    return fail(err, kFileNotOpen, name);
}

void Table::Impl::resetReading() {
    order = kPhysicalOrder;
    place = Place::Start;
    fromValues.clear();
    at.clear();
    atRow = 0;
    clearBatch();
    batchPos = 0;
    expectedRows = 0;
}

Table::Table(const TableDecl& decl) : impl_(std::make_unique<Impl>()) {
    impl_->decl = &decl;
}

Table::~Table() {
    close();
}

const TableDecl& Table::decl() const {
    return *impl_->decl;
}

void Table::setName(std::string name) {
    impl_->name = std::move(name);
}

void Table::setOwner(std::string owner) {
    impl_->owner = std::move(owner);
    impl_->ownerSet = true;
}

const std::string& Table::name() const {
    return impl_->name.empty() ? impl_->decl->name : impl_->name;
}

const std::string& Table::owner() const {
    return impl_->ownerSet ? impl_->owner : impl_->decl->owner;
}

const Error& Table::error() const {
    return impl_->err;
}

bool Table::isOpen() const {
    return impl_->isOpen();
}

int Table::mode() const {
    return impl_->mode;
}

// How long a create waits for another process that is making the same table.
constexpr int kCreateWaitSeconds = 10;

int Table::create() {
    return makeTable(false);
}

int Table::createIfMissing() {
    return makeTable(true);
}

int Table::makeTable(bool keepExisting) {
    Impl& d = *impl_;
    std::string shown = name();
    TableName tn = splitTableName(shown);
    std::string path = absolutePath(tn.file);
    const std::string& owner = d.ownerSet ? d.owner : d.decl->owner;

    // A table that does not exist yet may be in the making by another process (two first
    // starts at once): wait for that creator, then keep what it made. Re-creating a table
    // that exists is refused at once while anybody has it open.
    const bool hadTable = fileExists(path) && tableExists(shown, owner);
    if (hadTable && keepExisting) return succeed(d.err);
    ShareLock exclusive;
    if (exclusive.acquire(path, tn.table, kReadWrite | kDenyAll,
                          hadTable ? 0 : kCreateWaitSeconds) != kNoError)
        return fail(d.err, kAccessDenied, shown);
    if (!fileExists(path)) {
        std::string reason;
        if (!verifyCipherLibrary(&reason))  // also readies libsodium
            return fail(d.err, kDriverError, shown, SQLITE_ERROR, reason);
        std::string keyHex = deriveKeyHex(owner);
        int rc = createNewFile(path, tn.table, *d.decl, keyHex, d.err, shown);
        sodium_memzero(keyHex.data(), keyHex.size());
        // Another process made the file meanwhile (with another table of it): the table
        // goes into that file below.
        if (rc != kAccessDenied || d.err.driverCode != EEXIST) return rc;
    }
    Connection* c = nullptr;
    if (int rc = acquireConnection(tn.file, owner, &c, d.err)) return rc;
    int result = kNoError;
    {
        WriteScope w(c);
        int rc = w.begin();
        CatalogueEntry old;
        if (rc == SQLITE_OK) {
            // Creating a table that exists makes it anew, empty.
            int found = findTable(c->db, tn.table, old);
            if (found == SQLITE_OK && old.name.size() == tn.table.size())
                rc = hadTable && !keepExisting ? dropTableIn(c->db, old)
                                               : SQLITE_DONE;  // DONE: made meanwhile
            else if (found != SQLITE_OK && found != SQLITE_NOTFOUND)
                rc = found;
        }
        if (rc == SQLITE_OK) rc = createTableIn(c->db, tn.table, *d.decl, nullptr);
        if (rc == SQLITE_DONE) rc = SQLITE_OK;
        if (rc == SQLITE_OK) rc = w.commit();
        result = rc == SQLITE_OK ? succeed(d.err) : failSql(d.err, c->db, shown);
    }
    releaseConnection(c);
    return result;
}

int Table::open(int mode) {
    Impl& d = *impl_;
    std::string shown = name();
    if (d.isOpen()) return fail(d.err, kAlreadyOpen, shown);
    TableName tn = splitTableName(shown);
    std::string path = absolutePath(tn.file);
    const std::string& owner = d.ownerSet ? d.owner : d.decl->owner;
    int wait = d.recoverSeconds;
    d.recoverSeconds = 0;

    // Writing needs the file and its folder (for the journal) writable.
    bool writes = (mode & kAccessMask) != kReadOnly;
    if (writes && fileExists(path)) {
        std::string folder = path.substr(0, path.find_last_of('/') + 1);
        if (::access(path.c_str(), W_OK) != 0 || ::access(folder.c_str(), W_OK) != 0)
            return fail(d.err, kAccessDenied, shown, errno, std::strerror(errno));
    }

    Connection* c = nullptr;
    if (int rc = acquireConnection(tn.file, owner, &c, d.err)) return rc;
    CatalogueEntry entry;
    int rc = findTable(c->db, tn.table, entry);
    if (rc != SQLITE_OK) {
        int code = rc == SQLITE_NOTFOUND ? fail(d.err, kFileNotFound, shown)
                                         : failSql(d.err, c->db, shown);
        if (rc != SQLITE_NOTFOUND && d.err.driverCode == 0) d.err.driverCode = rc;
        releaseConnection(c);
        return code;
    }
    if (!entry.decl.sameStructure(*d.decl)) {
        releaseConnection(c);
        return fail(d.err, mismatchCode(entry.decl, *d.decl), shown);
    }
    if (!d.skipKeyCheck && missingIndex(c->db, Shape(*d.decl), entry.id) >= 0 &&
        !settleDeferredKeys(c, entry.id, Shape(*d.decl))) {
        releaseConnection(c);
        return fail(d.err, kBadKey, shown);
    }
    if (d.lock.acquire(c->path, entry.name, mode, wait) != kNoError) {
        releaseConnection(c);
        return fail(d.err, kAccessDenied, shown);
    }
    d.conn = c;
    d.id = entry.id;
    d.data = dataTable(entry.id);
    d.blobs = blobTable(entry.id);
    d.mode = mode;
    d.shape = std::make_unique<Shape>(*d.decl);
    d.makeWriteSql();
    d.keysSetAside = false;
    d.filter.clear();
    d.filterParams.clear();
    d.clearMatches();
    d.resetReading();
    d.current = 0;
    wipeCells(d.snapshot);
    d.err.file = shown;
    return succeed(d.err);
}

void Table::close() {
    Impl& d = *impl_;
    if (!d.isOpen()) return;
    flush();
    restoreKeys();
    d.lock.release();
    releaseConnection(d.conn);
    d.conn = nullptr;
    d.shape.reset();
    d.resetReading();
    d.current = 0;
    wipeCells(d.snapshot);
    d.filter.clear();
    d.filterParams.clear();
}

int Table::sendDriverString(std::string_view text) {
    Impl& d = *impl_;
    std::string s(text);
    size_t eq = s.find('=');
    std::string option = s.substr(0, eq);
    for (char& ch : option) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    // Waiting for a locked file is this driver's form of lock recovery: the next open
    // waits up to that many seconds for conflicting opens to go away.
    if (option == "RECOVER" && eq != std::string::npos)
        d.recoverSeconds = std::max(0, std::atoi(s.c_str() + eq + 1));
    // FULLBUILD, IGNORESTATUS, QUICKSCAN and the like have no meaning here.
    return succeed(d.err);
}

int Table::stream() {
    Impl& d = *impl_;
    if (!d.isOpen()) return d.notOpen();
    if (!d.canWrite()) return fail(d.err, kAccessDenied, name());
    if (d.streaming || d.conn->inTransaction) return succeed(d.err);
    if (exec(d.conn->db, "BEGIN IMMEDIATE;") != SQLITE_OK)
        return failSql(d.err, d.conn->db, name());
    d.conn->inTransaction = true;
    d.streaming = true;
    return succeed(d.err);
}

int Table::flush() {
    Impl& d = *impl_;
    if (!d.isOpen()) return d.notOpen();
    if (!d.streaming) return succeed(d.err);
    if (exec(d.conn->db, "COMMIT;") != SQLITE_OK) {
        // A commit that failed (a full disk) leaves nothing half done: the streamed
        // writes are undone and the caller learns why.
        int code = failSql(d.err, d.conn->db, name());
        if (!sqlite3_get_autocommit(d.conn->db)) exec(d.conn->db, "ROLLBACK;");
        d.streaming = false;
        d.conn->inTransaction = false;
        ++d.conn->generation;
        return code;
    }
    d.streaming = false;
    d.conn->inTransaction = false;
    noteChange(d.conn);
    return succeed(d.err);
}

int64_t Table::records() {
    Impl& d = *impl_;
    if (!d.isOpen()) {
        d.notOpen();
        return -1;
    }
    Stmt st(d.conn->db, "SELECT count(*) FROM " + d.data + ";");
    if (!st.ok() || st.step() != SQLITE_ROW) {
        failSql(d.err, d.conn->db, name());
        return -1;
    }
    succeed(d.err);
    return st.columnInt(0);
}

int Table::buildKeys() {
    Impl& d = *impl_;
    // On a closed table (one that gave 46 on opening) the build opens it exclusively.
    bool opened = false;
    if (!d.isOpen()) {
        d.skipKeyCheck = true;
        int rc = open(kReadWrite | kDenyAll);
        d.skipKeyCheck = false;
        if (rc) return rc;
        opened = true;
    }
    int result = kNoError;
    if (!d.canWrite()) {
        result = fail(d.err, kAccessDenied, name());
    } else {
        // Missing indexes are made; those in place are rebuilt, unless they are the
        // unique keys that append() kept up to date. Rebuilding one just made would only
        // do the same work twice.
        WriteScope w(d.conn);
        int rc = w.begin();
        for (size_t k = 0; rc == SQLITE_OK && k < d.shape->keys.size(); ++k) {
            if (d.shape->keys[k].terms.empty()) continue;
            std::string index = indexName(d.id, k);
            if (!indexExists(d.conn->db, index))
                rc = exec(d.conn->db, indexSql(*d.shape, d.id, k, false));
            else if (!d.keysSetAside)
                rc = exec(d.conn->db, "REINDEX " + index + ";");
            if ((rc & 0xFF) == SQLITE_CONSTRAINT) {
                // The records hold duplicates of a unique key: it cannot be built.
                result = fail(d.err, kDuplicateKey, name());
                d.err.key = d.decl->keys[k].name;
                setLastError(d.err);
                break;
            }
        }
        if (result == kNoError) {
            if (rc == SQLITE_OK) rc = clearDeferredMarker(d.conn->db, d.id);
            if (rc == SQLITE_OK) rc = w.commit();
            result = rc == SQLITE_OK ? succeed(d.err) : failSql(d.err, d.conn->db, name());
            if (result == kNoError) d.keysSetAside = false;
            if (result == kNoError && d.deferredLock >= 0) {
                ::close(d.deferredLock);  // the keys are whole: no load to restore them
                d.deferredLock = -1;
            }
        }
    }
    if (opened) {
        Error keep = d.err;
        close();
        d.err = keep;
    }
    return result;
}

int Table::pack() {
    Impl& d = *impl_;
    if (!d.isOpen()) return d.notOpen();
    if (!d.canWrite()) return fail(d.err, kAccessDenied, name());
    // Compacting rewrites the whole physical file; record numbers (row ids) survive.
    if (d.conn->inTransaction) return fail(d.err, kAccessDenied, name());
    // Older files take the incremental auto-vacuum of new ones on the way.
    useIncrementalVacuum(d.conn->db);
    if (exec(d.conn->db, "VACUUM;") != SQLITE_OK) return failSql(d.err, d.conn->db, name());
    noteChange(d.conn);
    return succeed(d.err);
}

int Table::release() {
    Impl& d = *impl_;
    if (!d.isOpen()) return d.notOpen();
    // Records are never held by this driver, so there is nothing to release.
    return succeed(d.err);
}

std::string Table::columnName(const FieldDecl& field, uint32_t element) {
    std::string n = field.name;
    if (field.elements() > 1 || !field.dims.empty()) {
        std::vector<uint32_t> idx(field.dims.size());
        uint32_t rest = element;
        for (size_t i = field.dims.size(); i-- > 0;) {
            uint32_t dim = std::max<uint32_t>(field.dims[i], 1);
            idx[i] = rest % dim + 1;
            rest /= dim;
        }
        n += "[";
        for (size_t i = 0; i < idx.size(); ++i) n += (i ? "," : "") + std::to_string(idx[i]);
        n += "]";
    }
    return quoteIdent(n);
}

}  // namespace corvix::storage
