#include "send/vault_accounts.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

#include "vault/access.h"

namespace corvix::send {
namespace {

// A vault of its own in a fresh directory, made the working directory for the test.
class VaultAccountsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/corvix-send-vault.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
        ASSERT_EQ(tables.openAll(), 0);
    }
    void TearDown() override {
        tables.closeAll();
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(dir_);
    }
    int32_t add(const std::string& name, uint8_t watch) {
        vault::PasBuffer r;
        r->Description = name;
        r->Name = name;
        r->Password = "pw-" + name;
        r->TargetWindow = "*" + name;
        r->Watch = watch;
        EXPECT_EQ(vault::insertNumbered(tables.pas, r), 0);
        return r->PAS_ID;
    }
    vault::VaultTables tables;
    std::filesystem::path dir_, previous_;
};

TEST_F(VaultAccountsTest, WatchedAccountsInWatchKeyOrderAndLookUpById) {
    const int32_t a = add("alpha", 1);
    add("beta", 0);
    const int32_t c = add("gamma", 1);
    VaultAccounts accounts(tables.pas);
    auto watched = accounts.watchedAccounts();
    ASSERT_EQ(watched.size(), 2u);
    EXPECT_EQ(watched[0].PAS_ID, a);
    EXPECT_EQ(watched[1].PAS_ID, c);
    EXPECT_EQ(watched[1].TargetWindow, "*gamma");
    EXPECT_EQ(accounts.lastError(), 0);

    vault::PasRecord r;
    ASSERT_TRUE(accounts.accountById(c, r));
    EXPECT_EQ(r.Password, "pw-gamma");
    EXPECT_FALSE(accounts.accountById(999, r));
    EXPECT_EQ(accounts.lastError(), 0);
}

}  // namespace
}  // namespace corvix::send
