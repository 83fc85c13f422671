// Placing the lectern PC's frames: every field of a frame is the peer's word and is
// checked before anything is read, allocated or written.
#include "protocol/Packet.h"
#include "remote/FrameApplier.h"
#include "remote/FrameBlock.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <climits>
#include <cstring>
#include <vector>

namespace {

// Fills strip tile i with the colour (i + 1) in every byte, as a decoder of a
// well-formed strip would; or fails, as for bytes that are no picture.
class CFakeDecoder : public IImageDecoder {
  public:
    explicit CFakeDecoder(bool decodes = true, int tileWidth = 0)
        : m_bDecodes(decodes), m_nTileWidth(tileWidth) {}
    bool DecodeInto(const uint8_t*, size_t, const PixelView& strip) override {
        ++calls;
        if (!m_bDecodes) return false;
        for (int y = 0; y < strip.height; ++y)
            for (int x = 0; x < strip.width; ++x)
                std::memset(strip.Row(y) + x * 4, 1 + x / m_nTileWidth, 4);
        return true;
    }
    int calls = 0;

  private:
    bool m_bDecodes;
    int m_nTileWidth;
};

// The packet's own word for the inflated length; by default the truth.
constexpr int32_t kTrueLength = INT32_MIN;

CPacket Frame(const std::vector<uint8_t>& block, int32_t announced = kTrueLength) {
    uLongf size = compressBound(static_cast<uLong>(block.size()));
    std::vector<uint8_t> z(size);
    compress2(z.data(), &size, block.data(), static_cast<uLong>(block.size()), 1);
    return CPacket(static_cast<uint32_t>(size), z.data(),
                   announced == kTrueLength ? static_cast<int32_t>(block.size()) : announced, 7);
}

std::vector<uint8_t> Block(const std::vector<int32_t>& indices, size_t imageLength = 16) {
    std::vector<uint8_t> image(imageLength, 0xAB), out;
    AppendFrameBlock(out, indices.data(), indices.size(), image.data(), image.size());
    return out;
}

// A frame buffer that is a PixelView, top-down or bottom-up.
struct Target {
    Target(int w, int h, bool bottomUp = false) : bytes(size_t(w) * h * 4, 0xEE) {
        view.width = w;
        view.height = h;
        const ptrdiff_t row = ptrdiff_t(w) * 4;
        view.stride = bottomUp ? -row : row;
        view.pixels = bottomUp ? bytes.data() + (h - 1) * row : bytes.data();
    }
    uint8_t At(int x, int y) const { return view.Row(y)[x * 4]; }
    std::vector<uint8_t> bytes;
    PixelView view;
};

TEST(FrameApplier, TilesLandByIndexRowByRowAndAreClipped) {
    struct Case {
        const char* name;
        FrameGeometry geometry;
        int targetWidth, targetHeight;
        std::vector<int32_t> indices;
        std::vector<TileRect> placed;
    } cases[] = {
        {"1920 wide, 120-px tiles: 16 columns",
         {120, 135, 1920},
         1920,
         1080,
         {17, 0},
         {{120, 135, 120, 135}, {0, 0, 120, 135}}},
        {"1366 wide, 683-px tiles: 2 columns",
         {683, 192, 1366},
         1366,
         768,
         {3},
         {{683, 192, 683, 192}}},
        {"partial bottom row is clipped", {100, 100, 300}, 300, 250, {6}, {{0, 200, 100, 50}}},
        {"beyond the grid, negative or huge: skipped",
         {100, 100, 300},
         300,
         200,
         {6, -1, 0x7FFFFFFF, 5},
         {{200, 100, 100, 100}}},
        {"monitor wider than the buffer: clipped at its edge",
         {100, 100, 400},
         250,
         100,
         {2, 3},
         {{200, 0, 50, 100}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CFrameApplier applier;
        CFakeDecoder decoder(true, c.geometry.tileWidth);
        ASSERT_TRUE(applier.Prepare(Frame(Block(c.indices)), c.geometry, decoder));
        Target target(c.targetWidth, c.targetHeight);
        std::vector<TileRect> changed;
        EXPECT_EQ(applier.PlaceTiles(target.view, &changed), int(c.placed.size()));
        ASSERT_EQ(changed.size(), c.placed.size());
        for (size_t i = 0; i < changed.size(); ++i) {
            EXPECT_EQ(changed[i].x, c.placed[i].x);
            EXPECT_EQ(changed[i].y, c.placed[i].y);
            EXPECT_EQ(changed[i].width, c.placed[i].width);
            EXPECT_EQ(changed[i].height, c.placed[i].height);
        }
    }
}

TEST(FrameApplier, StripPixelsReachTheirTilesInBothRowOrders) {
    for (bool bottomUp : {false, true}) {
        SCOPED_TRACE(bottomUp ? "bottom-up" : "top-down");
        CFrameApplier applier;
        CFakeDecoder decoder(true, 4);
        ASSERT_TRUE(applier.Prepare(Frame(Block({3, 0})), FrameGeometry{4, 2, 8}, decoder));
        Target target(8, 4, bottomUp);
        ASSERT_EQ(applier.PlaceTiles(target.view), 2);
        EXPECT_EQ(target.At(4, 2), 1);  // strip tile 0 went to index 3: column 1, row 1
        EXPECT_EQ(target.At(7, 3), 1);
        EXPECT_EQ(target.At(0, 0), 2);  // strip tile 1 to index 0
        EXPECT_EQ(target.At(3, 1), 2);
        EXPECT_EQ(target.At(4, 0), 0xEE);  // untouched
        // The row order is the view's: with a bottom-up buffer the top row is stored last.
        const size_t topRowStart = bottomUp ? (4 - 1) * 8 * 4 : 0;
        EXPECT_EQ(target.bytes[topRowStart], 2);
    }
}

TEST(FrameApplier, AnUndecodablePictureStillPlacesBlackTiles) {
    CFrameApplier applier;
    CFakeDecoder decoder(false);
    ASSERT_TRUE(applier.Prepare(Frame(Block({1})), FrameGeometry{4, 2, 8}, decoder));
    EXPECT_FALSE(applier.Decoded());
    Target target(8, 2);
    ASSERT_EQ(applier.PlaceTiles(target.view), 1);
    EXPECT_EQ(target.At(4, 0), 0);
    EXPECT_EQ(target.At(7, 1), 0);
    EXPECT_EQ(target.At(0, 0), 0xEE);
}

TEST(FrameApplier, FramesThatCannotBePlacedPlaceNothing) {
    const FrameGeometry good{4, 2, 8};
    std::vector<uint8_t> longImage = Block({0});
    PutU32At(longImage.data() + 12, 1000);  // L beyond the block
    std::vector<uint8_t> hugeCount = Block({0});
    PutU32At(hugeCount.data() + 4, 0x7FFFFFFF);
    std::vector<uint8_t> tooShort = Block({0, 1});
    tooShort.resize(10);
    CPacket badZlib = Frame(Block({0}));
    badZlib.m_vData[2] ^= 0xFF;
    badZlib.m_vData[3] ^= 0xFF;
    struct Case {
        const char* name;
        CPacket frame;
        FrameGeometry geometry;
    } cases[] = {
        {"no tiles", Frame(Block({})), good},
        {"image longer than the block", Frame(longImage), good},
        {"tile count beyond the block", Frame(hugeCount), good},
        {"block shorter than its fields", Frame(tooShort), good},
        {"stream that does not inflate", badZlib, good},
        {"announced length shorter than the stream", Frame(Block({0}), 12), good},
        {"announced length longer than the stream", Frame(Block({0}), 200), good},
        {"announced length huge", Frame(Block({0}), 0x7FFFFFFF), good},
        {"announced length negative", Frame(Block({0}), -5), good},
        {"tile width still 0", Frame(Block({0})), FrameGeometry{0, 2, 8}},
        {"tile height 0", Frame(Block({0})), FrameGeometry{4, 0, 8}},
        {"monitor narrower than a tile", Frame(Block({0})), FrameGeometry{4, 2, 3}},
        {"strip wider than a picture may be", Frame(Block(std::vector<int32_t>(600, 0))),
         FrameGeometry{120, 2, 1920}},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        CFrameApplier applier;
        CFakeDecoder decoder(true, c.geometry.tileWidth > 0 ? c.geometry.tileWidth : 1);
        EXPECT_FALSE(applier.Prepare(c.frame, c.geometry, decoder));
        EXPECT_EQ(decoder.calls, 0);
        Target target(8, 2);
        EXPECT_EQ(applier.PlaceTiles(target.view), 0);
        EXPECT_EQ(target.At(0, 0), 0xEE);
    }
}

TEST(FrameApplier, AGoodFrameAfterABadOneShowsAgain) {
    CFrameApplier applier;
    CFakeDecoder decoder(true, 4);
    const FrameGeometry geometry{4, 2, 8};
    ASSERT_TRUE(applier.Prepare(Frame(Block({0})), geometry, decoder));
    EXPECT_FALSE(applier.Prepare(Frame(Block({0})), FrameGeometry{0, 0, 0}, decoder));
    ASSERT_TRUE(applier.Prepare(Frame(Block({1})), geometry, decoder));
    Target target(8, 2);
    EXPECT_EQ(applier.PlaceTiles(target.view), 1);
    EXPECT_EQ(target.At(4, 0), 1);
}

}  // namespace
