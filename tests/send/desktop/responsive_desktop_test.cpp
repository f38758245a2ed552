// The program's event loop keeps running while it sends on a real display: a timer's
// ticks are recorded while a watch pass waits for a window's texts and while a text
// reuses spare keycodes, with the hooks set as the program sets them (label "desktop").
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "../send_fixture.h"
#include "cli_session.h"
#include "platform/desktop/utf8.h"
#include "platform/desktop/x11_desktop.h"
#include "send/key_sender.h"
#include "send/send_hooks.h"
#include "send/watch.h"

namespace corvix::send::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Ticks of a 10 ms timer, and the longest stretch without one.
class Ticker {
  public:
    Ticker() {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] { ticks_.push_back(Clock::now()); });
    }
    void start() {
        ticks_.assign(1, Clock::now());
        timer_.start();
    }
    void stop() {
        timer_.stop();
        ticks_.push_back(Clock::now());
    }
    size_t ticks() const { return ticks_.size() - 2; }
    Clock::duration longestGap() const {
        Clock::duration longest{};
        for (size_t i = 1; i < ticks_.size(); ++i)
            longest = std::max(longest, ticks_[i] - ticks_[i - 1]);
        return longest;
    }

  private:
    QTimer timer_;
    std::vector<Clock::time_point> ticks_;
};

long long ms(Clock::duration d) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
}

class ResponsiveSend : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display) GTEST_SKIP() << "needs an X display (scripts/test starts one)";
        if (!QCoreApplication::instance()) {
            static int argc = 1;
            static char name[] = "test_send_desktop";
            static char* argv[] = {name, nullptr};
            static QCoreApplication app(argc, argv);
        }
        std::string reason;
        desktop_ = desktop::X11Desktop::open(&reason);
        ASSERT_NE(desktop_, nullptr) << reason;
        desktop::setCurrentDesktop(desktop_.get());
        resetSendHooks();
        resetWindowLists();
        // As the program has them: a wait is a short nested event loop, typing lets
        // pending events run.
        sendHooks().yield = [] {
            QEventLoop loop;
            QTimer::singleShot(10, &loop, &QEventLoop::quit);
            loop.exec();
        };
        sendHooks().giveWay = [] { QCoreApplication::processEvents(); };
        keySender().Init("[]");
        char tmpl[] = "/tmp/corvix-responsive.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override {
        unsetenv("CORVIX_ATSPI_TEXTS");
        if (desktop_) desktop_->restoreKeymap();
        desktop::setCurrentDesktop(nullptr);
        resetSendHooks();
        resetWindowLists();
        if (!dir.empty()) fs::remove_all(dir);
    }

    // A stand-in for the accessibility helper: waits, then prints the given texts.
    void useHelper(const std::string& name, double seconds, const std::string& texts) {
        const std::string helper = (dir / name).string();
        std::ofstream(helper) << "#!/bin/sh\nsleep " << seconds << "\nprintf '" << texts
                              << "'\nexit 0\n";
        ASSERT_EQ(chmod(helper.c_str(), 0755), 0);
        setenv("CORVIX_ATSPI_TEXTS", helper.c_str(), 1);
    }

    // A Qt window started right after the browser test took from 8 to over 10 s to show on
    // a loaded machine; the wait is for the window, so a longer limit costs nothing.
    desktop::WindowHandle startTarget(Target& target, const std::string& title) {
        EXPECT_TRUE(target.started());
        EXPECT_TRUE(waitForWindow(title, 30s));
        return windowTitled(*desktop_, title);
    }

    std::unique_ptr<desktop::X11Desktop> desktop_;
    fs::path dir;
};

// The required text is looked for by a helper that takes a second: the pass yields
// while it runs, a pass with the text missing serves nothing, and once the helper answers
// with the text the account is typed.
TEST_F(ResponsiveSend, WatchPassWaitingForWindowTextsKeepsTheEventLoopRunning) {
    const std::string title = "Responsive Watch " + std::to_string(getpid());
    Target target(title, dir / "typed.txt");
    ASSERT_NE(startTarget(target, title), 0u);
    ListAccounts accounts;
    accounts.accounts.push_back(
        account(7, "Responsive Watch*", "[name][tab][password][enter]", "*Sign in*"));
    Watcher watcher(&accounts);
    watcher.BuildWatchList();
    Ticker ticker;

    useHelper("absent", 1.0, "");
    ticker.start();
    const auto started = Clock::now();
    watcher.WatchPass();
    const auto took = Clock::now() - started;
    ticker.stop();
    EXPECT_GE(ms(took), 900) << "the pass did not wait for the helper's answer";
    EXPECT_LT(ms(ticker.longestGap()), 300) << ticker.ticks() << " ticks";
    EXPECT_TRUE(watcher.ServedWindows.empty());
    EXPECT_FALSE(fs::exists(dir / "typed.txt.live"));

    useHelper("present", 0.5, "Please Sign in\\n");
    ticker.start();
    watcher.WatchPass();
    ticker.stop();
    EXPECT_LT(ms(ticker.longestGap()), 300) << ticker.ticks() << " ticks";
    ASSERT_EQ(watcher.ServedWindows.size(), 1u);
    EXPECT_EQ(waitForFile(dir / "typed.txt", 10s), "user7\npw7\n");
}

// More distinct characters outside the layout than there are spare keycodes: spares are
// reused after a pause that lets the timer run, and every character arrives. A window
// that takes the focus during such a pause gets nothing, and typing stops there.
TEST_F(ResponsiveSend, TypingThatReusesSpareKeycodesKeepsTheEventLoopRunning) {
    const std::string title = "Responsive Spares " + std::to_string(getpid());
    Target target(title, dir / "typed.txt");
    const desktop::WindowHandle window = startTarget(target, title);
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(activateAndWait(*desktop_, window));
    std::u32string chars;
    for (char32_t ch = 0x0400; chars.size() < desktop_->spareKeycodes() + 6; ++ch)
        if (!desktop_->keyForChar(ch).found) chars += ch;
    const std::string text = desktop::toUtf8(chars);

    Ticker ticker;
    ticker.start();
    const TypeResult typed = keySender().Type("me[tab]" + text + "[enter]", window);
    ticker.stop();
    EXPECT_EQ(typed, TypeResult::Typed);
    EXPECT_GT(ticker.ticks(), 0u);
    EXPECT_LT(ms(ticker.longestGap()), 150) << ticker.ticks() << " ticks";
    EXPECT_EQ(waitForFile(dir / "typed.txt", 15s), "me\n" + text + "\n");

    const std::string otherTitle = title + " Other";
    Target first(title + " Again", dir / "again.txt"), other(otherTitle, dir / "other.txt");
    const desktop::WindowHandle again = startTarget(first, title + " Again");
    const desktop::WindowHandle otherWindow = startTarget(other, otherTitle);
    ASSERT_TRUE(again && otherWindow);
    ASSERT_TRUE(activateAndWait(*desktop_, again));
    // The first reuse pause comes once every spare carries a character.
    QTimer::singleShot(
        0, [&] { QTimer::singleShot(0, [&] { desktop_->requestActivation(otherWindow); }); });
    EXPECT_EQ(keySender().Type(text + text + "[enter]", again), TypeResult::FocusLost);
    EXPECT_EQ(desktop_->borrowedKeycodes(), 0u);
    std::this_thread::sleep_for(500ms);
    EXPECT_FALSE(fs::exists(dir / "other.txt.live")) << slurp(dir / "other.txt.live");
    EXPECT_FALSE(fs::exists(dir / "again.txt"));
}

}  // namespace
}  // namespace corvix::send::testing
