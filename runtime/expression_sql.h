// Turning a filter tree into an SQL condition the storage runs. Only known columns and
// fixed SQL words reach the SQL text: every constant is a bound parameter, so nothing a
// user types is ever read as SQL. What SQL cannot express exactly as the per-record
// evaluator does stays behind as a residual tree, evaluated per record while paging.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <variant>
#include <vector>

#include "runtime/expression.h"

namespace corvix::runtime::expr {

using SqlValue = std::variant<int64_t, double, std::string>;

struct SqlFilter {
    std::string where;             // a condition over the columns; "" when none
    std::vector<SqlValue> params;  // bound to the condition's "?" in order
    Tree residual;                 // still to be tested per record; null when none
};

// The quoted SQL column of a bound field; "" when the field has none.
using ColumnName = std::function<std::string(int field)>;

// The top-level AND conditions that SQL can express go into where; the others (and
// a whole tree that is no AND) into residual. The storage must offer the functions
// cv_upper(text) (upperText), cv_upper_instr(text, needle) (UpperFinder) and
// cv_upper_cmp(text, start, length, other) (compareUpper); SUB and
// INSTRING are translated only where SQLite's substr and instr agree with them
// (constant start 1.., length 0.., step and start 1).
SqlFilter toSql(const Tree& tree, const ColumnName& columns);

}  // namespace corvix::runtime::expr
