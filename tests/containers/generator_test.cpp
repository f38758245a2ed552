// The password generator's rules: alphabets, sizes, words of a size with their 500 tries,
// two short words and a separator, gaps in the word numbering.
#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <regex>
#include <set>

#include "security/password_generator.h"

namespace corvix::security {
namespace {

// Words by number, with gaps where no number is given; counts the fetches.
class FakeWords : public WordSource {
  public:
    explicit FakeWords(std::map<int64_t, std::string> words, int64_t count = -1)
        : words_(std::move(words)),
          count_(count < 0 ? static_cast<int64_t>(words_.size()) : count) {}
    int64_t count() override { return count_; }
    bool fetch(int64_t id, std::string& word) override {
        ++fetches;
        auto it = words_.find(id);
        if (it == words_.end()) return false;
        word = it->second;
        return true;
    }
    int fetches = 0;

  private:
    std::map<int64_t, std::string> words_;
    int64_t count_;
};

// Draws from a script (each value must lie in 1..n), then repeats the last one.
Draw scripted(std::deque<uint32_t> values) {
    auto queue = std::make_shared<std::deque<uint32_t>>(std::move(values));
    return [queue](uint32_t n) {
        uint32_t v = queue->front();
        if (queue->size() > 1) queue->pop_front();
        EXPECT_GE(v, 1u);
        EXPECT_LE(v, n);
        return v;
    };
}

PasswordRequest request(const char* type, int size, const char* join = "") {
    PasswordRequest r;
    r.type = type;
    r.size = size;
    r.concatenation = join;
    return r;
}

TEST(Generator, CharacterAlphabetsAndSizes) {
    GeneratedPassword one = generatePassword(request(kTypeAlphabetOnly, 1), nullptr);
    ASSERT_EQ(one.status, GenerateStatus::Done);
    ASSERT_EQ(one.password.size(), 1u);
    EXPECT_TRUE(one.password.view()[0] >= 'a' && one.password.view()[0] <= 'z');

    // The draw's ends map to the alphabet's first and last characters.
    EXPECT_EQ(
        generatePassword(request(kTypeAlphanumeric, 2), nullptr, scripted({1, 62})).password.view(),
        "a0");
    EXPECT_EQ(
        generatePassword(request("anything else", 2), nullptr, scripted({70, 27})).password.view(),
        "(A");
    EXPECT_EQ(generatePassword(request(kTypeAlphanumeric, 128), nullptr).password.size(), 128u);

    // Size 0 and a blank type generate nothing; above 128 is refused, never cut.
    EXPECT_EQ(generatePassword(request(kTypeAlphanumeric, 0), nullptr).status,
              GenerateStatus::SizeMissing);
    EXPECT_EQ(generatePassword(request(kTypeWord, 129), nullptr).status,
              GenerateStatus::SizeTooLarge);
    EXPECT_EQ(generatePassword(request("", 6), nullptr).status, GenerateStatus::TypeMissing);
    EXPECT_TRUE(generatePassword(request(kTypeAlphanumeric, 999), nullptr).password.empty());
}

TEST(Generator, AllCharactersUseExactlyTheirSeventy) {
    std::map<char, int> seen;
    for (int i = 0; i < 1000; ++i) {
        GeneratedPassword p = generatePassword(request(kTypeAllCharacters, 128), nullptr);
        for (char c : p.password.view()) ++seen[c];
    }
    for (char c : std::string(")+=_-")) EXPECT_EQ(seen.count(c), 0u) << c;
    EXPECT_EQ(seen.size(), 70u);
    for (char c : kAllCharacters) EXPECT_GT(seen[c], 0) << c;
    // 128,000 uniform draws: each character near 1,829 (s.d. 42); a skewed source falls outside.
    for (const auto& [c, n] : seen) {
        EXPECT_GT(n, 1600) << c;
        EXPECT_LT(n, 2060) << c;
    }
}

TEST(Generator, WordOfTheSizeOrTheWarning) {
    FakeWords words({{1, "apple"}, {2, "kiwi"}, {4, "banana"}}, 4);
    GeneratedPassword p = generatePassword(request(kTypeWord, 4), &words, scripted({1, 3, 2}));
    EXPECT_EQ(p.password.view(), "kiwi");
    EXPECT_FALSE(p.noWordOfSize);
    EXPECT_EQ(words.fetches, 3);  // the gap at 3 was one try

    // No word of that size: 500 tries, the last word fetched stays, the warning is due.
    FakeWords again({{1, "apple"}, {2, "kiwi"}, {4, "banana"}}, 4);
    p = generatePassword(request(kTypeWord, 9), &again, scripted({4, 1}));
    EXPECT_EQ(again.fetches, kWordTries);
    EXPECT_EQ(p.password.view(), "apple");
    EXPECT_TRUE(p.noWordOfSize);

    FakeWords none({});
    p = generatePassword(request(kTypeWord, 6), &none);
    EXPECT_TRUE(p.noWordOfSize);
    EXPECT_TRUE(p.password.empty());
    EXPECT_EQ(std::string(kNoWordOfSize),
              "There are no words that size in the database - a random word has been picked.");
}

TEST(Generator, ConcatenatedWordsJoinTwoShortWords) {
    // 3 letters and 8 letters are passed over; gaps count as tries.
    FakeWords words({{1, "cat"}, {2, "elephant"}, {3, "horse"}, {5, "tiger"}}, 5);
    GeneratedPassword p = generatePassword(request(kTypeConcatenatedWords, 0, kJoinNumber), &words,
                                           scripted({1, 2, 4, 3, 7, 5}));
    EXPECT_EQ(p.password.view(), "horse7tiger");  // 5 + 1 + 5 characters
    EXPECT_EQ(p.status, GenerateStatus::Done);    // the size is not used

    FakeWords plus({{1, "horse"}});
    EXPECT_EQ(
        generatePassword(request(kTypeConcatenatedWords, 6, kJoinPlusSign), &plus).password.view(),
        "horse+horse");
    FakeWords hyphen({{1, "horse"}});
    EXPECT_EQ(
        generatePassword(request(kTypeConcatenatedWords, 6, kJoinHyphen), &hyphen).password.view(),
        "horse-horse");

    // With no short word at all the last word drawn is used; a blank join is a digit.
    FakeWords longOnly({{1, "elephants"}});
    p = generatePassword(request(kTypeConcatenatedWords, 6), &longOnly);
    EXPECT_TRUE(
        std::regex_match(std::string(p.password.view()), std::regex("elephants[1-9]elephants")));

    FakeWords empty({});
    EXPECT_TRUE(
        generatePassword(request(kTypeConcatenatedWords, 6, kJoinHyphen), &empty).password.empty());

    // Every digit 1-9 appears between the words, never 0.
    std::set<char> digits;
    FakeWords many({{1, "abcd"}});
    for (int i = 0; i < 400; ++i)
        digits.insert(generatePassword(request(kTypeConcatenatedWords, 6, kJoinNumber), &many)
                          .password.view()[4]);
    EXPECT_EQ(digits, (std::set<char>{'1', '2', '3', '4', '5', '6', '7', '8', '9'}));
}

TEST(Generator, MessageShowsThePassword) {
    ::runtime::Secret pw("ab(1");
    EXPECT_EQ(generatedMessage(pw).view(), "The generated password is ab(1.");
}

}  // namespace
}  // namespace corvix::security
