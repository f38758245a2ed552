// Making a new password: letters, digits and a few symbols drawn uniformly, a word of a
// chosen length from the word database, or two short words joined by a separator.
// No widgets here: the generator window and corvix-cli share it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "runtime/secret.h"

namespace corvix::storage {
class Table;
}

namespace corvix::security {

// The window's values of the password type; any other value draws from all characters.
inline constexpr const char* kTypeWord = "Word";
inline constexpr const char* kTypeConcatenatedWords = "Concatenated Words";
inline constexpr const char* kTypeAlphabetOnly = "Alphabet Only";
inline constexpr const char* kTypeAlphanumeric = "Alphanumeric";
inline constexpr const char* kTypeAllCharacters = "All Characters";
// The type of concatenation; blank joins with a digit.
inline constexpr const char* kJoinPlusSign = "Plus Sign";
inline constexpr const char* kJoinHyphen = "Hyphen";
inline constexpr const char* kJoinNumber = "Number";

inline constexpr std::string_view kAlphabetOnly = "abcdefghijklmnopqrstuvwxyz";
inline constexpr std::string_view kAlphanumeric =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ1234567890";
inline constexpr std::string_view kAllCharacters =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ1234567890!@#$%&*(";

inline constexpr int kMaxPasswordSize = 128;  // what the result holds
inline constexpr int kWordTries = 500;
inline constexpr const char* kNoWordOfSize =
    "There are no words that size in the database - a random word has been picked.";

// A uniform whole number from 1 to n, both ends included (n >= 1).
using Draw = std::function<uint32_t(uint32_t n)>;
uint32_t drawUniform(uint32_t n);  // libsodium

// The words to draw from, addressed by WRD:WRD_ID.
class WordSource {
  public:
    virtual ~WordSource() = default;
    virtual int64_t count() = 0;  // number of records
    // The word numbered id, trailing blanks removed; false when there is none.
    virtual bool fetch(int64_t id, std::string& word) = 0;
};

// The word database through an open CVWRD table.
class TableWords : public WordSource {
  public:
    explicit TableWords(storage::Table& words) : words_(words) {}
    int64_t count() override;
    bool fetch(int64_t id, std::string& word) override;

  private:
    storage::Table& words_;
};

struct PasswordRequest {
    std::string type = kTypeAlphanumeric;
    int size = 6;
    std::string concatenation;  // blank behaves as "Number"
};

enum class GenerateStatus {
    Done,
    SizeMissing,   // size 0 where the type uses it: nothing generated
    SizeTooLarge,  // above kMaxPasswordSize: refused rather than cut
    TypeMissing,   // blank type: nothing generated
};

struct GeneratedPassword {
    GenerateStatus status = GenerateStatus::Done;
    ::runtime::Secret password;  // trailing blanks removed
    bool noWordOfSize = false;   // "Word" found no word of the size: show kNoWordOfSize
};

// Whether the type's size entry is in use (every type but "Concatenated Words").
bool typeUsesSize(std::string_view type);

// Generates one password. words may be null for the types that draw no words (and is
// treated as an empty list for those that do).
GeneratedPassword generatePassword(const PasswordRequest& request, WordSource* words,
                                   const Draw& draw = drawUniform);

// The message shown after generating: "The generated password is " + password + ".".
::runtime::Secret generatedMessage(const ::runtime::Secret& password);

}  // namespace corvix::security
