#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// 16-byte MD5 digest, the four state words in little-endian order.
using Md5Digest = std::array<uint8_t, 16>;

// MD5 message digest (RFC 1321), incremental. Written from the RFC so the portable
// core needs no platform provider to digest or scramble text commands.
class CMd5 {
  public:
    static constexpr size_t kBlockSize = 64;

    CMd5();

    void Update(const uint8_t* data, size_t size);
    // Pads the message, returns the digest. The object must not be updated afterwards.
    Md5Digest Final();

  private:
    void Transform(const uint8_t* block);

    uint32_t m_state[4];
    uint64_t m_nTotalBytes = 0;
    uint8_t m_buffer[kBlockSize];
    size_t m_nBuffered = 0;
};

// Digest of one buffer in a single call.
Md5Digest Md5(const uint8_t* data, size_t size);
