#include "framework/settings_store.h"
#include "runtime/picture.h"

#include <strings.h>
#include <charconv>
#include <optional>

namespace corvix::framework {

namespace {

constexpr size_t kFileNameChars = 260;
constexpr size_t kPartChars = 100;

bool sameWord(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

std::optional<int> toInt(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    int v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || s.empty()) return std::nullopt;
    return v;
}

std::string sectorKey(size_t n) {
    return "Sectors_" + std::to_string(n);
}

}  // namespace

void SettingsStore::Init(std::string_view fileName) {
    fileName_ = runtime::cutToCodePoints(fileName, kFileNameChars);
    ini_.setPath(fileName_);
    ReadSectors();
}

bool SettingsStore::Kill() {
    return WriteSectors();
}

void SettingsStore::SaveWindow(std::string_view section, const StoredWindow& window) {
    if (fileName_.empty() || window.minimized()) return;
    const bool maximized = window.maximized();
    ini_.write(section, "Maximize", maximized ? "Yes" : "No");
    if (maximized) return;
    ini_.writeInt(section, "XPos", window.x());
    ini_.writeInt(section, "YPos", window.y());
    if (window.resizable()) {
        ini_.writeInt(section, "Height", window.height());
        ini_.writeInt(section, "Width", window.width());
    }
}

void SettingsStore::RestoreWindow(std::string_view section, StoredWindow& window) {
    if (fileName_.empty()) return;
    const std::string maximize = ini_.read(section, "Maximize");
    bool wantMaximized;
    if (sameWord(maximize, "Yes"))
        wantMaximized = true;
    else if (sameWord(maximize, "No"))
        wantMaximized = false;
    else
        return;  // never saved: the window keeps its designed place
    if (!wantMaximized && window.maximized()) window.setMaximized(false);
    if (ini_.has(section, "XPos")) {
        // A value that is not a number leaves that coordinate as it was.
        int x = toInt(ini_.read(section, "XPos")).value_or(window.x());
        int y = toInt(ini_.read(section, "YPos")).value_or(window.y());
        window.setPosition(x, y);
        if (window.resizable()) {
            int w = toInt(ini_.read(section, "Width")).value_or(window.width());
            int h = toInt(ini_.read(section, "Height")).value_or(window.height());
            if (w > 0 && h > 0) window.setSize(w, h);
        }
    }
    if (window.maximized() != wantMaximized) window.setMaximized(wantMaximized);
}

std::string SettingsStore::GetValue(std::string_view section, std::string_view key,
                                    std::string_view fallback) const {
    return ini_.read(section, key, fallback);
}

bool SettingsStore::PutValue(std::string_view section, std::string_view key,
                             std::string_view value) {
    if (fileName_.empty()) return false;
    return ini_.write(section, key, value);
}

void SettingsStore::ReadSectors() {
    sectors_.clear();
    const long count = ini_.readInt(kReservedSection, "Sectors", 0);
    for (long n = 1; n <= count; ++n) {
        std::string entry = ini_.read(kReservedSection, sectorKey(n));
        Sector s;
        size_t c1 = entry.find(',');
        size_t c2 = c1 == std::string::npos ? std::string::npos : entry.find(',', c1 + 1);
        s.first = runtime::cutToCodePoints(entry.substr(0, c1), kPartChars);
        if (c1 != std::string::npos)
            s.second = runtime::cutToCodePoints(
                entry.substr(c1 + 1, c2 == std::string::npos ? c2 : c2 - c1 - 1), kPartChars);
        if (c2 != std::string::npos)
            s.third = runtime::cutToCodePoints(entry.substr(c2 + 1), kPartChars);
        sectors_.push_back(std::move(s));
    }
}

bool SettingsStore::WriteSectors() {
    if (fileName_.empty()) return false;
    const long before = ini_.readInt(kReservedSection, "Sectors", 0);
    bool ok = ini_.writeInt(kReservedSection, "Sectors", static_cast<long>(sectors_.size()));
    for (size_t n = 1; n <= sectors_.size(); ++n) {
        const Sector& s = sectors_[n - 1];
        ok = ini_.write(kReservedSection, sectorKey(n),
                        runtime::cutToCodePoints(s.first, kPartChars) + "," +
                            runtime::cutToCodePoints(s.second, kPartChars) + "," +
                            runtime::cutToCodePoints(s.third, kPartChars)) &&
             ok;
    }
    // Entries of a longer earlier list would otherwise linger behind the count.
    for (long n = static_cast<long>(sectors_.size()) + 1; n <= before; ++n)
        ini_.removeKey(kReservedSection, sectorKey(n));
    return ok;
}

namespace {
SettingsStore* installedStore = nullptr;
}

SettingsStore& settingsStore() {
    if (installedStore) return *installedStore;
    static SettingsStore fallback;
    return fallback;
}

SettingsStore* setSettingsStore(SettingsStore* s) {
    SettingsStore* previous = installedStore;
    installedStore = s;
    return previous;
}

}  // namespace corvix::framework
