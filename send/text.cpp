#include "send/text.h"

#include "runtime/secret.h"
#include "runtime/utf8.h"

#include <locale.h>
#include <string.h>
#include <wctype.h>

namespace corvix::send {

std::u32string toU32(std::string_view s) {
    return runtime::decodeUtf8(s);
}

std::string toUtf8(std::u32string_view text) {
    return runtime::encodeUtf8(text);
}

namespace {
locale_t unicodeLocale() {
    // C.UTF-8 carries the Unicode case mappings without depending on the user's locale.
    static locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return loc;
}
}  // namespace

char32_t upperChar(char32_t c) {
    if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 32 : c;
    locale_t loc = unicodeLocale();
    if (!loc) return c;
    return static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), loc));
}

std::u32string upper(std::u32string_view text) {
    std::u32string out(text);
    for (char32_t& c : out) c = upperChar(c);
    return out;
}

std::string upperUtf8(std::string_view utf8) {
    return toUtf8(upper(toU32(utf8)));
}

std::u32string_view trimRight(std::u32string_view text) {
    size_t n = text.size();
    while (n > 0 && text[n - 1] == U' ') --n;
    return text.substr(0, n);
}

std::string_view trimRight(std::string_view text) {
    size_t n = text.size();
    while (n > 0 && text[n - 1] == ' ') --n;
    return text.substr(0, n);
}

bool isBlank(std::u32string_view text) {
    return trimRight(text).empty();
}
bool isBlank(std::string_view text) {
    return trimRight(text).empty();
}

void wipe(std::string& secret) {
    ::runtime::wipe(secret);
}

void wipe(std::u32string& secret) {
    if (secret.capacity() > 0) explicit_bzero(secret.data(), secret.capacity() * sizeof(char32_t));
    secret.clear();
}

std::string cutChars(std::string_view utf8, size_t n) {
    size_t chars = 0;
    size_t i = 0;
    while (i < utf8.size()) {
        if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80) {
            if (chars == n) break;
            ++chars;
        }
        ++i;
    }
    return std::string(utf8.substr(0, i));
}

}  // namespace corvix::send
