// Long scans read ahead in growing batches; a commit by another process must still be
// seen at the very next record, whichever way it was written, and the rows of a bulk
// rewrite are found the way the key compares (Unicode letter case, trailing blanks).
#include "storage_fixture.h"

namespace corvix::storage {
namespace {

using namespace testing;

class ScanChanges : public StorageTest {
  protected:
    void fill(Table& t, int count) {
        Record r(decl);
        for (int i = 1; i <= count; ++i) {
            char description[16];
            std::snprintf(description, sizeof description, "d%04d", i);
            fillAccount(r, i, "Bank", description);
            ASSERT_EQ(t.add(r), 0);
        }
    }
    TableDecl decl = accountDecl("Scan\\!Accounts");
};

TEST_F(ScanChanges, EveryCommitOfAnotherProcessIsSeenAtTheNextRecordOfALongScan) {
    Table t(decl);
    ASSERT_EQ(t.create(), 0);
    ASSERT_EQ(t.open(), 0);
    fill(t, 600);
    ASSERT_EQ(t.set(2), 0);  // description order
    Record r(decl);
    for (int i = 1; i <= 100; ++i) ASSERT_EQ(t.next(r), 0);  // batches have grown meanwhile
    ASSERT_EQ(r.getString(2), "d0100");

    // A single rewrite.
    ASSERT_EQ(inChild([&] {
                  Table other(decl);
                  Record o(decl);
                  o.set(0, int64_t{101});
                  if (other.open() || other.get(0, o)) return 1;
                  o.set(3, std::string("changed by a put"));
                  return other.put(o);
              }),
              0);
    ASSERT_EQ(t.next(r), 0);
    EXPECT_EQ(r.getString(3), "changed by a put");

    for (int i = 102; i <= 299; ++i) ASSERT_EQ(t.next(r), 0);
    // A transaction over two records: one rewritten, the next one erased.
    ASSERT_EQ(inChild([&] {
                  Table other(decl);
                  if (other.open()) return 1;
                  Transaction tx;
                  if (tx.begin({&other}, 2)) return 2;
                  Record o(decl);
                  o.set(0, int64_t{300});
                  if (other.get(0, o)) return 3;
                  o.set(3, std::string("changed in a transaction"));
                  if (other.put(o)) return 4;
                  o.set(0, int64_t{301});
                  if (other.get(0, o) || other.erase()) return 5;
                  return tx.commit();
              }),
              0);
    ASSERT_EQ(t.next(r), 0);
    EXPECT_EQ(r.getString(3), "changed in a transaction");
    ASSERT_EQ(t.next(r), 0);
    EXPECT_EQ(r.getString(2), "d0302");

    // Many records at once, then the rest of the scan reads them as they now are.
    ASSERT_EQ(inChild([&] {
                  Table other(decl);
                  if (other.open()) return 1;
                  Record match(decl), values(decl);
                  match.set(1, std::string("bank"));
                  values.set(1, std::string("Savings"));
                  int64_t changed = 0;
                  if (other.rewriteMatching(1, 1, match, {1}, values, nullptr, &changed)) return 2;
                  return changed == 599 ? 0 : 3;
              }),
              0);
    int rest = 0;
    while (t.next(r) == 0) {
        ++rest;
        EXPECT_EQ(r.getString(1), "Savings") << r.getString(2);
    }
    EXPECT_EQ(rest, 600 - 302);
}

TEST_F(ScanChanges, BulkRewriteFindsEveryCaseOfTheValueAndLeavesTheRestAlone) {
    Table t(decl);
    ASSERT_EQ(t.create(), 0);
    ASSERT_EQ(t.open(), 0);
    Record r(decl);
    const char* same[] = {"Ärger Ölig", "ärger ölig", "ÄRGER ÖLIG  ", "ärGER ÖliG"};
    const char* other[] = {"Ärger Ölige", "Arger Olig", "Ärger"};
    int id = 0;
    for (const char* c : same) {
        ++id;
        fillAccount(r, id, c, "same " + std::to_string(id));
        ASSERT_EQ(t.add(r), 0);
    }
    for (const char* c : other) {
        ++id;
        fillAccount(r, id, c, "other " + std::to_string(id));
        ASSERT_EQ(t.add(r), 0);
    }
    Record match(decl), values(decl);
    match.set(1, std::string("ärger ölig"));
    values.set(1, std::string("Ruhe"));

    // Inside a transaction that is rolled back, nothing stays changed.
    std::vector<int64_t> reported;
    {
        Transaction tx;
        ASSERT_EQ(tx.begin({&t}, 2), 0);
        int64_t changed = 0;
        ASSERT_EQ(t.rewriteMatching(
                      1, 1, match, {1}, values, [&](int64_t done) { reported.push_back(done); },
                      &changed),
                  0);
        EXPECT_EQ(changed, 4);
        ASSERT_EQ(tx.rollback(), 0);
    }
    EXPECT_EQ(reported, std::vector<int64_t>{4});
    ASSERT_EQ(t.set(kPhysicalOrder), 0);
    for (int i = 0; i < id; ++i) {
        ASSERT_EQ(t.next(r), 0);
        EXPECT_NE(r.getString(1), "Ruhe");
    }

    int64_t changed = 0;
    ASSERT_EQ(t.rewriteMatching(1, 1, match, {1}, values, nullptr, &changed), 0);
    EXPECT_EQ(changed, 4);
    ASSERT_EQ(t.set(kPhysicalOrder), 0);
    for (int i = 1; i <= id; ++i) {
        ASSERT_EQ(t.next(r), 0);
        if (i <= 4)
            EXPECT_EQ(r.getString(1), "Ruhe") << i;
        else
            EXPECT_EQ(r.getString(1), other[i - 5]) << i;
    }
    // The key index follows: the new value is found by key, the old one no more.
    Record probe(decl);
    probe.set(1, std::string("RUHE"));
    probe.set(2, std::string("same 3"));
    ASSERT_EQ(t.get(1, probe), 0);
    EXPECT_EQ(probe.getInt(0), 3);
    probe.set(1, std::string("Ärger Ölig"));
    probe.set(2, std::string("same 3"));
    EXPECT_EQ(t.get(1, probe), kRecordNotFound);

    // A read-only open may not rewrite anything.
    t.close();
    ASSERT_EQ(t.open(kReadOnly | kDenyNone), 0);
    EXPECT_EQ(t.rewriteMatching(1, 1, values, {1}, match, nullptr, &changed), kAccessDenied);
}

}  // namespace
}  // namespace corvix::storage
