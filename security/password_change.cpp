#include "security/password_change.h"

#include <optional>

#include "security/password_entry.h"
#include "security/password_text.h"
#include "security/setup_sequence.h"

namespace corvix::security {

namespace {

// One entry; a cancel is reported here, as every step reports it the same way.
std::optional<::runtime::Secret> ask(const vault::MasRecord& record, const std::string& basis,
                                   const char* prompt, std::string_view expected) {
    std::optional<::runtime::Secret> entry = askEntry(record, basis, prompt, expected);
    if (!entry) tell("Information", kChangeCancelledText, framework::Icon::Information);
    return entry;
}

}  // namespace

bool currentPasswordAsked(const vault::MasRecord& record, bool loggedOn) {
    return !loggedOn && !isBlank(record.Password);
}

bool changeMasterPassword(vault::MasRecord& record, bool loggedOn) {
    const std::string basis = basisFor(record);
    if (currentPasswordAsked(record, loggedOn)) {
        std::optional<::runtime::Secret> current =
            ask(record, basis, kCurrentPasswordPrompt, record.Password);
        if (!current) return false;
        if (!passwordMatches(current->view(), record.Password)) {
            tell("Information", kPasswordDidNotMatchText, framework::Icon::Information);
            return false;
        }
    }
    std::optional<::runtime::Secret> first = ask(record, basis, kNewPasswordPrompt, "");
    if (!first) return false;
    std::optional<::runtime::Secret> second =
        ask(record, basis, kConfirmPasswordPrompt, first->view());
    if (!second) return false;
    if (!passwordMatches(first->view(), trimTrailingBlanks(second->view()))) {
        tell("Error", kMismatchText, framework::Icon::Hand);
        return false;
    }
    record.Password = clipChars(first->view(), kPasswordChars);
    return true;
}

}  // namespace corvix::security
