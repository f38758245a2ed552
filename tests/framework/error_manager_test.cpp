#include "framework/error_manager.h"

#include <gtest/gtest.h>

#include "framework/message_table.h"
#include "platform/storage/errors.h"

namespace corvix::framework {
namespace {

class ErrorManagerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previousPrompt_ = setPrompt(&prompt_);
        setExitHook([this](int code) { exitCodes_.push_back(code); });
        storage::setLastError({});
    }
    void TearDown() override {
        setPrompt(previousPrompt_);
        setExitHook({});
        setThreadNumberHook({});
        storage::setLastError({});
    }
    const ScriptedPrompt::Asked& last() const { return prompt_.asked().back(); }

    ScriptedPrompt prompt_;
    Prompt* previousPrompt_ = nullptr;
    std::vector<int> exitCodes_;
    ErrorManager em_;
};

TEST(MessageTable, DefaultBlockHoldsTheFortyMessages) {
    std::vector<MessageEntry> entries;
    ASSERT_TRUE(unpackMessageTable(defaultMessageBlock(), entries));
    ASSERT_EQ(entries.size(), 40u);
    // The block starts with the little-endian count.
    std::string_view block = defaultMessageBlock();
    EXPECT_EQ(static_cast<unsigned char>(block[0]), 40);
    EXPECT_EQ(static_cast<unsigned char>(block[1]), 0);
    EXPECT_EQ(entries.front().id, 1);
    EXPECT_EQ(entries.back().id, 41);
    for (const MessageEntry& e : entries) EXPECT_NE(e.id, 29);
}

TEST(MessageTable, PackUnpackRoundTripAndLayout) {
    std::vector<MessageEntry> in = {{0x0102, 5, "T", "xy"}, {7, 1, "", ""}};
    std::string block = packMessageTable(in);
    const std::string expected("\x02\x00\x02\x01\x05\x01T\x02xy\x07\x00\x01\x00\x00", 15);
    EXPECT_EQ(block, expected);
    std::vector<MessageEntry> out;
    ASSERT_TRUE(unpackMessageTable(block, out));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].id, 0x0102);
    EXPECT_EQ(out[0].severity, 5);
    EXPECT_EQ(out[0].title, "T");
    EXPECT_EQ(out[0].text, "xy");
}

TEST(MessageTable, MalformedBlocksAreRefusedAndLeaveTheTable) {
    std::string block = packMessageTable({{1, 5, "Title", "Text"}});
    std::vector<MessageEntry> out = {{99, 0, "keep", "keep"}};
    for (size_t cut = 0; cut < block.size(); ++cut)
        EXPECT_FALSE(unpackMessageTable(block.substr(0, cut), out)) << cut;
    EXPECT_FALSE(unpackMessageTable(block + "x", out));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].id, 99);
}

TEST(MessageTable, OverlongTextsAreCutAtACharacterBoundary) {
    std::string text(254, 'a');
    text += "\xC3\xA9\xC3\xA9";  // two two-byte characters crossing the 255-byte limit
    std::vector<MessageEntry> out;
    ASSERT_TRUE(unpackMessageTable(packMessageTable({{1, 5, "t", text}}), out));
    EXPECT_EQ(out[0].text, std::string(254, 'a'));
}

TEST_F(ErrorManagerTest, DuplicateKeyWithCategory) {
    EXPECT_EQ(em_.RaiseWithText(13, "Category"), kLevelNotify);
    ASSERT_EQ(prompt_.asked().size(), 1u);
    EXPECT_EQ(last().title, "Duplicate Key Error");
    EXPECT_EQ(last().text, "Adding this record creates a duplicate entry for the key: Category");
    EXPECT_EQ(last().icon, Icon::Information);
    EXPECT_EQ(last().buttons, kButtonOk);
}

TEST_F(ErrorManagerTest, ConfirmDeleteYesAndNo) {
    prompt_.answer(kButtonNo);
    EXPECT_EQ(em_.Raise(9), kLevelCancel);
    prompt_.answer(kButtonYes);
    EXPECT_EQ(em_.Raise(9), kLevelBenign);
    ASSERT_EQ(prompt_.asked().size(), 2u);
    EXPECT_EQ(last().title, "Confirm Delete");
    EXPECT_EQ(last().text, "Are you sure you want to delete the highlighted record?");
    EXPECT_EQ(last().icon, Icon::Exclamation);
    EXPECT_EQ(last().buttons, unsigned(kButtonYes | kButtonNo));
    EXPECT_EQ(last().defaultButton, kButtonYes);
}

TEST_F(ErrorManagerTest, ErrorTextOfTheDriverForCode90) {
    storage::Error e;
    e.code = storage::kDriverError;
    e.text = "File System Error";
    e.driverCode = 26;
    e.driverText = "file is not a database";
    storage::setLastError(e);
    em_.SetFileName("Passwords [CVPAS]");
    em_.Raise(4);
    EXPECT_EQ(last().text,
              "An error was experienced during the creation of a record. Error: file is not a "
              "database (26).");

    e = {};
    e.code = storage::kAccessDenied;
    e.text = "Access Denied";
    storage::setLastError(e);
    em_.Raise(1);
    EXPECT_EQ(last().title, "Record Retrieval Error");
    EXPECT_EQ(last().text,
              "Error: (Access Denied (5)) attempting to access a record from the Passwords "
              "[CVPAS] file.  Returning to previous window.");
}

TEST_F(ErrorManagerTest, ErrorStateIsCapturedAtRaiseNotAtFill) {
    storage::Error e;
    e.code = storage::kAccessDenied;
    e.text = "Access Denied";
    storage::setLastError(e);
    em_.Raise(22);
    storage::setLastError({});
    EXPECT_EQ(em_.SavedErrorCode(), storage::kAccessDenied);
    em_.AddMessages({{200, 5, "t", "%ErrorCode/%Error"}});
    storage::setLastError(e);
    em_.Raise(200);
    EXPECT_EQ(last().text, "5/Access Denied");
}

TEST_F(ErrorManagerTest, PlaceholdersLongestFirstCaseInsensitiveNotSearchedAgain) {
    storage::Error e;
    e.code = storage::kDriverError;
    e.text = "Driver Error";
    e.driverCode = 11;
    e.driverText = "malformed";
    storage::setLastError(e);
    em_.SetFileName("%Field");  // an inserted value is not searched again
    em_.SetFieldName("Name   ");
    em_.AddMessages({{100, 5, "T",
                      "[%FILE][%fileerrorcode][%FileError][%ErrorCode][%errortext][%Error]"
                      "[%Message][%field][%Nothing][100%][%]"}});
    em_.RaiseWithText(100, "msg");
    EXPECT_EQ(last().text,
              "[%Field][11][malformed][90][malformed (11)][Driver Error][msg][Name][%Nothing]"
              "[100%][%]");
}

TEST_F(ErrorManagerTest, ProcedureStackPerThread) {
    int thread = 2;
    setThreadNumberHook([&] { return thread; });
    em_.AddMessages({{101, 5, "T", "in %Procedure."}});
    em_.PushProcedureName("BrowseCVPAS");
    em_.PushProcedureName("UpdateCVPAS");
    thread = 3;
    em_.PushProcedureName("Wizard:AddPassword");
    thread = 2;
    em_.Raise(101);
    EXPECT_EQ(last().text, "in UpdateCVPAS.");
    em_.PopProcedureName();  // the form closed
    em_.Raise(101);
    EXPECT_EQ(last().text, "in BrowseCVPAS.");
    thread = 3;
    em_.Raise(101);
    EXPECT_EQ(last().text, "in Wizard:AddPassword.");
    thread = 4;
    em_.Raise(101);
    EXPECT_EQ(last().text, "in .");
    em_.PopProcedureName();  // nothing to pop on thread 4: others unaffected
    thread = 3;
    EXPECT_EQ(em_.CurrentProcedure(), "Wizard:AddPassword");
    em_.ForgetThread(3);
    EXPECT_EQ(em_.CurrentProcedure(), "");
}

TEST_F(ErrorManagerTest, LastEntryWinsAndPreviousGivesTheOverriddenText) {
    em_.AddMessages({{9, 5, "Delete?", "Really? (%Previous)"}});
    EXPECT_EQ(em_.Raise(9), kLevelNotify);
    EXPECT_EQ(last().title, "Delete?");
    EXPECT_EQ(last().text, "Really? (Are you sure you want to delete the highlighted record?)");
    em_.AddMessages({{150, 5, "T", "none:%Previous."}});
    em_.Raise(150);
    EXPECT_EQ(last().text, "none:.");
}

TEST_F(ErrorManagerTest, FatalShowsOkAndEndsWithNonZeroCode) {
    storage::Error e;
    e.code = storage::kFileNotFound;
    e.text = "File Not Found";
    storage::setLastError(e);
    em_.SetFileName("Category [CVCAT]");
    EXPECT_EQ(em_.Raise(23), kLevelFatal);
    EXPECT_EQ(last().title, "File Access Error");
    EXPECT_EQ(last().text,
              "File (Category [CVCAT]) could not be opened.  Error: File Not Found (2).  Press "
              "OK to end this application");
    EXPECT_EQ(last().buttons, kButtonOk);
    EXPECT_EQ(last().icon, Icon::Information);
    ASSERT_EQ(exitCodes_.size(), 1u);
    EXPECT_NE(exitCodes_[0], 0);
}

TEST_F(ErrorManagerTest, ProgramAndOtherSeveritiesEndTheProgramToo) {
    em_.SetFileName("Passwords [CVPAS]");
    EXPECT_EQ(em_.Raise(39), kLevelProgram);
    EXPECT_EQ(last().text,
              "Attempt to use file (Passwords [CVPAS]) before it was opened  Press OK to end "
              "this application");
    em_.AddMessages({{120, 9, "Odd", "odd"}});
    em_.Raise(120);
    EXPECT_EQ(exitCodes_.size(), 2u);
}

TEST_F(ErrorManagerTest, BenignShowsNothingAndCancelSeverityAsks) {
    em_.AddMessages({{110, 0, "Quiet", "quiet"}, {111, 4, "Sure?", "sure?"}});
    EXPECT_EQ(em_.Raise(110), kLevelBenign);
    EXPECT_TRUE(prompt_.asked().empty());
    prompt_.answer(kButtonNo);
    EXPECT_EQ(em_.Raise(111), kLevelCancel);
    EXPECT_EQ(last().buttons, unsigned(kButtonYes | kButtonNo));
}

TEST_F(ErrorManagerTest, AskMessageUsesGivenButtonsAndExclamation) {
    prompt_.answer(kButtonCancel);
    Button b = em_.AskMessage(35, kButtonYes | kButtonNo | kButtonCancel, kButtonYes);
    EXPECT_EQ(b, kButtonCancel);
    EXPECT_EQ(last().title, "Save Record");
    EXPECT_EQ(last().icon, Icon::Exclamation);
    EXPECT_EQ(last().buttons, unsigned(kButtonYes | kButtonNo | kButtonCancel));
    // A notify message asked this way still gets the caller's buttons.
    prompt_.answer(kButtonNo);
    EXPECT_EQ(em_.AskMessage(6, kButtonYes | kButtonNo, kButtonNo), kButtonNo);
    EXPECT_EQ(last().icon, Icon::Exclamation);
}

TEST_F(ErrorManagerTest, UnknownIdIsANoticeNotACrash) {
    EXPECT_EQ(em_.Raise(29), kLevelNotify);
    EXPECT_EQ(last().text, "Message 29 is not in the message table.");
    EXPECT_TRUE(exitCodes_.empty());
}

TEST_F(ErrorManagerTest, StoredTextsAreTrimmedAndLimited) {
    em_.SetFileName(std::string(300, 'f') + "   ");
    EXPECT_EQ(em_.GetFileName(), std::string(255, 'f'));
    em_.SetFieldName("Category of account   ");
    EXPECT_EQ(em_.GetFieldName(), "Category of account");
    em_.RaiseWithText(14, "CVCAT   ");
    EXPECT_EQ(last().text, "The value of Category of account must be found in the CVCAT file.");
}

TEST_F(ErrorManagerTest, FilledTextIsLimitedTo2000Characters) {
    em_.AddMessages({{130, 5, "T",
                      "%Message%Message%Message%Message%Message%Message%Message%Message%Message"}});
    em_.RaiseWithText(130, std::string(255, 'x'));
    EXPECT_EQ(last().text.size(), 2000u);
}

TEST_F(ErrorManagerTest, ExactTextsOfSomeMessages) {
    EXPECT_EQ(em_.MessageTitle(15), "Value Error");
    EXPECT_EQ(em_.Lookup(15).text, "The value of %Field must be in the list : %Message.");
    EXPECT_EQ(em_.Lookup(7).text,
              "This record was changed by another station. Those changes will now be displayed. "
              "Use the Ditto Button or Ctrl+' to recall your changes.");
    EXPECT_EQ(em_.Lookup(32).severity, kLevelUser);
    EXPECT_EQ(em_.Lookup(26).severity, kLevelFatal);
    EXPECT_EQ(em_.Lookup(39).severity, kLevelProgram);
    EXPECT_EQ(em_.Lookup(19).text, "%File File Load Error.  Error: %ErrorText.");
}

TEST(ErrorManagerSingleton, InstallAndRestore) {
    ErrorManager mine;
    ErrorManager* before = setErrorManager(&mine);
    EXPECT_EQ(&errorManager(), &mine);
    setErrorManager(before);
    EXPECT_NE(&errorManager(), &mine);
}

}  // namespace
}  // namespace corvix::framework
