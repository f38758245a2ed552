// Connections for sealing. SQLCipher encrypts and authenticates every page on the thread
// that runs SQL, which made that work (about two thirds of the time) the limit of sealing
// a large file. A connection without a key over the sealing layer builds the same pages
// in clear; the layer's thread encrypts them while the next ones are built. The file is
// made by SQLCipher with the key first (its salt, and a header reserving room for each
// page's IV and HMAC), and is read back by SQLCipher once written.
//
// Without a journal the pages need no other transform: a journal's pages would have to
// be encrypted too, with SQLite's checksums taken over what is written. A file sealed
// this way is new and under a temporary name, so there is nothing a journal could give
// back: on a failure the whole file goes.
#include "platform/storage/sealing.h"

#include <fcntl.h>
#include <sodium.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <set>

#include "platform/storage/internal.h"

namespace corvix::storage {

namespace {

std::mutex gSealingMutex;
std::set<std::string>& sealingPaths() {
    static auto* paths = new std::set<std::string>;  // never destroyed, as the registry
    return *paths;
}

}  // namespace

SealingFile::SealingFile(const std::string& target) : target_(detail::absolutePath(target)) {
    const std::string folder = target_.substr(0, target_.find_last_of('/') + 1);
    unsigned char random[8];
    randombytes_buf(random, sizeof random);
    char hex[2 * sizeof random + 1];
    sodium_bin2hex(hex, sizeof hex, random, sizeof random);
    // An extension of its own, so that the driver adds none and the wizards' "*.ENC"
    // filter does not offer it.
    temp_ = folder + ".corvix-seal-" + hex + ".tmp";
    std::lock_guard<std::mutex> guard(gSealingMutex);
    sealingPaths().insert(temp_);
}

SealingFile::~SealingFile() {
    finishWriting();
    if (!moved_) {
        ::unlink(temp_.c_str());
        ::unlink((temp_ + "-journal").c_str());
    }
    ::unlink(detail::lockPath(temp_).c_str());
}

void SealingFile::finishWriting() {
    if (!writing_) return;
    writing_ = false;
    std::lock_guard<std::mutex> guard(gSealingMutex);
    auto& paths = sealingPaths();
    if (auto it = paths.find(temp_); it != paths.end()) paths.erase(it);
}

int SealingFile::moveIntoPlace() {
    finishWriting();
    const int fd = ::open(temp_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int synced = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    if (synced) return synced;
    // link() refuses to replace a file made meanwhile.
    if (::link(temp_.c_str(), target_.c_str()) != 0) return errno;
    moved_ = true;
    ::unlink(temp_.c_str());
    const std::string folder = target_.substr(0, target_.find_last_of('/') + 1);
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);  // best effort: the name is in place either way
        ::close(dir);
    }
    return 0;
}

}  // namespace corvix::storage

namespace corvix::storage::detail {

bool sealingRequested(const std::string& path) {
    std::lock_guard<std::mutex> guard(gSealingMutex);
    return sealingPaths().count(path) > 0;
}

int openForSealing(const std::string& path, const std::string& keyHex, sqlite3** db,
                   std::string* why) {
    SealingKey key{};
    key.pageSize = kLargePageSize;
    size_t length = 0;
    if (sodium_hex2bin(key.bytes, sizeof key.bytes, keyHex.data(), keyHex.size(), nullptr, &length,
                       nullptr) != 0 ||
        length != sizeof key.bytes) {
        *why = "only an encrypted file can be sealed";
        return SQLITE_MISUSE;
    }
    int rc = sqlite3_open_v2(path.c_str(), db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX,
                             sealingVfs());
    if (rc == SQLITE_OK) rc = sqlite3_file_control(*db, "main", kSealingKeyControl, &key);
    sodium_memzero(key.bytes, sizeof key.bytes);
    if (rc != SQLITE_OK) {
        *why = rc == SQLITE_NOTADB ? "file is encrypted or is not a database" : "cannot open";
        return rc;
    }
    // Pages are the layer's business: to SQLite this is a file without a key.
    rc = configureHandle(*db, std::string(), why, kLargePageSize);
    if (rc != SQLITE_OK) return rc;
    // A journal would hold pages in clear: the connection is refused unless it has none.
    Stmt journal(*db, "PRAGMA journal_mode = OFF;");
    if (journal.step() != SQLITE_ROW || journal.columnText(0) != "off") {
        *why = "the file cannot be written without a journal";
        return SQLITE_ERROR;
    }
    // Nothing it holds counts before it has its name, and it is made durable once, before
    // it takes it (moveIntoPlace): the commits need not sync it.
    return exec(*db, "PRAGMA synchronous = OFF;");
}

}  // namespace corvix::storage::detail
