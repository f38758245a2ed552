#include "runtime/secret.h"

#include <gtest/gtest.h>

#include <string>

using ::runtime::Secret;

TEST(Secret, GrowsMovesAndClonesWithoutLosingBytes) {
    Secret s;
    std::string expected;
    for (int i = 0; i < 1000; ++i) {  // many reallocations
        char c = static_cast<char>('a' + i % 26);
        s.append(c);
        expected.push_back(c);
    }
    s.append(std::string_view("\0é€", 6));
    expected.append(std::string_view("\0é€", 6));
    EXPECT_EQ(s.view(), expected);

    Secret copy = s.clone();
    Secret moved(std::move(s));
    EXPECT_TRUE(s.empty());  // NOLINT(bugprone-use-after-move): a moved-from secret is empty
    EXPECT_EQ(moved.view(), expected);
    EXPECT_EQ(copy.view(), expected);

    Secret assigned("x");
    assigned = std::move(copy);
    EXPECT_EQ(assigned.view(), expected);
    EXPECT_TRUE(copy.empty());  // NOLINT(bugprone-use-after-move)
}

TEST(Secret, TruncateWipesTheTailAndEqualsComparesWholeTexts) {
    Secret s("password123");
    const char* raw = s.data();
    s.truncate(8);
    EXPECT_EQ(s.view(), "password");
    // The cut bytes are still owned by the buffer, so reading them is defined: they are zero.
    EXPECT_EQ(raw[8], '\0');
    EXPECT_EQ(raw[10], '\0');
    EXPECT_TRUE(s.equals("password"));
    EXPECT_FALSE(s.equals("passwore"));
    EXPECT_FALSE(s.equals("password1"));
    EXPECT_FALSE(s.equals(""));
    s.clear();
    EXPECT_TRUE(s.equals(""));
    EXPECT_EQ(raw[0], '\0');
}

TEST(Secret, AdoptLeavesNoCopyInTheSource) {
    std::string source = "hunter2-hunter2-hunter2-hunter2-long-enough-for-the-heap";
    const char* heap = source.data();
    std::size_t length = source.size();
    Secret s = Secret::adopt(source);
    EXPECT_EQ(s.view(), "hunter2-hunter2-hunter2-hunter2-long-enough-for-the-heap");
    EXPECT_TRUE(source.empty());
    // The string keeps its buffer after clear(), so its old bytes can be inspected.
    for (std::size_t i = 0; i < length; ++i) ASSERT_EQ(heap[i], '\0') << i;
}
