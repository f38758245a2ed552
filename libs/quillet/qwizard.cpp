// QX_QWIZARD: the saved-queries list, the wizard, saving, and handing the filter back
// (joined to the one in force when the user asks); QX_DELETEQUERY.
#include <QApplication>

#include "libs/quillet/display_texts.h"
#include "libs/quillet/messages.h"
#include "libs/quillet/query_store.h"
#include "libs/quillet/quillet.h"
#include "libs/quillet/windows.h"
#include "libs/quillet/wizard_session.h"
#include "platform/storage/errors.h"
#include "runtime/picture.h"

namespace corvix::quillet {

namespace {

struct Run {
    FieldsQueue& fields;
    std::string className;
    std::string& filter;
    std::string* description;
    size_t filterSize;
};

void restoreError(const StoreError& err) {
    tell("Query Restore Error",
         "Error Retrieving Query File: " + std::to_string(err.code) + " " + err.text);
}

// Hands text back: into the filter, or joined to it. Returns false when the join does
// not fit (the host's filter is left as it was).
bool apply(Run& run, const std::string& text, std::string description, int32_t response, Join how) {
    if (how != Join::None) {
        if (!joinFilter(run.filter, text, how, run.filterSize)) {
            tell("Query String Too Small",
                 "The resulting query is too large. The new query cannot be combined with the "
                 "original query.");
            return false;
        }
        if (response == -1) description = "<Unsaved Query>";
        if (run.description) joinDescription(*run.description, description, how, run.filterSize);
        QXQW_Response = -2;
        return true;
    }
    run.filter = text;
    if (run.description) *run.description = description;
    QXQW_Response = response;
    return true;
}

// Save Query?, Overwrite Query?, the description form and the save itself. Returns
// false to stay in the wizard; *saved becomes the query number (-1 when unsaved).
bool save(Run& run, WizardSession& session, const std::string& text, bool manual, int32_t* saved) {
    const unsigned answer =
        ask(displayText(41), displayMessage(42), MessageIcon::Question, kYes | kNo | kCancel, kYes);
    if (answer == kCancel) return false;
    CurrentQuery& current = currentQuery();
    if (answer == kNo) {
        current = {};
        *saved = -1;
        return true;
    }
    bool overwrite = false;
    if (current.queryNo != 0)
        overwrite = ask(displayText(35), displayMessage(36), MessageIcon::Question, kYes | kNo,
                        kYes) == kYes;
    std::string description = overwrite ? current.description : std::string();
    if (!runDescriptionForm(overwrite ? FormMode::Change : FormMode::Add, description))
        return false;
    StoredQuery q;
    q.queryNo = overwrite ? current.queryNo : 0;
    q.className = run.className;
    q.description = description;
    q.manual = manual ? 1 : 0;
    q.invalid = 0;
    q.queryString = text;
    if (!manual) q.elements = session.storedElements();
    StoreError err;
    if (QueryStore::save(q, &err) != 0) {
        tell("Query Save Error", err.text);
        return false;
    }
    current = {q.queryNo, q.description, q.queryString, q.manual, 0};
    *saved = q.queryNo;
    return true;
}

// The wizard on the current query. True when a query was applied.
bool wizard(Run& run, bool noManual) {
    CurrentQuery& current = currentQuery();
    WizardSession session(run.fields);
    session.startElement();
    int start = kFieldPage;
    if (current.queryNo != 0 && !current.manual) {
        StoredQuery q;
        StoreError err;
        if (QueryStore::load(current.queryNo, q, true, &err) != 0) {
            tell(displayText(31), displayMessage(32));
            return false;
        }
        session.load(q);
        if (!session.elements().empty()) start = kListPage;
    } else if (current.manual && !noManual) {
        start = kManualPage;
    }
    if (current.invalid) {
        QApplication::beep();
        tell(displayText(37), displayMessage(38));
    }
    int32_t saved = 0;
    std::string applied;
    auto finish = [&](const std::string& text, bool manual) {
        if (!save(run, session, text, manual, &saved)) return false;
        applied = text;
        return true;
    };
    WizardResult r = runWizardWindow(session, start, noManual, current.queryString, finish);
    if (!r.finished) return false;
    const Join how = runtime::rightTrim(run.filter).empty() ? Join::None : runCombineQueries();
    const std::string description = saved > 0 ? currentQuery().description : applied;
    return apply(run, applied, description, saved > 0 ? saved : -1, how);
}

}  // namespace

void QX_QWIZARD(FieldsQueue& fields, const std::string& className, std::string& filter,
                std::string* description, bool noJoin, bool noManual, long queryNo,
                size_t filterSize) {
    QXQW_Response = 0;
    // A queue filled after it was prepared carries no places or field numbers yet;
    // without them saved queries could not find their fields again.
    for (const FieldEntry& f : fields) {
        if (f.QWFLDQPOINTER == 0) {
            QX_INITFIELDSQUEUE(fields, className);
            break;
        }
    }
    Run run{fields, runtime::rightTrim(className), filter, description, filterSize};
    if (queryNo != 0) {
        StoredQuery q;
        StoreError err;
        if (QueryStore::load(static_cast<int32_t>(queryNo), q, false, &err) != 0) {
            tell(displayText(31), displayMessage(32));
            return;
        }
        apply(run, q.queryString, q.description, q.queryNo, Join::None);
        return;
    }
    while (true) {
        const bool joinable = !noJoin && !runtime::rightTrim(filter).empty();
        ListChoice choice = runSavedQueries(run.className, joinable);
        StoredQuery q;
        StoreError err;
        const bool needsQuery =
            choice.action != ListAction::Close && choice.action != ListAction::New;
        if (needsQuery && QueryStore::load(choice.queryNo, q, false, &err) != 0) {
            restoreError(err);
            continue;
        }
        switch (choice.action) {
            case ListAction::Close:
                return;
            case ListAction::Select:
            case ListAction::AndJoin:
            case ListAction::OrJoin: {
                if (q.invalid) {
                    tell(displayText(220), displayMessage(221));
                    continue;
                }
                const Join how = choice.action == ListAction::Select    ? Join::None
                                 : choice.action == ListAction::AndJoin ? Join::And
                                                                        : Join::Or;
                if (!apply(run, q.queryString, q.description, q.queryNo, how)) continue;
                return;
            }
            case ListAction::Change:
                currentQuery() = {q.queryNo, q.description, q.queryString, q.manual, q.invalid};
                wizard(run, noManual);
                return;
            case ListAction::New:
                currentQuery() = {};
                wizard(run, noManual);
                return;
            case ListAction::Delete:
                QX_DELETEQUERY(choice.queryNo);
                continue;
        }
    }
}

uint8_t QX_DELETEQUERY(long queryNo, std::optional<uint8_t>) {
    StoredQuery q;
    StoreError err;
    if (QueryStore::load(static_cast<int32_t>(queryNo), q, false, &err) != 0) return 0;
    std::string description = q.description;
    if (!runDescriptionForm(FormMode::Delete, description)) return 0;
    if (QueryStore::remove(q.queryNo, &err) != 0) {
        tell("Query Save Error", err.text);
        return 0;
    }
    if (currentQuery().queryNo == q.queryNo) currentQuery() = {};
    return 1;
}

}  // namespace corvix::quillet
