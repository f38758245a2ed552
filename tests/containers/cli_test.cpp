// corvix-cli generate, encrypt and decrypt through the built program: options, refusals,
// progress on standard error, a round trip through the upgrade library's opens.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <regex>

#include "cli_runner.h"

namespace corvix::testing {
namespace {

TEST(ContainerCli, GenerateKindsAndRefusals) {
    CliRunner cli;
    CliResult r = cli.run({"generate", "--type", "all", "--size", "128"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(std::regex_match(r.out, std::regex("[a-zA-Z0-9!@#$%&*(]{128}\n")));
    r = cli.run({"generate", "--type", "words", "--separator", "hyphen"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(std::regex_match(r.out, std::regex("[a-z]{4,7}-[a-z]{4,7}\n"))) << r.out;
    r = cli.run({"generate", "--type", "words"});
    EXPECT_TRUE(std::regex_match(r.out, std::regex("[a-z]{4,7}[1-9][a-z]{4,7}\n"))) << r.out;
    r = cli.run({"generate", "--type", "word", "--size", "8"});
    EXPECT_TRUE(std::regex_match(r.out, std::regex("[a-z]{8}\n"))) << r.out;

    for (const char* size : {"129", "0", "x"}) {
        r = cli.run({"generate", "--size", size});
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_NE(r.err.find("--size must be a number from 1 to 128"), std::string::npos);
        EXPECT_TRUE(r.out.empty());
    }
    EXPECT_EQ(cli.run({"generate", "--type", "digits"}).exitCode, 2);
}

TEST(ContainerCli, EncryptAndDecryptWithProgress) {
    CliRunner cli;
    ASSERT_EQ(cli.run({"init"}).exitCode, 0);  // no master password
    std::string bytes(6 << 20, '\0');
    std::mt19937 gen(7);
    for (char& c : bytes) c = static_cast<char>(gen());
    const std::string plain = cli.dir() + "/photo.raw";
    std::ofstream(plain, std::ios::binary) << bytes;

    CliResult r = cli.run({"encrypt", "photo.raw", "--delete-original"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("encrypting: 100%"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Encryption Complete: The file has been encrypted, and stored as " +
                         plain + ".ENC."),
              std::string::npos);
    EXPECT_TRUE(cli.fileBytes("photo.raw").empty());  // deleted after the read-back

    r = cli.run({"encrypt", "photo.raw"});
    EXPECT_EQ(r.exitCode, 1);
    r = cli.run({"decrypt", "photo.raw.ENC", "--delete-container"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("Decryption Complete: The file has been decrypted as " + plain + "."),
              std::string::npos);
    EXPECT_TRUE(cli.fileBytes("photo.raw") == bytes);
    EXPECT_TRUE(cli.fileBytes("photo.raw.ENC").empty());

    std::ofstream(cli.dir() + "/junk.ENC") << "junk";
    r = cli.run({"decrypt", "junk.ENC"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Access Denied: This file was not encrypted using this copy of Halden "
                         "Corvix."),
              std::string::npos)
        << r.err;
    EXPECT_EQ(cli.fileBytes("junk.ENC"), "junk");
    EXPECT_EQ(cli.run({"decrypt"}).exitCode, 2);
}

}  // namespace
}  // namespace corvix::testing
