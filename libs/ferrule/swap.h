// Putting an upgraded table in place so that nothing is lost at any moment. The new
// table is built under a temporary name beside the file; only when it is complete (every
// record written and committed, its count checked, its keys built) do the old data move
// aside to a "futmp" name and the new table take the file's name. A small journal beside
// the data file records how far a run got, so that an interrupted one is undone (while
// building) or finished (once the new table was complete) at the next open.
#pragma once

#include <string>

namespace corvix::ferrule {

struct SwapPlan {
    std::string target;       // the host file's name
    std::string source;       // where the old data were found
    std::string building;     // the temporary name the new table is built under
    std::string aside;        // the futmp name the old data move to
    std::string owner;        // the target's owner password
    std::string sourceOwner;  // the old data's (from the old structure)
    bool moveSource = true;   // the old data leave their name (false: they are copied)
    bool removeAside = true;  // every record arrived: the futmp copy can go at the end
};

// The temporary name a table is built under: beside the target in its multi-table file,
// or a file of its own beside a one-table file.
std::string buildingNameFor(const std::string& target);

// The first futmp name (futmp001 ... futmp999) beside the target that nothing uses;
// "" when all are taken.
std::string freeAsideName(const std::string& target);

// Records the stage a run has reached ("building", "built", "aside"); false when the
// journal cannot be written (the run must not go on then).
bool writeJournal(const SwapPlan& plan, const char* stage);
void removeJournal(const SwapPlan& plan);

// Moves the old data aside and the new table in. false (after putting back what it had
// moved) with the reason in *why.
bool swapIn(SwapPlan& plan, std::string* why);

// Undoes a run that failed while building: the temporary table and the journal go.
void abandonBuild(const SwapPlan& plan);

// At an open of target: finishes or undoes a run that was interrupted, and tells the user
// what was done and, where it could not be done, where the data are.
void recoverInterruptedUpgrade(const std::string& target, const std::string& owner);

}  // namespace corvix::ferrule
