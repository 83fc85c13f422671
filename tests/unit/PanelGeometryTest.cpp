// The panel's scale factor, layout, docking, folding and tile rule.
#include "panel/PanelGeometry.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using tavrel::Point;
using tavrel::Rect;

struct ScaleCase {
    int width, height;
    const char16_t* configured;
    float expected;
};

TEST(PanelGeometry, ScaleFactorFromScreenAndConfig) {
    const ScaleCase cases[] = {
        {1920, 1080, u"", 1.0f},     {2000, 2000, u"", 1.0f},  // "wider than", not equal
        {2001, 1080, u"", 1.4f},     {1080, 2001, u"", 1.4f},  // portrait counts too
        {2560, 1600, u"", 1.4f},     {3000, 2000, u"", 1.4f},      {3001, 1000, u"", 2.0f},
        {3840, 2160, u"", 2.0f},     {3840, 2160, u"1.25", 1.25f}, {1366, 768, u"1.25", 1.25f},
        {2560, 1600, u"0", 1.4f},    {2560, 1600, u"abc", 1.4f},   {3840, 2160, u"-1", 2.0f},
        {1920, 1080, u"1.5x", 1.5f},
    };
    for (const ScaleCase& c : cases) {
        EXPECT_FLOAT_EQ(tavrel::ChooseScaleFactor(c.width, c.height, c.configured), c.expected)
            << c.width << "x" << c.height;
    }
}

TEST(PanelGeometry, PanelSizeAtEachScale) {
    struct {
        float scale;
        int width, height, folded;
    } cases[] = {
        {1.0f, 173, 279, 70}, {1.4f, 242, 390, 98}, {2.0f, 346, 558, 140}, {1.25f, 216, 348, 87}};
    for (const auto& c : cases) {
        const Rect docked = tavrel::DockedPanelRect(2560, c.scale);
        EXPECT_EQ(docked.Width(), c.width) << c.scale;
        EXPECT_EQ(docked.Height(), c.height) << c.scale;
        EXPECT_EQ(docked.right, 2560) << "flush with the right edge";
        EXPECT_EQ(docked.top, 0);
        EXPECT_EQ(tavrel::ScaleDesign(tavrel::kFoldedSize, c.scale), c.folded);
    }
}

TEST(PanelGeometry, ControlTableHasEveryControlOnceInsideThePanel) {
    std::set<int> ids;
    for (int i = 0; i < tavrel::kPanelControlCount; ++i) {
        const tavrel::PanelControl& control = tavrel::kPanelControls[i];
        EXPECT_TRUE(ids.insert(control.id).second) << "duplicate " << control.id;
        for (float scale : {1.0f, 1.4f, 2.0f}) {
            const Rect rect = tavrel::ScaledControlRect(control, scale);
            EXPECT_LE(rect.right, tavrel::ScaleDesign(tavrel::kPanelWidth, scale)) << control.id;
            EXPECT_LE(rect.bottom, tavrel::ScaleDesign(tavrel::kPanelHeight, scale)) << control.id;
        }
    }
    EXPECT_EQ(ids,
              (std::set<int>{1011, 1628, 1629, 1001, 1003, 1630, 1004, 1007, 1005, 1006, 1008}));
    // The scaled place of the remote button at 1.4: 22, 51, 50 × 64.
    const Rect remote = tavrel::ScaledControlRect(*tavrel::FindPanelControl(1001), 1.4f);
    EXPECT_EQ(remote, (Rect{30, 71, 30 + 70, 71 + 89}));
    EXPECT_EQ(tavrel::FindPanelControl(1002), nullptr);
}

TEST(PanelGeometry, OnlyCaptionAndRemoteButtonSitInTheFoldedCorner) {
    const Rect corner{0, 0, tavrel::kFoldedSize, tavrel::kFoldedSize};
    std::set<int> inside;
    for (int i = 0; i < tavrel::kPanelControlCount; ++i) {
        const Rect r = tavrel::ScaledControlRect(tavrel::kPanelControls[i], 1.0f);
        if (r.left < corner.right && r.top < corner.bottom)
            inside.insert(tavrel::kPanelControls[i].id);
    }
    EXPECT_EQ(inside, (std::set<int>{1011, 1001}));
}

TEST(PanelGeometry, UnfoldKeepsThePanelOnTheScreen) {
    struct {
        const char* name;
        Rect folded;
        Point expected;
    } cases[] = {
        {"right edge flush", {1850, 0, 1920, 70}, {1747, 0}},
        {"plenty of room", {100, 100, 170, 170}, {100, 100}},
        {"negative edges", {-30, -10, 40, 60}, {0, 0}},
        {"bottom right corner", {1850, 1010, 1920, 1080}, {1747, 801}},
        // The folded right edge, not the expanded one, is compared.
        {"just inside", {1677, 0, 1747, 70}, {1677, 0}},
        {"one pixel over", {1678, 0, 1748, 70}, {1747, 0}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(tavrel::UnfoldPosition(c.folded, 173, 279, 1920, 1080), c.expected) << c.name;
    }
}

TEST(PanelGeometry, CornerOffScreenAfterDisplayChange) {
    const Rect docked = tavrel::DockedPanelRect(1920, 1.0f);
    EXPECT_FALSE(tavrel::CornerOffScreen(docked, 1920, 1080));
    EXPECT_TRUE(tavrel::CornerOffScreen(docked, 1366, 768));
    EXPECT_TRUE(tavrel::CornerOffScreen(Rect{0, 900, 173, 1179}, 1920, 1080));
    EXPECT_FALSE(tavrel::CornerOffScreen(Rect{0, 801, 173, 1080}, 1920, 1080));
}

TEST(PanelGeometry, DragStripAndTap) {
    EXPECT_TRUE(tavrel::InDragStrip(37, false, 1.0f));
    EXPECT_FALSE(tavrel::InDragStrip(38, false, 1.0f));
    EXPECT_TRUE(tavrel::InDragStrip(52, false, 1.4f));
    EXPECT_FALSE(tavrel::InDragStrip(53, false, 1.4f));
    EXPECT_TRUE(tavrel::InDragStrip(69, true, 1.0f)) << "the whole folded panel";
    EXPECT_FALSE(tavrel::InDragStrip(-1, true, 1.0f));

    const int64_t frequency = 10000000;
    EXPECT_TRUE(tavrel::IsTap(0, frequency / 10, frequency));         // 100 ms
    EXPECT_TRUE(tavrel::IsTap(5, 5 + frequency / 5 - 1, frequency));  // just under 200
    EXPECT_FALSE(tavrel::IsTap(5, 5 + frequency / 5, frequency));     // 200 ms drags
    EXPECT_FALSE(tavrel::IsTap(0, frequency, frequency));             // 1 s
    EXPECT_FALSE(tavrel::IsTap(100, 50, frequency)) << "release before the press";
    EXPECT_FALSE(tavrel::IsTap(0, 1, 0)) << "no counter";
}

TEST(PanelGeometry, TileEdgeHalving) {
    const int cases[][2] = {{1920, 120}, {1080, 135}, {1366, 683}, {768, 192}, {2560, 160},
                            {1600, 100}, {199, 199},  {200, 100},  {0, 0}};
    for (const auto& c : cases) EXPECT_EQ(tavrel::HalvedTileEdge(c[0]), c[1]) << c[0];
}

}  // namespace
