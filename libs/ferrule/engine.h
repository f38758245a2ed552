// The upgrade of one host file: find an earlier structure under which the file on disk
// opens, move the file aside to a "futmp" name, create it anew under the current
// declaration and copy every record across.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "libs/ferrule/state.h"

namespace corvix::ferrule {

constexpr int32_t kRefreshOption = 1;

void upgradeFile(storage::Table& file, int32_t options);

// An old structure opened under a trial name.
struct Trial {
    std::unique_ptr<storage::TableDecl> decl;
    std::string name;
    std::string owner;
    std::string label;
    int32_t version = 0;
    int64_t records = 0;
};

enum class SearchResult { Hit, NoHit, Halted };

// The prefix of a declaration: the text before the first ":" of the first field name that
// has one, else before the first "_".
std::string prefixOf(const storage::TableDecl& decl);

// Opens a trial declaration under its name (read/write, deny write), rebuilding keys when
// the driver asks for it. Fills trial->records and closes it on a hit.
SearchResult openTrial(Trial* trial);

}  // namespace corvix::ferrule
