// Where the logon code finds a theme by its GSD:GSD_ID: the vault's themes table unless
// another source is installed (tests, a caller holding a theme that is not saved yet).
#pragma once

#include <cstdint>
#include <map>
#include <optional>

#include "vault/records.h"

namespace corvix::security {

class ThemeSource {
  public:
    virtual ~ThemeSource() = default;
    virtual std::optional<vault::GsdRecord> themeById(int32_t gsdId) = 0;
};

// The installed source (not owned); nullptr restores the vault's themes (CVGSD).
// Returns the previous one.
ThemeSource* setThemeSource(ThemeSource* source);
ThemeSource& themeSource();
// The theme with this id from the installed source, if any.
std::optional<vault::GsdRecord> findTheme(int32_t gsdId);

// Themes held in memory.
class MemoryThemeSource : public ThemeSource {
  public:
    void add(const vault::GsdRecord& theme) { themes_[theme.GSD_ID] = theme; }
    std::optional<vault::GsdRecord> themeById(int32_t gsdId) override;

  private:
    std::map<int32_t, vault::GsdRecord> themes_;
};

}  // namespace corvix::security
