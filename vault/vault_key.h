// The fixed owner passwords of the program's encrypted files and the symbol alphabet
// they are cut from.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace corvix::vault {

// 157 printable characters (letters, digits, punctuation; some occur more than once,
// which makes them likelier in a theme's symbol string). Also the alphabet of the
// image themes' symbol strings.
inline constexpr std::size_t kSymbolAlphabetSize = 157;
extern const char SymbolAlphabet[kSymbolAlphabetSize + 1];

// The owner password of the vault's tables and of sealed-file containers: 40 characters,
// the same in every installation. Filled by BuildVaultKey.
inline constexpr std::size_t kVaultKeySize = 40;
extern std::string VaultKey;

// Rebuilds VaultKey (the first 40 symbols with their lowest bit inverted) and returns it.
// Called immediately before every open of an encrypted table, so the key never has to
// sit in the binary as a literal.
const std::string& BuildVaultKey();

// The word database's own owner password: 29 lower-case letters.
std::string WordDatabaseOwner();

// 128 symbols, each drawn independently and uniformly from the alphabet (UTF-8; by
// default SymbolAlphabet): a fresh image theme's symbol string. Blank for an empty
// alphabet.
std::string makeSymbolString(std::string_view alphabet = SymbolAlphabet);

}  // namespace corvix::vault
