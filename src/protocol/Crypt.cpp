#include "protocol/Crypt.h"

#include <atomic>
#include <iterator>

#include "protocol/BuiltInCryptEngine.h"

namespace {

std::atomic<ICryptEngine*> g_pPlatformEngine{nullptr};

constexpr char kUpperHex[] = "0123456789ABCDEF";
constexpr char16_t kLowerHex[] = u"0123456789abcdef";

}  // namespace

CCrypt::CCrypt() : m_pPlatform(PlatformEngine()) {}

CCrypt::CCrypt(ICryptEngine* platform) : m_pPlatform(platform) {}

CCrypt::~CCrypt() { Release(); }

void CCrypt::SetPlatformEngine(ICryptEngine* engine) { g_pPlatformEngine.store(engine); }

ICryptEngine* CCrypt::PlatformEngine() { return g_pPlatformEngine.load(); }

ICryptEngine& CCrypt::Engine() {
    if (m_bUseBuiltIn || m_pPlatform == nullptr) return CBuiltInCryptEngine::Instance();
    return *m_pPlatform;
}

int CCrypt::SetPassword(const uint8_t* bytes, size_t count) {
    Release();
    m_bUseBuiltIn = KnownAnswerTest(m_pPlatform);
    // Both engines key RC4 with the digest of the password given here, so the two
    // agree for any password, not only for the scrambler's.
    m_vPassword.assign(bytes, bytes + count);
    m_bKeyed = true;
    return 1;
}

int CCrypt::Apply(uint8_t* buffer, uint32_t count) {
    if (!m_bKeyed) return 0;
    if (count == 0) return 1;
    ICryptEngine& engine = Engine();
    if (engine.Rc4(m_vPassword.data(), m_vPassword.size(), buffer, count)) return 1;
    // A provider that passed the self-test can still fail later (a damaged container,
    // a provider service gone). The built-in engine gives the same bytes and a failed
    // call leaves the buffer as it was, so the command still goes out scrambled
    // instead of the connection being given up.
    ICryptEngine& builtIn = CBuiltInCryptEngine::Instance();
    if (&engine == &builtIn) return 0;
    return builtIn.Rc4(m_vPassword.data(), m_vPassword.size(), buffer, count) ? 1 : 0;
}

int CCrypt::Encrypt(uint8_t* buffer, uint32_t& count) { return Apply(buffer, count); }

int CCrypt::Decrypt(uint8_t* buffer, uint32_t& count) { return Apply(buffer, count); }

void CCrypt::Release() {
    m_vPassword.clear();
    m_bKeyed = false;
}

std::string HexWithoutLeadingZeros(const uint8_t* bytes, size_t size) {
    std::string hex;
    hex.reserve(2 * size);
    for (size_t i = 0; i < size; ++i) {
        if (bytes[i] >= 0x10) hex.push_back(kUpperHex[bytes[i] >> 4]);
        hex.push_back(kUpperHex[bytes[i] & 0x0F]);
    }
    return hex;
}

namespace {

// Fixed text as UTF-16LE bytes into a fixed array: no allocation on this path, which
// runs for every scrambled command.
template <size_t N>
void ToUtf16Le(const char16_t (&text)[N], uint8_t (&out)[2 * (N - 1)]) {
    for (size_t i = 0; i + 1 < N; ++i) {
        out[2 * i] = uint8_t(text[i] & 0xFF);
        out[2 * i + 1] = uint8_t(text[i] >> 8);
    }
}

}  // namespace

int KnownAnswerTest(ICryptEngine* candidate) {
    if (candidate == nullptr) return 1;
    uint8_t password[2 * (std::size(kSelfTestPassword) - 1)];
    uint8_t sample[2 * (std::size(kSelfTestPlainText) - 1)];
    ToUtf16Le(kSelfTestPassword, password);
    ToUtf16Le(kSelfTestPlainText, sample);
    if (!candidate->Rc4(password, sizeof password, sample, sizeof sample)) return 1;
    return HexWithoutLeadingZeros(sample, sizeof sample) == kKnownAnswer ? 0 : 1;
}

int Md5Hex(const uint8_t* bytes, size_t count, std::u16string& text) {
    ICryptEngine* platform = CCrypt::PlatformEngine();
    ICryptEngine& engine = platform ? *platform : CBuiltInCryptEngine::Instance();
    Md5Digest digest;
    if (!engine.Md5(bytes, count, digest)) return 0;
    for (uint8_t b : digest) {
        text.push_back(kLowerHex[b >> 4]);
        text.push_back(kLowerHex[b & 0x0F]);
    }
    return 1;
}
