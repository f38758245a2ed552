#include "security/theme_symbols.h"

#include "security/password_text.h"
#include "vault/vault_key.h"

namespace corvix::security {

std::string makeSymbolString(std::string_view alphabet) {
    return vault::makeSymbolString(alphabet);
}

char32_t symbolAt(std::u32string_view symbols, int position) {
    if (position < 1 || static_cast<size_t>(position) > symbols.size()) return U' ';
    return symbols[position - 1];
}

}  // namespace corvix::security
