// The storage's own integrity check of a file (pages, indexes, and with an owner password
// the page authentication), for maintenance.
#pragma once

#include <string>

#include "platform/storage/table.h"

namespace corvix::storage {

// Checks the physical file of an open table. 0 when sound; 90 with the first problems
// found in *detail (and in lastError's driver text) otherwise.
int checkIntegrity(Table& table, std::string* detail);

}  // namespace corvix::storage
