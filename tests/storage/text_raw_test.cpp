// The comma-delimited text driver and the raw byte driver.
#include <sys/stat.h>

#include "platform/storage/raw_file.h"
#include "platform/storage/text_file.h"
#include "storage_fixture.h"

namespace corvix::storage {
namespace {

using namespace testing;

TableDecl exportDecl() {
    TableDecl d;
    d.label = "ExPAS";
    d.prefix = "EXPAS";
    d.name = "ExPas.BAS";
    d.fields = {{"EXPAS:PAS_ID", FieldType::Long},
                {"EXPAS:Description", FieldType::String, 60},
                {"EXPAS:Notes", FieldType::String, 4096},
                {"EXPAS:Rate", FieldType::Real},
                {"EXPAS:Flags", FieldType::Byte, 0, {3}}};
    return d;
}

class TextDriver : public StorageTest {};

TEST_F(TextDriver, RoundTripsCommasQuotesLineBreaksAndBackslashes) {
    TableDecl d = exportDecl();
    TextFile out(d);
    ASSERT_EQ(out.create(), 0);
    struct stat st;
    ASSERT_EQ(stat("ExPas.BAS", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(st.st_size, 0);
    ASSERT_EQ(out.open(kReadWrite), 0);
    Record r(d);
    const std::string tricky = "a, \"quoted\" text\nsecond line\r\nthird \\n C:\\new\\dir";
    r.set(0, int64_t{-12});
    r.set(1, std::string("Bank, \"main\""));
    r.set(2, tricky);
    r.set(3, 0.1);
    r.set(4, int64_t{1}, 0);
    r.set(4, int64_t{255}, 2);
    ASSERT_EQ(out.add(r), 0);
    r.clear();
    r.set(0, int64_t{2});
    ASSERT_EQ(out.add(r), 0);
    out.close();

    // One line per record.
    std::string text = readAll("ExPas.BAS");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);

    TextFile in(d);
    ASSERT_EQ(in.open(kReadOnly), 0);
    Record q(d);
    ASSERT_EQ(in.next(q), 0);
    EXPECT_EQ(q.getInt(0), -12);
    EXPECT_EQ(q.getString(1), "Bank, \"main\"");
    EXPECT_EQ(q.getString(2), tricky);
    EXPECT_DOUBLE_EQ(q.getReal(3), 0.1);
    EXPECT_EQ(q.getInt(4, 0), 1);
    EXPECT_EQ(q.getInt(4, 1), 0);
    EXPECT_EQ(q.getInt(4, 2), 255);
    ASSERT_EQ(in.next(q), 0);
    EXPECT_EQ(q.getInt(0), 2);
    EXPECT_EQ(q.getString(2), "");
    EXPECT_EQ(in.next(q), kRecordNotAvailable);
    ASSERT_EQ(in.set(), 0);
    ASSERT_EQ(in.next(q), 0);
    EXPECT_EQ(q.getInt(0), -12);
}

TEST_F(TextDriver, AppendsToWhatTheFileHolds) {
    TableDecl d = exportDecl();
    TextFile f(d);
    ASSERT_EQ(f.create(), 0);
    Record r(d);
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(f.open(kReadWrite), 0);
        r.set(0, int64_t{round + 1});
        ASSERT_EQ(f.add(r), 0);
        f.close();
    }
    ASSERT_EQ(f.open(kReadOnly), 0);
    int n = 0;
    while (f.next(r) == 0) EXPECT_EQ(r.getInt(0), ++n);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(f.add(r), kAccessDenied);
}

TEST_F(TextDriver, ReadsForeignAndDamagedLinesWithoutFailing) {
    TableDecl d = exportDecl();
    writeAll("ExPas.BAS",
             "7,\"C:\\pictures\\x.bmp\",\"unterminated, text\n"
             "\n"
             "8\r\n"
             "notanumber,\"x\",\"y\",1.5,1,2,3,4,5\n");
    TextFile f(d);
    ASSERT_EQ(f.open(kReadOnly), 0);
    Record r(d);
    ASSERT_EQ(f.next(r), 0);
    EXPECT_EQ(r.getInt(0), 7);
    EXPECT_EQ(r.getString(1), "C:\\pictures\\x.bmp");
    EXPECT_EQ(r.getString(2), "unterminated, text");
    ASSERT_EQ(f.next(r), 0);  // the blank line holds no record
    EXPECT_EQ(r.getInt(0), 8);
    EXPECT_EQ(r.getString(1), "");
    ASSERT_EQ(f.next(r), 0);
    EXPECT_EQ(r.getInt(0), 0);
    EXPECT_DOUBLE_EQ(r.getReal(3), 1.5);
    EXPECT_EQ(r.getInt(4, 2), 3);
    EXPECT_EQ(f.next(r), kRecordNotAvailable);
}

TEST_F(TextDriver, MissingFileGives2) {
    TableDecl d = exportDecl();
    TextFile f(d);
    EXPECT_EQ(f.open(kReadOnly), kFileNotFound);
    EXPECT_EQ(f.open(kReadWrite), kFileNotFound);
    EXPECT_FALSE(std::filesystem::exists("ExPas.BAS"));
    Record r(d);
    EXPECT_EQ(f.next(r), kFileNotOpen);
}

class RawDriver : public StorageTest {};

TEST_F(RawDriver, AppendsAndReadsAtOffsets) {
    RawFile f("data.bin");
    EXPECT_EQ(f.open(kReadOnly), kFileNotFound);
    EXPECT_EQ(f.size(), -1);
    ASSERT_EQ(f.create(), 0);
    ASSERT_EQ(f.open(kReadWrite | kDenyWrite), 0);
    EXPECT_EQ(f.size(), 0);
    std::string big(100000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i % 251);
    ASSERT_EQ(f.append(big.data(), static_cast<uint32_t>(big.size())), 0);
    ASSERT_EQ(f.append("tail", 4), 0);
    EXPECT_EQ(f.size(), 100004);

    std::vector<char> buf(70000);
    uint32_t got = 0;
    // One read gives at most 65,535 bytes.
    ASSERT_EQ(f.read(10, buf.data(), 70000, &got), 0);
    EXPECT_EQ(got, 65535u);
    EXPECT_EQ(0, memcmp(buf.data(), big.data() + 10, got));
    ASSERT_EQ(f.read(100000, buf.data(), 100, &got), 0);
    EXPECT_EQ(std::string(buf.data(), got), "tail");
    EXPECT_EQ(f.read(100004, buf.data(), 100, &got), kRecordNotAvailable);
    EXPECT_EQ(got, 0u);
    f.close();
    EXPECT_EQ(f.read(0, buf.data(), 1, &got), kFileNotOpen);
}

TEST_F(RawDriver, AccessAndShareModes) {
    RawFile f("data.bin");
    ASSERT_EQ(f.create(), 0);
    ASSERT_EQ(f.open(kReadOnly | kDenyWrite), 0);
    EXPECT_EQ(f.append("x", 1), kAccessDenied);
    RawFile writer("data.bin");
    EXPECT_EQ(writer.open(kReadWrite | kDenyNone), kAccessDenied);
    RawFile reader("data.bin");
    EXPECT_EQ(reader.open(kReadOnly | kDenyNone), 0);
    f.close();
    reader.close();
    EXPECT_EQ(writer.open(kReadWrite | kDenyAll), 0);
    // No lock file is left beside a raw file.
    EXPECT_FALSE(std::filesystem::exists("data.bin.lck"));
}

}  // namespace
}  // namespace corvix::storage
