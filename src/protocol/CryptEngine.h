#pragma once

#include <cstddef>
#include <cstdint>

#include "protocol/Md5.h"

// The two primitives that digesting and scrambling rest on. The portable core has a
// built-in engine; the Windows build can offer the platform's cryptographic provider
// as a second one, which is used only while it gives the same answers as the
// built-in one (see KnownAnswerTest in Crypt.h).
class ICryptEngine {
  public:
    virtual ~ICryptEngine() = default;

    // MD5 of the bytes. False when the engine could not make a digest.
    virtual bool Md5(const uint8_t* data, size_t size, Md5Digest& digest) = 0;

    // RC4 over the buffer in place, keyed with the MD5 digest of the password (what a
    // provider derives as a 128-bit RC4 key from an MD5 hash of the password). The
    // key stream starts afresh on every call. False, with the buffer unchanged, when
    // the engine failed.
    virtual bool Rc4(const uint8_t* password, size_t passwordSize, uint8_t* buffer,
                     size_t size) = 0;
};
