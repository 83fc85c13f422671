// Screen up on pads whose screens are not the harness's 1024 x 768: the grid follows
// the screen. Each suite runs only on a test screen of its size (ctest starts them so,
// with TAVREL_E2E_SCREEN); on another screen its tests are skipped.
#if !defined(TAVREL_HAVE_CLASSROOM_SIM)
#error "the end-to-end tests need tools/classroom-sim"
#endif

#include "ScreenUpFixture.h"

using namespace screenuptest;

namespace {

constexpr double kPictureTolerance = 0.05;
constexpr auto kStillTime = 5s;

struct ScreenCase {
    int width, height;
    int tileWidth, tileHeight;
    int columns, rows;
};

}  // namespace

class SizedScreenUpTest : public ScreenUpTest {
  protected:
    // Whether the test screen is this size.
    bool OnScreen(int width, int height) {
        return e2e::ScreenWidth() == width && e2e::ScreenHeight() == height;
    }

    std::optional<SimEvent> DecodedEvent(int32_t number) {
        return Log().WaitFor(
            [number](const SimEvent& e) { return IsDecodedFrame(e) && e.Int("frame") == number; },
            30s, m_onSeq);
    }

    // Switches screen up on and checks the announcement, the first frame's tiles and
    // strip, and the rebuilt picture against the screen.
    void CheckScreen(const ScreenCase& c, const std::string& name) {
        const std::string panel = LogInForScreenUp();
        ASSERT_FALSE(panel.empty());
        StartStillWindow(c.width / 4, c.height / 2, c.width / 2, c.height / 3);
        const uint64_t before = Log().LastSeq();
        const uint64_t on = SwitchOn(panel);
        auto params = Log().WaitFor(Received("lectern", "[RC00008]"), 1s, before);
        ASSERT_TRUE(params);
        EXPECT_EQ(params->Text("args"),
                  std::to_string(c.width) + "," + std::to_string(c.height) + ",full,resize");
        EXPECT_LT(params->seq, on);

        // The first frame: every tile of the grid, side by side in one strip.
        auto first = DecodedEvent(0);
        ASSERT_TRUE(first) << "no frame arrived";
        const int tiles = c.columns * c.rows;
        EXPECT_EQ(first->Text("result"), "ok");
        EXPECT_EQ(first->Text("geometry"), "ok");
        EXPECT_EQ(first->Int("tiles"), tiles);
        EXPECT_EQ(first->Text("indices"), AllIndices(tiles));
        EXPECT_EQ(first->Int("strip_w"), tiles * c.tileWidth);
        EXPECT_EQ(first->Int("strip_h"), c.tileHeight);
        const CScreenUpDecoder& decoder = m_classroom->Media()->ScreenUp();
        EXPECT_EQ(decoder.Grid().tileWidth, c.tileWidth);
        EXPECT_EQ(decoder.Grid().tileHeight, c.tileHeight);

        ASSERT_TRUE(WaitEnabled(panel, kScreenUpButton));
        ASSERT_TRUE(WaitStill(kStillTime)) << "frames kept coming from a still screen";
        for (const SeenFrame& f : Frames(on)) EXPECT_EQ(f.geometry, "ok") << "frame " << f.number;
        const double difference = CompareWithScreen(name);
        EXPECT_GE(difference, 0) << "the pictures could not be compared";
        EXPECT_LT(difference, kPictureTolerance) << "the lectern PC does not show the pad's screen";
    }
};

class ScreenUpFullHdTest : public SizedScreenUpTest {};
class ScreenUpWideTest : public SizedScreenUpTest {};

TEST_F(ScreenUpFullHdTest, TilesOf120By135InA16By8Grid) {
    if (!OnScreen(1920, 1080)) GTEST_SKIP() << "runs on a 1920 x 1080 test screen";
    CheckScreen({1920, 1080, 120, 135, 16, 8}, "screenup-1920x1080");
    if (HasFatalFailure()) return;

    // A window inside the tile of column 3, row 2 (x 360-479, y 270-404): index 35.
    const uint64_t before = Log().LastSeq();
    StartAnimator(380, 300, 60, 60);
    ASSERT_TRUE(Log().WaitForCount(
        [before](const SimEvent& e) { return e.seq > before && IsDecodedFrame(e); }, 10, 30s));
    size_t onlyThatTile = 0;
    for (const SeenFrame& f : Frames(before))
        if (f.indices == "35") ++onlyThatTile;
    EXPECT_GE(onlyThatTile, 5u);
}

TEST_F(ScreenUpWideTest, TilesOf683By192InA2By4Grid) {
    if (!OnScreen(1366, 768)) GTEST_SKIP() << "runs on a 1366 x 768 test screen";
    CheckScreen({1366, 768, 683, 192, 2, 4}, "screenup-1366x768");
}
