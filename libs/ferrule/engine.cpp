#include "libs/ferrule/engine.h"

#include <unistd.h>

#include <climits>
#include <cstdio>

#include "libs/ferrule/image.h"
#include "libs/ferrule/messages.h"
#include "libs/ferrule/old_format.h"
#include "libs/ferrule/record_copy.h"
#include "libs/ferrule/settings.h"
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
    bool moveAside(int64_t* records);
    void copyRecords();
    bool refresh() const { return options_ & kRefreshOption; }
    bool addRecords() const { return refresh() || hasSwitch("/AddRecords"); }

    storage::Table& host_;
    FileRef file_;
    int32_t options_;
    const RegisteredFile* registered_ = nullptr;
    bool copyMode_ = false;
    bool downgradeWarned_ = false;
    Trial trial_;
    std::string temp_;
    std::unique_ptr<ProgressWindow> window_;
};

void Upgrade::run() {
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
    int64_t records = trial_.records;
    if (!moveAside(&records)) {
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

// Moves (or copies) the file found to the first free "futmp" name of the current
// directory. An existing futmp file is never overwritten: it may hold an earlier
// upgrade's data.
bool Upgrade::moveAside(int64_t* records) {
    window_ = std::make_unique<ProgressWindow>(messageText(16), file_.name, *records);
    char cwd[PATH_MAX];
    bool withDir = getcwd(cwd, sizeof cwd) != nullptr;
    bool copy = copyMode_ || hasSwitch("/FRLCOPY");
    for (int n = 1; n <= 999; ++n) {
        char base[16];
        std::snprintf(base, sizeof base, "futmp%03d", n);
        std::string temp = withDir ? std::string(cwd) + "/" + base : std::string(base);
        if (storage::tableExists(temp, trial_.owner)) continue;
        int err = copy ? storage::copyTable(trial_.name, temp, trial_.owner)
                       : storage::renameTable(trial_.name, temp, trial_.owner);
        if (err == 0) {
            temp_ = temp;
            return true;
        }
        debugMessage(errorLine(storage::lastError()) + " " + temp);
        if (err == 3) withDir = false;
    }
    window_.reset();
    stopMessage(messageText(5));
    return false;
}

void Upgrade::copyRecords() {
    const bool moved = !(copyMode_ || hasSwitch("/FRLCOPY"));
    storage::Table dest(*file_.decl);
    dest.setName(file_.name);
    dest.setOwner(file_.owner);
    // When the new file cannot be made, the old one goes back where it was.
    auto putBack = [&] {
        if (moved && !storage::tableExists(trial_.name, trial_.owner))
            storage::renameTable(temp_, trial_.name, trial_.owner);
    };
    int err = dest.create();
    if (err != 0) {
        window_.reset();
        stopMessage(messageText(6) + file_.name + " " + dest.error().text);
        putBack();
        return;
    }
    err = dest.open(storage::kReadWrite | storage::kDenyAll);
    if (err != 0) {
        window_.reset();
        stopMessage(messageText(6, Form::Second) + file_.name + " " + dest.error().text);
        storage::removeTable(file_.name, file_.owner);
        putBack();
        return;
    }
    trial_.decl->name = temp_;
    storage::Table source(*trial_.decl);
    source.setName(temp_);
    source.setOwner(trial_.owner);
    err = source.open(storage::kReadWrite | storage::kDenyAll);
    if (err != 0 && err != storage::kBadKey) {
        window_.reset();
        stopMessage(messageText(7) + " " + source.error().text + " " + temp_);
        dest.close();
        return;
    }

    dest.stream();
    window_->setText(messageText(refresh() ? 18 : 12));
    window_->setTotal(trial_.records);
    RecordCopier copier(*file_.decl, *trial_.decl);
    storage::Record from(*trial_.decl);
    storage::Record into(*file_.decl);
    int64_t done = 0, failed = 0;
    bool ended = false;
    source.set(storage::kPhysicalOrder);
    while (!ended && source.next(from) == 0) {
        window_->setValue(++done);
        copier.copy(from, into);
        // Keys that are built afterwards are not kept up to date record by record.
        err = addRecords() ? dest.add(into) : dest.append(into);
        if (err == 0) err = copier.copyBlobs(source, dest);
        if (err != 0) {
            ++failed;
            const storage::Error& e = dest.error();
            ended = !stopMessage(messageText(8) + " " + std::to_string(err) + " " +
                                 storage::errorText(err) + " File Driver Error : " + e.driverText);
        }
    }
    dest.flush();
    if (!addRecords()) {
        // Appended records have no keys until they are built: a copy stopped early
        // gets them too, without the progress text.
        if (!ended) window_->setText(messageText(17));
        dest.buildKeys();
    }
    dest.close();
    source.close();
    // A record that could not be written still lives in the copy: keep it then.
    if (!ended && failed == 0) storage::removeTable(temp_, trial_.owner);
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
    Upgrade(file, options).run();
}

}  // namespace corvix::ferrule

void fu_UpGradeFile(corvix::storage::Table& file) {
    corvix::ferrule::upgradeFile(file, 0);
}

void fu_UpGradeFileEx(corvix::storage::Table& file, int32_t options) {
    corvix::ferrule::upgradeFile(file, options);
}
