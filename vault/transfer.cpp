#include "vault/transfer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "runtime/secret.h"
#include "vault/export_lines.h"

namespace corvix::vault {

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kWriteChunk = 256 * 1024;
constexpr size_t kReadChunk = 1024 * 1024;
constexpr int kTransactionWaitSeconds = 10;  // as long as the file managers wait
// Keys are deferred for an import file of at least this size holding at least a quarter of
// the records the table has (an export line is a few hundred bytes).
constexpr off_t kDeferKeysBytes = 512 * 1024;
constexpr off_t kBytesPerRecord = 200;

storage::Error fileError(const std::string& fileName, int sysError) {
    storage::Error e;
    e.code = sysError == ENOENT                                             ? storage::kFileNotFound
             : sysError == EACCES || sysError == EPERM || sysError == EROFS ? storage::kAccessDenied
                                                                            : storage::kDriverError;
    e.text = storage::errorText(e.code);
    e.driverCode = sysError;
    e.driverText = std::strerror(sysError);
    e.file = fileName;
    return e;
}

int percentOf(int64_t done, int64_t total) {
    if (total <= 0) return 100;
    return static_cast<int>(std::min<int64_t>(100, done * 100 / total));
}

// Appends whole lines to the export file; a write that fails half-way is cut back so the
// file never ends inside a record.
class LineWriter {
  public:
    explicit LineWriter(std::string fileName) : fileName_(std::move(fileName)) {}
    ~LineWriter() {
        ::runtime::wipe(pending_);
        if (fd_ >= 0) ::close(fd_);
    }

    bool open(storage::Error* failure) {
        fd_ = ::open(fileName_.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (fd_ < 0) return fail(errno, failure);
        struct stat st;
        if (::fstat(fd_, &st) != 0) return fail(errno, failure);
        if (S_ISDIR(st.st_mode)) return fail(EISDIR, failure);
        // It holds passwords in clear: nobody else may read it, also when it was there.
        if ((st.st_mode & 0077) != 0 && ::fchmod(fd_, 0600) != 0) return fail(errno, failure);
        // A file someone edited may end without a line end; the first record must not
        // be glued to its last line.
        char last = '\n';
        if (st.st_size > 0 && ::pread(fd_, &last, 1, st.st_size - 1) != 1)
            return fail(errno, failure);
        if (last != '\n') pending_ = "\r\n";
        return true;
    }

    std::string& buffer() { return pending_; }
    bool full() const { return pending_.size() >= kWriteChunk; }

    bool flush(storage::Error* failure) {
        if (pending_.empty()) return true;
        struct stat st;
        if (::fstat(fd_, &st) != 0) return fail(errno, failure);
        size_t done = 0;
        while (done < pending_.size()) {
            ssize_t n = ::write(fd_, pending_.data() + done, pending_.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                int err = n < 0 ? errno : ENOSPC;
                if (::ftruncate(fd_, st.st_size) != 0) { /* the error below says enough */
                }
                return fail(err, failure);
            }
            done += static_cast<size_t>(n);
        }
        ::runtime::wipe(pending_);
        pending_.clear();
        return true;
    }

    bool finish(storage::Error* failure) {
        if (!flush(failure)) return false;
        if (::fdatasync(fd_) != 0) return fail(errno, failure);
        return true;
    }

  private:
    bool fail(int err, storage::Error* failure) {
        *failure = fileError(fileName_, err);
        return false;
    }

    std::string fileName_;
    int fd_ = -1;
    std::string pending_;
};

// Reads an import file line by line in large chunks, counting lines and bytes.
class LineReader {
  public:
    explicit LineReader(int fd) : fd_(fd) {}
    ~LineReader() {
        ::runtime::wipe(buffer_);
        ::runtime::wipe(line_);
    }

    // The next line without its line end; false at the end of the file or on an error
    // (*error set to errno).
    bool next(int* error) {
        line_.clear();
        for (;;) {
            size_t nl = buffer_.find('\n', start_);
            if (nl != std::string::npos) {
                line_.assign(buffer_, start_, nl - start_);
                consumed_ += nl + 1 - start_;
                start_ = nl + 1;
                break;
            }
            if (eof_) {
                if (start_ >= buffer_.size()) return false;
                line_.assign(buffer_, start_, std::string::npos);  // a last line without end
                consumed_ += buffer_.size() - start_;
                start_ = buffer_.size();
                break;
            }
            buffer_.erase(0, start_);
            start_ = 0;
            size_t had = buffer_.size();
            buffer_.resize(had + kReadChunk);
            ssize_t n;
            do {
                n = ::read(fd_, buffer_.data() + had, kReadChunk);
            } while (n < 0 && errno == EINTR);
            if (n < 0) {
                *error = errno;
                buffer_.resize(had);
                return false;
            }
            buffer_.resize(had + static_cast<size_t>(n));
            if (n == 0) eof_ = true;
        }
        ++lineNumber_;
        if (!line_.empty() && line_.back() == '\r') line_.pop_back();
        return true;
    }

    const std::string& line() const { return line_; }
    int64_t lineNumber() const { return lineNumber_; }
    int64_t consumed() const { return consumed_; }

  private:
    int fd_;
    std::string buffer_;
    size_t start_ = 0;
    bool eof_ = false;
    std::string line_;
    int64_t lineNumber_ = 0;
    int64_t consumed_ = 0;
};

// Adds records in transactions that end after a number of records or a time.
class BatchedWriter {
  public:
    BatchedWriter(storage::Table& target, BatchLimits limits) : target_(target), limits_(limits) {}
    ~BatchedWriter() { (void)commit(); }

    int add(storage::RecordBuffer& record) {
        if (!transaction_.active()) {
            int rc = transaction_.begin({&target_}, kTransactionWaitSeconds);
            if (rc != storage::kNoError) return rc;
            started_ = Clock::now();
        }
        int rc = target_.add(record);
        if (rc == storage::kNoError) ++inBatch_;
        return rc;
    }

    bool due() const {
        return inBatch_ >= limits_.records ||
               (inBatch_ > 0 &&
                Clock::now() - started_ >= std::chrono::milliseconds(limits_.millis));
    }
    int64_t uncommitted() const { return inBatch_; }

    int commit() {
        if (!transaction_.active()) return storage::kNoError;
        inBatch_ = 0;
        return transaction_.commit();
    }

  private:
    storage::Table& target_;
    BatchLimits limits_;
    storage::Transaction transaction_;
    Clock::time_point started_;
    int64_t inBatch_ = 0;
};

}  // namespace

TransferResult exportRecords(storage::Table& source, int key, const std::string& fileName,
                             TransferObserver& observer) {
    TransferResult result;
    LineWriter out(fileName);
    if (!out.open(&result.failure)) return result;
    source.sendDriverString("QUICKSCAN=on");
    // One snapshot of the table: every record as it was when the export began, and no
    // lock taken and given back for every batch read. Without it (the file is busy) the
    // records are still read, only more slowly.
    storage::Transaction snapshot;
    (void)snapshot.begin({&source}, 0);
    // Ended by a commit, never a rollback: another window of the program writing to the
    // same file meanwhile shares the connection, and its records must stay.
    struct EndSnapshot {
        storage::Transaction& t;
        ~EndSnapshot() {
            if (t.active()) t.commit();
        }
    } endSnapshot{snapshot};
    const int64_t total = source.records();
    storage::Record record(source.decl());
    int rc = source.set(key);
    int64_t buffered = 0;
    int percent = -1;
    auto lastFlush = Clock::now();
    auto flush = [&] {
        if (!out.flush(&result.failure)) return false;
        result.written += buffered;
        buffered = 0;
        lastFlush = Clock::now();
        observer.committed(result.written);
        return true;
    };
    while (rc == storage::kNoError && (rc = source.next(record)) == storage::kNoError) {
        ++result.read;
        appendRecordLine(record, out.buffer());
        ++buffered;
        if ((out.full() || Clock::now() - lastFlush >= std::chrono::milliseconds(250)) && !flush())
            return result;
        int now = percentOf(result.read, total);
        if (now != percent) observer.progress(percent = now);
        if (observer.cancelled()) {
            result.cancelled = true;
            break;
        }
    }
    if (rc != storage::kNoError && rc != storage::kRecordNotAvailable) {
        result.failure = source.error();
        flush();  // what was read before the failure is still written
        return result;
    }
    if (!flush() || !out.finish(&result.failure)) return result;
    if (percent != 100 && !result.cancelled) observer.progress(100);
    return result;
}

TransferResult importRecords(const std::string& fileName, storage::Table& target,
                             TransferObserver& observer, BatchLimits limits) {
    TransferResult result;
    int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        // Like every export file, a missing one is created empty: nothing to import.
        fd = ::open(fileName.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0600);
    }
    if (fd < 0) {
        result.failure = fileError(fileName, errno);
        return result;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        result.failure = fileError(fileName, S_ISDIR(st.st_mode) ? EISDIR : errno);
        ::close(fd);
        return result;
    }
    // A large load into a table that holds few records yet leaves the keys that are not
    // unique to be built at the end (the storage builds them after a crash too).
    const int64_t had = target.records();
    const bool deferred = st.st_size >= kDeferKeysBytes && had >= 0 &&
                          st.st_size / kBytesPerRecord >= had / 4 &&
                          target.deferKeys() == storage::kNoError && target.keysDeferred();
    bool done = false, finished = false;
    {
        LineReader in(fd);
        BatchedWriter writer(target, limits);
        storage::Record record(target.decl());
        std::string reason;
        int percent = -1;
        int readError = 0;
        auto commit = [&] {
            if (writer.uncommitted() == 0) return true;
            int64_t pending = writer.uncommitted();
            if (writer.commit() != storage::kNoError) {
                result.failure = storage::lastError();
                result.written -= pending;
                return false;
            }
            observer.committed(result.written);
            return true;
        };
        while (in.next(&readError)) {
            if (in.line().empty()) continue;  // blank lines hold no record
            ++result.read;
            record.clear();
            if (!parseRecordLine(in.line(), record, &reason)) {
                ++result.malformed;
                observer.malformed(in.lineNumber(), reason);
            } else {
                int rc = writer.add(record);
                if (rc == storage::kNoError) {
                    ++result.written;
                } else if (rc == storage::kDuplicateKey) {
                    ++result.refused;
                    storage::Error refusal = target.error();
                    if (!commit()) break;  // nothing unsaved while the user reads a message
                    observer.refused(refusal, in.lineNumber());
                } else {
                    result.failure = storage::lastError();
                    commit();  // the records before it are whole and stay
                    break;
                }
            }
            if (writer.due() && !commit()) break;
            // Building deferred keys at the end is part of the work.
            int now = std::min(percentOf(in.consumed(), st.st_size), deferred ? 99 : 100);
            if (now != percent) observer.progress(percent = now);
            if (observer.cancelled()) {
                result.cancelled = true;
                break;
            }
        }
        if (readError != 0) result.failure = fileError(fileName, readError);
        done = result.failure.code == storage::kNoError && commit();
        finished = percent == 100;
    }  // the last batch is committed (or undone) here
    // Whatever stopped the load, the records it kept are in: the keys are built now.
    if (deferred && target.restoreKeys() != storage::kNoError && done) {
        result.failure = target.error();
        done = false;
    }
    if (done && !result.cancelled && !finished) observer.progress(100);
    ::close(fd);
    return result;
}

}  // namespace corvix::vault

namespace corvix::vault {

namespace {
std::string trimmedRight(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}
std::string counted(int64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}
}  // namespace

std::string exportCompletionText(bool themes, int64_t exported, const std::string& fileName) {
    if (!themes) return "Passwords have been exported to " + trimmedRight(fileName) + ".";
    return std::to_string(exported) + " image themes have been exported to " +
           trimmedRight(fileName) + ".";
}

std::string importSummaryText(const TransferResult& result, const std::string& fileName) {
    std::string text =
        counted(result.written, "record", "records") + " imported from " + trimmedRight(fileName);
    if (result.refused)
        text += ", " + counted(result.refused, "refused as a duplicate", "refused as duplicates");
    if (result.malformed) text += ", " + counted(result.malformed, "line", "lines") + " skipped";
    if (result.cancelled) text += "; cancelled";
    return text + ".";
}

}  // namespace corvix::vault
