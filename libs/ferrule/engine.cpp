#include "libs/ferrule/engine.h"

#include "libs/ferrule/image.h"
#include "libs/ferrule/messages.h"
#include "libs/ferrule/old_format.h"
#include "libs/ferrule/record_copy.h"
#include "libs/ferrule/settings.h"
#include "libs/ferrule/swap.h"
#include "libs/ferrule/upgrade_file.h"

namespace corvix::ferrule {
namespace {

const RegisteredFile* registeredPrefix(const std::string& prefix) {
    for (const auto& f : state().files)
        if (f.prefix == prefix) return &f;
    return nullptr;
}

std::string errorLine(const storage::Error& e) {
    return std::to_string(e.code) + " " + e.text;
}

class Upgrade {
  public:
    Upgrade(storage::Table& host, int32_t options)
        : host_(host), file_(FileRef::of(host)), options_(options) {}

    void run();

  private:
    SearchResult search();
    SearchResult versionWalk(const std::string& trialName);
    SearchResult oldFormatSearch();
    bool plan();
    void copyRecords();
    void abandon(const std::string& why);
    bool refresh() const { return options_ & kRefreshOption; }
    bool addRecords() const { return refresh() || hasSwitch("/AddRecords"); }

    storage::Table& host_;
    FileRef file_;
    int32_t options_;
    const RegisteredFile* registered_ = nullptr;
    bool copyMode_ = false;
    bool downgradeWarned_ = false;
    Trial trial_;
    SwapPlan plan_;
    std::unique_ptr<ProgressWindow> window_;
};

void Upgrade::run() {
    recoverInterruptedUpgrade(file_.name, file_.owner);
    if (hasSwitch("/Profile")) fu_GetProfile(1);
    debugMessage("About to attempt upgrading file " + file_.name);
    copyMode_ = false;
    if (!openUpg2(" Name : ")) return;
    std::string image;
    switch (buildImage(file_, &image)) {
        case ImageStatus::DriverNotLocated:
            closeUpg2();
            return;
        case ImageStatus::TooLarge:
            stopMessage(messageText(14) + " " + file_.name);
            closeUpg2();
            return;
        case ImageStatus::Ok:
            break;
    }
    std::string prefix = upper(prefixOf(*file_.decl));
    if (prefix.empty()) {
        if (!state().silent) stopMessage(messageText(3) + " " + file_.name);
        closeUpg2();
        return;
    }
    registered_ = registeredPrefix(prefix);
    if (!registered_) {
        if (hasSwitch("/DEBUGFRL") && !state().silent) stopMessage(messageText(4) + " " + prefix);
        closeUpg2();
        return;
    }
    if (search() != SearchResult::Hit) {
        closeUpg2();
        return;
    }
    if (!plan()) {
        closeUpg2();
        return;
    }
    copyRecords();
    closeUpg2();
    window_.reset();
}

SearchResult Upgrade::search() {
    // a. The file under its own name.
    SearchResult r = versionWalk(file_.name);
    if (r != SearchResult::NoHit) return r;

    // b. The name it had before (fu_AlternateFileName).
    debugMessage("No matching structure found - searching for alternate file names");
    std::string name = file_.name, drive, dir, ext;
    if (name.size() > 1 && name[1] == ':') {
        drive = name.substr(0, 2);
        name = name.substr(2);
    }
    if (auto slash = name.rfind('/'); slash != std::string::npos) {
        dir = name.substr(0, slash + 1);
        name = name.substr(slash + 1);
    }
    if (auto dot = name.rfind('.'); dot != std::string::npos) {
        ext = name.substr(dot);
        name = name.substr(0, dot);
    }
    const AlternateName* alt = nullptr;
    for (const std::string& look : {upper(name + ext), upper(name)}) {
        for (const auto& a : state().fileNames)
            if (!alt && a.newName == look) alt = &a;
    }
    if (alt) {
        copyMode_ = true;
        std::string trial = drive + dir + alt->oldAsGiven;
        if (alt->oldAsGiven.find('.') == std::string::npos) trial += ext;
        r = versionWalk(trial);
        if (r != SearchResult::NoHit) return r;
    }

    // c. The table's own file, before it moved into a multi-table file.
    debugMessage("No matching structure found - searching for pre-super files");
    if (auto bang = file_.name.find('!'); bang != std::string::npos) {
        r = versionWalk(file_.name.substr(bang + 1));
        if (r != SearchResult::NoHit) return r;
    }

    // d. An old-format file.
    return oldFormatSearch();
}

SearchResult Upgrade::versionWalk(const std::string& trialName) {
    int32_t version = registered_->version;
    if (hasSwitch("/DOWNGRADE")) {
        if (!downgradeWarned_) stopMessage("Warning : Possibly about to Downgrade Files");
        downgradeWarned_ = true;
        version = 32767;
    }
    storage::Table& upg = upg2();
    storage::Record rec(upg2Declaration());
    rec.clear();
    rec.set(kUpgPrefix, registered_->prefix);
    rec.set(kUpgVersion, int64_t(version));
    if (upg.setFrom(kUpgPreKey, rec) != 0) return SearchResult::NoHit;
    while (upg.previous(rec) == 0) {
        if (upper(clip(rec.getString(kUpgPrefix))) != registered_->prefix) break;
        Structure st = structureOf(upg, rec);
        ParsedImage parsed;
        const Driver* driver = nullptr;
        if (parseImage(st.image, &parsed)) {
            driver = driverNamed(parsed.driver);
            if (!driver) stopMessage(messageText(10));
        }
        if (!driver || driver->kind != DriverKind::Table) continue;
        trial_ = Trial();
        trial_.decl = std::make_unique<storage::TableDecl>(std::move(parsed.decl));
        trial_.decl->name = trialName;
        trial_.decl->label = st.label;
        trial_.name = trialName;
        trial_.owner = parsed.owner;
        trial_.label = st.label;
        trial_.version = st.version;
        SearchResult r = openTrial(&trial_);
        debugMessage("trying " + registered_->prefix + " " + std::to_string(st.version) +
                     " Error : " + storage::lastError().text);
        if (r == SearchResult::Halted) return r;
        if (r == SearchResult::Hit) {
            debugMessage("Found matching structure " + std::to_string(st.version) + " " + st.label);
            return r;
        }
    }
    return SearchResult::NoHit;
}

SearchResult Upgrade::oldFormatSearch() {
    const auto& s = state();
    if (!s.oldFormatSearch) return SearchResult::NoHit;
    std::string label = upper(registered_->label);
    bool excluded = false;
    for (const auto& ex : s.exclusions)
        if ((ex.name == "ALLFILES" || ex.name == label) && (ex.flags & 1)) excluded = true;
    debugDetail("Old-format files for " + label + (excluded ? " : ignored" : " : searched"));
    if (excluded) return SearchResult::NoHit;
    std::string name = file_.name;
    if (auto bang = name.find('!'); bang != std::string::npos) name = name.substr(bang + 1);
    std::string image;
    if (!oldFormatImage(name, &image)) {
        name = name.substr(0, name.find('.')) + ".Dat";
        if (!oldFormatImage(name, &image)) return SearchResult::NoHit;
    }
    ParsedImage parsed;
    const Driver* driver = parseImage(image, &parsed) ? driverNamed("ODF") : nullptr;
    if (!driver || driver->kind != DriverKind::Table) return SearchResult::NoHit;
    trial_ = Trial();
    trial_.decl = std::make_unique<storage::TableDecl>(std::move(parsed.decl));
    trial_.decl->name = name;
    trial_.name = name;
    return openTrial(&trial_);
}

// Names the places of the run: the temporary table the new one is built under, and the
// first free "futmp" name beside the file, where the old data go once the new table is
// complete. A futmp file already there is never overwritten: it may hold an earlier
// upgrade's data.
bool Upgrade::plan() {
    window_ = std::make_unique<ProgressWindow>(messageText(16), file_.name, trial_.records);
    plan_.target = file_.name;
    plan_.source = trial_.name;
    plan_.owner = file_.owner;
    plan_.sourceOwner = trial_.owner;
    plan_.building = buildingNameFor(file_.name);
    plan_.aside = freeAsideName(file_.name);
    // Copying leaves the old data where they are, unless they stand under the very name
    // the new table takes.
    const bool sameName = buildingNameFor(trial_.name) == plan_.building;
    plan_.moveSource = sameName || !(copyMode_ || hasSwitch("/FRLCOPY"));
    if (plan_.aside.empty()) {
        window_.reset();
        stopMessage(messageText(5));
        return false;
    }
    // Something else under the new table's name would be lost by the swap.
    if (!sameName && storage::tableExists(file_.name, file_.owner)) {
        window_.reset();
        stopMessage(messageText(6) + file_.name + " : the name is taken by another table");
        return false;
    }
    if (storage::tableExists(plan_.building, file_.owner))
        storage::removeTable(plan_.building, file_.owner);
    if (!writeJournal(plan_, "building")) {
        window_.reset();
        stopMessage(messageText(6) + file_.name + " : the upgrade journal cannot be written");
        return false;
    }
    return true;
}

// Stops the run before the swap: the unfinished new table goes, the old data stay where
// they are, and the user learns why.
void Upgrade::abandon(const std::string& why) {
    abandonBuild(plan_);
    window_.reset();
    stopMessage(why + " - The file " + plan_.source + " was left as it was.");
}

void Upgrade::copyRecords() {
    storage::Table dest(*file_.decl);
    dest.setName(plan_.building);
    dest.setOwner(file_.owner);
    if (dest.create() != 0) return abandon(messageText(6) + file_.name + " " + dest.error().text);
    if (dest.open(storage::kReadWrite | storage::kDenyAll) != 0)
        return abandon(messageText(6, Form::Second) + file_.name + " " + dest.error().text);
    storage::Table source(*trial_.decl);
    source.setName(trial_.name);
    source.setOwner(trial_.owner);
    int err = source.open(storage::kReadWrite | storage::kDenyAll);
    if (err != 0 && err != storage::kBadKey) {
        std::string why = messageText(7) + " " + source.error().text + " " + trial_.name;
        dest.close();
        return abandon(why);
    }

    dest.stream();
    window_->setText(messageText(refresh() ? 18 : 12));
    window_->setTotal(trial_.records);
    RecordCopier copier(*file_.decl, *trial_.decl);
    storage::Record from(*trial_.decl);
    storage::Record into(*file_.decl);
    int64_t done = 0, failed = 0;
    source.set(storage::kPhysicalOrder);
    while ((err = source.next(from)) == 0) {
        window_->setValue(++done);
        copier.copy(from, into);
        // Keys that are built afterwards are not kept up to date record by record.
        int wrote = addRecords() ? dest.add(into) : dest.append(into);
        if (wrote == 0) wrote = copier.copyBlobs(source, dest);
        if (wrote != 0) {
            ++failed;
            const storage::Error& e = dest.error();
            if (!stopMessage(messageText(8) + " " + std::to_string(wrote) + " " +
                             storage::errorText(wrote) + " File Driver Error : " + e.driverText)) {
                // Ended by the user: nothing of the new table is put in place.
                dest.close();
                source.close();
                abandonBuild(plan_);
                window_.reset();
                return;
            }
        }
    }
    // Every result counts from here on: a failed commit, read, key build or a count that
    // does not add up leaves the old data where they are.
    std::string why;
    if (err != storage::kRecordNotAvailable) {
        why = messageText(7) + " " + errorLine(source.error()) + " " + trial_.name;
    } else if (dest.flush() != 0) {
        why = messageText(8) + " " + errorLine(dest.error()) + " " + dest.error().driverText;
    } else if (!addRecords()) {
        window_->setText(messageText(17));
        if (dest.buildKeys() != 0)
            why = "Unable to upgrade file - Error building keys : " + file_.name + " " +
                  errorLine(dest.error()) + " " + dest.error().key;
    }
    const int64_t written = why.empty() ? dest.records() : -1;
    if (why.empty() && written != done - failed)
        why = "Unable to upgrade file - " + std::to_string(done) + " records read but " +
              std::to_string(written) + " written : " + file_.name;
    dest.close();
    source.close();
    if (!why.empty()) return abandon(why);

    // A record that could not be written still lives in the futmp copy: keep it then.
    plan_.removeAside = failed == 0;
    if (!writeJournal(plan_, "built")) return abandon(messageText(8) + " the upgrade journal");
    if (!swapIn(plan_, &why)) {
        window_.reset();
        std::string where = storage::tableExists(plan_.source, plan_.sourceOwner)
                                ? "The file " + plan_.source + " was left as it was."
                                : "Its data are kept in " + plan_.aside + ".";
        stopMessage("Unable to upgrade file " + file_.name + " : " + why + " - " + where);
    }
}

}  // namespace

std::string prefixOf(const storage::TableDecl& decl) {
    for (const auto& f : decl.fields)
        if (auto c = f.name.find(':'); c != std::string::npos) return f.name.substr(0, c);
    for (const auto& f : decl.fields)
        if (auto u = f.name.find('_'); u != std::string::npos) return f.name.substr(0, u);
    return {};
}

SearchResult openTrial(Trial* trial) {
    storage::Table t(*trial->decl);
    t.setName(trial->name);
    t.setOwner(trial->owner);
    // Another process may be making this very file (two first starts): its lock is
    // waited for briefly before the file counts as held.
    t.sendDriverString("RECOVER=2");
    int err = t.open(storage::kReadWrite | storage::kDenyWrite);
    debugDetail("q1 " + std::to_string(err));
    if (err == storage::kAccessDenied) {
        haltMessage(messageText(15) + " File : " + trial->name);
        return SearchResult::Halted;
    }
    if (err == storage::kInvalidData) {
        haltMessage(messageText(13) + " File : " + trial->name);
        return SearchResult::Halted;
    }
    if (err == storage::kBadKey || err == storage::kInvalidFilter) {
        ProgressWindow window(messageText(17), trial->name, 0);
        t.sendDriverString("FULLBUILD=on");
        int built = t.buildKeys();
        if (built != 0) debugMessage("Error building file : " + std::to_string(built));
        window.close();
        t.close();
        err = t.open(storage::kReadWrite | storage::kDenyWrite);
    }
    if (err != 0) return SearchResult::NoHit;
    trial->records = t.records();
    t.close();
    return SearchResult::Hit;
}

void upgradeFile(storage::Table& file, int32_t options) {
    // A deferred registration is due now: the search needs the registered structures.
    if (auto registerAll = std::move(state().deferredRegistration)) {
        state().deferredRegistration = nullptr;
        registerAll();
    }
    Upgrade(file, options).run();
}

}  // namespace corvix::ferrule

void fu_UpGradeFile(corvix::storage::Table& file) {
    corvix::ferrule::upgradeFile(file, 0);
}

void fu_UpGradeFileEx(corvix::storage::Table& file, int32_t options) {
    corvix::ferrule::upgradeFile(file, options);
}
