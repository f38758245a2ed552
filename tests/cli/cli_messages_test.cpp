// How corvix-cli shows the managers' messages: "title: text" on standard error, questions
// answered No (nobody is there to answer), a fatal error ends the command with code 1.
#include <gtest/gtest.h>

#include "cli/command.h"
#include "framework/error_manager.h"
#include "framework/prompt.h"

namespace corvix::cli {
namespace {

TEST(CliPrompt, PrintsTheMessageAndAnswersNoWhenItCan) {
    CliPrompt p;
    ::testing::internal::CaptureStderr();
    const framework::Button question =
        p.ask("Auto Increment Error", "Try Again?", framework::Icon::Exclamation,
              framework::kButtonYes | framework::kButtonNo, framework::kButtonYes);
    const framework::Button notice = p.ask("Access Denied", "read-only", framework::Icon::None,
                                           framework::kButtonOk, framework::kButtonOk);
    const framework::Button cancel =
        p.ask("Save Record", "Save?", framework::Icon::Question,
              framework::kButtonYes | framework::kButtonCancel, framework::kButtonYes);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(question, framework::kButtonNo);
    EXPECT_EQ(notice, framework::kButtonOk);
    EXPECT_EQ(cancel, framework::kButtonYes);  // no No to give: the default
    EXPECT_EQ(err,
              "Auto Increment Error: Try Again?\nAccess Denied: read-only\nSave Record: Save?\n");
}

TEST(CliPrompt, ARetryQuestionOfTheManagersEndsInsteadOfLooping) {
    CliPrompt p;
    framework::Prompt* previous = framework::setPrompt(&p);
    ::testing::internal::CaptureStderr();
    const int level = framework::errorManager().Raise(32);  // a Yes/No question
    const std::string err = ::testing::internal::GetCapturedStderr();
    framework::setPrompt(previous);
    EXPECT_EQ(level, framework::kLevelCancel);
    EXPECT_EQ(err.rfind("Auto Increment Error: Attempts to automatically number", 0), 0u) << err;
}

using CliErrorManagerDeathTest = ::testing::Test;

TEST_F(CliErrorManagerDeathTest, AFatalMessageIsPrintedPlainlyAndEndsWithCodeOne) {
    EXPECT_EXIT(
        {
            CliPrompt p;
            CliErrorManager errors;
            framework::setPrompt(&p);
            framework::setErrorManager(&errors);
            errors.SetFileName("Passwords [CVPAS]");
            errors.Raise(23);
            std::fprintf(stderr, "went on\n");
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(1),
        "^File Access Error: File \\(Passwords \\[CVPAS\\]\\) could not be opened\\.  Error: "
        "[^\n]*\\.\n$");
}

TEST_F(CliErrorManagerDeathTest, NoticesDoNotEndTheCommand) {
    EXPECT_EXIT(
        {
            CliPrompt p;
            CliErrorManager errors;
            framework::setPrompt(&p);
            framework::setErrorManager(&errors);
            errors.SetFieldName("Category of account");
            const int level = errors.RaiseWithText(14, "CVCAT");
            std::_Exit(level == framework::kLevelNotify ? 7 : 8);
        },
        ::testing::ExitedWithCode(7),
        "^Field contents error: The value of Category of account must be found in the CVCAT "
        "file\\.\n$");
}

}  // namespace
}  // namespace corvix::cli
