#include <optional>
#include <string>

#include "send/key_names.h"
#include "send/key_sender.h"
#include "send/send_account.h"
#include "send/text.h"
#include "send_fixture.h"

namespace corvix::send::testing {
namespace {

TEST(KeyNameTable, HoldsTheEntriesInTableOrder) {
    const auto& t = KeyNameTable();
    ASSERT_EQ(t.size(), 105u);
    EXPECT_EQ(t[0].name, "A");
    EXPECT_EQ(t[0].code, 65);
    EXPECT_EQ(t[1].name, "Ast");
    EXPECT_EQ(t[1].code, 106);
    EXPECT_EQ(t[20].name, "F1");
    EXPECT_EQ(t[20].code, 112);
    EXPECT_EQ(t[28].name, "F9");
    EXPECT_EQ(t[28].code, 120);
    EXPECT_EQ(t[91].name, "Pad9");
    EXPECT_EQ(t[91].code, 105);
    EXPECT_EQ(t[100].name, "PrintScreen");
    EXPECT_EQ(t[101].name, "Print");
    EXPECT_EQ(t[101].code, 42);
    EXPECT_EQ(t[104].name, "Alt");
    EXPECT_EQ(t[104].code, 18);
    EXPECT_EQ(t[3].upper, U"BS");
}

TEST(KeyNameTable, PackedFormStartsWithTheCountAndRejectsDamage) {
    auto packed = packedKeyNames();
    ASSERT_GE(packed.size(), 5u);
    EXPECT_EQ(packed[0] | (packed[1] << 8), 105);
    EXPECT_EQ(packed[2], 1);  // "A": one character
    EXPECT_EQ(packed[3], 'A');
    EXPECT_EQ(packed[4], 65);

    std::vector<KeyName> out;
    EXPECT_TRUE(unpackKeyNames(packed, out));
    EXPECT_EQ(out.size(), 105u);
    EXPECT_FALSE(unpackKeyNames(packed.first(packed.size() - 1), out));
    EXPECT_TRUE(out.empty());
    std::vector<uint8_t> longer(packed.begin(), packed.end());
    longer.push_back(0);
    EXPECT_FALSE(unpackKeyNames(longer, out));
    EXPECT_FALSE(unpackKeyNames({}, out));
}

class ParseTokenTest : public ::testing::Test {
  protected:
    void SetUp() override { ks.Init("[]"); }
    uint32_t parse(std::string_view t) { return ks.ParseToken(toU32(t)); }
    KeySender ks;
};

TEST_F(ParseTokenTest, KeyNamesAndModifiers) {
    EXPECT_EQ(parse("tab"), 9u);
    EXPECT_EQ(parse("TAB"), 9u);
    EXPECT_EQ(parse("Tab"), 9u);
    EXPECT_EQ(parse("+tab"), 256u + 9);
    EXPECT_EQ(parse("shift+tab"), 256u + 9);
    EXPECT_EQ(parse("ShiftTab"), 256u + 9);
    EXPECT_EQ(parse("^c"), 512u + 67);
    EXPECT_EQ(parse("ctrl-c"), 512u + 67);
    EXPECT_EQ(parse("%f4"), 1024u + 115);
    EXPECT_EQ(parse("altf4"), 1024u + 115);
    EXPECT_EQ(parse("*r"), 2048u + 82);
    EXPECT_EQ(parse("winr"), 2048u + 82);
    EXPECT_EQ(parse("keyenter"), 13u);
    EXPECT_EQ(parse("enterkey"), 13u);
    EXPECT_EQ(parse("+^%*a"), 256u + 512 + 1024 + 2048 + 65);
    EXPECT_EQ(parse("F10"), 121u);
    EXPECT_EQ(parse("pad7"), 103u);
}

TEST_F(ParseTokenTest, PrintLooksUpTheLaterEntry) {
    EXPECT_EQ(parse("Print"), 42u);
    EXPECT_EQ(parse("PrintScreen"), 44u);
}

TEST_F(ParseTokenTest, ModifiersAloneAndUnknownNames) {
    EXPECT_EQ(parse("shift"), 256u);
    EXPECT_EQ(parse("ctrl"), 512u);
    EXPECT_EQ(parse("alt"), 1024u);
    EXPECT_EQ(parse("^"), 512u);
    EXPECT_EQ(parse("shift tab"), 256u);  // " TAB" is no name
    EXPECT_EQ(parse("foo"), 0u);
    EXPECT_EQ(parse("password"), 0u);
    EXPECT_EQ(parse(""), 0u);
    EXPECT_EQ(parse("-"), 0u);
}

TEST(KeySenderInit, DelimitersFromAString) {
    KeySender ks;
    ks.Init("");
    EXPECT_EQ(ks.DELIMITERLEFT, U' ');
    EXPECT_EQ(ks.DELIMITERRIGHT, U' ');
    ks.Init("|  ");
    EXPECT_EQ(ks.DELIMITERLEFT, U'|');
    EXPECT_EQ(ks.DELIMITERRIGHT, U'|');
    ks.Init("<>x");
    EXPECT_EQ(ks.DELIMITERLEFT, U'<');
    EXPECT_EQ(ks.DELIMITERRIGHT, U'>');
    EXPECT_EQ(ks.TRNQ.size(), 105u);
    EXPECT_TRUE(ks.initialised());
    ks.Kill();
    EXPECT_TRUE(ks.TRNQ.empty());
    EXPECT_FALSE(ks.initialised());
}

class TypeTest : public SendTest {
  protected:
    void SetUp() override {
        SendTest::SetUp();
        win = desk.addWindow("Target");
        desk.activate(win);
        desk.clearEvents();
    }
    std::string typed(std::string_view script) {
        keySender().Type(script);
        return desk.receivedText(win);
    }
    desktop::WindowHandle win = 0;
};

TEST_F(TypeTest, UpperCaseLetterIsShiftPlusKey) {
    keySender().Type("Ab1");
    EXPECT_EQ(desk.keyTrace(), "+16 +65 -65 -16 +66 -66 +49 -49");
    EXPECT_EQ(desk.receivedText(win), "Ab1");
}

TEST_F(TypeTest, CapsLockIsSwitchedOffWhileTypingAndBackOnAfter) {
    desk.setCapsLock(true);
    keySender().Type("Ab1");
    EXPECT_EQ(desk.keyTrace(), "+20 -20 +16 +65 -65 -16 +66 -66 +49 -49 +20 -20");
    EXPECT_EQ(desk.receivedText(win), "Ab1");
    EXPECT_TRUE(desk.capsLockOn());
}

TEST_F(TypeTest, KeyTokensDoNotTouchCapsLock) {
    desk.setCapsLock(true);
    keySender().Type("[a]");
    EXPECT_EQ(desk.keyTrace(), "+65 -65");
    EXPECT_EQ(desk.receivedText(win), "A");
}

TEST_F(TypeTest, AllFourModifiersPressAndReleaseInFixedOrder) {
    keySender().Press(256 | 512 | 1024 | 2048 | 65);
    EXPECT_EQ(desk.keyTrace(), "+16 +17 +18 +91 +65 -65 -16 -17 -18 -91");
    EXPECT_TRUE(desk.keysDown().empty());
}

TEST_F(TypeTest, DoubledLeftBracketTypesOneBracket) {
    EXPECT_EQ(typed("[[tab]"), "[tab]");
    EXPECT_EQ(desk.keyTrace().find("+9 "), std::string::npos);
}

TEST_F(TypeTest, EmptyAndUnterminatedTokensAreTypedLiterally) {
    EXPECT_EQ(typed("[]"), "[]");
    desk.clearReceivedText(win);
    EXPECT_EQ(typed("[tab"), "[tab");
    desk.clearReceivedText(win);
    EXPECT_EQ(typed("[foo]x"), "[foo]x");
    desk.clearReceivedText(win);
    EXPECT_EQ(typed("x[ ]y"), "x[ ]y");
}

TEST_F(TypeTest, PrintAndPrintScreenCodes) {
    keySender().Type("[Print]");
    EXPECT_EQ(desk.keyTrace(), "+42 -42");
    desk.clearEvents();
    keySender().Type("[PrintScreen]");
    EXPECT_EQ(desk.keyTrace(), "+44 -44");
}

TEST_F(TypeTest, ShiftBlankTabPressesShiftAlone) {
    keySender().Type("[shift tab]");
    EXPECT_EQ(desk.keyTrace(), "+16 +0 -0 -16");
    EXPECT_EQ(desk.receivedText(win), "");
    desk.clearEvents();
    keySender().Type("[shifttab]");
    EXPECT_EQ(desk.keyTrace(), "+16 +9 -9 -16");
}

TEST_F(TypeTest, CaseOfKeyNamesDoesNotMatter) {
    EXPECT_EQ(typed("[TAB][Tab][tab]"), "\t\t\t");
}

TEST_F(TypeTest, BlankRunsBetweenTokensAreNotTypedButInnerBlanksAre) {
    EXPECT_EQ(typed("[tab] [tab]"), "\t\t");
    desk.clearReceivedText(win);
    EXPECT_EQ(typed("a b[enter]c d  "), "a b\nc d");
}

TEST_F(TypeTest, BlankTextSendsNothing) {
    keySender().Type("     ");
    keySender().Type("");
    keySender().TypeChars(U"   ");
    EXPECT_TRUE(desk.events().empty());
}

TEST_F(TypeTest, ShortcutTokensReachTheWindowAsShortcuts) {
    keySender().Type("[ctrl-c][winr][%f4]");
    std::vector<std::string> expected{"Ctrl+C", "Win+R", "Alt+F4"};
    EXPECT_EQ(desk.shortcuts(win), expected);
    EXPECT_TRUE(desk.keysDown().empty());
}

TEST_F(TypeTest, TokensAreCutAtThirtyTwoCharacters) {
    // 35 characters between the brackets: the cut leaves "shift", 26 dashes and "t".
    keySender().Type("[shift" + std::string(26, '-') + "tab]");
    EXPECT_EQ(desk.keyTrace(), "+16 +84 -84 -16");
}

TEST_F(TypeTest, CharactersWithoutAKeyGoThroughTheBackendOrAreSkipped) {
    EXPECT_EQ(typed("né"), "né");
    EXPECT_EQ(desk.unmappedChars(), U"é");
    EXPECT_EQ(desk.keyTrace(), "+78 -78");  // only the n was pressed as a key

    desk.clearEvents();
    desk.clearReceivedText(win);
    desk.setCanTypeUnmapped(false);
    EXPECT_EQ(typed("aéb"), "ab");
    EXPECT_EQ(desk.keyTrace(), "+65 -65 +66 -66");
}

// The backend's pause lets the program's events run: a send started meanwhile is refused
// ("Cannot Send"), and as its activation took the focus, the key that waited is not
// pressed and typing stops with every key released.
TEST_F(TypeTest, ASendDuringAPauseIsRefusedAndTheMovedFocusStopsTyping) {
    const auto other = desk.addWindow("Other");
    desk.pauseBeforeUnmapped(std::chrono::milliseconds(30));
    std::optional<SendResult> nested;
    onYield = [&] {
        if (nested) return;
        nested = SendResult::Sent;  // the nested send yields too
        nested = SendAccount(account(2, "Other", "zz"));
    };
    EXPECT_EQ(keySender().Type("A\u20ACb", win), TypeResult::FocusLost);
    EXPECT_EQ(nested, SendResult::Busy);
    ASSERT_EQ(prompt.asked().size(), 1u);
    EXPECT_EQ(prompt.asked()[0].title, "Cannot Send");
    EXPECT_EQ(prompt.asked()[0].text,
              "Another account is being typed; nothing was typed into the target window (Other).");
    EXPECT_EQ(desk.receivedText(win), "A");
    EXPECT_EQ(desk.receivedText(other), "");
    EXPECT_TRUE(desk.unmappedChars().empty());
    EXPECT_TRUE(desk.keysDown().empty());
    EXPECT_FALSE(keySender().typing());
}

TEST_F(TypeTest, TypingBufferHoldsTwoThousandFortyEightCharacters) {
    std::string text = typed(std::string(3000, 'x'));
    EXPECT_EQ(text.size(), 2048u);
}

TEST_F(TypeTest, OtherDelimiters) {
    keySender().Init("<>");
    EXPECT_EQ(typed("a<tab>b[tab]"), "a\tb[tab]");
}

TEST_F(TypeTest, TypingFlushesTheDesktop) {
    int before = desk.flushCount();
    keySender().Type("x");
    EXPECT_EQ(desk.flushCount(), before + 1);
}

TEST(KeySenderDesktop, GoesToItsOwnDesktopOrTheCurrentOneOrNowhere) {
    desktop::SimulatedDesktop own;
    NoDisplay none;
    KeySender ks;
    ks.Init("[]");
    ks.Type("ab[tab]");  // no desktop at all: nothing happens
    EXPECT_TRUE(own.events().empty());
    ks.setDesktop(&own);
    ks.Type("a");
    EXPECT_EQ(own.keyTrace(), "+65 -65");
}

}  // namespace
}  // namespace corvix::send::testing
