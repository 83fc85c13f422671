// Remote-control frames of the simulated lectern PC, read back the way the pad reads
// them: inflate, take the block apart field by field, decode the JPEG strip and place
// its tiles. Written against zlib and libturbojpeg directly, not the encoder's helpers.
#include <gtest/gtest.h>
#include <turbojpeg.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "media/FrameEncoder.h"
#include "media/SyntheticDesktop.h"
#include "remote/TileGrid.h"
#include "protocol/Packet.h"

namespace {

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

std::vector<uint8_t> Inflate(const CPacket& packet, size_t capacity) {
    std::vector<uint8_t> block(capacity);
    uLongf size = uLongf(capacity);
    if (uncompress(block.data(), &size, packet.m_vData.data(), uLong(packet.m_vData.size())) !=
        Z_OK) {
        return {};
    }
    block.resize(size);
    return block;
}

struct DecodedBlock {
    uint32_t length = 0, count = 0, imageLength = 0;
    std::vector<int32_t> indices;
    std::vector<uint8_t> strip;
    int stripWidth = 0, stripHeight = 0;
};

DecodedBlock ReadBlock(const std::vector<uint8_t>& block) {
    DecodedBlock d;
    d.length = Le32(block, 0);
    d.count = Le32(block, 4);
    for (uint32_t i = 0; i < d.count; ++i) d.indices.push_back(int32_t(Le32(block, 8 + 4 * i)));
    d.imageLength = Le32(block, 8 + 4 * d.count);
    if (d.imageLength == 0) return d;
    const uint8_t* jpeg = block.data() + 12 + 4 * d.count;
    tjhandle h = tjInitDecompress();
    int sub = 0, cs = 0;
    EXPECT_EQ(
        0, tjDecompressHeader3(h, jpeg, d.imageLength, &d.stripWidth, &d.stripHeight, &sub, &cs));
    d.strip.resize(size_t(d.stripWidth) * d.stripHeight * 3);
    EXPECT_EQ(0, tjDecompress2(h, jpeg, d.imageLength, d.strip.data(), d.stripWidth, 0,
                               d.stripHeight, TJPF_RGB, 0));
    tjDestroy(h);
    return d;
}

// Places the strip's tiles the way the viewer does: tile i of the strip at x = i * tw.
void PlaceTiles(const DecodedBlock& d, const TileGrid& grid, std::vector<uint8_t>& picture) {
    const int columns = grid.width / grid.tileWidth;
    for (size_t i = 0; i < d.indices.size(); ++i) {
        const int x0 = grid.tileWidth * (d.indices[i] % columns);
        const int y0 = grid.tileHeight * (d.indices[i] / columns);
        for (int y = 0; y < grid.tileHeight && y0 + y < grid.height; ++y) {
            for (int x = 0; x < grid.tileWidth && x0 + x < grid.width; ++x) {
                const size_t from = (size_t(y) * d.stripWidth + i * grid.tileWidth + x) * 3;
                const size_t to = (size_t(y0 + y) * grid.width + x0 + x) * 3;
                std::memcpy(&picture[to], &d.strip[from], 3);
            }
        }
    }
}

double Psnr(const std::vector<uint8_t>& a, const uint8_t* b) {
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) sum += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
    const double mse = sum / double(a.size());
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace

TEST(MediaTileGrid, TileLengthsFollowThePadsHalvingRule) {
    const struct {
        int screen, tile;
    } cases[] = {{1920, 120}, {1080, 135}, {1366, 683}, {768, 192}, {1600, 100},
                 {900, 225},  {150, 150},  {200, 100},  {199, 199}, {1024, 128}};
    for (const auto& c : cases) EXPECT_EQ(c.tile, TileLengthFor(c.screen)) << c.screen;
    const TileGrid grid = TileGrid::ForScreen(1920, 1080);
    EXPECT_EQ(16, grid.Columns());
    EXPECT_EQ(8, grid.Rows());
    EXPECT_EQ(128, grid.Count());
    EXPECT_EQ(120 * 5, grid.TileLeft(21));
    EXPECT_EQ(135, grid.TileTop(21));
}

TEST(MediaSyntheticDesktop, ChangedTilesAreExactlyTheTilesThatChanged) {
    CSyntheticDesktop desktop(1366, 768);
    EXPECT_EQ(size_t(desktop.Grid().Count()), desktop.TakeChangedTiles().size());
    for (int step = 0; step < 12; ++step) {
        const std::vector<uint8_t> before(desktop.Pixels(),
                                          desktop.Pixels() + desktop.Stride() * desktop.Height());
        desktop.Step();
        const std::vector<int32_t> changed = desktop.TakeChangedTiles();
        const TileGrid& g = desktop.Grid();
        for (int32_t t = 0; t < g.Count(); ++t) {
            bool differs = false;
            for (int y = g.TileTop(t); y < std::min(g.TileTop(t) + g.tileHeight, g.height); ++y) {
                const size_t at = desktop.Stride() * y + size_t(g.TileLeft(t)) * 3;
                differs |= std::memcmp(&before[at], desktop.Pixels() + at, g.tileWidth * 3) != 0;
            }
            const bool listed = std::find(changed.begin(), changed.end(), t) != changed.end();
            EXPECT_EQ(differs, listed) << "step " << step << " tile " << t;
        }
        EXPECT_FALSE(changed.empty()) << "the clock ticks every step";
    }
}

TEST(MediaSyntheticDesktop, AboutATenthOfTheTilesChangePerStep) {
    CSyntheticDesktop desktop;
    desktop.TakeChangedTiles();
    size_t total = 0;
    const int steps = 100;
    for (int i = 0; i < steps; ++i) {
        desktop.Step();
        total += desktop.TakeChangedTiles().size();
    }
    const double fraction = double(total) / steps / desktop.Grid().Count();
    EXPECT_GT(fraction, 0.05);
    EXPECT_LT(fraction, 0.20);
}

TEST(MediaFrameEncoder, FramesDecodeBackToTheDesktopWithinJpegTolerance) {
    const struct {
        int width, height, variant;
    } cases[] = {{1920, 1080, 0}, {1366, 768, 1}, {1024, 768, 2}, {800, 600, 0}};
    for (const auto& c : cases) {
        CSyntheticDesktop desktop(c.width, c.height, c.variant);
        CFrameEncoder encoder(FrameEncoderOptions{});
        const TileGrid grid = desktop.Grid();
        std::vector<uint8_t> picture(size_t(c.width) * c.height * 3, 0);
        for (int frame = 0; frame < 6; ++frame) {
            const std::vector<int32_t> tiles = desktop.TakeChangedTiles();
            CPacket packet;
            size_t taken = 0;
            ASSERT_TRUE(encoder.EncodeFrame(desktop, tiles, packet, &taken));
            ASSERT_EQ(tiles.size(), taken);
            EXPECT_EQ(kPacketFrame, packet.m_nType);
            EXPECT_EQ(frame, packet.m_nFrameNumber);
            const std::vector<uint8_t> block = Inflate(packet, packet.m_nUncompressedLength);
            ASSERT_EQ(size_t(packet.m_nUncompressedLength), block.size());
            const DecodedBlock d = ReadBlock(block);
            EXPECT_EQ(block.size(), d.length);
            EXPECT_EQ(12 + 4 * d.count + d.imageLength, d.length);
            EXPECT_EQ(tiles, d.indices);
            EXPECT_EQ(int(tiles.size()) * grid.tileWidth, d.stripWidth);
            EXPECT_EQ(grid.tileHeight, d.stripHeight);
            PlaceTiles(d, grid, picture);
            EXPECT_GT(Psnr(picture, desktop.Pixels()), 30.0) << c.width << " frame " << frame;
            encoder.OnAcknowledged(packet.m_nFrameNumber);
            desktop.Step(3);
        }
    }
}

TEST(MediaFrameEncoder, EmptyAndOversizedTileListsStillMakeValidFrames) {
    CSyntheticDesktop desktop(640, 480);
    CFrameEncoder encoder;
    CPacket packet;
    size_t taken = 99;
    ASSERT_TRUE(encoder.EncodeFrame(desktop, {}, packet, &taken));
    EXPECT_EQ(0u, taken);
    const std::vector<uint8_t> empty = Inflate(packet, 64);
    ASSERT_EQ(12u, empty.size());
    EXPECT_EQ(12u, Le32(empty, 0));
    EXPECT_EQ(0u, Le32(empty, 4));
    EXPECT_EQ(0u, Le32(empty, 8));

    // Tiles repeated beyond what one JPEG strip can hold: the rest waits for the next frame.
    TileGrid narrow{640, 480, 8, 8};
    std::vector<int32_t> many(10000, 0);
    ASSERT_TRUE(encoder.EncodeFrame(desktop.Pixels(), 640, 480, desktop.Stride(), narrow, many,
                                    packet, &taken));
    EXPECT_EQ(CFrameEncoder::MaxTilesPerFrame(narrow), taken);
    EXPECT_LT(taken, many.size());
}

TEST(MediaFrameEncoder, PacingFollowsAcknowledgements) {
    // Each row: frames to send first, then an acknowledgement, and what follows.
    const struct {
        int send;
        int32_t ack;
        bool accepted;
        size_t inFlight;
        bool canSend;
    } cases[] = {
        {3, 0, true, 2, true},     // the first acknowledged
        {3, 2, true, 0, true},     // a later number acknowledges the earlier ones too
        {3, 3, false, 3, false},   // a number never sent is ignored
        {3, -1, false, 3, false},  // as is one before the first frame
        {2, 1, true, 0, true},
    };
    for (const auto& c : cases) {
        CFrameEncoder encoder;  // three frames in flight at most
        CSyntheticDesktop desktop(320, 240);
        for (int i = 0; i < c.send; ++i) {
            CPacket packet;
            ASSERT_TRUE(encoder.EncodeFrame(desktop, desktop.TakeChangedTiles(), packet));
        }
        EXPECT_EQ(c.send < 3, encoder.CanSend());
        EXPECT_EQ(c.accepted, encoder.OnAcknowledged(c.ack)) << c.send << "/" << c.ack;
        EXPECT_EQ(c.inFlight, encoder.InFlight());
        EXPECT_EQ(c.canSend, encoder.CanSend());
        EXPECT_FALSE(encoder.OnAcknowledged(c.ack)) << "a repeated acknowledgement changes nothing";
    }
}

TEST(MediaFrameEncoder, LyingBlocksLieAsAdvertised) {
    CSyntheticDesktop desktop(480, 270);
    const std::vector<int32_t> tiles = {0, 1, 5};
    CFrameEncoder honest;
    CPacket truth;
    ASSERT_TRUE(honest.EncodeFrame(desktop, tiles, truth));
    const std::vector<uint8_t> real = Inflate(truth, truth.m_nUncompressedLength);
    const uint32_t realImage = Le32(real, 8 + 4 * 3);

    const struct {
        FrameBlockLie lie;
        size_t field;       // offset of the lying field in the block, or SIZE_MAX
        uint32_t expected;  // its value
        bool inflates;      // the packet's uncompressed length is enough to inflate
    } cases[] = {
        {FrameBlockLie::kTileCountTooHigh, 4, 3 + 1000, true},
        {FrameBlockLie::kTileCountHuge, 4, 0x7FFFFFFF, true},
        {FrameBlockLie::kImageLengthTooLong, 20, realImage + 1000000, true},
        {FrameBlockLie::kBlockLengthWrong, 0, 12, true},
        {FrameBlockLie::kTileIndexOutOfRange, 12, 1 * 1000 + 1000, true},
        {FrameBlockLie::kUncompressedLengthTooShort, SIZE_MAX, 0, false},
    };
    for (const auto& c : cases) {
        CFrameEncoder encoder;
        encoder.SetLie(c.lie);
        CPacket packet;
        ASSERT_TRUE(encoder.EncodeFrame(desktop, tiles, packet));
        const std::vector<uint8_t> block = Inflate(packet, packet.m_nUncompressedLength);
        EXPECT_EQ(c.inflates, !block.empty()) << int(c.lie);
        const std::vector<uint8_t> full = Inflate(packet, real.size());
        ASSERT_EQ(real.size(), full.size()) << "the bytes are always complete";
        if (c.field != SIZE_MAX) {
            EXPECT_EQ(c.expected, Le32(full, c.field)) << int(c.lie);
        }
    }
    CFrameEncoder huge;
    huge.SetLie(FrameBlockLie::kUncompressedLengthHuge);
    CPacket packet;
    ASSERT_TRUE(huge.EncodeFrame(desktop, tiles, packet));
    EXPECT_EQ(0x7FFFFFFF, packet.m_nUncompressedLength);
}

TEST(MediaFrameEncoder, TheNewerLiesBreakOnlyWhatTheyName) {
    CSyntheticDesktop desktop(480, 270);
    const std::vector<int32_t> tiles = {0, 1, 5};
    CFrameEncoder honest;
    CPacket truth;
    ASSERT_TRUE(honest.EncodeFrame(desktop, tiles, truth));
    const std::vector<uint8_t> real = Inflate(truth, truth.m_nUncompressedLength);
    const uint32_t realImage = Le32(real, 8 + 4 * 3);
    const std::vector<uint8_t> realJpeg(real.begin() + 24, real.end());

    const struct {
        FrameBlockLie lie;
        bool inflates;
        size_t taken;                  // tiles the encoder reports as sent
        std::vector<int32_t> indices;  // as read back
        uint32_t imageLength;
        bool sameJpeg;  // the strip bytes are the honest ones
    } cases[] = {
        {FrameBlockLie::kNone, true, 3, {0, 1, 5}, realImage, true},
        {FrameBlockLie::kBadZlib, false, 3, {}, 0, false},
        {FrameBlockLie::kNoTiles, true, 0, {}, 0, false},
        {FrameBlockLie::kBadJpeg, true, 3, {0, 1, 5}, realImage, false},
        {FrameBlockLie::kNegativeTileIndex, true, 3, {-5, 1, 5}, realImage, true},
    };
    tjhandle h = tjInitDecompress();
    for (const auto& c : cases) {
        SCOPED_TRACE(FrameBlockLieName(c.lie));
        CFrameEncoder encoder;
        encoder.SetLie(c.lie);
        CPacket packet;
        size_t taken = 99;
        ASSERT_TRUE(encoder.EncodeFrame(desktop, tiles, packet, &taken));
        EXPECT_EQ(c.taken, taken) << "tiles left out must be sent again";
        const std::vector<uint8_t> block = Inflate(packet, real.size() + 64);
        if (!c.inflates) {
            EXPECT_TRUE(block.empty());
            continue;
        }
        // The lengths always tell the truth about the bytes.
        ASSERT_EQ(size_t(packet.m_nUncompressedLength), block.size());
        ASSERT_GE(block.size(), 12u);
        EXPECT_EQ(block.size(), Le32(block, 0));
        const uint32_t count = Le32(block, 4);
        ASSERT_EQ(c.indices.size(), count);
        std::vector<int32_t> indices;
        for (uint32_t i = 0; i < count; ++i) indices.push_back(int32_t(Le32(block, 8 + 4 * i)));
        EXPECT_EQ(c.indices, indices);
        const uint32_t imageLength = Le32(block, 8 + 4 * count);
        EXPECT_EQ(c.imageLength, imageLength);
        EXPECT_EQ(block.size(), 12 + 4 * count + imageLength);
        const std::vector<uint8_t> jpeg(block.begin() + 12 + 4 * count, block.end());
        EXPECT_EQ(c.sameJpeg, jpeg == realJpeg);
        if (imageLength == 0) continue;
        int w = 0, ht = 0, sub = 0, cs = 0;
        const bool decodes = tjDecompressHeader3(h, jpeg.data(), (unsigned long)jpeg.size(), &w,
                                                 &ht, &sub, &cs) == 0;
        EXPECT_EQ(c.sameJpeg, decodes);
    }
    tjDestroy(h);
}

TEST(MediaFrameEncoder, LiesAreToldOnlyInFramesNumberedAMultipleOfTheirPeriod) {
    const struct {
        FrameBlockLie lie;
        int every;
        const char* pattern;  // frames 0, 1, ...: L lies, h is honest
    } cases[] = {
        {FrameBlockLie::kBadZlib, 0, "LLLLLLL"}, {FrameBlockLie::kBadZlib, 1, "LLLLLLL"},
        {FrameBlockLie::kBadZlib, 2, "LhLhLhL"}, {FrameBlockLie::kBadZlib, 3, "LhhLhhL"},
        {FrameBlockLie::kNone, 3, "hhhhhhh"},
    };
    CSyntheticDesktop desktop(320, 240);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(FrameBlockLieName(c.lie)) + " every " + std::to_string(c.every));
        CFrameEncoder encoder(FrameEncoderOptions{70, 1, 0, 0});
        encoder.SetLie(c.lie, c.every);
        for (size_t frame = 0; c.pattern[frame]; ++frame) {
            const bool lies = c.pattern[frame] == 'L';
            EXPECT_EQ(lies, encoder.NextFrameLies()) << frame;
            CPacket packet;
            ASSERT_TRUE(encoder.EncodeFrame(desktop, {0, 1}, packet));
            EXPECT_EQ(lies, encoder.LastFrameLied()) << frame;
            EXPECT_EQ(lies, Inflate(packet, packet.m_nUncompressedLength).empty()) << frame;
        }
    }
}

TEST(MediaFrameEncoder, EveryLieHasItsOwnNameThatReadsBack) {
    std::vector<std::string> names;
    for (FrameBlockLie lie : AllFrameBlockLies()) {
        const std::string name = FrameBlockLieName(lie);
        FrameBlockLie back = FrameBlockLie::kNone;
        ASSERT_TRUE(FrameBlockLieFromName(name, back)) << name;
        EXPECT_EQ(int(lie), int(back)) << name;
        EXPECT_EQ(names.end(), std::find(names.begin(), names.end(), name)) << name;
        names.push_back(name);
    }
    EXPECT_EQ(int(FrameBlockLie::kNegativeTileIndex) + 1, int(names.size()))
        << "a lie without a name cannot be asked for on the command line";
    FrameBlockLie untouched = FrameBlockLie::kBadJpeg;
    EXPECT_FALSE(FrameBlockLieFromName("bad_jpeg", untouched));
    EXPECT_EQ(int(FrameBlockLie::kBadJpeg), int(untouched));
}
