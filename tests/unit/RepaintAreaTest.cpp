#include <gtest/gtest.h>

#include "remote/RepaintArea.h"

namespace {

// A 1920 x 1080 lectern screen on a 1024 x 768 pad: the grid is 8 window pixels per
// 15 frame pixels across and 32 per 45 down.
constexpr StretchSizes kFullHdOnPad{1920, 1080, 1024, 768};

TEST(RepaintAreaTest, ChangedTilesBecomeGridAlignedWindowRects) {
    struct Case {
        const char* name;
        StretchSizes sizes;
        TileRect tile;
        PaintRect expected;
    };
    const Case cases[] = {
        // Tile 120 x 135 at the origin: 64 x 96 window pixels, already on the grid.
        {"first tile", kFullHdOnPad, {0, 0, 120, 135}, {0, 0, 64, 96}},
        // Frame x 125..245 is window 66.67..130.67: widened to 64..136; y 140..275 is
        // 99.56..195.56, widened to 96..224.
        {"tile off the grid", kFullHdOnPad, {125, 140, 120, 135}, {64, 96, 136, 224}},
        // The last tile ends at the window's edge.
        {"last tile", kFullHdOnPad, {1800, 945, 120, 135}, {960, 672, 1024, 768}},
        // A tile reaching past the frame is clipped to the window.
        {"clipped", kFullHdOnPad, {1900, 1000, 120, 135}, {1008, 704, 1024, 768}},
        // Same size: one to one.
        {"same size", {1024, 768, 1024, 768}, {128, 192, 128, 192}, {128, 192, 256, 384}},
        // Sizes without a common step larger than one: the whole axis at once.
        {"coprime sizes", {1021, 768, 1024, 768}, {10, 0, 5, 192}, {0, 0, 1024, 192}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<PaintRect> rects = WindowRectsForTiles({c.tile}, c.sizes);
        ASSERT_EQ(rects.size(), 1u);
        EXPECT_EQ(rects[0], c.expected);
    }
}

TEST(RepaintAreaTest, NothingToRepaintForEmptyTilesOrUnknownSizes) {
    EXPECT_TRUE(WindowRectsForTiles({{0, 0, 0, 135}, {0, 0, 120, -1}}, kFullHdOnPad).empty());
    EXPECT_TRUE(WindowRectsForTiles({{0, 0, 120, 135}}, {0, 1080, 1024, 768}).empty());
    EXPECT_TRUE(WindowRectsForTiles({{0, 0, 120, 135}}, {1920, 1080, 0, 768}).empty());
    // A tile wholly outside the frame leaves nothing inside the window.
    EXPECT_TRUE(WindowRectsForTiles({{4000, 0, 120, 135}}, kFullHdOnPad).empty());
}

// A grid-aligned window rectangle shows exactly the frame rectangle whose stretch it
// is, so the pieces of a partial repaint meet the way the whole stretch would.
TEST(RepaintAreaTest, AlignedWindowRectsShowWholeFramePixels) {
    struct Case {
        const char* name;
        StretchSizes sizes;
        PaintRect window;
        PaintRect frame;
    };
    const Case cases[] = {
        {"whole window", kFullHdOnPad, {0, 0, 1024, 768}, {0, 0, 1920, 1080}},
        {"one step", kFullHdOnPad, {8, 32, 16, 64}, {15, 45, 30, 90}},
        {"tile", kFullHdOnPad, {64, 96, 136, 224}, {120, 135, 255, 315}},
        {"same size", {1024, 768, 1024, 768}, {3, 4, 5, 6}, {3, 4, 5, 6}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(AlignToGrid(c.window, c.sizes), c.window) << "not on the grid";
        EXPECT_EQ(FrameRectFor(c.window, c.sizes), c.frame);
    }
}

TEST(RepaintAreaTest, AlignToGridWidensAndClips) {
    EXPECT_EQ(AlignToGrid({1, 1, 2, 2}, kFullHdOnPad), (PaintRect{0, 0, 8, 32}));
    EXPECT_EQ(AlignToGrid({-50, -50, 2000, 2000}, kFullHdOnPad), (PaintRect{0, 0, 1024, 768}));
    EXPECT_TRUE(AlignToGrid({5, 5, 5, 9}, kFullHdOnPad).Empty());
}

}  // namespace
