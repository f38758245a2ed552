#include "libs/ferrule/upgrade_file.h"

#include <unistd.h>

#include <climits>

#include "libs/ferrule/image.h"
#include "libs/ferrule/messages.h"
#include "libs/ferrule/settings.h"
#include "libs/ferrule/state.h"

namespace corvix::ferrule {
namespace {

using storage::FieldDecl;
using storage::FieldType;

FieldDecl text(const char* name, uint32_t size) {
    FieldDecl f;
    f.name = name;
    f.type = FieldType::String;
    f.size = size;
    return f;
}

FieldDecl number(const char* name, FieldType type) {
    FieldDecl f;
    f.name = name;
    f.type = type;
    return f;
}

storage::KeyDecl key(const char* name, std::vector<int> components) {
    storage::KeyDecl k;
    k.name = name;
    k.components = std::move(components);
    k.flags = 0;
    return k;
}

}  // namespace

std::string upgradeFilePassword() {
    // Kept in pieces so that it does not stand in the library as one string.
    std::string p = "Fr";
    p += "l7";
    p += "uQ";
    return p;
}

const storage::TableDecl& upg2Declaration() {
    static const storage::TableDecl decl = [] {
        storage::TableDecl d;
        d.label = "Upg2";
        d.prefix = "UPG";
        d.owner = upgradeFilePassword();
        d.fields = {text("UPG:LABEL", 50),
                    text("UPG:PREFIX", 20),
                    text("UPG:DRIVER", 10),
                    number("UPG:VERSION", FieldType::Short),
                    number("UPG:EXTRA1", FieldType::Long),
                    number("UPG:EXTRA2", FieldType::Long),
                    text("UPG:EXTRA3", 50)};
        d.keys = {key("UPG:KEY", {kUpgLabel, kUpgVersion}),
                  key("UPG:PREKEY", {kUpgPrefix, kUpgVersion})};
        // Binary bytes, so a BLOB rather than a text memo; the 40000 limit is ours.
        d.blobs = {storage::BlobDecl{"UPG:FMT", false, uint32_t(kMaxImage)}};
        return d;
    }();
    return decl;
}

const storage::TableDecl& oldUpgDeclaration() {
    static const storage::TableDecl decl = [] {
        storage::TableDecl d;
        d.label = "Upg";
        d.prefix = "OUPG";
        d.owner = upgradeFilePassword();
        d.fields = {text("OUPG:LABEL", 50), text("OUPG:PREFIX", 20), text("OUPG:DRIVER", 10),
                    number("OUPG:VERSION", FieldType::Short)};
        d.keys = {key("OUPG:KEY", {0, 3}), key("OUPG:PREKEY", {1, 3})};
        d.blobs = {storage::BlobDecl{"OUPG:FMT", false, uint32_t(kMaxOldImage)}};
        return d;
    }();
    return decl;
}

void nameUpgradeFile(const std::string& dir) {
    auto& s = state();
    closeUpg2();
    s.upg2.reset();
    s.upgDir = dir;
    s.oldName = dir + "Upg.Tps";
    // The explicit extension keeps both tables in one file on a case-sensitive disk.
    s.upg2Name = dir + "Upg.Tps\\!Upg2";
}

void locateUpgradeFile() {
    auto& s = state();
    if (s.upg2Name.empty()) {
        std::string dir = clip(readSetting("FRL", "PathFRL"));
        if (dir.empty()) {
            dir = programDirectory();
            // An installed program's directory is not the user's to write: the upgrade
            // file then lives beside the data, in the current directory.
            char cwd[PATH_MAX];
            if (access(dir.c_str(), W_OK) != 0 && getcwd(cwd, sizeof cwd)) dir = cwd;
        }
        nameUpgradeFile(withSlash(dir));
    }
    refreshSilent();
}

storage::Table& upg2() {
    auto& s = state();
    if (!s.upg2) {
        s.upg2 = std::make_unique<storage::Table>(upg2Declaration());
        s.upg2->setName(s.upg2Name);
        s.upg2->setOwner(upgradeFilePassword());
    }
    return *s.upg2;
}

namespace {

// Copies the structures kept by earlier versions of the library into the new Upg2.
void fillFromOldTable(storage::Table& target) {
    storage::Table old(oldUpgDeclaration());
    old.setName(state().oldName);
    old.setOwner(upgradeFilePassword());
    if (old.open(storage::kReadOnly | storage::kDenyNone) != 0) return;
    int64_t count = old.records();
    if (count > 0) {
        ProgressWindow window("Please wait. Upgrading old UPG file.", "", count);
        storage::Record from(oldUpgDeclaration());
        old.set();
        int64_t done = 0;
        while (old.next(from) == 0) {
            Structure st;
            st.label = from.getString(0);
            st.prefix = from.getString(1);
            st.driver = from.getString(2);
            st.version = int32_t(from.getInt(3));
            st.image = readWholeBlob(old, 0);
            addStructure(st);
            window.setValue(++done);
        }
    }
    old.close();
}

}  // namespace

bool openUpg2(const char* nameSeparator) {
    locateUpgradeFile();
    storage::Table& t = upg2();
    if (t.isOpen()) return true;
    int err = t.open(storage::kReadWrite | storage::kDenyNone);
    if (err == storage::kFileNotFound) {
        err = t.createIfMissing();
        if (err == 0) err = t.open(storage::kReadWrite | storage::kDenyNone);
        if (err == 0) fillFromOldTable(t);
    }
    if (err == 0 || err == storage::kAlreadyOpen) return true;
    stopMessage(messageText(2) + " " + std::to_string(err) + " " + t.error().text + nameSeparator +
                state().upg2Name);
    return false;
}

void closeUpg2() {
    auto& s = state();
    if (s.upg2 && s.upg2->isOpen()) s.upg2->close();
}

Structure structureOf(storage::Table& table, const storage::RecordBuffer& record) {
    Structure s;
    s.label = record.getString(kUpgLabel);
    s.prefix = record.getString(kUpgPrefix);
    s.driver = record.getString(kUpgDriver);
    s.version = int32_t(record.getInt(kUpgVersion));
    s.image = readWholeBlob(table, kUpgFmt);
    return s;
}

int addStructure(const Structure& s) {
    storage::Table& t = upg2();
    storage::Record r(upg2Declaration());
    r.clear();
    r.set(kUpgLabel, s.label);
    r.set(kUpgPrefix, upper(s.prefix));
    r.set(kUpgDriver, s.driver);
    r.set(kUpgVersion, int64_t(s.version));
    r.set(kUpgExtra1, int64_t(0));
    r.set(kUpgExtra2, int64_t(0));
    r.set(kUpgExtra3, std::string());
    int err = t.add(r);
    if (err == 0) err = writeWholeBlob(t, kUpgFmt, s.image);
    return err;
}

std::string readWholeBlob(storage::Table& table, int blob) {
    std::string out;
    int64_t size = table.blobSize(blob);
    if (size <= 0) return out;
    out.resize(size_t(size));
    size_t got = 0;
    if (table.readBlob(blob, 0, out.data(), out.size(), &got) != 0) got = 0;
    out.resize(got);
    return out;
}

int writeWholeBlob(storage::Table& table, int blob, const std::string& bytes) {
    int err = table.truncateBlob(blob);
    if (err == 0 && !bytes.empty()) err = table.appendBlob(blob, bytes.data(), bytes.size());
    return err;
}

}  // namespace corvix::ferrule
