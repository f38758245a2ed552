// corvix-cli run as a program in a fresh directory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "cli_runner.h"
#include "vault/access.h"

namespace corvix::testing {
namespace {

const char kWrong[] = "The password you have entered is incorrect.";

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

// The value printed for one field by "show".
std::string shown(const std::string& out, const std::string& field) {
    for (const auto& l : lines(out))
        if (l.compare(0, field.size() + 1, field + " ") == 0) {
            size_t v = l.find_first_not_of(' ', field.size());
            return v == std::string::npos ? "" : l.substr(v);
        }
    return "<missing " + field + ">";
}

TEST(Cli, VersionAndUsage) {
    CliRunner cli;
    CliResult r = cli.run({"--version"});
    EXPECT_EQ(r.exitCode, 0);
    // The version the About window shows, then the commit the build came from.
    EXPECT_EQ(r.out.rfind("corvix-cli 1.03 (", 0), 0u) << r.out;
    EXPECT_EQ(r.out.back(), '\n');
    r = cli.run({});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("usage"), std::string::npos);
    r = cli.run({"frobnicate"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("unknown command"), std::string::npos);
    EXPECT_EQ(cli.run({"add"}).exitCode, 2);  // --description is required
    EXPECT_EQ(cli.run({"add", "--description"}).exitCode, 2);
    EXPECT_EQ(cli.run({"add", "--description", "x", "--bogus"}).exitCode, 2);
    EXPECT_EQ(cli.run({"add", "--description", "x", "--wait", "256"}).exitCode, 2);
    EXPECT_EQ(cli.run({"add", "--description", "x", "--wait", "2s"}).exitCode, 2);
    EXPECT_EQ(cli.run({"show"}).exitCode, 2);
    EXPECT_EQ(cli.run({"show", "abc"}).exitCode, 2);
    r = cli.run({"categories"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("categories add NAME"), std::string::npos);
    EXPECT_EQ(cli.run({"categories", "add"}).exitCode, 2);
    EXPECT_EQ(cli.run({"status", "extra"}).exitCode, 2);
    // None of the usage errors created a vault.
    EXPECT_FALSE(std::filesystem::exists(cli.dir() + "/Corvix.TPS"));
}

TEST(Cli, FirstStatusInAnEmptyDirectoryCreatesAnEmptyVault) {
    CliRunner cli;
    CliResult r = cli.run({"status"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto l = lines(r.out);
    ASSERT_GE(l.size(), 6u);
    EXPECT_EQ(l[0], "vault: not set up");
    EXPECT_EQ(l[2], "accounts: 0");
    EXPECT_EQ(l[3], "categories: 0");
    EXPECT_EQ(l[4], "themes: 0");
    ASSERT_EQ(l[5].rfind("words: ", 0), 0u);
    EXPECT_GE(std::stol(l[5].substr(7)), 5000);  // the shipped database was copied here
    EXPECT_TRUE(std::filesystem::exists(cli.dir() + "/Corvix.TPS"));
    EXPECT_TRUE(std::filesystem::exists(cli.dir() + "/CVWRD.TPS"));
    // Commands that show accounts refuse until the vault is set up.
    EXPECT_EQ(cli.run({"list"}).exitCode, 1);
}

// Status tells whether required texts can be read at all: without a display and a
// session bus there is no accessibility bus to reach.
TEST(Cli, StatusSaysWhetherTheAccessibilityBusIsReachable) {
    CliRunner cli;
    std::map<std::string, std::string> saved;
    for (const char* name : {"DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS"}) {
        if (const char* v = std::getenv(name)) saved[name] = v;
        unsetenv(name);
    }
    CliResult r = cli.run({"status"});
    for (const auto& [name, value] : saved) setenv(name.c_str(), value.c_str(), 1);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("accessibility bus: not reachable\n"), std::string::npos) << r.out;
}

TEST(Cli, InitWithABlankPasswordStartsLoggedOnAndRefusesASecondInit) {
    CliRunner cli;
    CliResult r = cli.run({"init", "--master-password-stdin"}, "\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = cli.run({"status"});
    EXPECT_NE(r.out.find("vault: set up\n"), std::string::npos);
    EXPECT_NE(r.out.find("start: logged on"), std::string::npos);
    r = cli.run({"init", "--master-password-stdin"}, "other\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("already set up"), std::string::npos);
    // No password asked: list works with nothing on standard input.
    EXPECT_EQ(cli.run({"list"}).exitCode, 0);
    // The new vault has the category new accounts start in, so an account with the
    // initial values can be saved at once.
    EXPECT_EQ(cli.run({"categories", "list"}).out, "Personal\n");
    r = cli.run({"add", "--description", "X"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = cli.run({"list"});
    EXPECT_NE(r.out.find("\tPersonal\tX\t"), std::string::npos) << r.out;
}

class CliWithPassword : public ::testing::Test {
  protected:
    void SetUp() override {
        CliResult r = cli.run({"init", "--master-password-stdin"}, "Secret\n");
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    CliRunner cli;
};

TEST_F(CliWithPassword, StatusTellsTheProgramStartsLoggedOff) {
    CliResult r = cli.run({"status"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("start: logged off"), std::string::npos);
    EXPECT_NE(r.out.find("categories: 1"), std::string::npos);
}

TEST_F(CliWithPassword, WrongOrMissingMasterPasswordIsRefused) {
    for (const char* input : {"secret\n", "Secre\n", "", "Secret!\n", " Secret\n"}) {
        CliResult r = cli.run({"list"}, input);
        EXPECT_EQ(r.exitCode, 1) << input;
        EXPECT_NE(r.err.find(kWrong), std::string::npos) << input;
        EXPECT_TRUE(r.out.empty());
    }
    // Trailing blanks are not significant.
    EXPECT_EQ(cli.run({"list"}, "Secret   \n").exitCode, 0);
    EXPECT_EQ(cli.run({"categories", "list"}, "Secret\n").out, "Personal\n");
    // A refused add changes nothing.
    EXPECT_EQ(cli.run({"add", "--description", "x"}, "nope\n").exitCode, 1);
    EXPECT_NE(cli.run({"status"}).out.find("accounts: 0"), std::string::npos);
}

TEST_F(CliWithPassword, AddPrimesANewAccountAndNumbersIt) {
    CliResult r = cli.run({"add", "--description", "Mail"}, "Secret\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "1\n");
    r = cli.run({"add", "--description", "Bank"}, "Secret\n");
    EXPECT_EQ(r.out, "2\n");
    r = cli.run({"show", "1"}, "Secret\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(shown(r.out, "PAS:Description"), "Mail");
    EXPECT_EQ(shown(r.out, "PAS:Category"), "Personal");
    EXPECT_EQ(shown(r.out, "PAS:Action"), "[name][tab][password][tab]");
    EXPECT_EQ(shown(r.out, "PAS:Wait"), "2");
    EXPECT_EQ(shown(r.out, "PAS:Watch"), "0");
    EXPECT_EQ(shown(r.out, "PAS:URL"), "http://www.???.com");
    const passwd* pw = getpwuid(geteuid());
    ASSERT_NE(pw, nullptr);
    EXPECT_EQ(shown(r.out, "PAS:Name"), std::string(pw->pw_name).substr(0, 40));
    EXPECT_NE(shown(r.out, "PAS:LastChange"), "");
    EXPECT_EQ(shown(r.out, "PAS:Expires"), "");
    // Custom fields carry the vault's captions, without their accelerator marks.
    EXPECT_NE(r.out.find("PAS:Custom2 (Credit Card) "), std::string::npos);
    EXPECT_EQ(cli.run({"show", "3"}, "Secret\n").exitCode, 1);
}

TEST_F(CliWithPassword, AddTakesEveryOptionAndThePasswordFromTheNextLine) {
    CliResult r = cli.run({"add",
                           "--description",
                           "Shop",
                           "--category",
                           "personal",
                           "--name",
                           "bob",
                           "--password-stdin",
                           "--url",
                           "https://shop.example",
                           "--target-window",
                           "Shop*",
                           "--required-text",
                           "Login",
                           "--action",
                           "[password][enter]",
                           "--watch",
                           "--wait",
                           "5",
                           "--notes",
                           "n1"},
                          "Secret\nhunter2\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = cli.run({"show", "1", "--reveal"}, "Secret\n");
    EXPECT_EQ(shown(r.out, "PAS:Password"), "hunter2");
    EXPECT_EQ(shown(r.out, "PAS:Category"), "personal");
    EXPECT_EQ(shown(r.out, "PAS:Name"), "bob");
    EXPECT_EQ(shown(r.out, "PAS:URL"), "https://shop.example");
    EXPECT_EQ(shown(r.out, "PAS:TargetWindow"), "Shop*");
    EXPECT_EQ(shown(r.out, "PAS:TargetWindowText"), "Login");
    EXPECT_EQ(shown(r.out, "PAS:Action"), "[password][enter]");
    EXPECT_EQ(shown(r.out, "PAS:Watch"), "1");
    EXPECT_EQ(shown(r.out, "PAS:Wait"), "5");
    EXPECT_EQ(shown(r.out, "PAS:Notes"), "n1");
    r = cli.run({"show", "1"}, "Secret\n");
    EXPECT_EQ(shown(r.out, "PAS:Password"), "*******");
}

TEST_F(CliWithPassword, AnUnknownCategoryIsRefusedWithTheLookupMessage) {
    CliResult r = cli.run({"add", "--description", "x", "--category", "Nowhere"}, "Secret\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "Field contents error: The value of Category of account must be found in the "
              "CVCAT file.\n");
    EXPECT_NE(cli.run({"status"}).out.find("accounts: 0"), std::string::npos);
}

TEST_F(CliWithPassword, ListIsInCategoryOrderAndMasksPasswords) {
    ASSERT_EQ(cli.run({"categories", "add", "Work"}, "Secret\n").exitCode, 0);
    cli.run({"add", "--description", "Zeta", "--category", "Work", "--password-stdin"},
            "Secret\nabc\n");
    cli.run({"add", "--description", "beta", "--password-stdin"}, "Secret\nfive5\n");
    cli.run({"add", "--description", "Alpha", "--category", "Work"}, "Secret\n");
    CliResult r = cli.run({"list"}, "Secret\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto l = lines(r.out);
    ASSERT_EQ(l.size(), 3u);
    EXPECT_EQ(l[0].substr(0, 2), "2\t");
    EXPECT_NE(l[0].find("\tbeta\t"), std::string::npos);
    EXPECT_NE(l[0].find("\t*****\t"), std::string::npos);
    EXPECT_EQ(l[1].substr(0, 2), "3\t");
    EXPECT_NE(l[1].find("\t\thttp"), std::string::npos);  // an empty password shows nothing
    EXPECT_EQ(l[2].substr(0, 2), "1\t");
    EXPECT_NE(l[2].find("\t***\t"), std::string::npos);
    r = cli.run({"list", "--reveal"}, "Secret\n");
    EXPECT_NE(r.out.find("\tfive5\t"), std::string::npos);
    EXPECT_NE(r.out.find("\tabc\t"), std::string::npos);
}

TEST_F(CliWithPassword, CategoriesDifferingOnlyInCaseAreRefused) {
    CliResult r = cli.run({"categories", "add", "PERSONAL"}, "Secret\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "Duplicate Key Error: Adding this record creates a duplicate entry for the key: "
              "Category\n");
    EXPECT_EQ(cli.run({"categories", "add", "   "}, "Secret\n").exitCode, 2);
    ASSERT_EQ(cli.run({"categories", "add", "Banking"}, "Secret\n").exitCode, 0);
    EXPECT_EQ(cli.run({"categories", "list"}, "Secret\n").out, "Banking\nPersonal\n");
}

TEST_F(CliWithPassword, NoAccountDataIsReadableInTheVaultFile) {
    ASSERT_EQ(cli.run({"add", "--description", "QuokkaDescription", "--name", "QuokkaUser",
                       "--password-stdin"},
                      "Secret\nQuokkaPassword99\n")
                  .exitCode,
              0);
    for (const auto& entry : std::filesystem::directory_iterator(cli.dir())) {
        const std::string bytes = cli.fileBytes(entry.path().filename());
        EXPECT_EQ(bytes.find("Quokka"), std::string::npos) << entry.path();
        EXPECT_EQ(bytes.find("Secret"), std::string::npos) << entry.path();
    }
}

TEST_F(CliWithPassword, AnImagePasswordCannotBeTyped) {
    {
        // Switch the vault to an image password behind the tool's back.
        const auto previous = std::filesystem::current_path();
        std::filesystem::current_path(cli.dir());
        vault::VaultTables t;
        ASSERT_EQ(vault::openTable(t.mas), 0);
        vault::MasBuffer m;
        ASSERT_EQ(t.mas.set(vault::mas::K_MAS_ID), 0);
        ASSERT_EQ(t.mas.next(m), 0);
        m->UseMasterPasswordImage = 1;
        ASSERT_EQ(t.mas.put(m), 0);
        t.mas.close();
        std::filesystem::current_path(previous);
    }
    CliResult r = cli.run({"list"}, "Secret\n");  // even the right symbols are not taken
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("image theme"), std::string::npos);
    EXPECT_TRUE(r.out.empty());
}

// The single-letter state of a process ('S': asleep) from /proc.
char processState(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t paren = all.rfind(')');
    return paren != std::string::npos && paren + 2 < all.size() ? all[paren + 2] : '?';
}

// The CLI leaves the program's crash mark (the upgrade library's INI file under the user's
// configuration folder) alone; a crash while it opens a file names the file on standard
// error instead, and the process still ends by the signal.
TEST_F(CliWithPassword, ACrashDuringAnOpenNamesTheFileAndTheCrashMarkIsLeftAlone) {
    const std::string config = cli.dir() + "/config";
    const char* previous = std::getenv("XDG_CONFIG_HOME");
    const std::string kept = previous ? previous : "";
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    ASSERT_EQ(cli.run({"list"}, "Secret\n").exitCode, 0);
    EXPECT_FALSE(std::filesystem::exists(config + "/corvix/win.ini"));

    // Holding the database's pending-lock byte keeps the CLI waiting inside its first open.
    const int vault = open((cli.dir() + "/Corvix.TPS").c_str(), O_RDWR);
    ASSERT_GE(vault, 0);
    struct flock pending {};
    pending.l_type = F_WRLCK;
    pending.l_whence = SEEK_SET;
    pending.l_start = 0x40000000;
    pending.l_len = 1;
    ASSERT_EQ(fcntl(vault, F_SETLK, &pending), 0);
    const std::string err = cli.dir() + "/crash.err";
    const pid_t pid = fork();
    if (pid == 0) {
        const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int in = open("/dev/null", O_RDONLY);
        if (e < 0 || in < 0 || chdir(cli.dir().c_str()) != 0) _exit(126);
        dup2(in, 0);
        dup2(e, 2);
        execl(CliRunner::program().c_str(), "corvix-cli", "list", static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(pid, 0);
    // Waiting for the lock, it sleeps between tries: asleep at three looks in a row.
    int asleep = 0;
    for (int i = 0; i < 500 && asleep < 3; ++i) {
        asleep = processState(pid) == 'S' ? asleep + 1 : 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(asleep, 3);
    kill(pid, SIGSEGV);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    close(vault);
    if (previous)
        setenv("XDG_CONFIG_HOME", kept.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV) << status;
    std::ifstream in(err);
    const std::string said((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(said.rfind("corvix-cli: stopped while opening Corvix\\!", 0), 0u) << said;
    EXPECT_FALSE(std::filesystem::exists(config + "/corvix/win.ini"));
}

}  // namespace
}  // namespace corvix::testing
