#include "security/cli_logon.h"

#include "framework/prompt.h"
#include "security/master_password.h"
#include "security/password_text.h"
#include "security/session.h"

namespace corvix::security {

CliLogon checkMasterPasswordTyped(
    const std::function<std::optional<::runtime::Secret>()>& readPassword) {
    const vault::MasRecord& master = MasterCopy();
    if (isBlank(master.Password)) return CliLogon::Granted;
    if (master.UseMasterPasswordImage) return CliLogon::NeedsWindow;
    std::optional<::runtime::Secret> typed = readPassword ? readPassword() : std::nullopt;
    if (!typed) return CliLogon::Cancelled;
    if (passwordMatches(typed->view(), master.Password)) return CliLogon::Granted;
    framework::prompt().ask(kAccessDeniedTitle, kAccessDeniedText, framework::Icon::Exclamation,
                            framework::kButtonOk, framework::kButtonOk);
    return CliLogon::Denied;
}

}  // namespace corvix::security
