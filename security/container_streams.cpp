#include "security/container_streams.h"

#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "libs/ferrule/ferrule.h"
#include "platform/storage/raw_file.h"
#include "platform/storage/table.h"

namespace corvix::security {

namespace {

// Records gathered before each BLOB append: large enough that the driver's chunk
// bookkeeping is paid rarely, small enough that memory stays flat (about 1 MB).
constexpr size_t kRecordsPerAppend = 16;
// Restoring reads this much of the BLOB at once: a whole number of the driver's 64 KiB
// chunks.
constexpr size_t kBlobReadSize = 16 * 65536;

std::string storageWhy(const storage::Error& e) {
    std::string why = e.text.empty() ? storage::errorText(e.code) : e.text;
    if (!e.driverText.empty()) why += " (" + e.driverText + ")";
    return why;
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

}  // namespace

std::string copyFileToBlob(storage::RawFile& from, storage::Table& to, int blob,
                           const CopyProgress& progress, Digest* digest, uint64_t* copied) {
    const int64_t size = from.size();
    if (size < 0) return "the file cannot be read";
    Hasher hash;
    std::vector<unsigned char> batch(kCopyChunk * kRecordsPerAppend);
    uint64_t offset = 0;
    size_t filled = 0;
    auto appendBatch = [&]() -> std::string {
        if (filled == 0) return {};
        if (to.appendBlob(blob, batch.data(), filled) != storage::kNoError)
            return storageWhy(to.error());
        if (digest) hash.update(batch.data(), filled);
        offset += filled;
        filled = 0;
        if (progress) progress(offset, static_cast<uint64_t>(size));
        return {};
    };
    for (;;) {
        uint32_t got = 0;
        const int rc = from.read(offset + filled, batch.data() + filled, kCopyChunk, &got);
        if (rc == storage::kRecordNotAvailable) break;
        if (rc != storage::kNoError) return storageWhy(storage::lastError());
        filled += got;
        if (filled + kCopyChunk > batch.size())
            if (std::string why = appendBatch(); !why.empty()) return why;
    }
    if (std::string why = appendBatch(); !why.empty()) return why;
    sodium_memzero(batch.data(), batch.size());
    if (digest) *digest = hash.final();
    *copied = offset;
    return {};
}

std::string digestBlob(storage::Table& table, int blob, Digest* digest, uint64_t* size) {
    const int64_t total = table.blobSize(blob);
    if (total < 0) return storageWhy(table.error());
    Hasher hash;
    std::vector<unsigned char> chunk(kCopyChunk * kRecordsPerAppend);
    uint64_t offset = 0;
    while (offset < static_cast<uint64_t>(total)) {
        size_t got = 0;
        if (table.readBlob(blob, offset, chunk.data(), chunk.size(), &got) != storage::kNoError)
            return storageWhy(table.error());
        hash.update(chunk.data(), got);
        offset += got;
    }
    sodium_memzero(chunk.data(), chunk.size());
    *digest = hash.final();
    *size = offset;
    return {};
}

std::string restoreBlobToFile(storage::Table& from, int blob, const std::string& target,
                              const CopyProgress& progress) {
    const int64_t total = from.blobSize(blob);
    if (total < 0) return storageWhy(from.error());
    const std::string folder = std::filesystem::path(target).parent_path().string();
    std::string temp = (folder.empty() ? std::string(".") : folder) + "/.corvix-restore-XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return systemWhy(errno);
    ::fchmod(fd, 0600);
    ::close(fd);

    std::string why;
    {
        storage::RawFile out(temp);
        if (out.create() != storage::kNoError || fu_FileOpen(out, 34) != storage::kNoError) {
            why = storageWhy(storage::lastError());
        } else {
            // Read whole BLOB chunks at a time (reads across a chunk boundary would fetch
            // and decrypt both), and write them out as raw records.
            std::vector<unsigned char> chunk(kBlobReadSize);
            uint64_t offset = 0;
            while (why.empty() && offset < static_cast<uint64_t>(total)) {
                size_t got = 0;
                if (from.readBlob(blob, offset, chunk.data(), chunk.size(), &got) !=
                    storage::kNoError) {
                    why = storageWhy(from.error());
                    break;
                }
                for (size_t at = 0; why.empty() && at < got; at += kCopyChunk) {
                    const auto n = static_cast<uint32_t>(std::min<size_t>(kCopyChunk, got - at));
                    if (out.append(chunk.data() + at, n) != storage::kNoError)
                        why = storageWhy(storage::lastError());
                }
                offset += got;
                if (progress && why.empty()) progress(offset, static_cast<uint64_t>(total));
            }
            sodium_memzero(chunk.data(), chunk.size());
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
