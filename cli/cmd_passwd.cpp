// corvix-cli passwd: sets, changes or removes a typed master password by the same steps as
// the program's Change Master Password: the current password when one is set, then the
// new one twice. On a terminal nothing is echoed; otherwise one line of standard input
// per entry.
#include <cstdio>

#include "cli/master_record.h"
#include "runtime/secret.h"
#include "security/master_password.h"
#include "security/password_change.h"
#include "security/session.h"

namespace corvix::cli {
namespace {

// The entries come from the terminal or standard input; an image password cannot be
// typed, so its windows are never asked for here.
security::LogonResult typedEntry(const security::LogonRequest& request) {
    security::LogonResult r;
    if (request.window != security::LogonWindow::Normal) return r;
    ::runtime::Secret line;
    if (!readSecret(request.prompt, line)) return r;
    r.ok = true;
    r.entry = std::move(line);
    return r;
}

int runPasswd(const std::vector<std::string>& args) {
    if (!args.empty()) return usageError("passwd", "passwd takes no arguments");
    ManagedSession session;
    int rc = session.open();
    if (rc == kExitOk && !session.state().setUp)
        return failWith("Not set up",
                        "The vault has not been set up yet.  Run \"corvix-cli init\" first.");
    if (rc == kExitOk) rc = readMasterRecord(session);
    if (rc != kExitOk) return rc;
    vault::MasRecord& m = session.managers().masRecord.record();
    if (m.UseMasterPasswordImage)
        return failWith("Change Master Password", kImagePasswordNeedsProgram);
    security::MasterCopy() = m;
    security::setLogonRunner(typedEntry);
    // Not logged on: a password that is set must be given first.
    const bool changed = security::changeMasterPassword(m, false);
    security::setLogonRunner({});
    if (!changed) return kExitError;  // reported by the steps
    const bool removed = m.Password.empty();
    rc = saveMasterRecord(session);
    ::runtime::wipe(m.Password);
    ::runtime::wipe(security::MasterCopy().Password);
    if (rc == kExitOk)
        std::printf("%s\n", removed ? "master password removed" : "master password changed");
    return rc;
}

}  // namespace

CORVIX_CLI_COMMAND(kPasswd, "passwd", "passwd",
                   "sets, changes or removes a typed master password (asked without echo)",
                   runPasswd);

}  // namespace corvix::cli
