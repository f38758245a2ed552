// A vault written by an earlier version of the program (its accounts table one field
// shorter) opened by corvix-cli: converted with every account, and left whole when the
// conversion is killed or runs out of disk.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "libs/ferrule/ferrule.h"
#include "vault/tables.h"
#include "vault/upgrade_registration.h"
#include "vault/vault_key.h"

namespace corvix::vault {
namespace {

namespace fs = std::filesystem;
constexpr int kAccounts = 1000;

std::string builtProgram() {
    char self[PATH_MAX] = {};
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    return (fs::path(std::string(self, n > 0 ? size_t(n) : 0)).parent_path() / ".." / "bin" /
            "corvix-cli")
        .lexically_normal()
        .string();
}

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The accounts table as the earlier version declared it: without PAS:Notes.
const storage::TableDecl& olderAccounts() {
    static const storage::TableDecl d = [] {
        storage::TableDecl t = CVPAS();
        t.fields.pop_back();
        return t;
    }();
    return d;
}

struct CliRun {
    pid_t pid = -1;
    int exitCode = -1;
    std::string out, err;
};

// corvix-cli run in a folder of its own (bin/ with the program, vault/ as the working
// directory).
class CliFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "corvix-older-XXXXXX").string();
        root_ = mkdtemp(pattern.data());
        fs::create_directories(root_ / "bin");
        fs::create_directories(root_ / "vault");
        // The program is reached through a link of its own, so that its upgrade file
        // (kept beside the program) belongs to this test alone.
        fs::create_symlink(builtProgram(), root_ / "bin" / "corvix-cli");
        previous_ = fs::current_path();
        fs::current_path(root_ / "vault");
    }
    void TearDown() override {
        ferrule::resetForTests();
        fs::current_path(previous_);
        fs::remove_all(root_);
    }

    // Starts the program in the vault folder; `limit` caps the size of every file it writes.
    CliRun start(const std::vector<std::string>& args, const std::string& input = {},
                 rlim_t limit = RLIM_INFINITY, const std::string& tag = {}) {
        std::ofstream(root_ / "in") << input;
        CliRun r;
        r.pid = fork();
        if (r.pid == 0) {
            setenv("CORVIX_HOME", (root_ / "vault").c_str(), 1);
            signal(SIGXFSZ, SIG_IGN);
            rlimit l{limit, limit};
            setrlimit(RLIMIT_FSIZE, &l);
            int i = open((root_ / "in").c_str(), O_RDONLY);
            int o = open((root_ / ("out" + tag)).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            int e = open((root_ / ("err" + tag)).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(i, 0);
            dup2(o, 1);
            dup2(e, 2);
            std::string exe = (root_ / "bin" / "corvix-cli").string();
            std::vector<char*> argv{exe.data()};
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(exe.c_str(), argv.data());
            _exit(127);
        }
        return r;
    }
    void finish(CliRun& r) {
        int status = 0;
        waitpid(r.pid, &status, 0);
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = slurp(root_ / "out");
        r.err = slurp(root_ / "err");
    }
    CliRun run(const std::vector<std::string>& args, const std::string& input = {},
               rlim_t limit = RLIM_INFINITY) {
        CliRun r = start(args, input, limit);
        finish(r);
        return r;
    }

    // Accounts readable under a declaration; -error when the table does not open with it.
    int64_t accountsUnder(const storage::TableDecl& decl) {
        storage::Table t(decl);
        t.setOwner(BuildVaultKey());
        int rc = t.open(storage::kReadOnly | storage::kDenyNone);
        return rc == 0 ? t.records() : -rc;
    }
    void expectListShowsEveryAccount() {
        CliRun list = run({"list"});
        ASSERT_EQ(list.exitCode, 0) << list.err;
        EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), kAccounts);
        EXPECT_NE(list.out.find("\taccount 777\t"), std::string::npos);
        EXPECT_EQ(accountsUnder(CVPAS()), kAccounts);
        for (const auto& e : fs::directory_iterator(root_ / "vault")) {
            const std::string name = e.path().filename().string();
            EXPECT_TRUE(name.find("futmp") == std::string::npos &&
                        name.find("upgrading") == std::string::npos)
                << "left over: " << name;
        }
    }

    fs::path root_, previous_;
};

class OlderVaultTest : public CliFolderTest {
  protected:
    void SetUp() override {
        CliFolderTest::SetUp();
        CliRun init = run({"init", "--master-password-stdin"}, "\n");
        ASSERT_EQ(init.exitCode, 0) << init.err;
        writeOlderAccounts();
    }

    // What the earlier version left: its structure in the upgrade file, its table full.
    void writeOlderAccounts() {
        ferrule::resetForTests();
        fu_SetCommandLine({(root_ / "bin" / "corvix-cli").string()});
        storage::Table older(olderAccounts());
        older.setOwner(BuildVaultKey());
        static storage::Table driver(DriverFile());
        fu_AddDriver("Tps", driver);
        fu_UsingFile(older, "PAS", "CVPAS", 1);
        ferrule::resetForTests();
        ASSERT_EQ(storage::removeTable("Corvix\\!Passwords", BuildVaultKey()), 0);
        ASSERT_EQ(older.create(), 0);
        ASSERT_EQ(older.open(storage::kReadWrite | storage::kDenyAll), 0);
        ASSERT_EQ(older.stream(), 0);
        storage::Record r(olderAccounts());
        for (int i = 1; i <= kAccounts; ++i) {
            r.clear();
            r.set(pas::PAS_ID, int64_t(i));
            r.set(pas::Category, std::string("Personal"));
            r.set(pas::Description, "account " + std::to_string(i));
            r.set(pas::Password, "secret " + std::to_string(i));
            ASSERT_EQ(older.add(r), 0);
        }
        ASSERT_EQ(older.flush(), 0);
        older.close();
    }
};

// The CLI tells the upgrade library about the tables only when one needs converting: the
// first command, here one that reads a single account, still converts before it reads.
TEST_F(OlderVaultTest, TheCliConvertsItWithEveryAccount) {
    ASSERT_EQ(accountsUnder(CVPAS()), -storage::kRecordMismatch);
    CliRun show = run({"show", "500", "--reveal"});
    EXPECT_EQ(show.exitCode, 0) << show.err;
    EXPECT_NE(show.out.find("secret 500"), std::string::npos) << show.out << show.err;
    EXPECT_EQ(accountsUnder(CVPAS()), kAccounts);
    expectListShowsEveryAccount();
}

// A vault as this version declares it is read without the upgrade library's file: a
// command neither opens nor makes it (it lives beside the program here).
TEST_F(CliFolderTest, ACurrentVaultIsReadWithoutTheUpgradeFile) {
    ASSERT_EQ(run({"init", "--master-password-stdin"}, "\n").exitCode, 0);
    const fs::path upgradeFile = root_ / "bin" / "Upg.Tps";
    ASSERT_TRUE(fs::exists(upgradeFile)) << "init records the structures";
    fs::remove(upgradeFile);
    CliRun add = run({"add", "--description", "kept"});
    ASSERT_EQ(add.exitCode, 0) << add.err;
    CliRun list = run({"list"});
    EXPECT_EQ(list.exitCode, 0) << list.err;
    EXPECT_NE(list.out.find("kept"), std::string::npos) << list.out;
    EXPECT_FALSE(fs::exists(upgradeFile));
}

TEST_F(OlderVaultTest, AKilledConversionLeavesTheOldTableAndTheNextRunConverts) {
    const fs::path journal = root_ / "vault" / "Corvix.TPS.Passwords.upgrading";
    CliRun r = start({"list"});
    bool seen = false;
    for (int spin = 0; spin < 20000000 && !seen; ++spin) {
        seen = fs::exists(journal) && slurp(journal).find("stage=building") != std::string::npos;
        if (!seen && waitpid(r.pid, nullptr, WNOHANG) == r.pid) break;
    }
    kill(r.pid, SIGKILL);
    finish(r);
    ASSERT_TRUE(seen) << "the conversion ended before it could be interrupted";
    // Either the old table whole, or (killed at the very end) the new one whole.
    const int64_t older = accountsUnder(olderAccounts()), newer = accountsUnder(CVPAS());
    EXPECT_TRUE(older == kAccounts || newer == kAccounts) << older << " " << newer;
    expectListShowsEveryAccount();
}

TEST_F(OlderVaultTest, AConversionOutOfDiskLeavesTheOldTableAndSaysSo) {
    struct stat st;
    ASSERT_EQ(stat("Corvix.TPS", &st), 0);
    CliRun r = run({"list"}, {}, rlim_t(st.st_size + st.st_size / 4));
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("was left as it was"), std::string::npos) << r.err;
    EXPECT_EQ(accountsUnder(olderAccounts()), kAccounts);
    expectListShowsEveryAccount();
}

// Two first starts at once in an empty folder: the second creator waits for the first
// and opens what it made.
TEST_F(CliFolderTest, TwoFirstStartsAtOnceBothSucceed) {
    for (int trial = 0; trial < 4; ++trial) {
        fs::remove_all(root_ / "vault");
        fs::create_directories(root_ / "vault");
        fs::current_path(root_ / "vault");
        std::vector<CliRun> runs;
        for (int i = 0; i < 2; ++i)
            runs.push_back(start({"status"}, {}, RLIM_INFINITY, std::to_string(i)));
        for (int i = 0; i < 2; ++i) {
            int status = 0;
            waitpid(runs[size_t(i)].pid, &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
                << "trial " << trial << ": " << slurp(root_ / ("err" + std::to_string(i)));
        }
    }
}

// Bytes that are not UTF-8, on the command line or on standard input, are refused with a
// message instead of being stored as given.
TEST_F(CliFolderTest, TextThatIsNotUtf8IsRefusedAtTheBoundary) {
    CliRun r = run({"add", "--description",
                    "a\xff"
                    "b\xc3"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("argument 3 is not valid UTF-8 text"), std::string::npos) << r.err;
    r = run({"init", "--master-password-stdin"}, "pass\xc3\n");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("standard input is not valid UTF-8 text"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace corvix::vault
