// AES-256-CBC encryption of several independent streams at once. One stream's CBC
// encryption is serial: each block waits for the previous block's fourteen rounds, so a
// single stream runs at the latency of the AES instructions. Pages each have their own IV,
// so up to eight of them are encrypted in lockstep, one block of each per step, which
// keeps the AES unit busy instead of waiting. Only for CPUs with AES-NI (available());
// elsewhere callers keep OpenSSL's one-stream path.
#pragma once

#include <cstddef>

namespace corvix::storage::detail {

class CbcLanes {
  public:
    static constexpr size_t kMaxLanes = 8;
    static constexpr size_t kKeyBytes = 32;
    static constexpr size_t kBlockBytes = 16;

    // Whether this CPU has the AES instructions the lanes use.
    static bool available();

    // key: the raw AES-256 key. Call only when available().
    explicit CbcLanes(const unsigned char* key);
    ~CbcLanes();  // the key schedule is wiped
    CbcLanes(const CbcLanes&) = delete;
    CbcLanes& operator=(const CbcLanes&) = delete;

    // Encrypts data[0..lanes-1] in place, each `bytes` long (a multiple of the block) under
    // its own IV, exactly as AES-256-CBC without padding would one stream at a time.
    // 1 <= lanes <= kMaxLanes.
    void encrypt(unsigned char* const data[], const unsigned char* const ivs[], size_t lanes,
                 size_t bytes) const;

  private:
    static constexpr size_t kRoundKeys = 15;
    alignas(16) unsigned char schedule_[kRoundKeys * kBlockBytes];
};

}  // namespace corvix::storage::detail
