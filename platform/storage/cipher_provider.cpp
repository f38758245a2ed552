// OpenSSL as the page cipher sees it: the process's library context offers only the
// algorithms of the vault's format.
//
// OpenSSL 3 builds its table of methods one kind at a time: the first cipher look-up
// builds every cipher the default provider has (about 130, with their names, properties
// and a few hundred KB of fresh memory), the first key derivation every derivation
// function, the first digest every digest. A command that opens the vault, reads one
// record and ends spent a fifth of its instructions there. Here a small provider stands
// in the process's context in place of the default one and offers the default provider's
// own implementations of AES-256-CBC (pages), SHA-1 (the page check, through HMAC) and
// HMAC, nothing else of it; the default provider itself lives in a private context where
// a command looks nothing up. Two things the format needs are this provider's own,
// because the default provider's versions look their parts up in that private context and
// would build a whole table there after all:
// - PBKDF2 (the page check's key), computed with HMAC-SHA1 as above;
// - the initialisation vectors' random bytes, read from the system's generator
//   (getrandom), the source OpenSSL's own generators are seeded from: a fresh IV per
//   page write needs unpredictability, which the kernel's generator gives directly.
// OpenSSL's HMAC_CTX calls are kept for the key derivation: they take SHA-1 from the
// process's context (this provider), where EVP_MAC's HMAC would look it up in its own.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/core_dispatch.h>
#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/params.h>
#include <openssl/provider.h>
#include <openssl/rand.h>
#include <strings.h>
#include <sys/random.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/storage/internal.h"

namespace corvix::storage::detail {

namespace {

OSSL_PROVIDER* gDefault = nullptr;  // in its private context; kept to the process's end

// An OSSL_ALGORITHM names its algorithm "NAME:ALIAS:OID"; a match on any of them.
bool namesInclude(const char* names, const char* wanted) {
    const size_t length = std::strlen(wanted);
    for (const char* p = names; *p;) {
        const char* end = std::strchr(p, ':');
        const size_t n = end ? static_cast<size_t>(end - p) : std::strlen(p);
        if (n == length && strncasecmp(p, wanted, n) == 0) return true;
        if (!end) break;
        p = end + 1;
    }
    return false;
}

template <typename F>
void (*entry(F* f))(void) {
    return reinterpret_cast<void (*)(void)>(f);
}

// ---- PBKDF2 over HMAC-SHA1 (RFC 8018), the page check's key ----

struct Pbkdf2 {
    std::string password, salt;  // wiped when freed
    uint64_t iterations = 0;
    bool sha1 = true;
};

void cleanse(std::string& s) {
    OPENSSL_cleanse(s.data(), s.size());
}

void* kdfNew(void*) {
    return new Pbkdf2;
}
void kdfReset(void* ctx) {
    auto* k = static_cast<Pbkdf2*>(ctx);
    cleanse(k->password);
    cleanse(k->salt);
    *k = Pbkdf2{};
}
void kdfFree(void* ctx) {
    kdfReset(ctx);
    delete static_cast<Pbkdf2*>(ctx);
}

bool octets(const OSSL_PARAM* params, const char* name, std::string* out) {
    const OSSL_PARAM* p = OSSL_PARAM_locate_const(params, name);
    if (!p) return true;
    const void* data = nullptr;
    size_t size = 0;
    if (OSSL_PARAM_get_octet_string_ptr(p, &data, &size) != 1) return false;
    cleanse(*out);
    out->assign(static_cast<const char*>(data), size);
    return true;
}

int kdfSetParams(void* ctx, const OSSL_PARAM params[]) {
    if (!params) return 1;
    auto* k = static_cast<Pbkdf2*>(ctx);
    if (!octets(params, OSSL_KDF_PARAM_PASSWORD, &k->password) ||
        !octets(params, OSSL_KDF_PARAM_SALT, &k->salt))
        return 0;
    if (const OSSL_PARAM* p = OSSL_PARAM_locate_const(params, OSSL_KDF_PARAM_ITER))
        if (OSSL_PARAM_get_uint64(p, &k->iterations) != 1 || k->iterations == 0) return 0;
    if (const OSSL_PARAM* p = OSSL_PARAM_locate_const(params, OSSL_KDF_PARAM_DIGEST)) {
        const char* name = nullptr;
        if (OSSL_PARAM_get_utf8_string_ptr(p, &name) != 1) return 0;
        k->sha1 = strcasecmp(name, "SHA1") == 0 || strcasecmp(name, "SHA-1") == 0;
    }
    return 1;  // the PKCS#5 flag and others: this derivation has no lower limits to lift
}

const OSSL_PARAM* kdfSettable(void*, void*) {
    static const OSSL_PARAM settable[] = {
        OSSL_PARAM_octet_string(OSSL_KDF_PARAM_PASSWORD, nullptr, 0),
        OSSL_PARAM_octet_string(OSSL_KDF_PARAM_SALT, nullptr, 0),
        OSSL_PARAM_uint64(OSSL_KDF_PARAM_ITER, nullptr),
        OSSL_PARAM_utf8_string(OSSL_KDF_PARAM_DIGEST, nullptr, 0),
        OSSL_PARAM_int(OSSL_KDF_PARAM_PKCS5, nullptr),
        OSSL_PARAM_END};
    return settable;
}

int kdfGetParams(void*, OSSL_PARAM params[]) {
    OSSL_PARAM* p = OSSL_PARAM_locate(params, OSSL_KDF_PARAM_SIZE);
    return p ? OSSL_PARAM_set_size_t(p, SIZE_MAX) : -2;
}

const OSSL_PARAM* kdfGettable(void*, void*) {
    static const OSSL_PARAM gettable[] = {OSSL_PARAM_size_t(OSSL_KDF_PARAM_SIZE, nullptr),
                                          OSSL_PARAM_END};
    return gettable;
}

// T(i) = U1 ^ ... ^ Uc, U1 = HMAC(P, S || INT(i)), Uj = HMAC(P, Uj-1).
int kdfDerive(void* ctx, unsigned char* key, size_t length, const OSSL_PARAM params[]) {
    auto* k = static_cast<Pbkdf2*>(ctx);
    if (kdfSetParams(ctx, params) != 1 || !k->sha1 || k->iterations == 0 || length == 0) return 0;
    HMAC_CTX* keyed = HMAC_CTX_new();
    HMAC_CTX* mac = HMAC_CTX_new();
    int ok = keyed && mac &&
             HMAC_Init_ex(keyed, k->password.data(), static_cast<int>(k->password.size()),
                          EVP_sha1(), nullptr) == 1;
    unsigned char u[EVP_MAX_MD_SIZE], t[EVP_MAX_MD_SIZE];
    const size_t hashSize = 20;
    for (uint32_t block = 1; ok && length > 0; ++block) {
        const unsigned char index[4] = {
            static_cast<unsigned char>(block >> 24), static_cast<unsigned char>(block >> 16),
            static_cast<unsigned char>(block >> 8), static_cast<unsigned char>(block)};
        unsigned int size = 0;
        ok = HMAC_CTX_copy(mac, keyed) == 1 &&
             HMAC_Update(mac, reinterpret_cast<const unsigned char*>(k->salt.data()),
                         k->salt.size()) == 1 &&
             HMAC_Update(mac, index, sizeof index) == 1 && HMAC_Final(mac, u, &size) == 1;
        std::memcpy(t, u, hashSize);
        for (uint64_t j = 1; ok && j < k->iterations; ++j) {
            ok = HMAC_CTX_copy(mac, keyed) == 1 && HMAC_Update(mac, u, hashSize) == 1 &&
                 HMAC_Final(mac, u, &size) == 1;
            for (size_t b = 0; b < hashSize; ++b) t[b] ^= u[b];
        }
        const size_t take = length < hashSize ? length : hashSize;
        if (ok) std::memcpy(key, t, take);
        key += take;
        length -= take;
    }
    OPENSSL_cleanse(u, sizeof u);
    OPENSSL_cleanse(t, sizeof t);
    HMAC_CTX_free(mac);
    HMAC_CTX_free(keyed);
    return ok ? 1 : 0;
}

const OSSL_DISPATCH kPbkdf2[] = {{OSSL_FUNC_KDF_NEWCTX, entry(kdfNew)},
                                 {OSSL_FUNC_KDF_FREECTX, entry(kdfFree)},
                                 {OSSL_FUNC_KDF_RESET, entry(kdfReset)},
                                 {OSSL_FUNC_KDF_DERIVE, entry(kdfDerive)},
                                 {OSSL_FUNC_KDF_SETTABLE_CTX_PARAMS, entry(kdfSettable)},
                                 {OSSL_FUNC_KDF_SET_CTX_PARAMS, entry(kdfSetParams)},
                                 {OSSL_FUNC_KDF_GETTABLE_CTX_PARAMS, entry(kdfGettable)},
                                 {OSSL_FUNC_KDF_GET_CTX_PARAMS, entry(kdfGetParams)},
                                 {0, nullptr}};

// ---- the system's random generator ----

// No state: every request is the kernel's (getrandom blocks only until the kernel's
// generator is first seeded, at boot).
constexpr const char* kSystemRandom = "CORVIX-SYSTEM-RANDOM";
int randomState = EVP_RAND_STATE_READY;

void* randNew(void*, void*, const OSSL_DISPATCH*) {
    return &randomState;
}
void randFree(void*) {}
int randInstantiate(void*, unsigned int strength, int, const unsigned char*, size_t,
                    const OSSL_PARAM[]) {
    return strength <= 256 ? 1 : 0;
}
int randUninstantiate(void*) {
    return 1;
}
int randGenerate(void*, unsigned char* out, size_t length, unsigned int strength, int,
                 const unsigned char*, size_t) {
    if (strength > 256) return 0;
    while (length > 0) {
        const ssize_t n = getrandom(out, length, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            return 0;
        }
        out += n;
        length -= static_cast<size_t>(n);
    }
    return 1;
}
int randReseed(void*, int, const unsigned char*, size_t, const unsigned char*, size_t) {
    return 1;
}
int randLocking(void*) {
    return 1;
}
void randUnlock(void*) {}
int randGetParams(void*, OSSL_PARAM params[]) {
    OSSL_PARAM* p = OSSL_PARAM_locate(params, OSSL_RAND_PARAM_STATE);
    if (p && OSSL_PARAM_set_int(p, EVP_RAND_STATE_READY) != 1) return 0;
    p = OSSL_PARAM_locate(params, OSSL_RAND_PARAM_STRENGTH);
    if (p && OSSL_PARAM_set_uint(p, 256) != 1) return 0;
    p = OSSL_PARAM_locate(params, OSSL_RAND_PARAM_MAX_REQUEST);
    if (p && OSSL_PARAM_set_size_t(p, 1 << 16) != 1) return 0;
    return 1;
}
const OSSL_PARAM* randGettable(void*, void*) {
    static const OSSL_PARAM gettable[] = {OSSL_PARAM_int(OSSL_RAND_PARAM_STATE, nullptr),
                                          OSSL_PARAM_uint(OSSL_RAND_PARAM_STRENGTH, nullptr),
                                          OSSL_PARAM_size_t(OSSL_RAND_PARAM_MAX_REQUEST, nullptr),
                                          OSSL_PARAM_END};
    return gettable;
}

const OSSL_DISPATCH kRandom[] = {{OSSL_FUNC_RAND_NEWCTX, entry(randNew)},
                                 {OSSL_FUNC_RAND_FREECTX, entry(randFree)},
                                 {OSSL_FUNC_RAND_INSTANTIATE, entry(randInstantiate)},
                                 {OSSL_FUNC_RAND_UNINSTANTIATE, entry(randUninstantiate)},
                                 {OSSL_FUNC_RAND_GENERATE, entry(randGenerate)},
                                 {OSSL_FUNC_RAND_RESEED, entry(randReseed)},
                                 {OSSL_FUNC_RAND_ENABLE_LOCKING, entry(randLocking)},
                                 {OSSL_FUNC_RAND_LOCK, entry(randLocking)},
                                 {OSSL_FUNC_RAND_UNLOCK, entry(randUnlock)},
                                 {OSSL_FUNC_RAND_GETTABLE_CTX_PARAMS, entry(randGettable)},
                                 {OSSL_FUNC_RAND_GET_CTX_PARAMS, entry(randGetParams)},
                                 {0, nullptr}};

// ---- the provider ----

const OSSL_ALGORITHM kKdfs[] = {{"PBKDF2", "provider=corvix-format", kPbkdf2, nullptr},
                                {nullptr, nullptr, nullptr, nullptr}};
const OSSL_ALGORITHM kRandoms[] = {{kSystemRandom, "provider=corvix-format", kRandom, nullptr},
                                   {nullptr, nullptr, nullptr, nullptr}};

// The default provider's algorithm of this kind that the format uses.
const OSSL_ALGORITHM* defaultOnes(int operation, const char* wanted) {
    static std::mutex mutex;
    static std::array<std::vector<OSSL_ALGORITHM>, 3> lists;
    std::vector<OSSL_ALGORITHM>& list = lists[operation == OSSL_OP_CIPHER   ? 0
                                              : operation == OSSL_OP_DIGEST ? 1
                                                                            : 2];
    std::lock_guard<std::mutex> guard(mutex);
    if (list.empty()) {
        int unused = 0;
        const OSSL_ALGORITHM* all = OSSL_PROVIDER_query_operation(gDefault, operation, &unused);
        for (const OSSL_ALGORITHM* a = all; a && a->algorithm_names; ++a)
            if (namesInclude(a->algorithm_names, wanted)) list.push_back(*a);
        list.push_back(OSSL_ALGORITHM{nullptr, nullptr, nullptr, nullptr});
    }
    return list.data();
}

const OSSL_ALGORITHM* queryOperation(void*, int operation, int* noCache) {
    *noCache = 0;  // OpenSSL keeps what it builds from these lists
    switch (operation) {
        case OSSL_OP_CIPHER:
            return defaultOnes(operation, "AES-256-CBC");
        case OSSL_OP_DIGEST:
            return defaultOnes(operation, "SHA1");
        case OSSL_OP_MAC:  // unused by the page check, which keys HMAC_CTX itself
            return defaultOnes(operation, "HMAC");
        case OSSL_OP_KDF:
            return kKdfs;
        case OSSL_OP_RAND:
            return kRandoms;
        default:
            return nullptr;
    }
}

const OSSL_DISPATCH kProvider[] = {{OSSL_FUNC_PROVIDER_QUERY_OPERATION, entry(queryOperation)},
                                   {0, nullptr}};

// The default provider's implementations get its own context, as they expect; this
// provider's own need none.
int initProvider(const OSSL_CORE_HANDLE*, const OSSL_DISPATCH*, const OSSL_DISPATCH** out,
                 void** providerContext) {
    *providerContext = OSSL_PROVIDER_get0_provider_ctx(gDefault);
    *out = kProvider;
    return 1;
}

}  // namespace

bool offerFormatAlgorithmsOnly() {
    OSSL_LIB_CTX* own = OSSL_LIB_CTX_new();
    if (!own) return false;
    gDefault = OSSL_PROVIDER_load(own, "default");
    if (!gDefault) {
        OSSL_LIB_CTX_free(own);
        return false;
    }
    // Loaded by name, the provider keeps OpenSSL from falling back to its default one.
    if (OSSL_PROVIDER_add_builtin(nullptr, "corvix-format", initProvider) != 1 ||
        !OSSL_PROVIDER_load(nullptr, "corvix-format"))
        return false;  // the process keeps OpenSSL's usual default provider
    return RAND_set_DRBG_type(nullptr, kSystemRandom, nullptr, nullptr, nullptr) == 1;
}

}  // namespace corvix::storage::detail
