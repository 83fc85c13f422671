// Where the captured screen lands on the canvas, and the tile grid of the canvas.
#include "screenup/ScreenUpGeometry.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(ScreenUpGeometry, FitKeepsProportionsAndCentres) {
    struct Case {
        int sw, sh, tw, th;
        FitRect fit;
    };
    const std::vector<Case> cases = {
        {1920, 1080, 1920, 1080, {0, 0, 1920, 1080}},   // the program's own parameters
        {2000, 1000, 1000, 1000, {0, 250, 1000, 500}},  // wider: full width, centred
        {1000, 2000, 1000, 1000, {250, 0, 500, 1000}},  // taller: full height, centred
        {3, 2, 10, 10, {0, 2, 10, 6}},                  // 2 * 10 / 3 = 6, (10 - 6) / 2 = 2
        {2, 3, 10, 10, {2, 0, 6, 10}},
        {1366, 768, 683, 384, {0, 0, 683, 384}},     // the same proportion: full width
        {1000, 999, 1000, 1000, {0, 0, 1000, 999}},  // the odd pixel row stays at the top
        {0, 1080, 1920, 1080, {}},
        {1920, 1080, 1920, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << c.sw << "x" << c.sh << " into " << c.tw << "x" << c.th);
        EXPECT_EQ(FitCapture(c.sw, c.sh, c.tw, c.th), c.fit);
    }
}

TEST(ScreenUpGeometry, GridByHalvingTheEdges) {
    struct Case {
        int width, height, tileWidth, tileHeight, columns, rows;
    };
    const std::vector<Case> cases = {
        {1920, 1080, 120, 135, 16, 8},  {1366, 768, 683, 192, 2, 4}, {1600, 900, 100, 225, 16, 4},
        {4096, 2160, 128, 135, 32, 16}, {199, 150, 199, 150, 1, 1},  {400, 200, 100, 100, 4, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height);
        const TileGrid grid = ScreenUpGrid(c.width, c.height);
        EXPECT_EQ(grid.tileWidth, c.tileWidth);
        EXPECT_EQ(grid.tileHeight, c.tileHeight);
        EXPECT_EQ(grid.Columns(), c.columns);
        EXPECT_EQ(grid.Rows(), c.rows);
        EXPECT_EQ(grid.Columns() * grid.tileWidth, c.width) << "tiles cover the width exactly";
        EXPECT_EQ(grid.Rows() * grid.tileHeight, c.height) << "tiles cover the height exactly";
    }
}

}  // namespace
