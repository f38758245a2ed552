// corvix-cli settings show / settings set: the preferences of the master record that do
// not depend on a picture (shown passwords, inactivity logoff, custom field captions),
// changed through the same completion as the set-up wizard's OK.
#include <cstdio>

#include "cli/master_record.h"
#include "framework/requests.h"
#include "security/password_text.h"
#include "security/setup_sequence.h"
#include "security/theme_source.h"
#include "vault/tables.h"

namespace corvix::cli {

int readMasterRecord(ManagedSession& session) {
    framework::FileManager& mas = session.managers().mas;
    mas.SetOrder(storage::kPhysicalOrder);
    if (mas.TryNext() == framework::kLevelBenign) return kExitOk;
    if (mas.PendingError() != 0) {
        mas.RaisePending();
        return kExitError;
    }
    return failWith("Not set up",
                    "The vault has not been set up yet.  Run \"corvix-cli init\" first.");
}

int saveMasterRecord(ManagedSession& session) {
    return session.managers().mas.Update() == framework::kLevelBenign ? kExitOk : kExitError;
}

namespace {

const char* onOff(bool on) {
    return on ? "on" : "off";
}

int runShow(const std::vector<std::string>& args) {
    if (!args.empty()) return usageError("settings show", "settings show takes no arguments");
    // Like status, it shows no account data and no password, so it asks for none; this
    // also lets a vault with an image password be looked at from here.
    ManagedSession session;
    int rc = session.open();
    if (rc == kExitOk) rc = readMasterRecord(session);
    if (rc != kExitOk) return rc;
    const vault::MasRecord& m = session.managers().masRecord.record();
    std::string medium = m.Password.empty() ? "none" : "typed";
    if (m.UseMasterPasswordImage) {
        std::optional<vault::GsdRecord> theme = security::findTheme(m.GSD_ID);
        medium = "image theme " + (theme ? "\"" + theme->Description + "\" (" + theme->Basis + ")"
                                         : "number " + std::to_string(m.GSD_ID) + " (missing)");
    }
    std::printf("reveal passwords: %s\n", onOff(m.RevealPasswords));
    std::printf("master password: %s\n", medium.c_str());
    if (m.MonitorInactivity)
        std::printf("inactivity: log off after %d minutes%s\n", m.InactivityTimeout,
                    m.InactivityTimeout == 0 ? " (0: never)" : "");
    else
        std::printf("inactivity: off\n");
    std::printf("custom 1: %s\ncustom 2: %s\ncustom 3: %s\n", m.Custom1.c_str(), m.Custom2.c_str(),
                m.Custom3.c_str());
    std::printf("sounds: %s\n", onOff(m.PlaySounds));
    std::printf("sound click: %s\nsound send: %s\nsound other: %s\n", m.Sound_Click.c_str(),
                m.Sound_Send.c_str(), m.Sound_Other.c_str());
    return kExitOk;
}

// The new values of the options given; false with *why for a bad one.
bool applyOptions(const Options& o, vault::MasRecord& m, std::string* why) {
    if (o.hasValue("--reveal-passwords")) {
        const std::string v = o.value("--reveal-passwords");
        if (v != "on" && v != "off") {
            *why = "--reveal-passwords takes on or off";
            return false;
        }
        m.RevealPasswords = v == "on";
    }
    if (o.hasValue("--inactivity")) {
        const std::string v = o.value("--inactivity");
        long minutes = 0;
        if (v == "off") {
            m.MonitorInactivity = 0;
        } else if (parseNumber(v, 1, 9999, &minutes)) {
            m.MonitorInactivity = 1;
            m.InactivityTimeout = static_cast<int32_t>(minutes);
        } else {
            *why = "--inactivity takes a number of minutes from 1 to 9999, or off";
            return false;
        }
    }
    std::string* labels[3] = {&m.Custom1, &m.Custom2, &m.Custom3};
    for (int i = 0; i < 3; ++i) {
        const std::string name = "--custom" + std::to_string(i + 1);
        if (!o.hasValue(name)) continue;
        const std::string v = o.value(name);
        if (security::toChars(v).size() > 20) {
            *why = name + " takes at most 20 characters";
            return false;
        }
        *labels[i] = v;
    }
    return true;
}

int runSet(const std::vector<std::string>& args) {
    Options o;
    std::string why;
    const std::vector<std::string> names = {"--reveal-passwords", "--inactivity", "--custom1",
                                            "--custom2", "--custom3"};
    if (!parseOptions(args, {}, names, o, &why)) return usageError("settings set", why);
    if (!o.positional.empty() || o.values.empty())
        return usageError("settings set", "give at least one setting to change");
    vault::MasRecord scratch;  // bad values are refused before any password is asked
    if (!applyOptions(o, scratch, &why)) return usageError("settings set", why);
    ManagedSession session;
    int rc = session.openAndLogOn();
    if (rc == kExitOk) rc = readMasterRecord(session);
    if (rc != kExitOk) return rc;
    vault::MasRecord& m = session.managers().masRecord.record();
    const security::SetupOpening opening = security::openingOf(m, false, framework::kChangeRecord);
    if (!applyOptions(o, m, &why)) return usageError("settings set", why);
    // The medium and the theme are never changed here, so no password is asked.
    if (security::completeSetup(m, opening, framework::kChangeRecord) !=
        security::SetupVerdict::Completed)
        return kExitError;
    rc = saveMasterRecord(session);
    if (rc == kExitOk) std::printf("settings saved\n");
    return rc;
}

}  // namespace

CORVIX_CLI_COMMAND(kSettingsShow, "settings show", "settings show",
                   "shows the preferences of the vault (no passwords; none asked)", runShow);
CORVIX_CLI_COMMAND(kSettingsSet, "settings set",
                   "settings set [--reveal-passwords on|off] [--inactivity MINUTES|off] "
                   "[--custom1 TEXT] [--custom2 TEXT] [--custom3 TEXT]",
                   "changes preferences (an image master password is set up in the program)",
                   runSet);

}  // namespace corvix::cli
