#include "security/session.h"

#include "runtime/date.h"
#include "security/password_text.h"

namespace corvix::security {

namespace {
struct Session {
    vault::MasRecord master;
    std::string installationId;
    double lastActivity = 0.0;
    bool loggedOn = false;
};
Session& session() {
    static Session s;
    return s;
}
}  // namespace

vault::MasRecord& MasterCopy() {
    return session().master;
}
std::string& InstallationId() {
    return session().installationId;
}
double& LastActivity() {
    return session().lastActivity;
}
bool& LoggedOn() {
    return session().loggedOn;
}

void TouchActivity() {
    session().lastActivity = runtime::momentNow();
}

bool fillInstallationId(vault::MasRecord& record) {
    bool changed = false;
    if (isBlank(record.EncPassword)) {
        record.EncPassword = isBlank(record.Password) ? std::to_string(runtime::today())
                                                      : trimTrailingBlanks(record.Password);
        changed = true;
    }
    session().installationId = record.EncPassword;
    return changed;
}

void resetSession() {
    session() = Session{};
}

}  // namespace corvix::security
