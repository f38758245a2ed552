#include "platform/desktop/atspi_client.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace corvix::desktop {
namespace {

using namespace std::chrono_literals;

// A throw-away helper script standing in for the real helper.
class FakeHelper {
  public:
    explicit FakeHelper(const std::string& body) {
        path_ = "/tmp/corvix-fake-atspi-" + std::to_string(getpid()) + "-" +
                std::to_string(++counter_) + ".sh";
        std::ofstream(path_) << "#!/bin/sh\n" << body << "\n";
        chmod(path_.c_str(), 0700);
    }
    ~FakeHelper() { unlink(path_.c_str()); }
    const std::string& path() const { return path_; }

  private:
    static inline int counter_ = 0;
    std::string path_;
};

TEST(AtspiLine, EscapingRoundTrips) {
    const std::string text = "a\\b\nc\rd\\n";
    const std::string line = escapeAtspiLine(text);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_EQ(line, "a\\\\b\\nc\\rd\\\\n");
    EXPECT_EQ(unescapeAtspiLine(line), text);
    EXPECT_EQ(unescapeAtspiLine("trailing\\"), "trailing\\");
}

TEST(AtspiClient, ReadsTheHelpersLinesAndArguments) {
    // The fake prints its arguments back, then two texts (one with an escaped break).
    FakeHelper helper("echo \"$1=$2 $3=$4\"; printf 'Password:\\n\\nline\\\\none\\n'");
    AtspiLookup r = atspiWindowTexts(4242, "Logon - App", 2s, helper.path());
    ASSERT_TRUE(r.ran);
    ASSERT_EQ(r.texts.size(), 3u);  // the empty line is dropped
    EXPECT_EQ(r.texts[0], "--pid=4242 --title=Logon - App");
    EXPECT_EQ(r.texts[1], "Password:");
    EXPECT_EQ(r.texts[2], "line\none");
}

TEST(AtspiClient, FailingHelperMeansNoTexts) {
    FakeHelper helper("echo Password:; exit 3");
    AtspiLookup r = atspiWindowTexts(1, "x", 2s, helper.path());
    EXPECT_FALSE(r.ran);
    EXPECT_TRUE(r.texts.empty());
}

TEST(AtspiClient, HangingHelperIsKilledAtTheLimit) {
    FakeHelper helper("echo Password:; exec sleep 30");
    auto start = std::chrono::steady_clock::now();
    AtspiLookup r = atspiWindowTexts(1, "x", 300ms, helper.path());
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(r.ran);
    EXPECT_TRUE(r.texts.empty());
    EXPECT_LT(took, 5s);  // bounded by the limit, not by the helper
}

TEST(AtspiClient, HelperThatClosesOutputButLingersIsKilled) {
    FakeHelper helper("echo Password:; exec sleep 30 >&-");
    AtspiLookup r = atspiWindowTexts(1, "x", 300ms, helper.path());
    EXPECT_FALSE(r.ran);
}

TEST(AtspiClient, MissingHelperMeansNoTexts) {
    EXPECT_FALSE(atspiWindowTexts(1, "x", 1s, "").ran);
    EXPECT_FALSE(atspiWindowTexts(1, "x", 1s, "/nonexistent/corvix-atspi-texts").ran);
}

TEST(AtspiClient, HelperPathFollowsTheEnvironment) {
    FakeHelper helper("exit 0");
    setenv("CORVIX_ATSPI_TEXTS", helper.path().c_str(), 1);
    EXPECT_EQ(atspiHelperPath(), helper.path());
    setenv("CORVIX_ATSPI_TEXTS", "/nonexistent/helper", 1);
    EXPECT_EQ(atspiHelperPath(), "");
    unsetenv("CORVIX_ATSPI_TEXTS");
    // The build puts the real helper in bin/, beside tests/.
    EXPECT_NE(atspiHelperPath().find("corvix-atspi-texts"), std::string::npos);
}

// The real helper with no way to reach an accessibility bus: it must give up quickly
// and never start a bus of its own.
TEST(AtspiHelper, WithoutAnyBusItFailsFast) {
    const std::string helper = atspiHelperPath();
    ASSERT_FALSE(helper.empty());
    std::string saved[3];
    const char* names[3] = {"DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS"};
    for (int i = 0; i < 3; ++i) {
        if (const char* v = std::getenv(names[i])) saved[i] = v;
        unsetenv(names[i]);
    }
    auto start = std::chrono::steady_clock::now();
    AtspiLookup r = atspiWindowTexts(1, "Nothing", 3s, helper);
    auto took = std::chrono::steady_clock::now() - start;
    for (int i = 0; i < 3; ++i) {
        if (!saved[i].empty()) setenv(names[i], saved[i].c_str(), 1);
    }
    EXPECT_FALSE(r.ran);
    EXPECT_LT(took, 2s);
}

TEST(AtspiHelper, RefusesMissingArguments) {
    const std::string helper = atspiHelperPath();
    ASSERT_FALSE(helper.empty());
    EXPECT_NE(std::system((helper + " --pid 1 2>/dev/null").c_str()), 0);
}

}  // namespace
}  // namespace corvix::desktop
