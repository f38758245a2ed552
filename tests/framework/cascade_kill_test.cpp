// A category rename carried into 10,000 accounts runs in one transaction: a process
// killed in the middle of it leaves either every account renamed or none.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <memory>

#include "fixture.h"
#include "framework/vault_managers.h"
#include "vault/vault_key.h"

namespace corvix::framework {
namespace {

constexpr int kAccounts = 10000;

class CascadeKillTest : public testing::ScratchFixture {};

void fillVault() {
    VaultManagers m;
    ASSERT_EQ(m.catRelations.Open(), kLevelBenign);
    m.catRecord->Category = "Old";
    ASSERT_EQ(m.cat.Insert(), kLevelBenign);
    m.catRecord->Category = "Other";
    ASSERT_EQ(m.cat.Insert(), kLevelBenign);
    storage::Transaction tx;
    ASSERT_EQ(tx.begin({m.cat.Use(), m.pas.Use()}, 30), 0);
    for (int i = 0; i < kAccounts; ++i) {
        m.pasRecord.clear();
        m.pasRecord->Category = i % 100 == 0 ? "Other" : "Old";
        m.pasRecord->Description = "account " + std::to_string(i);
        ASSERT_EQ(m.pas.Insert(), kLevelBenign) << i;
    }
    ASSERT_EQ(tx.commit(), 0);
    m.catRelations.Close();
}

// Accounts per category, read straight from the table.
std::map<std::string, int> countByCategory() {
    std::map<std::string, int> out;
    storage::Table t(vault::CVPAS());
    t.setOwner(vault::BuildVaultKey());
    EXPECT_EQ(t.open(storage::kReadOnly | storage::kDenyNone), 0);
    vault::PasBuffer b;
    t.set();
    while (t.next(b) == 0) ++out[b->Category];
    return out;
}

bool categoryExists(const std::string& name) {
    storage::Table t(vault::CVCAT());
    t.setOwner(vault::BuildVaultKey());
    EXPECT_EQ(t.open(storage::kReadOnly | storage::kDenyNone), 0);
    vault::CatBuffer b;
    b->Category = name;
    return t.get(vault::cat::K_Category, b) == 0;
}

TEST_F(CascadeKillTest, KilledHalfWayLeavesAllOrNothing) {
    int go[2], progress[2];
    ASSERT_EQ(pipe(go), 0);
    ASSERT_EQ(pipe(progress), 0);
    // The child is forked before this process opens the vault, so that it works on a
    // connection of its own.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        char c;
        if (read(go[0], &c, 1) != 1) _exit(10);
        VaultManagers m;
        m.catRelations.Open();
        m.catRecord->Category = "Old";
        if (m.cat.TryFetch(vault::cat::K_Category) != kLevelBenign) _exit(11);
        m.catRecord->Category = "New";
        // Progress may come in groups of records: the first report past the half.
        m.catRelations.progress = [&](size_t n) {
            if (n < kAccounts / 2) return;
            if (write(progress[1], "x", 1) != 1) _exit(12);
            pause();  // wait here for the kill
        };
        m.catRelations.Update();
        _exit(13);  // the kill should have come first
    }
    // Only the child writes progress: a child that ends without reaching the half ends
    // the read below instead of leaving it waiting.
    close(progress[1]);
    fillVault();
    ASSERT_EQ(countByCategory()["Old"], kAccounts - kAccounts / 100);
    ASSERT_EQ(write(go[1], "x", 1), 1);
    char c;
    ASSERT_EQ(read(progress[0], &c, 1), 1);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    std::map<std::string, int> counts = countByCategory();
    const int renamed = counts["New"], kept = counts["Old"];
    EXPECT_TRUE((renamed == 0 && kept == kAccounts - 100) ||
                (renamed == kAccounts - 100 && kept == 0))
        << "renamed " << renamed << ", kept " << kept;
    EXPECT_EQ(counts["Other"], 100);
    EXPECT_EQ(categoryExists("Old"), renamed == 0);
    EXPECT_EQ(categoryExists("New"), renamed != 0);
    for (int fd : {go[0], go[1], progress[0]}) close(fd);
}

TEST_F(CascadeKillTest, TenThousandAccountsRenamedInOneGo) {
    fillVault();
    VaultManagers m;
    ASSERT_EQ(m.catRelations.Open(), kLevelBenign);
    m.catRecord->Category = "Old";
    ASSERT_EQ(m.cat.TryFetch(vault::cat::K_Category), kLevelBenign);
    m.catRecord->Category = "New";
    size_t done = 0;
    m.catRelations.progress = [&](size_t n) { done = n; };
    ASSERT_EQ(m.catRelations.Update(), kLevelBenign);
    EXPECT_EQ(done, size_t(kAccounts - 100));
    m.catRelations.Close();
    std::map<std::string, int> counts = countByCategory();
    EXPECT_EQ(counts["New"], kAccounts - 100);
    EXPECT_EQ(counts["Other"], 100);
    EXPECT_EQ(counts.count("Old"), 0u);
    EXPECT_TRUE(prompt_.asked().empty());
}

}  // namespace
}  // namespace corvix::framework
