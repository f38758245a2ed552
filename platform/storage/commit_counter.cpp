// Commits counted in shared memory. Every process that opens a physical file maps the
// first page of its lock file, and every commit through this driver adds one to a counter
// there. A reader holding rows read ahead compares the counter per record, a memory
// read, instead of asking SQLite (a shared lock and a dozen system calls per record).
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

#include "platform/storage/internal.h"

namespace corvix::storage::detail {

namespace {

// The lock bytes of the share modes lie elsewhere in the file; locks and contents of a
// lock file do not interfere.
constexpr off_t kMappedSize = 4096;
constexpr size_t kCounterOffset = 64;

}  // namespace

void mapCommitCounter(Connection* c) {
    std::string file = lockPath(c->path);
    bool writable = true;
    int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        writable = false;
        fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    }
    if (fd < 0) return;  // a read-only folder: readers ask SQLite per record instead
    struct stat st {};
    bool sized = ::fstat(fd, &st) == 0 && st.st_size >= kMappedSize;
    // Growing never shrinks a page another process already counts in.
    if (!sized && writable) sized = ::ftruncate(fd, kMappedSize) == 0;
    void* page = sized ? ::mmap(nullptr, kMappedSize, writable ? PROT_READ | PROT_WRITE : PROT_READ,
                                MAP_SHARED, fd, 0)
                       : MAP_FAILED;
    ::close(fd);  // the mapping keeps the file
    if (page == MAP_FAILED) return;
    c->commitPage = page;
    c->commits = reinterpret_cast<uint64_t*>(static_cast<char*>(page) + kCounterOffset);
    c->commitsWritable = writable;
}

void unmapCommitCounter(Connection* c) {
    if (c->commitPage) ::munmap(c->commitPage, kMappedSize);
    c->commitPage = nullptr;
    c->commits = nullptr;
}

uint64_t commitCount(const Connection* c) {
    return std::atomic_ref<uint64_t>(*c->commits).load(std::memory_order_acquire);
}

void noteChange(Connection* c) {
    ++c->generation;
    // Called after the commit: a reader that sees the new count reads the new rows.
    if (c->commits && c->commitsWritable)
        std::atomic_ref<uint64_t>(*c->commits).fetch_add(1, std::memory_order_acq_rel);
}

}  // namespace corvix::storage::detail
