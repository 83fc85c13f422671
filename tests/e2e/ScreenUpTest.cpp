// Screen up end to end: the real program sends its screen to a simulated lectern PC
// that rebuilds it from the frames; switching on and off, the tiles of each frame,
// the acknowledgement window, a display change, the exit while it runs, and the rules
// that keep screen up and remote control apart.
#if !defined(TAVREL_HAVE_CLASSROOM_SIM)
#error "the end-to-end tests need tools/classroom-sim"
#endif

#include "ScreenUpFixture.h"

using namespace screenuptest;

namespace {

// JPEG at quality 70 (Wine's codec ignores the quality) keeps a rebuilt desktop well
// within this; a missing or stale tile is far above it.
constexpr double kPictureTolerance = 0.05;
// The harness screen: 1024 x 768 in tiles of 128 x 192, a grid of 8 x 4.
constexpr int kHarnessTiles = 32;
// A still screen gives at most the full refresh after the last change; then nothing.
constexpr auto kStillTime = 5s;

}  // namespace

TEST_F(ScreenUpTest, SwitchingOnAnnouncesTheSizeSendsEveryTileAndMatchesTheScreen) {
    const std::string panel = LogInForScreenUp();
    ASSERT_FALSE(panel.empty());
    StartStillWindow(60, 420, 500, 200);
    const uint64_t before = Log().LastSeq();
    const uint64_t on = SwitchOn(panel);

    // The size comes first, then the start, then the frames from number 0.
    auto params = Log().WaitFor(Received("lectern", "[RC00008]"), 1s, before);
    ASSERT_TRUE(params);
    EXPECT_EQ(params->Text("args"), "1024,768,full,resize");
    EXPECT_LT(params->seq, on);
    EXPECT_EQ(CountReceived("[RC00008]", before), 1u);
    auto first = WaitFrame(0);
    ASSERT_TRUE(first) << "no frame arrived";
    EXPECT_EQ(first->result, "ok");
    EXPECT_EQ(first->geometry, "ok");
    EXPECT_EQ(first->tiles, kHarnessTiles);
    EXPECT_EQ(first->indices, AllIndices(kHarnessTiles));
    EXPECT_TRUE(WaitChecked(panel, kScreenUpButton, true));
    const LecternRecord record = m_classroom->Recorded();
    EXPECT_TRUE(record.screenUpOn);
    EXPECT_EQ(record.screenUpWidth, 1024);
    EXPECT_EQ(record.screenUpHeight, 768);

    // Every frame fits the grid, and the numbers count up from 0 without a gap while
    // the lectern PC acknowledges each one.
    ASSERT_TRUE(WaitEnabled(panel, kScreenUpButton));
    ASSERT_TRUE(WaitStill(kStillTime)) << "frames kept coming from a still screen";
    const std::vector<SeenFrame> frames = Frames(on);
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i].number, static_cast<int32_t>(i));
        EXPECT_EQ(frames[i].geometry, "ok") << "frame " << frames[i].number;
    }
    const double difference = CompareWithScreen("screenup-still");
    EXPECT_GE(difference, 0) << "the pictures could not be compared";
    EXPECT_LT(difference, kPictureTolerance) << "the lectern PC does not show the pad's screen";

    // Off: the lectern PC is told, the button is released and no frame follows.
    const uint64_t off = SwitchOff(panel);
    EXPECT_TRUE(WaitChecked(panel, kScreenUpButton, false));
    StartAnimator(100, 250, 200, 150);
    ASSERT_TRUE(WaitEnabled(panel, kScreenUpButton));
    EXPECT_FALSE(Log().WaitFor(IsFrameReceived, 2s, off)) << "a frame came after the stop";
    EXPECT_FALSE(m_classroom->Recorded().screenUpOn);
}

TEST_F(ScreenUpTest, AWindowThatChangesSendsOnlyTheTilesItTouches) {
    const std::string panel = LogInForScreenUp();
    ASSERT_FALSE(panel.empty());
    ASSERT_TRUE(SwitchOnAndWaitStill(panel));

    // Inside the tile of column 1, row 1 (x 128-255, y 192-383): index 9 alone.
    const uint64_t before = Log().LastSeq();
    StartAnimator(150, 220, 60, 60);
    ASSERT_TRUE(Log().WaitForCount(
        [before](const SimEvent& e) { return e.seq > before && IsDecodedFrame(e); }, 10, 30s));
    StopAnimator();
    ASSERT_TRUE(WaitStill(kStillTime));
    size_t onlyThatTile = 0;
    for (const SeenFrame& f : Frames(before)) {
        EXPECT_EQ(f.geometry, "ok");
        // The refresh of every 30th cycle carries all tiles; every other frame only
        // the animated one.
        if (f.indices == "9")
            ++onlyThatTile;
        else
            EXPECT_EQ(f.indices, AllIndices(kHarnessTiles)) << "frame " << f.number;
    }
    EXPECT_GE(onlyThatTile, 8u);
}

TEST_F(ScreenUpTest, WithoutAcknowledgementsOnlyOneFrameInThirtyOneGoesOut) {
    const std::string panel = LogInForScreenUp(0);
    ASSERT_FALSE(panel.empty());
    // A window that changes every few cycles, so that frames keep coming, slowly
    // enough that the thirty dropped ones take over a second.
    StartAnimator(100, 250, 200, 150, 40);
    SwitchOn(panel);
    ASSERT_TRUE(WaitFrame(65, 120s)) << "received: " << FrameNumbers(m_onSeq).size();
    // Acknowledging less than was sent still opens the window: with two frames
    // outstanding, the next one goes freely and one more fills the window, which then
    // holds the following thirty.
    const uint64_t before = Log().LastSeq();
    m_classroom->Lectern().SendToAll(u"[RH00002]64");
    const std::vector<int32_t> numbers = FrameNumbers(m_onSeq);
    ASSERT_GE(numbers.size(), 6u);
    EXPECT_EQ(std::vector<int32_t>(numbers.begin(), numbers.begin() + 6),
              (std::vector<int32_t>{0, 1, 2, 3, 34, 65}));
    ASSERT_TRUE(Log().WaitForCount(
        [before](const SimEvent& e) { return e.seq > before && IsDecodedFrame(e); }, 3, 60s));
    const std::vector<int32_t> after = FrameNumbers(before);
    EXPECT_LT(after[0], 96) << "the window did not open";
    EXPECT_EQ(after[1], after[0] + 1);
    EXPECT_EQ(after[2], after[1] + 31);
    if (HasFailure()) {
        for (const SimEvent& e : Log().Events())
            if (e.seq > m_onSeq && (IsFrameReceived(e) || IsDecodedFrame(e) || e.kind == "send"))
                std::cerr << e.Json() << "\n";
    }
}

TEST_F(ScreenUpTest, ADisplayChangeRestartsTheCaptureAndTheNumbersGoOn) {
    const std::string panel = LogInForScreenUp();
    ASSERT_FALSE(panel.empty());
    ASSERT_TRUE(SwitchOnAndWaitStill(panel));
    const int32_t last = FrameNumbers(m_onSeq).back();

    const uint64_t before = Log().LastSeq();
    ASSERT_EQ(UiDriver({"post", panel, std::to_string(kWmDisplayChange), "32",
                        std::to_string((768 << 16) | 1024)})
                  .exitCode,
              0);
    auto params = Log().WaitFor(Received("lectern", "[RC00008]"), 20s, before);
    ASSERT_TRUE(params);
    EXPECT_EQ(params->Text("args"), "1024,768,full,resize");
    auto size = Log().WaitFor(Received("lectern", "[RC00010]"), 20s, before);
    ASSERT_TRUE(size);
    EXPECT_EQ(size->Text("args"), "1024,768");
    EXPECT_LT(params->seq, size->seq);
    // A new capture has sent nothing yet, so its first frame carries every tile, and
    // its number follows the last one.
    auto next = Log().WaitFor(IsDecodedFrame, 30s, before);
    ASSERT_TRUE(next);
    EXPECT_EQ(next->Int("frame"), last + 1);
    EXPECT_EQ(next->Text("indices"), AllIndices(kHarnessTiles));
    ASSERT_TRUE(WaitStill(kStillTime));
    EXPECT_EQ(CountReceived("[RC00009]", m_onSeq), 0u) << "the lectern PC was told to stop";
}

// Both capture threads run (sound from the test build's tone) when the teacher ends
// the program: it ends without the crash handler.
TEST_F(ScreenUpTest, ExitWhileScreenUpAndSoundUpRunEndsCleanly) {
    m_programDir = e2e::WinCrashTestDir();
    m_programEnv["TAVREL_TEST_TONE"] = "440";
    const std::string panel = LogInForScreenUp();
    ASSERT_FALSE(panel.empty());
    StartAnimator(100, 250, 200, 150, 1);
    SwitchOn(panel);
    Press(panel, kSoundUpButton);
    ASSERT_TRUE(WaitFrame(3));
    ASSERT_TRUE(Log().WaitFor(
        [](const SimEvent& e) { return e.kind == "recv" && e.Int("type") == 11; }, 30s));
    AnswerExitQuestion(panel, kYesButton);
    EXPECT_TRUE(m_program.Wait(kProgramEndsMs)) << "the program did not end";
    EXPECT_FALSE(std::filesystem::exists(m_folder + "/TavrelDump.dmp")) << "it crashed";
    EXPECT_TRUE(WaitBox(kBoxTitle, 2000).empty()) << "a message was left on the screen";
}

TEST_F(ScreenUpTest, ScreenUpAndRemoteControlRefuseEachOther) {
    const std::string panel = LogInForScreenUp();
    ASSERT_FALSE(panel.empty());
    SwitchOn(panel);
    ASSERT_TRUE(WaitFrame(0));
    Press(panel, kRemoteButton);
    std::string box = WaitBox();
    ASSERT_FALSE(box.empty()) << "remote control was not refused";
    EXPECT_EQ(BoxText(box), kTextRemoteDeniedScreenUp);
    Press(box, kOkButton);
    EXPECT_EQ(CountReceived("[RC00004]", m_onSeq), 0u);
    SwitchOff(panel);

    ASSERT_TRUE(WaitEnabled(panel, kScreenUpButton));
    ASSERT_FALSE(StartRemote(panel).empty());
    const uint64_t before = Log().LastSeq();
    Press(panel, kScreenUpButton);
    box = WaitBox();
    ASSERT_FALSE(box.empty()) << "screen up was not refused";
    EXPECT_EQ(BoxText(box), kTextScreenUpDeniedRemote);
    Press(box, kOkButton);
    EXPECT_EQ(CountReceived("[RC00009]", before), 0u);
    EXPECT_EQ(UiDriver({"checked", panel, std::to_string(kScreenUpButton)}).out, "0");
}

// The folded panel is a layered window; the capture copies layered windows too, so the
// lectern PC sees the mini button where the pad shows it.
TEST_F(ScreenUpTest, TheFoldedPanelIsInThePicture) {
    const std::string panel = LogInForScreenUp();
    ASSERT_FALSE(panel.empty());
    SwitchOn(panel);
    ASSERT_TRUE(WaitFrame(0));
    ASSERT_TRUE(WaitEnabled(panel, kScreenUpButton));
    Press(panel, kFoldButton);
    // Folded, the panel is a square mini button of 70 pixels.
    int left = 0, top = 0, right = 0, bottom = 0;
    ASSERT_TRUE(PollUntil([&] {
        const std::vector<std::string> r = SplitFields(Info(panel).rect, ',');
        if (r.size() != 4) return false;
        left = std::stoi(r[0]), top = std::stoi(r[1]);
        right = std::stoi(r[2]), bottom = std::stoi(r[3]);
        return right - left == 70 && bottom - top == 70;
    })) << "the panel did not fold";
    ASSERT_TRUE(WaitStill(kStillTime));
    const std::string lectern = e2e::OutDir() + "/screenup-folded-lectern.png";
    const std::string pad = e2e::Screenshot("screenup-folded-pad");
    ASSERT_TRUE(m_classroom->Media()->WriteScreenUpPng(lectern));
    ASSERT_FALSE(pad.empty());
    // The mini button alone, where a missing window would stand out.
    const std::string area = "70x70+" + std::to_string(left) + "+" + std::to_string(top);
    const std::string lecternButton = e2e::OutDir() + "/screenup-folded-lectern-button.png";
    const std::string padButton = e2e::OutDir() + "/screenup-folded-pad-button.png";
    ASSERT_EQ(e2e::RunTool({"convert", lectern, "-crop", area, "+repage", lecternButton}).exitCode,
              0);
    ASSERT_EQ(e2e::RunTool({"convert", pad, "-crop", area, "+repage", padButton}).exitCode, 0);
    const double difference = PictureDifference(lecternButton, padButton);
    EXPECT_GE(difference, 0);
    // Sharp edges on a small area cost JPEG more (about 0.06); the desktop where the
    // button should be differs by about 0.19.
    constexpr double kButtonTolerance = 0.12;
    EXPECT_LT(difference, kButtonTolerance) << "the folded panel is not in the lectern's picture";
}
