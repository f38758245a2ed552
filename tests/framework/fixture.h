// A scratch directory as the working directory, a scripted prompt and an exit hook that
// records instead of ending the test program.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "framework/error_manager.h"
#include "framework/prompt.h"
#include "platform/storage/errors.h"

namespace corvix::framework::testing {

class ScratchFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ =
            std::filesystem::temp_directory_path() / ("fwcore-" + std::to_string(::getpid()) + "-" +
                                                      info->test_suite_name() + "-" + info->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        previousDir_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
        previousPrompt_ = setPrompt(&prompt_);
        previousErrors_ = setErrorManager(&errors_);
        setExitHook([this](int code) { exitCodes_.push_back(code); });
        storage::setLastError({});
    }
    void TearDown() override {
        setExitHook({});
        setThreadNumberHook({});
        setErrorManager(previousErrors_);
        setPrompt(previousPrompt_);
        std::filesystem::current_path(previousDir_);
        std::filesystem::remove_all(dir_);
    }
    // Titles of every message shown so far.
    std::vector<std::string> titles() const {
        std::vector<std::string> t;
        for (const auto& a : prompt_.asked()) t.push_back(a.title);
        return t;
    }

    std::filesystem::path dir_;
    std::filesystem::path previousDir_;
    ScriptedPrompt prompt_;
    Prompt* previousPrompt_ = nullptr;
    ErrorManager errors_;
    ErrorManager* previousErrors_ = nullptr;
    std::vector<int> exitCodes_;
};

}  // namespace corvix::framework::testing
