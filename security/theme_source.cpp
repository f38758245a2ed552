#include "security/theme_source.h"

#include "security/vault_theme_source.h"

namespace corvix::security {

namespace {
ThemeSource* installed = nullptr;
}

ThemeSource* setThemeSource(ThemeSource* source) {
    ThemeSource* previous = installed;
    installed = source;
    return previous;
}

ThemeSource& themeSource() {
    return installed ? *installed : defaultThemeSource();
}

std::optional<vault::GsdRecord> findTheme(int32_t gsdId) {
    return themeSource().themeById(gsdId);
}

std::optional<vault::GsdRecord> MemoryThemeSource::themeById(int32_t gsdId) {
    auto it = themes_.find(gsdId);
    if (it == themes_.end()) return std::nullopt;
    return it->second;
}

}  // namespace corvix::security
