#include "security/container_streams.h"

#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "libs/ferrule/ferrule.h"
#include "platform/storage/raw_file.h"
#include "platform/storage/table.h"
#include "runtime/io_worker.h"

namespace corvix::security {

namespace {

// Sealing appends and restoring reads about this much of the BLOB at once, a whole number
// of its chunks, so that no chunk is written twice or read across a boundary (which would
// fetch and decrypt both), and memory stays flat.
constexpr size_t kBatchAbout = 1u << 20;

std::string storageWhy(const storage::Error& e) {
    std::string why = e.text.empty() ? storage::errorText(e.code) : e.text;
    if (!e.driverText.empty()) why += " (" + e.driverText + ")";
    return why;
}

size_t batchSizeFor(storage::Table& table, int blob, std::string* why) {
    const size_t chunk = table.blobChunkSize(blob);
    if (chunk == 0) *why = storageWhy(table.error());
    return chunk * std::max<size_t>(1, kBatchAbout / std::max<size_t>(chunk, 1));
}

std::string systemWhy(int error) {
    return std::strerror(error);
}

class Hasher {
  public:
    Hasher() {
        if (sodium_init() < 0) std::abort();
        crypto_generichash_init(&state_, nullptr, 0, sizeof(Digest));
    }
    void update(const unsigned char* data, size_t size) {
        crypto_generichash_update(&state_, data, size);
    }
    Digest final() {
        Digest d{};
        crypto_generichash_final(&state_, d.data(), d.size());
        return d;
    }

  private:
    crypto_generichash_state state_;
};

// Starts writing a file's new pages to disk while more are being made, so that the sync
// at the end of a large seal or restore finds little left to write. Only a hint: the
// sync that makes the file durable still comes at the end.
class EarlyWriteback {
  public:
    explicit EarlyWriteback(const std::string& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~EarlyWriteback() {
        if (fd_ >= 0) ::close(fd_);
    }
    EarlyWriteback(const EarlyWriteback&) = delete;
    EarlyWriteback& operator=(const EarlyWriteback&) = delete;
    void wrote(size_t bytes) {
        pending_ += bytes;
        if (fd_ < 0 || pending_ < kEvery) return;
        ::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
        pending_ = 0;
    }

  private:
    static constexpr size_t kEvery = 16u << 20;
    int fd_;
    size_t pending_ = 0;
};

// Makes a file's content and its name in the folder durable.
std::string syncToDisk(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return systemWhy(errno);
    const int rc = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    return rc == 0 ? std::string() : systemWhy(error);
}

void syncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);  // best effort: the rename itself has happened either way
    ::close(fd);
}

// Batches handed between this thread and the I/O thread: one is worked on here while the
// others are read or written there (kInFlight of them, so that a moment of a busy disk or
// of a thread not scheduled at once does not stall the other side). Wiped when done:
// they held the file's clear bytes.
constexpr int kInFlight = 4;
class BatchRing {
  public:
    BatchRing(int count, size_t size) : buffers_(static_cast<size_t>(count)) {
        for (auto& b : buffers_) b.resize(size);
    }
    ~BatchRing() {
        for (auto& b : buffers_) sodium_memzero(b.data(), b.size());
    }
    BatchRing(const BatchRing&) = delete;
    BatchRing& operator=(const BatchRing&) = delete;
    unsigned char* operator[](int i) { return buffers_[static_cast<size_t>(i)].data(); }
    int size() const { return static_cast<int>(buffers_.size()); }

  private:
    std::vector<std::vector<unsigned char>> buffers_;
};

}  // namespace

std::string copyFileToBlob(storage::RawFile& from, storage::Table& to, int blob,
                           const CopyProgress& progress, Digest* digest, uint64_t* copied) {
    const int64_t size = from.size();
    if (size < 0) return "the file cannot be read";
    std::string why;
    const size_t batch = batchSizeFor(to, blob, &why);
    if (!why.empty()) return why;
    Hasher hash;
    EarlyWriteback writeback(to.name());
    BatchRing buffers(kInFlight, batch);
    // Filled by the reader thread, in order; each read here only after waitFor(its step).
    struct Batch {
        size_t filled = 0;
        std::string why;
        uint64_t step = 0;
    } batches[kInFlight];
    uint64_t readAt = 0;
    bool ended = false;  // once a batch met the end, later ones read nothing (not even
                         // what was appended to the file since)
    // Reads the next batch in raw records of at most kCopyChunk bytes and hashes it, while
    // the batches before it are being sealed.
    auto fill = [&](int i) {
        Batch& b = batches[i];
        b.filled = 0;
        b.why.clear();
        while (!ended && b.filled < batch) {
            const auto want = static_cast<uint32_t>(std::min<size_t>(kCopyChunk, batch - b.filled));
            uint32_t got = 0;
            const int rc = from.read(readAt, buffers[i] + b.filled, want, &got);
            if (rc == storage::kRecordNotAvailable) {
                ended = true;
                break;
            }
            if (rc != storage::kNoError) {
                b.why = storageWhy(storage::lastError());
                ended = true;
                return;
            }
            b.filled += got;
            readAt += got;
        }
        if (digest) hash.update(buffers[i], b.filled);
        writeback.wrote(b.filled);  // about what is being sealed meanwhile
    };
    runtime::IoWorker reader(kInFlight);  // ends before the buffers and batches it fills
    for (int i = 0; i < kInFlight; ++i) batches[i].step = reader.start([&fill, i] { fill(i); });
    uint64_t offset = 0;
    for (int i = 0;; i = (i + 1) % kInFlight) {
        Batch& b = batches[i];
        reader.waitFor(b.step);
        if (!b.why.empty()) return b.why;
        if (b.filled == 0) break;
        if (to.appendBlob(blob, buffers[i], b.filled) != storage::kNoError)
            return storageWhy(to.error());
        offset += b.filled;
        if (progress) progress(offset, static_cast<uint64_t>(size));
        if (b.filled < batch) break;  // a batch is short only at the end
        b.step = reader.start([&fill, i] { fill(i); });
    }
    reader.wait();
    if (digest) *digest = hash.final();
    *copied = offset;
    return {};
}

std::string digestBlob(storage::Table& table, int blob, Digest* digest, uint64_t* size) {
    const int64_t total = table.blobSize(blob);
    if (total < 0) return storageWhy(table.error());
    std::string why;
    const size_t batch = batchSizeFor(table, blob, &why);
    if (!why.empty()) return why;
    Hasher hash;
    BatchRing buffers(2, batch);
    runtime::IoWorker hasher;  // hashes one batch while the next is read
    uint64_t offset = 0;
    for (int i = 0; offset < static_cast<uint64_t>(total); i = 1 - i) {
        size_t got = 0;
        if (table.readBlob(blob, offset, buffers[i], batch, &got) != storage::kNoError)
            return storageWhy(table.error());
        hasher.start([&hash, &buffers, i, got] { hash.update(buffers[i], got); });
        offset += got;
    }
    hasher.wait();
    *digest = hash.final();
    *size = offset;
    return {};
}

std::string restoreBlobToFile(storage::Table& from, int blob, const std::string& target,
                              const CopyProgress& progress) {
    const int64_t total = from.blobSize(blob);
    if (total < 0) return storageWhy(from.error());
    std::string why;
    const size_t batch = batchSizeFor(from, blob, &why);
    if (!why.empty()) return why;
    const std::string folder = std::filesystem::path(target).parent_path().string();
    std::string temp = (folder.empty() ? std::string(".") : folder) + "/.corvix-restore-XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return systemWhy(errno);
    ::fchmod(fd, 0600);
    ::close(fd);

    {
        storage::RawFile out(temp);
        if (out.create() != storage::kNoError || fu_FileOpen(out, 34) != storage::kNoError) {
            why = storageWhy(storage::lastError());
        } else {
            // Whole BLOB chunks are read at a time (reads across a chunk boundary would
            // fetch and decrypt both); the writer thread writes the batch before as raw
            // records meanwhile.
            EarlyWriteback writeback(temp);
            BatchRing buffers(kInFlight, batch);
            uint64_t steps[kInFlight] = {};  // the write step of each batch
            // Set by the writer (steps run one after another); writeWhy before failed,
            // and no step writes once one has failed.
            std::string writeWhy;
            std::atomic<bool> failed{false};
            runtime::IoWorker writer(kInFlight);
            uint64_t offset = 0;
            for (int i = 0; offset < static_cast<uint64_t>(total); i = (i + 1) % kInFlight) {
                writer.waitFor(steps[i]);  // this batch's last write is done
                if (failed.load()) break;
                size_t got = 0;
                if (from.readBlob(blob, offset, buffers[i], batch, &got) != storage::kNoError) {
                    why = storageWhy(from.error());
                    break;
                }
                steps[i] = writer.start([&out, &buffers, &writeback, &writeWhy, &failed, i, got] {
                    if (failed.load()) return;
                    for (size_t at = 0; at < got; at += kCopyChunk) {
                        const auto n =
                            static_cast<uint32_t>(std::min<size_t>(kCopyChunk, got - at));
                        if (out.append(buffers[i] + at, n) != storage::kNoError) {
                            writeWhy = storageWhy(storage::lastError());
                            failed.store(true);
                            return;
                        }
                    }
                    writeback.wrote(got);
                });
                offset += got;
                if (progress) progress(offset, static_cast<uint64_t>(total));
            }
            writer.wait();
            if (why.empty() && failed.load()) why = writeWhy;
            if (why.empty()) why = syncToDisk(temp);
        }
    }
    if (why.empty() && ::rename(temp.c_str(), target.c_str()) != 0) why = systemWhy(errno);
    if (!why.empty()) {
        ::unlink(temp.c_str());
        return why;
    }
    syncFolder(folder.empty() ? "." : folder);
    return {};
}

}  // namespace corvix::security
