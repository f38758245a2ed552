// libFuzzer target: an account's action as the user wrote it, with field macros, key
// tokens between delimiters and any text, typed into a simulated desktop. Expansion keeps
// to its length; typing ends with no key held down, also when the focus moves away
// halfway, and then stops; key tokens and packed key-name tables parse or are refused.
#include "platform/desktop/simulated_desktop.h"
#include "send/field_macros.h"
#include "send/key_names.h"
#include "send/key_sender.h"
#include "send/text.h"
#include "tests/fuzz/fuzz_support.h"

using namespace corvix::fuzz;
namespace sd = corvix::send;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    // Two control bytes (delimiters, focus move), then action NUL name NUL password.
    static const char* const kDelimiters[] = {"", "[]", "{}", "<", "||", "\xc3\xa4\xc3\xb6"};
    const char* delimiters = kDelimiters[data[0] % 6];
    const int focusMoveAfter = data[1] % 16;
    std::string_view rest = bytes(data + 2, size - 2);
    corvix::vault::PasRecord account;
    const std::string action(takePart(rest));
    account.Name = std::string(takePart(rest));
    account.Password = std::string(rest);

    const ::runtime::Secret expanded = sd::ExpandFieldMacros(account, action, "07/12/2026");
    FUZZ_CHECK(sd::toU32(expanded.view()).size() <= sd::kExpansionChars);

    corvix::desktop::SimulatedDesktop desktop;
    const auto target = desktop.addWindow("Target");
    const auto other = desktop.addWindow("Other");
    desktop.setForeground(target);
    if (focusMoveAfter) desktop.moveFocusAfterKeys(focusMoveAfter, other);
    sd::KeySender sender;
    sender.setDesktop(&desktop);
    sender.Init(delimiters);
    const sd::TypeResult typed = sender.Type(expanded.view(), target);
    FUZZ_CHECK(typed == sd::TypeResult::Typed || typed == sd::TypeResult::FocusLost);
    FUZZ_CHECK(desktop.keysDown().empty());
    // The focus is checked before each key with its modifiers: at most the key in flight
    // when the focus moved reaches the other window.
    if (typed == sd::TypeResult::FocusLost)
        FUZZ_CHECK(sd::toU32(desktop.receivedText(other)).size() <= 1);

    // The token on its own, as a hot-key name would be given.
    (void)sd::parseKeyToken(sd::upper(sd::toU32(action)), sd::kHotKeyCodeBits, sd::KeyNameTable());
    std::vector<sd::KeyName> names;
    const auto* raw = reinterpret_cast<const uint8_t*>(action.data());
    if (!sd::unpackKeyNames({raw, action.size()}, names)) FUZZ_CHECK(names.empty());
    return 0;
}
