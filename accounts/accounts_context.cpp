#include "accounts/accounts_context.h"

namespace corvix::accounts {

namespace {
desktop::Desktop*& desktopSlot() {
    static desktop::Desktop* d = nullptr;
    return d;
}
std::function<void(int, int, int)>& registration() {
    static std::function<void(int, int, int)> hook;
    return hook;
}
QueryWizard& wizardSlot() {
    static QueryWizard w;
    return w;
}
}  // namespace

void setAccountsDesktop(desktop::Desktop* d) {
    desktopSlot() = d;
}
desktop::Desktop* accountsDesktop() {
    return desktopSlot();
}

void setAccountsListRegistration(std::function<void(int, int, int)> hook) {
    registration() = std::move(hook);
}
void registerAccountsList(int thread, int sendControl, int urlControl) {
    if (registration()) registration()(thread, sendControl, urlControl);
}

void setQueryWizard(QueryWizard wizard) {
    wizardSlot() = std::move(wizard);
}
const QueryWizard& queryWizard() {
    return wizardSlot();
}

}  // namespace corvix::accounts
