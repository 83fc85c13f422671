// Whether a screen-up frame fits the size the pad announced: honest frames from the
// sim's encoder pass, each kind of fault is named; and the event the lectern PC logs
// per frame carries what the frame held.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LecternFixture.h"
#include "ScreenUpFrames.h"
#include "media/ScreenUpDecoder.h"

namespace {

using namespace screenup_frames;
using R = CScreenUpDecoder::Result;

CPacket WithLength(CPacket packet, int32_t uncompressedLength) {
    packet.m_nUncompressedLength = uncompressedLength;
    return packet;
}

// Bytes after the strip, counted in the block's length field (and so in the packet's).
std::vector<uint8_t> WithTrailingBytes(std::vector<uint8_t> block, uint32_t count) {
    block.resize(block.size() + count, 0);
    PutU32At(block.data(), uint32_t(block.size()));
    return block;
}

struct Size {
    int width, height;
    int tileWidth, tileHeight;  // what the tiling rule gives
};

TEST(ScreenUpGeometry, HonestFramesFitTheAnnouncedSize) {
    const Size sizes[] = {{1024, 768, 128, 192}, {1920, 1080, 120, 135}, {1366, 768, 683, 192}};
    for (const Size& s : sizes) {
        SCOPED_TRACE(testing::Message() << s.width << "x" << s.height);
        CScreenUpDecoder decoder;
        decoder.Configure(s.width, s.height);
        const TileGrid grid = decoder.Grid();
        ASSERT_EQ(s.tileWidth, grid.tileWidth);
        ASSERT_EQ(s.tileHeight, grid.tileHeight);
        CSyntheticDesktop desktop(s.width, s.height);
        CFrameEncoder encoder(FrameEncoderOptions{70, 1, 0, 0});
        // The whole screen, about a tenth of it, a single tile, none.
        const std::vector<std::vector<int32_t>> frames = {
            Tiles(grid), Tiles(grid, 10), {grid.Count() - 1}, {}};
        for (const std::vector<int32_t>& tiles : frames) {
            SCOPED_TRACE(testing::Message() << tiles.size() << " tiles");
            FrameParts parts;
            const CPacket packet = EncodeTiles(encoder, desktop, grid, tiles, &parts);
            ASSERT_EQ(kPacketFrame, packet.m_nType);
            ScreenUpFrameInfo info;
            EXPECT_EQ(R::kOk, decoder.Decode(packet, &info));
            EXPECT_EQ("ok", info.geometry);
            EXPECT_EQ(packet.m_vData.size(), info.compressedBytes);
            EXPECT_EQ(packet.m_nUncompressedLength, info.blockLength);
            EXPECT_EQ(parts.jpeg.size(), info.imageBytes);
            EXPECT_EQ(tiles, info.indices);
            EXPECT_EQ(tiles.empty() ? 0 : int(tiles.size()) * s.tileWidth, info.stripWidth);
            EXPECT_EQ(tiles.empty() ? 0 : s.tileHeight, info.stripHeight);
            EXPECT_GE(info.decodeMicros, 0);
        }
    }
}

TEST(ScreenUpGeometry, EachFaultIsNamed) {
    const TileGrid grid = TileGrid::ForScreen(1024, 768);  // 128 x 192 tiles, 8 x 4
    CSyntheticDesktop desktop(1024, 768);
    CFrameEncoder encoder(FrameEncoderOptions{70, 1, 0, 0});
    FrameParts two, three, halfHeight;
    const CPacket honest = EncodeTiles(encoder, desktop, grid, {0, 1}, &two);
    EncodeTiles(encoder, desktop, grid, {0, 1, 2}, &three);
    // Tiles half as high as the rule says, but as wide.
    EncodeTiles(encoder, desktop, TileGrid{1024, 768, 128, 96}, {0, 1}, &halfHeight);
    ASSERT_FALSE(two.jpeg.empty());
    ASSERT_FALSE(three.jpeg.empty());
    ASSERT_FALSE(halfHeight.jpeg.empty());
    const std::vector<uint8_t> garbage(600, 0x5A);

    const struct {
        const char* geometry;
        CPacket packet;
        R result;
        bool configure;
    } cases[] = {
        {"ok", honest, R::kOk, true},
        {"ok", Pack(Block({5, 31}, two.jpeg), 1), R::kOk, true},
        {"not-configured", honest, R::kNotConfigured, false},
        {"not-frame", CPacket(std::u16string(u"[RH00002]1")), R::kNotFrame, true},
        {"strip-width", Pack(Block({0, 1}, three.jpeg), 1), R::kOk, true},
        {"strip-width", Pack(Block({0, 1, 2}, two.jpeg), 1), R::kOk, true},
        {"strip-width", Pack(Block({}, two.jpeg), 1), R::kOk, true},
        {"strip-height", Pack(Block({0, 1}, halfHeight.jpeg), 1), R::kOk, true},
        {"index-range", Pack(Block({0, 32}, two.jpeg), 1), R::kOk, true},
        {"index-range", Pack(Block({-1, 3}, two.jpeg), 1), R::kOk, true},
        {"index-order", Pack(Block({1, 0}, two.jpeg), 1), R::kOk, true},
        {"index-order", Pack(Block({4, 4}, two.jpeg), 1), R::kOk, true},
        {"block-length", Pack(Block({0, 1}, two.jpeg, 4), 1), R::kOk, true},
        {"block-length", Pack(Block({0, 1}, two.jpeg), 1, 8), R::kOk, true},
        {"block-length", Pack(WithTrailingBytes(Block({0, 1}, two.jpeg), 4), 1), R::kOk, true},
        {"bad-image", Pack(Block({0}, garbage), 1), R::kBadImage, true},
        {"bad-zlib", Pack(Block({0, 1}, two.jpeg), 1, -8), R::kBadZlib, true},
        {"bad-block", Pack(std::vector<uint8_t>(6, 1), 1), R::kBadBlock, true},
        {"bad-length", WithLength(honest, 0x7FFFFFFF), R::kBadLength, true},
        {"bad-length", WithLength(honest, 0), R::kBadLength, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.geometry);
        CScreenUpDecoder decoder;
        if (c.configure) decoder.Configure(1024, 768);
        ScreenUpFrameInfo info;
        EXPECT_EQ(c.result, decoder.Decode(c.packet, &info));
        EXPECT_EQ(c.geometry, info.geometry);
        EXPECT_EQ(c.packet.m_vData.size(), info.compressedBytes);
    }
}

TEST(ScreenUpGeometry, IndicesAreWrittenAsCommaSeparatedText) {
    EXPECT_EQ("", CScreenUpDecoder::IndicesText({}));
    EXPECT_EQ("7", CScreenUpDecoder::IndicesText({7}));
    EXPECT_EQ("0,1,2", CScreenUpDecoder::IndicesText({0, 1, 2}));
    EXPECT_EQ("-5,127", CScreenUpDecoder::IndicesText({-5, 127}));
}

// The lectern PC's event per frame, for honest frames at two sizes and a faulty one;
// each frame's acknowledgement goes out before the frame is decoded.
TEST_F(LecternFixture, ScreenUpEventsTellWhatEachFrameHeld) {
    const Size sizes[] = {{1024, 768, 128, 192}, {1920, 1080, 120, 135}};
    for (const Size& s : sizes) {
        SCOPED_TRACE(testing::Message() << s.width << "x" << s.height);
        LecternOptions lectern;
        lectern.heartbeatMs = 0;
        Start(lectern);
        Greet();
        ASSERT_TRUE(pad->Send(std::u16string(kCmdScreenUpParams) + DecimalText(s.width) + u"," +
                              DecimalText(s.height) + u",full,resize"));
        ASSERT_TRUE(pad->Send(std::u16string(kCmdScreenUp) + kArgStart));
        const TileGrid grid = TileGrid::ForScreen(s.width, s.height);
        CSyntheticDesktop desktop(s.width, s.height);
        CFrameEncoder encoder(FrameEncoderOptions{70, 1, 0, 0});
        struct Sent {
            CPacket packet;
            FrameParts parts;
            std::string geometry;
        };
        std::vector<Sent> sent(3);
        sent[0].packet = EncodeTiles(encoder, desktop, grid, Tiles(grid), &sent[0].parts);
        sent[0].geometry = "ok";
        desktop.TakeChangedTiles();  // all of them, sent just now
        desktop.Step();
        sent[1].packet =
            EncodeTiles(encoder, desktop, grid, desktop.TakeChangedTiles(), &sent[1].parts);
        sent[1].geometry = "ok";
        // The same strip with its first two indices swapped.
        sent[2].parts = sent[0].parts;
        std::swap(sent[2].parts.indices[0], sent[2].parts.indices[1]);
        sent[2].packet = Pack(Block(sent[2].parts.indices, sent[2].parts.jpeg), 2);
        sent[2].geometry = "index-order";
        for (const Sent& f : sent) ASSERT_TRUE(pad->Send(f.packet));

        CEventLog& log = classroom->Log();
        ASSERT_TRUE(log.WaitForCount(CEventLog::Kind("screenup_decoded"), sent.size(), kLongWait));
        std::vector<SimEvent> decoded, acks;
        for (const SimEvent& e : log.Events()) {
            if (e.kind == "screenup_decoded") decoded.push_back(e);
            if (e.kind == "send" && e.Text("code") == "[RH00002]") acks.push_back(e);
        }
        ASSERT_EQ(sent.size(), decoded.size());
        ASSERT_EQ(sent.size(), acks.size());
        for (size_t i = 0; i < sent.size(); ++i) {
            SCOPED_TRACE(i);
            const SimEvent& e = decoded[i];
            const Sent& f = sent[i];
            const size_t n = f.parts.indices.size();
            ASSERT_GT(n, 1u);
            EXPECT_EQ(f.packet.m_nFrameNumber, e.Int("frame"));
            EXPECT_EQ("ok", e.Text("result"));
            EXPECT_EQ(int64_t(n), e.Int("tiles"));
            EXPECT_EQ(int64_t(f.packet.m_vData.size()), e.Int("bytes"));
            EXPECT_EQ(f.packet.m_nUncompressedLength, e.Int("block"));
            EXPECT_EQ(int64_t(f.parts.jpeg.size()), e.Int("jpeg"));
            EXPECT_EQ(int64_t(n) * s.tileWidth, e.Int("strip_w"));
            EXPECT_EQ(s.tileHeight, e.Int("strip_h"));
            EXPECT_EQ(CScreenUpDecoder::IndicesText(f.parts.indices), e.Text("indices"));
            EXPECT_TRUE(e.Has("decode_us"));
            EXPECT_GE(e.Int("decode_us", -1), 0);
            EXPECT_EQ(f.geometry, e.Text("geometry"));
            EXPECT_EQ(std::to_string(f.packet.m_nFrameNumber), acks[i].Text("args"));
            EXPECT_LT(acks[i].seq, e.seq) << "acknowledged before it was decoded";
        }
    }
}

}  // namespace
