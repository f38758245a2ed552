// The themes of the vault file (CVGSD in the working directory), read by GSD:GSD_ID.
#pragma once

#include "security/theme_source.h"

namespace corvix::security {

class VaultThemeSource : public ThemeSource {
  public:
    // Opens the themes table read-only for the look-up and closes it again; a vault
    // that does not exist (or cannot be opened) has no themes. Never creates a file.
    std::optional<vault::GsdRecord> themeById(int32_t gsdId) override;
};

// The source used when none is installed.
ThemeSource& defaultThemeSource();

}  // namespace corvix::security
