// Moving in from other password managers: their CSV exports read by header name into
// new accounts (new numbers, groups or folders as categories, created when missing, the
// action and wait of a new account), and the vault written as a CSV that KeePassXC
// imports. Column mapping (also in the README):
//
//   account field    KeePassXC        Bitwarden                 Chrome
//   PAS:Category     Group (last part) folder                   -
//   PAS:Description  Title            name                      name
//   PAS:Name         Username         login_username            username
//   PAS:Password     Password         login_password            password
//   PAS:URL          URL              login_uri                 url
//   PAS:Notes        Notes            notes (+ fields)          note
//   PAS:LastChange   Last Modified    -                         -
//
// A missing category becomes "Personal". A record with a text longer than its field, or
// that is not UTF-8, is skipped and reported rather than cut.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/storage/table.h"

namespace corvix::vault {

enum class ForeignFormat { KeePassXC, Bitwarden, Chrome };

// "keepassxc", "bitwarden", "chrome" (any letter case); false for anything else.
bool parseForeignFormat(std::string_view name, ForeignFormat* format);

struct ForeignAccount {
    int64_t line = 0;  // where its record starts in the file
    std::string category, description, name, password, url, notes;
    int32_t lastChange = 0;  // 0: today
    ForeignAccount() = default;
    ForeignAccount(ForeignAccount&&) = default;
    ForeignAccount& operator=(ForeignAccount&&) = default;
    ~ForeignAccount();  // wipes the password and notes
};

struct ForeignFile {
    std::vector<ForeignAccount> accounts;
    std::vector<std::pair<int64_t, std::string>> skipped;  // line and reason
    std::string error;                                     // the file could not be used
};

// Reads the CSV export (a header row naming the columns, then one record per row; quoted
// fields may hold commas, quotes and line breaks). `error` is set when the file cannot be
// read or lacks a column the format needs.
ForeignFile readForeignFile(const std::string& fileName, ForeignFormat format);

struct ForeignImportResult {
    int64_t imported = 0;
    std::vector<std::string> categoriesCreated;
    storage::Error failure;
};

// Adds the accounts with new numbers; `categories` and `accounts` must be open for
// writing on one file. Runs in one transaction: all or nothing.
ForeignImportResult importForeignAccounts(const std::vector<ForeignAccount>& accounts,
                                          storage::Table& categories, storage::Table& passwords,
                                          int32_t today);

// The categories that importing would create (those not found in `categories`), in order
// of first use.
std::vector<std::string> missingCategories(const std::vector<ForeignAccount>& accounts,
                                           storage::Table& categories);

// Writes every account as a KeePassXC CSV ("Group","Title","Username","Password","URL",
// "Notes","Last Modified"), mode 0600, to a file that must not exist yet.
int exportKeePassXcCsv(storage::Table& passwords, const std::string& fileName, int64_t* written,
                       storage::Error* failure);

}  // namespace corvix::vault
