// corvix-cli categories rename / delete, run as the built program in a scratch vault.
#include <gtest/gtest.h>
#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "fixture.h"
#include "platform/storage/table.h"
#include "vault/tables.h"
#include "vault/vault_key.h"

namespace corvix::framework {
namespace {

struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string program() {
    char self[PATH_MAX] = {};
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return "corvix-cli";
    return (std::filesystem::path(std::string(self, n)).parent_path() / ".." / "bin" / "corvix-cli")
        .string();
}

std::string slurp(const std::string& file) {
    std::ifstream in(file);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs the program in the working directory with no input.
CliRun cli(const std::vector<std::string>& args) {
    std::string cmd = quoted(program());
    for (const std::string& a : args) cmd += " " + quoted(a);
    cmd += " </dev/null >cli.out 2>cli.err";
    CliRun r;
    int status = std::system(cmd.c_str());
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = slurp("cli.out");
    r.err = slurp("cli.err");
    return r;
}

// Setting up a vault copies and numbers the word database, which takes a while: one
// vault is made for the whole suite and copied into each test's directory.
class CategoryCliTest : public testing::ScratchFixture {
  protected:
    static std::filesystem::path& templateDir() {
        static std::filesystem::path dir;
        return dir;
    }
    static void SetUpTestSuite() {
        templateDir() = std::filesystem::temp_directory_path() /
                        ("fwcore-cli-template-" + std::to_string(::getpid()));
        std::filesystem::remove_all(templateDir());
        std::filesystem::create_directories(templateDir());
        const std::filesystem::path back = std::filesystem::current_path();
        std::filesystem::current_path(templateDir());
        bool ok = cli({"init"}).exitCode == 0;
        for (const char* c : {"Work", "Home"})
            ok = ok && cli({"categories", "add", c}).exitCode == 0;
        for (auto [d, c] : {std::pair{"mail", "Work"}, {"vpn", "Work"}, {"bank", "Home"}})
            ok = ok && cli({"add", "--description", d, "--category", c}).exitCode == 0;
        std::filesystem::current_path(back);
        if (!ok) templateDir().clear();
    }
    static void TearDownTestSuite() {
        if (!templateDir().empty()) std::filesystem::remove_all(templateDir());
    }
    void SetUp() override {
        ScratchFixture::SetUp();
        ASSERT_TRUE(std::filesystem::exists(program())) << program();
        ASSERT_FALSE(templateDir().empty()) << "the template vault could not be set up";
        for (const auto& e : std::filesystem::directory_iterator(templateDir()))
            std::filesystem::copy(e.path(), dir_ / e.path().filename());
    }
    std::map<std::string, std::string> accounts() {
        std::map<std::string, std::string> out;
        storage::Table t(vault::CVPAS());
        t.setOwner(vault::BuildVaultKey());
        EXPECT_EQ(t.open(storage::kReadOnly | storage::kDenyNone), 0);
        vault::PasBuffer b;
        t.set();
        while (t.next(b) == 0) out[b->Description] = b->Category;
        return out;
    }
    std::vector<std::string> categories() {
        std::vector<std::string> out;
        storage::Table t(vault::CVCAT());
        t.setOwner(vault::BuildVaultKey());
        EXPECT_EQ(t.open(storage::kReadOnly | storage::kDenyNone), 0);
        vault::CatBuffer b;
        t.set(vault::cat::K_Category);
        while (t.next(b) == 0) out.push_back(b->Category);
        return out;
    }
};

TEST_F(CategoryCliTest, RenameCarriesIntoAccounts) {
    CliRun r = cli({"categories", "rename", "work", "Office"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Office\n");
    std::map<std::string, std::string> a = accounts();
    EXPECT_EQ(a["mail"], "Office");
    EXPECT_EQ(a["vpn"], "Office");
    EXPECT_EQ(a["bank"], "Home");
}

TEST_F(CategoryCliTest, RenameOntoAnExistingCategoryIsRefused) {
    CliRun r = cli({"categories", "rename", "Work", "home"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Duplicate Key Error: Adding this record creates a duplicate entry for "
                         "the key: Category"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(accounts()["mail"], "Work");
    std::vector<std::string> c = categories();
    EXPECT_NE(std::find(c.begin(), c.end(), "Work"), c.end());
}

TEST_F(CategoryCliTest, DeleteOfACategoryInUseIsRefused) {
    const std::vector<std::string> before = categories();
    CliRun r = cli({"categories", "delete", "Work"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Referential Integrity Delete Error: This record is referenced from the "
                         "file Passwords [CVPAS]. This record cannot be deleted while these "
                         "references exist."),
              std::string::npos)
        << r.err;
    EXPECT_EQ(categories(), before);
    EXPECT_EQ(accounts().size(), 3u);
}

TEST_F(CategoryCliTest, DeleteOfAnUnusedCategory) {
    ASSERT_EQ(cli({"categories", "add", "Spare"}).exitCode, 0);
    CliRun r = cli({"categories", "delete", "spare"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> c = categories();
    EXPECT_EQ(std::find(c.begin(), c.end(), "Spare"), c.end());
}

TEST_F(CategoryCliTest, BadArgumentsAndMissingCategories) {
    EXPECT_EQ(cli({"categories", "rename", "Work"}).exitCode, 2);
    EXPECT_EQ(cli({"categories", "delete"}).exitCode, 2);
    EXPECT_EQ(cli({"categories", "rename", "Work", "   "}).exitCode, 2);
    CliRun r = cli({"categories", "rename", "Nowhere", "Else"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Nowhere"), std::string::npos) << r.err;
    EXPECT_EQ(cli({"categories", "delete", "Nowhere"}).exitCode, 1);
}

}  // namespace
}  // namespace corvix::framework
