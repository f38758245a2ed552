#include "security/password_generator.h"

#include <sodium.h>

#include "platform/storage/table.h"
#include "runtime/picture.h"
#include "vault/tables.h"

namespace corvix::security {

uint32_t drawUniform(uint32_t n) {
    if (sodium_init() < 0) std::abort();  // no safe random source: never fall back
    return randombytes_uniform(n) + 1;
}

int64_t TableWords::count() {
    return words_.records();
}

bool TableWords::fetch(int64_t id, std::string& word) {
    vault::WrdBuffer record;
    record->WRD_ID = static_cast<int32_t>(id);
    if (words_.get(vault::wrd::K_ID, record) != storage::kNoError) return false;
    word = runtime::rightTrim(record->Word);
    return true;
}

namespace {

std::string_view alphabetOf(std::string_view type) {
    if (type == kTypeAlphabetOnly) return kAlphabetOnly;
    if (type == kTypeAlphanumeric) return kAlphanumeric;
    return kAllCharacters;
}

// Draws up to kWordTries words into `buffer`, stopping at the first one `fits` accepts.
// A draw that hits a gap in the numbering counts as a try and leaves the buffer as it
// was. Returns whether the buffer holds a fitting word.
template <class Fits>
bool drawWord(WordSource& words, const Draw& draw, std::string& buffer, Fits fits) {
    const int64_t count = words.count();
    if (count <= 0) return false;
    const auto n = static_cast<uint32_t>(std::min<int64_t>(count, UINT32_MAX));
    std::string word;
    for (int attempt = 0; attempt < kWordTries; ++attempt) {
        if (!words.fetch(draw(n), word)) continue;
        buffer = word;
        if (fits(runtime::charCount(buffer))) return true;
    }
    return false;
}

class NoWords : public WordSource {
  public:
    int64_t count() override { return 0; }
    bool fetch(int64_t, std::string&) override { return false; }
};

}  // namespace

bool typeUsesSize(std::string_view type) {
    return type != kTypeConcatenatedWords;
}

GeneratedPassword generatePassword(const PasswordRequest& request, WordSource* words,
                                   const Draw& draw) {
    GeneratedPassword out;
    const std::string type = runtime::rightTrim(request.type);
    if (typeUsesSize(type)) {
        if (request.size <= 0) {
            out.status = GenerateStatus::SizeMissing;
            return out;
        }
        if (request.size > kMaxPasswordSize) {
            out.status = GenerateStatus::SizeTooLarge;
            return out;
        }
    }
    if (type.empty()) {
        out.status = GenerateStatus::TypeMissing;
        return out;
    }
    NoWords none;
    WordSource& list = words ? *words : none;
    std::string buffer;  // the word record's buffer: it keeps the last word fetched
    ::runtime::Secret& result = out.password;
    result.reserve(kMaxPasswordSize);

    if (type == kTypeWord) {
        const size_t size = static_cast<size_t>(request.size);
        if (!drawWord(list, draw, buffer, [size](size_t length) { return length == size; }))
            out.noWordOfSize = true;
        result.assign(buffer);
    } else if (type == kTypeConcatenatedWords) {
        if (list.count() > 0) {
            auto shortWord = [](size_t length) { return length > 3 && length <= 7; };
            drawWord(list, draw, buffer, shortWord);
            result.append(buffer);
            const std::string join = runtime::rightTrim(request.concatenation);
            if (join == kJoinPlusSign)
                result.append('+');
            else if (join == kJoinHyphen)
                result.append('-');
            else
                result.append(static_cast<char>('0' + draw(9)));
            drawWord(list, draw, buffer, shortWord);
            result.append(buffer);
        }
    } else {
        const std::string_view alphabet = alphabetOf(type);
        for (int i = 0; i < request.size; ++i)
            result.append(alphabet[draw(static_cast<uint32_t>(alphabet.size())) - 1]);
    }
    ::runtime::wipe(buffer);
    size_t end = result.size();
    while (end > 0 && result.view()[end - 1] == ' ') --end;
    result.truncate(end);
    return out;
}

::runtime::Secret generatedMessage(const ::runtime::Secret& password) {
    ::runtime::Secret text("The generated password is ");
    text.append(password.view());
    text.append('.');
    return text;
}

}  // namespace corvix::security
