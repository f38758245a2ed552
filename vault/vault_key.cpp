#include "vault/vault_key.h"

#include <sodium.h>

#include "runtime/utf8.h"

namespace corvix::vault {

const char SymbolAlphabet[kSymbolAlphabetSize + 1] =
    "Qx7%Lm2@Vr9?Kd4$Tw8*Hn3+Zp6=Bf5:Jc1-Gy0<abeghijkloqstuvzACDEFIMNOPRSUWXY!#&(),./;>[]^_{|}~"
    "iounrstAEIOUNRST2468aeiounrstAEIOUNRST2468aeiounrstAEIOUNRST2468aei";
static_assert(sizeof(SymbolAlphabet) == kSymbolAlphabetSize + 1,
              "the symbol alphabet holds exactly 157 characters");

std::string VaultKey;

const std::string& BuildVaultKey() {
    std::string key(kVaultKeySize, ' ');
    for (std::size_t i = 0; i < kVaultKeySize; ++i)
        key[i] = static_cast<char>(SymbolAlphabet[i] ^ 1);
    VaultKey = std::move(key);
    return VaultKey;
}

std::string WordDatabaseOwner() {
    // Spelled out of pieces so it is not one obvious string in the binary.
    std::string owner = "quillfeather";
    owner += "parchment";
    owner += "inkstand";
    return owner;
}

std::string makeSymbolString(std::string_view alphabet) {
    const std::u32string chars = runtime::decodeUtf8(alphabet);
    if (chars.empty() || sodium_init() < 0) return {};
    std::u32string symbols(128, U' ');
    for (char32_t& c : symbols) c = chars[randombytes_uniform(static_cast<uint32_t>(chars.size()))];
    return runtime::encodeUtf8(symbols);
}

}  // namespace corvix::vault
