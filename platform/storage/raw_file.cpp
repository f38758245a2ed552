// The raw byte driver: a file read at offsets and appended to, with share modes.
#include "platform/storage/raw_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/storage/internal.h"

namespace corvix::storage {

using namespace detail;

struct RawFile::Lock {
    ShareLock share;
};

namespace {

constexpr uint32_t kMaxRecord = 65535;

}  // namespace

RawFile::RawFile(std::string name) : name_(std::move(name)) {}

RawFile::~RawFile() {
    close();
}

int RawFile::create() {
    int fd = ::open(name_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return fileFailure(name_, codeForSystemError(errno), errno);
    ::close(fd);
    return fileFailure(name_, kNoError);
}

int RawFile::open(int mode) {
    if (fd_ >= 0) return fileFailure(name_, kAlreadyOpen);
    int access = mode & kAccessMask;
    int flags = access == kReadOnly ? O_RDONLY : access == kWriteOnly ? O_WRONLY : O_RDWR;
    struct stat st;
    if (::stat(name_.c_str(), &st) != 0)
        return fileFailure(name_, codeForSystemError(errno), errno);
    if (S_ISDIR(st.st_mode)) return fileFailure(name_, kAccessDenied, EISDIR);
    int fd = ::open(name_.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return fileFailure(name_, codeForSystemError(errno), errno);
    auto lock = std::make_unique<Lock>();
    if (lock->share.acquireAt(name_, false, "", mode, 0) != kNoError) {
        ::close(fd);
        return fileFailure(name_, kAccessDenied);
    }
    fd_ = fd;
    mode_ = mode;
    lock_ = std::move(lock);
    return fileFailure(name_, kNoError);
}

void RawFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    lock_.reset();
}

int64_t RawFile::size() const {
    struct stat st;
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return -1;
    return st.st_size;
}

int RawFile::read(uint64_t offset, void* buffer, uint32_t length, uint32_t* got) {
    if (got) *got = 0;
    if (fd_ < 0) return fileFailure(name_, kFileNotOpen);
    if ((mode_ & kAccessMask) == kWriteOnly) return fileFailure(name_, kAccessDenied);
    length = std::min(length, kMaxRecord);
    uint32_t done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < length) {
        ssize_t n = ::pread(fd_, out + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fileFailure(name_, kDriverError, errno);
        if (n == 0) break;
        done += static_cast<uint32_t>(n);
    }
    if (got) *got = done;
    if (done == 0 && length > 0) return fileFailure(name_, kRecordNotAvailable);
    return fileFailure(name_, kNoError);
}

int RawFile::append(const void* data, uint32_t length) {
    if (fd_ < 0) return fileFailure(name_, kFileNotOpen);
    if ((mode_ & kAccessMask) == kReadOnly) return fileFailure(name_, kAccessDenied);
    off_t end = ::lseek(fd_, 0, SEEK_END);
    if (end < 0) return fileFailure(name_, kDriverError, errno);
    auto* in = static_cast<const char*>(data);
    uint32_t done = 0;
    while (done < length) {
        ssize_t n = ::pwrite(fd_, in + done, length - done, end + done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            int e = errno;
            // A partial record is not left behind.
            if (::ftruncate(fd_, end) != 0) {
            }
            return fileFailure(name_, kDriverError, e);
        }
        done += static_cast<uint32_t>(n);
    }
    return fileFailure(name_, kNoError);
}

}  // namespace corvix::storage
