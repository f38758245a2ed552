#include <gtest/gtest.h>

#include "framework/prompt.h"
#include "runtime/date.h"
#include "security/cli_logon.h"
#include "security/master_password.h"
#include "security/session.h"
#include "security/theme_source.h"

using namespace corvix::security;
namespace fw = corvix::framework;
namespace rt = corvix::runtime;

namespace {
class MasterPasswordTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resetSecurity();
        previousPrompt_ = fw::setPrompt(&prompt_);
        previousThemes_ = setThemeSource(&themes_);
        setLogonRunner([this](const LogonRequest& r) {
            requests_.push_back(r);
            return LogonResult{answer_.ok, answer_.entry.clone()};
        });
    }
    void TearDown() override {
        fw::setPrompt(previousPrompt_);
        setThemeSource(previousThemes_);
        rt::setClockSource({});
        resetSecurity();
    }
    void answer(const std::string& entry) { answer_ = LogonResult{true, ::runtime::Secret(entry)}; }
    void cancel() { answer_ = LogonResult{}; }

    fw::ScriptedPrompt prompt_;
    MemoryThemeSource themes_;
    std::vector<LogonRequest> requests_;
    LogonResult answer_;

  private:
    fw::Prompt* previousPrompt_ = nullptr;
    ThemeSource* previousThemes_ = nullptr;
};
}  // namespace

TEST_F(MasterPasswordTest, BlankPasswordSucceedsWithoutAWindow) {
    MasterCopy().Password = "   ";
    EXPECT_TRUE(CheckMasterPassword());
    EXPECT_TRUE(requests_.empty());
    EXPECT_TRUE(prompt_.asked().empty());
}

TEST_F(MasterPasswordTest, TypedPasswordTrailingBlanksAcceptedLetterCaseRefused) {
    MasterCopy().Password = "Secret";
    answer("Secret   ");
    EXPECT_TRUE(CheckMasterPassword());
    ASSERT_EQ(requests_.size(), 1u);
    EXPECT_EQ(requests_[0].window, LogonWindow::Normal);
    EXPECT_EQ(requests_[0].prompt, "");
    EXPECT_TRUE(prompt_.asked().empty());

    answer("secret");
    EXPECT_FALSE(CheckMasterPassword());
    ASSERT_EQ(prompt_.asked().size(), 1u);
    EXPECT_EQ(prompt_.asked()[0].title, "Access Denied");
    EXPECT_EQ(prompt_.asked()[0].text, "The password you have entered is incorrect.");
}

// Win+S pressed again while the logon window is open (inside its nested loop): no second
// window, and the one open decides alone.
TEST_F(MasterPasswordTest, ASecondLogonWhileOneIsOpenOpensNoWindow) {
    MasterCopy().Password = "Secret";
    int nestedResults = 0;
    setLogonRunner([&](const LogonRequest& r) {
        requests_.push_back(r);
        if (requests_.size() > 3) return LogonResult{};  // stacking: stop the recursion
        for (int i = 0; i < 2; ++i) nestedResults += CheckMasterPassword() ? 10 : 1;
        return LogonResult{true, ::runtime::Secret("Secret")};
    });
    EXPECT_TRUE(CheckMasterPassword());
    EXPECT_EQ(requests_.size(), 1u);
    EXPECT_EQ(nestedResults, 2);           // both refused at once
    EXPECT_TRUE(prompt_.asked().empty());  // and no "Access Denied" from a leftover
    // Once closed, the next logon opens its window again.
    EXPECT_TRUE(CheckMasterPassword());
    EXPECT_EQ(requests_.size(), 2u);
}

TEST_F(MasterPasswordTest, CancelFailsSilently) {
    MasterCopy().Password = "Secret";
    cancel();
    EXPECT_FALSE(CheckMasterPassword());
    EXPECT_TRUE(prompt_.asked().empty());
    EXPECT_EQ(AskPassword(false, "", "", ""), "**Cancelled**");
}

TEST_F(MasterPasswordTest, CancelNeverMatchesAPasswordThatReadsCancelled) {
    MasterCopy().Password = "**Cancelled**";
    cancel();
    EXPECT_FALSE(CheckMasterPassword());
    answer("**Cancelled**");  // typed on purpose: that is the password
    EXPECT_TRUE(CheckMasterPassword());
}

TEST_F(MasterPasswordTest, MissingThemeIsReportedAndFails) {
    MasterCopy().Password = "abc";
    MasterCopy().UseMasterPasswordImage = 1;
    MasterCopy().GSD_ID = 7;
    answer("abc");
    EXPECT_FALSE(CheckMasterPassword());
    EXPECT_TRUE(requests_.empty());
    ASSERT_EQ(prompt_.asked().size(), 1u);
    EXPECT_EQ(prompt_.asked()[0].title, "Error");
    EXPECT_EQ(prompt_.asked()[0].text, "Invalid theme selected.  Contact Halden for support.");
}

TEST_F(MasterPasswordTest, ImageThemesChooseTheirWindowAndGetTheExpectedPassword) {
    corvix::vault::GsdRecord grid;
    grid.GSD_ID = 3;
    grid.Basis = "Grid";
    corvix::vault::GsdRecord location;
    location.GSD_ID = 4;
    location.Basis = "Location";
    themes_.add(grid);
    themes_.add(location);
    MasterCopy().Password = "!!#$";
    MasterCopy().UseMasterPasswordImage = 1;
    MasterCopy().GSD_ID = 3;
    answer("!!#$");
    EXPECT_TRUE(CheckMasterPassword());
    MasterCopy().GSD_ID = 4;
    EXPECT_TRUE(CheckMasterPassword());
    ASSERT_EQ(requests_.size(), 2u);
    EXPECT_EQ(requests_[0].window, LogonWindow::Image);
    EXPECT_EQ(requests_[1].window, LogonWindow::ImageByLocation);
    EXPECT_EQ(requests_[1].expected, "!!#$");
    EXPECT_EQ(requests_[1].prompt, "");
    EXPECT_EQ(logonWindowFor(false, "Location"), LogonWindow::Normal);
    EXPECT_STREQ(procedureName(LogonWindow::ImageByLocation), "Logon:ImageByLocation");
}

TEST_F(MasterPasswordTest, ImagePasswordOver128CharactersIsCut) {
    corvix::vault::GsdRecord grid;
    grid.GSD_ID = 1;
    themes_.add(grid);
    MasterCopy().Password = std::string(128, 'q');
    MasterCopy().UseMasterPasswordImage = 1;
    MasterCopy().GSD_ID = 1;
    answer(std::string(128, 'q') + "rst");
    EXPECT_TRUE(CheckMasterPassword());
    EXPECT_EQ(AskPassword(true, "Enter new master password", "Grid", ""), std::string(128, 'q'));
    answer(std::string(127, 'q') + "r");
    EXPECT_FALSE(CheckMasterPassword());
}

namespace {
// A clock at (date, clock) that tests move.
struct Clock {
    rt::Now now{80000, 0};
    void install() {
        rt::setClockSource([this] { return now; });
    }
    void at(int32_t date, int hours, int minutes, int hundredths = 0) {
        now = {date, (hours * 60 + minutes) * 6000 + hundredths};
    }
};
}  // namespace

TEST_F(MasterPasswordTest, InactivityLogsOffOnlyAfterMoreThanTheTimeout) {
    Clock clock;
    clock.install();
    int logoffs = 0;
    setLogoffRequest([&] { ++logoffs; });
    LoggedOn() = true;
    MasterCopy().MonitorInactivity = 1;
    MasterCopy().InactivityTimeout = 10;
    clock.at(80000, 9, 0);
    TouchActivity();
    clock.at(80000, 9, 10);  // exactly ten minutes
    InactivityTick();
    EXPECT_EQ(logoffs, 0);
    clock.at(80000, 9, 10, 1);
    InactivityTick();
    EXPECT_EQ(logoffs, 1);
    EXPECT_DOUBLE_EQ(LastActivity(), rt::moment(80000, clock.now.clock));
    clock.at(80000, 9, 15);  // counted again from the logoff
    InactivityTick();
    EXPECT_EQ(logoffs, 1);
}

TEST_F(MasterPasswordTest, InactivityAcrossMidnight) {
    Clock clock;
    clock.install();
    int logoffs = 0;
    setLogoffRequest([&] { ++logoffs; });
    LoggedOn() = true;
    MasterCopy().MonitorInactivity = 1;
    MasterCopy().InactivityTimeout = 10;
    clock.at(80000, 23, 55);
    TouchActivity();
    clock.at(80001, 0, 4);  // nine minutes later, the next day
    InactivityTick();
    EXPECT_EQ(logoffs, 0);
    clock.at(80001, 0, 6);  // eleven minutes
    InactivityTick();
    EXPECT_EQ(logoffs, 1);
}

TEST_F(MasterPasswordTest, NoTimeoutOrNoMonitoringNeverLogsOff) {
    Clock clock;
    clock.install();
    int logoffs = 0;
    setLogoffRequest([&] { ++logoffs; });
    LoggedOn() = true;
    clock.at(80000, 1, 0);
    TouchActivity();
    MasterCopy().MonitorInactivity = 1;
    MasterCopy().InactivityTimeout = 0;
    clock.at(80003, 1, 0);
    InactivityTick();
    MasterCopy().MonitorInactivity = 0;
    MasterCopy().InactivityTimeout = 10;
    clock.at(80006, 1, 0);
    InactivityTick();
    EXPECT_EQ(logoffs, 0);
    // Each such tick restarts the count, so switching monitoring on does not log off.
    EXPECT_DOUBLE_EQ(LastActivity(), rt::moment(80006, clock.now.clock));
    MasterCopy().MonitorInactivity = 1;
    clock.at(80006, 1, 5);
    InactivityTick();
    EXPECT_EQ(logoffs, 0);
}

TEST_F(MasterPasswordTest, LoggedOffTicksKeepTheCountFromTheLogon) {
    Clock clock;
    clock.install();
    int logoffs = 0;
    setLogoffRequest([&] { ++logoffs; });
    MasterCopy().MonitorInactivity = 1;
    MasterCopy().InactivityTimeout = 1;
    clock.at(80000, 8, 0);
    TouchActivity();
    clock.at(80000, 12, 0);
    InactivityTick();  // logged off: only the moment moves
    EXPECT_EQ(logoffs, 0);
    LoggedOn() = true;
    clock.at(80000, 12, 1);
    InactivityTick();
    EXPECT_EQ(logoffs, 0);
}

TEST_F(MasterPasswordTest, StartingLoggedOnCountsFromTheFirstTick) {
    Clock clock;
    clock.install();
    int logoffs = 0;
    setLogoffRequest([&] { ++logoffs; });
    LoggedOn() = true;  // no password: the program starts logged on, nothing touched yet
    MasterCopy().MonitorInactivity = 1;
    MasterCopy().InactivityTimeout = 10;
    clock.at(80000, 9, 0);
    InactivityTick();
    EXPECT_EQ(logoffs, 0);
    clock.at(80000, 9, 9);
    InactivityTick();
    EXPECT_EQ(logoffs, 0);
    clock.at(80000, 9, 11);
    InactivityTick();
    EXPECT_EQ(logoffs, 1);
}

TEST_F(MasterPasswordTest, InstallationIdIsFilledOnceAndNeverChanged) {
    Clock clock;
    clock.install();
    clock.at(78901, 10, 0);
    corvix::vault::MasRecord m;
    m.Password = "first";
    EXPECT_TRUE(fillInstallationId(m));
    EXPECT_EQ(m.EncPassword, "first");
    EXPECT_EQ(InstallationId(), "first");
    m.Password = "second";
    EXPECT_FALSE(fillInstallationId(m));
    EXPECT_EQ(m.EncPassword, "first");

    corvix::vault::MasRecord blank;
    EXPECT_TRUE(fillInstallationId(blank));
    EXPECT_EQ(blank.EncPassword, "78901");
    EXPECT_EQ(InstallationId(), "78901");
}

TEST_F(MasterPasswordTest, CommandLineCheckTypedOnly) {
    auto typed = [](std::optional<std::string> s) {
        return [s]() -> std::optional<::runtime::Secret> {
            if (!s) return std::nullopt;
            return ::runtime::Secret(*s);
        };
    };
    EXPECT_EQ(checkMasterPasswordTyped(typed("x")), CliLogon::Granted);  // blank password
    MasterCopy().Password = "Secret";
    EXPECT_EQ(checkMasterPasswordTyped(typed("Secret ")), CliLogon::Granted);
    EXPECT_EQ(checkMasterPasswordTyped(typed("SECRET")), CliLogon::Denied);
    ASSERT_EQ(prompt_.asked().size(), 1u);
    EXPECT_EQ(prompt_.asked()[0].title, "Access Denied");
    EXPECT_EQ(checkMasterPasswordTyped(typed(std::nullopt)), CliLogon::Cancelled);
    EXPECT_EQ(prompt_.asked().size(), 1u);
    bool asked = false;
    MasterCopy().UseMasterPasswordImage = 1;
    EXPECT_EQ(checkMasterPasswordTyped([&] {
                  asked = true;
                  return std::optional<::runtime::Secret>(::runtime::Secret("Secret"));
              }),
              CliLogon::NeedsWindow);
    EXPECT_FALSE(asked);
    EXPECT_TRUE(requests_.empty());
}
