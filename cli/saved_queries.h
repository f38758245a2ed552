// The saved queries of the accounts list (class "PASSWORDS") for corvix-cli.
#pragma once

#include <string>

namespace corvix::cli {

// The filter of saved query number; prints why and returns 1 when there is no such
// query of the accounts or when it uses fields that are gone.
int savedAccountsQuery(long number, std::string* filter);

}  // namespace corvix::cli
