#include "framework/file_manager.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "fixture.h"
#include "platform/storage/table.h"

namespace corvix::framework {
namespace {

using storage::FieldType;
using storage::TableDecl;

enum { kId, kName, kGroup };
enum { kById, kByName, kByGroup };

const TableDecl& items() {
    static const TableDecl d = [] {
        TableDecl d;
        d.label = "ITEMS";
        d.prefix = "ITM";
        d.name = "Shop\\!Items";
        d.fields = {{"ITM:ID", FieldType::Long, 0, {}, "@n-14"},
                    {"ITM:Name", FieldType::String, 20, {}, "@s20"},
                    {"ITM:Group", FieldType::String, 10, {}, "@s10"}};
        d.keys = {{"ITM:K_ID",
                   "System ID",
                   {kId},
                   storage::kKeyPrimary | storage::kKeyOptional | storage::kKeyAutoNumber |
                       storage::kKeyNoCase},
                  {"ITM:K_Name", "Item name", {kName}, storage::kKeyUnique | storage::kKeyNoCase},
                  {"ITM:K_Group", "Group", {kGroup, kId}, storage::kKeyNoCase}};
        return d;
    }();
    return d;
}

enum { kLineGroup, kLineNo };
const TableDecl& lines() {
    static const TableDecl d = [] {
        TableDecl d;
        d.label = "LINES";
        d.prefix = "LIN";
        d.name = "Shop\\!Lines";
        d.fields = {{"LIN:Group", FieldType::String, 10, {}, "@s10"},
                    {"LIN:Line", FieldType::Long, 0, {}, "@n6"}};
        d.keys = {{"LIN:K_Line",
                   "Line",
                   {kLineGroup, kLineNo},
                   storage::kKeyPrimary | storage::kKeyAutoNumber | storage::kKeyNoCase}};
        return d;
    }();
    return d;
}

class FileManagerTest : public testing::ScratchFixture {
  protected:
    void SetUp() override {
        ScratchFixture::SetUp();
        fm_ = std::make_unique<FileManager>(items(), buf_);
    }
    void TearDown() override {
        fm_.reset();
        setOpenFunction({});
        ScratchFixture::TearDown();
    }
    int add(const std::string& name, const std::string& group = "g") {
        buf_.clear();
        buf_.set(kName, name);
        buf_.set(kGroup, group);
        return fm_->Insert();
    }
    int64_t count() {
        storage::Table t(items());
        EXPECT_EQ(t.open(storage::kReadOnly | storage::kDenyNone), 0);
        return t.records();
    }
    bool fetchId(int64_t id) {
        buf_.clear();
        buf_.set(kId, id);
        return fm_->Fetch(kById) == kLevelBenign;
    }

    storage::Record buf_{items()};
    std::unique_ptr<FileManager> fm_;
};

TEST(DisplayName, FromTableNameAndLabel) {
    EXPECT_EQ(displayNameFor(items()), "Items [ITEMS]");
    TableDecl plain;
    plain.label = "CVWRD";
    plain.name = "CVWRD";
    EXPECT_EQ(displayNameFor(plain), "CVWRD [CVWRD]");
}

TEST_F(FileManagerTest, AVariableFileNameIsUsedByTheNextOpen) {
    fm_->SetName("Sealed.ENC");
    EXPECT_EQ(fm_->Name(), "Sealed.ENC");
    fm_->Open();
    ASSERT_EQ(add("apple"), kLevelBenign);
    EXPECT_TRUE(std::filesystem::exists("Sealed.ENC"));
    EXPECT_FALSE(std::filesystem::exists("Shop.TPS"));
    fm_->Close();
    fm_->SetName("");
    EXPECT_EQ(fm_->Name(), "Shop\\!Items");
    fm_->Open();
    ASSERT_EQ(add("pear"), kLevelBenign);
    EXPECT_TRUE(std::filesystem::exists("Shop.TPS"));
}

TEST_F(FileManagerTest, UseBeforeOpenIsAProgramError) {
    EXPECT_NE(fm_->Next(), kLevelBenign);
    ASSERT_EQ(titles(), std::vector<std::string>{"File Usage Error"});
    EXPECT_EQ(prompt_.asked()[0].text,
              "Attempt to use file (Items [ITEMS]) before it was opened  Press OK to end this "
              "application");
    ASSERT_EQ(exitCodes_.size(), 1u);
    EXPECT_NE(exitCodes_[0], 0);
}

TEST_F(FileManagerTest, LazyOpenCreatesTheTableOnFirstUse) {
    ASSERT_EQ(fm_->Open(), kLevelBenign);
    EXPECT_FALSE(std::filesystem::exists("Shop.TPS"));
    EXPECT_FALSE(fm_->IsOpen());
    ASSERT_EQ(add("apple"), kLevelBenign);
    EXPECT_TRUE(fm_->IsOpen());
    EXPECT_TRUE(std::filesystem::exists("Shop.TPS"));
    EXPECT_TRUE(prompt_.asked().empty());
    fm_->Close();
    EXPECT_FALSE(fm_->IsOpen());
}

TEST_F(FileManagerTest, OpenCountsPerThread) {
    int thread = 2;
    setThreadNumberHook([&] { return thread; });
    fm_->Open();
    fm_->Open();
    ASSERT_EQ(add("apple"), kLevelBenign);
    fm_->Close();
    EXPECT_TRUE(fm_->IsOpen());  // one Open still outstanding
    thread = 3;
    EXPECT_FALSE(fm_->IsOpen());  // thread 3 has its own state
    fm_->Open();
    EXPECT_TRUE(fetchId(1));
    EXPECT_EQ(buf_.getString(kName), "apple");
    fm_->Close();
    thread = 2;
    fm_->Close();
    EXPECT_FALSE(fm_->IsOpen());
}

TEST_F(FileManagerTest, NumbersFromOneAndHighestPlusOneAfterDeletions) {
    fm_->Open();
    ASSERT_EQ(add("a"), kLevelBenign);
    EXPECT_EQ(buf_.getInt(kId), 1);
    ASSERT_EQ(add("b"), kLevelBenign);
    ASSERT_EQ(add("c"), kLevelBenign);
    ASSERT_EQ(add("d"), kLevelBenign);
    EXPECT_EQ(buf_.getInt(kId), 4);
    ASSERT_TRUE(fetchId(2));
    ASSERT_EQ(fm_->Delete(), kLevelBenign);
    ASSERT_TRUE(fetchId(3));
    ASSERT_EQ(fm_->Delete(), kLevelBenign);
    ASSERT_EQ(add("e"), kLevelBenign);
    EXPECT_EQ(buf_.getInt(kId), 5);
    EXPECT_EQ(count(), 3);
    EXPECT_TRUE(prompt_.asked().empty());
}

TEST_F(FileManagerTest, SeveralComponentKeyNumbersWithinItsLeadingValues) {
    storage::Record lb(lines());
    FileManager lf(lines(), lb);
    lf.Open();
    auto addLine = [&](const std::string& group) {
        lb.clear();
        lb.set(kLineGroup, group);
        EXPECT_EQ(lf.Insert(), kLevelBenign);
        return lb.getInt(kLineNo);
    };
    EXPECT_EQ(addLine("b"), 1);
    EXPECT_EQ(addLine("b"), 2);
    EXPECT_EQ(addLine("a"), 1);  // a group before the others
    EXPECT_EQ(addLine("c"), 1);  // a group after the others
    EXPECT_EQ(addLine("B"), 3);  // keys ignore letter case
    EXPECT_EQ(addLine("a"), 2);
}

TEST_F(FileManagerTest, DuplicateKeyNamesTheKeyDescription) {
    fm_->Open();
    ASSERT_EQ(add("Apple"), kLevelBenign);
    EXPECT_EQ(add("apple  "), kLevelNotify);
    ASSERT_EQ(titles(), std::vector<std::string>{"Duplicate Key Error"});
    EXPECT_EQ(prompt_.asked()[0].text,
              "Adding this record creates a duplicate entry for the key: Item name");
    EXPECT_EQ(count(), 1);  // no reserved record left behind
}

TEST_F(FileManagerTest, TryFormsRecordWithoutShowing) {
    fm_->Open();
    ASSERT_EQ(add("Apple"), kLevelBenign);
    buf_.clear();
    buf_.set(kName, std::string("APPLE"));
    EXPECT_EQ(fm_->TryInsert(), kLevelNotify);
    EXPECT_TRUE(prompt_.asked().empty());
    EXPECT_EQ(fm_->PendingError(), 13);
    fm_->RaisePending();
    ASSERT_EQ(titles(), std::vector<std::string>{"Duplicate Key Error"});
    EXPECT_EQ(prompt_.asked()[0].text,
              "Adding this record creates a duplicate entry for the key: Item name");
    EXPECT_EQ(fm_->PendingError(), 0);
}

TEST_F(FileManagerTest, NextAndPreviousStopAtTheEndWithoutMessage) {
    fm_->Open();
    for (const char* n : {"cherry", "apple", "banana"}) ASSERT_EQ(add(n), kLevelBenign);
    ASSERT_EQ(fm_->SetOrder(kByName), kLevelBenign);
    std::vector<std::string> seen;
    while (fm_->Next() == kLevelBenign) seen.push_back(buf_.getString(kName));
    EXPECT_EQ(seen, (std::vector<std::string>{"apple", "banana", "cherry"}));
    EXPECT_TRUE(fm_->EndOfFile());
    ASSERT_EQ(fm_->SetOrderLast(kByName), kLevelBenign);
    EXPECT_FALSE(fm_->EndOfFile());
    seen.clear();
    while (fm_->Previous() == kLevelBenign) seen.push_back(buf_.getString(kName));
    EXPECT_EQ(seen, (std::vector<std::string>{"cherry", "banana", "apple"}));
    EXPECT_TRUE(fm_->EndOfFile());
    EXPECT_TRUE(prompt_.asked().empty());
}

TEST_F(FileManagerTest, FetchOfAMissingRecordIsQuiet) {
    fm_->Open();
    ASSERT_EQ(add("apple"), kLevelBenign);
    EXPECT_FALSE(fetchId(42));
    EXPECT_TRUE(prompt_.asked().empty());
    EXPECT_EQ(fm_->PendingError(), 0);
}

TEST_F(FileManagerTest, ValidationRefusesTheInsert) {
    fm_->fieldRule = [this](int field) -> FieldVerdict {
        if (field == kGroup && buf_.getString(kGroup) == "bad")
            return {16, "Group of item", "1 and 9"};
        return {};
    };
    fm_->Open();
    EXPECT_EQ(add("apple", "bad"), kLevelNotify);
    ASSERT_EQ(titles(), std::vector<std::string>{"Range Error"});
    EXPECT_EQ(prompt_.asked()[0].text, "The value of Group of item must be between 1 and 9.");
    EXPECT_EQ(add("apple", "good"), kLevelBenign);
    EXPECT_EQ(count(), 1);
}

TEST_F(FileManagerTest, PrimedRecordIsReservedAndRewrittenOnInsert) {
    fm_->primeFields = [](storage::RecordBuffer& b) { b.set(kGroup, std::string("new")); };
    fm_->Open();
    ASSERT_EQ(fm_->PrimeRecord(), kLevelBenign);
    EXPECT_TRUE(fm_->AutoIncPrimed());
    EXPECT_EQ(buf_.getInt(kId), 1);
    EXPECT_EQ(buf_.getString(kGroup), "new");
    EXPECT_EQ(count(), 1);  // the number is reserved in the table
    buf_.set(kName, std::string("pear"));
    ASSERT_EQ(fm_->Insert(), kLevelBenign);
    EXPECT_FALSE(fm_->AutoIncPrimed());
    EXPECT_EQ(count(), 1);
    ASSERT_TRUE(fetchId(1));
    EXPECT_EQ(buf_.getString(kName), "pear");
    EXPECT_EQ(buf_.getString(kGroup), "new");
}

TEST_F(FileManagerTest, CancelAutoIncDeletesTheReservedRecord) {
    fm_->Open();
    ASSERT_EQ(add("keep"), kLevelBenign);
    ASSERT_EQ(fm_->PrimeRecord(), kLevelBenign);
    EXPECT_EQ(buf_.getInt(kId), 2);
    EXPECT_EQ(count(), 2);
    ASSERT_EQ(fm_->CancelAutoInc(), kLevelBenign);
    EXPECT_FALSE(fm_->AutoIncPrimed());
    EXPECT_EQ(count(), 1);
    EXPECT_TRUE(fetchId(1));
    EXPECT_EQ(fm_->CancelAutoInc(), kLevelBenign);  // nothing primed: nothing deleted
    EXPECT_EQ(count(), 1);
}

TEST_F(FileManagerTest, SaveAndRestoreStateAroundANestedRead) {
    fm_->Open();
    for (const char* n : {"a", "b", "c", "d"}) ASSERT_EQ(add(n), kLevelBenign);
    fm_->SetOrder(kByName);
    fm_->Next();
    fm_->Next();
    ASSERT_EQ(buf_.getString(kName), "b");
    buf_.set(kGroup, std::string("edited"));
    FileManager::State st = fm_->SaveState();
    fm_->SetOrder(kById);
    fm_->Next();
    EXPECT_TRUE(fetchId(4));
    fm_->RestoreState(st);
    EXPECT_EQ(buf_.getString(kName), "b");
    EXPECT_EQ(buf_.getString(kGroup), "edited");
    ASSERT_EQ(fm_->Update(), kLevelBenign);  // rewrites b, not d
    ASSERT_EQ(fm_->Next(), kLevelBenign);
    EXPECT_EQ(buf_.getString(kName), "c");
    ASSERT_TRUE(fetchId(2));
    EXPECT_EQ(buf_.getString(kGroup), "edited");
    ASSERT_TRUE(fetchId(4));
    EXPECT_EQ(buf_.getString(kGroup), "g");
}

TEST_F(FileManagerTest, PositionAndReget) {
    fm_->Open();
    for (const char* n : {"a", "b", "c"}) ASSERT_EQ(add(n), kLevelBenign);
    ASSERT_TRUE(fetchId(2));
    const std::string pos = fm_->Position();
    ASSERT_FALSE(pos.empty());
    ASSERT_TRUE(fetchId(3));
    ASSERT_EQ(fm_->Reget(pos), kLevelBenign);
    EXPECT_EQ(buf_.getString(kName), "b");
}

TEST_F(FileManagerTest, ChangedByAnotherStationShowsTheirVersion) {
    storage::Record other(items());
    FileManager station2(items(), other);
    fm_->Open();
    station2.Open();
    ASSERT_EQ(add("apple"), kLevelBenign);
    ASSERT_TRUE(fetchId(1));
    other.set(kId, int64_t{1});
    ASSERT_EQ(station2.Fetch(kById), kLevelBenign);
    other.set(kGroup, std::string("theirs"));
    ASSERT_EQ(station2.Update(), kLevelBenign);

    buf_.set(kGroup, std::string("mine"));
    EXPECT_EQ(fm_->Update(), kLevelNotify);
    ASSERT_EQ(titles(), std::vector<std::string>{"Record Was Not Updated"});
    EXPECT_EQ(prompt_.asked()[0].text, "This record was changed by another station.");
    EXPECT_EQ(buf_.getString(kGroup), "theirs");

    // Having seen their version, the save goes through; asking for the changes gives 7.
    other.set(kGroup, std::string("again"));
    ASSERT_EQ(station2.Update(), kLevelBenign);
    buf_.set(kGroup, std::string("mine"));
    EXPECT_EQ(fm_->Update(true), kLevelNotify);
    EXPECT_EQ(prompt_.asked().back().text,
              "This record was changed by another station. Those changes will now be displayed. "
              "Use the Ditto Button or Ctrl+' to recall your changes.");
    EXPECT_EQ(buf_.getString(kGroup), "again");
    buf_.set(kGroup, std::string("mine"));
    EXPECT_EQ(fm_->Update(), kLevelBenign);
}

// Another process changes the record between this one's read and its save.
TEST_F(FileManagerTest, ChangedByAnotherProcess) {
    int go[2], done[2];
    ASSERT_EQ(pipe(go), 0);
    ASSERT_EQ(pipe(done), 0);
    // Fork before this process touches the file, so the child has its own connection.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        char c;
        if (read(go[0], &c, 1) != 1) _exit(10);
        storage::Record b(items());
        FileManager fm(items(), b);
        fm.Open();
        b.set(kId, int64_t{1});
        if (fm.TryFetch(kById) != kLevelBenign) _exit(11);
        b.set(kGroup, std::string("station2"));
        int rc = fm.TryUpdate();
        fm.Close();
        if (write(done[1], "x", 1) != 1) _exit(12);
        _exit(rc == kLevelBenign ? 0 : 13);
    }
    fm_->Open();
    ASSERT_EQ(add("apple"), kLevelBenign);
    ASSERT_TRUE(fetchId(1));
    ASSERT_EQ(write(go[1], "x", 1), 1);
    char c;
    ASSERT_EQ(read(done[0], &c, 1), 1);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    buf_.set(kGroup, std::string("station1"));
    EXPECT_EQ(fm_->Update(), kLevelNotify);
    ASSERT_EQ(titles(), std::vector<std::string>{"Record Was Not Updated"});
    EXPECT_EQ(buf_.getString(kGroup), "station2");
    for (int fd : {go[0], go[1], done[0], done[1]}) close(fd);
}

TEST_F(FileManagerTest, ReadOnlyAccessDeniedOnceThenWorksReadOnly) {
    fm_->Open();
    ASSERT_EQ(add("apple"), kLevelBenign);
    fm_->Close();
    // Another open that lets nobody else write.
    storage::Table holder(items());
    ASSERT_EQ(holder.open(storage::kReadOnly | storage::kDenyWrite), 0);

    storage::Record b(items());
    FileManager reader(items(), b);
    reader.lockRecover = 1;  // the driver waits this long for a stale lock
    reader.Open();
    ASSERT_EQ(reader.SetOrder(kByName), kLevelBenign);
    ASSERT_EQ(reader.Next(), kLevelBenign);
    EXPECT_EQ(b.getString(kName), "apple");
    ASSERT_EQ(titles(), std::vector<std::string>{"Access Denied"});
    EXPECT_EQ(prompt_.asked()[0].text,
              "Could not get write access to Items [ITEMS] so trying read-only.");
    EXPECT_EQ(prompt_.asked()[0].buttons, kButtonOk);
    EXPECT_EQ(reader.Next(), kLevelNotify);  // end of file, no further message
    EXPECT_EQ(prompt_.asked().size(), 1u);
    EXPECT_TRUE(exitCodes_.empty());
    reader.Close();
    holder.close();
}

TEST_F(FileManagerTest, NumberingThatCannotAddAsksToTryAgain) {
    fm_->Open();
    ASSERT_EQ(add("apple"), kLevelBenign);
    fm_->Close();
    storage::Table holder(items());
    ASSERT_EQ(holder.open(storage::kReadOnly | storage::kDenyWrite), 0);
    fm_->lockRecover = 1;
    fm_->Open();
    prompt_.answer(kButtonOk);   // "Access Denied": the table opens read-only
    prompt_.answer(kButtonYes);  // try again
    prompt_.answer(kButtonNo);   // give up
    EXPECT_EQ(fm_->PrimeAutoInc(), kLevelNotify);
    ASSERT_EQ(titles(), (std::vector<std::string>{"Access Denied", "Auto Increment Error",
                                                  "Auto Increment Error"}));
    const auto& q = prompt_.asked()[1];
    EXPECT_EQ(q.text.rfind("Attempts to automatically number this record have failed.  Error: ", 0),
              0u);
    EXPECT_EQ(q.text.substr(q.text.size() - 12), ". Try Again?");
    EXPECT_EQ(q.buttons, unsigned(kButtonYes | kButtonNo));
    EXPECT_FALSE(fm_->AutoIncPrimed());
    EXPECT_EQ(count(), 1);
    fm_->Close();
    holder.close();
}

TEST_F(FileManagerTest, MissingTableWithoutCreateIsFatal) {
    fm_->create = false;
    fm_->Open();
    EXPECT_NE(fm_->Next(), kLevelBenign);
    ASSERT_EQ(titles(), std::vector<std::string>{"File Access Error"});
    EXPECT_EQ(
        prompt_.asked()[0].text.rfind("File (Items [ITEMS]) could not be opened.  Error: ", 0), 0u);
    ASSERT_EQ(exitCodes_.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists("Shop.TPS"));
}

TEST_F(FileManagerTest, LockedOpenIsRetriedWithRecoverBeforeFallingBack) {
    int calls = 0;
    setOpenFunction([&](storage::Table& t, int mode) {
        ++calls;
        if (calls == 1) return int(storage::kAccessDenied);  // a stale lock
        return t.open(mode);
    });
    fm_->Open();
    ASSERT_EQ(add("apple"), kLevelBenign);
    EXPECT_EQ(calls, 3);  // denied, retried after "Recover=" (not found), opened after create
    EXPECT_TRUE(prompt_.asked().empty());
}

TEST_F(FileManagerTest, OtherOpenErrorsAreFileAccessErrors) {
    setOpenFunction([](storage::Table&, int) {
        storage::Error e;
        e.code = storage::kRecordMismatch;
        e.text = "Record Declaration Mismatch";
        storage::setLastError(e);
        return int(storage::kRecordMismatch);
    });
    fm_->Open();
    EXPECT_NE(fm_->Next(), kLevelBenign);
    ASSERT_EQ(titles(), std::vector<std::string>{"File Access Error"});
    EXPECT_EQ(prompt_.asked()[0].text,
              "File (Items [ITEMS]) could not be opened.  Error: Record Declaration Mismatch "
              "(47).  Press OK to end this application");
}

TEST_F(FileManagerTest, BadKeysAreReportedAndRebuilt) {
    fm_->Open();
    ASSERT_EQ(add("apple"), kLevelBenign);
    fm_->Close();
    int calls = 0;
    setOpenFunction([&](storage::Table& t, int mode) {
        if (++calls == 1) return int(storage::kBadKey);
        return t.open(mode);
    });
    fm_->Open();
    ASSERT_TRUE(fetchId(1));
    ASSERT_EQ(titles(), std::vector<std::string>{"Invalid Key"});
    EXPECT_EQ(prompt_.asked()[0].text, "Items [ITEMS] key file is invalid. Key must be rebuilt.");
    EXPECT_EQ(buf_.getString(kName), "apple");
}

}  // namespace
}  // namespace corvix::framework
