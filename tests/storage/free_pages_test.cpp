// A vault gives back the space of deleted accounts when it is closed; a file made before
// that (no auto-vacuum) still opens and works, and a pack brings it along.
#include <filesystem>

#include "platform/storage/internal.h"
#include "storage_fixture.h"

namespace corvix::storage {
namespace {

using namespace testing;

class FreePages : public StorageTest {
  protected:
    TableDecl decl = accountDecl("Space\\!Accounts");

    void fill(int count) {
        Table t(decl);
        ASSERT_EQ(t.create(), 0);
        ASSERT_EQ(t.open(), 0);
        Transaction tx;
        ASSERT_EQ(tx.begin({&t}, 2), 0);
        Record r(decl);
        for (int i = 1; i <= count; ++i) {
            fillAccount(r, i, "Bank", "account " + std::to_string(i) + std::string(40, 'x'));
            ASSERT_EQ(t.add(r), 0);
        }
        ASSERT_EQ(tx.commit(), 0);
    }
    // Erases the records whose number is not a multiple of keepEvery; returns how many stay.
    int64_t thin(int keepEvery) {
        Table t(decl);
        EXPECT_EQ(t.open(), 0);
        Transaction tx;
        EXPECT_EQ(tx.begin({&t}, 2), 0);
        Record r(decl);
        EXPECT_EQ(t.set(0), 0);
        while (t.next(r) == 0) {
            if (r.getInt(0) % keepEvery != 0) {
                EXPECT_EQ(t.erase(), 0);
            }
        }
        EXPECT_EQ(tx.commit(), 0);
        return t.records();
    }
    uintmax_t size() const { return std::filesystem::file_size(path("Space.TPS")); }
};

TEST_F(FreePages, ANewFileShrinksWhenItsLastHandleClosesAfterManyDeletes) {
    fill(3000);
    const uintmax_t full = size();
    EXPECT_EQ(thin(4), 750);
    EXPECT_LT(size(), full * 6 / 10) << "free pages were kept";
    // What stays reads back whole.
    Table t(decl);
    ASSERT_EQ(t.open(), 0);
    Record r(decl);
    ASSERT_EQ(t.set(2), 0);
    int64_t n = 0;
    while (t.next(r) == 0) {
        ++n;
        EXPECT_EQ(r.getInt(0) % 4, 0);
        EXPECT_EQ(r.getString(2), "account " + std::to_string(r.getInt(0)) + std::string(40, 'x'));
    }
    EXPECT_EQ(n, 750);
}

TEST_F(FreePages, AnOlderFileKeepsWorkingAndAPackBringsItAlong) {
    fill(3000);
    // As files were made before: no auto-vacuum (a plain file, no owner password).
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open_v2(path("Space.TPS").c_str(), &db, SQLITE_OPEN_READWRITE, nullptr),
                  SQLITE_OK);
        ASSERT_EQ(detail::configureHandle(db, "", nullptr), SQLITE_OK);  // the key collation
        ASSERT_EQ(detail::exec(db, "PRAGMA auto_vacuum = NONE; VACUUM;"), SQLITE_OK);
        sqlite3_close(db);
    }
    const uintmax_t full = size();
    EXPECT_EQ(thin(2), 1500);
    EXPECT_GE(size(), full) << "an older file keeps its pages until a pack";
    {
        Table t(decl);
        ASSERT_EQ(t.open(kReadWrite | kDenyAll), 0);
        ASSERT_EQ(t.pack(), 0);
    }
    const uintmax_t packed = size();
    EXPECT_LT(packed, full * 7 / 10);
    EXPECT_EQ(thin(6), 500);
    EXPECT_LT(size(), packed * 6 / 10) << "after the pack the file gives pages back by itself";
}

}  // namespace
}  // namespace corvix::storage
