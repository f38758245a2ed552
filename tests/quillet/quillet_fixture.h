// A scratch folder for the query store, a QApplication, recorded messages with queued
// answers, and the display texts the program sets.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "accounts/account_queries.h"
#include "app/query_wizard_texts.h"
#include "libs/quillet/messages.h"
#include "libs/quillet/quillet.h"
#include "libs/quillet/windows.h"
#include "libs/quillet/wizard_session.h"

namespace corvix::quillet::testing {

class RecordedMessages : public MessageSink {
  public:
    struct Asked {
        std::string title, text;
    };
    unsigned ask(const std::string& title, const std::string& text, MessageIcon, unsigned,
                 unsigned defaultButton) override {
        asked.push_back({title, text});
        if (answers.empty()) return defaultButton;
        unsigned a = answers.front();
        answers.pop_front();
        return a;
    }
    std::vector<std::string> titles() const {
        std::vector<std::string> t;
        for (const auto& a : asked) t.push_back(a.title);
        return t;
    }
    std::vector<Asked> asked;
    std::deque<unsigned> answers;
};

class QuilletTest : public ::testing::Test {
  protected:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "test_quillet";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance()) new QApplication(argc, argv);
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::temp_directory_path() /
               ("quillet-" + std::to_string(::getpid()) + "-" + info->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        previousDir_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
        app::setQueryWizardTexts();
        previousSink_ = setMessageSink(&messages_);
        QX_SETQWFILEPATHS(2, nullptr, nullptr);
        QX_SETQWFILEPATHS(0, nullptr, nullptr);
        currentQuery() = {};
        QXQW_Response = 0;
    }
    void TearDown() override {
        setWindowHook({});
        setMessageSink(nullptr);
        std::filesystem::current_path(previousDir_);
        std::filesystem::remove_all(dir_);
    }
    // The accounts list's fields, prepared for the class.
    FieldsQueue accountFields() {
        FieldsQueue q;
        long error = 0;
        QX_ADDFIELDSQUEUEDATA(q, error, accounts::accountsFieldsDescription());
        EXPECT_EQ(error, 0);
        QX_INITFIELDSQUEUE(q, accounts::kAccountsQueryClass);
        return q;
    }

    std::filesystem::path dir_, previousDir_;
    RecordedMessages messages_;
    MessageSink* previousSink_ = nullptr;
};

}  // namespace corvix::quillet::testing
