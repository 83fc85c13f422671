#include "protocol/BuiltInCryptEngine.h"

#include "protocol/Rc4.h"

bool CBuiltInCryptEngine::Md5(const uint8_t* data, size_t size, Md5Digest& digest) {
    digest = ::Md5(data, size);
    return true;
}

bool CBuiltInCryptEngine::Rc4(const uint8_t* password, size_t passwordSize, uint8_t* buffer,
                              size_t size) {
    const Md5Digest key = ::Md5(password, passwordSize);
    CRc4 rc4(key.data(), key.size());
    rc4.Apply(buffer, size);
    return true;
}

CBuiltInCryptEngine& CBuiltInCryptEngine::Instance() {
    static CBuiltInCryptEngine engine;
    return engine;
}
