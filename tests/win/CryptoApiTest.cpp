// The CryptoAPI engine against the built-in one: both must give the same bytes, or a
// command scrambled by one end could not be read by the other.
#include "protocol/BuiltInCryptEngine.h"
#include "protocol/Crypt.h"
#include "protocol/CryptoApiEngine_win.h"
#include "protocol/MemoryConnection.h"
#include "protocol/Packet.h"
#include <iterator>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>
#include <wincrypt.h>

namespace {

constexpr int kThreads = 4;
constexpr int kCallsPerThread = 25;

std::vector<uint8_t> Bytes(const std::string& s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

std::vector<uint8_t> Utf16(const std::u16string& s) {
    std::vector<uint8_t> b;
    for (char16_t c : s) {
        b.push_back(uint8_t(c & 0xFF));
        b.push_back(uint8_t(c >> 8));
    }
    return b;
}

std::vector<uint8_t> Pattern(size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = uint8_t(seed * 31 + i * 7 + (i >> 5));
    return v;
}

uint32_t FixedTick() { return 0x5B; }

struct EngineScope {
    explicit EngineScope(ICryptEngine* e) { CCrypt::SetPlatformEngine(e); }
    ~EngineScope() { CCrypt::SetPlatformEngine(nullptr); }
};

std::vector<uint8_t> FrameOf(const CPacket& packet) {
    CMemoryConnection connection;
    EXPECT_TRUE(WriteFrame(packet, connection));
    return connection.Sent();
}

}  // namespace

TEST(CryptoApiEngine, Rc4GivesTheBuiltInBytesForEveryKeyAndLength) {
    const std::vector<uint8_t> passwords[] = {
        Utf16(kScramblerPassword),
        Utf16(kSelfTestPassword),
        Bytes("k"),
        Pattern(64, 5),
        Pattern(200, 6),
        {},
    };
    const std::vector<uint8_t> inputs[] = {
        Utf16(u"Hello"),
        Utf16(u"[RC00003]"),
        Utf16(u"[RC00022]1,Reserved,Reserved"),
        Bytes("x"),
        Pattern(255, 1),
        Pattern(4096, 2),
        {},
    };
    CCryptoApiEngine& platform = CCryptoApiEngine::Instance();
    for (size_t p = 0; p < std::size(passwords); ++p) {
        for (size_t i = 0; i < std::size(inputs); ++i) {
            SCOPED_TRACE(testing::Message() << "password " << p << ", input " << i);
            std::vector<uint8_t> expected = inputs[i];
            std::vector<uint8_t> actual = inputs[i];
            CBuiltInCryptEngine::Instance().Rc4(passwords[p].data(), passwords[p].size(),
                                                expected.data(), expected.size());
            ASSERT_TRUE(platform.Rc4(passwords[p].data(), passwords[p].size(), actual.data(),
                                     actual.size()));
            EXPECT_EQ(actual, expected);
            if (!inputs[i].empty()) {
                EXPECT_NE(actual, inputs[i]);
            }
        }
    }
}

TEST(CryptoApiEngine, Md5GivesTheBuiltInDigests) {
    const std::vector<uint8_t> inputs[] = {
        {},
        Bytes("abc"),
        Bytes(std::string(55, 'a')),
        Bytes(std::string(56, 'a')),
        Bytes(std::string(64, 'a')),
        Pattern(1000, 3),
        Utf16(u"[RC00003]"),
    };
    for (size_t i = 0; i < std::size(inputs); ++i) {
        SCOPED_TRACE(testing::Message() << "input " << i);
        Md5Digest expected{};
        Md5Digest actual{};
        CBuiltInCryptEngine::Instance().Md5(inputs[i].data(), inputs[i].size(), expected);
        ASSERT_TRUE(CCryptoApiEngine::Instance().Md5(inputs[i].data(), inputs[i].size(), actual));
        EXPECT_EQ(actual, expected);
    }
    // And one digest written out, through the platform engine.
    EngineScope scope(&CCryptoApiEngine::Instance());
    std::u16string text = u"digest:";
    const std::vector<uint8_t> abc = Bytes("abc");
    EXPECT_EQ(Md5Hex(abc.data(), abc.size(), text), 1);
    EXPECT_EQ(text, u"digest:900150983cd24fb0d6963f7d28e17f72");
}

TEST(CryptoApiEngine, PassesTheKnownAnswerTestAndIsChosen) {
    EXPECT_EQ(KnownAnswerTest(&CCryptoApiEngine::Instance()), 0);

    InstallCryptoApiEngine();
    EngineScope restore(&CCryptoApiEngine::Instance());
    EXPECT_EQ(CCrypt::PlatformEngine(), &CCryptoApiEngine::Instance());
    const std::vector<uint8_t> password = Utf16(kScramblerPassword);
    std::vector<uint8_t> text = Utf16(u"[RC00013]on");
    const std::vector<uint8_t> plain = text;

    CCrypt platform;
    ASSERT_EQ(platform.SetPassword(password.data(), password.size()), 1);
    EXPECT_EQ(platform.m_bUseBuiltIn, 0);
    uint32_t count = uint32_t(text.size());
    ASSERT_EQ(platform.Encrypt(text.data(), count), 1);
    EXPECT_EQ(count, plain.size());
    EXPECT_NE(text, plain);

    // The other end may well use the built-in engine.
    CCrypt builtIn(nullptr);
    ASSERT_EQ(builtIn.SetPassword(password.data(), password.size()), 1);
    EXPECT_EQ(builtIn.m_bUseBuiltIn, 1);
    ASSERT_EQ(builtIn.Decrypt(text.data(), count), 1);
    EXPECT_EQ(text, plain);
}

TEST(CryptoApiEngine, TextCommandFramesAreTheSameWithEitherEngine) {
    SetFrameTickSource(&FixedTick);
    const std::u16string texts[] = {u"", u"[RC00003]", u"[RC00001]3.0.1.1004",
                                    u"[RC00023]" + std::u16string(300, u'\uAC00')};
    for (const std::u16string& text : texts) {
        std::vector<uint8_t> withBuiltIn;
        std::vector<uint8_t> withPlatform;
        {
            EngineScope scope(nullptr);
            withBuiltIn = FrameOf(CPacket(text));
        }
        {
            EngineScope scope(&CCryptoApiEngine::Instance());
            withPlatform = FrameOf(CPacket(text));
            // And a frame made with the platform engine reads back to the same text.
            CMemoryConnection in(withPlatform.data(), withPlatform.size());
            CPacket packet;
            ASSERT_TRUE(ReadFrame(packet, in));
            EXPECT_EQ(packet.m_strText, text);
        }
        EXPECT_EQ(withPlatform, withBuiltIn) << "text of " << text.size() << " units";
    }
    SetFrameTickSource(nullptr);
}

TEST(CryptoApiEngine, WorksFromSeveralThreadsStartingWithoutAContainer) {
    // No container yet, as on a machine where the program never ran.
    HCRYPTPROV gone = 0;
    CryptAcquireContextW(&gone, reinterpret_cast<const wchar_t*>(kKeyContainerName),
                         reinterpret_cast<const wchar_t*>(kCryptProviderName), PROV_RSA_FULL,
                         CRYPT_DELETEKEYSET);
    const std::vector<uint8_t> password = Utf16(kScramblerPassword);
    const std::vector<uint8_t> plain = Utf16(u"[RC00003]");
    std::vector<uint8_t> expected = plain;
    CBuiltInCryptEngine::Instance().Rc4(password.data(), password.size(), expected.data(),
                                        expected.size());
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kCallsPerThread; ++i) {
                std::vector<uint8_t> buffer = plain;
                if (!CCryptoApiEngine::Instance().Rc4(password.data(), password.size(),
                                                      buffer.data(), buffer.size()) ||
                    buffer != expected)
                    ++failures;
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(failures.load(), 0);
}
