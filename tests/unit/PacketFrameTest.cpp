#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "protocol/BuiltInCryptEngine.h"
#include "protocol/Crypt.h"
#include "protocol/MemoryConnection.h"
#include "protocol/Packet.h"

#include "PacketSamples.h"

namespace {

constexpr uint8_t kTick = 0x5B;
constexpr size_t kHeaderSize = 9;  // check bytes, L, type code

uint32_t FixedTick() { return 0x1234500u | kTick; }

class PacketFrameTest : public ::testing::Test {
  protected:
    void SetUp() override { SetFrameTickSource(&FixedTick); }
    void TearDown() override {
        SetFrameTickSource(nullptr);
        CCrypt::SetPlatformEngine(nullptr);
    }
};

std::vector<uint8_t> Frame(const CPacket& packet) {
    CMemoryConnection conn;
    EXPECT_TRUE(WriteFrame(packet, conn));
    EXPECT_FALSE(conn.IsClosed());
    return conn.Sent();
}

// Reads one frame from the bytes; the connection is returned for inspection.
bool Read(const std::vector<uint8_t>& bytes, CPacket& packet, CMemoryConnection& conn) {
    conn.SetInput(bytes.data(), bytes.size());
    return ReadFrame(packet, conn);
}

void PutLe32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

uint32_t GetLe32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

void ExpectSame(const CPacket& a, const CPacket& b) {
    EXPECT_EQ(a.m_nType, b.m_nType);
    EXPECT_EQ(a.m_strDigest, b.m_strDigest);
    EXPECT_EQ(a.m_strText, b.m_strText);
    EXPECT_EQ(a.m_vKeys, b.m_vKeys);
    EXPECT_EQ(a.m_vMouse, b.m_vMouse);
    EXPECT_EQ(a.m_nValue, b.m_nValue);
    EXPECT_EQ(a.m_nUncompressedLength, b.m_nUncompressedLength);
    EXPECT_EQ(a.m_nFrameNumber, b.m_nFrameNumber);
    EXPECT_EQ(a.m_vData, b.m_vData);
    EXPECT_EQ(a.m_vNumbers, b.m_vNumbers);
    EXPECT_EQ(a.m_vShorts, b.m_vShorts);
    EXPECT_EQ(a.m_vData2, b.m_vData2);
    EXPECT_EQ(a.m_vUnsigned, b.m_vUnsigned);
    EXPECT_EQ(a.m_abBlock, b.m_abBlock);
}

void ExpectEmpty(const CPacket& p) { ExpectSame(p, CPacket()); }

using packetsamples::EveryLayout;
using packetsamples::Other;
using packetsamples::Pattern;
using packetsamples::Sample;

}  // namespace

TEST_F(PacketFrameTest, EveryTypeRoundTripsWithItsExactSize) {
    for (const Sample& s : EveryLayout()) {
        SCOPED_TRACE(s.name);
        const std::vector<uint8_t> bytes = Frame(s.packet);
        ASSERT_EQ(bytes.size(), kHeaderSize + s.payloadSize);
        EXPECT_EQ(GetLe32(bytes, 4), 5 + s.payloadSize);
        EXPECT_EQ(bytes[8], s.packet.m_nType);

        CPacket read;
        CMemoryConnection conn;
        ASSERT_TRUE(Read(bytes, read, conn));
        EXPECT_FALSE(conn.IsClosed());
        EXPECT_EQ(conn.UnreadBytes(), 0u);
        ExpectSame(read, s.packet);
    }
}

TEST_F(PacketFrameTest, KeepAliveFrameByteForByte) {
    const std::vector<uint8_t> bytes = Frame(CPacket(u"[RC00003]"));
    ASSERT_EQ(bytes.size(), 99u);
    const uint8_t head[] = {0xA2, 0xA1, 0xA5, 0x5B, 95, 0, 0, 0, 1, 32, 0, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 13),
              std::vector<uint8_t>(head, head + sizeof head));
    // Digest: MD5 of the first nine bytes of the UTF-16LE text, as UTF-16LE hex digits.
    const std::string digest = "dc660b43fdfe6eb6325d6dd0be08d1f5";
    for (size_t i = 0; i < digest.size(); ++i) {
        EXPECT_EQ(bytes[13 + 2 * i], uint8_t(digest[i]));
        EXPECT_EQ(bytes[14 + 2 * i], 0);
    }
    EXPECT_EQ(GetLe32(bytes, 77), 18u);
    // The text scrambled with RC4 under the MD5 of the scrambler password.
    const uint8_t scrambled[] = {0xe5, 0xe5, 0xd4, 0xbd, 0xb6, 0x8a, 0xaf, 0xd3, 0x20,
                                 0xa1, 0xbe, 0x49, 0x77, 0xb0, 0xe6, 0xfe, 0x76, 0x41};
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 81, bytes.end()),
              std::vector<uint8_t>(scrambled, scrambled + sizeof scrambled));
}

TEST(CheckBytesTest, FromTheTickByte) {
    const struct {
        uint8_t t;
        uint8_t expected[4];
    } cases[] = {
        {0x5B, {0xA2, 0xA1, 0xA5, 0x5B}},
        {0x00, {0xA0, 0xA0, 0xA0, 0x00}},
        {0xFF, {0xA7, 0xA3, 0xAF, 0xFF}},
        {0x80, {0xA4, 0xA2, 0xA8, 0x80}},
    };
    for (const auto& c : cases) {
        uint8_t out[4];
        MakeCheckBytes(c.t, out);
        EXPECT_EQ(0, std::memcmp(out, c.expected, 4)) << int(c.t);
        EXPECT_TRUE(CheckBytesValid(out));
        for (int i = 0; i < 3; ++i) {
            uint8_t broken[4];
            std::memcpy(broken, out, 4);
            broken[i] ^= 0x01;
            EXPECT_FALSE(CheckBytesValid(broken)) << int(c.t) << " byte " << i;
        }
    }
}

TEST_F(PacketFrameTest, TextEdgeCases) {
    const struct {
        std::u16string sent;
        std::u16string received;
        const char* digest;
    } cases[] = {
        {u"", u"", "d41d8cd98f00b204e9800998ecf8427e"},
        {u"[RC00003]", u"[RC00003]", "dc660b43fdfe6eb6325d6dd0be08d1f5"},
        // A zero character ends the text on reading.
        {std::u16string(u"[RC00009]a\0b", 12), u"[RC00009]a", nullptr},
    };
    for (const auto& c : cases) {
        CPacket p(c.sent);
        if (c.digest) {
            EXPECT_EQ(p.m_strDigest, std::u16string(c.digest, c.digest + 32));
        }
        CPacket read;
        CMemoryConnection conn;
        ASSERT_TRUE(Read(Frame(p), read, conn));
        EXPECT_EQ(read.m_strText, c.received);
        EXPECT_EQ(read.m_strDigest, p.m_strDigest);
    }
}

TEST_F(PacketFrameTest, UnsendableTypesCloseTheConnection) {
    CPacket tooLong = Other(3, {}, std::vector<uint8_t>(70000));
    for (uint8_t type : {0, 6, 17, 255}) {
        CPacket p;
        p.m_nType = type;
        CMemoryConnection conn;
        EXPECT_FALSE(WriteFrame(p, conn)) << int(type);
        EXPECT_TRUE(conn.IsClosed());
        EXPECT_TRUE(conn.Sent().empty());
    }
    CMemoryConnection conn;
    EXPECT_FALSE(WriteFrame(tooLong, conn));  // a type-3 block has a 16-bit length
    EXPECT_TRUE(conn.IsClosed());
    EXPECT_TRUE(conn.Sent().empty());
}

TEST_F(PacketFrameTest, BrokenFramesCloseAndLeaveThePacketEmpty) {
    const std::vector<uint8_t> good = Frame(CPacket(u"[RC00013]on"));
    auto with = [&](size_t at, uint8_t v) {
        std::vector<uint8_t> b = good;
        b[at] = v;
        return b;
    };
    auto withLength = [&](uint32_t l) {
        std::vector<uint8_t> b = good;
        PutLe32(b, 4, l);
        return b;
    };
    auto typed = [](uint8_t type) {
        std::vector<uint8_t> b = {0xA2, 0xA1, 0xA5, 0x5B, 0, 0, 0, 0, type, 0, 0, 0, 0};
        PutLe32(b, 4, uint32_t(b.size() - 4));
        return b;
    };
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"bad c0", with(0, uint8_t(good[0] + 1))},
        {"bad c1", with(1, uint8_t(good[1] + 1))},
        {"bad c2", with(2, uint8_t(good[2] + 1))},
        {"bad c3", with(3, uint8_t(good[3] + 0x10))},
        {"L = 4", withLength(4)},
        {"L = 0", withLength(0)},
        {"L negative", withLength(0xFFFFFFFF)},
        {"L above the bound", withLength(uint32_t(kMaxFrameLength) + 1)},
        {"L longer than the data", withLength(uint32_t(good.size()))},
        {"type 0", typed(0)},
        {"type 6", typed(6)},
        {"type 17", typed(17)},
        {"type 255", typed(255)},
        {"nothing", {}},
        {"three check bytes", {0xA2, 0xA1, 0xA5}},
        {"no length", {0xA2, 0xA1, 0xA5, 0x5B, 5, 0}},
        {"truncated body", std::vector<uint8_t>(good.begin(), good.end() - 1)},
    };
    for (const auto& c : cases) {
        CPacket p(u"[RC00001]stale");  // whatever was there is cleared
        CMemoryConnection conn;
        EXPECT_FALSE(Read(c.bytes, p, conn)) << c.name;
        EXPECT_TRUE(conn.IsClosed()) << c.name;
        ExpectEmpty(p);
    }
}

TEST_F(PacketFrameTest, EveryTruncatedPayloadIsRefused) {
    for (const Sample& s : EveryLayout()) {
        const std::vector<uint8_t> full = Frame(s.packet);
        for (size_t keep = 0; keep < s.payloadSize; ++keep) {
            std::vector<uint8_t> b(full.begin(), full.begin() + kHeaderSize + keep);
            PutLe32(b, 4, uint32_t(5 + keep));
            CPacket p;
            CMemoryConnection conn;
            EXPECT_FALSE(Read(b, p, conn)) << s.name << " keeping " << keep;
            EXPECT_TRUE(conn.IsClosed());
            ExpectEmpty(p);
        }
    }
}

TEST_F(PacketFrameTest, AConnectionEndingInsideALargeFieldIsRefused) {
    const std::vector<uint8_t> z = Pattern(5000, 2);
    CPacket nine = Other(9, {1, 2, 3}, {4});
    nine.m_strText = std::u16string(3000, u'n');
    const CPacket packets[] = {CPacket(u"[RC00001]" + std::u16string(3000, u't')), nine,
                               CPacket(uint32_t(z.size()), z.data(), 1, 2),
                               CPacket(uint32_t(z.size()), z.data(), 11)};
    for (const CPacket& packet : packets) {
        const std::vector<uint8_t> full = Frame(packet);
        for (const size_t cut : {size_t(1), size_t(600), full.size() / 2, full.size() - 600}) {
            const std::vector<uint8_t> b(full.begin(), full.end() - cut);
            CPacket p;
            CMemoryConnection conn;
            EXPECT_FALSE(Read(b, p, conn)) << int(packet.m_nType) << " cut " << cut;
            EXPECT_TRUE(conn.IsClosed());
            ExpectEmpty(p);
        }
    }
}

TEST_F(PacketFrameTest, OversizedLengthFieldsAreRefused) {
    auto frameOf = [](const CPacket& p) { return Frame(p); };
    std::vector<KeyEventRecord> keys(1);
    std::vector<MouseEventRecord> mouse(1);
    const std::vector<uint8_t> z = Pattern(16, 0);
    CPacket three = Other(3, {1, 2, 3, 4, 5}, {1});
    CPacket nine = Other(9, {1, 2, 3});
    nine.m_strText = u"ab";
    CPacket fourteen = Other(14, {1, 2});
    fourteen.m_vUnsigned = {1};
    const struct {
        const char* name;
        std::vector<uint8_t> frame;
        size_t at;  // frame offset of the length field
        uint32_t value;
        bool sixteenBits;
    } cases[] = {
        // Counts chosen so that count x record size wraps to a small 32-bit number.
        {"text digest length", frameOf(CPacket(u"[RC00003]")), 9, 0x80000001u, false},
        {"text length", frameOf(CPacket(u"[RC00003]")), 77, 0xFFFFFFFFu, false},
        {"key count", frameOf(CPacket(keys)), 9, 0x12492493u, false},
        {"mouse count", frameOf(CPacket(mouse)), 9, 0x10000001u, false},
        {"frame data length", frameOf(CPacket(16, z.data(), 1, 1)), 13, 0xFFFFFFFFu, false},
        {"sound data length", frameOf(CPacket(16, z.data(), 16)), 13, 17, false},
        {"type 3 block a", frameOf(three), 37, 0xFFFF, true},
        {"type 9 text length", frameOf(nine), 21, 0x80000000u, false},
        {"type 14 count", frameOf(fourteen), 9, 0x40000001u, false},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> b = c.frame;
        if (c.sixteenBits) {
            b[c.at] = uint8_t(c.value);
            b[c.at + 1] = uint8_t(c.value >> 8);
        } else {
            PutLe32(b, c.at, c.value);
        }
        CPacket p;
        CMemoryConnection conn;
        EXPECT_FALSE(Read(b, p, conn)) << c.name;
        EXPECT_TRUE(conn.IsClosed()) << c.name;
        ExpectEmpty(p);
    }
}

TEST_F(PacketFrameTest, BytesAfterThePayloadAreSkippedAndTheStreamStaysInStep) {
    const std::vector<uint8_t> z = Pattern(5000, 1);
    const CPacket firsts[] = {Other(10, {1, 2}), CPacket(uint32_t(z.size()), z.data(), 1, 2),
                              CPacket(u"[RC00001]" + std::u16string(700, u'y'))};
    for (const size_t extra : {0u, 3u, 4000u}) {
        for (const CPacket& firstPacket : firsts) {
            std::vector<uint8_t> both = Frame(firstPacket);
            both.insert(both.end(), extra, 0xEE);
            PutLe32(both, 4, uint32_t(both.size() - 4));
            const std::vector<uint8_t> second = Frame(CPacket(u"[RH10002]"));
            both.insert(both.end(), second.begin(), second.end());

            CMemoryConnection conn(both.data(), both.size());
            CPacket a, b;
            ASSERT_TRUE(ReadFrame(a, conn));
            ExpectSame(a, firstPacket);
            ASSERT_TRUE(ReadFrame(b, conn));
            EXPECT_EQ(b.m_strText, u"[RH10002]");
            EXPECT_EQ(conn.UnreadBytes(), 0u);
        }
    }
}

namespace {

// Accepts at most `limit` bytes per piece and refuses every `refuseEvery`-th offer.
class StingyConnection : public CMemoryConnection {
  public:
    StingyConnection(int limit, int refuseEvery) : m_limit(limit), m_refuseEvery(refuseEvery) {}
    int SendPiece(const uint8_t* buffer, int count) override {
        ++m_nOffers;
        if (m_refuseEvery > 0 && m_nOffers % m_refuseEvery == 0) return -1;
        return CMemoryConnection::SendPiece(buffer, std::min(count, m_limit));
    }
    int m_nOffers = 0;

  private:
    int m_limit;
    int m_refuseEvery;
};

}  // namespace

TEST_F(PacketFrameTest, PiecesAreAtMost512BytesAndPartialSendsResume) {
    const std::vector<uint8_t> z = Pattern(200 * 1024 + 77, 5);
    const CPacket big(uint32_t(z.size()), z.data(), 1 << 20, 3);
    CMemoryConnection plain;
    ASSERT_TRUE(WriteFrame(big, plain));
    const std::vector<int>& pieces = plain.PieceSizes();
    ASSERT_FALSE(pieces.empty());
    for (size_t i = 0; i + 1 < pieces.size(); ++i) ASSERT_EQ(pieces[i], kSendPieceSize);
    EXPECT_LE(pieces.back(), kSendPieceSize);

    const struct {
        int limit;
        int refuseEvery;
    } cases[] = {{512, 0}, {100, 0}, {511, 3}, {1, 2}};
    for (const auto& c : cases) {
        StingyConnection conn(c.limit, c.refuseEvery);
        ASSERT_TRUE(WriteFrame(big, conn)) << c.limit;
        EXPECT_EQ(conn.Sent(), plain.Sent()) << c.limit;
        conn.Loopback();
        CPacket read;
        ASSERT_TRUE(ReadFrame(read, conn));
        ExpectSame(read, big);
    }
}

TEST_F(PacketFrameTest, AConnectionThatRefusesEverythingIsClosed) {
    StingyConnection dead(512, 1);
    EXPECT_FALSE(WriteFrame(CPacket(u"[RC00003]"), dead));
    EXPECT_TRUE(dead.IsClosed());
    EXPECT_EQ(dead.m_nOffers, kMaxSendRetries);
}

TEST_F(PacketFrameTest, AFailingPlatformScramblerIsStoodInForByTheBuiltInOne) {
    // Passes the self-test, then fails on the scrambler password.
    class SelfTestOnly : public ICryptEngine {
      public:
        int failures = 0;
        bool Md5(const uint8_t* d, size_t n, Md5Digest& out) override {
            return CBuiltInCryptEngine::Instance().Md5(d, n, out);
        }
        bool Rc4(const uint8_t* pw, size_t pwSize, uint8_t* buf, size_t n) override {
            if (pwSize != 30 || pw[0] != 'q') {
                ++failures;
                return false;
            }
            return CBuiltInCryptEngine::Instance().Rc4(pw, pwSize, buf, n);
        }
    } engine;
    const std::vector<uint8_t> good = Frame(CPacket(u"[RC00013]on"));
    CCrypt::SetPlatformEngine(&engine);

    // The same scrambled frame goes out, and the connection stays up.
    CMemoryConnection out;
    EXPECT_TRUE(WriteFrame(CPacket(u"[RC00013]on"), out));
    EXPECT_FALSE(out.IsClosed());
    EXPECT_EQ(out.Sent(), good);
    EXPECT_EQ(engine.failures, 1);

    CPacket p;
    CMemoryConnection in;
    EXPECT_TRUE(Read(good, p, in));
    EXPECT_FALSE(in.IsClosed());
    EXPECT_EQ(p.m_strText, u"[RC00013]on");
    EXPECT_EQ(engine.failures, 2);
}

TEST(PacketTest, ConstructorsAndDeepCopy) {
    std::vector<KeyEventRecord> keys = {{256, 1, 1, 0}, {257, 1, 1, 0}};
    CPacket k(keys);
    EXPECT_TRUE(keys.empty());
    EXPECT_EQ(k.m_nType, kPacketKeys);
    EXPECT_EQ(k.m_vKeys.size(), 2u);

    std::vector<MouseEventRecord> mouse = {{512, 0, 1, 2, 0}};
    CPacket m(mouse);
    EXPECT_TRUE(mouse.empty());
    EXPECT_EQ(m.m_vMouse.size(), 1u);

    std::vector<uint8_t> pcm = {1, 2, 3, 4};
    CPacket sound(uint32_t(pcm.size()), pcm.data(), 4);
    pcm[0] = 9;  // the packet holds its own copy
    EXPECT_EQ(sound.m_vData, (std::vector<uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(sound.m_nType, kPacketSound);

    CPacket fourteen = Other(14, {1, 2}, {3});
    fourteen.m_vUnsigned = {7};
    const CPacket copy(fourteen);
    fourteen.m_vData[0] = 0;
    fourteen.m_vUnsigned[0] = 0;
    EXPECT_EQ(copy.m_vData, std::vector<uint8_t>{3});
    EXPECT_EQ(copy.m_vUnsigned, std::vector<uint32_t>{7});
    EXPECT_EQ(copy.m_vNumbers, (std::vector<int32_t>{1, 2}));
}
