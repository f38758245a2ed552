// Pieces shared by the SQLCipher driver's source files; not part of the module's interface.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/storage/declaration.h"
#include "platform/storage/errors.h"
#include "platform/storage/record.h"
#include "platform/storage/table.h"

namespace corvix::storage::detail {

// ---- errors ------------------------------------------------------------------------------

// Fills e (and the thread's last error) and returns code.
int fail(Error& e, int code, std::string file, int driverCode = 0, std::string driverText = {});
int failSql(Error& e, sqlite3* db, std::string file);  // 90 with SQLite's code and message
int succeed(Error& e);
// The flat-file drivers' failures: a system error number mapped to the runtime's code
// (missing -> file not found, refused -> access denied, else a driver error), and a failure
// carrying the system's number and text beside the code.
int codeForSystemError(int sysError);
int fileFailure(const std::string& file, int code, int sysError = 0);

// ---- statements --------------------------------------------------------------------------

struct Connection;

class Stmt {
  public:
    Stmt(sqlite3* db, std::string_view sql);
    // A statement kept prepared on the connection for the next use of the same SQL.
    Stmt(Connection* c, const std::string& sql);
    ~Stmt();
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    bool ok() const { return stmt_ != nullptr; }
    int prepareCode() const { return prepareCode_; }
    sqlite3_stmt* get() const { return stmt_; }
    void bind(int index, const Scalar& value);
    // Binds without a copy: the value must stay unchanged until the statement is reset.
    void bindStatic(int index, const Scalar& value);
    void bindInt(int index, int64_t value) { sqlite3_bind_int64(stmt_, index, value); }
    void bindText(int index, std::string_view text);
    void bindBlob(int index, const void* data, size_t size);
    // Binds without a copy: the bytes must stay unchanged until the statement is reset.
    void bindBlobNoCopy(int index, const void* data, size_t size) {
        sqlite3_bind_blob64(stmt_, index, data, size, SQLITE_STATIC);
    }
    int step() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_MISUSE; }
    void reset() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    int64_t columnInt(int c) const { return sqlite3_column_int64(stmt_, c); }
    std::string columnText(int c) const;
    Scalar column(int c, FieldType type) const;

  private:
    sqlite3_stmt* stmt_ = nullptr;
    int prepareCode_ = SQLITE_OK;
    bool cached_ = false;
};

// Runs SQL without results; SQLITE_OK or the error code.
int exec(sqlite3* db, std::string_view sql);
std::string quoteIdent(std::string_view name);  // "name" with " doubled
std::string quoteLiteral(std::string_view text);

// ---- connections -------------------------------------------------------------------------

constexpr const char* kCollation = "CVNOCASE";
// The page cache of a connection (KiB), and while keys are built (see deferred_keys.cpp).
constexpr int kCacheKib = 32 * 1024;
constexpr int kBuildCacheKib = 128 * 1024;

struct Connection {
    std::string path;  // absolute path of the physical file
    sqlite3* db = nullptr;
    std::string keyHex;  // derived key, empty for a plain file
    int refs = 0;
    uint64_t generation = 0;  // bumped by every change made through this connection
    bool inTransaction = false;
    int busyMillis = 10000;
    std::unordered_map<std::string, sqlite3_stmt*> statements;  // prepared once, reused
    // Commits of every process on the file, counted in the lock file's first page
    // (commit_counter.cpp); nullptr where it cannot be mapped.
    void* commitPage = nullptr;
    uint64_t* commits = nullptr;
    bool commitsWritable = false;
    size_t newChunkSize = 0;  // of new BLOBs in this file, once known (table_blob.cpp)
};

// The shared commit counter of the file: mapped with the connection, let go with it.
void mapCommitCounter(Connection* c);
void unmapCommitCounter(Connection* c);
uint64_t commitCount(const Connection* c);  // only where c->commits is mapped
// After a change through this connection (a commit, or a change outside transactions):
// this connection's generation and the shared counter move on.
void noteChange(Connection* c);

std::string absolutePath(const std::string& file);
std::string deriveKeyHex(std::string_view owner);  // 64 hex digits; "" without an owner
// Opens (or shares) the connection of an existing physical file and checks that it
// is one of this driver's files readable with the owner password. create: make a new,
// empty file (the caller fills it and calls discardConnection on failure).
int acquireConnection(const std::string& file, std::string_view owner, Connection** out,
                      Error& err);
void releaseConnection(Connection* c);
void retainConnection(Connection* c);
// Sets up a fresh database handle: key, cipher parameters, collation.
int configureHandle(sqlite3* db, const std::string& keyHex, std::string* why,
                    uint32_t pageSize = kDefaultPageSize);

// Makes the process's OpenSSL offer only the algorithms of the vault's format (the
// default provider's own implementations), so that the first use builds nothing else.
// Before the first key; false when OpenSSL keeps its usual default provider.
bool offerFormatAlgorithmsOnly();

// The name of the file system layer that writes large-page files' pages from a thread of
// its own (write_behind.cpp); registered with SQLite on first use.
const char* writeBehindVfs();
// The same layer encrypting the pages itself, for a connection without a key
// (sealing.cpp). Its database file reads and writes nothing until it is given the file's
// raw key with this file control (SQLite passes codes it does not know to the layer).
const char* sealingVfs();
constexpr int kSealingKeyControl = 0x43560001;
struct SealingKey {
    unsigned char bytes[32];
    size_t pageSize;
};
// Whether the file (an absolute path) is to be opened for sealing, and that opening.
bool sealingRequested(const std::string& path);
int openForSealing(const std::string& path, const std::string& keyHex, sqlite3** db,
                   std::string* why);

// The SQL functions filter conditions may use (cv_upper: the program's upper case).
void registerFilterFunctions(sqlite3* db);

// Runs one statement kept prepared on the connection (transaction control and the
// like, run far too often to be parsed each time); SQLITE_OK or the error code.
int run(Connection* c, const std::string& sql);

// A write section: BEGIN IMMEDIATE outside a transaction, a savepoint inside one.
// A section of one statement needs no savepoint inside a transaction: SQLite undoes a
// failed statement by itself, so begin(true) then opens nothing there.
class WriteScope {
  public:
    explicit WriteScope(Connection* c);
    ~WriteScope();                            // rolls back unless committed
    int begin(bool singleStatement = false);  // SQLite code
    int commit();

  private:
    Connection* c_;
    bool nested_ = false;
    bool open_ = false;
    bool bare_ = false;  // inside a transaction, without a savepoint
};

// ---- file size (free_pages.cpp) ----

// New files: free pages can be given back (before the first table is made).
int useIncrementalVacuum(sqlite3* db);
// When a file's last handle goes: returns free pages to the file system when they are
// many, without waiting for another process.
void giveBackFreePages(sqlite3* db);

// ---- catalogue ---------------------------------------------------------------------------

constexpr const char* kCatalogue = "corvix_catalogue";

struct CatalogueEntry {
    std::string name;  // as created
    int64_t id = 0;
    TableDecl decl;
};

std::string serialiseDecl(const TableDecl& d);
bool parseDecl(std::string_view text, TableDecl& out);
std::string dataTable(int64_t id);  // "d<id>"
std::string blobTable(int64_t id);  // "b<id>"

bool hasCatalogue(sqlite3* db);
int createCatalogue(sqlite3* db);
// Finds a table by name (no case). "" also finds the only table of a file.
int findTable(sqlite3* db, std::string_view name, CatalogueEntry& out);  // SQLITE_OK/NOTFOUND
int listTables(sqlite3* db, std::vector<CatalogueEntry>& out);
// Creates the SQL tables and indexes of decl under a new catalogue entry.
int createTableIn(sqlite3* db, std::string_view name, const TableDecl& decl, int64_t* id);
int dropTableIn(sqlite3* db, const CatalogueEntry& e);

// SQL shape of a declaration: one column per field element.
struct Shape {
    std::vector<std::string> columns;  // quoted column names, one per slot
    std::vector<FieldType> types;      // per slot
    std::vector<uint32_t> first;       // first slot of each field
    struct Key {
        std::vector<int> cells;
        std::vector<std::string> terms;  // column with its collation
        std::string optionalCondition;   // "" unless optional
        bool unique = false;
        std::string name;
    };
    std::vector<Key> keys;
    explicit Shape(const TableDecl& d);
    std::string selectList() const;  // rowid, every column
};

// Key indexes: their SQL, and the first key whose index is missing (-1 when none is).
std::string indexName(int64_t id, size_t key);
std::string indexSql(const Shape& shape, int64_t id, size_t key, bool ifMissing);
int missingIndex(sqlite3* db, const Shape& shape, int64_t id);
bool indexExists(sqlite3* db, const std::string& index);

// The record's values as stored; *normalised (when given) tells whether any of them had
// to be cut or brought into range on the way.
std::vector<Scalar> readSlots(const Shape& s, const TableDecl& d, const RecordBuffer& r,
                              bool* normalised = nullptr);
void writeSlots(const Shape& s, const TableDecl& d, const std::vector<Scalar>& cells,
                RecordBuffer& r);
bool isBlank(const Scalar& v);
bool sameValue(const Scalar& a, const Scalar& b);

// ---- share locks -------------------------------------------------------------------------

// An open's access and share bits, held as open-file-description locks on a lock file
// beside the data file, so that other opens in this and other processes see them.
class ShareLock {
  public:
    ShareLock() = default;
    ~ShareLock() { release(); }
    ShareLock(const ShareLock&) = delete;
    ShareLock& operator=(const ShareLock&) = delete;
    // 0, or 5 when another open's access or sharing conflicts (after waiting up to
    // waitSeconds for it to go away).
    int acquire(const std::string& dataPath, std::string_view table, int mode, int waitSeconds);
    // The same on the bytes of a given file (a raw file locks itself; a database file
    // must not be opened a second time, so tables use a lock file beside it).
    int acquireAt(const std::string& lockFile, bool createLockFile, std::string_view table,
                  int mode, int waitSeconds);
    void release();
    bool held() const { return fd_ >= 0; }

  private:
    int fd_ = -1;
};

// Whether any open of any table of the file exists (in any process).
bool fileInUse(const std::string& dataPath);
// A byte of the lock file per table, held exclusively by the handle that has deferred the
// table's keys for as long as they are deferred: an open tells a live load from a dead
// one by it. The descriptor holding it, or -1 where there is no lock file to hold.
int lockDeferredKeys(const std::string& dataPath, int64_t tableId);
bool deferredKeysHeld(const std::string& dataPath, int64_t tableId);

// ---- deferred keys (deferred_keys.cpp) ----

// At an open that finds key indexes missing: true when the open may go on, because a
// live load has deferred them, or a load that died had, and they are now built again.
bool settleDeferredKeys(Connection* c, int64_t tableId, const Shape& shape);
// Inside a write section that built every key of the table: it is whole again.
int clearDeferredMarker(sqlite3* db, int64_t tableId);
std::string lockPath(const std::string& dataPath);

// ---- blobs -------------------------------------------------------------------------------

// The chunk size of BLOBs in files of the usual pages (and of every large-page file made
// before chunks were fitted to their pages: a BLOB keeps the size of its first chunk).
constexpr size_t kChunkSize = 64 * 1024;
int copyRows(sqlite3* from, const CatalogueEntry& src, sqlite3* to, int64_t toId,
             const TableDecl& decl);

}  // namespace corvix::storage::detail

namespace corvix::storage {

// Overwrites a text value's bytes (its whole buffer) before it is replaced or freed: a
// record may hold a password.
void wipe(Scalar& value);
// The same for every cell of a row, which is then emptied.
void wipeCells(std::vector<Scalar>& cells);

struct Table::Impl {
    const TableDecl* decl = nullptr;
    std::string name;
    std::string owner;
    bool ownerSet = false;

    detail::Connection* conn = nullptr;
    int64_t id = 0;
    std::string data;   // quoted SQL name of the data table
    std::string blobs;  // quoted SQL name of the chunk table
    int mode = 0;
    std::unique_ptr<detail::Shape> shape;
    detail::ShareLock lock;
    int recoverSeconds = 0;
    bool streaming = false;
    bool skipKeyCheck = false;  // buildKeys opens a table whose keys are missing
    bool keysSetAside = false;  // append() dropped the key indexes; buildKeys remakes them
    int deferredLock = -1;      // deferKeys(): the lock that says this load is alive
    // The SQL of the writes, made once per open: every add/put/erase reuses the
    // statements prepared for it on the connection.
    struct WriteSql {
        std::string insert, update, row, erase, eraseChunks;
        std::vector<std::string> uniqueCheck;  // per key; "" for a key that is not unique
    } sql;
    Error err;

    // Reading order and place.
    enum class Place { Start, End, BeforeFirst, From, After };
    int order = kPhysicalOrder;
    Place place = Place::Start;
    std::vector<Scalar> fromValues;  // key values of setFrom / reset
    int64_t fromRow = 0;             // with reset(): the record itself, 0 otherwise
    std::vector<Scalar> at;          // key values of the last record read in order
    int64_t atRow = 0;
    std::string filter;
    std::vector<Scalar> filterParams;  // bound to the filter's "?" in order
    // Rows read ahead in the reading direction.
    std::vector<std::pair<int64_t, std::vector<Scalar>>> batch;
    size_t batchPos = 0;
    size_t batchRows = 0;     // how many the last batch asked for
    size_t expectedRows = 0;  // expectRows() since the last set*/reset; 0 = not said
    bool batchForward = true;
    uint64_t batchGeneration = 0;
    int64_t batchDataVersion = 0;  // commits of every process (see dataVersion())

    // The records a filter lets through, listed in a key's order when that is cheaper
    // than walking the key (table_matches.cpp); valid for one order, generation and
    // commit count.
    struct Matches {
        enum class State { Unknown, Listed, Walk } state = State::Unknown;
        int order = kPhysicalOrder;
        uint64_t generation = 0;
        int64_t dataVersion = 0;
        std::vector<std::pair<std::vector<Scalar>, int64_t>> rows;  // key values, row id
    } matches;

    // The chunk size of a BLOB of two chunks or more, read while dataVersion() was
    // `version` (table_blob.cpp).
    struct BlobChunks {
        int64_t rid = 0;
        int blob = -1;
        size_t size = 0;
        int64_t version = -1;
    } blobChunks;

    // The record last read or added, as it was read: rewrites check it still is.
    int64_t current = 0;
    std::vector<Scalar> snapshot;

    bool isOpen() const { return conn != nullptr; }
    bool canWrite() const { return (mode & kAccessMask) != kReadOnly; }
    const std::string& fileName() const { return name; }
    const std::string& shownName() const { return name.empty() ? decl->name : name; }
    int notOpen();
    int64_t dataVersion();
    void resetReading();
    bool validKey(int key) const;
    int fetchBatch(bool forward);
    // Fills the batch from the listed matches (listed = true), or leaves it to the walk.
    int readMatches(bool forward, bool& listed);
    int listMatches();
    void clearMatches();
    int compareMatch(const std::pair<std::vector<Scalar>, int64_t>& m,
                     const std::vector<Scalar>& values, int64_t row) const;
    void take(size_t index, RecordBuffer& into);
    int read(bool forward, RecordBuffer& into);
    // The record last read is kept to check rewrites against, and rows are read ahead:
    // either may hold a password, so their texts are overwritten before they go.
    void keepSnapshot(std::vector<Scalar>&& cells) {
        wipeCells(snapshot);
        snapshot = std::move(cells);
    }
    void clearBatch() {
        for (auto& row : batch) wipeCells(row.second);
        batch.clear();
    }
    std::vector<Scalar> keyValues(int key, const std::vector<Scalar>& cells) const;
    void makeWriteSql();
    int insert(std::vector<Scalar>& cells);
    int setKeysAside();
};

}  // namespace corvix::storage
