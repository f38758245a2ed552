// Creating, opening, reading in key and physical order, writing and the errors of bad
// input: missing files, foreign files, declaration mismatches, wrong owner passwords.
#include <sys/stat.h>

#include <algorithm>
#include <random>

#include "runtime/collate.h"
#include "storage_fixture.h"

namespace corvix::storage {
namespace {

using namespace testing;

class TableCore : public StorageTest {
  protected:
    // Reads the descriptions of the whole table in a key's order.
    std::vector<std::string> readAllIn(Table& t, int key, bool backwards = false) {
        std::vector<std::string> out;
        Record r(t.decl());
        if (backwards)
            EXPECT_EQ(t.setLast(key), 0);
        else
            EXPECT_EQ(t.set(key), 0);
        while ((backwards ? t.previous(r) : t.next(r)) == 0) out.push_back(r.getString(2));
        EXPECT_EQ(t.error().code, kRecordNotAvailable);
        return out;
    }
};

TEST_F(TableCore, CreateOpenAddReadInKeyOrder) {
    TableDecl d = accountDecl("Corvix\\!Passwords");
    Table t(d);
    ASSERT_EQ(t.create(), 0);
    struct stat st;
    ASSERT_EQ(stat("Corvix.TPS", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(t.open(), 0);
    EXPECT_EQ(t.open(), kAlreadyOpen);
    Record r(d);
    fillAccount(r, 1, "Work", "zeta");
    ASSERT_EQ(t.add(r), 0);
    fillAccount(r, 2, "home", "Alpha");
    ASSERT_EQ(t.add(r), 0);
    fillAccount(r, 3, "Home", "beta");
    ASSERT_EQ(t.add(r), 0);
    fillAccount(r, 4, "HOME  ", "alpha");
    ASSERT_EQ(t.add(r), 0);
    EXPECT_EQ(t.records(), 4);

    // Case and trailing blanks do not count; equal keys follow physical order.
    EXPECT_EQ(readAllIn(t, 1), (std::vector<std::string>{"Alpha", "alpha", "beta", "zeta"}));
    EXPECT_EQ(readAllIn(t, 1, true), (std::vector<std::string>{"zeta", "beta", "alpha", "Alpha"}));
    EXPECT_EQ(readAllIn(t, kPhysicalOrder),
              (std::vector<std::string>{"zeta", "Alpha", "beta", "alpha"}));
    EXPECT_EQ(readAllIn(t, kPhysicalOrder, true),
              (std::vector<std::string>{"alpha", "beta", "Alpha", "zeta"}));
    t.close();
    EXPECT_FALSE(t.isOpen());
    EXPECT_EQ(t.records(), -1);
    EXPECT_EQ(t.error().code, kFileNotOpen);
}

TEST_F(TableCore, ManyRecordsReadAcrossBatchesAndDirectionChanges) {
    TableDecl d = accountDecl("Many");
    Table t(d);
    ASSERT_EQ(t.create(), 0);
    ASSERT_EQ(t.open(), 0);
    Record r(d);
    ASSERT_EQ(t.stream(), 0);
    for (int i = 0; i < 200; ++i) {
        char desc[16];
        snprintf(desc, sizeof desc, "d%03d", (i * 37) % 200);
        fillAccount(r, i + 1, "c", desc);
        ASSERT_EQ(t.add(r), 0);
    }
    ASSERT_EQ(t.flush(), 0);
    std::vector<std::string> all = readAllIn(t, 2);
    ASSERT_EQ(all.size(), 200u);
    EXPECT_TRUE(std::is_sorted(all.begin(), all.end()));
    // Forward 100, then back: previous() gives the record before the last one read.
    ASSERT_EQ(t.set(2), 0);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(t.next(r), 0);
    EXPECT_EQ(r.getString(2), "d099");
    ASSERT_EQ(t.previous(r), 0);
    EXPECT_EQ(r.getString(2), "d098");
    ASSERT_EQ(t.next(r), 0);
    EXPECT_EQ(r.getString(2), "d099");
    // At the end previous() reads the last record again; at the start next() the first.
    ASSERT_EQ(t.setLast(2), 0);
    EXPECT_EQ(t.next(r), kRecordNotAvailable);
    ASSERT_EQ(t.previous(r), 0);
    EXPECT_EQ(r.getString(2), "d199");
    ASSERT_EQ(t.set(2), 0);
    ASSERT_EQ(t.next(r), 0);
    EXPECT_EQ(t.previous(r), kRecordNotAvailable);
    EXPECT_EQ(t.previous(r), kRecordNotAvailable);
    ASSERT_EQ(t.next(r), 0);
    EXPECT_EQ(r.getString(2), "d000");
}

TEST_F(TableCore, SetFromPositionsOnAKeyValue) {
    TableDecl d = accountDecl("From");
    Table t(d);
    ASSERT_EQ(t.create(), 0);
    ASSERT_EQ(t.open(), 0);
    Record r(d);
    for (const char* desc : {"apple", "Banana", "cherry", "banana split", "date"}) {
        fillAccount(r, 0, "", desc);
        ASSERT_EQ(t.add(r), 0);
    }
    Record key(d);
    key.set(2, std::string("BANANA"));
    ASSERT_EQ(t.setFrom(2, key), 0);
    ASSERT_EQ(t.next(r), 0);
    EXPECT_EQ(r.getString(2), "Banana");
    ASSERT_EQ(t.next(r), 0);
    EXPECT_EQ(r.getString(2), "banana split");
    ASSERT_EQ(t.setFrom(2, key), 0);
    ASSERT_EQ(t.previous(r), 0);
    EXPECT_EQ(r.getString(2), "Banana");
    ASSERT_EQ(t.previous(r), 0);
    EXPECT_EQ(r.getString(2), "apple");
    key.set(2, std::string("zzz"));
    ASSERT_EQ(t.setFrom(2, key), 0);
    EXPECT_EQ(t.next(r), kRecordNotAvailable);

    // At a record's own place among many of the same key value: it comes first either
    // way, then its neighbours in row order; what is filtered out is stepped over.
    std::vector<std::string> positions;
    for (int i = 0; i < 40; ++i) {
        fillAccount(r, 0, i % 3 ? "odd" : "even", "same");
        ASSERT_EQ(t.add(r), 0);
        positions.push_back(t.position());
    }
    key.set(2, std::string("SAME"));
    ASSERT_EQ(t.setFrom(2, key, positions[20]), 0);
    ASSERT_EQ(t.next(r), 0);
    EXPECT_EQ(t.position(), positions[20]);
    ASSERT_EQ(t.next(r), 0);
    EXPECT_EQ(t.position(), positions[21]);
    ASSERT_EQ(t.setFrom(2, key, positions[20]), 0);
    ASSERT_EQ(t.previous(r), 0);
    EXPECT_EQ(t.position(), positions[20]);
    ASSERT_EQ(t.previous(r), 0);
    EXPECT_EQ(t.position(), positions[19]);
    ASSERT_EQ(t.setFilter("\"PAS:Category\" = 'even'"), 0);
    ASSERT_EQ(t.setFrom(2, key, positions[20]), 0);
    t.expectRows(1);  // a smaller first batch still reads on
    for (int i : {21, 24, 27}) {
        ASSERT_EQ(t.next(r), 0);
        EXPECT_EQ(t.position(), positions[i]);
    }
    EXPECT_EQ(t.setFrom(2, key, "not a position"), kRecordNotFound);
}

TEST_F(TableCore, FetchByKeyIgnoresCaseAndTrailingBlanks) {
    TableDecl d = categoryDecl("Corvix\\!Category");
    Table t(d);
    ASSERT_EQ(t.create(), 0);
    ASSERT_EQ(t.open(), 0);
    Record r(d);
    r.set(0, std::string("Personal"));
    ASSERT_EQ(t.add(r), 0);
    Record q(d);
    q.set(0, std::string("PERSONAL   "));
    ASSERT_EQ(t.get(0, q), 0);
    EXPECT_EQ(q.getString(0), "Personal");
    q.set(0, std::string("Business"));
    EXPECT_EQ(t.get(0, q), kRecordNotFound);
    EXPECT_EQ(lastError().code, kRecordNotFound);
}

TEST_F(TableCore, UnicodeLettersCompareWithoutCase) {
    TableDecl d = categoryDecl("Cats");
    Table t(d);
    ASSERT_EQ(t.create(), 0);
    ASSERT_EQ(t.open(), 0);
    Record r(d);
    r.set(0, std::string("Ärzte"));
    ASSERT_EQ(t.add(r), 0);
    r.set(0, std::string("ärzte"));
    EXPECT_EQ(t.add(r), kDuplicateKey);
    Record q(d);
    q.set(0, std::string("ÄRZTE"));
    EXPECT_EQ(t.get(0, q), 0);
}

TEST_F(TableCore, DuplicateIsRefusedNamingTheKey) {
    TableDecl d = accountDecl("Dups");
    Table t(d);
    ASSERT_EQ(t.create(), 0);
    ASSERT_EQ(t.open(), 0);
    Record r(d);
    fillAccount(r, 7, "A", "same");
    ASSERT_EQ(t.add(r), 0);
    fillAccount(r, 8, "A", "same");  // duplicates allowed in the other keys
    ASSERT_EQ(t.add(r), 0);
    fillAccount(r, 7, "B", "other");
    EXPECT_EQ(t.add(r), kDuplicateKey);
    EXPECT_EQ(t.error().key, "PAS:K_PAS_ID");
    EXPECT_EQ(lastError().key, "PAS:K_PAS_ID");
    EXPECT_EQ(t.records(), 2);
    // Blank values of an optional unique key are left out of it, so never duplicates.
    fillAccount(r, 0, "B", "x");
    ASSERT_EQ(t.add(r), 0);
    fillAccount(r, 0, "C", "y");
    ASSERT_EQ(t.add(r), 0);
    // A rewrite that would duplicate is refused too, and changes nothing.
    ASSERT_EQ(t.set(0), 0);
    ASSERT_EQ(t.next(r), 0);
    EXPECT_EQ(r.getInt(0), 7);
    r.set(0, int64_t{8});
    EXPECT_EQ(t.put(r), kDuplicateKey);
    EXPECT_EQ(t.error().key, "PAS:K_PAS_ID");
    Record check(d);
    check.set(0, int64_t{7});
    EXPECT_EQ(t.get(0, check), 0);
}

TEST_F(TableCore, OptionalKeysLeaveOutBlankRecords) {
    TableDecl d = accountDecl("Opt");
    Table t(d);
    ASSERT_EQ(t.create(), 0);
    ASSERT_EQ(t.open(), 0);
    Record r(d);
    fillAccount(r, 1, "a", "not watched", 0);
    ASSERT_EQ(t.add(r), 0);
    fillAccount(r, 2, "a", "watched", 1);
    ASSERT_EQ(t.add(r), 0);
    fillAccount(r, 3, "a", "also watched", 1);
    ASSERT_EQ(t.add(r), 0);
    EXPECT_EQ(readAllIn(t, 3), (std::vector<std::string>{"watched", "also watched"}));
    Record q(d);
    q.set(5, int64_t{0});
    EXPECT_EQ(t.get(3, q), kRecordNotFound);
}

TEST_F(TableCore, WatchKeyOnTableWithoutWatchedAccountsYieldsNothing) {
    TableDecl d = accountDecl("NoWatch");
    Table t(d);
    ASSERT_EQ(t.create(), 0);
    ASSERT_EQ(t.open(), 0);
    Record r(d);
    fillAccount(r, 1, "a", "one", 0);
    ASSERT_EQ(t.add(r), 0);
    EXPECT_TRUE(readAllIn(t, 3).empty());
}

TEST_F(TableCore, PositionsSurviveOtherInsertsAndPack) {
    TableDecl d = accountDecl("Pos");
    Table t(d);
    ASSERT_EQ(t.create(), 0);
    ASSERT_EQ(t.open(), 0);
    Record r(d);
    fillAccount(r, 1, "a", "first");
    ASSERT_EQ(t.add(r), 0);
    fillAccount(r, 2, "a", "target");
    ASSERT_EQ(t.add(r), 0);
    std::string pos = t.position();
    EXPECT_FALSE(pos.empty());
    for (int i = 3; i < 20; ++i) {
        fillAccount(r, i, "a", "other" + std::to_string(i));
        ASSERT_EQ(t.add(r), 0);
    }
    // Removing the first record and packing the file keeps the position valid.
    Record q(d);
    q.set(0, int64_t{1});
    ASSERT_EQ(t.get(0, q), 0);
    ASSERT_EQ(t.erase(), 0);
    ASSERT_EQ(t.pack(), 0);
    ASSERT_EQ(t.reget(pos, q), 0);
    EXPECT_EQ(q.getString(2), "target");
    EXPECT_EQ(t.reget("999999", q), kRecordNotFound);
    EXPECT_EQ(t.reget("garbage", q), kRecordNotFound);
    // reset() puts the reading place on the record itself.
    ASSERT_EQ(t.reset(2, pos), 0);
    ASSERT_EQ(t.next(q), 0);
    EXPECT_EQ(q.getString(2), "target");
    EXPECT_EQ(t.next(q), kRecordNotAvailable);  // "target" sorts last
    ASSERT_EQ(t.reset(2, pos), 0);
    ASSERT_EQ(t.previous(q), 0);
    EXPECT_EQ(q.getString(2), "target");
    ASSERT_EQ(t.previous(q), 0);
    EXPECT_EQ(q.getString(2), "other9");
}

TEST_F(TableCore, PutAndEraseTheRecordLastRead) {
    TableDecl d = accountDecl("Edit");
    Table t(d);
    ASSERT_EQ(t.create(), 0);
    ASSERT_EQ(t.open(), 0);
    Record r(d);
    EXPECT_EQ(t.put(r), kRecordNotAvailable);
    EXPECT_EQ(t.erase(), kRecordNotAvailable);
    fillAccount(r, 1, "a", "one");
    ASSERT_EQ(t.add(r), 0);
    fillAccount(r, 2, "a", "two");
    ASSERT_EQ(t.add(r), 0);
    ASSERT_EQ(t.set(2), 0);
    ASSERT_EQ(t.next(r), 0);
    EXPECT_EQ(r.getString(2), "one");
    r.set(3, std::string("changed password"));
    ASSERT_EQ(t.put(r), 0);
    // A second rewrite of the same record (the last values written) also succeeds.
    r.set(3, std::string("changed again"));
    ASSERT_EQ(t.put(r), 0);
    Record q(d);
    q.set(0, int64_t{1});
    ASSERT_EQ(t.get(0, q), 0);
    EXPECT_EQ(q.getString(3), "changed again");
    ASSERT_EQ(t.erase(), 0);
    EXPECT_EQ(t.records(), 1);
    EXPECT_EQ(t.get(0, q), kRecordNotFound);
}

TEST_F(TableCore, ReadOnlyOpenRefusesWrites) {
    TableDecl d = accountDecl("Ro");
    Table t(d);
    ASSERT_EQ(t.create(), 0);
    ASSERT_EQ(t.open(kReadOnly | kDenyNone), 0);
    Record r(d);
    fillAccount(r, 1, "a", "b");
    EXPECT_EQ(t.add(r), kAccessDenied);
    EXPECT_EQ(t.records(), 0);
}

TEST_F(TableCore, WriteProtectedFileIsDeniedForWritingButOpensReadOnly) {
    if (geteuid() == 0) GTEST_SKIP() << "root ignores file permissions";
    TableDecl d = accountDecl("Prot");
    Table t(d);
    ASSERT_EQ(t.create(), 0);
    ASSERT_EQ(chmod("Prot.TPS", 0400), 0);
    EXPECT_EQ(t.open(kReadWrite | kDenyNone), kAccessDenied);
    EXPECT_EQ(t.open(kReadOnly | kDenyNone), 0);
    EXPECT_EQ(t.records(), 0);
    t.close();
    // A folder without write permission (no room for the journal) is the same.
    ASSERT_EQ(chmod("Prot.TPS", 0600), 0);
    ASSERT_EQ(chmod(dir_.c_str(), 0500), 0);
    EXPECT_EQ(t.open(kReadWrite | kDenyNone), kAccessDenied);
    EXPECT_EQ(t.open(kReadOnly | kDenyNone), 0);
    EXPECT_EQ(t.records(), 0);
    t.close();
    ASSERT_EQ(chmod(dir_.c_str(), 0700), 0);
}

TEST_F(TableCore, MissingFileAndMissingTableGive2) {
    TableDecl d = accountDecl("Nothing\\!Here");
    Table t(d);
    EXPECT_EQ(t.open(), kFileNotFound);
    EXPECT_EQ(t.error().code, kFileNotFound);
    EXPECT_EQ(lastError().text, "File Not Found");
    EXPECT_FALSE(std::filesystem::exists("Nothing.TPS"));
    TableDecl c = categoryDecl("Nothing\\!Category");
    Table other(c);
    ASSERT_EQ(other.create(), 0);
    EXPECT_EQ(t.open(), kFileNotFound);
    EXPECT_FALSE(tableExists("Nothing\\!Here", ""));
    EXPECT_TRUE(tableExists("Nothing\\!category", ""));
}

TEST_F(TableCore, DeclarationMismatchGives47AndKeyLengthGives88) {
    TableDecl d = accountDecl("Corvix\\!Passwords");
    Table t(d);
    ASSERT_EQ(t.create(), 0);
    TableDecl wider = d;
    wider.fields[3].size = 200;
    Table w(wider);
    EXPECT_EQ(w.open(), kRecordMismatch);
    TableDecl moreKeys = d;
    moreKeys.keys.push_back({"PAS:K_Password", "", {3}, kKeyNoCase});
    Table m(moreKeys);
    EXPECT_EQ(m.open(), kRecordMismatch);
    TableDecl otherKey = d;
    otherKey.keys[2].components = {2, 0};  // description plus id: a longer key
    Table k(otherKey);
    EXPECT_EQ(k.open(), kKeyLengthMismatch);
    // Labels and pictures are not structure.
    TableDecl relabelled = d;
    relabelled.label = "X";
    relabelled.fields[1].picture = "@s5";
    Table ok(relabelled);
    EXPECT_EQ(ok.open(), 0);
    TableDecl stored;
    ASSERT_EQ(readStoredDeclaration("Corvix\\!Passwords", "", stored), 0);
    EXPECT_TRUE(stored.sameStructure(d));
    EXPECT_EQ(stored.label, "CVPAS");
    EXPECT_EQ(stored.keys[1].description, "Category");
    EXPECT_EQ(stored.fields[3].picture, "@s128");
}

TEST_F(TableCore, CreateOverAnExistingTableMakesItEmpty) {
    TableDecl d = categoryDecl("Re");
    Table t(d);
    ASSERT_EQ(t.create(), 0);
    ASSERT_EQ(t.open(), 0);
    Record r(d);
    r.set(0, std::string("x"));
    ASSERT_EQ(t.add(r), 0);
    // Not while it is open.
    Table again(d);
    EXPECT_EQ(again.create(), kAccessDenied);
    // Creating only a missing table keeps what another handle made and wrote, open or not
    // (the loser of two first starts must not empty the winner's table).
    EXPECT_EQ(again.createIfMissing(), 0);
    t.close();
    EXPECT_EQ(again.createIfMissing(), 0);
    ASSERT_EQ(t.open(), 0);
    EXPECT_EQ(t.records(), 1);
    t.close();
    ASSERT_EQ(again.create(), 0);
    ASSERT_EQ(t.open(), 0);
    EXPECT_EQ(t.records(), 0);
}

TEST_F(TableCore, EncryptedTablesNeedTheirOwnerPassword) {
    const std::string owner = "Owner-Password-Plaintext-4711";
    TableDecl d = accountDecl("Vault\\!Passwords", owner);
    Table t(d);
    ASSERT_EQ(t.create(), 0);
    ASSERT_EQ(t.open(), 0);
    Record r(d);
    fillAccount(r, 1, "Bank", "Account description");
    r.set(3, std::string("Hunter2-SecretPassword"));
    ASSERT_EQ(t.add(r), 0);
    t.close();

    // Nothing readable on disk: not the record, not the owner password.
    std::string bytes = readAll("Vault.TPS");
    ASSERT_GT(bytes.size(), 1000u);
    EXPECT_EQ(bytes.find("Hunter2-SecretPassword"), std::string::npos);
    EXPECT_EQ(bytes.find("Account description"), std::string::npos);
    EXPECT_EQ(bytes.find(owner), std::string::npos);
    EXPECT_EQ(bytes.find("SQLite format 3"), std::string::npos);
    EXPECT_EQ(bytes.find("PAS:Password"), std::string::npos);

    TableDecl wrong = accountDecl("Vault\\!Passwords", "another password");
    Table w(wrong);
    EXPECT_EQ(w.open(), kDriverError);
    EXPECT_EQ(w.error().driverCode & 0xFF, 26);  // not a database
    EXPECT_FALSE(w.error().driverText.empty());
    TableDecl none = accountDecl("Vault\\!Passwords");
    Table n(none);
    EXPECT_EQ(n.open(), kDriverError);
    // The owner can be given per handle, too.
    n.setOwner(owner);
    ASSERT_EQ(n.open(), 0);
    Record q(d);
    q.set(0, int64_t{1});
    ASSERT_EQ(n.get(0, q), 0);
    EXPECT_EQ(q.getString(3), "Hunter2-SecretPassword");
    // While the file is open, another owner password is still refused.
    EXPECT_EQ(w.open(), kDriverError);
    // Packing rewrites the file, still encrypted and still readable.
    ASSERT_EQ(n.pack(), 0);
    ASSERT_EQ(n.get(0, q), 0);
    EXPECT_EQ(q.getString(3), "Hunter2-SecretPassword");
    n.close();
    EXPECT_EQ(readAll("Vault.TPS").find("Hunter2-SecretPassword"), std::string::npos);
    EXPECT_EQ(readAll("Vault.TPS").find("SQLite format 3"), std::string::npos);
}

TEST_F(TableCore, PlainFilesAreReadableWithoutOwner) {
    TableDecl d = categoryDecl("Plain");
    Table t(d);
    ASSERT_EQ(t.create(), 0);
    EXPECT_EQ(readAll("Plain.TPS").substr(0, 15), "SQLite format 3");
    Table keyed(d);
    keyed.setOwner("some owner");
    EXPECT_EQ(keyed.open(), kDriverError);
}

TEST_F(TableCore, ForeignGarbageAndTruncatedFilesGive90) {
    TableDecl d = accountDecl("Garbage.TPS", "owner");
    writeAll("Garbage.TPS", std::string(8192, 'x'));
    Table g(d);
    EXPECT_EQ(g.open(), kDriverError);
    EXPECT_FALSE(g.error().driverText.empty());
    EXPECT_EQ(readAll("Garbage.TPS"), std::string(8192, 'x'));  // left as it was
    // Creating a table in it is refused too, and leaves it alone.
    EXPECT_EQ(g.create(), kDriverError);
    EXPECT_EQ(readAll("Garbage.TPS"), std::string(8192, 'x'));

    writeAll("Empty.TPS", "");
    TableDecl e = accountDecl("Empty.TPS");
    Table empty(e);
    EXPECT_EQ(empty.open(), kDriverError);

    TableDecl v = accountDecl("Trunc.TPS", "owner");
    {
        Table t(v);
        ASSERT_EQ(t.create(), 0);
        ASSERT_EQ(t.open(), 0);
        ASSERT_EQ(t.stream(), 0);
        Record r(v);
        for (int i = 1; i <= 300; ++i) {
            fillAccount(r, i, "c", std::string(50, 'a' + i % 26));
            ASSERT_EQ(t.add(r), 0);
        }
        ASSERT_EQ(t.flush(), 0);
    }
    std::string whole = readAll("Trunc.TPS");
    writeAll("Trunc.TPS", whole.substr(0, whole.size() / 3 + 100));
    Table t(v);
    int rc = t.open();
    if (rc == 0) {
        // The catalogue page survived: reading all records runs into the damage.
        Record r(v);
        ASSERT_EQ(t.set(kPhysicalOrder), 0);
        while ((rc = t.next(r)) == 0) {
        }
    }
    EXPECT_EQ(rc, kDriverError);
}

TEST_F(TableCore, FiltersLimitReadingAndBadOnesAreRefused) {
    TableDecl d = accountDecl("Filt");
    Table t(d);
    ASSERT_EQ(t.create(), 0);
    ASSERT_EQ(t.open(), 0);
    Record r(d);
    for (int i = 1; i <= 10; ++i) {
        fillAccount(r, i, i % 2 ? "odd" : "even", "d" + std::to_string(i));
        ASSERT_EQ(t.add(r), 0);
    }
    ASSERT_EQ(t.setFilter("\"PAS:Category\" = 'odd' AND \"PAS:PAS_ID\" > 4"), 0);
    EXPECT_EQ(readAllIn(t, 0), (std::vector<std::string>{"d5", "d7", "d9"}));
    EXPECT_EQ(t.setFilter("no_such_function(\"PAS:PAS_ID\") = 1"), kInvalidFilter);
    EXPECT_FALSE(t.error().driverText.empty());
    EXPECT_EQ(t.setFilter("1) OR (1"), kInvalidFilter);
    EXPECT_EQ(t.setFilter("1; DROP TABLE x"), kInvalidFilter);
    ASSERT_EQ(t.setFilter(""), 0);
    EXPECT_EQ(readAllIn(t, 0).size(), 10u);
}

TEST_F(TableCore, PositionsByAFieldWithoutKeyFollowTheKeysComparison) {
    // Texts that sort by their first bytes, by what follows a long shared beginning, or
    // by letters outside ASCII; equal texts (case and trailing blanks aside) keep row
    // order. Only the filter's rows come back.
    TableDecl d = accountDecl("Order");
    Table t(d);
    ASSERT_EQ(t.create(), 0);
    ASSERT_EQ(t.open(), 0);
    const std::vector<std::string> parts = {
        "a", "B", "b ", "z", "É", "é", "ß", "Σ", "ς", "\xe2\x84\xaa", "k", "_", "0", " x", ""};
    std::mt19937 rng(5);
    Record r(d);
    Transaction tx;
    ASSERT_EQ(tx.begin({&t}, 10), 0);
    for (int i = 1; i <= 300; ++i) {
        std::string text = std::string("Shared beginning ").substr(0, rng() % 18);
        for (int n = rng() % 4; n > 0; --n) text += parts[rng() % parts.size()];
        fillAccount(r, i, i % 5 ? "kept" : "left", "d" + std::to_string(i));
        r.set(3, text);
        ASSERT_EQ(t.add(r), 0);
    }
    ASSERT_EQ(tx.commit(), 0);
    ASSERT_EQ(t.setFilter("\"PAS:Category\" = 'kept'"), 0);
    std::vector<std::pair<std::string, int64_t>> expected;
    ASSERT_EQ(t.set(kPhysicalOrder), 0);
    while (t.next(r) == 0) expected.emplace_back(r.getString(3), std::stoll(t.position()));
    ASSERT_EQ(expected.size(), 240u);
    std::stable_sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) {
        return runtime::compareNoCase(a.first, b.first) < 0;
    });
    std::vector<int64_t> positions;
    ASSERT_EQ(t.positionsByField(3, positions), 0);
    ASSERT_EQ(positions.size(), expected.size());
    for (size_t i = 0; i < positions.size(); ++i)
        ASSERT_EQ(positions[i], expected[i].second) << i << ": \"" << expected[i].first << '"';
}

TEST_F(TableCore, DriverStringsAreAccepted) {
    TableDecl d = categoryDecl("Drv");
    Table t(d);
    ASSERT_EQ(t.create(), 0);
    for (const char* s : {"FULLBUILD=on", "RECOVER=10", "IGNORESTATUS=on", "QUICKSCAN=on"})
        EXPECT_EQ(t.sendDriverString(s), 0) << s;
    ASSERT_EQ(t.open(), 0);
    EXPECT_EQ(t.buildKeys(), 0);
    EXPECT_EQ(t.release(), 0);
}

TEST_F(TableCore, ArraysRealsAndAllIntegerTypesRoundTrip) {
    TableDecl d;
    d.name = "Types";
    d.fields = {{"T:B", FieldType::Byte},         {"T:S", FieldType::Short},
                {"T:US", FieldType::UShort},      {"T:L", FieldType::Long},
                {"T:UL", FieldType::ULong},       {"T:R", FieldType::Real},
                {"T:D", FieldType::Date},         {"T:T", FieldType::Time},
                {"T:Str", FieldType::String, 10}, {"T:Arr", FieldType::Long, 0, {2, 2}}};
    d.keys = {{"T:K", "", {9}, kKeyNoCase}};
    Table t(d);
    ASSERT_EQ(t.create(), 0);
    ASSERT_EQ(t.open(), 0);
    Record r(d);
    r.set(0, int64_t{255});
    r.set(1, int64_t{-32768});
    r.set(2, int64_t{65535});
    r.set(3, int64_t{-2147483647});
    r.set(4, int64_t{4294967295LL});
    r.set(5, 3.25);
    r.set(6, int64_t{80000});
    r.set(7, int64_t{360001});
    r.set(8, std::string("ten chars!"));
    for (uint32_t e = 0; e < 4; ++e) r.set(9, int64_t{10 + e}, e);
    ASSERT_EQ(t.add(r), 0);
    Record q(d);
    ASSERT_EQ(t.set(0), 0);
    ASSERT_EQ(t.next(q), 0);
    EXPECT_EQ(q.getInt(0), 255);
    EXPECT_EQ(q.getInt(1), -32768);
    EXPECT_EQ(q.getInt(2), 65535);
    EXPECT_EQ(q.getInt(3), -2147483647);
    EXPECT_EQ(q.getInt(4), 4294967295LL);
    EXPECT_DOUBLE_EQ(q.getReal(5), 3.25);
    EXPECT_EQ(q.getInt(6), 80000);
    EXPECT_EQ(q.getInt(7), 360001);
    EXPECT_EQ(q.getString(8), "ten chars!");
    EXPECT_EQ(q.getInt(9, 3), 13);
}

}  // namespace
}  // namespace corvix::storage

namespace corvix::storage {
namespace {

using namespace testing;

class Keys : public StorageTest {
  protected:
    // Runs SQL on a plain file with the stock sqlite3 shell, as a damaging tool would.
    bool shell(const std::string& file, const std::string& sql) {
        std::string cmd = "sqlite3 '" + file + "' \"" + sql + "\" 2>/dev/null";
        return std::system(cmd.c_str()) == 0;
    }
};

TEST_F(Keys, AMissingKeyGives46AndBuildingMendsIt) {
    if (std::system("command -v sqlite3 >/dev/null 2>&1") != 0) GTEST_SKIP() << "no sqlite3";
    TableDecl d = accountDecl("Keys");
    {
        Table t(d);
        ASSERT_EQ(t.create(), 0);
        ASSERT_EQ(t.open(), 0);
        Record r(d);
        fillAccount(r, 1, "b", "two");
        ASSERT_EQ(t.add(r), 0);
        fillAccount(r, 2, "a", "one");
        ASSERT_EQ(t.add(r), 0);
    }
    ASSERT_TRUE(shell("Keys.TPS", "DROP INDEX d1_k1;"));
    Table t(d);
    EXPECT_EQ(t.open(), kBadKey);
    EXPECT_FALSE(t.isOpen());
    ASSERT_EQ(t.sendDriverString("FULLBUILD=on"), 0);
    ASSERT_EQ(t.buildKeys(), 0);
    EXPECT_FALSE(t.isOpen());
    ASSERT_EQ(t.open(), 0);
    Record r(d);
    ASSERT_EQ(t.set(1), 0);
    ASSERT_EQ(t.next(r), 0);
    EXPECT_EQ(r.getString(2), "one");
}

TEST_F(Keys, BuildingAUniqueKeyOverDuplicatesGives40) {
    if (std::system("command -v sqlite3 >/dev/null 2>&1") != 0) GTEST_SKIP() << "no sqlite3";
    TableDecl d = categoryDecl("Uniq");
    ASSERT_EQ(Table(d).create(), 0);
    ASSERT_TRUE(
        shell("Uniq.TPS",
              "DROP INDEX d1_k0; INSERT INTO d1 (\\\"CAT:Category\\\") VALUES ('x'), ('x');"));
    Table t(d);
    EXPECT_EQ(t.open(), kBadKey);
    EXPECT_EQ(t.buildKeys(), kDuplicateKey);
    EXPECT_EQ(t.error().key, "CAT:K_Category");
    EXPECT_EQ(t.open(), kBadKey);  // still not built
}

TEST_F(Keys, OwnerPasswordsIgnoreTrailingBlanks) {
    TableDecl d = categoryDecl("Blank\\!Cat", "secret   ");
    ASSERT_EQ(Table(d).create(), 0);
    TableDecl same = categoryDecl("Blank\\!Cat", "secret");
    EXPECT_EQ(Table(same).open(), 0);
    // An all-blank owner password is no encryption.
    TableDecl plain = categoryDecl("Plain\\!Cat", "    ");
    ASSERT_EQ(Table(plain).create(), 0);
    EXPECT_EQ(readAll("Plain.TPS").substr(0, 15), "SQLite format 3");
}

}  // namespace
}  // namespace corvix::storage
