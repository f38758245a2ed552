// Share modes across processes. Each open holds shared open-file-description locks on
// bytes of a lock file beside the data file that say what it does and what it denies:
// "reads", "writes", "denies read", "denies write". An open that would conflict with
// those of another open (in any process, or another handle in this one) is refused.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/storage/internal.h"

namespace corvix::storage::detail {

namespace {

constexpr off_t kGuardByte = 0;  // held exclusively while an open checks and takes its bytes
constexpr off_t kInUseByte = 1;  // held shared by every open: the file is in use
constexpr off_t kTableBase = 1024;
constexpr off_t kDeferredBase = 8 * 1024 * 1024;  // past every table's bytes
enum : off_t { kReads = 0, kWrites = 1, kDeniesRead = 2, kDeniesWrite = 3 };

off_t tableBase(std::string_view table) {
    // Tables are named without regard to case; FNV-1a of the lower-case name.
    uint64_t h = 1469598103934665603ull;
    for (char ch : table) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c >= 'A' && c <= 'Z') c += 32;
        h = (h ^ c) * 1099511628211ull;
    }
    return kTableBase + static_cast<off_t>(h % 1000003ull) * 4;
}

bool lockByte(int fd, short type, off_t at, bool wait) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = at;
    fl.l_len = 1;
    int rc;
    do {
        rc = fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &fl);
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

// Whether another open description holds a lock on the byte.
bool heldByOther(int fd, off_t at) {
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = at;
    fl.l_len = 1;
    if (fcntl(fd, F_OFD_GETLK, &fl) != 0) return false;
    return fl.l_type != F_UNLCK;
}

int openLockFile(const std::string& file, bool create) {
    int fd = ::open(file.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0600);
    if (fd < 0) fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    return fd;
}

}  // namespace

std::string lockPath(const std::string& dataPath) {
    return dataPath + ".lck";
}

int ShareLock::acquire(const std::string& dataPath, std::string_view table, int mode,
                       int waitSeconds) {
    return acquireAt(lockPath(dataPath), true, table, mode, waitSeconds);
}

int ShareLock::acquireAt(const std::string& lockFile, bool createLockFile, std::string_view table,
                         int mode, int waitSeconds) {
    release();
    int fd = openLockFile(lockFile, createLockFile);
    // Without a lock file (read-only folder) nothing can be shared or denied; the open
    // goes on, as on a file system without locking.
    if (fd < 0) return kNoError;

    int access = mode & kAccessMask;
    int share = mode & kShareMask;
    bool reads = access == kReadOnly || access == kReadWrite;
    bool writes = access == kWriteOnly || access == kReadWrite;
    bool denyRead = share == kDenyAll || share == kDenyRead;
    bool denyWrite = share == kDenyAll || share == kDenyWrite;
    off_t base = tableBase(table);

    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(waitSeconds);
    for (;;) {
        if (!lockByte(fd, F_WRLCK, kGuardByte, true)) {
            ::close(fd);  // a lock file we may not write: no locking here, go on
            return kNoError;
        }
        bool conflict = (reads && heldByOther(fd, base + kDeniesRead)) ||
                        (writes && heldByOther(fd, base + kDeniesWrite)) ||
                        (denyRead && heldByOther(fd, base + kReads)) ||
                        (denyWrite && heldByOther(fd, base + kWrites));
        if (!conflict) {
            bool ok = lockByte(fd, F_RDLCK, kInUseByte, false);
            if (ok && reads) ok = lockByte(fd, F_RDLCK, base + kReads, false);
            if (ok && writes) ok = lockByte(fd, F_RDLCK, base + kWrites, false);
            if (ok && denyRead) ok = lockByte(fd, F_RDLCK, base + kDeniesRead, false);
            if (ok && denyWrite) ok = lockByte(fd, F_RDLCK, base + kDeniesWrite, false);
            lockByte(fd, F_UNLCK, kGuardByte, false);
            if (ok) {
                fd_ = fd;
                return kNoError;
            }
        } else {
            lockByte(fd, F_UNLCK, kGuardByte, false);
        }
        if (std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ::close(fd);
    return kAccessDenied;
}

void ShareLock::release() {
    if (fd_ >= 0) ::close(fd_);  // closing the description drops all its locks
    fd_ = -1;
}

bool fileInUse(const std::string& dataPath) {
    int fd = openLockFile(lockPath(dataPath), false);
    if (fd < 0) return false;
    bool used = heldByOther(fd, kInUseByte);
    ::close(fd);
    return used;
}

int lockDeferredKeys(const std::string& dataPath, int64_t tableId) {
    int fd = ::open(lockPath(dataPath).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    if (!lockByte(fd, F_WRLCK, kDeferredBase + tableId, false)) {
        ::close(fd);  // another handle is loading: it keeps its own deferral
        return -1;
    }
    return fd;
}

bool deferredKeysHeld(const std::string& dataPath, int64_t tableId) {
    int fd = openLockFile(lockPath(dataPath), false);
    if (fd < 0) return false;
    bool held = heldByOther(fd, kDeferredBase + tableId);
    ::close(fd);
    return held;
}

}  // namespace corvix::storage::detail
