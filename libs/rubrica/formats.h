// The texts a design is kept in: the format string (columns in print order with their
// total markers) and the sort string (fields with direction and case), and how the design
// dialogs turn their state into them.
#pragma once

#include <string>
#include <vector>

#include "libs/rubrica/rubrica.h"

namespace corvix::rubrica {

// "~Desc~" per column, then "|+|" for a total or "|@|" for an average.
std::string buildFormat(const TQRPTFIELD& columns);

struct SortField {
    std::string name;  // "PAS:Category"
    bool descending = false;
    bool noCase = false;  // written UPPER(name)
};
std::vector<SortField> parseSort(const std::string& sort);
std::string buildSort(const std::vector<SortField>& fields);
// The custom order as the dialog shows it: descriptions joined by commas, a descending
// field in angle brackets; "" when the sort string is blank.
std::string describeSort(const std::string& sort, const TQFIELD& fields);

// The columns a design prints: with detail suppressed and a group footing in use, the
// group fields of the levels in use join the columns (TOTAL 1 and 2) after the others.
TQRPTFIELD columnsForFormat(const TQRPTFIELD& columns, const std::string& sort,
                            const BreakOptions& options, const TQRPTFIELD& allFields,
                            const TQFIELD& fields);

// Suppressing detail rows needs a footing identifier or a group total.
bool suppressionAllowed(const BreakOptions& options);

}  // namespace corvix::rubrica
