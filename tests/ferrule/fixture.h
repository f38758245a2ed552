// A fresh library state in a private temporary directory for each test: messages and
// ends of the application recorded, progress silent, the command line the test's own.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "libs/ferrule/ferrule.h"

namespace corvix::ferrule::testing {

// How the tests open a table: read and write, sharing it with everyone.
inline constexpr int kOpenMode = storage::kReadWrite | storage::kDenyNone;

class RecordingSink : public MessageSink {
  public:
    bool stop(const std::string& text) override {
        stops.push_back(text);
        return goOn;
    }
    void halt(const std::string& text) override { halts.push_back(text); }
    void show(const std::string& title, const std::string& text) override {
        shown.push_back(title + "|" + text);
    }
    std::vector<std::string> stops, halts, shown;
    bool goOn = true;
};

class NoProgress : public ProgressSink {
  public:
    void open(const std::string& text, const std::string&, int64_t) override {
        texts.push_back(text);
    }
    void setText(const std::string& text) override { texts.push_back(text); }
    void setTotal(int64_t) override {}
    void setValue(int64_t) override {}
    void close() override {}
    std::vector<std::string> texts;
};

class FerruleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/ferrule-test-XXXXXX";
        dir_ = mkdtemp(pattern);
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
        resetForTests();
        setMessageSink(&sink);
        setProgressSink(&progressLog);
        setTerminator([this](int code) { endings.push_back(code); });
        setDefaultIniFile(dir_ + "/win.ini");
        setArgs({});
    }
    void TearDown() override {
        resetForTests();
        setMessageSink(nullptr);
        setProgressSink(nullptr);
        setTerminator(nullptr);
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(dir_);
    }
    // The program is "corvix" in the test directory; switches follow.
    void setArgs(std::vector<std::string> more) {
        std::vector<std::string> args = {dir_ + "/corvix"};
        args.insert(args.end(), more.begin(), more.end());
        fu_SetCommandLine(args);
    }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }

    RecordingSink sink;
    NoProgress progressLog;
    std::vector<int> endings;
    std::string dir_;
    std::filesystem::path previous_;
};

}  // namespace corvix::ferrule::testing
