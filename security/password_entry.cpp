#include "security/password_entry.h"

#include "security/master_password.h"
#include "security/theme_source.h"

namespace corvix::security {

void tell(const char* title, const char* text, framework::Icon icon) {
    framework::prompt().ask(title, text, icon, framework::kButtonOk, framework::kButtonOk);
}

std::string basisFor(const vault::MasRecord& record) {
    if (!record.UseMasterPasswordImage) return {};
    std::optional<vault::GsdRecord> theme = findTheme(record.GSD_ID);
    return theme ? theme->Basis : std::string();
}

std::optional<::runtime::Secret> askEntry(const vault::MasRecord& record, const std::string& basis,
                                        const char* prompt, std::string_view expected) {
    LogonResult r =
        askPasswordResult(record.UseMasterPasswordImage != 0, prompt, basis, std::string(expected));
    if (!r.ok) return std::nullopt;
    return std::move(r.entry);
}

}  // namespace corvix::security
