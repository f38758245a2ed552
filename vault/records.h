// Record types of the vault's tables, one member per field (the field PAS:Password is
// the member Password of PasRecord). DATE fields hold a standard date (day count, 0 =
// blank); strings hold UTF-8 text without trailing blanks, cut to the field's size.
// The declarations and the buffers that bind these structs to the storage driver are in
// vault/tables.h.
#pragma once

#include <cstdint>
#include <string>

namespace corvix::vault {

// CVCAT - categories ("Corvix\!Category")
struct CatRecord {
    std::string Category;  // STRING(30)
};

// CVPAS - password accounts ("Corvix\!Passwords")
struct PasRecord {
    int32_t PAS_ID = 0;
    std::string Category;          // STRING(30)
    std::string Description;       // STRING(60)
    std::string Name;              // STRING(128)
    std::string Password;          // STRING(128)
    std::string URL;               // STRING(255)
    std::string Custom1;           // STRING(128)
    std::string Custom2;           // STRING(128)
    std::string Custom3;           // STRING(128)
    int32_t LastChange = 0;        // DATE
    int32_t Expires = 0;           // DATE
    int32_t ExpiryInterval = 0;    // LONG
    std::string TargetWindow;      // STRING(128)
    std::string TargetWindowText;  // STRING(60)
    std::string Action;            // STRING(255)
    uint8_t Watch = 0;             // BYTE
    uint8_t Wait = 0;              // BYTE
    std::string Notes;             // STRING(4096)
};

// CVMAS - master information ("Corvix\!Master")
struct MasRecord {
    int32_t MAS_ID = 0;
    int32_t GSD_ID = 0;
    std::string Password;     // STRING(128)
    std::string EncPassword;  // STRING(128)
    std::string Path;         // STRING(255)
    uint8_t RevealPasswords = 0;
    uint8_t MonitorInactivity = 0;
    int32_t InactivityTimeout = 0;
    uint8_t UseMasterPasswordImage = 0;
    uint8_t PlaySounds = 0;
    std::string Sound_Click;  // STRING(255)
    std::string Sound_Send;   // STRING(255)
    std::string Sound_Other;  // STRING(20)
    std::string Custom1;      // STRING(20)
    std::string Custom2;      // STRING(20)
    std::string Custom3;      // STRING(20)
    int32_t InstallDate = 0;  // LONG, a standard date
};

// CVGSD - image themes ("Corvix\!Schemes")
struct GsdRecord {
    int32_t GSD_ID = 0;
    std::string Description;  // STRING(40)
    uint8_t Columns = 0;
    uint8_t Rows = 0;
    std::string Image;  // STRING(255)
    std::string Basis;  // STRING(8): "Grid" or "Location"
    std::string Style;  // STRING(20)
    uint8_t ShowGrid = 0;
    uint8_t ShowHint = 0;
    uint32_t GridColor = 0;  // 0x00BBGGRR
    std::string Password;    // STRING(128): the theme's symbol string
};

// CVWRD - word database
struct WrdRecord {
    int32_t WRD_ID = 0;
    std::string Word;  // STRING(20)
};

// CVEF - sealed file container; the content is the BLOB EF:Binary
struct EfRecord {
    uint8_t ID = 0;
    std::string Password;          // STRING(128): installation identity of its maker
    std::string Description;       // STRING(80)
    std::string OriginalFileName;  // STRING(255)
};

}  // namespace corvix::vault
