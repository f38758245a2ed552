#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "security/vault_theme_source.h"
#include "vault/access.h"
#include "vault/vault_key.h"

using namespace corvix;

namespace {
// Runs the test in an empty directory: the vault file lives in the working directory.
class InEmptyDirectory : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = QDir::currentPath();
        ASSERT_TRUE(dir_.isValid());
        ASSERT_TRUE(QDir::setCurrent(dir_.path()));
    }
    void TearDown() override { QDir::setCurrent(previous_); }
    QTemporaryDir dir_;

  private:
    QString previous_;
};
}  // namespace

TEST_F(InEmptyDirectory, ThemesAreReadFromTheVaultByTheirId) {
    {
        storage::Table themes(vault::CVGSD());
        ASSERT_EQ(vault::openTable(themes), 0);
        for (const char* name : {"Harbour", "Lighthouse"}) {
            vault::GsdBuffer b;
            b->Description = name;
            b->Basis = "Location";
            b->Columns = 4;
            b->Rows = 5;
            b->GridColor = 0x123456;
            b->Password = "sym" + std::string(name);
            ASSERT_EQ(vault::insertNumbered(themes, b), 0);
        }
        themes.close();
    }
    security::VaultThemeSource source;
    std::optional<vault::GsdRecord> second = source.themeById(2);
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->Description, "Lighthouse");
    EXPECT_EQ(second->Basis, "Location");
    EXPECT_EQ(second->Columns, 4);
    EXPECT_EQ(second->Rows, 5);
    EXPECT_EQ(second->GridColor, 0x123456u);
    EXPECT_EQ(second->Password, "symLighthouse");
    EXPECT_EQ(source.themeById(1)->Description, "Harbour");
    EXPECT_FALSE(source.themeById(3).has_value());
}

TEST_F(InEmptyDirectory, NoVaultMeansNoThemeAndNoNewFile) {
    security::VaultThemeSource source;
    EXPECT_FALSE(source.themeById(1).has_value());
    EXPECT_TRUE(QDir(dir_.path()).entryList(QDir::Files).isEmpty());
}
