#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "remote/ViewMapping.h"

namespace {

// What the mapping reads of the record (which itself cannot be copied).
struct ScreenSetup {
    int width, height;
    ScreenRect monitor;
    int originX, originY;
};

ScreenSetup Screen(int width, int height, ScreenRect monitor, int originX, int originY) {
    return ScreenSetup{width, height, monitor, originX, originY};
}

void Fill(CRemoteScreen& screen, const ScreenSetup& setup) {
    screen.m_nScreenWidth = setup.width;
    screen.m_nScreenHeight = setup.height;
    screen.m_rcMonitor = setup.monitor;
    screen.m_nOriginX = setup.originX;
    screen.m_nOriginY = setup.originY;
}

}  // namespace

TEST(ViewMappingTest, ScaleAndOffsetsPerView) {
    const struct {
        const char* name;
        ScreenSetup screen;
        int view;
        int width, height;
        double scaleX, scaleY;
        int32_t offsetX, offsetY;
    } cases[] = {
        {"whole screen", Screen(2880, 1620, {}, 0, 0), -1, 1920, 1080, 1.5, 1.5, 0, 0},
        {"monitor right of a virtual screen starting left of 0",
         Screen(4480, 1080, {1920, 0, 3840, 1080}, -1280, 0), 2, 960, 540, 2.0, 2.0, 3200, 0},
        {"origin counts by its distance from 0", Screen(0, 0, {0, 100, 1000, 600}, 1280, -300), 1,
         500, 250, 2.0, 2.0, 1280, 400},
        {"origin of the lowest int32 does not overflow",
         Screen(0, 0, {0, 0, 10, 10}, std::numeric_limits<int32_t>::min(), 0), 1, 10, 10, 1.0, 1.0,
         std::numeric_limits<int32_t>::max(), 0},
    };
    for (const auto& c : cases) {
        CRemoteScreen screen;
        Fill(screen, c.screen);
        CViewMapping mapping;
        mapping.ApplyView(screen, c.view, c.width, c.height);
        EXPECT_EQ(mapping.ViewInForce(), c.view) << c.name;
        EXPECT_DOUBLE_EQ(mapping.ScaleX(), c.scaleX) << c.name;
        EXPECT_DOUBLE_EQ(mapping.ScaleY(), c.scaleY) << c.name;
        EXPECT_EQ(mapping.OffsetX(), c.offsetX) << c.name;
        EXPECT_EQ(mapping.OffsetY(), c.offsetY) << c.name;
    }
}

TEST(ViewMappingTest, MapsWindowPoints) {
    const struct {
        const char* name;
        ScreenSetup screen;
        int view, width, height;
        int32_t x, y;
        RemotePoint expected;
    } cases[] = {
        {"scale 1.5", Screen(2880, 1620, {}, 0, 0), -1, 1920, 1080, 960, 540, {1440, 810}},
        {"truncated toward zero", Screen(999, 999, {}, 0, 0), -1, 1000, 1000, 1, 1, {0, 0}},
        {"negative points truncate toward zero",
         Screen(999, 999, {}, 0, 0),
         -1,
         1000,
         1000,
         -1,
         -1,
         {0, 0}},
        {"tap on a shifted monitor",
         Screen(0, 0, {1920, 0, 3840, 1080}, 0, 0),
         1,
         960,
         540,
         100,
         100,
         {2120, 200}},
        {"clamped to int32",
         Screen(0, 0, {0, 0, 2000000000, 10}, 0, 0),
         1,
         1,
         10,
         2,
         1,
         {std::numeric_limits<int32_t>::max(), 1}},
    };
    for (const auto& c : cases) {
        CRemoteScreen screen;
        Fill(screen, c.screen);
        CViewMapping mapping;
        mapping.ApplyView(screen, c.view, c.width, c.height);
        EXPECT_EQ(mapping.Map(c.x, c.y), c.expected) << c.name;
    }
}

TEST(ViewMappingTest, WindowWithoutAreaKeepsTheScale) {
    CRemoteScreen screen;
    Fill(screen, Screen(2880, 1620, {100, 0, 1100, 500}, 0, 0));
    const struct { int width, height; } empties[] = {{0, 1080}, {1920, 0}, {-5, -5}};
    for (const auto& e : empties) {
        CViewMapping mapping;
        mapping.ApplyView(screen, -1, 1920, 1080);
        mapping.ApplyView(screen, 1, e.width, e.height);
        EXPECT_DOUBLE_EQ(mapping.ScaleX(), 1.5);
        EXPECT_DOUBLE_EQ(mapping.ScaleY(), 1.5);
        EXPECT_EQ(mapping.OffsetX(), 0);
        // The monitor is still the view in force: the next real size shows it.
        mapping.Resize(screen, 500, 250);
        EXPECT_EQ(mapping.OffsetX(), 100);
        EXPECT_DOUBLE_EQ(mapping.ScaleX(), 2.0);
    }
}

TEST(ViewMappingTest, ResizeReappliesTheViewInForce) {
    CRemoteScreen screen;
    Fill(screen, Screen(3840, 1080, {1920, 0, 3840, 1080}, 0, 0));
    CViewMapping mapping;
    mapping.ApplyView(screen, 2, 1920, 1080);
    mapping.Resize(screen, 960, 540);
    // Still the monitor: its scale, its offsets.
    EXPECT_EQ(mapping.Map(100, 100), (RemotePoint{2120, 200}));

    mapping.ApplyView(screen, -1, 960, 540);
    screen.m_nScreenWidth = 1920;
    mapping.Resize(screen, 960, 540);
    EXPECT_EQ(mapping.Map(100, 100), (RemotePoint{200, 200}));
}

TEST(ViewMappingTest, ClosingPassesPointsUnmapped) {
    CRemoteScreen screen;
    Fill(screen, Screen(0, 0, {1920, 0, 3840, 1080}, 0, 0));
    CViewMapping mapping;
    mapping.ApplyView(screen, 1, 960, 540);
    EXPECT_TRUE(mapping.Scaling());
    mapping.StartClosing();
    EXPECT_FALSE(mapping.Scaling());
    EXPECT_EQ(mapping.Map(100, -7), (RemotePoint{100, -7}));
}
