#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/PeerContract.h"
#include "remote/RemoteDispatch.h"
#include "remote/SystemCodes.h"
#include "shell/ProgramMessages.h"

namespace {

constexpr long long kNow = 1234;
constexpr int kPadWidth = 1280;
constexpr int kPadHeight = 800;

// Records what the dispatch asks of its host, one line per request.
class RecordingHost : public IRemoteDispatchHost {
  public:
    void PostMainDialog(unsigned message, uintptr_t wParam, intptr_t lParam) override {
        Log("main", message, wParam, lParam);
    }
    void PostViewer(unsigned message, uintptr_t wParam, intptr_t lParam) override {
        Log("viewer", message, wParam, lParam);
    }
    void RecreateFrame(int width, int height) override {
        events.push_back("frame " + std::to_string(width) + "x" + std::to_string(height));
    }
    void OpenTouchKeyboard() override { events.push_back("keyboard"); }
    long long NowSeconds() override { return kNow; }
    PadScreenSize PrimaryScreen() override { return PadScreenSize{kPadWidth, kPadHeight}; }

    std::vector<std::string> events;

  private:
    void Log(const char* target, unsigned message, uintptr_t wParam, intptr_t lParam) {
        events.push_back(std::string(target) + " " + std::to_string(message) + " " +
                         std::to_string(wParam) + " " + std::to_string(lParam));
    }
};

// The record's fields the reactions write.
struct ScreenState {
    int width = 0, height = 0;
    int tileWidth = 0, tileHeight = 0;
    int count = 0, monitor = CRemoteScreen::kWholeScreen;
    int originX = 0, originY = 0;
    ScreenRect rc{0, 0, 1920, 1080};
    bool operator==(const ScreenState& o) const {
        return width == o.width && height == o.height && tileWidth == o.tileWidth &&
               tileHeight == o.tileHeight && count == o.count && monitor == o.monitor &&
               originX == o.originX && originY == o.originY && rc.left == o.rc.left &&
               rc.top == o.rc.top && rc.right == o.rc.right && rc.bottom == o.rc.bottom;
    }
};

ScreenState StateOf(const CRemoteScreen& s) {
    ScreenState state;
    state.width = s.m_nScreenWidth;
    state.height = s.m_nScreenHeight;
    state.tileWidth = s.m_nTileWidth;
    state.tileHeight = s.m_nTileHeight;
    state.count = s.m_nMonitorCount;
    state.monitor = s.m_nMonitor;
    state.originX = s.m_nOriginX;
    state.originY = s.m_nOriginY;
    state.rc = s.m_rcMonitor;
    return state;
}

ScreenState With(void (*change)(ScreenState&)) {
    ScreenState state;
    change(state);
    return state;
}

const std::string kPadSize = std::to_string((kPadHeight << 16) | kPadWidth);
const std::string kMarker = std::to_string(kNoticeMarker);

}  // namespace

TEST(RemoteDispatchTest, Reactions) {
    using Events = std::vector<std::string>;
    const std::u16string recent = kVersionMonitorSelection;
    const struct {
        std::u16string version;
        std::u16string text;
        bool known;
        Events events;
        ScreenState after;
    } cases[] = {
        {recent, u"", false, {}, {}},
        {recent, u"[RH0001]", false, {}, {}},
        {recent, u"[RC00099]1", false, {}, {}},
        {recent, u"[RH00001]1920,1080", true, {"viewer 5 0 " + kPadSize}, With([](ScreenState& s) {
             s.width = 1920, s.height = 1080;
         })},
        {recent, u"[RH00001]1920,1080,", true, {"viewer 5 0 " + kPadSize}, With([](ScreenState& s) {
             s.width = 1920, s.height = 1080;
         })},
        {recent, u"[RH00001]1920", true, {"viewer 5 0 " + kPadSize}, {}},
        {recent, u"[RH00001]1920,1080,32", true, {"viewer 5 0 " + kPadSize}, {}},
        {recent, u"[RH00003]1", true, {"main 33071 " + kMarker + " 1"}, {}},
        {recent, u"[RH00003]", true, {}, {}},
        {recent, u"[RH00004]0", true, {"main 33072 " + kMarker + " 0"}, {}},
        {recent, u"[RH00005]anything", true, {}, {}},
        {recent, u"[RH00007]128,64", true, {"frame 1920x1080"}, With([](ScreenState& s) {
             s.tileWidth = 128, s.tileHeight = 64;
         })},
        {recent, u"[RH00007]128", true, {}, {}},
        {recent,
         u"[RH00009]2,2,1920,0,3840,1080",
         true,
         {"main 33074 " + kMarker + " 5", "frame 1920x1080", "viewer 3925 " + kMarker + " 2"},
         With([](ScreenState& s) {
             s.count = 2, s.monitor = 2, s.rc = {1920, 0, 3840, 1080};
         })},
        {kUnknownPeerVersion,
         u"[RH00009]3,2,0,0,1280,1024",
         true,
         {"main 33074 " + kMarker + " 0", "frame 1280x1024", "viewer 3925 " + kMarker + " 2"},
         With([](ScreenState& s) {
             s.count = 3, s.monitor = 2, s.rc = {0, 0, 1280, 1024};
         })},
        {recent,
         u"[RH00009]1,2,0,0,1920,1080",
         true,
         {"main 33074 " + kMarker + " 0", "frame 1920x1080", "viewer 3925 " + kMarker + " 1"},
         With([](ScreenState& s) { s.count = 1, s.monitor = 1; })},
        {recent,
         u"[RH00009]2,1,0,0,0,0",
         true,
         {"main 33074 " + kMarker + " 5", "viewer 3925 " + kMarker + " 1"},
         With([](ScreenState& s) { s.count = 2, s.monitor = 1, s.rc = {}; })},
        {recent,
         u"[RH00009]2,1,0,0,99999,10",
         true,
         {"main 33074 " + kMarker + " 5", "viewer 3925 " + kMarker + " 1"},
         With([](ScreenState& s) {
             s.count = 2, s.monitor = 1, s.rc = {0, 0, 99999, 10};
         })},
        {recent, u"[RH00009]2,1,0,0,1920", true, {}, {}},
        {recent, u"[RH00010]0,-1280,-5,3840,1080", true, {}, With([](ScreenState& s) {
             s.originX = -1280, s.originY = -5;
         })},
        {recent, u"[RH00010]0,-1280,0,3840", true, {}, {}},
        {recent, u"[RC00007]", true, {"keyboard"}, {}},
        {recent, u"[RH10002]", true, {}, {}},
    };
    for (const auto& c : cases) {
        CRemoteScreen screen;
        screen.m_strPeerVersion = c.version;
        screen.m_rcMonitor = ScreenRect{0, 0, 1920, 1080};
        RecordingHost host;
        CRemoteDispatch dispatch(screen, host);
        const std::string name(c.text.begin(), c.text.end());
        EXPECT_EQ(dispatch.OnText(c.text), c.known) << name;
        EXPECT_EQ(host.events, c.events) << name;
        EXPECT_EQ(StateOf(screen), c.after) << name;
        EXPECT_EQ(screen.m_nBitsPerPixel, CRemoteScreen::kFrameBitsPerPixel) << name;
    }
}

TEST(RemoteDispatchTest, HeartbeatMarksTheLastSignOfLife) {
    CRemoteScreen screen;
    RecordingHost host;
    CRemoteDispatch dispatch(screen, host);
    dispatch.OnText(u"[RH00005]");
    EXPECT_EQ(screen.m_dtLastRecv.load(), 0);
    dispatch.OnText(kCmdHeartbeat);
    EXPECT_EQ(screen.m_dtLastRecv.load(), kNow);
}

TEST(RemoteDispatchTest, ScreenSizeResetsTheBitsPerPixel) {
    CRemoteScreen screen;
    screen.m_nBitsPerPixel = 16;
    RecordingHost host;
    CRemoteDispatch dispatch(screen, host);
    dispatch.OnText(u"[RH00001]1920");
    EXPECT_EQ(screen.m_nBitsPerPixel, 16);
    dispatch.OnText(u"[RH00001]1920,1080");
    EXPECT_EQ(screen.m_nBitsPerPixel, CRemoteScreen::kFrameBitsPerPixel);
}

TEST(RemoteDispatchTest, SizeLParamPacksWidthLowHeightHigh) {
    EXPECT_EQ(SizeLParam(1920, 1080), (1080 << 16) | 1920);
    EXPECT_EQ(SizeLParam(0x12345, 2), (2 << 16) | 0x2345);
}

TEST(RemoteDispatchTest, DisplayChange) {
    const struct {
        std::u16string version;
        int width, height;
        bool changeTiles;
        int tileWidth, tileHeight;
        bool recreate;
    } cases[] = {
        {kVersionBeforeMonitorSelection, 1920, 1080, true, 120, 135, true},
        {kUnknownPeerVersion, 1280, 800, true, 160, 100, true},
        {kVersionMonitorSelection, 1920, 1080, false, 0, 0, false},
        {kVersionBeforeMonitorSelection, 0, 1080, true, 0, 135, false},
    };
    for (const auto& c : cases) {
        CRemoteScreen screen;
        screen.m_strPeerVersion = c.version;
        const DisplayChangeGeometry g = GeometryAfterDisplayChange(screen, c.width, c.height);
        EXPECT_EQ(g.changeTiles, c.changeTiles) << c.width;
        EXPECT_EQ(g.tileWidth, c.tileWidth) << c.width;
        EXPECT_EQ(g.tileHeight, c.tileHeight) << c.width;
        EXPECT_EQ(g.recreateFrame, c.recreate) << c.width;
        // Only a frame buffer of another size (or none) is made anew.
        EXPECT_FALSE(g.RecreateFor(c.width, c.height)) << c.width;
        EXPECT_EQ(g.RecreateFor(0, 0), c.recreate) << c.width;
        EXPECT_EQ(g.RecreateFor(c.width, c.height + 1), c.recreate) << c.width;
    }
    EXPECT_EQ(DisplayChangeCommand(1920, 1080), std::u16string(kCmdPadScreenSize) + u"1920,1080");
}
