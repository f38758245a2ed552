#include "security/vault_theme_source.h"

#include "platform/storage/table.h"
#include "vault/tables.h"
#include "vault/vault_key.h"

namespace corvix::security {

std::optional<vault::GsdRecord> VaultThemeSource::themeById(int32_t gsdId) {
    storage::Table table(vault::CVGSD());
    table.setOwner(vault::BuildVaultKey());
    if (table.open(storage::kReadOnly | storage::kDenyNone) != 0) return std::nullopt;
    vault::GsdBuffer buffer;
    buffer->GSD_ID = gsdId;
    const int rc = table.get(vault::gsd::K_GSD_ID, buffer);
    table.close();
    if (rc != 0) return std::nullopt;
    return buffer.record();
}

ThemeSource& defaultThemeSource() {
    static VaultThemeSource source;
    return source;
}

}  // namespace corvix::security
