#pragma once

#include <cstddef>
#include <cstdint>

// RC4 stream cipher: key schedule at construction, then the key stream XORed over
// buffers. Scrambling and unscrambling are the same operation. The whole state lives
// in the object, so a scrambling call needs no allocation.
class CRc4 {
  public:
    // keySize must be at least 1.
    CRc4(const uint8_t* key, size_t keySize);

    void Apply(uint8_t* buffer, size_t size);

  private:
    uint8_t m_s[256];
    uint8_t m_i = 0;
    uint8_t m_j = 0;
};
