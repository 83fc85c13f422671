// Screen-up frames made here the way the pad makes them (changed tiles side by side in
// one JPEG strip, the block around it, zlib level 9), fed to the lectern PC's decoder.
#include <gtest/gtest.h>
#include <turbojpeg.h>
#include <zlib.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "media/ScreenUpDecoder.h"
#include "remote/TileGrid.h"
#include "protocol/Packet.h"

namespace {

// A decoded tile is this close (dB) to what was sent; a tile of the other picture is far below.
constexpr double kJpegPsnr = 24.0;

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

// A pad screen with soft gradients and a few hard edges, different per seed.
std::vector<uint8_t> PadScreen(int width, int height, int seed) {
    std::vector<uint8_t> rgb(size_t(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
            const bool box = ((x / 97 + y / 61 + seed) % 5) == 0;
            p[0] = uint8_t(box ? 230 : (x * 255 / width + seed * 40));
            p[1] = uint8_t(box ? 40 : (y * 255 / height));
            p[2] = uint8_t(box ? 60 : ((x + y + seed * 17) / 8));
        }
    }
    return rgb;
}

std::vector<uint8_t> Jpeg(const std::vector<uint8_t>& rgb, int width, int height) {
    tjhandle h = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    EXPECT_EQ(
        0, tjCompress2(h, rgb.data(), width, 0, height, TJPF_RGB, &out, &size, TJSAMP_420, 90, 0));
    std::vector<uint8_t> jpeg(out, out + size);
    tjFree(out);
    tjDestroy(h);
    return jpeg;
}

// Block: total, count, indices, image length, image; then deflated into a packet.
CPacket PadFrame(const std::vector<int32_t>& tiles, const std::vector<uint8_t>& image,
                 int32_t number, int32_t lieAboutCount = -1) {
    std::vector<uint8_t> block;
    Put32(block, uint32_t(image.size() + 4 * tiles.size() + 12));
    Put32(block, lieAboutCount >= 0 ? uint32_t(lieAboutCount) : uint32_t(tiles.size()));
    for (int32_t t : tiles) Put32(block, uint32_t(t));
    Put32(block, uint32_t(image.size()));
    block.insert(block.end(), image.begin(), image.end());
    uLongf size = compressBound(uLong(block.size()));
    std::vector<uint8_t> deflated(size);
    EXPECT_EQ(Z_OK, compress2(deflated.data(), &size, block.data(), uLong(block.size()), 9));
    return CPacket(uint32_t(size), deflated.data(), int32_t(block.size()), number);
}

CPacket PadFrameOfScreen(const std::vector<uint8_t>& screen, const TileGrid& g,
                         const std::vector<int32_t>& tiles, int32_t number) {
    const int stripWidth = int(tiles.size()) * g.tileWidth;
    std::vector<uint8_t> strip(size_t(stripWidth) * g.tileHeight * 3);
    for (size_t k = 0; k < tiles.size(); ++k) {
        for (int y = 0; y < g.tileHeight; ++y) {
            std::memcpy(
                &strip[(size_t(y) * stripWidth + k * g.tileWidth) * 3],
                &screen[(size_t(g.TileTop(tiles[k]) + y) * g.width + g.TileLeft(tiles[k])) * 3],
                size_t(g.tileWidth) * 3);
        }
    }
    return PadFrame(tiles, Jpeg(strip, stripWidth, g.tileHeight), number);
}

// PSNR of one tile of two pictures of the grid's size.
double TilePsnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, const TileGrid& g,
                int32_t tile) {
    double sum = 0;
    size_t n = 0;
    for (int y = g.TileTop(tile); y < g.TileTop(tile) + g.tileHeight; ++y) {
        for (int x = g.TileLeft(tile) * 3; x < (g.TileLeft(tile) + g.tileWidth) * 3; ++x, ++n) {
            const double d =
                double(a[size_t(y) * g.width * 3 + x]) - b[size_t(y) * g.width * 3 + x];
            sum += d * d;
        }
    }
    return sum == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 * double(n) / sum);
}

bool TileIsBlack(const std::vector<uint8_t>& picture, const TileGrid& g, int32_t tile) {
    for (int y = g.TileTop(tile); y < g.TileTop(tile) + g.tileHeight; ++y) {
        for (int x = g.TileLeft(tile) * 3; x < (g.TileLeft(tile) + g.tileWidth) * 3; ++x) {
            if (picture[size_t(y) * g.width * 3 + x] != 0) return false;
        }
    }
    return true;
}

}  // namespace

TEST(MediaScreenUp, FramesRebuildThePadsScreenTileByTile) {
    const struct { int width, height; } sizes[] = {{1920, 1080}, {1366, 768}, {1280, 800}};
    for (const auto& s : sizes) {
        CScreenUpDecoder decoder;
        decoder.Configure(s.width, s.height);
        const TileGrid g = decoder.Grid();
        const std::vector<uint8_t> first = PadScreen(s.width, s.height, 0);
        std::vector<int32_t> all;
        for (int32_t i = 0; i < g.Count(); ++i) all.push_back(i);
        ASSERT_EQ(CScreenUpDecoder::Result::kOk,
                  decoder.Decode(PadFrameOfScreen(first, g, all, 0)));
        std::vector<uint8_t> picture = decoder.Picture();
        for (int32_t t : all) EXPECT_GT(TilePsnr(picture, first, g, t), kJpegPsnr) << s.width;

        // Only some tiles change: those follow the new screen, the others keep the old one.
        const std::vector<uint8_t> second = PadScreen(s.width, s.height, 3);
        const std::vector<int32_t> some = {g.Count() - 1, 0, g.Columns() + 1};
        ASSERT_EQ(CScreenUpDecoder::Result::kOk,
                  decoder.Decode(PadFrameOfScreen(second, g, some, 1)));
        picture = decoder.Picture();
        for (int32_t t : all) {
            const bool changed = std::find(some.begin(), some.end(), t) != some.end();
            EXPECT_GT(TilePsnr(picture, changed ? second : first, g, t), kJpegPsnr) << t;
        }
        EXPECT_EQ(2u, decoder.FramesDecoded());
        EXPECT_EQ(1, decoder.LastFrameNumber());
        EXPECT_EQ(some.size(), decoder.LastTileCount());
    }
}

TEST(MediaScreenUp, DamagedFramesAreRefusedWithoutHarm) {
    const TileGrid g = TileGrid::ForScreen(1366, 768);  // 683 x 192 tiles, 2 x 4
    const std::vector<uint8_t> screen = PadScreen(1366, 768, 1);
    const CPacket good = PadFrameOfScreen(screen, g, {0, 1, 2, 3, 4, 5, 6, 7}, 0);
    CPacket badZlib = good;
    badZlib.m_vData[badZlib.m_vData.size() / 2] ^= 0xFF;
    CPacket shortLength = good;
    shortLength.m_nUncompressedLength /= 2;
    CPacket hugeLength = good;
    hugeLength.m_nUncompressedLength = 0x7FFFFFFF;
    const std::vector<uint8_t> notJpeg(500, 0x55);
    const std::vector<uint8_t> someJpeg = Jpeg(std::vector<uint8_t>(683 * 192 * 3, 200), 683, 192);
    CPacket text(u"[RH00002]1");

    using R = CScreenUpDecoder::Result;
    const struct {
        const char* name;
        CPacket packet;
        R result;
        bool pictureKept;  // the picture from the good frame is unchanged
        bool tile0Black;   // tile 0 was placed black
        size_t clipped;
    } cases[] = {
        {"not a frame", text, R::kNotFrame, true, false, 0},
        {"bad zlib", badZlib, R::kBadZlib, true, false, 0},
        {"short uncompressed length", shortLength, R::kBadZlib, true, false, 0},
        {"huge uncompressed length", hugeLength, R::kBadLength, true, false, 0},
        {"count lies", PadFrame({0, 1}, someJpeg, 5, 1000), R::kBadBlock, true, false, 0},
        {"count huge", PadFrame({0}, someJpeg, 5, 0x7FFFFFFF), R::kBadBlock, true, false, 0},
        {"image not decodable", PadFrame({0}, notJpeg, 5), R::kBadImage, false, true, 0},
        {"index outside", PadFrame({0, 99, -1}, someJpeg, 5), R::kOk, false, false, 2},
        {"no tiles", PadFrame({}, {}, 5), R::kOk, true, false, 0},
    };
    for (const auto& c : cases) {
        CScreenUpDecoder decoder;
        EXPECT_EQ(R::kNotConfigured, decoder.Decode(good));
        decoder.Configure(g);
        ASSERT_EQ(R::kOk, decoder.Decode(good));
        const std::vector<uint8_t> before = decoder.Picture();
        EXPECT_EQ(c.result, decoder.Decode(c.packet)) << c.name;
        const std::vector<uint8_t> after = decoder.Picture();
        EXPECT_EQ(c.pictureKept, before == after) << c.name;
        EXPECT_EQ(c.tile0Black, TileIsBlack(after, g, 0)) << c.name;
        EXPECT_EQ(c.clipped, decoder.TilesClipped()) << c.name;
        for (int32_t t = 1; t < g.Count(); ++t) {
            EXPECT_GT(TilePsnr(after, screen, g, t), kJpegPsnr) << c.name << " tile " << t;
        }
    }
}

TEST(MediaScreenUp, PictureIsWrittenAsPng) {
    CScreenUpDecoder decoder;
    const std::string path = testing::TempDir() + "/screenup.png";
    EXPECT_FALSE(decoder.WritePng(path)) << "nothing announced yet";
    decoder.Configure(400, 300);  // tiles 100 x 150 (400 -> 200 -> 100; 300 -> 150)
    const std::vector<uint8_t> screen = PadScreen(400, 300, 2);
    ASSERT_EQ(
        CScreenUpDecoder::Result::kOk,
        decoder.Decode(PadFrameOfScreen(screen, decoder.Grid(), {0, 1, 2, 3, 4, 5, 6, 7}, 0)));
    ASSERT_TRUE(decoder.WritePng(path));

    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> png((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(0, std::memcmp(png.data(), "\x89PNG\r\n\x1a\n", 8));
    // Chunks: length, type, data, CRC. Collect IDAT and check every CRC.
    std::vector<uint8_t> idat;
    uint32_t width = 0, height = 0;
    for (size_t at = 8; at + 12 <= png.size();) {
        const uint32_t len =
            uint32_t(png[at]) << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
        ASSERT_LE(at + 12 + len, png.size());
        const std::string type(png.begin() + at + 4, png.begin() + at + 8);
        const uint32_t crc = uint32_t(png[at + 8 + len]) << 24 | png[at + 9 + len] << 16 |
                             png[at + 10 + len] << 8 | png[at + 11 + len];
        EXPECT_EQ(crc32(0, &png[at + 4], len + 4), crc) << type;
        if (type == "IHDR") {
            width =
                uint32_t(png[at + 8]) << 24 | png[at + 9] << 16 | png[at + 10] << 8 | png[at + 11];
            height = uint32_t(png[at + 12]) << 24 | png[at + 13] << 16 | png[at + 14] << 8 |
                     png[at + 15];
            EXPECT_EQ(8, png[at + 16]);  // bit depth
            EXPECT_EQ(2, png[at + 17]);  // RGB
        }
        if (type == "IDAT") idat.insert(idat.end(), &png[at + 8], &png[at + 8 + len]);
        at += 12 + len;
    }
    ASSERT_EQ(400u, width);
    ASSERT_EQ(300u, height);
    std::vector<uint8_t> raw(size_t(300) * (400 * 3 + 1));
    uLongf size = uLongf(raw.size());
    ASSERT_EQ(Z_OK, uncompress(raw.data(), &size, idat.data(), uLong(idat.size())));
    ASSERT_EQ(raw.size(), size);
    const std::vector<uint8_t> picture = decoder.Picture();
    for (int y = 0; y < 300; ++y) {
        ASSERT_EQ(0, raw[size_t(y) * 1201]) << "filter byte";
        ASSERT_EQ(0, std::memcmp(&raw[size_t(y) * 1201 + 1], &picture[size_t(y) * 1200], 1200));
    }
    std::remove(path.c_str());
}
