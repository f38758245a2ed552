#include "accounts/account_rules.h"

#include "runtime/picture.h"
#include "vault/tables.h"

namespace corvix::accounts {

int statusIcon(int32_t expires, bool watched, int32_t today) {
    if (expires > 0 && expires <= today) return kIconExpired;
    if (expires > 0 && expires <= today + 7) return kIconExpiring;
    if (watched) return kIconWatched;
    return kIconGreen;
}

std::string maskedPassword(std::string_view password) {
    const std::string trimmed = runtime::rightTrim(std::string(password));
    size_t chars = 0;
    for (unsigned char c : trimmed)
        if ((c & 0xC0) != 0x80) ++chars;
    return std::string(chars, '*');
}

ExpiryDates applyExpiryRule(ExpiryDates dates, int32_t interval, bool passwordChanged,
                            int32_t today) {
    dates.lastChange = today;
    if (passwordChanged && interval != 0 && dates.expires < today + interval)
        dates.expires = today + interval;
    return dates;
}

int clipboardField(std::string_view choice) {
    struct Choice {
        std::string_view text;
        int field;
    };
    static constexpr Choice kChoices[] = {
        {"Password", vault::pas::Password},
        {"Name", vault::pas::Name},
        {"URL", vault::pas::URL},
        {"Category", vault::pas::Category},
        {"Description", vault::pas::Description},
        {"Custom 1", vault::pas::Custom1},
        {"Custom 2", vault::pas::Custom2},
        {"Custom 3", vault::pas::Custom3},
    };
    for (const Choice& c : kChoices)
        if (choice.substr(0, c.text.size()) == c.text) return c.field;
    return -1;
}

namespace {
std::string trimmed(std::string_view text) {
    std::string t = runtime::rightTrim(text);
    const size_t start = t.find_first_not_of(' ');
    return start == std::string::npos ? std::string() : t.substr(start);
}
}  // namespace

std::string appendKeyPress(std::string_view action, std::string_view modifier,
                           std::string_view key) {
    const std::string mod = trimmed(modifier);
    return runtime::rightTrim(action) + "[" + (mod.empty() ? "" : mod + "-") + trimmed(key) + "]";
}

std::string appendPresetValue(std::string_view action, std::string_view value) {
    return runtime::rightTrim(action) + "[" + trimmed(value) + "]";
}

}  // namespace corvix::accounts
