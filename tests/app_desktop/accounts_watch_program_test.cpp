// The new-account wizard and the clipboard in the running program: a watched account
// made with the wizard from the keyboard is typed once into its window when that window
// appears, and "&Place on Clipboard" puts the password on the X clipboard, marked secret,
// until the (shortened) clearing delay passes.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <thread>

#include "child_process.h"
#include "tray_fixture.h"
#include "x_windows.h"

namespace corvix::app::desktop_testing {
namespace {

using namespace std::chrono_literals;

constexpr const char* kWatchMaster = "watch secret";
constexpr const char* kTitle = "corvix-watched-xterm";
// Typed into the wizard by xdotool, which drops characters outside the keymap under load
// (the road of one send covers those in the sender).
constexpr const char* kWatchPassword = "watch#42";

class AccountsWatchProgramTest : public TrayProgramTest {
  protected:
    // The clipboard's content of this type; nullopt when nothing offers it.
    std::optional<std::string> clipboard(const char* type = "UTF8_STRING") {
        ToolResult r =
            runTool({"xclip", "-o", "-selection", "clipboard", "-t", type}, ChildOptions{}, 5s);
        if (!r.exit.exited || r.exit.code != 0) return std::nullopt;
        return r.output;
    }
    int keys(std::initializer_list<std::string> names) {
        std::vector<std::string> args{"key", "--delay", "80"};
        args.insert(args.end(), names.begin(), names.end());
        return xdotool(args);
    }
    int type(const std::string& text) { return xdotool({"type", "--delay", "30", text}); }
    static int lines(const std::string& text) {
        return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    }
};

TEST_F(AccountsWatchProgramTest, WizardMakesAWatchedAccountTypedOnceAndTheClipboardIsCleared) {
    ASSERT_TRUE(makeVault(kWatchMaster));
    Program corvix = start("", {"CORVIX_CLIPBOARD_CLEAR_MS=1500"});
    ASSERT_TRUE(logOnWithHotKey(corvix, kWatchMaster)) << describe(*x_, corvix);
    const XWindowId frame = frameOf(*x_, corvix).id;
    std::this_thread::sleep_for(500ms);

    // Actions > Add New Password Account; kind B (sent automatically), from the keyboard.
    ASSERT_EQ(keys({"alt+a", "a"}), 0);
    std::this_thread::sleep_for(800ms);
    ASSERT_EQ(keys({"Down"}), 0);
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(screenshot(std::to_string(frame), "wizard-add-password-program.png"));
    ASSERT_EQ(keys({"Return", "alt+d"}), 0);  // Description
    ASSERT_EQ(type("Watched shell"), 0);
    ASSERT_EQ(keys({"Return", "alt+p"}), 0);  // Password
    ASSERT_EQ(type(kWatchPassword), 0);
    ASSERT_EQ(keys({"Return", "Return", "Return"}), 0);  // URL, Target, Interaction
    std::this_thread::sleep_for(300ms);
    // The title box has the focus (holding the last window's title, if any).
    ASSERT_EQ(keys({"ctrl+a"}), 0);
    ASSERT_EQ(type(kTitle), 0);
    ASSERT_EQ(keys({"alt+n"}), 0);  // Send: "Password" chosen, "[password][enter]"
    std::this_thread::sleep_for(300ms);
    ASSERT_EQ(keys({"Return"}), 0);  // Finish
    std::this_thread::sleep_for(800ms);

    // The window appears: the watch types the password into it, and only once.
    ChildOptions o;
    o.workingDirectory = vault_;
    o.setEnv = {"LC_ALL=C.UTF-8", "LANG=C.UTF-8"};
    Child xterm({"xterm", "-u8", "-T", kTitle, "-geometry", "60x8+60+60", "-e", "sh", "-c",
                 "cat > received.txt"},
                o);
    ASSERT_TRUE(xterm.started());
    const std::string received = vault_ + "/received.txt";
    EXPECT_TRUE(waitUntil([&] { return lines(readFile(received)) >= 1; }, 20s))
        << describe(*x_, corvix) << log(corvix);
    // Three watch passes later there is still one line.
    std::this_thread::sleep_for(3s);
    EXPECT_EQ(readFile(received), std::string(kWatchPassword) + "\n");
    xterm.stop();

    // Back to the list (the frame hid into the tray while it typed): the new account is
    // its only row; its password goes to the clipboard, marked secret, and leaves it.
    ASSERT_EQ(xdotool({"key", "super+s"}), 0);
    ASSERT_TRUE(
        waitUntil([&] { return frameShown(*x_, corvix) && x_->activeWindow() == frame; }, 10s))
        << describe(*x_, corvix);
    // The list refreshes as the frame comes back; the key is pressed again until the list
    // has taken it (a loaded machine can be slow to give the list its focus back).
    bool copied = false;
    for (int attempt = 0; attempt < 4 && !copied; ++attempt) {
        std::this_thread::sleep_for(500ms);
        ASSERT_EQ(keys({"alt+p"}), 0);
        copied = waitUntil([&] { return clipboard() == std::string(kWatchPassword); }, 2s);
    }
    EXPECT_TRUE(copied) << (clipboard() ? *clipboard() : "(nothing)") << log(corvix);
    EXPECT_EQ(clipboard("x-kde-passwordManagerHint"), std::string("secret"));
    EXPECT_TRUE(waitUntil([&] { return clipboard().value_or("") != kWatchPassword; }, 5s));
    EXPECT_EQ(clipboard().value_or(""), "");
}

// A query built in the wizard from the accounts list, saved and used again, with a
// picture of the saved-queries list and of each of the wizard's five pages.
TEST_F(AccountsWatchProgramTest, AQueryIsBuiltSavedAndReusedFromTheList) {
    ASSERT_TRUE(makeVault(kWatchMaster));
    Program corvix = start();
    ASSERT_TRUE(logOnWithHotKey(corvix, kWatchMaster)) << describe(*x_, corvix);
    std::this_thread::sleep_for(500ms);
    auto waitFor = [&](const char* title) {
        XWindowInfo w;
        const bool up = waitUntil(
            [&] {
                w = windowTitled(*x_, corvix, title);
                return w.viewable && x_->activeWindow() == w.id;
            },
            10s);
        std::this_thread::sleep_for(400ms);
        return up ? w.id : XWindowId{0};
    };
    auto shoot = [&](XWindowId w, const char* file) {
        EXPECT_TRUE(screenshot(std::to_string(w), file)) << file;
    };

    ASSERT_EQ(keys({"alt+q"}), 0);
    XWindowId list = waitFor("Queries");
    ASSERT_NE(list, 0u) << describe(*x_, corvix);
    ASSERT_EQ(keys({"alt+n"}), 0);
    XWindowId wizard = waitFor("Query Wizard");
    ASSERT_NE(wizard, 0u) << describe(*x_, corvix);
    shoot(wizard, "program-query-page1-field.png");  // "Category" is the first field
    ASSERT_EQ(keys({"alt+n"}), 0);
    std::this_thread::sleep_for(300ms);
    shoot(wizard, "program-query-page2-operation.png");  // "Is Equal To"
    ASSERT_EQ(keys({"alt+n"}), 0);
    std::this_thread::sleep_for(300ms);
    ASSERT_EQ(type("bank"), 0);
    shoot(wizard, "program-query-page3-value.png");
    ASSERT_EQ(keys({"alt+n"}), 0);
    std::this_thread::sleep_for(300ms);
    shoot(wizard, "program-query-page4-query.png");
    ASSERT_EQ(keys({"alt+f"}), 0);
    ASSERT_NE(waitFor("Save Query"), 0u) << describe(*x_, corvix);
    ASSERT_EQ(keys({"Return"}), 0);  // Yes
    ASSERT_NE(waitFor("Add New Query"), 0u) << describe(*x_, corvix);
    ASSERT_EQ(type("Bank accounts"), 0);
    ASSERT_EQ(keys({"Return"}), 0);
    ASSERT_TRUE(waitUntil([&] { return windowTitled(*x_, corvix, "Query Wizard").id == 0; }, 5s));

    // Reset, then the saved query chosen again from the list; its typed form on page 5.
    std::this_thread::sleep_for(500ms);
    ASSERT_EQ(keys({"alt+r", "alt+q"}), 0);
    list = waitFor("Queries");
    ASSERT_NE(list, 0u) << describe(*x_, corvix);
    shoot(list, "program-query-saved-queries.png");
    ASSERT_EQ(keys({"alt+c"}), 0);
    wizard = waitFor("Query Wizard");
    ASSERT_NE(wizard, 0u) << describe(*x_, corvix);
    ASSERT_EQ(keys({"alt+m"}), 0);
    std::this_thread::sleep_for(300ms);
    shoot(wizard, "program-query-page5-manual.png");
    ASSERT_EQ(keys({"Escape"}), 0);
    ASSERT_TRUE(waitUntil([&] { return windowTitled(*x_, corvix, "Query Wizard").id == 0; }, 5s));
    std::this_thread::sleep_for(300ms);
    ASSERT_EQ(keys({"alt+q"}), 0);
    ASSERT_NE(waitFor("Queries"), 0u) << describe(*x_, corvix);
    ASSERT_EQ(keys({"alt+s"}), 0);  // Select: applied
    ASSERT_TRUE(waitUntil([&] { return windowTitled(*x_, corvix, "Queries").id == 0; }, 5s));
    corvix.child.reset();  // ended by its process id

    ToolResult saved =
        runTool({CORVIX_CLI_PROGRAM, "queries", "show", "1"},
                ChildOptions{vault_, {}, {}, {}, std::string(kWatchMaster) + "\n"}, 30s);
    EXPECT_EQ(saved.exit.code, 0) << saved.output;
    EXPECT_NE(saved.output.find("Bank accounts"), std::string::npos) << saved.output;
    EXPECT_NE(saved.output.find("UPPER(CAT:Category) = 'BANK'"), std::string::npos) << saved.output;
}

}  // namespace
}  // namespace corvix::app::desktop_testing
