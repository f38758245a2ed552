// What the accounts windows need from the program around them, installed at start-up:
// the desktop whose windows they list and send to, the frame's registration of the open
// accounts list (its thread and the control numbers of "Start &URL" and "&Send", which
// the tray menu presses), and the query wizard's entry points.
#pragma once

#include <functional>
#include <string>

namespace corvix::desktop {
class Desktop;
}

namespace corvix::accounts {

// The frame's thread rebuilds its watch list on this event.
constexpr int kEventAccountsChanged = 1100;

// nullptr: no desktop (window lists stay empty, Send reports it).
void setAccountsDesktop(desktop::Desktop* d);
desktop::Desktop* accountsDesktop();

// Called with (thread, send control, URL control) when the list opens and (0, 0, 0)
// when it closes.
void setAccountsListRegistration(std::function<void(int thread, int send, int url)> hook);
void registerAccountsList(int thread, int sendControl, int urlControl);

// The query wizard as the accounts list calls it. addFields gets the class name and the
// fields description and returns the library's error code (0 done); run gets the class
// name and the query text, which it may rewrite, and returns the wizard's response
// (non-zero: a query was chosen). Until a query library is installed, adding the fields
// answers kQueryWizardMissing.
struct QueryWizard {
    std::function<int(const std::string& className, const std::string& fields)> addFields;
    std::function<int(const std::string& className, std::string& query)> run;
};
constexpr int kQueryWizardMissing = 2;
void setQueryWizard(QueryWizard wizard);
const QueryWizard& queryWizard();

}  // namespace corvix::accounts
