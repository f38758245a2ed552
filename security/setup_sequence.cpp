#include "security/setup_sequence.h"

#include "security/password_entry.h"
#include "security/password_text.h"
#include "security/session.h"

namespace corvix::security {

namespace {

// Asks the new password twice on the record's medium and theme. False (reported) when
// either entry was cancelled or the two differ.
bool askNewPassword(const vault::MasRecord& record, ::runtime::Secret& entered) {
    const std::string basis = basisFor(record);
    std::optional<::runtime::Secret> first = askEntry(record, basis, kNewPasswordPrompt, "");
    std::optional<::runtime::Secret> second;
    if (first) second = askEntry(record, basis, kConfirmPasswordPrompt, first->view());
    if (!first || !second) {
        tell("Information", kChangeCancelledText, framework::Icon::Information);
        return false;
    }
    if (!passwordMatches(first->view(), trimTrailingBlanks(second->view()))) {
        tell("Error", kMismatchText, framework::Icon::Hand);
        return false;
    }
    entered = std::move(*first);
    return true;
}

}  // namespace

SetupOpening openingOf(const vault::MasRecord& record, bool isNew, int request) {
    return {isNew, record.GSD_ID, record.UseMasterPasswordImage != 0, request};
}

bool newPasswordRequired(const SetupOpening& opening, const vault::MasRecord& record) {
    return opening.isNew || record.GSD_ID != opening.gsdId ||
           (record.UseMasterPasswordImage != 0) != opening.useImage;
}

SetupVerdict completeSetup(vault::MasRecord& record, const SetupOpening& opening, int requestNow) {
    if (record.UseMasterPasswordImage && record.GSD_ID == 0) {
        tell("Error", kNoThemeText, framework::Icon::Hand);
        return SetupVerdict::NoTheme;
    }
    if (requestNow != opening.request) tell("Error", kRequestLostText, framework::Icon::Hand);

    if (newPasswordRequired(opening, record)) {
        // The old password stays at hand: a cancelled entry must leave the settings in
        // force as they were, not a blank password waiting in the buffer.
        ::runtime::Secret previous = ::runtime::Secret::adopt(record.Password);
        tell("Tip", opening.isNew ? kNewVaultPasswordTip : kNewImagePasswordTip,
             framework::Icon::Information);
        // The image windows show the theme MasterCopy names: the one just chosen.
        vault::MasRecord keptCopy = MasterCopy();
        MasterCopy() = record;
        ::runtime::Secret entered;
        const bool set = askNewPassword(record, entered);
        ::runtime::wipe(MasterCopy().Password);
        MasterCopy() = std::move(keptCopy);
        if (!set) {
            record.Password.assign(previous.view());
            tell("Note", kPasswordCancelledNote, framework::Icon::Exclamation);
            return SetupVerdict::PasswordNotSet;
        }
        record.Password = clipChars(entered.view(), kPasswordChars);
    }
    fillInstallationId(record);
    MasterCopy() = record;
    if (opening.isNew) tell("Tip", kSetupCompletedTip, framework::Icon::Information);
    return SetupVerdict::Completed;
}

}  // namespace corvix::security
