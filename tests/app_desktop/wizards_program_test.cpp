// The generator and the two container wizards in the running program, opened from the
// frame's Actions menu by their shortcuts, driven with xdotool; screenshots of each.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "child_process.h"
#include "tray_fixture.h"
#include "x_windows.h"

namespace corvix::app::desktop_testing {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class WizardsProgramTest : public TrayProgramTest {
  protected:
    // The program with its frame shown and active.
    XWindowId openFrame(Program& corvix) {
        EXPECT_NE(waitForIcon(*x_, corvix, trayHostPid()).id, 0u) << describe(*x_, corvix);
        EXPECT_TRUE(waitUntil([&] { return frameOf(*x_, corvix).id != 0; }, 10s));
        EXPECT_TRUE(waitUntil([&] { return !frameShown(*x_, corvix); }, 10s));
        EXPECT_EQ(xdotool({"key", "super+s"}), 0);
        EXPECT_TRUE(waitUntil([&] { return frameShown(*x_, corvix); }, 10s));
        const XWindowId frame = frameOf(*x_, corvix).id;
        EXPECT_TRUE(waitUntil([&] { return x_->activeWindow() == frame; }, 3s));
        return frame;
    }
    // Waits for the message box with this title, then closes it with Enter.
    bool answerMessage(Program& corvix, const std::string& title, const char* shot = nullptr) {
        if (!waitUntil([&] { return windowTitled(*x_, corvix, title).id != 0; }, 15s)) return false;
        const XWindowId box = windowTitled(*x_, corvix, title).id;
        std::this_thread::sleep_for(300ms);
        if (shot) EXPECT_TRUE(screenshot(std::to_string(box), shot));
        xdotool({"windowactivate", "--sync", std::to_string(box)});
        xdotool({"key", "Return"});
        return waitUntil([&] { return windowTitled(*x_, corvix, title).id == 0; }, 10s);
    }
};

TEST_F(WizardsProgramTest, GenerateEncryptAndDecryptFromTheFrame) {
    ASSERT_TRUE(makeVault(""));
    const std::string plain = vault_ + "/letter.txt";
    std::ofstream(plain) << "sealed from the frame";
    Program corvix = start("", {kAccessibleEnv});
    const XWindowId frame = openFrame(corvix);
    ASSERT_NE(frame, 0u) << describe(*x_, corvix);

    // Each wizard is a window inside the frame: its keys wait until it shows.
    ASSERT_EQ(xdotool({"key", "ctrl+g"}), 0);
    ASSERT_TRUE(waitForText(corvix, kFrameTitle, "Password Type")) << describe(*x_, corvix);
    EXPECT_TRUE(screenshot(std::to_string(frame), "frame-generate-password.png"));
    ASSERT_EQ(xdotool({"key", "alt+o"}), 0);
    ASSERT_TRUE(answerMessage(corvix, "Generation Complete", "generation-complete.png"))
        << describe(*x_, corvix);

    ASSERT_EQ(xdotool({"key", "ctrl+e"}), 0);
    ASSERT_TRUE(waitForText(corvix, kFrameTitle, "Which file do you wish to encrypt?"))
        << describe(*x_, corvix);
    ASSERT_EQ(xdotool({"type", "--delay", "5", plain}), 0);
    // Past "..." to "Delete original file after encrypting".
    ASSERT_EQ(xdotool({"key", "Tab", "Tab", "space"}), 0);
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(screenshot(std::to_string(frame), "frame-encrypt-file.png"));
    ASSERT_EQ(xdotool({"key", "alt+o"}), 0);
    ASSERT_TRUE(answerMessage(corvix, "Encryption Complete")) << describe(*x_, corvix);
    EXPECT_TRUE(fs::exists(plain + ".ENC"));
    EXPECT_FALSE(fs::exists(plain));

    ASSERT_EQ(xdotool({"key", "ctrl+d"}), 0);
    ASSERT_TRUE(waitForText(corvix, kFrameTitle, "Which file do you wish to decrypt?"))
        << describe(*x_, corvix);
    ASSERT_EQ(xdotool({"type", "--delay", "5", plain + ".ENC"}), 0);
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(screenshot(std::to_string(frame), "frame-decrypt-file.png"));
    ASSERT_EQ(xdotool({"key", "alt+o"}), 0);
    ASSERT_TRUE(answerMessage(corvix, "Decryption Complete")) << describe(*x_, corvix);
    EXPECT_EQ(readFile(plain), "sealed from the frame");
}

}  // namespace
}  // namespace corvix::app::desktop_testing
