// The library's exports that need no wizard window: the saved queries' list, their
// strings, the store's location and placeholder substitution.
#include <algorithm>

#include "libs/quillet/display_texts.h"
#include "libs/quillet/messages.h"
#include "libs/quillet/query_store.h"
#include "libs/quillet/quillet.h"
#include "platform/storage/errors.h"
#include "runtime/expression.h"
#include "runtime/picture.h"
#include "runtime/utf8.h"

namespace corvix::quillet {

int32_t QXQW_Response = 0;

void QX_FILLQWQUEUE(QueriesQueue& queries, const std::string& className,
                    std::optional<uint8_t> withCustom) {
    queries.clear();
    std::vector<StoredQuery> stored;
    StoreError err;
    if (QueryStore::list(className, stored, &err) != 0)
        tell("Query Restore Error",
             "Error Retrieving Query File: " + std::to_string(err.code) + " " + err.text);
    for (const StoredQuery& q : stored)
        queries.push_back(
            {q.description, q.queryNo, "3" + runtime::expr::upperText(q.description)});
    queries.insert(queries.begin(), {runtime::rightTrim(displayText(302)), 0, "1"});
    if (withCustom && *withCustom)
        queries.insert(queries.begin() + 1, {runtime::rightTrim(displayText(303)), 0, "2"});
}

void QX_GETQUERY(long queryNo, std::string& queryString) {
    queryString.clear();
    if (queryNo == 0) return;  // without opening the store
    StoredQuery q;
    StoreError err;
    const int rc = QueryStore::load(static_cast<int32_t>(queryNo), q, false, &err);
    if (rc == 0)
        queryString = q.queryString;
    else if (rc != storage::kRecordNotFound)
        tell("Query Restore Error",
             "Error Retrieving Query File: " + std::to_string(err.code) + " " + err.text);
}

void QX_SETQWFILEPATHS(std::optional<uint8_t> mode, std::string* path, std::string* fileName) {
    if (path || fileName) {
        rememberStoreVariables(path, fileName);
        if (!mode || *mode == 0) computeStorePaths();
        return;
    }
    if (!mode || *mode == 0) {
        computeStorePaths();
    } else if (*mode == 2) {
        forgetStoreVariables();
    } else if (*mode == 1) {
        storePaths();
    }
}

void QX_QWPARSE(const std::string& token, const std::string& value, std::string& queryString) {
    const std::string wanted = runtime::expr::upperText(runtime::rightTrim(token));
    if (wanted.empty()) return;
    // Compared character by character: upper case may change a character's byte length.
    const std::u32string upper = runtime::decodeUtf8(runtime::expr::upperText(queryString));
    const std::u32string token32 = runtime::decodeUtf8(wanted);
    const size_t at = upper.find(token32);
    if (at == std::u32string::npos) return;
    std::u32string original = runtime::decodeUtf8(queryString);
    // The value becomes a constant of the language: a quote inside it is doubled, so a
    // substituted value can never end the constant early.
    original.replace(at, token32.size(), runtime::decodeUtf8(runtime::expr::quoteText(value)));
    queryString = runtime::encodeUtf8(original);
}

}  // namespace corvix::quillet
