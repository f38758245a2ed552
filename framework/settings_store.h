// The settings store: every window's position, size and maximized state, kept in the
// program's INI file under a section named after the window's procedure, and one
// framework list (the saved-query sectors) in a reserved section.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "runtime/ini_file.h"

namespace corvix::framework {

// What the store needs to know of a window; the window modules adapt their widgets.
class StoredWindow {
  public:
    virtual ~StoredWindow() = default;
    virtual int x() const = 0;
    virtual int y() const = 0;
    virtual int width() const = 0;
    virtual int height() const = 0;
    virtual bool maximized() const = 0;
    virtual bool minimized() const = 0;
    virtual bool resizable() const = 0;
    virtual void setPosition(int x, int y) = 0;
    virtual void setSize(int width, int height) = 0;
    virtual void setMaximized(bool on) = 0;
};

// One entry of the reserved list: three parts of up to 100 characters.
struct Sector {
    std::string first;
    std::string second;
    std::string third;
    bool operator==(const Sector&) const = default;
};

class SettingsStore {
  public:
    static constexpr std::string_view kDefaultFile = "corvix.INI";
    static constexpr std::string_view kReservedSection = "__Dont_Touch_Me__";

    SettingsStore() = default;
    virtual ~SettingsStore() = default;

    // Binds the store to its INI file (name cut to 260 characters) and reads the
    // reserved list.
    void Init(std::string_view fileName = kDefaultFile);
    // Writes the reserved list back (at program end).
    bool Kill();
    const std::string& FileName() const { return fileName_; }

    virtual void SaveWindow(std::string_view section, const StoredWindow& window);
    virtual void RestoreWindow(std::string_view section, StoredWindow& window);

    // One value as text: the stored value, or fallback when the key is absent.
    std::string GetValue(std::string_view section, std::string_view key,
                         std::string_view fallback = "") const;
    bool PutValue(std::string_view section, std::string_view key, std::string_view value);

    std::vector<Sector>& Sectors() { return sectors_; }
    const std::vector<Sector>& Sectors() const { return sectors_; }

  private:
    void ReadSectors();
    bool WriteSectors();

    std::string fileName_;
    runtime::IniFile ini_;
    std::vector<Sector> sectors_;
};

// The process-wide store. Until one is installed, a default (unbound) store.
SettingsStore& settingsStore();
SettingsStore* setSettingsStore(SettingsStore* s);  // not owned; nullptr restores the default

}  // namespace corvix::framework
