// Filters with bound values: a condition over a table's columns (Table::columnName) whose
// "?" take the parameters in order, so that no value is ever pasted into SQL text.
#pragma once

#include <string_view>
#include <vector>

#include "platform/storage/record.h"
#include "platform/storage/table.h"

namespace corvix::storage {

// Like Table::setFilter; 76 also when the number of parameters does not match.
int setFilter(Table& table, std::string_view sqlCondition, std::vector<Scalar> parameters);

}  // namespace corvix::storage
