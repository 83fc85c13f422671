#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/CryptEngine.h"

// Password under which every text command is scrambled, in both directions; the peer
// uses the same one. Used as its 30 UTF-16LE bytes.
constexpr char16_t kScramblerPassword[] = u"pzwqkrbyvte%%##";

// Known-answer test: "Hello" scrambled under the self-test password must give these
// bytes, each written as "%X" (upper-case hexadecimal, no leading zero). An engine
// that does not reproduce them is not used.
constexpr char16_t kSelfTestPassword[] = u"qowzpkrnalbeums";
constexpr char16_t kSelfTestPlainText[] = u"Hello";
constexpr char kKnownAnswer[] = "8165336C8DE8871F3A38";

// Names of the platform provider, for the Windows engine.
constexpr char16_t kKeyContainerName[] = u"VantorKeyContainer";
constexpr char16_t kCryptProviderName[] = u"Microsoft Enhanced Cryptographic Provider v1.0";

// Scrambles and unscrambles text commands. Lives for one call: constructed, given
// the password, used once, released. The engine is chosen per object by the
// known-answer test: the platform engine when one is registered and passes it,
// otherwise the built-in one; a call the platform engine fails falls back to the
// built-in one.
class CCrypt {
  public:
    // Uses the process-wide platform engine (none unless registered).
    CCrypt();
    // Uses the given candidate (may be null: built-in only).
    explicit CCrypt(ICryptEngine* platform);
    virtual ~CCrypt();

    CCrypt(const CCrypt&) = delete;
    CCrypt& operator=(const CCrypt&) = delete;

    // Runs the known-answer test, then keys this object. 1 on success, 0 on failure.
    int SetPassword(const uint8_t* bytes, size_t count);
    // Scramble / unscramble in place. RC4 keeps the length; count is left as it is.
    // When the platform engine fails, the built-in one does the call instead.
    // 1 on success; 0 (buffer unchanged) when no engine could do it or no password is
    // set.
    int Encrypt(uint8_t* buffer, uint32_t& count);
    int Decrypt(uint8_t* buffer, uint32_t& count);
    // Forgets the key.
    void Release();

    // 1: the built-in engine is used; 0: the platform engine.
    int m_bUseBuiltIn = 1;

    // Registers the platform engine for every later CCrypt and Md5Hex (null removes
    // it). The engine must outlive its use; it is called from any thread.
    static void SetPlatformEngine(ICryptEngine* engine);
    static ICryptEngine* PlatformEngine();

  private:
    int Apply(uint8_t* buffer, uint32_t count);
    ICryptEngine& Engine();

    ICryptEngine* m_pPlatform;
    std::vector<uint8_t> m_vPassword;
    bool m_bKeyed = false;
};

// Decides which engine to use: 1 (built-in) when the candidate is null, fails, or
// does not reproduce kKnownAnswer; 0 when the candidate may be used.
int KnownAnswerTest(ICryptEngine* candidate);

// Bytes in upper-case hexadecimal, "%X" each (no leading zero), concatenated.
std::string HexWithoutLeadingZeros(const uint8_t* bytes, size_t size);

// Appends the MD5 digest of the bytes as 32 lower-case hexadecimal digits. 1, or 0
// when no digest could be made (text unchanged). Uses the platform engine when one
// is registered, else the built-in one.
int Md5Hex(const uint8_t* bytes, size_t count, std::u16string& text);
