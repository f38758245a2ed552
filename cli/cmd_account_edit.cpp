// corvix-cli edit and delete: one account changed or removed through the same rules as
// the account form (the category must exist; a changed password moves an expiry date
// that comes sooner than the interval allows; every save dates the last change).
#include <cstdio>
#include <cstring>
#include <iostream>

#include "accounts/account_rules.h"
#include "cli/command.h"
#include "runtime/date.h"
#include "runtime/picture.h"
#include "runtime/secret.h"
#include "vault/tables.h"

namespace corvix::cli {

namespace {

namespace pas = vault::pas;

// A date as YYYY-MM-DD or in the user's short format; "" or "0" for none.
bool parseDate(const std::string& text, int32_t* out) {
    if (text.empty() || text == "0") {
        *out = 0;
        return true;
    }
    int y = 0, m = 0, d = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &tail) == 3) {
        *out = runtime::standardDate(y, m, d);
        int cy = 0, cm = 0, cd = 0;
        return *out > 0 && runtime::calendarDate(*out, &cy, &cm, &cd) && cy == y && cm == m &&
               cd == d;
    }
    const auto v = runtime::deformatPicture(text, "@d17");
    if (!v || *v <= 0) return false;
    *out = static_cast<int32_t>(*v);
    return true;
}

int runEdit(const std::vector<std::string>& args) {
    Options o;
    std::string error;
    if (!parseOptions(
            args, {"--password-stdin", "--watch", "--no-watch"},
            {"--description", "--category", "--name", "--url", "--target-window", "--required-text",
             "--action", "--wait", "--expires", "--interval", "--notes"},
            o, &error))
        return usageError("edit", error);
    long id = 0;
    if (o.positional.size() != 1 || !parseNumber(o.positional[0], 1, 0x7fffffff, &id))
        return usageError("edit", "one account ID is required");
    if (o.has("--watch") && o.has("--no-watch"))
        return usageError("edit", "--watch and --no-watch exclude each other");
    long wait = 0, interval = 0;
    if (o.hasValue("--wait") && !parseNumber(o.value("--wait"), 0, 99, &wait))
        return usageError("edit", "--wait takes seconds from 0 to 99");
    if (o.hasValue("--interval") && !parseNumber(o.value("--interval"), 0, 999, &interval))
        return usageError("edit", "--interval takes days from 0 to 999");
    int32_t expires = 0;
    if (o.hasValue("--expires") && !parseDate(o.value("--expires"), &expires))
        return usageError("edit", "--expires takes a date as YYYY-MM-DD (or empty for none)");

    ManagedSession session(vault::WordCheck::Skip);
    int rc = session.openAndLogOn();
    if (rc != kExitOk) return rc;
    framework::VaultManagers& m = session.managers();
    rc = fetchAccount(session, id);
    if (rc != kExitOk) return rc;

    vault::PasBuffer& r = m.pasRecord;
    ::runtime::Secret opening(runtime::rightTrim(r->Password));
    auto put = [&](const char* option, int field) {
        if (o.hasValue(option)) r.set(field, o.value(option));
    };
    put("--description", pas::Description);
    put("--category", pas::Category);
    put("--name", pas::Name);
    put("--url", pas::URL);
    put("--target-window", pas::TargetWindow);
    put("--required-text", pas::TargetWindowText);
    put("--action", pas::Action);
    put("--notes", pas::Notes);
    if (o.has("--watch")) r->Watch = 1;
    if (o.has("--no-watch")) r->Watch = 0;
    if (o.hasValue("--wait")) r->Wait = static_cast<uint8_t>(wait);
    if (o.hasValue("--interval")) r->ExpiryInterval = static_cast<int32_t>(interval);
    if (o.hasValue("--expires")) r->Expires = expires;
    if (o.has("--password-stdin")) {
        ::runtime::Secret password;
        if (!readSecret("New password: ", password))
            return failWith("Password", "No password was given on standard input.");
        std::string value(password.view());
        r.set(pas::Password, value);
        ::runtime::wipe(value);
    }
    const bool changed = !opening.equals(runtime::rightTrim(r->Password));
    accounts::ExpiryDates dates{r->LastChange, r->Expires};
    dates = accounts::applyExpiryRule(dates, r->ExpiryInterval, changed, runtime::today());
    r->LastChange = dates.lastChange;
    r->Expires = dates.expires;

    // The category rule and a changed record elsewhere are reported by the managers.
    if (m.pas.ValidateField(pas::Category) != framework::kLevelBenign) return kExitError;
    rc = m.pasRelations.Update();
    ::runtime::wipe(r->Password);
    return rc == framework::kLevelBenign ? kExitOk : kExitError;
}

int runDelete(const std::vector<std::string>& args) {
    Options o;
    std::string error;
    if (!parseOptions(args, {"--yes"}, {}, o, &error)) return usageError("delete", error);
    long id = 0;
    if (o.positional.size() != 1 || !parseNumber(o.positional[0], 1, 0x7fffffff, &id))
        return usageError("delete", "one account ID is required");

    ManagedSession session(vault::WordCheck::Skip);
    int rc = session.openAndLogOn();
    if (rc != kExitOk) return rc;
    framework::VaultManagers& m = session.managers();
    rc = fetchAccount(session, id);
    if (rc != kExitOk) return rc;
    if (!o.has("--yes")) {
        // A script without --yes must not delete by accident.
        if (!stdinIsTerminal())
            return failWith("Confirm Delete",
                            "Not deleted: give --yes when not asking on a terminal.");
        std::fprintf(stderr, "Delete account %ld \"%s\"? [y/N] ", id,
                     runtime::rightTrim(m.pasRecord->Description).c_str());
        std::string answer;
        if (!readInputLine(answer) || (answer != "y" && answer != "Y" && answer != "yes")) {
            std::fprintf(stderr, "Not deleted.\n");
            return kExitError;
        }
    }
    return m.pasRelations.Delete(false) == framework::kLevelBenign ? kExitOk : kExitError;
}

}  // namespace

CORVIX_CLI_COMMAND(kEdit, "edit",
                   "edit ID [--description D] [--category C] [--name N] [--password-stdin] "
                   "[--url U] [--target-window T] [--required-text R] [--action A] "
                   "[--watch|--no-watch] [--wait S] [--expires DATE] [--interval DAYS] "
                   "[--notes TEXT]",
                   "changes an account", runEdit);
CORVIX_CLI_COMMAND(kDelete, "delete", "delete ID [--yes]", "deletes an account", runDelete);

}  // namespace corvix::cli
