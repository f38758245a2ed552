// Copy, rename and remove of tables, inside a multi-table file and into and out of one.
#include "storage_fixture.h"

namespace corvix::storage {
namespace {

using namespace testing;

class FileOps : public StorageTest {
  protected:
    // A categories table with the given names.
    void makeCategories(const std::string& name, const std::vector<std::string>& names,
                        const std::string& owner = "") {
        TableDecl d = categoryDecl(name, owner);
        Table t(d);
        ASSERT_EQ(t.create(), 0);
        ASSERT_EQ(t.open(), 0);
        Record r(d);
        for (const std::string& n : names) {
            r.set(0, n);
            ASSERT_EQ(t.add(r), 0);
        }
    }
    std::vector<std::string> categories(const std::string& name, const std::string& owner = "") {
        TableDecl d = categoryDecl(name, owner);
        Table t(d);
        std::vector<std::string> out;
        if (t.open() != 0) return {"<open failed " + std::to_string(t.error().code) + ">"};
        Record r(d);
        t.set(0);
        while (t.next(r) == 0) out.push_back(r.getString(0));
        return out;
    }
};

TEST_F(FileOps, CopyRenameRemoveInsideAMultiTableFile) {
    makeCategories("Corvix\\!Category", {"b", "a"}, "k");
    TableDecl acc = accountDecl("Corvix\\!Passwords", "k");
    ASSERT_EQ(Table(acc).create(), 0);

    ASSERT_EQ(copyTable("Corvix\\!Category", "Corvix\\!CatCopy", "k"), 0);
    EXPECT_EQ(categories("Corvix\\!CatCopy", "k"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(categories("Corvix\\!Category", "k"), (std::vector<std::string>{"a", "b"}));
    // A copy onto an existing table is refused and changes nothing.
    EXPECT_EQ(copyTable("Corvix\\!Category", "Corvix\\!Passwords", "k"), kAccessDenied);

    ASSERT_EQ(renameTable("Corvix\\!CatCopy", "Corvix\\!Renamed", "k"), 0);
    EXPECT_FALSE(tableExists("Corvix\\!CatCopy", "k"));
    EXPECT_EQ(categories("Corvix\\!Renamed", "k"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(renameTable("Corvix\\!Renamed", "Corvix\\!Passwords", "k"), kAccessDenied);
    EXPECT_EQ(renameTable("Corvix\\!Missing", "Corvix\\!X", "k"), kFileNotFound);

    ASSERT_EQ(removeTable("Corvix\\!Renamed", "k"), 0);
    EXPECT_FALSE(tableExists("Corvix\\!Renamed", "k"));
    EXPECT_TRUE(tableExists("Corvix\\!Passwords", "k"));
    EXPECT_TRUE(std::filesystem::exists("Corvix.TPS"));
    EXPECT_EQ(removeTable("Corvix\\!Renamed", "k"), kFileNotFound);
    EXPECT_EQ(removeTable("Corvix\\!Category", "wrong owner"), kDriverError);
    EXPECT_TRUE(tableExists("Corvix\\!Category", "k"));
}

TEST_F(FileOps, CopyAndRenameOutOfAndIntoAMultiTableFile) {
    makeCategories("Corvix\\!Category", {"x", "y", "z"}, "k");
    // Out: to a file of its own (a temporary copy).
    ASSERT_EQ(renameTable("Corvix\\!Category", "futmp001", "k"), 0);
    EXPECT_FALSE(tableExists("Corvix\\!Category", "k"));
    EXPECT_TRUE(std::filesystem::exists("futmp001.TPS"));
    EXPECT_EQ(categories("futmp001", "k"), (std::vector<std::string>{"x", "y", "z"}));
    // The vault file lost its only table, so it is gone.
    EXPECT_FALSE(std::filesystem::exists("Corvix.TPS"));
    // In: back into a multi-table file beside another table.
    ASSERT_EQ(Table(accountDecl("Corvix\\!Passwords", "k")).create(), 0);
    ASSERT_EQ(copyTable("futmp001", "Corvix\\!Category", "k"), 0);
    EXPECT_EQ(categories("Corvix\\!Category", "k"), (std::vector<std::string>{"x", "y", "z"}));
    ASSERT_EQ(removeTable("futmp001", "k"), 0);
    EXPECT_FALSE(std::filesystem::exists("futmp001.TPS"));
    EXPECT_FALSE(std::filesystem::exists("futmp001.TPS.lck"));
    // Positions (record numbers) travel with the rows.
    TableDecl d = categoryDecl("Corvix\\!Category", "k");
    Table t(d);
    ASSERT_EQ(t.open(), 0);
    Record r(d);
    r.set(0, std::string("y"));
    ASSERT_EQ(t.get(0, r), 0);
    EXPECT_EQ(t.position(), "2");
}

TEST_F(FileOps, CopiedBlobsAndDeclarationComeAlong) {
    TableDecl d = containerDecl("a.ENC", "k");
    {
        Table t(d);
        ASSERT_EQ(t.create(), 0);
        ASSERT_EQ(t.open(), 0);
        Record r(d);
        r.set(0, int64_t{1});
        r.set(1, std::string("sealed"));
        ASSERT_EQ(t.add(r), 0);
        std::string data(200000, 'q');
        ASSERT_EQ(t.appendBlob(0, data.data(), data.size()), 0);
    }
    ASSERT_EQ(copyTable("a.ENC", "b.ENC", "k"), 0);
    TableDecl stored;
    ASSERT_EQ(readStoredDeclaration("b.ENC", "k", stored), 0);
    EXPECT_TRUE(stored.sameStructure(d));
    TableDecl bd = containerDecl("b.ENC", "k");
    Table b(bd);
    ASSERT_EQ(b.open(), 0);
    Record r(bd);
    ASSERT_EQ(b.set(), 0);
    ASSERT_EQ(b.next(r), 0);
    EXPECT_EQ(r.getString(1), "sealed");
    EXPECT_EQ(b.blobSize(0), 200000);
}

TEST_F(FileOps, AMissingFolderGivesPathNotFound) {
    makeCategories("Corvix\\!Category", {"a"});
    EXPECT_EQ(copyTable("Corvix\\!Category", "no/such/folder/futmp001", ""), kPathNotFound);
    EXPECT_EQ(renameTable("Corvix\\!Category", "no/such/folder/futmp001", ""), kPathNotFound);
    EXPECT_TRUE(tableExists("Corvix\\!Category", ""));
    TableDecl d = categoryDecl("nowhere/x");
    EXPECT_EQ(Table(d).create(), kPathNotFound);
    EXPECT_EQ(lastError().text, "Path Not Found");
}

TEST_F(FileOps, OperationsOnMissingOrOpenTables) {
    EXPECT_EQ(copyTable("Nope\\!T", "Other\\!T", ""), kFileNotFound);
    EXPECT_FALSE(std::filesystem::exists("Other.TPS"));
    EXPECT_EQ(removeTable("Nope", ""), kFileNotFound);
    TableDecl none;
    EXPECT_EQ(readStoredDeclaration("Nope", "", none), kFileNotFound);
    makeCategories("Busy", {"a"});
    TableDecl d = categoryDecl("Busy");
    Table t(d);
    ASSERT_EQ(t.open(kReadWrite | kDenyNone), 0);
    EXPECT_EQ(renameTable("Busy", "Moved", ""), kAccessDenied);
    EXPECT_EQ(removeTable("Busy", ""), kAccessDenied);
    EXPECT_FALSE(std::filesystem::exists("Moved.TPS"));
    t.close();
    EXPECT_EQ(renameTable("Busy", "Moved", ""), 0);
    EXPECT_FALSE(std::filesystem::exists("Busy.TPS"));
    EXPECT_EQ(categories("Moved"), (std::vector<std::string>{"a"}));
}

}  // namespace
}  // namespace corvix::storage
