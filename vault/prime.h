// The values a new record gets before a form, wizard or command fills it in, and the
// field rules that are checked before a record is saved.
#pragma once

#include <cstdint>
#include <string>

#include "platform/storage/table.h"
#include "vault/records.h"

namespace corvix::vault {

// The login name of the process's user, cut to 40 characters; blank when it cannot be
// read. The default user name of a new account.
std::string NetworkUserName();

// The category a new account starts in.
inline constexpr const char* kDefaultCategory = "Personal";

// Initial values of a new account: category "Personal", a placeholder description and
// URL, the user's login name, today's change date, the default action and a wait of 2.
void primeCVPAS(PasRecord& record, int32_t today);
// Initial values of a new master record (captions, inactivity logoff after 10 minutes).
void primeCVMAS(MasRecord& record, int32_t today);
// Initial values of a new image theme, with a fresh symbol string.
void primeCVGSD(GsdRecord& record);

// The wizard's own values over primeCVMAS for a vault that is being set up.
void primeNewVaultMaster(MasRecord& record, int32_t today);

// The result of a field rule: ok, or the message the file manager shows for it:
// message 14 (the value must be found in another table) or 16 (range).
struct FieldCheck {
    bool ok = true;
    int messageId = 0;    // 14 or 16 when not ok
    std::string field;    // the field's prompt, for %Field
    std::string message;  // for %Message: "CVCAT", "1 and 9"
    std::string title;    // the message's title, filled in
    std::string text;     // the message's text, filled in
};

// PAS:Category must be found in CVCAT (`categories` open).
FieldCheck validatePasCategory(const PasRecord& record, storage::Table& categories);
// GSD:Columns and GSD:Rows must lie in 1..9.
FieldCheck validateGsdColumns(const GsdRecord& record);
FieldCheck validateGsdRows(const GsdRecord& record);
// Every rule of the record, first failure wins.
FieldCheck validateCVPAS(const PasRecord& record, storage::Table& categories);
FieldCheck validateCVGSD(const GsdRecord& record);

// The installation identity rule: a blank identity becomes the master password, or
// today's standard date in decimal digits when that is blank too.
std::string installationIdentity(const MasRecord& record, int32_t today);

}  // namespace corvix::vault
