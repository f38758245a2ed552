// Registration of drivers and files, the name and value registries, the upgrade file's
// location and the example files for the repair tool.
#include <unistd.h>

#include <chrono>
#include <climits>

#include "libs/ferrule/engine.h"
#include "libs/ferrule/ferrule.h"
#include "libs/ferrule/image.h"
#include "libs/ferrule/messages.h"
#include "libs/ferrule/settings.h"
#include "libs/ferrule/state.h"
#include "libs/ferrule/upgrade_file.h"
#include "runtime/qt_services.h"

namespace corvix::ferrule {
namespace {

// Registration stages whose time fu_GetProfile shows.
enum Stage {
    kLocate,
    kOpenUpg,
    kLookUp,
    kImageNew,
    kAddRecord,
    kImageCompare,
    kReadStored,
    kCompare,
    kRegister,
    kDebug,
    kOther
};

class StageClock {
  public:
    explicit StageClock(Stage s) : stage_(s), start_(std::chrono::steady_clock::now()) {}
    ~StageClock() {
        auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                      std::chrono::steady_clock::now() - start_)
                      .count();
        state().profile[stage_] += us;
    }

  private:
    Stage stage_;
    std::chrono::steady_clock::time_point start_;
};

void registerDriver(std::string name, DriverKind kind) {
    name = clip(name).substr(0, 3);
    debugMessage("Registering driver " + name + " " + std::to_string(driverAddress(kind)));
    state().drivers.push_back(Driver{name, kind});
    if (equalNoCase(name, "ODF")) state().oldFormatSearch = true;
}

// Steps 2 to 4 of registration: record a new structure, or compare the stored one.
void recordStructure(storage::Table& file, const std::string& prefix, const std::string& label,
                     int32_t version) {
    FileRef ref = FileRef::of(file);
    storage::Table& upg = upg2();
    storage::Record rec(upg2Declaration());
    int found;
    {
        StageClock c(kLookUp);
        rec.clear();
        rec.set(kUpgLabel, label);
        rec.set(kUpgVersion, int64_t(version));
        found = upg.get(kUpgKey, rec);
    }
    std::string image;
    if (found != 0) {
        ImageStatus status;
        {
            StageClock c(kImageNew);
            status = buildImage(ref, &image);
        }
        debugDetail(label + " File Definition size = " + std::to_string(image.size()));
        if (status == ImageStatus::DriverNotLocated) {
            stopMessage(messageText(10) + " " + label);
        } else if (status == ImageStatus::TooLarge) {
            stopMessage(messageText(14) + " " + label);
        } else {
            StageClock c(kAddRecord);
            addStructure(Structure{label, upper(prefix), "", version, image});
        }
        return;
    }
    if (hasSwitch("/LoadFast")) return;
    std::string stored;
    {
        StageClock c(kReadStored);
        stored = readWholeBlob(upg, kUpgFmt);
    }
    ImageStatus status;
    {
        StageClock c(kImageCompare);
        status = buildImage(ref, &image);
    }
    debugDetail(label + " File Definition size == " + std::to_string(image.size()));
    if (status == ImageStatus::DriverNotLocated) {
        stopMessage(messageText(10) + " " + label);
        return;
    }
    if (status == ImageStatus::TooLarge) {
        stopMessage(messageText(14, Form::Second) + " " + label);
        return;
    }
    bool differ;
    {
        StageClock c(kCompare);
        differ = imagesDiffer(stored, image);
    }
    if (differ) stopMessage(messageText(1) + " " + label);
}

std::string exampleName(std::string name) {
    // Only the file's own name is lower-cased: directories keep their case on this disk.
    auto slash = name.rfind('/');
    size_t from = slash == std::string::npos ? 0 : slash + 1;
    std::string lower =
        name.substr(0, from) + runtime::qtServices().lower(std::string_view(name).substr(from));
    if (auto tps = lower.find(".tps", from); tps != std::string::npos)
        return lower.replace(tps, 4, ".tpe");
    if (auto bang = lower.find("\\!", from); bang != std::string::npos)
        return lower.insert(bang, ".tpe");
    return lower + ".tpe";
}

std::string makeExample(const FileRef& file) {
    locateUpgradeFile();
    openUpg2(" Name:");
    std::string image;
    if (buildImage(file, &image) != ImageStatus::Ok) return "1";
    ParsedImage parsed;
    if (!parseImage(image, &parsed)) return "1";
    if (!equalNoCase(parsed.driver, "Tps") || file.kind != DriverKind::Table) return "2";
    std::string name = exampleName(file.name);
    parsed.decl.name = name;
    if (storage::tableExists(name, parsed.owner)) storage::removeTable(name, parsed.owner);
    storage::Table example(parsed.decl);
    example.setName(name);
    example.setOwner(parsed.owner);
    if (example.create() != 0) return "3";
    closeUpg2();
    return name;
}

}  // namespace
}  // namespace corvix::ferrule

using namespace corvix::ferrule;

void fu_AddDriver(std::string name, corvix::storage::Table&) {
    registerDriver(std::move(name), DriverKind::Table);
}

void fu_AddDriver(std::string name, corvix::storage::RawFile&) {
    registerDriver(std::move(name), DriverKind::Raw);
}

void fu_IgnoreDriver(std::string name, int32_t flags) {
    state().exclusions.push_back(Exclusion{upper(clip(name)), flags});
}

void fu_UsingFile(corvix::storage::Table& file, std::string prefix, std::string label,
                  int32_t version) {
    prefix = clip(prefix);
    label = clip(label);
    {
        StageClock c(kLocate);
        locateUpgradeFile();
    }
    {
        StageClock c(kOpenUpg);
        if (!openUpg2(" Name:")) return;
    }
    recordStructure(file, prefix, label, version);
    StageClock c(kRegister);
    state().files.push_back(RegisteredFile{upper(prefix), version, label, &file});
}

void fu_DeferRegistration(std::function<void()> registerAll) {
    state().deferredRegistration = std::move(registerAll);
}

void fu_SetUPGPath(std::string path, uint8_t useCurrent) {
    std::string dir = clip(path);
    if (useCurrent) {
        char cwd[PATH_MAX];
        dir = getcwd(cwd, sizeof cwd) ? cwd : "";
    }
    nameUpgradeFile(withSlash(dir));
    refreshSilent();
    if (!openUpg2(" Name:")) return;
    for (const auto& f : state().files) recordStructure(*f.file, f.prefix, f.label, f.version);
    closeUpg2();
}

void fu_AlternateFileName(std::string newName, std::string oldName) {
    state().fileNames.push_back(
        AlternateName{upper(clip(newName)), upper(clip(oldName)), clip(oldName)});
}

void fu_AlternateFieldName(std::string newName, std::string oldName) {
    state().fieldNames.push_back(
        AlternateName{upper(clip(newName)), upper(clip(oldName)), clip(oldName)});
}

void fu_SetIfNew(std::string value, std::string fieldName) {
    std::string name = upper(clip(fieldName));
    for (auto& v : state().newValues) {
        if (v.name == name) {
            v.value = clip(value);
            v.autoNumber = 0;
            return;
        }
    }
    state().newValues.push_back(NewValue{name, clip(value), 0});
}

std::string fu_MakeTPE(corvix::storage::Table& file) {
    return makeExample(FileRef::of(file));
}
std::string fu_MakeTPE(corvix::storage::RawFile& file) {
    return makeExample(FileRef::of(file));
}

void fu_GetProfile(uint8_t show) {
    if (!hasSwitch("/Profile") || show != 1) return;
    std::string text = "Profile of fu_UsingFile : ";
    int64_t total = 0;
    for (int64_t us : state().profile) {
        text += std::to_string(us / 10000) + " ";
        total += us;
    }
    stopMessage(text + std::to_string(total / 10000));
}
