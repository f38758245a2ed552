// Passwords read from a table leave no copy in memory that is handed back to the heap:
// every block freed while the watch is on is searched for the password.
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "storage_fixture.h"

namespace {

std::atomic<bool> g_watching{false};
std::atomic<int> g_found{0};
constexpr char kMarker[] = "Password-That-Must-Not-Linger-7f3a";

void inspect(void* p, size_t size) {
    if (p && g_watching.load(std::memory_order_relaxed) &&
        memmem(p, size, kMarker, sizeof kMarker - 1))
        g_found.fetch_add(1);
}

}  // namespace

// Allocation goes through malloc as well, so that every block this test frees came from the
// allocator it frees to (AddressSanitizer checks that new and free are not mixed).
void* operator new(std::size_t size) {
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    inspect(p, p ? malloc_usable_size(p) : 0);
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    operator delete(p);
}
// The library's temporary buffers (std::stable_sort) take the nothrow form.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size ? size : 1);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    operator delete(p);
}

namespace corvix::storage {
namespace {

using namespace testing;

// Counts the freed blocks holding the password while `body` runs.
template <typename F>
int freedCopies(F body) {
    g_found = 0;
    g_watching = true;
    body();
    g_watching = false;
    return g_found;
}

class FreedMemory : public StorageTest {
  protected:
    void SetUp() override {
        StorageTest::SetUp();
        Table t(decl_);
        ASSERT_EQ(t.create(), 0);
        ASSERT_EQ(t.open(), 0);
        Record r(decl_);
        for (int64_t id = 1; id <= 3; ++id) {
            fillAccount(r, id, "Bank", "Account " + std::to_string(id));
            r.set(3, std::string(kMarker) + std::to_string(id));
            ASSERT_EQ(t.add(r), 0);
        }
    }
    TableDecl decl_ = accountDecl("Corvix\\!Passwords");
};

TEST_F(FreedMemory, ReadingOnAndClosingLeaveNoCopyOfAPassword) {
    Table t(decl_);
    ASSERT_EQ(t.open(), 0);
    Record r(decl_);
    ASSERT_EQ(t.set(0), 0);
    ASSERT_EQ(t.next(r), 0);
    EXPECT_EQ(freedCopies([&] { ASSERT_EQ(t.next(r), 0); }), 0);  // the record before
    ASSERT_EQ(t.reget(t.position(), r), 0);
    ASSERT_EQ(t.put(r), 0);
    EXPECT_EQ(freedCopies([&] { t.close(); }), 0);  // the record last read, rows read ahead
    EXPECT_EQ(freedCopies([&] { r.clear(); }), 0);  // the caller's buffer
    EXPECT_EQ(r.getString(3), "");
}

TEST_F(FreedMemory, ARecordOverwrittenOrClearedLeavesNoCopy) {
    Table t(decl_);
    ASSERT_EQ(t.open(), 0);
    Record r(decl_);
    ASSERT_EQ(t.set(0), 0);
    ASSERT_EQ(t.next(r), 0);
    EXPECT_EQ(freedCopies([&] { r.set(3, std::string(200, 'x')); }), 0);  // a new buffer
    ASSERT_EQ(t.next(r), 0);
    EXPECT_EQ(freedCopies([&] { r.clear(); }), 0);
}

}  // namespace
}  // namespace corvix::storage
