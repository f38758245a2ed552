// What the set-up and change sequences share: their messages, and one password entry on
// the medium the record chooses (typed, or clicks on its theme), kept in a Secret.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "framework/prompt.h"
#include "runtime/secret.h"
#include "vault/records.h"

namespace corvix::security {

// A message with one OK button.
void tell(const char* title, const char* text, framework::Icon icon);
// GSD:Basis of the theme the record names when its password is given on an image; "" else.
std::string basisFor(const vault::MasRecord& record);
// One AskPassword; nothing when it was cancelled.
std::optional<::runtime::Secret> askEntry(const vault::MasRecord& record, const std::string& basis,
                                        const char* prompt, std::string_view expected);
}  // namespace corvix::security
