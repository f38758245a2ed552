// corvix-cli list | show ID | add: the password accounts.
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "cli/command.h"
#include "cli/saved_queries.h"
#include "framework/filter_binding.h"
#include "framework/list_export.h"
#include "platform/storage/table_filter.h"
#include "runtime/date.h"
#include "runtime/picture.h"
#include "vault/tables.h"

namespace corvix::cli {
namespace {

// Passwords are hidden as the accounts list hides them: one "*" per character of the
// right-trimmed password, unless the vault reveals passwords or --reveal was given.
std::string shownPassword(const std::string& password, bool reveal) {
    if (reveal) return password;
    return std::string(runtime::charCount(runtime::rightTrim(password)), '*');
}

// A custom field's caption as the forms show it: "C&redit Card:" -> "Credit Card".
std::string caption(const std::string& label) {
    std::string out;
    for (char c : runtime::rightTrim(label))
        if (c != '&') out += c;
    if (!out.empty() && out.back() == ':') out.pop_back();
    return out;
}

bool revealing(const ManagedSession& session, const Options& o) {
    return o.has("--reveal") || session.state().master.RevealPasswords != 0;
}

std::string isoDate(int32_t date) {
    int y = 0, m = 0, d = 0;
    if (!runtime::calendarDate(date, &y, &m, &d)) return {};
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", y, m, d);
    return buffer;
}

int runList(const std::vector<std::string>& args) {
    Options o;
    std::string error;
    if (!parseOptions(args, {"--reveal", "--csv", "--html"}, {"--where", "--query"}, o, &error))
        return usageError("list", error);
    if (o.has("--csv") && o.has("--html")) return usageError("list", "give either --csv or --html");
    if (!o.positional.empty()) return usageError("list", "list takes no arguments");
    if (o.hasValue("--where") && o.hasValue("--query"))
        return usageError("list", "give either --where or --query");
    const framework::FilterBinding binding = framework::FilterBinding::accounts();
    long queryNumber = 0;
    if (o.hasValue("--query") && !parseNumber(o.value("--query"), 1, 2147483647L, &queryNumber))
        return usageError("list", "--query needs a saved query's number");
    runtime::expr::Tree filter;
    if (!runtime::rightTrim(o.value("--where")).empty()) {
        runtime::expr::ParseResult parsed = binding.parse(o.value("--where"));
        if (!parsed.ok()) return usageError("list", "the filter: " + parsed.message());
        filter = parsed.tree;
    }
    ManagedSession session(vault::WordCheck::Skip);
    int rc = session.openAndLogOn();
    if (rc != kExitOk) return rc;
    if (queryNumber != 0) {
        // Queries may compare against secrets: they are read only after the log-on.
        std::string saved;
        if ((rc = savedAccountsQuery(queryNumber, &saved)) != kExitOk) return rc;
        runtime::expr::ParseResult parsed = binding.parse(saved);
        if (!parsed.ok()) return failWith("Invalid Query", parsed.message());
        filter = parsed.tree;
    }
    const bool reveal = revealing(session, o);
    framework::VaultManagers& m = session.managers();
    // The part of the filter SQL can express runs inside the storage, the rest here.
    runtime::expr::SqlFilter sql;
    if (filter) sql = binding.toSql(filter);
    storage::Table* table = m.pas.Use();
    if (!table || storage::setFilter(*table, sql.where, sql.params) != 0) return kExitError;
    if (m.pas.SetOrder(vault::pas::K_Category) != framework::kLevelBenign) return kExitError;
    const vault::PasBuffer& r = m.pasRecord;
    // --csv and --html write the same columns as a table with its headings.
    std::unique_ptr<framework::ListWriter> writer;
    if (o.has("--csv") || o.has("--html")) {
        writer = std::make_unique<framework::ListWriter>(
            std::cout, o.has("--csv") ? framework::ListFormat::Csv : framework::ListFormat::Html,
            "Passwords");
        writer->header({"ID", "Category", "Description", "Name", "Password", "URL"});
    }
    while (readNext(m.pas, &rc)) {
        if (sql.residual && !binding.passes(*sql.residual, r)) continue;
        if (writer)
            writer->row({std::to_string(r->PAS_ID), r->Category, r->Description, r->Name,
                         shownPassword(r->Password, reveal), r->URL});
        else
            std::printf("%d\t%s\t%s\t%s\t%s\t%s\n", r->PAS_ID, r->Category.c_str(),
                        r->Description.c_str(), r->Name.c_str(),
                        shownPassword(r->Password, reveal).c_str(), r->URL.c_str());
    }
    if (writer && !writer->finish()) return failWith("Write Error", "standard output failed");
    return rc;
}

int runShow(const std::vector<std::string>& args) {
    Options o;
    std::string error;
    if (!parseOptions(args, {"--reveal"}, {}, o, &error)) return usageError("show", error);
    long id = 0;
    if (o.positional.size() != 1 || !parseNumber(o.positional[0], 1, 2147483647L, &id))
        return usageError("show", "show needs one account ID (a number)");
    ManagedSession session(vault::WordCheck::Skip);
    int rc = session.openAndLogOn();
    if (rc != kExitOk) return rc;
    rc = fetchAccount(session, id);
    if (rc != kExitOk) return rc;
    const vault::PasBuffer& r = session.managers().pasRecord;
    const bool reveal = revealing(session, o);
    const auto& m = session.state().master;
    auto line = [](const char* label, const std::string& value) {
        std::printf("%-22s %s\n", label, value.c_str());
    };
    line("PAS:PAS_ID", std::to_string(r->PAS_ID));
    line("PAS:Category", r->Category);
    line("PAS:Description", r->Description);
    line("PAS:Name", r->Name);
    line("PAS:Password", shownPassword(r->Password, reveal));
    line("PAS:URL", r->URL);
    line(("PAS:Custom1 (" + caption(m.Custom1) + ")").c_str(), r->Custom1);
    line(("PAS:Custom2 (" + caption(m.Custom2) + ")").c_str(), r->Custom2);
    line(("PAS:Custom3 (" + caption(m.Custom3) + ")").c_str(), r->Custom3);
    line("PAS:LastChange", isoDate(r->LastChange));
    line("PAS:Expires", isoDate(r->Expires));
    line("PAS:ExpiryInterval", std::to_string(r->ExpiryInterval));
    line("PAS:TargetWindow", r->TargetWindow);
    line("PAS:TargetWindowText", r->TargetWindowText);
    line("PAS:Action", r->Action);
    line("PAS:Watch", std::to_string(r->Watch));
    line("PAS:Wait", std::to_string(r->Wait));
    line("PAS:Notes", r->Notes);
    return kExitOk;
}

int runAdd(const std::vector<std::string>& args) {
    Options o;
    std::string error;
    if (!parseOptions(args, {"--password-stdin", "--watch"},
                      {"--description", "--category", "--name", "--url", "--target-window",
                       "--required-text", "--action", "--wait", "--notes"},
                      o, &error))
        return usageError("add", error);
    if (!o.positional.empty()) return usageError("add", "unexpected argument " + o.positional[0]);
    if (!o.hasValue("--description")) return usageError("add", "--description is required");
    long wait = 2;
    if (o.hasValue("--wait") && !parseNumber(o.value("--wait"), 0, 255, &wait))
        return usageError("add", "--wait takes seconds from 0 to 255");

    ManagedSession session(vault::WordCheck::Skip);
    int rc = session.openAndLogOn();
    if (rc != kExitOk) return rc;

    // The new account starts with the values a new account gets in the form; the number
    // is given (and the record added) by the insert, so a refused add leaves nothing.
    framework::VaultManagers& m = session.managers();
    vault::PasBuffer& r = m.pasRecord;
    r.clear();
    if (m.pas.primeFields) m.pas.primeFields(r);
    auto put = [&](const char* option, int field) {
        if (o.hasValue(option)) r.set(field, o.value(option));
    };
    put("--description", vault::pas::Description);
    put("--category", vault::pas::Category);
    put("--name", vault::pas::Name);
    put("--url", vault::pas::URL);
    put("--target-window", vault::pas::TargetWindow);
    put("--required-text", vault::pas::TargetWindowText);
    put("--action", vault::pas::Action);
    put("--notes", vault::pas::Notes);
    if (o.has("--watch")) r->Watch = 1;
    r->Wait = static_cast<uint8_t>(wait);
    if (o.has("--password-stdin")) {
        ::runtime::Secret password;
        readInputLine(password);
        std::string value(password.view());
        r.set(vault::pas::Password, value);
        ::runtime::wipe(value);
    }

    // The field rules (the category must exist), the numbering and a duplicate key are
    // the file manager's; it prints its own message.
    rc = m.pas.Insert();
    std::fill(r->Password.begin(), r->Password.end(), '\0');
    if (rc != framework::kLevelBenign) return kExitError;
    std::printf("%d\n", r->PAS_ID);
    return kExitOk;
}

}  // namespace

CORVIX_CLI_COMMAND(kList, "list",
                   "list [--reveal] [--where EXPRESSION | --query N] [--csv | --html]",
                   "the accounts in category order, optionally filtered", runList);
CORVIX_CLI_COMMAND(kShow, "show", "show ID [--reveal]", "every field of one account", runShow);
CORVIX_CLI_COMMAND(kAdd, "add",
                   "add --description D [--category C] [--name N] [--password-stdin] [--url U] "
                   "[--target-window T] [--required-text R] [--action A] [--watch] [--wait S] "
                   "[--notes TEXT]",
                   "adds an account and prints its ID", runAdd);

}  // namespace corvix::cli
