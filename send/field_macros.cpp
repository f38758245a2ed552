#include "send/field_macros.h"

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
        buffer = std::move(next);
    }
}

std::string ExpandFieldMacros(const vault::PasRecord& account, std::string_view action,
                              std::string_view today) {
    std::u32string buffer = toU32(action);
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
    }
    return toUtf8(trimRight(buffer));
}

}  // namespace corvix::send
