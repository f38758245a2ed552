// The page format of the driver's encrypted files, done outside SQLCipher: a page of P
// bytes keeps its last 48 for a random IV (16), an HMAC-SHA1 (20) and random filler; the
// bytes before them are AES-256-CBC encrypted under that IV, and the HMAC covers the
// ciphertext, the IV and the page number (4 bytes, least significant first). The first
// page keeps the file's 16-byte salt in place of the first 16 bytes of the database header,
// and its encryption starts after them. The HMAC key is derived from the cipher key:
// PBKDF2-HMAC-SHA1 over the salt with every byte XOR 0x3a, 2 rounds.
//
// Pages so written are read by SQLCipher itself with the same raw key and cipher settings
// (configureHandle), and pages SQLCipher wrote are read here; see sealing.cpp for why the
// driver writes them itself.
#pragma once

#include <openssl/evp.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/storage/cbc_lanes.h"

namespace corvix::storage::detail {

constexpr size_t kCipherKeyBytes = 32;
constexpr size_t kSaltBytes = 16;
constexpr size_t kPageReserve = 48;  // IV, HMAC, filler

class PageCipher {
  public:
    // key: the raw cipher key; salt: the file's first 16 bytes. nullptr when OpenSSL
    // cannot set the ciphers up.
    static std::unique_ptr<PageCipher> create(const unsigned char* key, const unsigned char* salt,
                                              size_t pageSize);
    ~PageCipher();  // the keys and their schedules are wiped
    PageCipher(const PageCipher&) = delete;
    PageCipher& operator=(const PageCipher&) = delete;

    // Encrypts a page in place (page number from 1). Only one thread seals at a time.
    bool seal(unsigned char* page, uint32_t pgno) { return sealPages(&page, &pgno, 1); }
    // Encrypts `count` pages in place, pages[i] being page number pgnos[i]. Where the CPU
    // allows, up to CbcLanes::kMaxLanes of them are encrypted together, which is several
    // times faster than one after another.
    bool sealPages(unsigned char* const pages[], const uint32_t pgnos[], size_t count);
    // Checks and decrypts a page in place; false when its HMAC does not match (another
    // key, or a damaged page). Only one thread opens at a time, which may be another one
    // than the sealing thread.
    bool open(unsigned char* page, uint32_t pgno);

    size_t pageSize() const { return pageSize_; }

  private:
    // One direction's contexts: the cipher with its key schedule, and the HMAC's inner
    // and outer hashes with the key already absorbed (copied for each page).
    struct Side {
        EVP_CIPHER_CTX* cipher = nullptr;
        EVP_MD_CTX* inner = nullptr;
        EVP_MD_CTX* outer = nullptr;
        EVP_MD_CTX* work = nullptr;
        ~Side();
        bool init(const unsigned char* key, const unsigned char* hmacKey, bool encrypt);
        bool mac(const unsigned char* data, size_t size, uint32_t pgno, unsigned char* out);
        // Encrypts or decrypts (as set up) in place under the IV.
        bool crypt(unsigned char* data, size_t size, const unsigned char* iv);
    };

    explicit PageCipher(size_t pageSize) : pageSize_(pageSize) {}

    // Encrypts pages whose reserve already holds their IVs; all are first pages or none.
    bool encryptPages(unsigned char* const pages[], size_t count, bool first);

    size_t pageSize_;
    unsigned char salt_[kSaltBytes] = {};
    // Only when the CPU has AES-NI; otherwise sealing_'s cipher encrypts one page at a time.
    std::unique_ptr<CbcLanes> lanes_;
    Side sealing_;
    Side opening_;
};

}  // namespace corvix::storage::detail
