// The platform's cryptographic provider (CryptoAPI, "Microsoft Enhanced Cryptographic
// Provider v1.0") as a digest and scrambling engine. It is used only while it passes
// the known-answer test; otherwise CCrypt falls back to the built-in engine.
#pragma once

#include "protocol/CryptEngine.h"

class CCryptoApiEngine : public ICryptEngine {
  public:
    // MD5 through a verification-only context of the provider.
    bool Md5(const uint8_t* data, size_t size, Md5Digest& digest) override;
    // RC4 with a key derived (CryptDeriveKey) from the MD5 hash of the password, in
    // the key container "VantorKeyContainer". Keeps no state between calls, so one
    // instance serves every thread.
    bool Rc4(const uint8_t* password, size_t passwordSize, uint8_t* buffer, size_t size) override;

    static CCryptoApiEngine& Instance();
};

// Offers the CryptoAPI engine to every later CCrypt and Md5Hex of the process. Called
// once at start-up; each CCrypt still decides by the known-answer test.
void InstallCryptoApiEngine();
