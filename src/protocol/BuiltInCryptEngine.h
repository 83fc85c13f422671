#pragma once

#include "protocol/CryptEngine.h"

// MD5 and RC4 in portable code; never fails.
class CBuiltInCryptEngine : public ICryptEngine {
  public:
    bool Md5(const uint8_t* data, size_t size, Md5Digest& digest) override;
    bool Rc4(const uint8_t* password, size_t passwordSize, uint8_t* buffer, size_t size) override;

    // The process-wide instance (stateless, so sharing it between threads is safe).
    static CBuiltInCryptEngine& Instance();
};
