// Upgrading tables whose owner password is given to the handle rather than declared, and
// the keys of an upgraded table.
#include "fixture.h"
#include "tables.h"

namespace corvix::ferrule::testing {
namespace {

using storage::kDenyNone;
using storage::kReadWrite;

class OwnerUpgradeTest : public FerruleTest {
  protected:
    void startProgram(const TableDecl& decl, int version, const std::string& owner) {
        resetForTests();
        setArgs({});
        fu_AddDriver("Tps", driver_);
        table_ = std::make_unique<storage::Table>(decl);
        if (!owner.empty()) table_->setOwner(owner);
        fu_UsingFile(*table_, "ACC", "Accounts", version);
    }

    TableDecl drvDecl_ = driverDecl();
    storage::Table driver_{drvDecl_};
    TableDecl v1_ = accountsV1();
    TableDecl v2_ = accountsV2();
    std::unique_ptr<storage::Table> table_;
};

TEST_F(OwnerUpgradeTest, OwnerGivenToTheHandleIsRecordedAndTheNewTableKeepsIt) {
    startProgram(v1_, 1, "handle-secret");
    ASSERT_EQ(table_->create(), 0);
    ASSERT_EQ(fu_FileOpen(*table_, kOpenMode), 0);
    ASSERT_EQ(fillV1(*table_, 6), 0);
    table_->close();

    startProgram(v2_, 2, "handle-secret");
    ASSERT_EQ(fu_FileOpen(*table_, kOpenMode), 0);
    EXPECT_EQ(table_->records(), 6);
    table_->close();
    EXPECT_TRUE(sink.stops.empty()) << sink.stops.front();

    // The new table is encrypted with the handle's password, not left without one.
    storage::Table plain(v2_);
    EXPECT_NE(plain.open(kOpenMode), 0);
    storage::Table keyed(v2_);
    keyed.setOwner("handle-secret");
    ASSERT_EQ(keyed.open(kOpenMode), 0);
    auto records = readAll(keyed);
    ASSERT_EQ(records.size(), 6u);
    EXPECT_EQ(records[5].getInt(0), 6);
    EXPECT_EQ(records[5].getString(6), "1006");  // the number became text
}

TEST_F(OwnerUpgradeTest, UpgradedTableHasEveryKeyBuilt) {
    startProgram(v1_, 1, "");
    ASSERT_EQ(table_->create(), 0);
    ASSERT_EQ(fu_FileOpen(*table_, kOpenMode), 0);
    ASSERT_EQ(fillV1(*table_, 12), 0);
    table_->close();

    startProgram(v2_, 2, "");
    ASSERT_EQ(fu_FileOpen(*table_, kOpenMode), 0);
    table_->close();
    // Another handle opens it without "keys need rebuilding" and reads in key order:
    // titles are "Account" for all (cut to 8), so the title key follows record order.
    storage::Table other(v2_);
    ASSERT_EQ(other.open(kOpenMode), 0);
    storage::Record r(v2_);
    ASSERT_EQ(other.set(1), 0);
    int64_t expected = 1;
    while (other.next(r) == 0) EXPECT_EQ(r.getInt(0), expected++);
    EXPECT_EQ(expected, 13);
    // And the unique key still refuses a second record with an existing id.
    r.clear();
    r.set(0, int64_t(5));
    EXPECT_EQ(other.add(r), storage::kDuplicateKey);
}

// A unique key refuses a record and the user ends at the message: nothing of the new
// table is put in place, the old one stays whole where it was.
TEST_F(OwnerUpgradeTest, CopyEndedAtAWriteErrorLeavesTheOldFileWhole) {
    startProgram(v1_, 1, "");
    ASSERT_EQ(table_->create(), 0);
    ASSERT_EQ(fu_FileOpen(*table_, kOpenMode), 0);
    ASSERT_EQ(fillV1(*table_, 4), 0);
    table_->close();

    TableDecl strict = v2_;
    strict.keys[1].flags |= storage::kKeyUnique;
    startProgram(strict, 2, "");
    sink.goOn = false;
    EXPECT_EQ(fu_FileOpen(*table_, kOpenMode), storage::kRecordMismatch);
    ASSERT_EQ(sink.stops.size(), 1u);
    EXPECT_EQ(sink.stops[0].rfind("Error Writing destination file  40 ", 0), 0u) << sink.stops[0];
    storage::Table old(v1_);
    ASSERT_EQ(old.open(kOpenMode), 0);
    EXPECT_EQ(old.records(), 4);
    EXPECT_FALSE(storage::tableExists(path("Vault.TPS\\!Accounts~fubuild"), ""));
}

}  // namespace
}  // namespace corvix::ferrule::testing
