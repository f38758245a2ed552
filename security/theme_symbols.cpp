#include "security/theme_symbols.h"

#include <sodium.h>

#include "security/password_text.h"

namespace corvix::security {

std::string makeSymbolString(std::string_view alphabet) {
    std::u32string chars = toChars(alphabet);
    if (chars.empty() || sodium_init() < 0) return {};
    std::u32string out;
    out.reserve(kSymbolStringChars);
    for (int k = 0; k < kSymbolStringChars; ++k) {
        // A uniform i in 1..N, both ends included, picks the i-th character.
        uint32_t i = randombytes_uniform(static_cast<uint32_t>(chars.size())) + 1;
        out.push_back(chars[i - 1]);
    }
    return toUtf8(out);
}

char32_t symbolAt(std::u32string_view symbols, int position) {
    if (position < 1 || static_cast<size_t>(position) > symbols.size()) return U' ';
    return symbols[position - 1];
}

}  // namespace corvix::security
