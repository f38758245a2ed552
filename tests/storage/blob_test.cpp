// BLOBs: streamed in and out in chunks, empty ones, large ones, and erased with the record.
#include <sys/resource.h>

#include "platform/storage/integrity.h"
#include "platform/storage/sealing.h"
#include "rechunk.h"
#include "storage_fixture.h"

namespace corvix::storage {
namespace {

using namespace testing;

// Deterministic bytes, so that a large BLOB can be checked without keeping a copy.
unsigned char patternAt(uint64_t i) {
    return static_cast<unsigned char>((i * 2654435761u) >> 13);
}

void fillPattern(std::vector<unsigned char>& buf, uint64_t from) {
    for (size_t i = 0; i < buf.size(); ++i) buf[i] = patternAt(from + i);
}

// Reads the BLOB from `from` to its end in 48 KiB pieces (across chunk boundaries) and
// compares it with the pattern; the bytes that matched.
uint64_t patternReadBack(Table& t, uint64_t from) {
    std::vector<unsigned char> buf(48 * 1024), want(48 * 1024);
    uint64_t at = from;
    for (;;) {
        size_t got = 0;
        int rc = t.readBlob(0, at, buf.data(), buf.size(), &got);
        if (rc == kRecordNotAvailable) break;
        EXPECT_EQ(rc, 0);
        if (rc != 0) break;
        want.resize(got);
        fillPattern(want, at);
        EXPECT_EQ(0, memcmp(buf.data(), want.data(), got)) << "at " << at;
        if (memcmp(buf.data(), want.data(), got) != 0) break;
        at += got;
    }
    return at - from;
}

long peakKilobytes() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

class Blobs : public StorageTest {};

TEST_F(Blobs, EmptyAndSmallBlobsRoundTrip) {
    TableDecl d = containerDecl("doc.pdf.ENC", "vault key");
    Table t(d);
    ASSERT_EQ(t.create(), 0);
    ASSERT_EQ(t.open(), 0);
    Record r(d);
    EXPECT_EQ(t.blobSize(0), -1);  // no current record yet
    EXPECT_EQ(t.error().code, kRecordNotAvailable);
    r.set(0, int64_t{1});
    ASSERT_EQ(t.add(r), 0);
    EXPECT_EQ(t.blobSize(0), 0);
    ASSERT_EQ(t.appendBlob(0, "", 0), 0);
    EXPECT_EQ(t.blobSize(0), 0);
    char buf[16];
    size_t got = 99;
    EXPECT_EQ(t.readBlob(0, 0, buf, sizeof buf, &got), kRecordNotAvailable);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(t.blobSize(1), -1);  // no such BLOB

    ASSERT_EQ(t.appendBlob(0, "hello ", 6), 0);
    ASSERT_EQ(t.appendBlob(0, "world", 5), 0);
    EXPECT_EQ(t.blobSize(0), 11);
    ASSERT_EQ(t.readBlob(0, 3, buf, 5, &got), 0);
    EXPECT_EQ(std::string(buf, got), "lo wo");
    ASSERT_EQ(t.readBlob(0, 6, buf, sizeof buf, &got), 0);
    EXPECT_EQ(std::string(buf, got), "world");
    ASSERT_EQ(t.truncateBlob(0), 0);
    EXPECT_EQ(t.blobSize(0), 0);
}

TEST_F(Blobs, BlobsFollowTheirRecordAndGoWithIt) {
    TableDecl d = containerDecl("two.ENC");
    Table t(d);
    ASSERT_EQ(t.create(), 0);
    ASSERT_EQ(t.open(), 0);
    Record r(d);
    r.set(0, int64_t{1});
    ASSERT_EQ(t.add(r), 0);
    ASSERT_EQ(t.appendBlob(0, "first", 5), 0);
    std::string firstPos = t.position();
    r.set(0, int64_t{2});
    ASSERT_EQ(t.add(r), 0);
    ASSERT_EQ(t.appendBlob(0, "second!", 7), 0);
    ASSERT_EQ(t.reget(firstPos, r), 0);
    EXPECT_EQ(t.blobSize(0), 5);
    ASSERT_EQ(t.erase(), 0);
    r.set(0, int64_t{2});
    ASSERT_EQ(t.get(0, r), 0);
    EXPECT_EQ(t.blobSize(0), 7);
}

// With large pages, as containers have: their pages reach the file through a writer
// thread, so pages written out of the cache but not yet on disk are read back too, inside
// the transaction that wrote them, and after a fresh open.
TEST_F(Blobs, HundredMegabytesStreamInAndOutWithoutBeingHeldWhole) {
    const uint64_t total = 100ull * 1024 * 1024;
    TableDecl d = containerDecl("big.ENC", "vault key");
    d.pageSize = kLargePageSize;
    Table t(d);
    ASSERT_EQ(t.create(), 0);
    ASSERT_EQ(t.open(kReadWrite | kDenyAll), 0);
    Record r(d);
    r.set(0, int64_t{1});
    ASSERT_EQ(t.add(r), 0);
    long before = peakKilobytes();
    std::vector<unsigned char> piece(1000003);  // not a multiple of the chunk size
    ASSERT_EQ(t.stream(), 0);
    for (uint64_t at = 0; at < total;) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(piece.size(), total - at));
        piece.resize(n);
        fillPattern(piece, at);
        ASSERT_EQ(t.appendBlob(0, piece.data(), n), 0);
        at += n;
    }
    // The pages most recently pushed out of the page cache (8 MB for large pages, so
    // about 8 MB before the end) are the ones still on their way to the disk.
    const uint64_t recent = total - 40ull * 1024 * 1024;
    EXPECT_EQ(patternReadBack(t, recent), total - recent);
    ASSERT_EQ(t.flush(), 0);
    EXPECT_EQ(t.blobSize(0), static_cast<int64_t>(total));
    t.close();
    ASSERT_EQ(t.open(), 0);
    ASSERT_EQ(t.get(0, r), 0);
    EXPECT_EQ(patternReadBack(t, 0), total);
    // The whole value was never in memory: the peak grew by far less than its size.
    EXPECT_LT(peakKilobytes() - before, 60 * 1024);
}

// A new file sealed by a connection without a key, whose pages the writer threads encrypt:
// pages pushed out of the cache are read back while it is written, SQLCipher reads every
// page once it is closed, and it takes its name only when asked, never over a file.
TEST_F(Blobs, ASealedFileReadsBackThroughSqlCipherAndNeverReplacesAFile) {
    const uint64_t total = 24ull << 20;
    TableDecl d = containerDecl("sealed.ENC", "vault key");
    d.pageSize = kLargePageSize;
    Record r(d);
    r.set(0, int64_t{1});
    auto writeInto = [&](const std::string& name) {
        Table t(d);
        t.setName(name);
        ASSERT_EQ(t.create(), 0);
        ASSERT_EQ(t.open(kReadWrite | kDenyAll), 0);
        ASSERT_EQ(t.stream(), 0);
        ASSERT_EQ(t.add(r), 0);
        std::vector<unsigned char> piece(1000003);
        for (uint64_t at = 0; at < total; at += piece.size()) {
            piece.resize(static_cast<size_t>(std::min<uint64_t>(piece.size(), total - at)));
            fillPattern(piece, at);
            ASSERT_EQ(t.appendBlob(0, piece.data(), piece.size()), 0);
        }
        EXPECT_EQ(patternReadBack(t, 0), total);
        ASSERT_EQ(t.flush(), 0);
    };
    std::string unfinished;
    {
        SealingFile sealing("sealed.ENC");
        writeInto(sealing.name());
        EXPECT_FALSE(std::filesystem::exists(dir_ + "/sealed.ENC"));
        EXPECT_FALSE(std::filesystem::exists(sealing.name() + "-journal"));
        sealing.finishWriting();
        Table back(d);
        back.setName(sealing.name());
        ASSERT_EQ(back.open(kReadOnly | kDenyNone), 0);
        std::string problems;
        EXPECT_EQ(checkIntegrity(back, &problems), 0) << problems;
        ASSERT_EQ(back.get(0, r), 0);
        EXPECT_EQ(patternReadBack(back, 0), total);
        back.close();
        ASSERT_EQ(sealing.moveIntoPlace(), 0);

        SealingFile again("sealed.ENC");
        unfinished = again.name();
        writeInto(again.name());
        EXPECT_EQ(again.moveIntoPlace(), EEXIST);
    }
    EXPECT_FALSE(std::filesystem::exists(unfinished));
    EXPECT_FALSE(std::filesystem::exists(unfinished + ".lck"));
    Table t(d);
    ASSERT_EQ(t.open(kReadOnly | kDenyNone), 0);
    ASSERT_EQ(t.get(0, r), 0);
    EXPECT_EQ(patternReadBack(t, 0), total);
    EXPECT_EQ(t.records(), 1);
}

// A container made with large pages opens like one made with the usual pages, keeps its
// BLOB whole across opens (a last chunk left part full is filled up by the next append),
// and still refuses a wrong owner password.
TEST_F(Blobs, LargePageFilesOpenBesideUsualOnesAndKeepTheirBlobs) {
    const uint64_t first = 70000, second = 130001;  // chunk boundaries fall inside both
    for (uint32_t pageSize : {kLargePageSize, 0u}) {
        SCOPED_TRACE(pageSize);
        const std::string file = pageSize ? "large.ENC" : "usual.ENC";
        TableDecl d = containerDecl(file, "vault key");
        d.pageSize = pageSize;
        Record r(d);
        std::vector<unsigned char> piece(first);
        {
            Table t(d);
            ASSERT_EQ(t.create(), 0);
            ASSERT_EQ(t.open(), 0);
            r.set(0, int64_t{1});
            ASSERT_EQ(t.add(r), 0);
            fillPattern(piece, 0);
            ASSERT_EQ(t.appendBlob(0, piece.data(), piece.size()), 0);
        }
        {
            const TableDecl plain = containerDecl(file, "vault key");  // without the hint
            Table t(plain);
            ASSERT_EQ(t.open(), 0);
            ASSERT_EQ(t.get(0, r), 0);
            piece.resize(second);
            fillPattern(piece, first);
            ASSERT_EQ(t.stream(), 0);
            ASSERT_EQ(t.appendBlob(0, piece.data(), piece.size()), 0);
            ASSERT_EQ(t.flush(), 0);
            ASSERT_EQ(t.blobSize(0), static_cast<int64_t>(first + second));
            std::vector<unsigned char> all(first + second), want(first + second);
            size_t got = 0;
            ASSERT_EQ(t.readBlob(0, 0, all.data(), all.size(), &got), 0);
            ASSERT_EQ(got, all.size());
            fillPattern(want, 0);
            EXPECT_EQ(all, want);
        }
        EXPECT_EQ(readAll(file).size() % (pageSize ? pageSize : kDefaultPageSize), 0u);
        const TableDecl other = containerDecl(file, "another key");
        Table wrong(other);
        EXPECT_EQ(wrong.open(), kDriverError);
        EXPECT_EQ(wrong.error().driverCode & 0xFF, 26);  // not a database
    }
    // Pages of one large page each: the large file is not cut into usual pages.
    EXPECT_NE(readAll("large.ENC").size(), readAll("usual.ENC").size());
}

// Large-page files give new BLOBs chunks whose records fill whole pages (64 KiB chunks
// took 7% more pages than their bytes); files holding 64 KiB chunks, as older ones do,
// still read and grow in them.
TEST_F(Blobs, LargePageChunksFillTheirPagesAndOlderChunksStillReadAndGrow) {
    const uint64_t first = 4u << 20, second = 16u << 20, third = 100001;
    TableDecl d = containerDecl("fit.ENC", "vault key");
    d.pageSize = kLargePageSize;
    Record r(d);
    auto append = [](Table& t, uint64_t from, uint64_t size) {
        std::vector<unsigned char> piece(size);
        fillPattern(piece, from);
        ASSERT_EQ(t.appendBlob(0, piece.data(), piece.size()), 0);
    };
    {
        Table t(d);
        ASSERT_EQ(t.create(), 0);
        ASSERT_EQ(t.open(), 0);
        r.set(0, int64_t{1});
        ASSERT_EQ(t.add(r), 0);
        append(t, 0, first);
        const auto before = std::filesystem::file_size("fit.ENC");
        append(t, first, second);
        const auto grown = std::filesystem::file_size("fit.ENC") - before;
        EXPECT_LT(grown, second + second / 50) << "pages beside the bytes: " << grown - second;
        EXPECT_GT(t.blobChunkSize(0), 64u * 1024);
    }
    rechunkBlobs("fit.ENC", "vault key", 64 * 1024);
    Table t(d);
    ASSERT_EQ(t.open(), 0);
    ASSERT_EQ(t.get(0, r), 0);
    EXPECT_EQ(t.blobChunkSize(0), 64u * 1024);
    EXPECT_EQ(t.blobSize(0), static_cast<int64_t>(first + second));
    append(t, first + second, third);  // fills the last 64 KiB chunk, then whole ones
    EXPECT_EQ(t.blobSize(0), static_cast<int64_t>(first + second + third));
    EXPECT_EQ(patternReadBack(t, 0), first + second + third);
    EXPECT_EQ(patternReadBack(t, 64 * 1024 - 7), first + second + third - (64 * 1024 - 7));
    EXPECT_EQ(t.blobChunkSize(0), 64u * 1024);
}

}  // namespace
}  // namespace corvix::storage
