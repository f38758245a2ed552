// Connects the accounts list to the query wizard library: the list's fields queue,
// prepared when the list opens, and the wizard run its "&Query" button starts.
#pragma once

namespace corvix::app {

void installAccountsQueryWizard();
void removeAccountsQueryWizard();

}  // namespace corvix::app
