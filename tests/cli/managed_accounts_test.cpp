// The watch's accounts read through the accounts' file manager, in a scratch vault.
#include "cli/managed_accounts.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "framework/error_manager.h"
#include "framework/prompt.h"
#include "framework/vault_managers.h"

namespace corvix::cli {
namespace {

class ManagedAccountsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("climgr-accounts-" + std::to_string(::getpid()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        previousDir_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
        previousPrompt_ = framework::setPrompt(&prompt_);
        framework::setExitHook([this](int code) { exitCodes_.push_back(code); });
        framework::VaultManagers& m = framework::vaultManagers();
        ASSERT_EQ(m.catRelations.Open(), framework::kLevelBenign);
        m.catRecord.clear();
        m.catRecord->Category = "Personal";
        ASSERT_EQ(m.cat.Insert(), framework::kLevelBenign);
    }
    void TearDown() override {
        framework::vaultManagers().catRelations.Close();
        framework::destroyVaultManagers();
        framework::setExitHook({});
        framework::setPrompt(previousPrompt_);
        std::filesystem::current_path(previousDir_);
        std::filesystem::remove_all(dir_);
    }
    // Adds an account through the manager; returns its number.
    int32_t add(const std::string& description, bool watched) {
        framework::VaultManagers& m = framework::vaultManagers();
        m.pasRecord.clear();
        m.pas.primeFields(m.pasRecord);
        m.pasRecord->Description = description;
        m.pasRecord->Watch = watched ? 1 : 0;
        EXPECT_EQ(m.pas.Insert(), framework::kLevelBenign) << description;
        return m.pasRecord->PAS_ID;
    }

    std::filesystem::path dir_, previousDir_;
    framework::ScriptedPrompt prompt_;
    framework::Prompt* previousPrompt_ = nullptr;
    std::vector<int> exitCodes_;
};

TEST_F(ManagedAccountsTest, WatchedAccountsOnlyInTheirOrder) {
    add("plain", false);
    add("first watched", true);
    add("also plain", false);
    add("second watched", true);
    framework::VaultManagers& m = framework::vaultManagers();
    ManagedAccounts accounts(m.pas, m.pasRecord);
    std::vector<vault::PasRecord> watched = accounts.watchedAccounts();
    ASSERT_EQ(watched.size(), 2u);
    EXPECT_EQ(watched[0].Description, "first watched");
    EXPECT_EQ(watched[1].Description, "second watched");
    EXPECT_EQ(watched[0].PAS_ID, 2);
    EXPECT_EQ(watched[1].PAS_ID, 4);
    EXPECT_FALSE(accounts.failed());
    // Read again: the same list (the reading order starts afresh).
    EXPECT_EQ(accounts.watchedAccounts().size(), 2u);
    EXPECT_TRUE(prompt_.asked().empty());
}

TEST_F(ManagedAccountsTest, AnAccountByItsNumberAndOneDeletedMeanwhile) {
    add("a", true);
    const int32_t b = add("b", true);
    framework::VaultManagers& m = framework::vaultManagers();
    ManagedAccounts accounts(m.pas, m.pasRecord);
    vault::PasRecord out;
    ASSERT_TRUE(accounts.accountById(b, out));
    EXPECT_EQ(out.Description, "b");
    EXPECT_EQ(out.Category, "Personal");

    ASSERT_EQ(m.pas.TryFetch(vault::pas::K_PAS_ID), framework::kLevelBenign);  // b is current
    ASSERT_EQ(m.pas.Delete(), framework::kLevelBenign);
    out.Description = "untouched";
    EXPECT_FALSE(accounts.accountById(b, out));
    EXPECT_EQ(out.Description, "untouched");
    EXPECT_FALSE(accounts.failed());  // gone is not a failure, and nothing was shown
    EXPECT_TRUE(prompt_.asked().empty());
    EXPECT_EQ(accounts.watchedAccounts().size(), 1u);
    EXPECT_TRUE(exitCodes_.empty());
}

}  // namespace
}  // namespace corvix::cli
