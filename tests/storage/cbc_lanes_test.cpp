// Pages encrypted several at a time: byte for byte what OpenSSL's one-stream AES-256-CBC
// gives, and pages sealed in groups read back through OpenSSL's decryption.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <algorithm>
#include <iterator>
#include <vector>

#include "platform/storage/cbc_lanes.h"
#include "platform/storage/declaration.h"
#include "platform/storage/page_cipher.h"

namespace corvix::storage::detail {
namespace {

std::vector<unsigned char> randomBytes(size_t n) {
    std::vector<unsigned char> bytes(n);
    if (n > 0) EXPECT_EQ(RAND_bytes(bytes.data(), static_cast<int>(n)), 1);
    return bytes;
}

std::vector<unsigned char> opensslCbc(const std::vector<unsigned char>& key,
                                      const std::vector<unsigned char>& iv,
                                      const std::vector<unsigned char>& plain) {
    std::vector<unsigned char> out(plain.size());
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    int written = 0, tail = 0;
    const bool ok =
        ctx && EVP_EncryptInit_ex(ctx, EVP_aes_256_cbc(), nullptr, key.data(), iv.data()) == 1 &&
        EVP_CIPHER_CTX_set_padding(ctx, 0) == 1 &&
        EVP_EncryptUpdate(ctx, out.data(), &written, plain.data(),
                          static_cast<int>(plain.size())) == 1 &&
        EVP_EncryptFinal_ex(ctx, out.data() + written, &tail) == 1;
    EVP_CIPHER_CTX_free(ctx);
    EXPECT_TRUE(ok);
    EXPECT_EQ(static_cast<size_t>(written + tail), plain.size());
    return out;
}

TEST(CbcLanes, EveryLaneCountAndSizeEqualsOpenSslByteForByte) {
    if (!CbcLanes::available()) GTEST_SKIP() << "this CPU has no AES instructions";
    const size_t page = kLargePageSize - kPageReserve;
    // One block, a page's span, the first page's shorter span, and a small page's.
    for (const size_t bytes : {size_t{16}, page, page - kSaltBytes, size_t{4096} - kPageReserve})
        for (int key = 0; key < 3; ++key) {
            const auto k = randomBytes(CbcLanes::kKeyBytes);
            const CbcLanes lanes(k.data());
            for (size_t count = 1; count <= CbcLanes::kMaxLanes; ++count) {
                std::vector<std::vector<unsigned char>> plain, ivs, work;
                unsigned char* data[CbcLanes::kMaxLanes];
                const unsigned char* ivPointers[CbcLanes::kMaxLanes];
                for (size_t i = 0; i < count; ++i) {
                    plain.push_back(randomBytes(bytes));
                    ivs.push_back(randomBytes(CbcLanes::kBlockBytes));
                }
                work = plain;
                for (size_t i = 0; i < count; ++i) {
                    data[i] = work[i].data();
                    ivPointers[i] = ivs[i].data();
                }
                lanes.encrypt(data, ivPointers, count, bytes);
                for (size_t i = 0; i < count; ++i)
                    ASSERT_EQ(work[i], opensslCbc(k, ivs[i], plain[i]))
                        << "lane " << i << " of " << count << ", " << bytes << " bytes";
            }
        }
}

// A group larger than the lanes, holding the first page (its shorter span and the salt)
// between others: each page opens (HMAC checked, OpenSSL decrypting) to what it was, under
// an IV of its own.
TEST(CbcLanes, PagesSealedInAGroupOpenToTheirContent) {
    const auto key = randomBytes(kCipherKeyBytes);
    const auto salt = randomBytes(kSaltBytes);
    const size_t size = kLargePageSize;
    auto sealer = PageCipher::create(key.data(), salt.data(), size);
    auto opener = PageCipher::create(key.data(), salt.data(), size);
    ASSERT_TRUE(sealer && opener);
    const uint32_t numbers[] = {7, 3, 1, 2, 9, 10, 11, 12, 13, 14, 40};
    const size_t count = std::size(numbers);
    std::vector<std::vector<unsigned char>> plain, pages;
    unsigned char* pointers[std::size(numbers)];
    for (size_t i = 0; i < count; ++i) {
        plain.push_back(randomBytes(size));
        if (numbers[i] == 1) std::copy_n("SQLite format 3", kSaltBytes, plain.back().begin());
        // The reserve is the cipher's: it comes back as it was sealed, not as written.
        std::fill(plain.back().end() - kPageReserve, plain.back().end(), 0);
        // Two pages alike still differ once sealed.
        if (i == 5) plain.back() = plain[4];
    }
    pages = plain;
    for (size_t i = 0; i < count; ++i) pointers[i] = pages[i].data();
    ASSERT_TRUE(sealer->sealPages(pointers, numbers, count));

    EXPECT_TRUE(std::equal(salt.begin(), salt.end(), pages[2].begin()));
    EXPECT_NE(std::vector<unsigned char>(pages[4].begin(), pages[4].end() - kPageReserve),
              std::vector<unsigned char>(pages[5].begin(), pages[5].end() - kPageReserve));
    for (size_t i = 0; i < count; ++i) {
        EXPECT_FALSE(std::equal(plain[i].begin() + kSaltBytes, plain[i].end() - kPageReserve,
                                pages[i].begin() + kSaltBytes));
        // Under another page number the HMAC fails.
        auto moved = pages[i];
        EXPECT_FALSE(opener->open(moved.data(), numbers[i] + 100));
        ASSERT_TRUE(opener->open(pages[i].data(), numbers[i])) << "page " << numbers[i];
        EXPECT_TRUE(std::equal(plain[i].begin(), plain[i].end() - kPageReserve, pages[i].begin()))
            << "page " << numbers[i];
    }
}

}  // namespace
}  // namespace corvix::storage::detail
