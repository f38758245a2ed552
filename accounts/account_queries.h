// What the accounts list gives the query wizard: its class name and the fields
// description string (18 fields, 1248 characters).
#pragma once

#include <string>

namespace corvix::accounts {

inline constexpr const char* kAccountsQueryClass = "PASSWORDS";
const std::string& accountsFieldsDescription();

}  // namespace corvix::accounts
