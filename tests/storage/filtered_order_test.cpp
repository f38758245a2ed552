// Filters that need fields beyond the reading order's key: whether the storage walks the
// key's index or lists the few matching records in the key's order, every read gives
// the same records in the same order, from the start, the end, a key value or a record,
// in both directions, and sees changes made after the list.
#include <algorithm>
#include <random>

#include "runtime/collate.h"
#include "storage_fixture.h"

namespace corvix::storage {
namespace {

using namespace testing;

class FilteredOrder : public StorageTest {
  protected:
    // Accounts whose (category, description) keys repeat and differ in case and
    // accents; the password carries what the filters test.
    void SetUp() override {
        StorageTest::SetUp();
        ASSERT_EQ(t.create(), 0);
        ASSERT_EQ(t.open(), 0);
        const char* const categories[] = {"web", "Web", "Bank", "Épargne", "épargne", "mail"};
        std::mt19937 rng(3);
        Transaction tx;
        ASSERT_EQ(tx.begin({&t}, 10), 0);
        for (int i = 1; i <= 3000; ++i) {
            fillAccount(r, i, categories[rng() % 6], "d" + std::to_string(rng() % 40));
            r.set(3, std::string(i % 97 == 0 ? "rare" : "common") + std::to_string(i % 7));
            ASSERT_EQ(t.add(r), 0);
        }
        ASSERT_EQ(tx.commit(), 0);
    }

    // Row positions in key order, forward or back, from a start given by the caller.
    std::vector<std::string> read(bool forward, size_t most = 100000) {
        std::vector<std::string> out;
        while (out.size() < most && (forward ? t.next(r) : t.previous(r)) == 0)
            out.push_back(t.position());
        return out;
    }

    // The same records as the filter, tested here over an unfiltered read.
    std::vector<std::string> expected(const std::string& password) {
        EXPECT_EQ(t.setFilter(""), 0);
        EXPECT_EQ(t.set(1), 0);
        std::vector<std::string> out;
        while (t.next(r) == 0)
            if (r.getString(3).rfind(password, 0) == 0) out.push_back(t.position());
        return out;
    }

    TableDecl d = accountDecl("Filtered");
    Table t{d};
    Record r{d};
};

TEST_F(FilteredOrder, ListedAndWalkedReadsAgreeEverywhere) {
    // "rare" passes 30 records (listed), "common" 2,970 (walked).
    for (const std::string prefix : {"rare", "common"}) {
        SCOPED_TRACE(prefix);
        const std::vector<std::string> all = expected(prefix);
        ASSERT_EQ(all.size(), prefix == "rare" ? 30u : 2970u);
        ASSERT_EQ(t.setFilter("\"PAS:Password\" LIKE '" + prefix + "%'"), 0);
        ASSERT_EQ(t.set(1), 0);
        EXPECT_EQ(read(true), all);
        ASSERT_EQ(t.setLast(1), 0);
        std::vector<std::string> back = read(false);
        std::reverse(back.begin(), back.end());
        EXPECT_EQ(back, all);
        // From a record in the middle, both ways, and going on after a few.
        const size_t mid = all.size() / 2;
        ASSERT_EQ(t.reget(all[mid], r), 0);
        Record key(d);
        key.copyFrom(r);
        ASSERT_EQ(t.setFrom(1, key, all[mid]), 0);
        t.expectRows(3);
        EXPECT_EQ(read(true), std::vector<std::string>(all.begin() + mid, all.end()));
        ASSERT_EQ(t.setFrom(1, key, all[mid]), 0);
        std::vector<std::string> before = read(false);
        std::reverse(before.begin(), before.end());
        EXPECT_EQ(before, std::vector<std::string>(all.begin(), all.begin() + mid + 1));
        // From a key value written in another case: its first record on.
        key.set(1, std::string("ÉPARGNE"));
        key.set(2, std::string("D2"));
        ASSERT_EQ(t.setFrom(1, key), 0);
        const std::vector<std::string> fromValue = read(true);
        auto at = std::find_if(all.begin(), all.end(), [&](const std::string& p) {
            EXPECT_EQ(t.reget(p, r), 0);
            const int c = runtime::compareNoCase(r.getString(1), "ÉPARGNE");
            return c > 0 || (c == 0 && runtime::compareNoCase(r.getString(2), "D2") >= 0);
        });
        EXPECT_EQ(fromValue, std::vector<std::string>(at, all.end()));
    }
}

TEST_F(FilteredOrder, AListSeesRecordsChangedAfterIt) {
    ASSERT_EQ(t.setFilter("\"PAS:Password\" LIKE 'rare%'"), 0);
    ASSERT_EQ(t.set(1), 0);
    const std::vector<std::string> first = read(true, 5);
    ASSERT_EQ(first.size(), 5u);
    // Another record becomes rare and sorts first; one listed record stops being rare.
    fillAccount(r, 5000, "AAA first", "d0");
    r.set(3, std::string("rare new"));
    ASSERT_EQ(t.add(r), 0);
    const std::string added = t.position();
    ASSERT_EQ(t.reget(first[1], r), 0);
    r.set(3, std::string("common now"));
    ASSERT_EQ(t.put(r), 0);
    ASSERT_EQ(t.set(1), 0);
    const std::vector<std::string> again = read(true, 5);
    ASSERT_EQ(again.size(), 5u);
    EXPECT_EQ(again[0], added);
    EXPECT_EQ(again[1], first[0]);
    EXPECT_EQ(again[2], first[2]);
}

}  // namespace
}  // namespace corvix::storage
