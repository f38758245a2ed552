// corvix-cli typing into programs of the system rather than our own test window: a GTK
// dialog (zenity) and a page in a browser (chromium), whose texts the required-text
// check reads over accessibility (label "desktop").
#include <unistd.h>

#include <future>
#include <string>

#include "cli_session.h"

namespace {

using namespace corvix::send::testing;
using namespace std::chrono_literals;

// A GTK dialog is served by the watch once it shows the required text; an account whose
// required text it lacks is passed over, although it comes first and names the window.
TEST_F(CliSendDesktop, WatchServesAGtkDialogOnlyForTheAccountWhoseTextItShows) {
    const std::string title = "Zenity Login " + std::to_string(getpid());
    const std::string password = "Gtk\xE2\x82\xAC-\xC3\xA6\xC3\xB8\xC3\xA5!";  // Gtk€-æøå!
    const int passedOver = addAccount(
        {"--name", "smartcard", "--target-window", title, "--required-text", "*Smart card PIN*",
         "--action", "[name][tab][password][enter]", "--wait", "0", "--watch"},
        "not this one");
    const int served =
        addAccount({"--name", "mailuser", "--target-window", title, "--required-text", "*Password*",
                    "--action", "[name][tab][password][enter]", "--wait", "0", "--watch"},
                   password);
    ASSERT_GT(passedOver, 0);
    ASSERT_GT(served, 0);
    Child dialog({"/usr/bin/zenity", "--password", "--username", "--title", title},
                 dir / "zenity.txt");
    ASSERT_TRUE(dialog.started());
    ASSERT_TRUE(waitForWindow(title, 20s));
    const Result r = run({cli, "watch", "--seconds", "3"}, dir, "", 30s);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("sent account " + std::to_string(served)), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("sent account " + std::to_string(passedOver)), std::string::npos) << r.out;
    ASSERT_TRUE(dialog.waitForExit(10s)) << "the dialog did not get its Enter";
    EXPECT_EQ(slurp(dir / "zenity.txt"), "mailuser|" + password + "\n");
}

// A browser exposes its page to accessibility when told to: the watch finds the page's
// heading and types the login. Then 20 sends in a row, each one lending spare keycodes
// to characters the layout lacks, reach a page that keeps the browser busy on every key
// and lose nothing.
TEST_F(CliSendDesktop, BrowserPageIsReadAndTwentySendsInARowLoseNoCharacter) {
    const std::string password =
        "\xE2\x82\xAC"
        "1\xC2\xA3"
        "2\xC2\xA5"
        "3\xC2\xAB\xC2\xBB\xC3\xB1\xE2\x82\xAC";  // €1£2¥3«»ñ€
    const std::string page = "Browser Login";
    const int watched =
        addAccount({"--name", "first", "--target-window", page, "--required-text", "*Members area*",
                    "--action", "[name][tab][password][enter]", "--wait", "0", "--watch"},
                   password);
    const int again = addAccount({"--name", "again", "--target-window", page + " - arrived*",
                                  "--action", "[name][tab][password][enter]", "--wait", "0"},
                                 password);
    ASSERT_GT(watched, 0);
    ASSERT_GT(again, 0);
    Child browser({"/usr/bin/chromium", "--no-sandbox", "--no-first-run", "--disable-gpu",
                   "--user-data-dir=" + (dir / "browser").string(),
                   "--force-renderer-accessibility", "--app=file://" CORVIX_LOGIN_PAGE},
                  {}, {{"ACCESSIBILITY_ENABLED", "1"}});
    ASSERT_TRUE(browser.started());
    ASSERT_TRUE(waitForWindow(page, 60s)) << "chromium did not open the page";
    auto watching = std::async(std::launch::async, [&] {
        return run({cli, "watch", "--seconds", "8"}, dir, "");
    });
    std::string shown = waitForTitle(page + " - arrived 1:", "", 15s);
    EXPECT_EQ(shown, page + " - arrived 1: first|" + password);
    for (int n = 2; n <= 21 && !shown.empty(); ++n) {
        SCOPED_TRACE("send " + std::to_string(n - 1) + " of 20");
        const Result r = run({cli, "send", std::to_string(again)}, dir, "");
        ASSERT_EQ(r.code, 0) << r.err;
        shown = waitForTitle(page + " - arrived " + std::to_string(n) + ":", "", 10s);
        EXPECT_EQ(shown, page + " - arrived " + std::to_string(n) + ": again|" + password);
    }
    const Result w = watching.get();
    EXPECT_EQ(w.code, 0) << w.err;
    EXPECT_NE(w.out.find("sent account " + std::to_string(watched)), std::string::npos) << w.out;
}

}  // namespace
