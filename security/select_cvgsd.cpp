#include "security/select_cvgsd.h"

#include "framework/vault_managers.h"
#include "security/theme_source.h"

namespace corvix::security {

using namespace corvix::framework;

SelectCVGSD::SelectCVGSD(VaultManagers& managers, int32_t current)
    : BrowseCVGSD("SelectCVGSD", managers, kSelectRecord), current_(current) {}

int SelectCVGSD::init() {
    const int level = BrowseCVGSD::init();
    if (level != kLevelBenign) return level;
    // Opened on the theme the settings name, when it exists.
    if (std::optional<vault::GsdRecord> theme = findTheme(current_)) {
        // Through the locator, as if the description had been typed into the list.
        for (const QChar c : QString::fromStdString(theme->Description)) browse().takeTyped(c);
    }
    return kLevelBenign;
}

int select_cvgsd(VaultManagers& managers, int32_t current) {
    SelectCVGSD picker(managers, current);
    return picker.run();
}

}  // namespace corvix::security
