#include "protocol/CryptoApiEngine_win.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <wincrypt.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "framework/Afx_win.h"
#include "protocol/Crypt.h"

namespace {

// Handles of one provider session, released in the order key, hash, provider.
struct CryptSession {
    HCRYPTPROV hProv = 0;
    HCRYPTHASH hHash = 0;
    HCRYPTKEY hKey = 0;

    CryptSession() = default;
    CryptSession(const CryptSession&) = delete;
    CryptSession& operator=(const CryptSession&) = delete;
    ~CryptSession() {
        if (hKey) CryptDestroyKey(hKey);
        if (hHash) CryptDestroyHash(hHash);
        if (hProv) CryptReleaseContext(hProv, 0);
    }
};

bool AcquireContainer(HCRYPTPROV& hProv, DWORD flags) {
    return CryptAcquireContextW(&hProv, AfxToWide(kKeyContainerName).c_str(),
                                AfxToWide(kCryptProviderName).c_str(), PROV_RSA_FULL,
                                flags) != FALSE;
}

bool OpenOrCreateContainer() {
    HCRYPTPROV hProv = 0;
    // The last open covers another process having created it in between.
    if (AcquireContainer(hProv, 0) || AcquireContainer(hProv, CRYPT_NEWKEYSET) ||
        AcquireContainer(hProv, 0)) {
        CryptReleaseContext(hProv, 0);
        return true;
    }
    return false;
}

// The named container must exist before a key can be derived in it. A container
// that can be neither opened nor created is damaged: it is deleted and made afresh.
bool EnsureContainer() {
    // Threads of this process scramble concurrently; one of them racing another's
    // creation must not take the container for damaged and delete it.
    static std::mutex containerLock;
    std::lock_guard<std::mutex> lock(containerLock);
    if (OpenOrCreateContainer()) return true;
    HCRYPTPROV hDeleted = 0;
    AcquireContainer(hDeleted, CRYPT_DELETEKEYSET);  // no handle is returned
    return OpenOrCreateContainer();
}

// A context for hashing only: no container is needed or touched. (The user's default
// container is deliberately never deleted to obtain one.)
bool AcquireVerifyContext(HCRYPTPROV& hProv) {
    const std::wstring provider = AfxToWide(kCryptProviderName);
    if (CryptAcquireContextW(&hProv, nullptr, provider.c_str(), PROV_RSA_FULL, CRYPT_VERIFYCONTEXT))
        return true;
    return CryptAcquireContextW(&hProv, nullptr, provider.c_str(), PROV_RSA_FULL,
                                CRYPT_VERIFYCONTEXT | CRYPT_NEWKEYSET) != FALSE;
}

// One context held for the life of the process keeps the provider's libraries loaded.
// Without it the last context of every call unloads them and the next call loads them
// again, which costs tens of milliseconds per packet (measured under Wine) and limits
// how many packets a second the program can send or read.
void KeepProviderLoaded() {
    static const HCRYPTPROV held = [] {
        HCRYPTPROV hProv = 0;
        return AcquireVerifyContext(hProv) ? hProv : HCRYPTPROV{0};
    }();
    (void)held;
}

// The container is checked (and made) once; a later failure to open it checks again.
std::atomic<bool> g_bContainerReady{false};

bool OpenReadyContainer(HCRYPTPROV& hProv) {
    if (g_bContainerReady.load() && AcquireContainer(hProv, 0)) return true;
    if (!EnsureContainer() || !AcquireContainer(hProv, 0)) return false;
    g_bContainerReady.store(true);
    return true;
}

bool HashBytes(CryptSession& session, const uint8_t* data, size_t size) {
    if (size > MAXDWORD) return false;
    if (!CryptCreateHash(session.hProv, CALG_MD5, 0, 0, &session.hHash)) return false;
    return size == 0 || CryptHashData(session.hHash, data, DWORD(size), 0);
}

}  // namespace

bool CCryptoApiEngine::Md5(const uint8_t* data, size_t size, Md5Digest& digest) {
    KeepProviderLoaded();
    CryptSession session;
    if (!AcquireVerifyContext(session.hProv) || !HashBytes(session, data, size)) return false;
    DWORD length = DWORD(digest.size());
    Md5Digest value{};
    if (!CryptGetHashParam(session.hHash, HP_HASHVAL, value.data(), &length, 0) ||
        length != digest.size())
        return false;
    digest = value;
    return true;
}

bool CCryptoApiEngine::Rc4(const uint8_t* password, size_t passwordSize, uint8_t* buffer,
                           size_t size) {
    if (size > MAXDWORD) return false;
    KeepProviderLoaded();
    CryptSession session;
    if (!OpenReadyContainer(session.hProv) || !HashBytes(session, password, passwordSize) ||
        !CryptDeriveKey(session.hProv, CALG_RC4, session.hHash, CRYPT_EXPORTABLE, &session.hKey))
        return false;
    if (size == 0) return true;
    // Worked on a copy: a call that fails halfway leaves the caller's buffer as it was.
    std::vector<uint8_t> work(buffer, buffer + size);
    DWORD length = DWORD(size);
    if (!CryptEncrypt(session.hKey, 0, TRUE, 0, work.data(), &length, DWORD(size)) ||
        length != size)
        return false;
    memcpy(buffer, work.data(), size);
    return true;
}

CCryptoApiEngine& CCryptoApiEngine::Instance() {
    static CCryptoApiEngine engine;
    return engine;
}

void InstallCryptoApiEngine() { CCrypt::SetPlatformEngine(&CCryptoApiEngine::Instance()); }
