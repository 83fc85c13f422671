#include "updater/UpdaterLayout.h"

#include <gtest/gtest.h>

namespace {

using namespace tavrel;

TEST(UpdaterLayout, ScaleFactorFromTheScreen) {
    struct Case {
        int width, height;
        float scale;
    } cases[] = {
        {1024, 768, 1.0f},  {1920, 1080, 1.0f}, {2000, 2000, 1.0f}, {2001, 768, 1.4f},
        {1024, 2001, 1.4f}, {2560, 1440, 1.4f}, {3000, 3000, 1.4f}, {3001, 1080, 2.0f},
        {1080, 3001, 2.0f}, {3840, 2160, 2.0f}, {0, 0, 1.0f},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UpdaterScaleFactor(c.width, c.height), c.scale) << c.width << "x" << c.height;
    }
}

TEST(UpdaterLayout, ScaledLengthsDropTheFraction) {
    struct Case {
        int design;
        float scale;
        int pixels;
    } cases[] = {
        {564, 1.0f, 564}, {564, 1.4f, 789}, {354, 1.4f, 495}, {13, 1.4f, 18},
        {14, 1.4f, 19},   {38, 1.4f, 53},   {13, 2.0f, 26},   {14, 2.0f, 28},
        {0, 1.4f, 0},     {5, 1.4f, 7},     {10, 1.4f, 14},   {541, 1.4f, 757},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UpdaterScaled(c.design, c.scale), c.pixels) << c.design << " x " << c.scale;
    }
}

void ExpectRect(const UpdaterRect& r, int x, int y, int width, int height, const char* what) {
    EXPECT_EQ(r.x, x) << what;
    EXPECT_EQ(r.y, y) << what;
    EXPECT_EQ(r.width, width) << what;
    EXPECT_EQ(r.height, height) << what;
}

TEST(UpdaterLayout, WindowAtEachScreen) {
    struct Case {
        int screenWidth, screenHeight;
        int dialogWidth, dialogHeight;
        UpdaterRect title, list, runNow, backdrop;
        int header;
    } cases[] = {
        {1024,
         768,
         564,
         354,
         {6, 12, 121, 22},
         {18, 57, 531, 237},
         {444, 311, 111, 34},
         {13, 51, 541, 249},
         38},
        {2560,
         1440,
         789,
         495,
         {8, 16, 169, 30},
         {25, 79, 743, 331},
         {621, 435, 155, 47},
         {18, 71, 757, 348},
         53},
        {3840,
         2160,
         1128,
         708,
         {12, 24, 242, 44},
         {36, 114, 1062, 474},
         {888, 622, 222, 68},
         {26, 102, 1082, 498},
         76},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.screenWidth << "x" << c.screenHeight);
        const UpdaterLayout layout =
            ComputeUpdaterLayout(UpdaterScaleFactor(c.screenWidth, c.screenHeight), false);
        EXPECT_EQ(layout.dialogWidth, c.dialogWidth);
        EXPECT_EQ(layout.dialogHeight, c.dialogHeight);
        ExpectRect(layout.title, c.title.x, c.title.y, c.title.width, c.title.height, "title");
        ExpectRect(layout.list, c.list.x, c.list.y, c.list.width, c.list.height, "list");
        ExpectRect(layout.runNow, c.runNow.x, c.runNow.y, c.runNow.width, c.runNow.height,
                   "run now");
        ExpectRect(layout.backdrop, c.backdrop.x, c.backdrop.y, c.backdrop.width, c.backdrop.height,
                   "backdrop");
        EXPECT_EQ(layout.headerHeight, c.header);
    }
}

TEST(UpdaterLayout, EnglishTitleIsOnePixelTallerBeforeScaling) {
    struct Case {
        float scale;
        bool english;
        int height;
    } cases[] = {
        {1.0f, false, 13}, {1.0f, true, 14},  {1.4f, false, 18},
        {1.4f, true, 19},  {2.0f, false, 26}, {2.0f, true, 28},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ComputeUpdaterLayout(c.scale, c.english).titleFontHeight, c.height)
            << c.scale << (c.english ? " Eng" : " Kor");
    }
}

TEST(UpdaterLayout, HeaderBandIsTheCaption) {
    struct Case {
        int x, y, clientWidth;
        float scale;
        bool inside;
    } cases[] = {
        {0, 0, 562, 1.0f, true},     {561, 37, 562, 1.0f, true}, {10, 38, 562, 1.0f, false},
        {562, 10, 562, 1.0f, false}, {-1, 10, 562, 1.0f, false}, {10, -1, 562, 1.0f, false},
        {10, 52, 787, 1.4f, true},   {10, 53, 787, 1.4f, false}, {10, 75, 1126, 2.0f, true},
        {10, 76, 1126, 2.0f, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(InUpdaterHeader(c.x, c.y, c.clientWidth, c.scale), c.inside)
            << "(" << c.x << "," << c.y << ") at " << c.scale;
    }
}

TEST(UpdaterLayout, ShippedPeriods) {
    const UpdaterPeriods periods;
    EXPECT_EQ(periods.firstAttemptMs, 500u);
    EXPECT_EQ(periods.retryMs, 10000u);
    EXPECT_EQ(periods.downloadMs, 10000u);
}

TEST(UpdaterLayout, TestPeriodsFromText) {
    struct Case {
        const char16_t* text;
        bool ok;
        uint32_t first, retry, download;
    } cases[] = {
        {u"100,1000,300", true, 100, 1000, 300},
        {u"1,1,1", true, 1, 1, 1},
        {u"3600000,3600000,3600000", true, 3600000, 3600000, 3600000},
        {u"3600001,1000,300", false, 0, 0, 0},
        {u"99999999999999999999,1,1", false, 0, 0, 0},
        {u"0,1000,300", false, 0, 0, 0},
        {u"100,1000", false, 0, 0, 0},
        {u"100,1000,300,5", false, 0, 0, 0},
        {u"100,,300", false, 0, 0, 0},
        {u"100, 1000,300", false, 0, 0, 0},
        {u"100,1000,300 ", false, 0, 0, 0},
        {u"-100,1000,300", false, 0, 0, 0},
        {u"100,1000,3x0", false, 0, 0, 0},
        {u"", false, 0, 0, 0},
        {u",", false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        UpdaterPeriods periods;
        periods.firstAttemptMs = 7;
        periods.retryMs = 8;
        periods.downloadMs = 9;
        const std::u16string text(c.text);
        EXPECT_EQ(ParseUpdaterPeriods(text, periods), c.ok)
            << std::string(text.begin(), text.end());
        if (c.ok) {
            EXPECT_EQ(periods.firstAttemptMs, c.first);
            EXPECT_EQ(periods.retryMs, c.retry);
            EXPECT_EQ(periods.downloadMs, c.download);
        } else {
            // A rejected text leaves the periods untouched.
            EXPECT_EQ(periods.firstAttemptMs, 7u);
            EXPECT_EQ(periods.retryMs, 8u);
            EXPECT_EQ(periods.downloadMs, 9u);
        }
    }
}

}  // namespace
