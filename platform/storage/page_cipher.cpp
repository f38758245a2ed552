#include "platform/storage/page_cipher.h"

#include <openssl/crypto.h>
#include <openssl/rand.h>

#include <cstring>

namespace corvix::storage::detail {

namespace {

constexpr size_t kIvBytes = 16;
constexpr size_t kMacBytes = 20;
constexpr size_t kBlock = 64;  // SHA-1's
constexpr unsigned char kMacSaltMask = 0x3a;
constexpr int kMacKeyRounds = 2;
constexpr size_t kFirstPageSkip = 16;  // the salt, in place of the header's first bytes

size_t startOf(uint32_t pgno) {
    return pgno == 1 ? kFirstPageSkip : 0;
}

}  // namespace

PageCipher::Side::~Side() {
    EVP_CIPHER_CTX_free(cipher);  // frees wiped
    EVP_MD_CTX_free(inner);
    EVP_MD_CTX_free(outer);
    EVP_MD_CTX_free(work);
}

bool PageCipher::Side::init(const unsigned char* key, const unsigned char* hmacKey, bool encrypt) {
    cipher = EVP_CIPHER_CTX_new();
    inner = EVP_MD_CTX_new();
    outer = EVP_MD_CTX_new();
    work = EVP_MD_CTX_new();
    if (!cipher || !inner || !outer || !work) return false;
    if (EVP_CipherInit_ex(cipher, EVP_aes_256_cbc(), nullptr, key, nullptr, encrypt ? 1 : 0) != 1)
        return false;
    EVP_CIPHER_CTX_set_padding(cipher, 0);  // pages are whole blocks
    // HMAC's two keyed hashes, absorbed once: each page then costs only its own bytes.
    unsigned char pad[kBlock];
    bool ok = true;
    for (int side = 0; side < 2 && ok; ++side) {
        std::memset(pad, side == 0 ? 0x36 : 0x5c, sizeof pad);
        for (size_t i = 0; i < kCipherKeyBytes; ++i) pad[i] ^= hmacKey[i];
        EVP_MD_CTX* ctx = side == 0 ? inner : outer;
        ok = EVP_DigestInit_ex(ctx, EVP_sha1(), nullptr) == 1 &&
             EVP_DigestUpdate(ctx, pad, sizeof pad) == 1;
    }
    OPENSSL_cleanse(pad, sizeof pad);
    return ok;
}

bool PageCipher::Side::mac(const unsigned char* data, size_t size, uint32_t pgno,
                           unsigned char* out) {
    const unsigned char number[4] = {
        static_cast<unsigned char>(pgno), static_cast<unsigned char>(pgno >> 8),
        static_cast<unsigned char>(pgno >> 16), static_cast<unsigned char>(pgno >> 24)};
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    return EVP_MD_CTX_copy_ex(work, inner) == 1 && EVP_DigestUpdate(work, data, size) == 1 &&
           EVP_DigestUpdate(work, number, sizeof number) == 1 &&
           EVP_DigestFinal_ex(work, digest, &length) == 1 && length == kMacBytes &&
           EVP_MD_CTX_copy_ex(work, outer) == 1 && EVP_DigestUpdate(work, digest, length) == 1 &&
           EVP_DigestFinal_ex(work, out, &length) == 1 && length == kMacBytes;
}

bool PageCipher::Side::crypt(unsigned char* data, size_t size, const unsigned char* iv) {
    int out = 0, tail = 0;
    return EVP_CipherInit_ex(cipher, nullptr, nullptr, nullptr, iv, -1) == 1 &&
           EVP_CIPHER_CTX_set_padding(cipher, 0) == 1 &&
           EVP_CipherUpdate(cipher, data, &out, data, static_cast<int>(size)) == 1 &&
           EVP_CipherFinal_ex(cipher, data + out, &tail) == 1 &&
           static_cast<size_t>(out + tail) == size;
}

std::unique_ptr<PageCipher> PageCipher::create(const unsigned char* key, const unsigned char* salt,
                                               size_t pageSize) {
    if (pageSize <= kPageReserve + kFirstPageSkip || (pageSize - kPageReserve) % kIvBytes != 0)
        return nullptr;
    std::unique_ptr<PageCipher> c(new PageCipher(pageSize));
    std::memcpy(c->salt_, salt, kSaltBytes);
    unsigned char macSalt[kSaltBytes];
    for (size_t i = 0; i < kSaltBytes; ++i) macSalt[i] = salt[i] ^ kMacSaltMask;
    unsigned char macKey[kCipherKeyBytes];
    const bool ok =
        PKCS5_PBKDF2_HMAC_SHA1(reinterpret_cast<const char*>(key), kCipherKeyBytes, macSalt,
                               kSaltBytes, kMacKeyRounds, kCipherKeyBytes, macKey) == 1 &&
        c->sealing_.init(key, macKey, true) && c->opening_.init(key, macKey, false);
    OPENSSL_cleanse(macKey, sizeof macKey);
    if (!ok) return nullptr;
    // Decryption stays with OpenSSL, whose CBC decryption already runs blocks in parallel.
    if (CbcLanes::available()) c->lanes_ = std::make_unique<CbcLanes>(key);
    return c;
}

PageCipher::~PageCipher() {
    OPENSSL_cleanse(salt_, sizeof salt_);
}

bool PageCipher::sealPages(unsigned char* const pages[], const uint32_t pgnos[], size_t count) {
    // Each page's IV, and the filler after its HMAC, are fresh random bytes.
    for (size_t i = 0; i < count; ++i)
        if (RAND_bytes(pages[i] + pageSize_ - kPageReserve, static_cast<int>(kPageReserve)) != 1)
            return false;
    // The first page's span is shorter than the others': it is encrypted on its own.
    unsigned char* group[CbcLanes::kMaxLanes];
    size_t grouped = 0;
    for (size_t i = 0; i < count; ++i) {
        if (pgnos[i] == 1) {
            if (!encryptPages(&pages[i], 1, true)) return false;
            continue;
        }
        group[grouped++] = pages[i];
        if (grouped == CbcLanes::kMaxLanes) {
            if (!encryptPages(group, grouped, false)) return false;
            grouped = 0;
        }
    }
    if (grouped > 0 && !encryptPages(group, grouped, false)) return false;
    for (size_t i = 0; i < count; ++i) {
        unsigned char* page = pages[i];
        const size_t start = startOf(pgnos[i]);
        const size_t size = pageSize_ - kPageReserve - start;
        if (pgnos[i] == 1) std::memcpy(page, salt_, kSaltBytes);
        if (!sealing_.mac(page + start, size + kIvBytes, pgnos[i],
                          page + pageSize_ - kPageReserve + kIvBytes))
            return false;
    }
    return true;
}

bool PageCipher::encryptPages(unsigned char* const pages[], size_t count, bool first) {
    const size_t start = first ? kFirstPageSkip : 0;
    const size_t size = pageSize_ - kPageReserve - start;
    unsigned char* data[CbcLanes::kMaxLanes];
    const unsigned char* ivs[CbcLanes::kMaxLanes];
    for (size_t i = 0; i < count; ++i) {
        data[i] = pages[i] + start;
        ivs[i] = pages[i] + pageSize_ - kPageReserve;
    }
    if (lanes_) {
        lanes_->encrypt(data, ivs, count, size);
        return true;
    }
    for (size_t i = 0; i < count; ++i)
        if (!sealing_.crypt(data[i], size, ivs[i])) return false;
    return true;
}

bool PageCipher::open(unsigned char* page, uint32_t pgno) {
    const size_t start = startOf(pgno);
    const size_t size = pageSize_ - kPageReserve - start;
    unsigned char* reserve = page + pageSize_ - kPageReserve;
    unsigned char mac[kMacBytes];
    if (!opening_.mac(page + start, size + kIvBytes, pgno, mac) ||
        CRYPTO_memcmp(mac, reserve + kIvBytes, kMacBytes) != 0)
        return false;
    if (!opening_.crypt(page + start, size, reserve)) return false;
    if (pgno == 1) std::memcpy(page, "SQLite format 3", kFirstPageSkip);  // with its NUL
    return true;
}

}  // namespace corvix::storage::detail
