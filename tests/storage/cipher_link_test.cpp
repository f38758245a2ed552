// The vault is only encrypted when the SQLite actually in the process is SQLCipher: a
// plain libsqlite3 loaded beside it would quietly write clear text. And the OpenSSL under
// it computes the format's algorithms.
#include <gtest/gtest.h>
// SQLCipher keys its page check through OpenSSL's HMAC_CTX calls; so does this test.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <fstream>
#include <string>
#include <vector>

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

namespace {

std::string hex(const unsigned char* bytes, size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < size; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

std::vector<unsigned char> bytes(const std::string& hexText) {
    std::vector<unsigned char> out;
    for (size_t i = 0; i + 1 < hexText.size(); i += 2)
        out.push_back(static_cast<unsigned char>(std::stoi(hexText.substr(i, 2), nullptr, 16)));
    return out;
}

}  // namespace

// The pages' cipher, their check and its key, and the generator of initialisation vectors
// give the published test results through the process's OpenSSL, which builds nothing
// beyond them (a command's first page would otherwise build every cipher OpenSSL has).
TEST(CipherLibrary, OpenSslOffersTheFormatsAlgorithmsWithTheirStandardResultsAndNoOthers) {
    std::string reason;
    ASSERT_TRUE(corvix::storage::verifyCipherLibrary(&reason)) << reason;

    // AES-256-CBC, SP 800-38A F.2.5, the first block, looked up as SQLCipher looks it up.
    const EVP_CIPHER* cbc = EVP_get_cipherbyname("aes-256-cbc");
    ASSERT_NE(cbc, nullptr);
    const auto key = bytes("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
    const auto iv = bytes("000102030405060708090a0b0c0d0e0f");
    const auto plain = bytes("6bc1bee22e409f96e93d7e117393172a");
    unsigned char sealed[32];
    int length = 0;
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    ASSERT_EQ(EVP_CipherInit_ex(ctx, cbc, nullptr, key.data(), iv.data(), 1), 1);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    ASSERT_EQ(EVP_CipherUpdate(ctx, sealed, &length, plain.data(), 16), 1);
    EVP_CIPHER_CTX_free(ctx);
    EXPECT_EQ(hex(sealed, static_cast<size_t>(length)), "f58c4c04d6e5f1ba779eabfb5f7bfbd6");

    // PBKDF2-HMAC-SHA1, RFC 6070 (two iterations, as the page check's key).
    unsigned char derived[20];
    ASSERT_EQ(PKCS5_PBKDF2_HMAC_SHA1("password", 8, reinterpret_cast<const unsigned char*>("salt"),
                                     4, 2, sizeof derived, derived),
              1);
    EXPECT_EQ(hex(derived, sizeof derived), "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957");

    // HMAC-SHA1, RFC 2202 case 2, keyed as each page's check keys it.
    unsigned char mac[EVP_MAX_MD_SIZE];
    unsigned int macLength = 0;
    const std::string data = "what do ya want for nothing?";
    HMAC_CTX* hmac = HMAC_CTX_new();
    ASSERT_EQ(HMAC_Init_ex(hmac, "Jefe", 4, EVP_sha1(), nullptr), 1);
    ASSERT_EQ(HMAC_Update(hmac, reinterpret_cast<const unsigned char*>(data.data()), data.size()),
              1);
    ASSERT_EQ(HMAC_Final(hmac, mac, &macLength), 1);
    HMAC_CTX_free(hmac);
    EXPECT_EQ(hex(mac, macLength), "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79");

    // Fresh initialisation vectors: two draws, never the same.
    unsigned char first[32], second[32];
    ASSERT_EQ(RAND_bytes(first, sizeof first), 1);
    ASSERT_EQ(RAND_bytes(second, sizeof second), 1);
    EXPECT_NE(hex(first, sizeof first), hex(second, sizeof second));

    // Nothing else is offered, so nothing else is built.
    for (const char* other : {"AES-128-GCM", "CHACHA20", "AES-256-CTR"}) {
        EVP_CIPHER* c = EVP_CIPHER_fetch(nullptr, other, nullptr);
        EXPECT_EQ(c, nullptr) << other;
        EVP_CIPHER_free(c);
    }
    EVP_MD* md = EVP_MD_fetch(nullptr, "SHA512", nullptr);
    EXPECT_EQ(md, nullptr);
    EVP_MD_free(md);
}
