// Bulk appends (keys set aside and rebuilt), keys deferred by a load (and built after it
// dies), writes inside streams and transactions without savepoints, and the owner a
// handle opens with.
#include <signal.h>
#include <sqlite3.h>

#include "storage_fixture.h"

namespace corvix::storage {
namespace {

using testing::accountDecl;
using testing::fillAccount;
using testing::StorageTest;

class Appends : public StorageTest {
  protected:
    void SetUp() override {
        StorageTest::SetUp();
        ASSERT_EQ(Table(d_).create(), 0);
    }
    // Appends accounts with ids from..to, descriptions counting down so that the
    // description order is the reverse of the physical one.
    static void appendRange(Table& t, const TableDecl& d, int from, int to) {
        Record r(d);
        for (int i = from; i <= to; ++i) {
            fillAccount(r, i, i % 2 ? "Bank" : "Mail", "d" + std::to_string(1000 - i), i % 3 == 0);
            ASSERT_EQ(t.append(r), 0) << i;
        }
    }
    std::vector<int64_t> idsInKeyOrder(Table& t, int key) {
        std::vector<int64_t> ids;
        Record r(d_);
        EXPECT_EQ(t.set(key), 0);
        while (t.next(r) == 0) ids.push_back(r.getInt(0));
        return ids;
    }
    TableDecl d_ = accountDecl("Bulk\\!Accounts");
};

TEST_F(Appends, ExclusiveAppendLeavesKeysToBuildKeys) {
    {
        Table t(d_);
        ASSERT_EQ(t.open(kReadWrite | kDenyAll), 0);
        ASSERT_EQ(t.stream(), 0);
        appendRange(t, d_, 1, 40);
        ASSERT_EQ(t.flush(), 0);
        EXPECT_EQ(t.records(), 40);
    }
    // Closed without building: the next open is told that the keys need rebuilding.
    Table other(d_);
    EXPECT_EQ(other.open(), kBadKey);
    EXPECT_EQ(other.buildKeys(), 0);
    ASSERT_EQ(other.open(), 0);
    std::vector<int64_t> ids = idsInKeyOrder(other, 2);  // description order
    ASSERT_EQ(ids.size(), 40u);
    for (size_t i = 0; i < ids.size(); ++i) EXPECT_EQ(ids[i], 40 - static_cast<int64_t>(i));
    // The optional key holds only the watched ones (every third), in physical order.
    ids = idsInKeyOrder(other, 3);
    ASSERT_EQ(ids.size(), 13u);
    EXPECT_EQ(ids.front(), 3);
    EXPECT_EQ(ids.back(), 39);
}

TEST_F(Appends, BuildKeysOnTheAppendingHandleMakesTheTableWholeAgain) {
    Table t(d_);
    ASSERT_EQ(t.open(kReadWrite | kDenyAll), 0);
    appendRange(t, d_, 1, 5);  // without a stream: each append is its own write
    ASSERT_EQ(t.buildKeys(), 0);
    appendRange(t, d_, 6, 8);  // appends after a build set the keys aside again
    ASSERT_EQ(t.buildKeys(), 0);
    t.close();
    Table other(d_);
    ASSERT_EQ(other.open(), 0);
    EXPECT_EQ(idsInKeyOrder(other, 2), (std::vector<int64_t>{8, 7, 6, 5, 4, 3, 2, 1}));
}

TEST_F(Appends, UniqueKeysStillRefuseDuplicatesAtOnce) {
    Table t(d_);
    ASSERT_EQ(t.open(kReadWrite | kDenyAll), 0);
    ASSERT_EQ(t.stream(), 0);
    appendRange(t, d_, 1, 3);
    Record r(d_);
    fillAccount(r, 2, "Bank", "again");
    EXPECT_EQ(t.append(r), kDuplicateKey);
    EXPECT_EQ(t.error().key, "PAS:K_PAS_ID");
    // The refusal undid only its own record, inside the stream.
    fillAccount(r, 4, "Bank", "four");
    EXPECT_EQ(t.append(r), 0);
    ASSERT_EQ(t.flush(), 0);
    EXPECT_EQ(t.records(), 4);
    EXPECT_EQ(t.buildKeys(), 0);
}

TEST_F(Appends, SharedAppendKeepsTheKeysUpToDate) {
    Table t(d_);
    ASSERT_EQ(t.open(kReadWrite | kDenyNone), 0);
    appendRange(t, d_, 1, 4);
    // Another open meanwhile finds every key in place.
    Table other(d_);
    ASSERT_EQ(other.open(kReadOnly | kDenyNone), 0);
    EXPECT_EQ(idsInKeyOrder(other, 2), (std::vector<int64_t>{4, 3, 2, 1}));
}

TEST_F(Appends, AppendedRecordIsCurrentAndCanBeRewritten) {
    Table t(d_);
    ASSERT_EQ(t.open(kReadWrite | kDenyAll), 0);
    Record r(d_);
    fillAccount(r, 7, "Bank", "seven");
    ASSERT_EQ(t.append(r), 0);
    std::string at = t.position();
    EXPECT_FALSE(at.empty());
    r.set(2, std::string("changed"));
    ASSERT_EQ(t.put(r), 0);
    Record back(d_);
    ASSERT_EQ(t.reget(at, back), 0);
    EXPECT_EQ(back.getString(2), "changed");
}

TEST_F(Appends, RefusedWhenClosedOrReadOnly) {
    Table t(d_);
    Record r(d_);
    fillAccount(r, 1, "Bank", "one");
    EXPECT_EQ(t.append(r), kFileNotOpen);
    ASSERT_EQ(t.open(kReadOnly | kDenyNone), 0);
    EXPECT_EQ(t.append(r), kAccessDenied);
    EXPECT_EQ(t.records(), 0);
}

// The key indexes a plain file holds, and how many loads left their marker in it.
struct FileKeys {
    std::vector<std::string> indexes;
    int markers = 0;
};

FileKeys fileKeys(const std::string& file) {
    FileKeys out;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db,
                           "SELECT name FROM sqlite_master WHERE type = 'index' AND name GLOB "
                           "'d*_k*' ORDER BY name;",
                           -1, &st, nullptr);
        while (st && sqlite3_step(st) == SQLITE_ROW)
            out.indexes.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
        st = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT count(*) FROM corvix_deferred_keys;", -1, &st,
                               nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            out.markers = sqlite3_column_int(st, 0);
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return out;
}

const std::vector<std::string> kAllKeys{"d1_k0", "d1_k1", "d1_k2", "d1_k3"};

class DeferredKeys : public Appends {
  protected:
    // Adds accounts from..to in one transaction (descriptions counting down).
    static int addRange(Table& t, const TableDecl& d, int from, int to) {
        Transaction tx;
        if (int rc = tx.begin({&t}, 5)) return rc;
        Record r(d);
        for (int i = from; i <= to; ++i) {
            fillAccount(r, i, i % 2 ? "Bank" : "Mail", "d" + std::to_string(1000 - i), i % 3 == 0);
            if (int rc = t.add(r)) return rc;
        }
        return tx.commit();
    }
    // Description order is the reverse of the ids; the optional key holds every third.
    void expectOrders(Table& t, int records) {
        std::vector<int64_t> byDescription = idsInKeyOrder(t, 2), watched = idsInKeyOrder(t, 3);
        ASSERT_EQ(byDescription.size(), static_cast<size_t>(records));
        for (int i = 0; i < records; ++i) EXPECT_EQ(byDescription[i], records - i);
        ASSERT_EQ(watched.size(), static_cast<size_t>(records / 3));
        for (size_t i = 0; i < watched.size(); ++i) EXPECT_EQ(watched[i], 3 * (i + 1));
    }
};

// A load in another process defers the keys; a reader meanwhile gets the same answers,
// and after a kill -9 the next open builds the keys before anything is read.
TEST_F(DeferredKeys, KeysOfALoadKilledMidwayAreBuiltByTheNextOpen) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(ready[0]);
        abandonConnectionsAfterFork();
        Table t(d_);
        int status = t.open() != 0 ? 1 : (t.deferKeys() != 0 || !t.keysDeferred()) ? 2 : 0;
        if (status == 0 && addRange(t, d_, 1, 60) != 0) status = 3;
        Record r(d_);
        fillAccount(r, 7, "Bank", "again");
        if (status == 0 && (t.add(r) != kDuplicateKey || t.error().key != "PAS:K_PAS_ID"))
            status = 4;  // the unique key still refuses a duplicate as it comes
        if (::write(ready[1], &status, sizeof status) != sizeof status) ::_exit(5);
        ::pause();  // killed here, with the keys still deferred
        ::_exit(0);
    }
    ::close(ready[1]);
    int status = -1;
    ASSERT_EQ(::read(ready[0], &status, sizeof status), static_cast<ssize_t>(sizeof status));
    ::close(ready[0]);
    EXPECT_EQ(status, 0);
    const std::string file = path("Bulk.TPS");
    FileKeys during = fileKeys(file);
    EXPECT_EQ(during.indexes, std::vector<std::string>{"d1_k0"});  // only the unique key
    EXPECT_EQ(during.markers, 1);
    {
        Table reader(d_);
        ASSERT_EQ(reader.open(kReadOnly | kDenyNone), 0);
        EXPECT_EQ(fileKeys(file).indexes.size(), 1u) << "a live load keeps its keys deferred";
        expectOrders(reader, 60);
    }
    ::kill(child, SIGKILL);
    ASSERT_EQ(::waitpid(child, &status, 0), child);

    Table after(d_);
    ASSERT_EQ(after.open(kReadOnly | kDenyNone), 0);
    FileKeys built = fileKeys(file);
    EXPECT_EQ(built.indexes, kAllKeys);
    EXPECT_EQ(built.markers, 0);
    EXPECT_EQ(after.records(), 60);
    expectOrders(after, 60);
}

TEST_F(DeferredKeys, RestoreOrCloseBuildsThemAndATransactionKeepsThem) {
    const std::string file = path("Bulk.TPS");
    Table t(d_);
    ASSERT_EQ(t.open(), 0);
    {
        Transaction tx;
        ASSERT_EQ(tx.begin({&t}, 5), 0);
        ASSERT_EQ(t.deferKeys(), 0);
        EXPECT_FALSE(t.keysDeferred()) << "a rollback could not undo what the lock says";
    }
    EXPECT_EQ(fileKeys(file).indexes, kAllKeys);
    ASSERT_EQ(t.deferKeys(), 0);
    ASSERT_TRUE(t.keysDeferred());
    ASSERT_EQ(addRange(t, d_, 1, 30), 0);
    ASSERT_EQ(t.restoreKeys(), 0);
    EXPECT_FALSE(t.keysDeferred());
    EXPECT_EQ(fileKeys(file).indexes, kAllKeys);
    EXPECT_EQ(fileKeys(file).markers, 0);
    expectOrders(t, 30);
    // Closed while deferred: the close builds them.
    ASSERT_EQ(t.deferKeys(), 0);
    ASSERT_EQ(addRange(t, d_, 31, 45), 0);
    t.close();
    FileKeys closed = fileKeys(file);
    EXPECT_EQ(closed.indexes, kAllKeys);
    EXPECT_EQ(closed.markers, 0);
    ASSERT_EQ(t.open(kReadOnly | kDenyNone), 0);
    expectOrders(t, 45);
}

class WritesInStreams : public StorageTest {
  protected:
    TableDecl d_ = accountDecl("Streamed\\!Accounts");
};

TEST_F(WritesInStreams, RefusedAddOrPutUndoesOnlyItself) {
    ASSERT_EQ(Table(d_).create(), 0);
    Table t(d_);
    ASSERT_EQ(t.open(), 0);
    ASSERT_EQ(t.stream(), 0);
    Record r(d_);
    fillAccount(r, 1, "Bank", "one");
    ASSERT_EQ(t.add(r), 0);
    fillAccount(r, 2, "Bank", "two");
    ASSERT_EQ(t.add(r), 0);
    fillAccount(r, 1, "Mail", "dup");
    EXPECT_EQ(t.add(r), kDuplicateKey);
    EXPECT_EQ(t.error().key, "PAS:K_PAS_ID");
    // Rewriting record 2 with record 1's id is refused; record 2 stays as it was.
    fillAccount(r, 2, "", "");
    ASSERT_EQ(t.get(0, r), 0);
    r.set(0, int64_t{1});
    EXPECT_EQ(t.put(r), kDuplicateKey);
    ASSERT_EQ(t.flush(), 0);
    t.close();
    ASSERT_EQ(t.open(), 0);
    EXPECT_EQ(t.records(), 2);
    fillAccount(r, 2, "", "");
    ASSERT_EQ(t.get(0, r), 0);
    EXPECT_EQ(r.getString(2), "two");
}

TEST_F(WritesInStreams, RewriteInsideATransactionStillSeesAnotherHandlesChange) {
    ASSERT_EQ(Table(d_).create(), 0);
    Table a(d_), b(d_);
    ASSERT_EQ(a.open(), 0);
    ASSERT_EQ(b.open(), 0);
    Record r(d_);
    fillAccount(r, 1, "Bank", "one");
    ASSERT_EQ(a.add(r), 0);
    Transaction tx;
    ASSERT_EQ(tx.begin({&a, &b}, 2), 0);
    Record ra(d_), rb(d_);
    ASSERT_EQ(a.set(0), 0);
    ASSERT_EQ(a.next(ra), 0);
    ASSERT_EQ(b.set(0), 0);
    ASSERT_EQ(b.next(rb), 0);
    rb.set(2, std::string("by b"));
    ASSERT_EQ(b.put(rb), 0);
    ra.set(2, std::string("by a"));
    EXPECT_EQ(a.put(ra), kChangedByOther);
    ASSERT_EQ(tx.commit(), 0);
    ASSERT_EQ(a.get(0, ra), 0);
    EXPECT_EQ(ra.getString(2), "by b");
}

// A buffer that keeps whatever it is given, as a typed record's members would.
class RawBuffer final : public RecordBuffer {
  public:
    explicit RawBuffer(const TableDecl& d) : d_(d), values_(d.fields.size(), int64_t{0}) {}
    const TableDecl& decl() const override { return d_; }
    Scalar get(int field, uint32_t) const override { return values_[field]; }
    void set(int field, const Scalar& value, uint32_t) override { values_[field] = value; }
    void clear() override {
        for (size_t f = 0; f < values_.size(); ++f)
            values_[f] =
                d_.fields[f].type == FieldType::String ? Scalar(std::string()) : int64_t{0};
    }

  private:
    const TableDecl& d_;
    std::vector<Scalar> values_;
};

TEST_F(WritesInStreams, AddHandsBackTheValuesAsStored) {
    ASSERT_EQ(Table(d_).create(), 0);
    Table t(d_);
    ASSERT_EQ(t.open(), 0);
    RawBuffer raw(d_);
    raw.clear();
    raw.set(0, int64_t{1}, 0);
    raw.set(1, std::string(40, 'c'), 0);      // Category holds 30 characters
    raw.set(2, std::string("padded   "), 0);  // trailing blanks never count
    raw.set(5, int64_t{258}, 0);              // a BYTE wraps
    ASSERT_EQ(t.add(raw), 0);
    EXPECT_EQ(std::get<std::string>(raw.get(1, 0)), std::string(30, 'c'));
    EXPECT_EQ(std::get<std::string>(raw.get(2, 0)), "padded");
    EXPECT_EQ(std::get<int64_t>(raw.get(5, 0)), 2);
    // A value given in another type comes back in the field's type.
    raw.set(0, int64_t{2}, 0);
    raw.set(2, int64_t{77}, 0);
    raw.set(5, int64_t{1}, 0);
    ASSERT_EQ(t.add(raw), 0);
    EXPECT_EQ(std::get<std::string>(raw.get(2, 0)), "77");
    Record back(d_);
    back.set(0, int64_t{1});
    ASSERT_EQ(t.get(0, back), 0);
    EXPECT_EQ(back.getString(1), std::string(30, 'c'));
    EXPECT_EQ(back.getInt(5), 2);
}

class LastTable : public StorageTest {};

TEST_F(LastTable, RemovingAFilesOnlyTableLeavesNoFilesAndANewTableStartsEmpty) {
    TableDecl d = accountDecl("Solo\\!Accounts", "pw");
    ASSERT_EQ(Table(d).create(), 0);
    {
        Table t(d);
        ASSERT_EQ(t.open(), 0);
        Record r(d);
        for (int i = 1; i <= 30; ++i) {
            fillAccount(r, i, "Bank", "a" + std::to_string(i));
            ASSERT_EQ(t.add(r), 0);
        }
    }
    // Moved out into a file of its own, as an upgrade does, then removed from there.
    ASSERT_EQ(renameTable("Solo\\!Accounts", "Aside", "pw"), 0);
    EXPECT_FALSE(std::filesystem::exists("Solo.TPS"));
    ASSERT_EQ(Table(d).create(), 0);  // a new file under the old name
    Table fresh(d);
    ASSERT_EQ(fresh.open(), 0);
    EXPECT_EQ(fresh.records(), 0);
    fresh.close();
    ASSERT_EQ(removeTable("Aside", "pw"), 0);
    EXPECT_FALSE(std::filesystem::exists("Aside.TPS"));
    EXPECT_FALSE(std::filesystem::exists("Aside.TPS.lck"));
    EXPECT_FALSE(tableExists("Aside", "pw"));
    ASSERT_EQ(Table(d).open(), 0);  // the other file is untouched
}

TEST_F(LastTable, AnOpenTableIsNotRemoved) {
    TableDecl d = accountDecl("Held", "");
    ASSERT_EQ(Table(d).create(), 0);
    Table t(d);
    ASSERT_EQ(t.open(kReadOnly | kDenyNone), 0);
    EXPECT_EQ(removeTable("Held", ""), kAccessDenied);
    EXPECT_EQ(t.records(), 0);
    t.close();
    EXPECT_EQ(removeTable("Held", ""), 0);
    EXPECT_FALSE(std::filesystem::exists("Held.TPS"));
}

TEST_F(LastTable, RenamingAFilesOnlyTableIntoANewFileMovesTheFileWithItsName) {
    TableDecl d = accountDecl("Solo\\!Accounts", "pw");
    ASSERT_EQ(Table(d).create(), 0);
    {
        Table t(d);
        ASSERT_EQ(t.open(), 0);
        Record r(d);
        for (int i = 1; i <= 5; ++i) {
            fillAccount(r, i, "Bank", "a" + std::to_string(i));
            ASSERT_EQ(t.add(r), 0);
        }
        ASSERT_EQ(t.set(kPhysicalOrder), 0);
        ASSERT_EQ(t.next(r), 0);
        ASSERT_EQ(t.erase(), 0);  // record numbers 2..5 remain
    }
    ASSERT_EQ(renameTable("Solo\\!Accounts", "Moved\\!Renamed", "pw"), 0);
    EXPECT_FALSE(std::filesystem::exists("Solo.TPS"));
    EXPECT_FALSE(tableExists("Moved\\!Accounts", "pw"));  // it answers to its new name only
    TableDecl moved = accountDecl("Moved\\!Renamed", "pw");
    Table t(moved);
    ASSERT_EQ(t.open(), 0);
    EXPECT_EQ(t.records(), 4);
    Record r(moved);
    r.set(0, int64_t{3});
    ASSERT_EQ(t.get(0, r), 0);
    EXPECT_EQ(t.position(), "3");
    EXPECT_EQ(r.getString(2), "a3");
    EXPECT_EQ(Table(accountDecl("Moved\\!Renamed", "wrong")).open(), kDriverError);
}

TEST_F(LastTable, RenamingIntoAnExistingFileCopiesBesideItsTables) {
    TableDecl solo = accountDecl("Solo", "");
    ASSERT_EQ(Table(solo).create(), 0);
    {
        Table t(solo);
        ASSERT_EQ(t.open(), 0);
        Record r(solo);
        fillAccount(r, 1, "Bank", "one");
        ASSERT_EQ(t.add(r), 0);
    }
    ASSERT_EQ(Table(testing::categoryDecl("Vault\\!Category", "")).create(), 0);
    ASSERT_EQ(renameTable("Solo", "Vault\\!Accounts", ""), 0);
    EXPECT_FALSE(std::filesystem::exists("Solo.TPS"));
    EXPECT_TRUE(tableExists("Vault\\!Category", ""));
    TableDecl inVault = accountDecl("Vault\\!Accounts", "");
    Table t(inVault);
    ASSERT_EQ(t.open(), 0);
    EXPECT_EQ(t.records(), 1);
}

TEST(TableOwner, SetOwnerOverridesTheDeclarationsOwner) {
    TableDecl d = accountDecl("X\\!Accounts", "from-declaration");
    Table t(d);
    EXPECT_EQ(t.owner(), "from-declaration");
    t.setOwner("given");
    EXPECT_EQ(t.owner(), "given");
    t.setOwner("");
    EXPECT_EQ(t.owner(), "");  // set explicitly to none: no longer the declaration's
}

}  // namespace
}  // namespace corvix::storage
