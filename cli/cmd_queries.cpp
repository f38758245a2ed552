// corvix-cli queries list | show N | delete N: the accounts list's saved queries.
#include <cstdio>

#include "accounts/account_queries.h"
#include "cli/command.h"
#include "cli/saved_queries.h"
#include "libs/quillet/query_store.h"
#include "platform/storage/errors.h"
#include "runtime/expression.h"

namespace corvix::cli {
namespace {

bool ofAccounts(const quillet::StoredQuery& q) {
    return runtime::expr::upperText(q.className) == accounts::kAccountsQueryClass;
}

// Loads a query of the accounts; prints why not and returns 1.
int loadAccountsQuery(long number, quillet::StoredQuery& q, bool withElements) {
    quillet::StoreError err;
    const int rc = quillet::QueryStore::load(static_cast<int32_t>(number), q, withElements, &err);
    if (rc == storage::kRecordNotFound || (rc == 0 && !ofAccounts(q)))
        return failWith("Queries", "There is no saved query " + std::to_string(number) + ".");
    if (rc != 0)
        return failWith("Query Restore Error", "Error Retrieving Query File: " +
                                                   std::to_string(err.code) + " " + err.text);
    return kExitOk;
}

int parseQueryNumber(const std::string& words, const Options& o, long* number) {
    if (o.positional.size() != 1 || !parseNumber(o.positional[0], 1, 2147483647L, number))
        return usageError(words, words + " needs one query number");
    return kExitOk;
}

int runQueriesList(const std::vector<std::string>& args) {
    Options o;
    std::string error;
    if (!parseOptions(args, {}, {}, o, &error)) return usageError("queries list", error);
    if (!o.positional.empty()) return usageError("queries list", "takes no arguments");
    ManagedSession session;
    if (int rc = session.openAndLogOn(); rc != kExitOk) return rc;
    std::vector<quillet::StoredQuery> queries;
    quillet::StoreError err;
    if (quillet::QueryStore::list(accounts::kAccountsQueryClass, queries, &err) != 0)
        return failWith("Query Restore Error", "Error Retrieving Query File: " +
                                                   std::to_string(err.code) + " " + err.text);
    for (const quillet::StoredQuery& q : queries)
        std::printf("%d\t%s%s\n", q.queryNo, q.description.c_str(),
                    q.invalid ? "\t(no longer valid)" : "");
    return kExitOk;
}

int runQueriesShow(const std::vector<std::string>& args) {
    Options o;
    std::string error;
    long number = 0;
    if (!parseOptions(args, {}, {}, o, &error)) return usageError("queries show", error);
    if (int rc = parseQueryNumber("queries show", o, &number)) return rc;
    ManagedSession session;
    if (int rc = session.openAndLogOn(); rc != kExitOk) return rc;
    quillet::StoredQuery q;
    if (int rc = loadAccountsQuery(number, q, true)) return rc;
    std::printf("%-13s %d\n%-13s %s\n%-13s %s\n%-13s %s\n%-13s %zu\n%-13s %s\n", "number",
                q.queryNo, "description", q.description.c_str(), "typed", q.manual ? "yes" : "no",
                "valid", q.invalid ? "no" : "yes", "conditions", q.elements.size(), "filter",
                q.queryString.c_str());
    return kExitOk;
}

int runQueriesDelete(const std::vector<std::string>& args) {
    Options o;
    std::string error;
    long number = 0;
    if (!parseOptions(args, {}, {}, o, &error)) return usageError("queries delete", error);
    if (int rc = parseQueryNumber("queries delete", o, &number)) return rc;
    ManagedSession session;
    if (int rc = session.openAndLogOn(); rc != kExitOk) return rc;
    quillet::StoredQuery q;
    if (int rc = loadAccountsQuery(number, q, false)) return rc;
    quillet::StoreError err;
    if (quillet::QueryStore::remove(q.queryNo, &err) != 0)
        return failWith("Query Save Error", err.text);
    return kExitOk;
}

}  // namespace

int savedAccountsQuery(long number, std::string* filter) {
    quillet::StoredQuery q;
    if (int rc = loadAccountsQuery(number, q, false)) return rc;
    if (q.invalid)
        return failWith("Query No Longer Valid",
                        "This query is no longer valid because fields and/or expressions were "
                        "renamed or deleted from the database after you created the query.");
    *filter = q.queryString;
    return kExitOk;
}

CORVIX_CLI_COMMAND(kQueriesList, "queries list", "queries list",
                   "the accounts list's saved queries", runQueriesList);
CORVIX_CLI_COMMAND(kQueriesShow, "queries show", "queries show N", "one saved query",
                   runQueriesShow);
CORVIX_CLI_COMMAND(kQueriesDelete, "queries delete", "queries delete N", "removes a saved query",
                   runQueriesDelete);

}  // namespace corvix::cli
