// Shared helpers of the storage tests: a private temporary folder and sample tables.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "platform/storage/declaration.h"
#include "platform/storage/record.h"
#include "platform/storage/table.h"

namespace corvix::storage::testing {

// Accounts-shaped table: id, category, description, password, a date, a watch flag.
inline TableDecl accountDecl(const std::string& name, const std::string& owner = "") {
    TableDecl d;
    d.label = "CVPAS";
    d.prefix = "PAS";
    d.name = name;
    d.owner = owner;
    d.fields = {{"PAS:PAS_ID", FieldType::Long, 0, {}, "@n-14"},
                {"PAS:Category", FieldType::String, 30, {}, "@s30"},
                {"PAS:Description", FieldType::String, 60, {}, "@s60"},
                {"PAS:Password", FieldType::String, 128, {}, "@s128"},
                {"PAS:LastChange", FieldType::Date, 0, {}, "@d17"},
                {"PAS:Watch", FieldType::Byte, 0, {}, ""}};
    d.keys = {{"PAS:K_PAS_ID",
               "System ID",
               {0},
               kKeyUnique | kKeyPrimary | kKeyOptional | kKeyAutoNumber | kKeyNoCase},
              {"PAS:K_Category", "Category", {1, 2}, kKeyNoCase},
              {"PAS:K_Description", "Description", {2}, kKeyNoCase},
              {"PAS:K_Watch", "Watched accounts only", {5}, kKeyOptional | kKeyNoCase}};
    return d;
}

inline TableDecl categoryDecl(const std::string& name, const std::string& owner = "") {
    TableDecl d;
    d.label = "CVCAT";
    d.prefix = "CAT";
    d.name = name;
    d.owner = owner;
    d.fields = {{"CAT:Category", FieldType::String, 30, {}, "@s30"}};
    d.keys = {
        {"CAT:K_Category", "Category", {0}, kKeyUnique | kKeyPrimary | kKeyOptional | kKeyNoCase}};
    return d;
}

inline TableDecl containerDecl(const std::string& name, const std::string& owner = "") {
    TableDecl d;
    d.label = "CVEF";
    d.prefix = "EF";
    d.name = name;
    d.owner = owner;
    d.fields = {{"EF:ID", FieldType::Byte, 0, {}, ""},
                {"EF:Description", FieldType::String, 80, {}, ""}};
    d.keys = {{"EF:K_ID", "ID", {0}, kKeyUnique | kKeyPrimary | kKeyOptional | kKeyAutoNumber}};
    d.blobs = {{"EF:Binary", false, 0}};
    return d;
}

// Each test runs in its own empty folder (the working directory), removed afterwards.
class StorageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/corvix-storage-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        old_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
    }
    void TearDown() override {
        std::filesystem::current_path(old_);
        std::filesystem::remove_all(dir_);
    }
    std::string path(const std::string& file) const { return dir_ + "/" + file; }

    std::string dir_;
    std::filesystem::path old_;
};

inline std::string readAll(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeAll(const std::string& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// Runs body in a child process; returns its exit code (the body's result), or -1.
inline int inChild(const std::function<int()>& body) {
    pid_t pid = fork();
    if (pid == 0) {
        abandonConnectionsAfterFork();
        _exit(body());
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

inline void fillAccount(Record& r, int64_t id, const std::string& category,
                        const std::string& description, int64_t watch = 0) {
    r.clear();
    r.set(0, id);
    r.set(1, category);
    r.set(2, description);
    r.set(3, "secret-" + description);
    r.set(5, watch);
}

}  // namespace corvix::storage::testing
