// The vault is only encrypted when the SQLite actually in the process is SQLCipher: a
// plain libsqlite3 loaded beside it would quietly write clear text.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "platform/storage/table.h"

TEST(CipherLibrary, TheLinkedSqliteIsSqlCipherAndPlainSqliteIsNotLoaded) {
    std::string reason;
    EXPECT_TRUE(corvix::storage::verifyCipherLibrary(&reason)) << reason;
    std::ifstream maps("/proc/self/maps");
    ASSERT_TRUE(maps.good());
    bool cipher = false, plain = false;
    for (std::string line; std::getline(maps, line);) {
        cipher |= line.find("libsqlcipher.so") != std::string::npos;
        plain |= line.find("libsqlite3.so") != std::string::npos;
    }
    EXPECT_TRUE(cipher);
    EXPECT_FALSE(plain);
}
