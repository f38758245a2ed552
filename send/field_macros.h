// Field macros of an action: "[PASSWORD]", "[NAME]" and the others are replaced by the
// account's values before the key script is read.
#pragma once

#include <string>
#include <string_view>

#include "runtime/secret.h"
#include "vault/records.h"

namespace corvix::send {

constexpr size_t kExpansionChars = 1024;

// Replaces every occurrence of token in the fixed-length buffer by value, scanning from
// the end towards the start, so that a value just inserted is not searched again for the
// same token. The buffer keeps its length: it is cut, or padded with blanks. The buffer it
// replaces is wiped.
void ReplaceToken(std::u32string& buffer, std::u32string_view token, std::u32string_view value,
                  bool ignoreCase);

// The action with the account's fields put in, cut at 1,024 characters (trailing blanks
// removed). today is the current date in the user's short-date format. The text holds the
// password: every working copy on the way is wiped.
::runtime::Secret ExpandFieldMacros(const vault::PasRecord& account, std::string_view action,
                                  std::string_view today);

}  // namespace corvix::send
