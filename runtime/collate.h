// The one comparison for names the user sees as the same: key values, the links between
// tables, field rules and filters. Letter case never counts (beyond ASCII too: Ä = ä,
// Σ = σ = ς), nor do trailing blanks. The storage's key collation is this function, so a
// search in the files and a comparison in memory always agree.
#pragma once

#include <string_view>

namespace corvix::runtime {

// <0, 0 or >0, as a sorts before, with or after b.
int compareNoCase(std::string_view a, std::string_view b);

inline bool sameNoCase(std::string_view a, std::string_view b) {
    return compareNoCase(a, b) == 0;
}

}  // namespace corvix::runtime
