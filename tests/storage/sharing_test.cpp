// Share modes and the check for records changed by another station, across processes.
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include "storage_fixture.h"

namespace corvix::storage {
namespace {

using namespace testing;

// Two pipes: the child says "ready" and waits for "go" before it ends.
class Handshake {
  public:
    Handshake() {
        EXPECT_EQ(pipe(up_), 0);
        EXPECT_EQ(pipe(down_), 0);
    }
    ~Handshake() {
        for (int fd : {up_[0], up_[1], down_[0], down_[1]}) close(fd);
    }
    void childReady() {
        char c = 'r';
        EXPECT_EQ(write(up_[1], &c, 1), 1);
    }
    void childWaitGo() {
        char c;
        if (read(down_[0], &c, 1) != 1) _exit(99);
    }
    bool parentWaitReady() {
        char c;
        return read(up_[0], &c, 1) == 1 && c == 'r';
    }
    void parentGo() {
        char c = 'g';
        EXPECT_EQ(write(down_[1], &c, 1), 1);
    }

  private:
    int up_[2];
    int down_[2];
};

pid_t startChild(const std::function<int()>& body) {
    pid_t pid = fork();
    if (pid == 0) {
        abandonConnectionsAfterFork();
        _exit(body());
    }
    return pid;
}

int waitChild(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

class Sharing : public StorageTest {};

TEST_F(Sharing, ExclusiveOpenIsRefusedWhileAnotherProcessHoldsTheTable) {
    TableDecl d = accountDecl("Corvix\\!Passwords", "owner");
    ASSERT_EQ(Table(d).create(), 0);
    Handshake h;
    pid_t pid = startChild([&] {
        Table t(d);
        if (t.open(kReadWrite | kDenyNone) != 0) return 1;
        h.childReady();
        h.childWaitGo();
        return 0;
    });
    ASSERT_TRUE(h.parentWaitReady());
    Table mine(d);
    EXPECT_EQ(mine.open(kReadWrite | kDenyAll), kAccessDenied);
    EXPECT_EQ(mine.open(kReadOnly | kDenyWrite), kAccessDenied);  // the child writes
    EXPECT_EQ(mine.open(kReadWrite | kDenyNone), 0);
    mine.close();
    // Another table of the same file is not affected.
    TableDecl c = categoryDecl("Corvix\\!Category", "owner");
    ASSERT_EQ(Table(c).create(), 0);
    Table cats(c);
    EXPECT_EQ(cats.open(kReadWrite | kDenyAll), 0);
    h.parentGo();
    EXPECT_EQ(waitChild(pid), 0);
    EXPECT_EQ(mine.open(kReadWrite | kDenyAll), 0);
}

TEST_F(Sharing, AnExclusiveHolderKeepsEveryoneOutUntilItCloses) {
    TableDecl d = categoryDecl("Excl");
    ASSERT_EQ(Table(d).create(), 0);
    Handshake h;
    pid_t pid = startChild([&] {
        Table t(d);
        if (t.open(kReadWrite | kDenyAll) != 0) return 1;
        h.childReady();
        h.childWaitGo();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return 0;
    });
    ASSERT_TRUE(h.parentWaitReady());
    Table mine(d);
    EXPECT_EQ(mine.open(kReadOnly | kDenyNone), kAccessDenied);
    // With lock recovery the open waits for the holder to go away.
    h.parentGo();
    ASSERT_EQ(mine.sendDriverString("RECOVER=10"), 0);
    EXPECT_EQ(mine.open(kReadOnly | kDenyNone), 0);
    EXPECT_EQ(waitChild(pid), 0);
}

TEST_F(Sharing, HandlesInOneProcessRespectEachOther) {
    TableDecl d = categoryDecl("Same");
    ASSERT_EQ(Table(d).create(), 0);
    Table reader(d), writer(d), third(d);
    ASSERT_EQ(reader.open(kReadOnly | kDenyWrite), 0);
    EXPECT_EQ(writer.open(kReadWrite | kDenyNone), kAccessDenied);
    EXPECT_EQ(third.open(kReadOnly | kDenyNone), 0);
    reader.close();
    EXPECT_EQ(writer.open(kReadWrite | kDenyNone), 0);
    // Removing or re-creating a table in use is refused as well.
    EXPECT_EQ(removeTable("Same", ""), kAccessDenied);
    EXPECT_EQ(Table(d).create(), kAccessDenied);
}

TEST_F(Sharing, RewriteOfARecordChangedByAnotherProcessGives89) {
    TableDecl d = accountDecl("Corvix\\!Passwords", "owner");
    {
        Table t(d);
        ASSERT_EQ(t.create(), 0);
        ASSERT_EQ(t.open(), 0);
        Record r(d);
        fillAccount(r, 1, "Bank", "Checking");
        ASSERT_EQ(t.add(r), 0);
    }
    Table mine(d);
    ASSERT_EQ(mine.open(), 0);
    Record r(d);
    r.set(0, int64_t{1});
    ASSERT_EQ(mine.get(0, r), 0);
    std::string pos = mine.position();

    int rc = inChild([&] {
        Table other(d);
        if (other.open() != 0) return 1;
        Record o(d);
        o.set(0, int64_t{1});
        if (other.get(0, o) != 0) return 2;
        o.set(3, std::string("changed elsewhere"));
        return other.put(o) == 0 ? 0 : 3;
    });
    ASSERT_EQ(rc, 0);

    r.set(3, std::string("my change"));
    EXPECT_EQ(mine.put(r), kChangedByOther);
    EXPECT_EQ(lastError().code, kChangedByOther);
    // Reading again shows the other station's values; then the rewrite goes through.
    ASSERT_EQ(mine.reget(pos, r), 0);
    EXPECT_EQ(r.getString(3), "changed elsewhere");
    r.set(3, std::string("my change"));
    EXPECT_EQ(mine.put(r), 0);
}

TEST_F(Sharing, ReadingOnSeesChangesAnotherProcessMadeMeanwhile) {
    TableDecl d = categoryDecl("Fresh");
    Table t(d);
    ASSERT_EQ(t.create(), 0);
    ASSERT_EQ(t.open(), 0);
    Record r(d);
    for (const char* name : {"a", "b", "c"}) {
        r.set(0, std::string(name));
        ASSERT_EQ(t.add(r), 0);
    }
    ASSERT_EQ(t.set(kPhysicalOrder), 0);
    ASSERT_EQ(t.next(r), 0);  // reads ahead
    EXPECT_EQ(r.getString(0), "a");
    int rc = inChild([&] {
        Table other(d);
        if (other.open() != 0) return 1;
        Record o(d);
        o.set(0, std::string("b"));
        if (other.get(0, o) != 0) return 2;
        o.set(0, std::string("b changed"));
        if (other.put(o) != 0) return 3;
        o.set(0, std::string("c"));
        if (other.get(0, o) != 0) return 4;
        return other.erase() == 0 ? 0 : 5;
    });
    ASSERT_EQ(rc, 0);
    ASSERT_EQ(t.next(r), 0);
    EXPECT_EQ(r.getString(0), "b changed");
    EXPECT_EQ(t.next(r), kRecordNotAvailable);
}

TEST_F(Sharing, RewriteOfARecordErasedByAnotherHandleGives89) {
    TableDecl d = categoryDecl("Gone");
    Table a(d), b(d);
    ASSERT_EQ(a.create(), 0);
    ASSERT_EQ(a.open(), 0);
    ASSERT_EQ(b.open(), 0);
    Record r(d);
    r.set(0, std::string("x"));
    ASSERT_EQ(a.add(r), 0);
    Record q(d);
    q.set(0, std::string("x"));
    ASSERT_EQ(b.get(0, q), 0);
    ASSERT_EQ(a.erase(), 0);
    q.set(0, std::string("y"));
    EXPECT_EQ(b.put(q), kChangedByOther);
}

}  // namespace
}  // namespace corvix::storage
