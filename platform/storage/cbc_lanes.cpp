#include "platform/storage/cbc_lanes.h"

#include <openssl/crypto.h>

#include <cstdlib>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <wmmintrin.h>
#define CORVIX_CBC_LANES 1
// Only these functions use the AES instructions: the rest of the build needs no flags, and
// nothing reaches them unless the CPU was found to have them.
#define CORVIX_AES_TARGET __attribute__((target("aes,sse4.1")))
#endif

namespace corvix::storage::detail {

#ifdef CORVIX_CBC_LANES

namespace {

// Each word of a round key is the word before it XOR the same word of the key two rounds
// back: the four words' running XOR, plus the mixed-in word from the key generation assist.
CORVIX_AES_TARGET inline __m128i chainWords(__m128i key, __m128i mixed) {
    __m128i shifted = _mm_slli_si128(key, 4);
    key = _mm_xor_si128(key, shifted);
    shifted = _mm_slli_si128(shifted, 4);
    key = _mm_xor_si128(key, shifted);
    shifted = _mm_slli_si128(shifted, 4);
    key = _mm_xor_si128(key, shifted);
    return _mm_xor_si128(key, mixed);
}

// The next even round key from the previous even one and the key generation assist of the
// odd one before it (RotWord, SubWord and the round constant of its last word).
CORVIX_AES_TARGET inline __m128i nextEvenKey(__m128i even, __m128i assist) {
    return chainWords(even, _mm_shuffle_epi32(assist, 0xff));
}

// The next odd round key from the previous odd one and the even key just made: SubWord of
// its last word, without rotation or round constant.
CORVIX_AES_TARGET inline __m128i nextOddKey(__m128i odd, __m128i even) {
    return chainWords(odd, _mm_shuffle_epi32(_mm_aeskeygenassist_si128(even, 0), 0xaa));
}

// The round constant must be an immediate, hence one instance per pair of round keys.
template <int Rcon>
CORVIX_AES_TARGET inline void expandPair(__m128i* k, size_t i) {
    k[i] = nextEvenKey(k[i - 2], _mm_aeskeygenassist_si128(k[i - 1], Rcon));
    if (i + 1 < 15) k[i + 1] = nextOddKey(k[i - 1], k[i]);
}

CORVIX_AES_TARGET void expandKey(const unsigned char* key, __m128i* k) {
    k[0] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(key));
    k[1] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(key + 16));
    expandPair<0x01>(k, 2);
    expandPair<0x02>(k, 4);
    expandPair<0x04>(k, 6);
    expandPair<0x08>(k, 8);
    expandPair<0x10>(k, 10);
    expandPair<0x20>(k, 12);
    expandPair<0x40>(k, 14);
}

// N streams in lockstep: each step chains one block of every stream through the fourteen
// rounds, the streams' instructions interleaved so that each round's latency is covered
// by the other streams' work.
template <size_t N>
CORVIX_AES_TARGET void encryptLanes(const __m128i* k, unsigned char* const data[],
                                    const unsigned char* const ivs[], size_t bytes) {
    __m128i chain[N];
#pragma GCC unroll 8
    for (size_t lane = 0; lane < N; ++lane)
        chain[lane] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ivs[lane]));
    for (size_t at = 0; at < bytes; at += 16) {
        const __m128i first = _mm_load_si128(k);
#pragma GCC unroll 8
        for (size_t lane = 0; lane < N; ++lane) {
            const __m128i block =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(data[lane] + at));
            chain[lane] = _mm_xor_si128(_mm_xor_si128(chain[lane], block), first);
        }
#pragma GCC unroll 13
        for (size_t round = 1; round < 14; ++round) {
            const __m128i roundKey = _mm_load_si128(k + round);
#pragma GCC unroll 8
            for (size_t lane = 0; lane < N; ++lane)
                chain[lane] = _mm_aesenc_si128(chain[lane], roundKey);
        }
        const __m128i last = _mm_load_si128(k + 14);
#pragma GCC unroll 8
        for (size_t lane = 0; lane < N; ++lane) {
            chain[lane] = _mm_aesenclast_si128(chain[lane], last);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(data[lane] + at), chain[lane]);
        }
    }
}

using LanesFunction = void (*)(const __m128i*, unsigned char* const[], const unsigned char* const[],
                               size_t);
constexpr LanesFunction kLanes[CbcLanes::kMaxLanes] = {
    encryptLanes<1>, encryptLanes<2>, encryptLanes<3>, encryptLanes<4>,
    encryptLanes<5>, encryptLanes<6>, encryptLanes<7>, encryptLanes<8>};

}  // namespace

bool CbcLanes::available() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    return __get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0 && (ecx & bit_AES) != 0 &&
           (ecx & bit_SSE4_1) != 0;
}

CbcLanes::CbcLanes(const unsigned char* key) {
    expandKey(key, reinterpret_cast<__m128i*>(schedule_));
}

void CbcLanes::encrypt(unsigned char* const data[], const unsigned char* const ivs[], size_t lanes,
                       size_t bytes) const {
    if (lanes == 0 || lanes > kMaxLanes || bytes % kBlockBytes != 0) std::abort();
    kLanes[lanes - 1](reinterpret_cast<const __m128i*>(schedule_), data, ivs, bytes);
}

#else  // no AES instructions to use: available() keeps callers on OpenSSL

bool CbcLanes::available() {
    return false;
}

CbcLanes::CbcLanes(const unsigned char*) {
    std::abort();
}

void CbcLanes::encrypt(unsigned char* const[], const unsigned char* const[], size_t, size_t) const {
    std::abort();
}

#endif

CbcLanes::~CbcLanes() {
    OPENSSL_cleanse(schedule_, sizeof schedule_);
}

}  // namespace corvix::storage::detail
