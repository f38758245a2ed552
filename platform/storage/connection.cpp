// One SQLCipher connection per physical file per process, shared by every table handle
// of that file; owner passwords become raw keys so that opening costs no key stretching.
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <mutex>

#include "platform/storage/internal.h"
#include "runtime/collate.h"

namespace corvix::storage::detail {

namespace {

std::mutex gRegistryMutex;
// Never destroyed: a table held by a static object (the upgrade library keeps its own
// open) may be closed while the process ends, after this file's statics would be gone.
std::map<std::string, std::unique_ptr<Connection>>& registry() {
    static auto* r = new std::map<std::string, std::unique_ptr<Connection>>;
    return *r;
}

// Key order: the one comparison of the whole program (runtime/collate.h).
int compareNoCase(void*, int lenA, const void* a, int lenB, const void* b) {
    return runtime::compareNoCase(
        std::string_view(static_cast<const char*>(a), static_cast<size_t>(lenA)),
        std::string_view(static_cast<const char*>(b), static_cast<size_t>(lenB)));
}

}  // namespace

std::string absolutePath(const std::string& file) {
    if (!file.empty() && file[0] == '/') return file;
    char buf[4096];
    if (!getcwd(buf, sizeof buf)) return file;
    return std::string(buf) + "/" + file;
}

std::string deriveKeyHex(std::string_view owner) {
    // Trailing blanks are never significant, so a blank-padded owner password is the same
    // password, and an all-blank one means no encryption.
    while (!owner.empty() && owner.back() == ' ') owner.remove_suffix(1);
    if (owner.empty()) return {};
    // A fixed context keys the hash, so the raw key is this driver's own; a keyed
    // BLAKE2b is fast enough that no caching of passwords is needed.
    static const unsigned char context[32] = "corvix table owner key, v1";
    unsigned char key[32];
    crypto_generichash(key, sizeof key, reinterpret_cast<const unsigned char*>(owner.data()),
                       owner.size(), context, sizeof context);
    char hex[65];
    sodium_bin2hex(hex, sizeof hex, key, sizeof key);
    sodium_memzero(key, sizeof key);
    std::string out(hex, 64);
    sodium_memzero(hex, sizeof hex);
    return out;
}

int configureHandle(sqlite3* db, const std::string& keyHex, std::string* why, uint32_t pageSize) {
    if (!keyHex.empty()) {
        std::string pragma = "PRAGMA key = \"x'" + keyHex + "'\";";
        int rc = exec(db, pragma);
        sodium_memzero(pragma.data(), pragma.size());
        if (rc != SQLITE_OK) return rc;
        // Explicit parameters, so that later SQLCipher versions read the files in
        // their version-3 compatibility mode.
        const std::string pages = "PRAGMA cipher_page_size = " + std::to_string(pageSize) + ";";
        for (const char* p : {pages.c_str(), "PRAGMA kdf_iter = 64000;",
                              "PRAGMA fast_kdf_iter = 2;", "PRAGMA cipher_use_hmac = ON;"}) {
            rc = exec(db, p);
            if (rc != SQLITE_OK) return rc;
        }
    }
    sqlite3_create_collation(db, kCollation, SQLITE_UTF8, nullptr, compareNoCase);
    registerFilterFunctions(db);
    sqlite3_busy_timeout(db, 10000);
    // Every page read from disk is decrypted and checked, so a page cache that holds
    // the indexes of a large table saves most of the work. Pages are taken as needed.
    exec(db, "PRAGMA cache_size = -" + std::to_string(kCacheKib) + ";");
    // Large-page files hold one long BLOB, streamed through: a smaller cache keeps each
    // page in the processor's caches between being filled and being encrypted, and takes
    // fewer fresh memory pages (about a tenth less work per byte sealed). Below about
    // 4 MB the pages a chunk's insert needs no longer stay, and sealing costs double.
    if (pageSize == kLargePageSize) exec(db, "PRAGMA cache_size = -8192;");
    // Sorts and temporary tables stay in memory: on disk they would be plain text.
    exec(db, "PRAGMA temp_store = MEMORY;");
    // A commit ends by removing the rollback journal. Until that removal reaches the disk
    // a power cut brings the journal back, and the next open rolls the committed change
    // back: a record the command reported added would be gone. The folder is synced
    // after the removal (one more sync per commit, about half a millisecond), so that a
    // change reported done survives.
    exec(db, "PRAGMA synchronous = EXTRA;");
    // The first read proves the key (a wrong one makes the file "not a database").
    int rc = exec(db, "SELECT count(*) FROM sqlite_master;");
    if (rc != SQLITE_OK && why) *why = sqlite3_errmsg(db);
    return rc;
}

namespace {

// An encrypted file does not say its page size before it is decrypted, so a file whose
// size allows large pages and that does not read with the usual ones is tried with them.
// A wrong key fails both ways.
int openEncrypted(const std::string& path, const std::string& keyHex, off_t size, sqlite3** db,
                  std::string* reason) {
    auto attempt = [&](uint32_t pageSize) {
        // Large-page files take long streams of new pages, written from a thread of their own.
        int rc = sqlite3_open_v2(path.c_str(), db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX,
                                 pageSize == kLargePageSize ? writeBehindVfs() : nullptr);
        if (rc == SQLITE_OK) rc = configureHandle(*db, keyHex, reason, pageSize);
        return rc;
    };
    int rc = attempt(kDefaultPageSize);
    if (rc == SQLITE_NOTADB && !keyHex.empty() && size > 0 && size % kLargePageSize == 0) {
        sqlite3_close_v2(*db);
        *db = nullptr;
        reason->clear();
        rc = attempt(kLargePageSize);
    }
    return rc;
}

}  // namespace

int acquireConnection(const std::string& file, std::string_view owner, Connection** out,
                      Error& err) {
    *out = nullptr;
    std::string reason;
    if (!verifyCipherLibrary(&reason)) return fail(err, kDriverError, file, SQLITE_ERROR, reason);
    std::string path = absolutePath(file);
    std::string keyHex = deriveKeyHex(owner);
    std::lock_guard<std::mutex> guard(gRegistryMutex);
    auto& reg = registry();
    auto it = reg.find(path);
    if (it != reg.end()) {
        bool sameKey = it->second->keyHex == keyHex;
        sodium_memzero(keyHex.data(), keyHex.size());
        if (!sameKey)
            return fail(err, kDriverError, file, SQLITE_NOTADB,
                        "file is encrypted or is not a database");
        ++it->second->refs;
        *out = it->second.get();
        return kNoError;
    }
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == EACCES) return fail(err, kAccessDenied, file, errno, "permission denied");
        return fail(err, kFileNotFound, file);
    }
    if (!S_ISREG(st.st_mode))
        return fail(err, kDriverError, file, SQLITE_CANTOPEN, "not a regular file");
    if (::access(path.c_str(), R_OK) != 0)
        return fail(err, kAccessDenied, file, errno, "permission denied");

    sqlite3* db = nullptr;
    int rc = sealingRequested(path) ? openForSealing(path, keyHex, &db, &reason)
                                    : openEncrypted(path, keyHex, st.st_size, &db, &reason);
    if (rc == SQLITE_OK && !hasCatalogue(db)) {
        rc = SQLITE_NOTADB;
        reason = "file holds no tables of this driver";
    }
    if (rc != SQLITE_OK) {
        if (reason.empty()) reason = db ? sqlite3_errmsg(db) : "cannot open";
        sqlite3_close_v2(db);
        sodium_memzero(keyHex.data(), keyHex.size());
        return fail(err, kDriverError, file, rc, reason);
    }
    auto c = std::make_unique<Connection>();
    c->path = path;
    c->db = db;
    c->keyHex = std::move(keyHex);
    c->refs = 1;
    mapCommitCounter(c.get());
    *out = c.get();
    reg[path] = std::move(c);
    return kNoError;
}

void releaseConnection(Connection* c) {
    if (!c) return;
    std::lock_guard<std::mutex> guard(gRegistryMutex);
    if (--c->refs > 0) return;
    auto& reg = registry();
    auto it = reg.find(c->path);
    if (it == reg.end() || it->second.get() != c) return;
    if (c->inTransaction)
        exec(c->db, "ROLLBACK;");
    else
        giveBackFreePages(c->db);
    for (auto& [sql, st] : c->statements) sqlite3_finalize(st);
    sqlite3_close_v2(c->db);
    unmapCommitCounter(c);
    sodium_memzero(c->keyHex.data(), c->keyHex.size());
    reg.erase(it);
}

void retainConnection(Connection* c) {
    std::lock_guard<std::mutex> guard(gRegistryMutex);
    ++c->refs;
}

namespace {

// Plain texts, not string objects: a write section may still run while the process
// ends, after this file's static objects are gone.
constexpr const char* kBegin = "BEGIN IMMEDIATE;";
constexpr const char* kCommit = "COMMIT;";
constexpr const char* kRollback = "ROLLBACK;";
constexpr const char* kSavepoint = "SAVEPOINT corvix_write;";
constexpr const char* kRelease = "RELEASE corvix_write;";
constexpr const char* kRollbackTo = "ROLLBACK TO corvix_write;";

}  // namespace

WriteScope::WriteScope(Connection* c) : c_(c) {}

WriteScope::~WriteScope() {
    if (!open_) return;
    if (nested_ && !bare_) {
        run(c_, kRollbackTo);
        run(c_, kRelease);
    } else if (!nested_) {
        run(c_, kRollback);
    }
    noteChange(c_);
}

int WriteScope::begin(bool singleStatement) {
    nested_ = c_->inTransaction || !sqlite3_get_autocommit(c_->db);
    bare_ = nested_ && singleStatement;
    int rc = bare_ ? SQLITE_OK : run(c_, nested_ ? kSavepoint : kBegin);
    open_ = rc == SQLITE_OK;
    return rc;
}

int WriteScope::commit() {
    int rc = bare_ ? SQLITE_OK : run(c_, nested_ ? kRelease : kCommit);
    if (rc == SQLITE_OK) {
        open_ = false;
        noteChange(c_);
    }
    return rc;
}

}  // namespace corvix::storage::detail

namespace corvix::storage {

void abandonConnectionsAfterFork() {
    using namespace detail;
    std::lock_guard<std::mutex> guard(gRegistryMutex);
    for (auto& [path, c] : registry()) c.release();  // deliberately leaked
    registry().clear();
}

bool verifyCipherLibrary(std::string* reason) {
    static int verified = -1;  // 0 refused, 1 fine
    static std::string why;
    static std::once_flag once;
    std::call_once(once, [] {
        // SQLCipher looks its page cipher up by name. Left to itself, OpenSSL then fills
        // its table of names with every algorithm it has, reads the system's openssl.cnf
        // and loads its error texts: about a third of a short command's instructions. The
        // file format fixes the algorithms (AES-256-CBC pages, HMAC-SHA1 and PBKDF2-SHA1
        // for the page check), so only those two names are entered; the same providers do
        // the same work. A system configuration could only swap the providers under a
        // fixed format, so it is not read. Nothing is left to clean at exit: OpenSSL's
        // tables end with the process, and the connections wipe their own keys on close.
        // Ignored where OpenSSL was set up earlier in the process.
        OPENSSL_init_crypto(OPENSSL_INIT_NO_LOAD_CONFIG | OPENSSL_INIT_NO_ADD_ALL_CIPHERS |
                                OPENSSL_INIT_NO_ADD_ALL_DIGESTS |
                                OPENSSL_INIT_NO_LOAD_CRYPTO_STRINGS | OPENSSL_INIT_NO_ATEXIT,
                            nullptr);
        EVP_add_cipher(EVP_aes_256_cbc());
        EVP_add_digest(EVP_sha1());
        // And only their implementations are built (cipher_provider.cpp).
        detail::offerFormatAlgorithmsOnly();
        // No page-cache memory taken up front for each connection: a short command opens
        // a few files and reads a few pages of each, and touching a bulk block of pages it
        // never uses cost more than the reads. Pages are allocated as they are needed
        // (the cache's size limit is unchanged). Refused harmlessly when SQLite is already
        // initialised.
        sqlite3_config(SQLITE_CONFIG_PAGECACHE, nullptr, 0, 0);
        sqlite3* db = nullptr;
        std::string version;
        if (sqlite3_open(":memory:", &db) == SQLITE_OK) {
            sqlite3_stmt* st = nullptr;
            if (sqlite3_prepare_v2(db, "PRAGMA cipher_version;", -1, &st, nullptr) == SQLITE_OK &&
                sqlite3_step(st) == SQLITE_ROW) {
                const unsigned char* t = sqlite3_column_text(st, 0);
                if (t) version = reinterpret_cast<const char*>(t);
            }
            sqlite3_finalize(st);
        }
        sqlite3_close(db);
        if (sodium_init() < 0) {
            verified = 0;
            why = "libsodium could not be initialised";
        } else if (version.empty()) {
            verified = 0;
            why = "the linked SQLite library has no encryption (cipher_version is empty)";
        } else {
            verified = 1;
        }
    });
    if (reason) *reason = why;
    return verified == 1;
}

}  // namespace corvix::storage
