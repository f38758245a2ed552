// Registering drivers and files, the upgrade file and its settings, and the example file.
#include <algorithm>
#include <fstream>
#include <sstream>

#include "fixture.h"
#include "libs/ferrule/image.h"
#include "libs/ferrule/upgrade_file.h"
#include "tables.h"

namespace corvix::ferrule::testing {
namespace {

class RegistrationTest : public FerruleTest {
  protected:
    void start(std::vector<std::string> args = {}) {
        resetForTests();
        setArgs(std::move(args));
        fu_AddDriver("Tps", driver_);
        fu_IgnoreDriver("AllFiles", 1);
    }
    void registerAll(int accountsVersion = 2) {
        fu_UsingFile(accounts_, "acc", "Accounts", accountsVersion);
        fu_UsingFile(other_, "OTH", "Other", 3);
    }
    // Structure records in Upg2 of the upgrade file in `dir`.
    int64_t storedStructures(const std::string& dir) {
        storage::Table t(upg2Declaration());
        t.setName(dir + "/Upg.Tps\\!Upg2");
        t.setOwner(upgradeFilePassword());
        if (t.open(storage::kReadOnly | storage::kDenyNone) != 0) return -1;
        return t.records();
    }
    void writeSettings(const std::string& text) { std::ofstream(path("FRL.Ini")) << text; }

    TableDecl drvDecl_ = driverDecl();
    storage::Table driver_{drvDecl_};
    TableDecl accountsDecl_ = accountsV2();
    TableDecl otherDecl_ = [] {
        TableDecl d;
        d.name = "Other";
        d.fields = {field("OTH:Id", FieldType::Long), field("OTH:Name", FieldType::String, 12)};
        return d;
    }();
    storage::Table accounts_{accountsDecl_};
    storage::Table other_{otherDecl_};
};

TEST_F(RegistrationTest, FirstStartRecordsOneStructurePerFileAndASecondAddsNothing) {
    start();
    registerAll();
    EXPECT_TRUE(sink.stops.empty());
    resetForTests();
    EXPECT_EQ(storedStructures(dir_), 2);

    start();
    registerAll();
    EXPECT_TRUE(sink.stops.empty());
    resetForTests();
    EXPECT_EQ(storedStructures(dir_), 2);

    // The stored record carries label, upper-case prefix and version.
    storage::Table t(upg2Declaration());
    t.setName(dir_ + "/Upg.Tps\\!Upg2");
    t.setOwner(upgradeFilePassword());
    ASSERT_EQ(t.open(storage::kReadOnly | storage::kDenyNone), 0);
    storage::Record r(upg2Declaration());
    r.clear();
    r.set(kUpgLabel, std::string("Accounts"));
    r.set(kUpgVersion, int64_t(2));
    ASSERT_EQ(t.get(kUpgKey, r), 0);
    EXPECT_EQ(r.getString(kUpgPrefix), "ACC");
    EXPECT_EQ(r.getString(kUpgDriver), "");
    ParsedImage parsed;
    ASSERT_TRUE(parseImage(readWholeBlob(t, kUpgFmt), &parsed));
    EXPECT_EQ(parsed.driver, "Tps");
    EXPECT_TRUE(parsed.decl.sameStructure(accountsDecl_));
}

TEST_F(RegistrationTest, ChangedDeclarationWithoutNewVersionShowsM1OncePerFile) {
    start();
    registerAll();
    accountsDecl_.fields[7].size = 11;
    otherDecl_.fields.push_back(field("OTH:More", FieldType::Short));
    for (int run = 0; run < 2; ++run) {
        sink.stops.clear();
        start();
        registerAll();
        std::vector<std::string> expected = {
            "Possible file change without changing File Version number. File involved :  "
            "Accounts",
            "Possible file change without changing File Version number. File involved :  "
            "Other"};
        EXPECT_EQ(sink.stops, expected);
    }
    resetForTests();
    EXPECT_EQ(storedStructures(dir_), 2);  // the stored structures stay the old ones
}

TEST_F(RegistrationTest, LoadFastSkipsTheComparison) {
    start();
    registerAll();
    accountsDecl_.fields[7].size = 11;
    start({"/LOADFAST"});
    registerAll();
    EXPECT_TRUE(sink.stops.empty());
}

TEST_F(RegistrationTest, NewVersionAddsAStructure) {
    start();
    registerAll(2);
    start();
    registerAll(3);
    EXPECT_TRUE(sink.stops.empty());
    resetForTests();
    EXPECT_EQ(storedStructures(dir_), 3);
}

TEST_F(RegistrationTest, FileOfAnUnregisteredDriverGivesM10) {
    resetForTests();
    setArgs({});
    fu_UsingFile(accounts_, "ACC", "Accounts", 2);
    ASSERT_EQ(sink.stops.size(), 1u);
    EXPECT_EQ(sink.stops[0], "Warning - Driver not located - GPF likely Accounts");
}

TEST_F(RegistrationTest, TooLargeStructureGivesM14) {
    start();
    for (int i = 0; i < 1500; ++i)
        accountsDecl_.fields.push_back(
            field("ACC:AVeryLongFieldNameThatTakesRoom" + std::to_string(i), FieldType::Long));
    fu_UsingFile(accounts_, "ACC", "Accounts", 2);
    ASSERT_EQ(sink.stops.size(), 1u);
    EXPECT_EQ(sink.stops[0], "Internal File Format Too Large. File : Accounts");
}

TEST_F(RegistrationTest, SettingsFileMovesTheUpgradeFileAndReplacesMessages) {
    std::filesystem::create_directory(path("upg"));
    writeSettings("[FRL]\nPathFRL=" + path("upg") +
                  "\n[Messages]\nM1=Changed without a version:\n");
    start();
    registerAll();
    accountsDecl_.fields[7].size = 11;
    start();
    registerAll();
    ASSERT_EQ(sink.stops.size(), 1u);
    EXPECT_EQ(sink.stops[0], "Changed without a version: Accounts");
    resetForTests();
    EXPECT_EQ(storedStructures(path("upg")), 2);
    EXPECT_EQ(storedStructures(dir_), -1);
}

TEST_F(RegistrationTest, UnopenableUpgradeFileGivesM2) {
    writeSettings("[FRL]\nPathFRL=" + path("no/such/dir") + "\n");
    start();
    fu_UsingFile(accounts_, "ACC", "Accounts", 2);
    ASSERT_EQ(sink.stops.size(), 1u);
    EXPECT_EQ(sink.stops[0].rfind("Unable to Open UPG file : cause  ", 0), 0u) << sink.stops[0];
    EXPECT_NE(sink.stops[0].find(" Name:" + path("no/such/dir/Upg.Tps\\!Upg2")), std::string::npos)
        << sink.stops[0];
}

TEST_F(RegistrationTest, SetUpgPathRegistersEveryFileInTheNewPlace) {
    start();
    registerAll();
    std::filesystem::create_directory(path("elsewhere"));
    fu_SetUPGPath(path("elsewhere"), 0);
    EXPECT_TRUE(sink.stops.empty());
    resetForTests();
    EXPECT_EQ(storedStructures(path("elsewhere")), 2);

    start();
    registerAll();
    std::filesystem::create_directory(path("cur"));
    std::filesystem::current_path(path("cur"));
    fu_SetUPGPath("ignored", 1);
    resetForTests();
    EXPECT_EQ(storedStructures(path("cur")), 2);
}

TEST_F(RegistrationTest, OldUpgradeTableIsConvertedIntoUpg2) {
    {
        storage::Table old(oldUpgDeclaration());
        old.setName(path("Upg.Tps"));
        old.setOwner(upgradeFilePassword());
        ASSERT_EQ(old.create(), 0);
        ASSERT_EQ(old.open(storage::kReadWrite | storage::kDenyNone), 0);
        storage::Record r(oldUpgDeclaration());
        r.clear();
        r.set(0, std::string("Accounts"));
        r.set(1, std::string("ACC"));
        r.set(2, std::string("Tps"));
        r.set(3, int64_t(1));
        ASSERT_EQ(old.add(r), 0);
        std::string image = imageOf(accountsV1(), "Tps", "Vault\\!Accounts", "", true);
        ASSERT_EQ(writeWholeBlob(old, 0, image), 0);
        old.close();
    }
    start();
    fu_UsingFile(accounts_, "ACC", "Accounts", 2);
    EXPECT_NE(std::find(progressLog.texts.begin(), progressLog.texts.end(),
                        "Please wait. Upgrading old UPG file."),
              progressLog.texts.end());
    resetForTests();
    EXPECT_EQ(storedStructures(dir_), 2);  // the converted one and version 2
}

TEST_F(RegistrationTest, ProfileIsShownOnlyWithTheSwitch) {
    start();
    registerAll();
    fu_GetProfile(1);
    EXPECT_TRUE(sink.stops.empty());
    start({"/profile"});
    registerAll();
    fu_GetProfile(0);
    EXPECT_TRUE(sink.stops.empty());
    fu_GetProfile(1);
    ASSERT_EQ(sink.stops.size(), 1u);
    const std::string& text = sink.stops[0];
    ASSERT_EQ(text.rfind("Profile of fu_UsingFile : ", 0), 0u);
    std::istringstream numbers(text.substr(26));
    int count = 0;
    for (std::string n; numbers >> n; ++count)
        EXPECT_EQ(n.find_first_not_of("0123456789"), std::string::npos);
    EXPECT_EQ(count, 12);  // eleven stages and the total
}

TEST_F(RegistrationTest, AppNameIsTheProgramFileName) {
    fu_SetCommandLine({"/opt/corvix/bin/corvix", "/x"});
    EXPECT_EQ(fu_AppName(), "corvix");
    fu_SetCommandLine({"/other/name"});
    EXPECT_EQ(fu_AppName(), "corvix");  // computed once
}

TEST_F(RegistrationTest, DebugShowsDriverRegistration) {
    start({"/debugfrl"});
    ASSERT_EQ(sink.stops.size(), 1u);
    EXPECT_EQ(sink.stops[0].rfind("Registering driver Tps ", 0), 0u);
}

TEST_F(RegistrationTest, ExampleFileNamesFollowTheTpsRules) {
    start();
    TableDecl inFile = accountsV2(path("Vault.TPS\\!Accounts"));
    storage::Table a(inFile);
    EXPECT_EQ(fu_MakeTPE(a), path("vault.tpe\\!accounts"));
    EXPECT_TRUE(storage::tableExists(path("vault.tpe\\!accounts"), ""));

    TableDecl noExt = accountsV2(path("Vault\\!Accounts"));
    storage::Table b(noExt);
    EXPECT_EQ(fu_MakeTPE(b), path("vault.tpe\\!accounts"));

    TableDecl plain = accountsV2(path("CVWRD"));
    storage::Table c(plain);
    EXPECT_EQ(fu_MakeTPE(c), path("cvwrd.tpe"));
    storage::Table made(plain);
    made.setName(path("cvwrd.tpe"));
    EXPECT_EQ(made.open(storage::kReadWrite | storage::kDenyNone), 0);
    EXPECT_EQ(made.records(), 0);
}

TEST_F(RegistrationTest, ExampleFileOfOtherDriversOrUnregisteredOnes) {
    resetForTests();
    setArgs({});
    storage::RawFile raw(path("data.bin"));
    EXPECT_EQ(fu_MakeTPE(raw), "1");  // its driver is not registered
    fu_AddDriver("Dos", raw);
    EXPECT_EQ(fu_MakeTPE(raw), "2");
    storage::Table t(accountsDecl_);
    EXPECT_EQ(fu_MakeTPE(t), "1");
}

TEST_F(RegistrationTest, ExampleFileThatCannotBeCreatedAnswers3) {
    start();
    TableDecl nowhere = accountsV2(path("missing/dir/Vault.TPS\\!Accounts"));
    storage::Table t(nowhere);
    EXPECT_EQ(fu_MakeTPE(t), "3");
}

}  // namespace
}  // namespace corvix::ferrule::testing
