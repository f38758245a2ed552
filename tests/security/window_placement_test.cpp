// The logon windows through the framework: procedure names on the error manager's stack
// and placement in the settings file.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include "framework/error_manager.h"
#include "framework/settings_store.h"
#include "security/logon_normal.h"
#include "security/window_hooks.h"

using namespace corvix;

TEST(LogonWindowPlacement, ProcedureNameAndPositionGoThroughTheFramework) {
    QTemporaryDir dir;
    framework::SettingsStore store;
    store.Init((dir.path() + "/corvix.INI").toStdString());
    framework::SettingsStore* previous = framework::setSettingsStore(&store);
    {
        security::Logon_Normal w("");
        EXPECT_EQ(framework::errorManager().CurrentProcedure(), "Logon:Normal");
        w.show();
        w.move(123, 77);
        QApplication::processEvents();
        w.reject();
    }
    EXPECT_NE(framework::errorManager().CurrentProcedure(), "Logon:Normal");
    EXPECT_EQ(store.GetValue("Logon:Normal", "Maximize"), "No");
    const std::string x = store.GetValue("Logon:Normal", "XPos");
    ASSERT_FALSE(x.empty());
    EXPECT_EQ(store.GetValue("Logon:Normal", "Width").empty(), false);

    // The next window opens where the last one was left.
    store.PutValue("Logon:Normal", "XPos", "211");
    store.PutValue("Logon:Normal", "YPos", "99");
    {
        security::Logon_Normal w("Enter current master password");
        EXPECT_EQ(w.pos(), QPoint(211, 99));
    }
    framework::setSettingsStore(previous);
}

TEST(LogonWindowPlacement, GainingFocusRefreshesThroughTheBoundFunction) {
    int refreshed = 0;
    security::setActivationRefresh([&] { ++refreshed; });
    {
        security::Logon_Normal w("");
        w.show();
        w.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&w, 1000));
    }
    security::setActivationRefresh(nullptr);
    EXPECT_GE(refreshed, 1);
}
