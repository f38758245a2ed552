// BLOBs: streamed in and out in chunks, empty ones, large ones, and erased with the record.
#include <sys/resource.h>

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

TEST_F(Blobs, HundredMegabytesStreamInAndOutWithoutBeingHeldWhole) {
    const uint64_t total = 100ull * 1024 * 1024;
    TableDecl d = containerDecl("big.ENC", "vault key");
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
    ASSERT_EQ(t.flush(), 0);
    EXPECT_EQ(t.blobSize(0), static_cast<int64_t>(total));

    std::vector<unsigned char> buf(48 * 1024), want(48 * 1024);
    uint64_t at = 0;
    for (;;) {
        size_t got = 0;
        int rc = t.readBlob(0, at, buf.data(), buf.size(), &got);
        if (rc == kRecordNotAvailable) break;
        ASSERT_EQ(rc, 0);
        want.resize(got);
        fillPattern(want, at);
        ASSERT_EQ(0, memcmp(buf.data(), want.data(), got)) << "at " << at;
        at += got;
    }
    EXPECT_EQ(at, total);
    // The whole value was never in memory: the peak grew by far less than its size.
    EXPECT_LT(peakKilobytes() - before, 60 * 1024);
}

}  // namespace
}  // namespace corvix::storage
