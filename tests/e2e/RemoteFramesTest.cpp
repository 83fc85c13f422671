// What the viewer shows and how it takes frames that lie: the real program under Wine
// against a simulated lectern PC that streams honest frames with lying ones among
// them, that never says its tile size, or whose screen stands still so that a
// screenshot can be compared with the picture it streamed.
#if !defined(TAVREL_HAVE_CLASSROOM_SIM)
#error "the end-to-end tests need tools/classroom-sim"
#endif

#include "RemoteFixture.h"

#include "media/FrameEncoder.h"

using namespace remotetest;

namespace {

// Every third frame lies (frames 0, 3, 6, ...); the others are honest.
constexpr int kLieEvery = 3;
constexpr size_t kFramesToSee = 12;
// Root-mean-square difference, as a fraction of full scale, that halftone stretching
// and JPEG at quality 70 stay well within; a wrong or stale picture is far above it.
constexpr double kPictureTolerance = 0.06;
// The panel stays topmost at the top right; only the part left of it is compared.
constexpr char kComparedArea[] = "840x768+0+0";

// Scales the lectern's picture to the pad's screen and cuts the compared area.
bool Prepare(const std::string& in, const std::string& out, bool scale) {
    std::vector<std::string> argv{"convert", in};
    if (scale) argv.insert(argv.end(), {"-resize", "1024x768!"});
    argv.insert(argv.end(), {"-crop", kComparedArea, "+repage", out});
    return e2e::RunTool(argv).exitCode == 0;
}

class LyingFramesTest : public RemoteTest, public ::testing::WithParamInterface<FrameBlockLie> {};

TEST_P(LyingFramesTest, EveryFrameIsAcknowledgedInOrderAndTheViewerStays) {
    ClassroomOptions options;
    options.media.lie = GetParam();
    options.media.lieEvery = kLieEvery;
    const std::string panel = LogInWithStreamingLectern(options);
    ASSERT_FALSE(panel.empty());
    const std::string viewer = StartRemote(panel);
    ASSERT_FALSE(viewer.empty());
    ASSERT_TRUE(WaitFrameAcks(kFramesToSee)) << "the stream stopped after a lying frame";
    EXPECT_GE(Log().Count(CEventLog::Kind("frame_lie")), kFramesToSee / kLieEvery);
    std::vector<long> acks = FrameAcks();
    for (size_t i = 0; i < acks.size(); ++i) ASSERT_EQ(acks[i], long(i)) << "ack " << i;
    EXPECT_TRUE(m_program.Running());
    EXPECT_TRUE(Info(viewer).visible) << "a lying frame closed the viewer";
}

INSTANTIATE_TEST_SUITE_P(EveryLie, LyingFramesTest, ::testing::ValuesIn([] {
                             std::vector<FrameBlockLie> lies = AllFrameBlockLies();
                             lies.erase(std::remove(lies.begin(), lies.end(), FrameBlockLie::kNone),
                                        lies.end());
                             return lies;
                         }()),
                         [](const ::testing::TestParamInfo<FrameBlockLie>& info) {
                             std::string name;
                             for (const char* c = FrameBlockLieName(info.param); *c != 0; ++c)
                                 if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
                             return name;
                         });

// A lectern PC that never says its tile size: frames arrive while the pad does not
// know where their tiles go. Nothing is placed, every frame is still acknowledged.
TEST_F(RemoteTest, FramesBeforeTheTileSizeAreAcknowledgedAndPlaceNothing) {
    ClassroomOptions options;
    options.lectern.omitTileSize = true;
    const std::string panel = LogInWithStreamingLectern(options);
    ASSERT_FALSE(panel.empty());
    const std::string viewer = StartRemote(panel);
    ASSERT_FALSE(viewer.empty());
    ASSERT_TRUE(WaitFrameAcks(kFramesToSee));
    std::vector<long> acks = FrameAcks();
    for (size_t i = 0; i < acks.size(); ++i) ASSERT_EQ(acks[i], long(i)) << "ack " << i;
    const std::string shot = e2e::Screenshot("remote-no-tile-size");
    ASSERT_FALSE(shot.empty());
    // The frame buffer stays black where the panel does not cover it.
    RunResult mean =
        e2e::RunTool({"convert", shot, "-crop", kComparedArea, "-format", "%[fx:mean]", "info:"});
    ASSERT_EQ(mean.exitCode, 0);
    EXPECT_LT(std::stod(mean.out), 0.01) << "tiles were placed without a tile size";
}

// The viewer shows the lectern PC's screen: a still desktop, so that the picture the
// simulator streamed is the one the viewer must show, scaled to the pad's screen.
TEST_F(RemoteTest, ViewerShowsTheLecternScreen) {
    ClassroomOptions options;
    options.media.staticScreen = true;
    const std::string panel = LogInWithStreamingLectern(options);
    ASSERT_FALSE(panel.empty());
    ASSERT_FALSE(StartRemote(panel).empty());
    ASSERT_TRUE(WaitFrameAcks(1));

    const std::string dir = e2e::OutDir();
    const std::string reference = dir + "/remote-reference.png";
    ASSERT_TRUE(m_classroom->Media()->WriteStreamedPng(reference));
    ASSERT_TRUE(Prepare(reference, dir + "/remote-reference-area.png", true));
    ASSERT_TRUE(Prepare(reference, dir + "/remote-black-area.png", true));
    ASSERT_EQ(e2e::RunTool({"convert", dir + "/remote-black-area.png", "-fill", "black",
                            "-colorize", "100", dir + "/remote-black-area.png"})
                  .exitCode,
              0);
    // The tolerance tells pictures apart: a black screen is far outside it.
    const double black =
        PictureDifference(dir + "/remote-black-area.png", dir + "/remote-reference-area.png");
    ASSERT_GT(black, 4 * kPictureTolerance);

    // The viewer paints after the acknowledgement; look until it matches or time runs out.
    double difference = -1;
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    do {
        const std::string shot = e2e::Screenshot("remote-viewer");
        ASSERT_FALSE(shot.empty());
        ASSERT_TRUE(Prepare(shot, dir + "/remote-viewer-area.png", false));
        difference =
            PictureDifference(dir + "/remote-viewer-area.png", dir + "/remote-reference-area.png");
        if (difference >= 0 && difference < kPictureTolerance) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    } while (std::chrono::steady_clock::now() < deadline);
    EXPECT_GE(difference, 0) << "the pictures could not be compared";
    EXPECT_LT(difference, kPictureTolerance) << "the viewer does not show the lectern's screen";
}

// The lectern PC's report right after the end reaches the main dialog once the
// connection is back there: it is neither lost nor read by the ending session.
TEST_F(RemoteTest, ReportSentRightAfterTheEndReachesThePanel) {
    ClassroomOptions options;
    options.lectern.replyToRemoteEnd = true;
    const std::string panel = LogInWithStreamingLectern(options);
    ASSERT_FALSE(panel.empty());
    ASSERT_FALSE(StartRemote(panel).empty());
    ASSERT_TRUE(WaitFrameAcks(3));
    ASSERT_TRUE(WaitChecked(panel, kBroadcastButton, false));
    Press(panel, kRemoteButton);
    ASSERT_TRUE(Log().WaitFor(Received("lectern", "[RC00005]"), kRemoteStartTime, m_startSeq));
    EXPECT_TRUE(WaitChecked(panel, kBroadcastButton, true))
        << "the report sent after the end was lost";
    EXPECT_TRUE(m_program.Running());
}

}  // namespace
