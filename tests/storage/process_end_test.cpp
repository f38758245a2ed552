// A table held open by a static object (the upgrade library keeps its upgrade file open
// for the life of the program) is closed while the process ends, after the driver's own
// statics were built. Ending the process must stay clean.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "platform/storage/table.h"

namespace {

using namespace corvix::storage;

struct Holder {
    std::unique_ptr<Table> table;
};

TableDecl wordsDecl() {
    TableDecl d;
    d.label = "EXITTEST";
    d.prefix = "EX";
    d.name = "exittest";
    d.owner = "an owner password";
    d.fields.push_back({"EX:Word", FieldType::String, 20, {}, "@s20"});
    d.keys.push_back({"EX:K_Word", "Word", {0}, kKeyNoCase | kKeyUnique});
    return d;
}

TEST(ProcessEnd, ATableOpenInAStaticObjectClosesCleanlyWhenTheProcessEnds) {
    auto dir = std::filesystem::temp_directory_path() / ("exit-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::filesystem::current_path(dir);
        static Holder holder;  // built before the driver's first open
        static TableDecl decl = wordsDecl();
        holder.table = std::make_unique<Table>(decl);
        if (holder.table->create() != 0 || holder.table->open() != 0) _exit(10);
        Record r(decl);
        r.set(0, std::string("kestrel"));
        if (holder.table->add(r) != 0) _exit(11);
        std::exit(0);  // static destructors run: the table closes last
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // And what it wrote is there.
    std::filesystem::current_path(dir);
    TableDecl decl = wordsDecl();
    Table t(decl);
    ASSERT_EQ(t.open(), 0);
    EXPECT_EQ(t.records(), 1);
    t.close();
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    std::filesystem::remove_all(dir);
}

}  // namespace
