// A file system layer for large-page files (sealed containers), which are written as a
// long stream of new pages: it wraps the usual one and gives the database file's writes
// to a thread of its own in batches of 1 MiB, so that encrypting the next pages overlaps
// with writing the last ones, and the two threads meet once a batch instead of once a
// page. Journals and the like pass straight through.
//
// Every other operation on the database file first waits until the batches handed over
// are written, so that syncs, truncation, locks and closing see the file exactly as
// SQLite wrote it, in its order; a read waits only when bytes it reads are still
// waiting. A batch that could not be written is reported by the next operation (at the
// latest the sync of the commit), so a transaction never commits over it: it fails and
// is rolled back as after any failed write.
//
// The sealing layer (sealing.cpp) is the same with the page format of encrypted files
// done here instead of in SQLCipher: the thread encrypts each batch's pages before it
// writes them, and reads decrypt the page they fall in.
#include <malloc.h>
#include <openssl/crypto.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/storage/internal.h"
#include "platform/storage/page_cipher.h"
#include "runtime/io_worker.h"

namespace corvix::storage::detail {

namespace {

constexpr size_t kBatchBytes = 1u << 20;
constexpr size_t kPieceBytes = 64u << 10;
constexpr size_t kBatchesInFlight = 4;  // 4 MiB: rides out a moment of a busy disk
constexpr const char* kVfsName = "corvix-write-behind";
constexpr const char* kSealingVfsName = "corvix-sealing";

// Pages written one after another, wherever they go in the file: SQLite pushes pages out
// of its cache in the order they were first changed, which is not the order of the file,
// so a batch holds runs of contiguous pages and is written run by run, in the order SQLite
// wrote them (a page written twice ends as written last).
struct Batch {
    struct Run {
        sqlite3_int64 at;  // in the file
        size_t from;       // in bytes
        size_t size;
    };
    std::vector<unsigned char> bytes;
    std::vector<Run> runs;

    void clear() {
        bytes.clear();
        runs.clear();
    }
    bool overlaps(sqlite3_int64 at, sqlite3_int64 size) const {
        for (const Run& run : runs)
            if (run.at < at + size && at < run.at + static_cast<sqlite3_int64>(run.size))
                return true;
        return false;
    }
    void add(const void* data, size_t n, sqlite3_int64 at) {
        if (!runs.empty() && runs.back().at + static_cast<sqlite3_int64>(runs.back().size) == at)
            runs.back().size += n;
        else
            runs.push_back({at, bytes.size(), n});
        const auto* b = static_cast<const unsigned char*>(data);
        bytes.insert(bytes.end(), b, b + n);
    }
    // Encrypts pages first to last-1 (counted from the batch's first) in place, handing
    // them to the cipher in groups it can encrypt together; runs are whole pages (see
    // fileWrite).
    bool seal(PageCipher& cipher, size_t first, size_t last) {
        const size_t page = cipher.pageSize();
        unsigned char* group[CbcLanes::kMaxLanes];
        uint32_t numbers[CbcLanes::kMaxLanes];
        size_t grouped = 0;
        size_t index = 0;
        for (const Run& run : runs)
            for (size_t done = 0; done < run.size && index < last; done += page, ++index) {
                if (index < first) continue;
                group[grouped] = bytes.data() + run.from + done;
                numbers[grouped] = static_cast<uint32_t>(
                    (run.at + static_cast<sqlite3_int64>(done)) / static_cast<sqlite3_int64>(page) +
                    1);
                if (++grouped == CbcLanes::kMaxLanes) {
                    if (!cipher.sealPages(group, numbers, grouped)) return false;
                    grouped = 0;
                }
            }
        return grouped == 0 || cipher.sealPages(group, numbers, grouped);
    }
    // The usual layer is given pieces of at most 64 KiB; the first failure, if any.
    int writeTo(sqlite3_file* file) const {
        for (const Run& run : runs)
            for (size_t done = 0; done < run.size; done += kPieceBytes) {
                const size_t n = std::min(kPieceBytes, run.size - done);
                const int rc = file->pMethods->xWrite(file, bytes.data() + run.from + done,
                                                      static_cast<int>(n),
                                                      run.at + static_cast<sqlite3_int64>(done));
                if (rc != SQLITE_OK) return rc;
            }
        return SQLITE_OK;
    }
};

class WriteBehind {
  public:
    explicit WriteBehind(sqlite3_file* file) : file_(file), worker_(kBatchesInFlight) {
        filling_.bytes.reserve(kBatchBytes);
        for (auto& b : ring_) b.bytes.reserve(kBatchBytes);
    }

    int write(const void* data, int amount, sqlite3_int64 offset) {
        const auto n = static_cast<size_t>(amount);
        if (n > kBatchBytes) {  // larger than a batch: in its turn, at once
            if (int rc = drain()) return rc;
            return file_->pMethods->xWrite(file_, data, amount, offset);
        }
        if (filling_.bytes.size() + n > kBatchBytes && handOver() != SQLITE_OK)
            return failure_.exchange(SQLITE_OK);
        filling_.add(data, n, offset);
        if (filling_.bytes.size() == kBatchBytes && handOver() != SQLITE_OK)
            return failure_.exchange(SQLITE_OK);
        return SQLITE_OK;
    }

    // Whether a batch handed over or being filled holds bytes of the range (batches
    // already written may still count: the answer errs on the side of waiting).
    bool pending(sqlite3_int64 at, int amount) const {
        if (filling_.overlaps(at, amount)) return true;
        for (const Batch& b : ring_)
            if (b.overlaps(at, amount)) return true;
        return false;
    }

    // Writes what is waiting and returns the first write failure not yet reported, or
    // keeps it for the next operation that can report it (report false).
    int drain(bool report = true) {
        if (!filling_.bytes.empty()) handOver();
        worker_.wait();
        return report ? failure_.exchange(SQLITE_OK) : SQLITE_OK;
    }

    // Pages are encrypted from now on (set before the first write), each batch's by two
    // threads of their own, half each with a cipher apiece, while this layer's thread
    // writes the batch before: encrypting is most of the work, and the machines this runs
    // on have two processors or more.
    void sealWith(PageCipher* cipher, std::unique_ptr<PageCipher> otherCipher) {
        ciphers_[0] = cipher;
        otherCipher_ = std::move(otherCipher);
        ciphers_[1] = otherCipher_.get();
        for (auto& sealer : sealers_)
            sealer = std::make_unique<runtime::IoWorker>(kBatchesInFlight);
    }

  private:
    // Gives the batch being filled to the thread, in the place of the oldest batch once
    // that one is written. After a failure the batch is dropped (the transaction fails
    // either way), and the failure stays until it is reported.
    int handOver() {
        const size_t slot = next_;
        worker_.waitFor(tickets_[slot]);
        if (const int rc = failure_.load()) {
            filling_.clear();
            return rc;
        }
        std::swap(filling_, ring_[slot]);
        filling_.clear();
        next_ = (next_ + 1) % kBatchesInFlight;
        if (!ciphers_[0]) {
            tickets_[slot] = worker_.start([this, slot] {
                if (failure_.load() != SQLITE_OK) return;  // the transaction fails anyway
                if (const int rc = ring_[slot].writeTo(file_)) failure_.store(rc);
            });
            return SQLITE_OK;
        }
        // Sealed in two halves beside each other; written once both are done (the write
        // step waits for them, so the slot is never reused while either runs).
        const size_t pages = ring_[slot].bytes.size() / ciphers_[0]->pageSize();
        const size_t bounds[3] = {0, pages / 2, pages};
        uint64_t sealing[2] = {};
        for (int half = 0; half < 2; ++half)
            sealing[half] = sealers_[half]->start(
                [this, slot, half, from = bounds[half], to = bounds[half + 1]] {
                    sealed_[slot][half] = ring_[slot].seal(*ciphers_[half], from, to);
                });
        tickets_[slot] = worker_.start([this, slot, a = sealing[0], b = sealing[1]] {
            sealers_[0]->waitFor(a);
            sealers_[1]->waitFor(b);
            if (failure_.load() != SQLITE_OK) return;
            if (!sealed_[slot][0] || !sealed_[slot][1])
                failure_.store(SQLITE_IOERR_WRITE);
            else if (const int rc = ring_[slot].writeTo(file_))
                failure_.store(rc);
        });
        return SQLITE_OK;
    }

    sqlite3_file* file_;
    Batch filling_;
    // Batches handed over, each with the number of its write step.
    Batch ring_[kBatchesInFlight];
    uint64_t tickets_[kBatchesInFlight] = {};
    size_t next_ = 0;
    std::atomic<int> failure_{SQLITE_OK};  // the first write that failed, until reported
    // Sealing files: the two halves' ciphers (the first owned by the File), whether each
    // half of a slot's batch was sealed, and the threads sealing them.
    PageCipher* ciphers_[2] = {};
    std::unique_ptr<PageCipher> otherCipher_;
    bool sealed_[kBatchesInFlight][2] = {};
    std::unique_ptr<runtime::IoWorker> sealers_[2];
    runtime::IoWorker worker_;  // declared last: ends first, after the steps it waits for
};

struct File {
    sqlite3_file base;
    sqlite3_file* real;   // the usual file object, right after this one
    WriteBehind* behind;  // the database file only
    // Sealing files: the page format, once its key is given; a page read and decrypted.
    bool sealing;
    PageCipher* cipher;
    std::vector<unsigned char>* page;
};

sqlite3_vfs* gUsual = nullptr;  // the wrapped file system layer, set at registration

sqlite3_file* real(sqlite3_file* f) {
    return reinterpret_cast<File*>(f)->real;
}

// Waits for the writes handed over; the first failure among them, if any.
int settle(sqlite3_file* f, bool report = true) {
    WriteBehind* behind = reinterpret_cast<File*>(f)->behind;
    return behind ? behind->drain(report) : SQLITE_OK;
}

int fileClose(sqlite3_file* f) {
    File* file = reinterpret_cast<File*>(f);
    const int failed = settle(f);
    delete file->behind;
    file->behind = nullptr;
    delete file->cipher;  // wipes the keys
    file->cipher = nullptr;
    if (file->page) OPENSSL_cleanse(file->page->data(), file->page->size());
    delete file->page;
    file->page = nullptr;
    const int rc = file->real->pMethods->xClose(file->real);
    return failed ? failed : rc;
}

bool allZero(const unsigned char* p, size_t n) {
    unsigned char any = 0;
    for (size_t i = 0; i < n; ++i) any |= p[i];
    return any == 0;
}

// A read of a sealing file: the whole page it falls in is read, checked and decrypted.
// A page past the end reads as zeros, as SQLite expects; so does a page of zeros inside
// the file (one the file was extended by but never written), as SQLCipher reads it.
int readSealed(File* file, void* out, int amount, sqlite3_int64 offset) {
    PageCipher* cipher = file->cipher;
    if (!cipher) {
        // Opening reads the header before the key can be given: it finds none, as in a
        // new file, and reads it again once it is given. Nothing is read in clear.
        std::memset(out, 0, static_cast<size_t>(std::max(amount, 0)));
        return SQLITE_IOERR_SHORT_READ;
    }
    const auto page = static_cast<sqlite3_int64>(cipher->pageSize());
    const sqlite3_int64 start = offset - offset % page;
    if (amount <= 0 || offset + amount > start + page) return SQLITE_IOERR_READ;
    if (!file->page) file->page = new std::vector<unsigned char>(cipher->pageSize());
    unsigned char* buf = file->page->data();
    const int rc = file->real->pMethods->xRead(file->real, buf, static_cast<int>(page), start);
    if (rc == SQLITE_OK && !allZero(buf, cipher->pageSize()) &&
        !cipher->open(buf, static_cast<uint32_t>(start / page + 1)))
        return SQLITE_IOERR_READ;
    if (rc != SQLITE_OK && rc != SQLITE_IOERR_SHORT_READ) return rc;
    std::memcpy(out, buf + (offset - start), static_cast<size_t>(amount));
    return rc;
}

int fileRead(sqlite3_file* f, void* out, int amount, sqlite3_int64 offset) {
    // SQLite reads back a few pages it pushed out of its cache (the b-tree's upper
    // pages, the pointer map): when none of their bytes wait to be written, the read
    // goes beside the writes instead of waiting for all of them.
    WriteBehind* behind = reinterpret_cast<File*>(f)->behind;
    if (behind && behind->pending(offset, amount))
        if (int rc = behind->drain()) return rc;
    File* file = reinterpret_cast<File*>(f);
    if (file->sealing) return readSealed(file, out, amount, offset);
    return real(f)->pMethods->xRead(real(f), out, amount, offset);
}

int fileWrite(sqlite3_file* f, const void* data, int amount, sqlite3_int64 offset) {
    File* file = reinterpret_cast<File*>(f);
    // A sealing file is written in whole pages only (as SQLite writes database files),
    // and never in clear.
    if (file->sealing) {
        const auto page = file->cipher ? static_cast<sqlite3_int64>(file->cipher->pageSize()) : 0;
        if (!page || amount != page || offset % page != 0) return SQLITE_IOERR_WRITE;
    }
    if (WriteBehind* behind = file->behind) return behind->write(data, amount, offset);
    return real(f)->pMethods->xWrite(real(f), data, amount, offset);
}

int fileTruncate(sqlite3_file* f, sqlite3_int64 size) {
    if (int rc = settle(f)) return rc;
    return real(f)->pMethods->xTruncate(real(f), size);
}

int fileSync(sqlite3_file* f, int flags) {
    if (int rc = settle(f)) return rc;
    return real(f)->pMethods->xSync(real(f), flags);
}

int fileSize(sqlite3_file* f, sqlite3_int64* size) {
    if (int rc = settle(f)) return rc;
    return real(f)->pMethods->xFileSize(real(f), size);
}

int fileLock(sqlite3_file* f, int level) {
    if (int rc = settle(f)) return rc;
    return real(f)->pMethods->xLock(real(f), level);
}

int fileUnlock(sqlite3_file* f, int level) {
    // Another process may read the file once it is unlocked: everything is written first.
    const int failed = settle(f);
    const int rc = real(f)->pMethods->xUnlock(real(f), level);
    return failed ? failed : rc;
}

int fileCheckReservedLock(sqlite3_file* f, int* out) {
    if (int rc = settle(f)) return rc;
    return real(f)->pMethods->xCheckReservedLock(real(f), out);
}

// Gives a sealing file its key: the salt is read from the file (SQLCipher made it), and
// the first page must then read back as a database of the layer's page size.
int takeSealingKey(File* file, const SealingKey* key) {
    if (!file->sealing || file->cipher || !file->behind) return SQLITE_MISUSE;
    unsigned char salt[kSaltBytes];
    if (file->real->pMethods->xRead(file->real, salt, sizeof salt, 0) != SQLITE_OK)
        return SQLITE_NOTADB;
    file->cipher = PageCipher::create(key->bytes, salt, key->pageSize).release();
    if (!file->cipher) return SQLITE_ERROR;
    unsigned char header[100];
    // The header's page size is big-endian at 16 (65536 written as 1); its reserve at 20.
    const uint32_t page = key->pageSize == 65536 ? 1 : static_cast<uint32_t>(key->pageSize);
    const bool fits = readSealed(file, header, sizeof header, 0) == SQLITE_OK &&
                      header[16] == (page >> 8) && header[17] == (page & 0xff) &&
                      header[20] == kPageReserve;
    if (!fits) {
        delete file->cipher;
        file->cipher = nullptr;
        return SQLITE_NOTADB;
    }
    auto otherCipher = PageCipher::create(key->bytes, salt, key->pageSize);
    if (!otherCipher) return SQLITE_ERROR;
    file->behind->sealWith(file->cipher, std::move(otherCipher));
    return SQLITE_OK;
}

int fileControl(sqlite3_file* f, int op, void* arg) {
    if (op == kSealingKeyControl)
        return takeSealingKey(reinterpret_cast<File*>(f), static_cast<const SealingKey*>(arg));
    // The size hint comes with every spill of pages while the file grows; it reads
    // nothing the writes change, so it does not wait for them.
    if (op != SQLITE_FCNTL_SIZE_HINT)
        if (int rc = settle(f)) return rc;
    return real(f)->pMethods->xFileControl(real(f), op, arg);
}

int fileSectorSize(sqlite3_file* f) {
    settle(f, false);  // these cannot report a failure
    return real(f)->pMethods->xSectorSize(real(f));
}

int fileDeviceCharacteristics(sqlite3_file* f) {
    settle(f, false);
    return real(f)->pMethods->xDeviceCharacteristics(real(f));
}

// Version 1: no shared memory and no memory mapping, which large-page files never use.
const sqlite3_io_methods kMethods = {
    1,
    fileClose,
    fileRead,
    fileWrite,
    fileTruncate,
    fileSync,
    fileSize,
    fileLock,
    fileUnlock,
    fileCheckReservedLock,
    fileControl,
    fileSectorSize,
    fileDeviceCharacteristics,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

int openFile(const char* name, sqlite3_file* f, int flags, int* outFlags, bool sealing) {
    File* file = reinterpret_cast<File*>(f);
    file->base.pMethods = nullptr;
    file->real = reinterpret_cast<sqlite3_file*>(file + 1);
    file->behind = nullptr;
    file->sealing = sealing && (flags & SQLITE_OPEN_MAIN_DB);
    file->cipher = nullptr;
    file->page = nullptr;
    std::memset(file->real, 0, static_cast<size_t>(gUsual->szOsFile));
    const int rc = gUsual->xOpen(gUsual, name, file->real, flags, outFlags);
    if (rc != SQLITE_OK) {
        if (file->real->pMethods) file->real->pMethods->xClose(file->real);
        return rc;
    }
    if (flags & SQLITE_OPEN_MAIN_DB) file->behind = new WriteBehind(file->real);
    file->base.pMethods = &kMethods;
    return SQLITE_OK;
}

int vfsOpen(sqlite3_vfs*, const char* name, sqlite3_file* f, int flags, int* outFlags) {
    return openFile(name, f, flags, outFlags, false);
}

int vfsOpenSealing(sqlite3_vfs*, const char* name, sqlite3_file* f, int flags, int* outFlags) {
    return openFile(name, f, flags, outFlags, true);
}

void registerLayers() {
    static std::once_flag once;
    std::call_once(once, [] {
        sqlite3_vfs* usual = gUsual = sqlite3_vfs_find(nullptr);
        // Never freed: connections may close while the process ends.
        for (const bool sealing : {false, true}) {
            auto* vfs = new sqlite3_vfs(*usual);
            vfs->zName = sealing ? kSealingVfsName : kVfsName;
            vfs->pAppData = usual;
            vfs->szOsFile = static_cast<int>(sizeof(File)) + usual->szOsFile;
            vfs->xOpen = sealing ? vfsOpenSealing : vfsOpen;
            sqlite3_vfs_register(vfs, 0);
        }
        // Each chunk of a large-page file is a record of about 70 KB, built and freed
        // (or read and freed) at every row: with glibc's default the freed top of the
        // heap goes back to the system each time and is faulted in again at the next
        // row, about a tenth of the sealing thread's time. Up to 16 MB are kept instead.
        mallopt(M_TRIM_THRESHOLD, 16 << 20);
    });
}

}  // namespace

const char* writeBehindVfs() {
    registerLayers();
    return kVfsName;
}

const char* sealingVfs() {
    registerLayers();
    return kSealingVfsName;
}

}  // namespace corvix::storage::detail
