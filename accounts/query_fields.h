// The accounts list's field list for the query wizard: one description string, nine
// items per field (description, field type, name, picture, length, data type, control,
// lookup, options), each item ended by U+00A6 and each field by U+00AB.
#pragma once

#include <string>

namespace corvix::accounts {

constexpr const char* kQueryClassName = "PASSWORDS";
std::string passwordQueryFields();

}  // namespace corvix::accounts
