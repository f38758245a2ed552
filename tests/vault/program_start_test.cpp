// The program's start and end sequence.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/startup.h"
#include "framework/error_manager.h"
#include "framework/settings_store.h"
#include "framework/vault_managers.h"
#include "libs/quillet/display_texts.h"
#include "send/key_sender.h"
#include "temp_dir.h"
#include "vault/vault_key.h"

namespace corvix::app {
namespace {

TEST(ProgramStart, StepsRunInOrderAndShutdownEndsWithZero) {
    corvix::testing::TempWorkDir dir;
    resetUpgradesRegisteredForTests();
    std::vector<std::string> calls;
    std::string delimiters;
    bool errorManagerInstalledDuringFrame = false;
    std::string settingsFileDuringFrame;
    framework::ErrorManager* before = &framework::errorManager();

    StartupHooks h;
    h.createManagers = [&] { calls.push_back("managers"); };
    h.initKeySender = [&](std::string_view d) {
        delimiters = d;
        calls.push_back("key sender");
    };
    h.registerUpgrades = [&] { calls.push_back("upgrades"); };
    h.initReportWizard = [&] { calls.push_back("report"); };
    h.setQueryWizardTexts = [&] { calls.push_back("query texts"); };
    h.runMainFrame = [&] {
        calls.push_back("frame");
        errorManagerInstalledDuringFrame = &framework::errorManager() != before;
        settingsFileDuringFrame = framework::settingsStore().FileName();
        EXPECT_EQ(helpFile(), "Corvix.hlp");
        EXPECT_EQ(vault::VaultKey.size(), 40u);
        return 7;
    };
    h.clearWindowLists = [&] { calls.push_back("window lists"); };
    h.destroyManagers = [&] { calls.push_back("destroy managers"); };

    StartupReport report;
    EXPECT_EQ(runProgram(h, &report), 0);  // whatever the frame returned
    EXPECT_EQ(report.frameResult, 7);
    EXPECT_EQ(calls, (std::vector<std::string>{"managers", "key sender", "upgrades", "report",
                                               "query texts", "frame", "window lists",
                                               "destroy managers"}));
    EXPECT_EQ(delimiters, "[]");
    EXPECT_TRUE(errorManagerInstalledDuringFrame);
    EXPECT_EQ(settingsFileDuringFrame, "corvix.INI");
    EXPECT_EQ(&framework::errorManager(), before);  // closed again at the end
    EXPECT_TRUE(report.skipped.empty());
    EXPECT_EQ(report.steps.front(), "vault key");
    EXPECT_EQ(report.steps[1], "help file");
    EXPECT_EQ(report.steps[2], "error manager");
    EXPECT_EQ(report.steps[3], "settings store");
    EXPECT_EQ(report.steps.back(), "close error manager");
}

TEST(ProgramStart, UpgradeRegistrationHappensOncePerProcess) {
    corvix::testing::TempWorkDir dir;
    resetUpgradesRegisteredForTests();
    int registrations = 0;
    StartupHooks h;
    h.registerUpgrades = [&] { ++registrations; };
    runProgram(h);
    runProgram(h);
    EXPECT_EQ(registrations, 1);
    EXPECT_TRUE(upgradesRegistered());
}

TEST(ProgramStart, MissingPiecesAreNamedNotFaked) {
    corvix::testing::TempWorkDir dir;
    resetUpgradesRegisteredForTests();
    StartupReport report;
    EXPECT_EQ(runProgram(StartupHooks{}, &report), 0);
    EXPECT_EQ(report.skipped,
              (std::vector<std::string>{"managers", "key sender", "upgrade registration",
                                        "report wizard", "query wizard texts", "main frame",
                                        "clear window lists", "destroy managers"}));
    EXPECT_FALSE(upgradesRegistered());  // nothing registered: the next start tries again
}

TEST(ProgramStart, TheProgramsOwnHooksCreateAndDestroyTheTableManagers) {
    corvix::testing::TempWorkDir dir;
    StartupHooks h = programHooks();
    EXPECT_TRUE(h.createManagers);
    EXPECT_TRUE(h.initKeySender);
    EXPECT_TRUE(h.registerUpgrades);
    EXPECT_TRUE(h.clearWindowLists);
    EXPECT_TRUE(h.destroyManagers);
    EXPECT_TRUE(h.setQueryWizardTexts);
    EXPECT_TRUE(h.initReportWizard);
    h.registerUpgrades = nullptr;  // the upgrade library is exercised by its own tests
    bool createdDuringFrame = false;
    h.runMainFrame = [&] {
        createdDuringFrame = framework::vaultManagersCreated();
        return 0;
    };
    EXPECT_EQ(runProgram(h), 0);
    EXPECT_TRUE(createdDuringFrame);
    EXPECT_FALSE(framework::vaultManagersCreated());
    EXPECT_TRUE(send::keySender().initialised());
    EXPECT_EQ(send::keySender().DELIMITERLEFT, U'[');
    EXPECT_EQ(send::keySender().DELIMITERRIGHT, U']');
    // The query wizard's texts are the program's, set at start-up.
    EXPECT_EQ(quillet::displayText(171), "Query Wizard");
    EXPECT_EQ(quillet::displayText(38).substr(0, 45),
              "This query is no longer valid because fields|");
}

}  // namespace
}  // namespace corvix::app
