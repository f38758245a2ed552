// The library's windows: the saved-queries list, the five-page wizard, the description
// form and the two small choice windows. Each runs modally; a test hook sees every one
// just before it runs (to drive it or take its picture).
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "libs/quillet/query_model.h"
#include "libs/quillet/quillet.h"
#include "libs/quillet/wizard_session.h"

class QAbstractButton;
class QPushButton;

namespace corvix::quillet {

// A display text the host set, trailing blanks dropped, as a window shows it.
QString text(long id);

// Called with each window and its name ("SavedQueries", "QueryWizard",
// "QueryDescription", "CombineQueries", "QueryOption", "QueryNavigation") once it is shown.
using WindowHook = std::function<void(QDialog* window, const std::string& name)>;
void setWindowHook(WindowHook hook);
// Runs a window modally, telling the hook first. Returns the dialog's result.
int runWindow(QDialog& window, const std::string& name);
// Tells the hook of a window that shows without running modally (the navigation's
// progress window).
void tellWindowShown(QDialog& window, const std::string& name);

// A push button from three display texts (tip, status text, caption).
QPushButton* makeButton(long firstId, QWidget* parent);

// Evaluates a field's lookup expression (the host may install its own evaluator; by
// default the expression is evaluated over no fields). Blank when it does not evaluate.
using LookupEvaluator = std::function<std::string(const std::string& expression)>;
void setLookupEvaluator(LookupEvaluator evaluator);
std::string evaluateLookup(const std::string& expression);

// ---- saved-queries list ----
enum class ListAction { Close, Select, AndJoin, OrJoin, Change, New, Delete };
struct ListChoice {
    ListAction action = ListAction::Close;
    int32_t queryNo = 0;
};
ListChoice runSavedQueries(const std::string& className, bool joinButtons);

// ---- description form ----
enum class FormMode { Add, Change, Delete };
// True when accepted; description receives the text entered.
bool runDescriptionForm(FormMode mode, std::string& description);

// ---- choices ----
Join runCombineQueries();  // None also when closed

// ---- the wizard ----
// Runs the five pages on session; true after Finish, with the expression (checked)
// in text and manual set for a typed one.
struct WizardResult {
    bool finished = false;
    std::string text;
    bool manual = false;
};
// finish gets the checked expression and whether it was typed; it returns true when the
// wizard may close (false: it stays, e.g. the user cancelled saving).
using FinishHandler = std::function<bool(const std::string& text, bool manual)>;
WizardResult runWizardWindow(WizardSession& session, int startPage, bool noManual,
                             const std::string& manualText, const FinishHandler& finish);

}  // namespace corvix::quillet
