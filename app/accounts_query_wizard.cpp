#include "app/accounts_query_wizard.h"

#include <map>
#include <string>

#include "accounts/accounts_context.h"
#include "libs/quillet/quillet.h"

namespace corvix::app {

namespace {
// One fields queue per class the program queries; the library reads it on every run.
std::map<std::string, quillet::FieldsQueue>& queues() {
    static std::map<std::string, quillet::FieldsQueue> q;
    return q;
}
}  // namespace

void installAccountsQueryWizard() {
    accounts::QueryWizard w;
    w.addFields = [](const std::string& className, const std::string& fields) {
        quillet::FieldsQueue& q = queues()[className];
        q.clear();
        long error = 0;
        quillet::QX_ADDFIELDSQUEUEDATA(q, error, fields);
        // Numbered only once filled: numbering an empty queue would take every stored
        // field of the class for a removed one and flag every saved query invalid.
        if (error == 0) quillet::QX_INITFIELDSQUEUE(q, className);
        return static_cast<int>(error);
    };
    w.run = [](const std::string& className, std::string& query) {
        quillet::QX_QWIZARD(queues()[className], className, query);
        return static_cast<int>(quillet::QXQW_Response);
    };
    accounts::setQueryWizard(std::move(w));
}

void removeAccountsQueryWizard() {
    accounts::setQueryWizard({});
    queues().clear();
}

}  // namespace corvix::app
