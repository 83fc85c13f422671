// The screen-up engine: which tiles go out in which frame, how the frame is built, and
// when the periodic full refresh is handed over.
#include "protocol/Packet.h"
#include "remote/FrameBlock.h"
#include "screenup/ScreenUpEngine.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <set>
#include <vector>

namespace {

// The picture's bytes are not the point here: a short marker that carries the strip's
// size and the quality, and a record of what the engine asked for.
class CFakeEncoder : public IImageEncoder {
  public:
    bool EncodeJpeg(const PixelView& strip, int quality, std::vector<uint8_t>& out) override {
        widths.push_back(strip.width);
        heights.push_back(strip.height);
        lastStrip.clear();
        for (int y = 0; y < strip.height && keepStrip; ++y)
            lastStrip.insert(lastStrip.end(), strip.Row(y), strip.Row(y) + strip.width * 4);
        if (fails) {
            out.assign(3, 0x55);  // what a failing codec may leave behind
            return false;
        }
        out = {0xFF, 0xD8, uint8_t(quality), uint8_t(strip.width), uint8_t(strip.height),
               0xFF, 0xD9};
        return true;
    }
    std::vector<int> widths, heights;
    std::vector<uint8_t> lastStrip;
    bool keepStrip = false;
    bool fails = false;
};

struct Handed {
    uint32_t cycle;
    int32_t number;
    std::vector<int32_t> tiles;
    bool full;
    bool operator==(const Handed& o) const {
        return cycle == o.cycle && number == o.number && tiles == o.tiles && full == o.full;
    }
};

std::ostream& operator<<(std::ostream& os, const Handed& h) {
    os << "{cycle " << h.cycle << ", frame " << h.number << ", " << h.tiles.size() << " tiles";
    if (h.tiles.size() < 10)
        for (int32_t t : h.tiles) os << " " << t;
    return os << (h.full ? ", full}" : "}");
}

std::vector<uint8_t> Inflate(const CPacket& frame) {
    std::vector<uint8_t> block(size_t(frame.m_nUncompressedLength));
    uLongf size = uLongf(block.size());
    EXPECT_EQ(uncompress(block.data(), &size, frame.m_vData.data(), uLong(frame.m_vData.size())),
              Z_OK);
    EXPECT_EQ(size, block.size());
    return block;
}

// Records every frame; drops those of the cycles listed.
class CSink : public IFrameSink {
  public:
    bool HandOver(const CPacket& frame, bool fullRefresh) override {
        EXPECT_EQ(frame.m_nType, kPacketFrame);
        blocks.push_back(Inflate(frame));
        FrameBlockView view;
        EXPECT_TRUE(ParseFrameBlock(blocks.back().data(), blocks.back().size(), view));
        EXPECT_EQ(view.declaredLength, blocks.back().size());
        handed.push_back(Handed{cycle, frame.m_nFrameNumber, view.indices, fullRefresh});
        frames.push_back(frame);
        return dropCycles.count(cycle) == 0;
    }
    uint32_t cycle = 0;
    std::set<uint32_t> dropCycles;
    std::vector<Handed> handed;
    std::vector<CPacket> frames;
    std::vector<std::vector<uint8_t>> blocks;
};

struct Canvas {
    Canvas(int w, int h, bool bottomUp = false) : bytes(size_t(w) * h * 4, 0) {
        const ptrdiff_t row = ptrdiff_t(w) * 4;
        view =
            PixelView{bytes.data() + (bottomUp ? row * (h - 1) : 0), w, h, bottomUp ? -row : row};
    }
    void Paint(const TileGrid& grid, int32_t tile, uint8_t value) {
        for (int y = 0; y < grid.tileHeight; ++y)
            std::memset(view.Row(grid.TileTop(tile) + y) + grid.TileLeft(tile) * 4, value,
                        size_t(grid.tileWidth) * 4);
    }
    std::vector<uint8_t> bytes;
    PixelView view;
};

std::vector<int32_t> Range(int32_t first, int32_t end) {
    std::vector<int32_t> v;
    for (int32_t i = first; i < end; ++i) v.push_back(i);
    return v;
}

void Le32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

// 400 x 300: eight tiles of 100 x 150, four to a row.
constexpr int kWidth = 400;
constexpr int kHeight = 300;

TEST(ScreenUpEngine, FramesAreBuiltByteForByte) {
    CFakeEncoder encoder;
    encoder.keepStrip = true;
    CScreenUpEngine engine(kWidth, kHeight, encoder, 41);
    ASSERT_TRUE(engine.IsValid());
    const TileGrid grid = engine.Grid();
    ASSERT_EQ(grid.Count(), 8);
    Canvas canvas(kWidth, kHeight);
    for (int32_t t = 0; t < 8; ++t) canvas.Paint(grid, t, uint8_t(0x10 + t));
    CSink sink;

    ASSERT_EQ(engine.RunCycle(canvas.view, sink), 1);
    // Every tile side by side, in index order, in one 800 x 150 strip.
    ASSERT_EQ(encoder.widths, std::vector<int>{800});
    ASSERT_EQ(encoder.heights, std::vector<int>{150});
    for (int y : {0, 149})
        for (int x = 0; x < 800; x += 50)
            EXPECT_EQ(encoder.lastStrip[(size_t(y) * 800 + x) * 4], 0x10 + x / 100)
                << x << "," << y;
    std::vector<uint8_t> expected;
    Le32(expected, 12 + 4 * 8 + 7);
    Le32(expected, 8);
    for (uint32_t t = 0; t < 8; ++t) Le32(expected, t);
    Le32(expected, 7);
    expected.insert(expected.end(), {0xFF, 0xD8, 70, 800 & 0xFF, 150, 0xFF, 0xD9});
    EXPECT_EQ(sink.blocks[0], expected);
    EXPECT_EQ(sink.frames[0].m_nFrameNumber, 41);
    EXPECT_EQ(sink.frames[0].m_nUncompressedLength, int32_t(expected.size()));
    // zlib header of the best compression level.
    ASSERT_GE(sink.frames[0].m_vData.size(), 2u);
    EXPECT_EQ(sink.frames[0].m_vData[0], 0x78);
    EXPECT_EQ(sink.frames[0].m_vData[1], 0xDA);

    // One pixel of tile 5 (column 1, row 1) changes: a frame of that tile alone.
    canvas.view.Row(200)[150 * 4 + 2] ^= 1;
    ASSERT_EQ(engine.RunCycle(canvas.view, sink), 1);
    const std::vector<uint8_t> one = {23, 0, 0, 0, 1,    0,    0,  0,   5,   0,    0,   0,
                                      7,  0, 0, 0, 0xFF, 0xD8, 70, 100, 150, 0xFF, 0xD9};
    EXPECT_EQ(sink.blocks[1], one);
    EXPECT_EQ(sink.frames[1].m_nFrameNumber, 42);
    EXPECT_EQ(encoder.lastStrip[(50 * 100 + 50) * 4 + 2], 0x15 ^ 1);
    EXPECT_EQ(engine.FrameCounter(), 43u);
}

TEST(ScreenUpEngine, FailedEncodingSendsAnEmptyPicture) {
    CFakeEncoder encoder;
    encoder.fails = true;
    CScreenUpEngine engine(kWidth, kHeight, encoder);
    Canvas canvas(kWidth, kHeight);
    CSink sink;
    ASSERT_EQ(engine.RunCycle(canvas.view, sink), 1);
    std::vector<uint8_t> expected;
    Le32(expected, 12 + 4 * 8);
    Le32(expected, 8);
    for (uint32_t t = 0; t < 8; ++t) Le32(expected, t);
    Le32(expected, 0);
    EXPECT_EQ(sink.blocks[0], expected);
}

// A script of cycles: tiles painted before a cycle, cycles whose frames are dropped.
struct RefreshCase {
    const char* name;
    bool blackStart;  // a black screen matches the lectern PC's first picture
    std::vector<std::pair<uint32_t, int32_t>> paints;  // (cycle, tile)
    std::set<uint32_t> drops;
    std::vector<Handed> expected;
};

TEST(ScreenUpEngine, FullRefreshOnlyAfterAChange) {
    const std::vector<int32_t> all = Range(0, 8);
    const std::vector<RefreshCase> cases = {
        // The first cycle's differences from black are still noted at cycle 30.
        {"picture that never changes", false, {}, {}, {{1, 0, all, false}, {30, 1, all, true}}},
        // Nothing ever differed from black, so no refresh is due.
        {"black screen that never changes", true, {}, {}, {{1, 0, all, false}}},
        {"one change after the first refresh",
         false,
         {{31, 3}},
         {},
         {{1, 0, all, false}, {30, 1, all, true}, {31, 2, {3}, false}, {60, 3, all, true}}},
        {"change within the refresh cycle",
         true,
         {{30, 2}},
         {},
         {{1, 0, all, false}, {30, 1, all, true}}},
        // A dropped ordinary frame is repaired by the next refresh.
        {"dropped change",
         true,
         {{7, 5}},
         {7},
         {{1, 0, all, false}, {7, 1, {5}, false}, {30, 2, all, true}}},
        // A dropped refresh is repeated at the next refresh cycle, and only there.
        {"dropped refresh",
         false,
         {},
         {30},
         {{1, 0, all, false}, {30, 1, all, true}, {60, 2, all, true}}},
        {"two changes between refreshes",
         true,
         {{3, 0}, {3, 7}, {40, 4}},
         {},
         {{1, 0, all, false},
          {3, 1, {0, 7}, false},
          {30, 2, all, true},
          {40, 3, {4}, false},
          {60, 4, all, true}}},
    };
    for (const RefreshCase& c : cases) {
        SCOPED_TRACE(c.name);
        CFakeEncoder encoder;
        CScreenUpEngine engine(kWidth, kHeight, encoder);
        Canvas canvas(kWidth, kHeight);
        if (!c.blackStart)
            for (int32_t t = 0; t < 8; ++t) canvas.Paint(engine.Grid(), t, 0x80);
        CSink sink;
        sink.dropCycles = c.drops;
        for (uint32_t cycle = 1; cycle <= 100; ++cycle) {
            for (const auto& paint : c.paints)
                if (paint.first == cycle) canvas.Paint(engine.Grid(), paint.second, uint8_t(cycle));
            sink.cycle = cycle;
            engine.RunCycle(canvas.view, sink);
        }
        EXPECT_EQ(sink.handed, c.expected);
        EXPECT_EQ(engine.Cycles(), 100u);
    }
}

TEST(ScreenUpEngine, WideStripsAreSplitOverFrames) {
    struct Case {
        int width, height;
        std::vector<size_t> perFrame;
    };
    const std::vector<Case> cases = {
        {1920, 1080, {128}},           // 120-px tiles: up to 545 in a strip
        {4096, 2160, {256, 256}},      // 512 tiles of 128: 65,536 px, one too many
        {65536, 2, {256, 256}},        // the same in one row of short tiles
        {131072, 2, {342, 342, 340}},  // 1024 tiles, at most 511 a frame
        {65400, 2, {8}},               // eight tiles of 8175: exactly 65,400 px
        {65528, 2, {4, 4}},            // eight tiles of 8191: 65,528 px, too wide
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height);
        CFakeEncoder encoder;
        CScreenUpEngine engine(c.width, c.height, encoder, 7);
        Canvas canvas(c.width, c.height);
        CSink sink;
        ASSERT_EQ(engine.RunCycle(canvas.view, sink), int(c.perFrame.size()));
        std::vector<int32_t> tiles;
        for (size_t i = 0; i < sink.handed.size(); ++i) {
            EXPECT_EQ(sink.handed[i].number, 7 + int32_t(i)) << "each part has its own number";
            EXPECT_EQ(sink.handed[i].tiles.size(), c.perFrame[i]);
            EXPECT_LE(encoder.widths[i], CScreenUpEngine::kMaxStripWidth);
            tiles.insert(tiles.end(), sink.handed[i].tiles.begin(), sink.handed[i].tiles.end());
        }
        EXPECT_EQ(tiles, Range(0, engine.Grid().Count())) << "every tile once, in order";
    }
}

TEST(ScreenUpEngine, OneChangedByteSelectsItsTile) {
    struct Byte {
        int x, y, channel;  // channel 3 is the unused fourth byte, compared all the same
    };
    struct Case {
        std::vector<Byte> changes;
        std::vector<int32_t> tiles;
    };
    const std::vector<Case> cases = {
        {{{0, 0, 0}}, {0}},
        {{{99, 149, 3}}, {0}},  // the last byte of the first tile
        {{{100, 0, 0}}, {1}},
        {{{399, 0, 3}}, {3}},
        {{{0, 150, 0}}, {4}},
        {{{250, 299, 1}}, {6}},  // the last scan line
        {{{399, 299, 3}}, {7}},
        {{{150, 10, 0}, {350, 10, 2}}, {1, 3}},  // two tiles on one scan line
        {{{50, 20, 0}, {250, 140, 0}}, {0, 2}},  // on different scan lines of a tile row
        {{{5, 5, 0}, {5, 200, 0}, {395, 295, 0}}, {0, 4, 7}},
    };
    for (const Case& c : cases) {
        CFakeEncoder encoder;
        CScreenUpEngine engine(kWidth, kHeight, encoder);
        Canvas canvas(kWidth, kHeight);
        CSink sink;
        engine.RunCycle(canvas.view, sink);
        for (const Byte& b : c.changes) canvas.view.Row(b.y)[b.x * 4 + b.channel] = 1;
        engine.RunCycle(canvas.view, sink);
        ASSERT_EQ(sink.handed.size(), 2u);
        EXPECT_EQ(sink.handed[1].tiles, c.tiles)
            << "first change at " << c.changes[0].x << "," << c.changes[0].y;
        // Sent once, the change is no change any more.
        EXPECT_EQ(engine.RunCycle(canvas.view, sink), 0);
    }
}

TEST(ScreenUpEngine, UnusableSizesMakeNoFrames) {
    CFakeEncoder encoder;
    CSink sink;
    // An odd edge wider than a JPEG can be stays one tile, too wide to send.
    CScreenUpEngine tooWide(65501, 2, encoder);
    Canvas wide(65501, 2);
    EXPECT_FALSE(tooWide.IsValid());
    EXPECT_EQ(tooWide.RunCycle(wide.view, sink), 0);
    // A canvas smaller than the grid is not read.
    CScreenUpEngine engine(kWidth, kHeight, encoder);
    Canvas small(kWidth - 1, kHeight);
    EXPECT_EQ(engine.RunCycle(small.view, sink), 0);
    EXPECT_EQ(engine.Cycles(), 0u);
    EXPECT_TRUE(sink.handed.empty());
}

TEST(ScreenUpEngine, BottomUpCanvasKeepsTileOrder) {
    CFakeEncoder encoder;
    CScreenUpEngine engine(kWidth, kHeight, encoder);
    Canvas canvas(kWidth, kHeight, true);
    CSink sink;
    engine.RunCycle(canvas.view, sink);
    // The top-right tile of the picture, which is the end of the bottom-up bytes.
    canvas.view.Row(0)[399 * 4] = 1;
    engine.RunCycle(canvas.view, sink);
    ASSERT_EQ(sink.handed.size(), 2u);
    EXPECT_EQ(sink.handed[1].tiles, std::vector<int32_t>{3});
}

}  // namespace
