// Transactions over tables of one file, and streamed writing.
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>

#include "storage_fixture.h"

// Every data sync of the process, by the path synced while a test records them: this
// program's fdatasync stands in front of the C library's for SQLite too.
namespace {
std::vector<std::string>* gSyncedPaths = nullptr;
}
extern "C" int fdatasync(int fd) {
    static auto* real = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "fdatasync"));
    if (gSyncedPaths) {
        char path[PATH_MAX];
        const ssize_t n =
            readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path, sizeof path - 1);
        gSyncedPaths->push_back(n > 0 ? std::string(path, static_cast<size_t>(n)) : "?");
    }
    return real(fd);
}

namespace corvix::storage {
namespace {

using namespace testing;

class Transactions : public StorageTest {
  protected:
    void SetUp() override {
        StorageTest::SetUp();
        ASSERT_EQ(Table(cats_).create(), 0);
        ASSERT_EQ(Table(accs_).create(), 0);
    }
    TableDecl cats_ = categoryDecl("Corvix\\!Category", "k");
    TableDecl accs_ = accountDecl("Corvix\\!Passwords", "k");
};

TEST_F(Transactions, CommitKeepsAndRollbackUndoesChangesToSeveralTables) {
    Table cats(cats_), accs(accs_);
    ASSERT_EQ(cats.open(), 0);
    ASSERT_EQ(accs.open(), 0);
    Record c(cats_), a(accs_);
    {
        Transaction tx;
        ASSERT_EQ(tx.begin({&cats, &accs}, 2), 0);
        EXPECT_TRUE(tx.active());
        c.set(0, std::string("Bank"));
        ASSERT_EQ(cats.add(c), 0);
        fillAccount(a, 1, "Bank", "Checking");
        ASSERT_EQ(accs.add(a), 0);
        ASSERT_EQ(tx.rollback(), 0);
        EXPECT_FALSE(tx.active());
    }
    EXPECT_EQ(cats.records(), 0);
    EXPECT_EQ(accs.records(), 0);
    {
        Transaction tx;
        ASSERT_EQ(tx.begin({&cats, &accs}, 2), 0);
        ASSERT_EQ(cats.add(c), 0);
        ASSERT_EQ(accs.add(a), 0);
        // A refused write inside the transaction does not undo the others.
        EXPECT_EQ(cats.add(c), kDuplicateKey);
        ASSERT_EQ(tx.commit(), 0);
    }
    {
        // A rollback keeps the error that caused it, for the message that follows.
        Transaction tx;
        ASSERT_EQ(tx.begin({&cats}, 2), 0);
        EXPECT_EQ(cats.add(c), kDuplicateKey);
        ASSERT_EQ(tx.rollback(), 0);
        EXPECT_EQ(lastError().code, kDuplicateKey);
    }
    EXPECT_EQ(cats.records(), 1);
    EXPECT_EQ(accs.records(), 1);
    {
        Transaction tx;  // ends without commit: rolled back
        ASSERT_EQ(tx.begin({&cats}, 2), 0);
        ASSERT_EQ(cats.set(0), 0);
        ASSERT_EQ(cats.next(c), 0);
        ASSERT_EQ(cats.erase(), 0);
        EXPECT_EQ(cats.records(), 0);
    }
    EXPECT_EQ(cats.records(), 1);
}

// Another process keeps reading past the transaction's wait: the commit is refused with
// "access denied", which callers retry, not reported as a broken file.
TEST_F(Transactions, ACommitOutwaitedByAReaderElsewhereIsAccessDenied) {
    Table cats(cats_);
    ASSERT_EQ(cats.open(), 0);
    int ready[2], done[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(done), 0);
    pid_t child = fork();
    if (child == 0) {
        // The lock SQLite's readers hold on the file (its shared byte range).
        int fd = ::open("Corvix.TPS", O_RDWR);
        struct flock l {};
        l.l_type = F_RDLCK;
        l.l_whence = SEEK_SET;
        l.l_start = 0x40000002;
        l.l_len = 510;
        char c = fd >= 0 && fcntl(fd, F_SETLK, &l) == 0 ? 'y' : 'n';
        (void)!write(ready[1], &c, 1);
        (void)!read(done[0], &c, 1);
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    Transaction tx;
    ASSERT_EQ(tx.begin({&cats}, 1), 0);
    Record r(cats_);
    r.set(0, std::string("Bank"));
    ASSERT_EQ(cats.add(r), 0);
    EXPECT_EQ(tx.commit(), kAccessDenied);
    EXPECT_EQ(lastError().code, kAccessDenied);
    tx.rollback();
    (void)!write(done[1], "x", 1);
    waitpid(child, nullptr, 0);
    for (int fd : {ready[0], ready[1], done[0], done[1]}) close(fd);
    EXPECT_EQ(cats.records(), 0);
}

TEST_F(Transactions, RefusesTablesOfDifferentFilesAndClosedTables) {
    TableDecl other = categoryDecl("Other\\!Category", "k");
    ASSERT_EQ(Table(other).create(), 0);
    Table cats(cats_), elsewhere(other), closed(accs_);
    ASSERT_EQ(cats.open(), 0);
    ASSERT_EQ(elsewhere.open(), 0);
    Transaction tx;
    EXPECT_NE(tx.begin({&cats, &elsewhere}, 1), 0);
    EXPECT_NE(tx.begin({&cats, &closed}, 1), 0);
    EXPECT_NE(tx.begin({}, 1), 0);
    EXPECT_FALSE(tx.active());
    EXPECT_NE(tx.commit(), 0);
    ASSERT_EQ(tx.begin({&cats}, 1), 0);
    Transaction second;
    EXPECT_NE(second.begin({&cats}, 1), 0);
}

TEST_F(Transactions, ABusyFileTimesOutWithAccessDenied) {
    Table cats(cats_);
    ASSERT_EQ(cats.open(), 0);
    Transaction tx;
    ASSERT_EQ(tx.begin({&cats}, 1), 0);
    int rc = inChild([&] {
        Table t(cats_);
        if (t.open() != 0) return 1;
        Transaction other;
        return other.begin({&t}, 1) == kAccessDenied ? 0 : 2;
    });
    EXPECT_EQ(rc, 0);
}

TEST_F(Transactions, StreamedWritesLandOnFlush) {
    Table cats(cats_);
    ASSERT_EQ(cats.open(), 0);
    ASSERT_EQ(cats.stream(), 0);
    Record c(cats_);
    for (int i = 0; i < 50; ++i) {
        c.set(0, "c" + std::to_string(i));
        ASSERT_EQ(cats.add(c), 0);
    }
    // Another process does not see them before the flush.
    auto countElsewhere = [&] {
        return inChild([&] {
            Table t(cats_);
            if (t.open(kReadOnly | kDenyNone) != 0) return 255;
            return static_cast<int>(t.records());
        });
    };
    EXPECT_EQ(countElsewhere(), 0);
    ASSERT_EQ(cats.flush(), 0);
    EXPECT_EQ(countElsewhere(), 50);
}

// A change reported done survives a power cut: the commit's last step, removing the
// rollback journal, is on the disk (the folder synced after it) before the call returns;
// else the journal could come back and the next open would roll the change back.
TEST_F(Transactions, ACommitReturnsOnlyOnceTheJournalsRemovalIsOnTheDisk) {
    Table cats(cats_), accs(accs_);
    ASSERT_EQ(cats.open(), 0);
    ASSERT_EQ(accs.open(), 0);
    Record c(cats_), a(accs_);
    std::vector<std::string> synced;
    auto lastTwo = [&](const std::function<void()>& change) {
        synced.clear();
        gSyncedPaths = &synced;
        change();
        gSyncedPaths = nullptr;
        EXPECT_FALSE(std::filesystem::exists(path("Corvix.TPS") + "-journal"));
        return synced.size() < 2 ? std::string("too few syncs")
                                 : synced[synced.size() - 2] + " then " + synced.back();
    };
    const std::string expected = path("Corvix.TPS") + " then " + dir_;
    // One add on its own, and a transaction over two tables.
    EXPECT_EQ(lastTwo([&] {
                  c.set(0, std::string("Bank"));
                  ASSERT_EQ(cats.add(c), 0);
              }),
              expected);
    EXPECT_EQ(lastTwo([&] {
                  Transaction tx;
                  ASSERT_EQ(tx.begin({&cats, &accs}, 2), 0);
                  c.set(0, std::string("Shop"));
                  ASSERT_EQ(cats.add(c), 0);
                  fillAccount(a, 1, "Shop", "Card");
                  ASSERT_EQ(accs.add(a), 0);
                  ASSERT_EQ(tx.commit(), 0);
              }),
              expected);
}

}  // namespace
}  // namespace corvix::storage
