// Registering the program's tables with the upgrade library.
#include <gtest/gtest.h>

#include <filesystem>

#include "libs/ferrule/ferrule.h"
#include "temp_dir.h"
#include "vault/access.h"
#include "vault/upgrade_registration.h"

namespace corvix::vault {
namespace {

TEST(UpgradeRegistration, DriverFileHasOneByteField) {
    EXPECT_EQ(DriverFile().fields.size(), 1u);
    EXPECT_EQ(DriverFile().fields[0].type, storage::FieldType::Byte);
    EXPECT_EQ(DriverFile().recordSize(), 1u);
}

TEST(UpgradeRegistration, RegisteredTablesOpenThroughTheLibrary) {
    corvix::testing::TempWorkDir dir;
    ferrule::resetForTests();
    EXPECT_FALSE(std::filesystem::exists("Upg.Tps"));
    fu_SetUPGPath("", 1);  // the upgrade file in this directory
    registerTablesWithUpgradeLibrary();
    // Every table's structure was recorded in the library's upgrade file.
    EXPECT_TRUE(std::filesystem::exists("Upg.Tps"));
    {
        VaultTables t;
        ASSERT_EQ(t.openAll(), 0);  // creates the vault
        t.closeAll();
    }
    storage::Table pas(CVPAS());
    pas.setOwner(BuildVaultKey());
    EXPECT_EQ(fu_FileOpen(pas, storage::kReadWrite | storage::kDenyNone), 0);
    EXPECT_TRUE(pas.isOpen());
    ferrule::resetForTests();
}

}  // namespace
}  // namespace corvix::vault
