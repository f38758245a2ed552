#include "libs/ferrule/swap.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "libs/ferrule/messages.h"
#include "platform/storage/declaration.h"
#include "platform/storage/table.h"

namespace corvix::ferrule {
namespace {

bool fileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// The target's physical file as an absolute path, and its table ("" for a one-table file).
storage::TableName absoluteName(const std::string& name) {
    storage::TableName tn = storage::splitTableName(name);
    if (!tn.file.empty() && tn.file[0] != '/') {
        char cwd[PATH_MAX];
        if (getcwd(cwd, sizeof cwd)) tn.file = std::string(cwd) + "/" + tn.file;
    }
    return tn;
}

std::string directoryOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string journalPath(const std::string& target) {
    storage::TableName tn = absoluteName(target);
    return tn.file + (tn.table.empty() ? "" : "." + tn.table) + ".upgrading";
}

std::string trimmed(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

bool sameOwner(const SwapPlan& plan) {
    return trimmed(plan.owner) == trimmed(plan.sourceOwner);
}

// Written whole under another name, synced, then renamed over the journal: a crash
// leaves the old journal or the new one, never half of one.
bool writeFileAtomically(const std::string& path, const std::string& text) {
    std::string temp = path + ".tmp";
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (ok) ok = ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

bool readJournal(const std::string& path, SwapPlan* plan, std::string* stage, bool* oneOwner) {
    std::ifstream in(path);
    if (!in) return false;
    std::map<std::string, std::string> v;
    std::string line;
    while (std::getline(in, line)) {
        size_t eq = line.find('=');
        if (eq != std::string::npos) v[line.substr(0, eq)] = line.substr(eq + 1);
    }
    for (const char* k : {"stage", "target", "source", "building", "aside"})
        if (v[k].empty()) return false;
    *stage = v["stage"];
    plan->target = v["target"];
    plan->source = v["source"];
    plan->building = v["building"];
    plan->aside = v["aside"];
    plan->moveSource = v["move"] == "1";
    plan->removeAside = v["complete"] == "1";
    *oneOwner = v["oneowner"] == "1";
    return true;
}

std::string lastErrorLine() {
    const storage::Error& e = storage::lastError();
    std::string s = std::to_string(e.code) + " " + e.text;
    if (!e.driverText.empty()) s += " File Driver Error : " + e.driverText;
    return s;
}

// Step two of the swap: the complete new table takes the target's name. A name that
// already holds something at this stage holds only an unfinished copy of the new table
// (or a second link to it): the old data are aside by now.
int moveBuildingIn(const SwapPlan& plan) {
    if (storage::tableExists(plan.target, plan.owner)) {
        if (int rc = storage::removeTable(plan.target, plan.owner)) return rc;
    }
    return storage::renameTable(plan.building, plan.target, plan.owner);
}

// The last step: the old data's copy goes when every record arrived.
void finish(const SwapPlan& plan) {
    if (plan.moveSource && plan.removeAside) {
        if (storage::removeTable(plan.aside, plan.sourceOwner) != 0)
            debugMessage("Could not remove " + plan.aside + " : " + lastErrorLine());
    }
    removeJournal(plan);
}

bool finishFromAside(SwapPlan& plan, std::string* why) {
    if (storage::tableExists(plan.building, plan.owner) && moveBuildingIn(plan) != 0) {
        *why = lastErrorLine();
        return false;
    }
    finish(plan);
    return true;
}

}  // namespace

std::string buildingNameFor(const std::string& target) {
    storage::TableName tn = absoluteName(target);
    if (tn.table.empty()) return tn.file + ".fubuild";
    return tn.file + "\\!" + tn.table + "~fubuild";
}

std::string freeAsideName(const std::string& target) {
    const std::string dir = directoryOf(absoluteName(target).file);
    for (int n = 1; n <= 999; ++n) {
        char base[16];
        std::snprintf(base, sizeof base, "futmp%03d", n);
        const std::string name = dir + base;
        // Never a name an earlier run used: it may hold that run's data.
        if (!fileExists(name + ".TPS") && !fileExists(name + ".TPS.lck")) return name;
    }
    return {};
}

bool writeJournal(const SwapPlan& plan, const char* stage) {
    std::ostringstream out;
    out << "stage=" << stage << "\ntarget=" << plan.target << "\nsource=" << plan.source
        << "\nbuilding=" << plan.building << "\naside=" << plan.aside
        << "\nmove=" << (plan.moveSource ? 1 : 0) << "\ncomplete=" << (plan.removeAside ? 1 : 0)
        << "\noneowner=" << (sameOwner(plan) ? 1 : 0) << "\n";
    return writeFileAtomically(journalPath(plan.target), out.str());
}

void removeJournal(const SwapPlan& plan) {
    ::unlink(journalPath(plan.target).c_str());
}

void abandonBuild(const SwapPlan& plan) {
    if (storage::tableExists(plan.building, plan.owner))
        storage::removeTable(plan.building, plan.owner);
    removeJournal(plan);
}

bool swapIn(SwapPlan& plan, std::string* why) {
    if (plan.moveSource) {
        if (storage::renameTable(plan.source, plan.aside, plan.sourceOwner) != 0) {
            *why = lastErrorLine();
            abandonBuild(plan);
            return false;
        }
        if (!writeJournal(plan, "aside")) debugMessage("Could not write the upgrade journal");
        debugMessage("Moved " + plan.source + " aside to " + plan.aside);
    }
    if (moveBuildingIn(plan) != 0) {
        *why = lastErrorLine();
        // The old data go back under their name; the unfinished new table goes.
        if (plan.moveSource) storage::renameTable(plan.aside, plan.source, plan.sourceOwner);
        abandonBuild(plan);
        return false;
    }
    finish(plan);
    return true;
}

void recoverInterruptedUpgrade(const std::string& target, const std::string& owner) {
    const std::string path = journalPath(target);
    if (!fileExists(path)) return;
    SwapPlan plan;
    std::string stage;
    bool oneOwner = false;
    if (!readJournal(path, &plan, &stage, &oneOwner)) {
        stopMessage("An interrupted upgrade of " + target +
                    " left a journal that cannot be read: " + path);
        return;
    }
    plan.owner = owner;
    plan.sourceOwner = owner;
    const std::string where = "The old data are in " +
                              (plan.moveSource && stage == "aside" ? plan.aside : plan.source) +
                              ", the new table in " + plan.building + ".";
    if (stage == "building") {
        // The old data never moved: the unfinished new table goes and the upgrade starts
        // again on the next open.
        debugMessage("Removing the unfinished upgrade of " + target);
        abandonBuild(plan);
        return;
    }
    if (!oneOwner) {
        stopMessage("An upgrade of " + target + " was interrupted and cannot be finished here. " +
                    where);
        return;
    }
    std::string why;
    bool done = false;
    if (stage == "built") {
        // The new table is complete. A move aside that did not finish left the old data
        // under their name, and perhaps part of a copy under the futmp name.
        if (plan.moveSource && storage::tableExists(plan.source, plan.sourceOwner) &&
            storage::tableExists(plan.aside, plan.sourceOwner))
            storage::removeTable(plan.aside, plan.sourceOwner);
        if (plan.moveSource && !storage::tableExists(plan.source, plan.sourceOwner)) {
            done = finishFromAside(plan, &why);
        } else {
            done = swapIn(plan, &why);
        }
    } else if (stage == "aside") {
        done = finishFromAside(plan, &why);
    } else {
        why = "unknown stage " + stage;
    }
    if (done) {
        debugMessage("Finished the interrupted upgrade of " + target);
    } else {
        stopMessage("An upgrade of " + target + " was interrupted and could not be finished (" +
                    why + "). " + where);
    }
}

}  // namespace corvix::ferrule
