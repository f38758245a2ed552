#include "send/field_macros.h"

#include <string.h>

#include "send/text.h"

namespace corvix::send {
namespace {

bool sameAt(const std::u32string& buffer, size_t p, std::u32string_view token, bool ignoreCase) {
    if (p + token.size() > buffer.size()) return false;
    std::u32string_view here(buffer.data() + p, token.size());
    if (here == token) return true;
    if (!ignoreCase) return false;
    for (size_t i = 0; i < token.size(); ++i)
        if (upperChar(here[i]) != upperChar(token[i])) return false;
    return true;
}

// Encodes into the secret's own buffer, so that no other copy of the text is made.
void appendUtf8(::runtime::Secret& out, char32_t c) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    char bytes[4];
    size_t n = 0;
    if (c < 0x80) {
        bytes[n++] = static_cast<char>(c);
    } else if (c < 0x800) {
        bytes[n++] = static_cast<char>(0xC0 | (c >> 6));
        bytes[n++] = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        bytes[n++] = static_cast<char>(0xE0 | (c >> 12));
        bytes[n++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        bytes[n++] = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        bytes[n++] = static_cast<char>(0xF0 | (c >> 18));
        bytes[n++] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        bytes[n++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        bytes[n++] = static_cast<char>(0x80 | (c & 0x3F));
    }
    out.append(std::string_view(bytes, n));
    explicit_bzero(bytes, sizeof bytes);
}

}  // namespace

void ReplaceToken(std::u32string& buffer, std::u32string_view token, std::u32string_view value,
                  bool ignoreCase) {
    const size_t length = buffer.size();
    if (token.empty() || token.size() > length) return;
    for (size_t p = length - token.size() + 1; p-- > 0;) {
        if (!sameAt(buffer, p, token, ignoreCase)) continue;
        std::u32string next;
        next.reserve(length + value.size());
        next.append(buffer, 0, p);
        next.append(value);
        next.append(buffer, p + token.size(), std::u32string::npos);
        next.resize(length, U' ');
        buffer.swap(next);
        wipe(next);
    }
}

::runtime::Secret ExpandFieldMacros(const vault::PasRecord& account, std::string_view action,
                                  std::string_view today) {
    std::u32string buffer;
    buffer.reserve(kExpansionChars);
    buffer = toU32(action);
    buffer.resize(kExpansionChars, U' ');
    const struct {
        std::u32string_view macro;
        std::string_view value;
    } macros[] = {
        {U"[PASSWORD]", account.Password}, {U"[DESCRIPTION]", account.Description},
        {U"[NAME]", account.Name},         {U"[URL]", account.URL},
        {U"[CUSTOM1]", account.Custom1},   {U"[CUSTOM2]", account.Custom2},
        {U"[CUSTOM3]", account.Custom3},   {U"[NOTES]", account.Notes},
        {U"[CATEGORY]", account.Category}, {U"[TODAY]", today},
    };
    for (const auto& m : macros) {
        std::u32string value = toU32(trimRight(m.value));
        ReplaceToken(buffer, m.macro, value, true);
        wipe(value);
    }
    const std::u32string_view text = trimRight(buffer);
    ::runtime::Secret out;
    out.reserve(text.size() * 4);
    for (char32_t c : text) appendUtf8(out, c);
    wipe(buffer);
    return out;
}

}  // namespace corvix::send
