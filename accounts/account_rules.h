// The rules of a password account that the list, the form, the wizard and corvix-cli
// share: the status icon of a row, the masked password, the expiry rule on saving and
// the field that "Place on Clipboard" copies. No widgets here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace corvix::accounts {

// Icon numbers of the list's first column.
enum StatusIcon : int { kIconWatched = 1, kIconGreen = 2, kIconExpired = 3, kIconExpiring = 4 };

// expires: the standard date of expiry, 0 for none. An account expiring exactly seven
// days from today counts as expiring soon (yellow): a date a week away is a warning the
// user should see, and it keeps the yellow band the seven days before expiry.
int statusIcon(int32_t expires, bool watched, int32_t today);

// As many "*" as the right-trimmed text has characters (code points).
std::string maskedPassword(std::string_view password);

// The dates a save writes. passwordChanged: the password differs from the one the form
// opened with. Last change becomes today; with a changed password and an interval, an
// expiry date earlier than today + interval moves to today + interval.
struct ExpiryDates {
    int32_t lastChange = 0;
    int32_t expires = 0;
};
ExpiryDates applyExpiryRule(ExpiryDates dates, int32_t interval, bool passwordChanged,
                            int32_t today);

// The field number (vault::pas) "Place on Clipboard" copies for the drop list's text,
// compared on its first characters; -1 for a text that names none.
int clipboardField(std::string_view choice);

// The send-script append buttons: the right-trimmed action followed by "[mod-key]" (or
// "[key]" without a modifier), and by "[value]".
std::string appendKeyPress(std::string_view action, std::string_view modifier,
                           std::string_view key);
std::string appendPresetValue(std::string_view action, std::string_view value);

}  // namespace corvix::accounts
