#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/BuiltInCryptEngine.h"
#include "protocol/Crypt.h"
#include "protocol/Md5.h"
#include "protocol/Rc4.h"
#include "protocol/Utf16Le.h"

namespace {

std::string ToHex(const uint8_t* p, size_t n) {
    static const char kDigits[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s.push_back(kDigits[p[i] >> 4]);
        s.push_back(kDigits[p[i] & 15]);
    }
    return s;
}

std::vector<uint8_t> Bytes(const std::string& s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

std::string RepeatText(const std::string& s, int times) {
    std::string r;
    for (int i = 0; i < times; ++i) r += s;
    return r;
}

std::string Narrow(const std::u16string& s) { return std::string(s.begin(), s.end()); }

// An engine under test control: delegates to the built-in one unless told to fail or
// to corrupt its output, and counts its calls.
class FakeEngine : public ICryptEngine {
  public:
    bool failMd5 = false;
    bool failRc4 = false;
    bool corruptRc4 = false;
    int rc4Calls = 0;

    bool Md5(const uint8_t* data, size_t size, Md5Digest& digest) override {
        return !failMd5 && CBuiltInCryptEngine::Instance().Md5(data, size, digest);
    }
    bool Rc4(const uint8_t* password, size_t passwordSize, uint8_t* buffer, size_t size) override {
        ++rc4Calls;
        if (failRc4) return false;
        CBuiltInCryptEngine::Instance().Rc4(password, passwordSize, buffer, size);
        if (corruptRc4 && size > 0) buffer[0] ^= 1;
        return true;
    }
};

struct PlatformEngineScope {
    explicit PlatformEngineScope(ICryptEngine* e) { CCrypt::SetPlatformEngine(e); }
    ~PlatformEngineScope() { CCrypt::SetPlatformEngine(nullptr); }
};

}  // namespace

TEST(Md5Test, Rfc1321SuiteAndBlockBorders) {
    const struct {
        std::string input;
        const char* digest;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {RepeatText("1234567890", 8), "57edf4a22be3c955ac49da2e2107b67a"},
        // Lengths around the padding and block borders.
        {std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
        {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
        {std::string(63, 'a'), "b06521f39153d618550606be297466d5"},
        {std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
        {std::string(65, 'a'), "c743a45e0d2e6a95cb859adae0248435"},
        {std::string(128, 'a'), "e510683b3f5ffe4093d021808bc6ff70"},
    };
    for (const auto& c : cases) {
        const std::vector<uint8_t> in = Bytes(c.input);
        std::u16string text = u"x";  // Md5Hex appends
        ASSERT_EQ(Md5Hex(in.data(), in.size(), text), 1);
        EXPECT_EQ(Narrow(text), std::string("x") + c.digest) << "length " << in.size();

        // Fed in uneven pieces, the incremental digest is the same.
        for (size_t step : {1u, 7u, 63u}) {
            CMd5 md5;
            for (size_t at = 0; at < in.size(); at += step)
                md5.Update(in.data() + at, std::min(step, in.size() - at));
            const Md5Digest d = md5.Final();
            EXPECT_EQ(ToHex(d.data(), d.size()), c.digest) << "step " << step;
        }
    }
}

TEST(Rc4Test, KnownVectors) {
    const struct {
        std::vector<uint8_t> key;
        std::vector<uint8_t> plain;
        const char* cipher;
    } cases[] = {
        {Bytes("Key"), Bytes("Plaintext"), "bbf316e8d940af0ad3"},
        {Bytes("Wiki"), Bytes("pedia"), "1021bf0420"},
        {Bytes("Secret"), Bytes("Attack at dawn"), "45a01f645fc35b383552544b9bf5"},
        {{1, 2, 3, 4, 5}, std::vector<uint8_t>(16, 0), "b2396305f03dc027ccc3524a0a1118a8"},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> buf = c.plain;
        CRc4(c.key.data(), c.key.size()).Apply(buf.data(), buf.size());
        EXPECT_EQ(ToHex(buf.data(), buf.size()), c.cipher);

        // The key stream continues across calls on one object.
        std::vector<uint8_t> split = c.plain;
        CRc4 rc4(c.key.data(), c.key.size());
        rc4.Apply(split.data(), 2);
        rc4.Apply(split.data() + 2, split.size() - 2);
        EXPECT_EQ(split, buf);
    }
}

TEST(CryptTest, KnownAnswerIsRecomputedByTheBuiltInEngine) {
    // Recompute the constant from its definition: RC4 keyed with the MD5 of the
    // self-test password's UTF-16LE bytes, over "Hello" in UTF-16LE, "%X" per byte.
    const std::vector<uint8_t> password = Utf16LeBytes(kSelfTestPassword);
    ASSERT_EQ(password.size(), 30u);
    std::vector<uint8_t> sample = Utf16LeBytes(kSelfTestPlainText);
    ASSERT_EQ(sample.size(), 10u);
    const Md5Digest key = Md5(password.data(), password.size());
    CRc4(key.data(), key.size()).Apply(sample.data(), sample.size());
    EXPECT_EQ(HexWithoutLeadingZeros(sample.data(), sample.size()), kKnownAnswer);
}

TEST(CryptTest, HexWithoutLeadingZeros) {
    const uint8_t bytes[] = {0x0A, 0x00, 0xFF, 0x10, 0x01};
    EXPECT_EQ(HexWithoutLeadingZeros(bytes, sizeof bytes), "A0FF101");
    EXPECT_EQ(HexWithoutLeadingZeros(bytes, 0), "");
}

TEST(CryptTest, KnownAnswerTestChoosesTheEngine) {
    FakeEngine good, failing, wrong;
    failing.failRc4 = true;
    wrong.corruptRc4 = true;
    const struct {
        const char* name;
        ICryptEngine* candidate;
        int useBuiltIn;
    } cases[] = {
        {"no platform engine", nullptr, 1},
        {"built-in as candidate", &CBuiltInCryptEngine::Instance(), 0},
        {"agreeing engine", &good, 0},
        {"failing engine", &failing, 1},
        {"disagreeing engine", &wrong, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KnownAnswerTest(c.candidate), c.useBuiltIn) << c.name;
        CCrypt crypt(c.candidate);
        const uint8_t pw[] = {1, 2, 3};
        EXPECT_EQ(crypt.SetPassword(pw, sizeof pw), 1) << c.name;
        EXPECT_EQ(crypt.m_bUseBuiltIn, c.useBuiltIn) << c.name;
    }
}

TEST(CryptTest, EncryptTwiceRestoresAndEnginesAgree) {
    const std::vector<uint8_t> password = Utf16LeBytes(kScramblerPassword);
    const std::vector<uint8_t> original = Utf16LeBytes(u"[RC00013]on");
    FakeEngine platform;
    for (ICryptEngine* candidate :
         {static_cast<ICryptEngine*>(nullptr), static_cast<ICryptEngine*>(&platform)}) {
        CCrypt crypt(candidate);
        ASSERT_EQ(crypt.SetPassword(password.data(), password.size()), 1);
        std::vector<uint8_t> buf = original;
        uint32_t count = uint32_t(buf.size());
        ASSERT_EQ(crypt.Encrypt(buf.data(), count), 1);
        EXPECT_EQ(count, original.size());
        EXPECT_NE(buf, original);
        // Independent check: RC4 keyed with the password's digest.
        std::vector<uint8_t> expected = original;
        const Md5Digest key = Md5(password.data(), password.size());
        EXPECT_EQ(ToHex(key.data(), key.size()), "e79b3b052cffe4f98b4d11811d2c4208");
        CRc4(key.data(), key.size()).Apply(expected.data(), expected.size());
        EXPECT_EQ(buf, expected);
        ASSERT_EQ(crypt.Decrypt(buf.data(), count), 1);
        EXPECT_EQ(buf, original);
    }
    EXPECT_GT(platform.rc4Calls, 2);  // the agreeing platform engine did the work
}

TEST(CryptTest, FailuresLeaveTheBufferUnchanged) {
    std::vector<uint8_t> buf = {1, 2, 3};
    uint32_t count = 3;
    CCrypt unkeyed(nullptr);
    EXPECT_EQ(unkeyed.Encrypt(buf.data(), count), 0);
    EXPECT_EQ(buf, (std::vector<uint8_t>{1, 2, 3}));

    FakeEngine platform;
    CCrypt crypt(&platform);
    ASSERT_EQ(crypt.SetPassword(buf.data(), buf.size()), 1);
    crypt.Release();
    EXPECT_EQ(crypt.Decrypt(buf.data(), count), 0);  // released: no key any more
    EXPECT_EQ(buf, (std::vector<uint8_t>{1, 2, 3}));
}

TEST(CryptTest, APlatformFailureIsScrambledByTheBuiltInEngine) {
    const std::vector<uint8_t> password = Utf16LeBytes(kScramblerPassword);
    const struct {
        const char* name;
        std::vector<uint8_t> plain;
        bool encrypt;
    } cases[] = {
        {"command out", Utf16LeBytes(u"[RC00013]on"), true},
        {"command in", Utf16LeBytes(u"[RC00003]"), false},
        {"one byte", {0x41}, true},
        {"long text", Utf16LeBytes(std::u16string(700, u'\uAC00')), true},
    };
    for (const auto& c : cases) {
        // The platform engine passes the self-test, then fails on the real call.
        FakeEngine platform;
        CCrypt crypt(&platform);
        ASSERT_EQ(crypt.SetPassword(password.data(), password.size()), 1) << c.name;
        ASSERT_EQ(crypt.m_bUseBuiltIn, 0) << c.name;
        platform.failRc4 = true;
        const int callsBefore = platform.rc4Calls;

        std::vector<uint8_t> buf = c.plain;
        uint32_t count = uint32_t(buf.size());
        const int ok =
            c.encrypt ? crypt.Encrypt(buf.data(), count) : crypt.Decrypt(buf.data(), count);
        EXPECT_EQ(ok, 1) << c.name;
        EXPECT_EQ(count, c.plain.size()) << c.name;
        EXPECT_GT(platform.rc4Calls, callsBefore) << c.name;  // it was asked first

        // The very bytes the platform engine would have given, never the clear text.
        std::vector<uint8_t> expected = c.plain;
        const Md5Digest key = Md5(password.data(), password.size());
        CRc4(key.data(), key.size()).Apply(expected.data(), expected.size());
        EXPECT_EQ(buf, expected) << c.name;
        EXPECT_NE(buf, c.plain) << c.name;
    }
}

TEST(CryptTest, Md5HexUsesThePlatformEngineAndReportsItsFailure) {
    FakeEngine platform;
    PlatformEngineScope scope(&platform);
    const uint8_t abc[] = {'a', 'b', 'c'};
    std::u16string text;
    ASSERT_EQ(Md5Hex(abc, 3, text), 1);
    EXPECT_EQ(Narrow(text), "900150983cd24fb0d6963f7d28e17f72");

    platform.failMd5 = true;
    std::u16string unchanged = u"keep";
    EXPECT_EQ(Md5Hex(abc, 3, unchanged), 0);
    EXPECT_EQ(unchanged, u"keep");
}
