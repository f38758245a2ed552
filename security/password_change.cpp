#include "security/password_change.h"

#include <optional>

#include "framework/prompt.h"
#include "runtime/secret.h"
#include "security/master_password.h"
#include "security/password_text.h"
#include "security/setup_sequence.h"
#include "security/theme_source.h"

namespace corvix::security {

namespace {

void tell(const char* title, const char* text, framework::Icon icon) {
    framework::prompt().ask(title, text, icon, framework::kButtonOk, framework::kButtonOk);
}

std::optional<runtime::Secret> ask(const vault::MasRecord& record, const std::string& basis,
                                   const char* prompt, std::string_view expected) {
    LogonResult r =
        askPasswordResult(record.UseMasterPasswordImage != 0, prompt, basis, std::string(expected));
    if (!r.ok) {
        tell("Information", kChangeCancelledText, framework::Icon::Information);
        return std::nullopt;
    }
    return runtime::Secret::adopt(r.entry);
}

}  // namespace

bool currentPasswordAsked(const vault::MasRecord& record, bool loggedOn) {
    return !loggedOn && !isBlank(record.Password);
}

bool changeMasterPassword(vault::MasRecord& record, bool loggedOn) {
    std::string basis;
    if (record.UseMasterPasswordImage)
        if (std::optional<vault::GsdRecord> theme = findTheme(record.GSD_ID)) basis = theme->Basis;
    if (currentPasswordAsked(record, loggedOn)) {
        std::optional<runtime::Secret> current =
            ask(record, basis, kCurrentPasswordPrompt, record.Password);
        if (!current) return false;
        if (!passwordMatches(current->view(), record.Password)) {
            tell("Information", kPasswordDidNotMatchText, framework::Icon::Information);
            return false;
        }
    }
    std::optional<runtime::Secret> first = ask(record, basis, kNewPasswordPrompt, "");
    if (!first) return false;
    std::optional<runtime::Secret> second =
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
