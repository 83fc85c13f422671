// The fixture of the screen-up tests: the program logged in against a lectern PC that
// rebuilds the pad's screen from the frames it receives, a window on the pad whose
// picture changes on a timer, and the frames as the lectern PC saw them.
#pragma once

#include "RemoteFixture.h"

#include <filesystem>
#include <set>

namespace screenuptest {

using namespace remotetest;

constexpr char kAnimatorName[] = "screen-animator.exe";
constexpr char kAnimatorCaption[] = "screen-animator";
// The button's pause after each press.
constexpr int kButtonPauseMs = 2000;

// One screen-up frame as the lectern PC received and decoded it.
struct SeenFrame {
    uint64_t seq = 0;
    int64_t timeMs = 0;
    int32_t number = -1;
    std::string result;
    std::string indices;
    std::string geometry;
    int64_t tiles = 0;
};

inline CEventLog::Predicate TextReceived(const std::string& code, const std::string& args) {
    return [code, args](const SimEvent& e) {
        return Received("lectern", code)(e) && e.Text("args") == args;
    };
}

inline bool IsDecodedFrame(const SimEvent& e) { return e.kind == "screenup_decoded"; }

inline bool IsFrameReceived(const SimEvent& e) {
    return e.kind == "recv" && e.Text("role") == "lectern" && e.Int("type") == 12;
}

// "0,1,2,...,count-1"
inline std::string AllIndices(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += (i > 0 ? "," : "") + std::to_string(i);
    return text;
}

class ScreenUpTest : public RemoteTest {
  protected:
    void TearDown() override {
        if (m_animator.Running()) m_animator.Kill();
        if (m_still.Running()) m_still.Kill();
        RemoteTest::TearDown();
    }

    // Logs in; the lectern PC acknowledges every `ackEvery`-th frame (0: none).
    std::string LogInForScreenUp(int ackEvery = 1) {
        ClassroomOptions options;
        options.lectern.screenUpAckEvery = ackEvery;
        return LogInWithStreamingLectern(options);
    }

    // Presses 화면올림 and waits for "[RC00009]start"; its event's sequence number.
    uint64_t SwitchOn(const std::string& panel) {
        const uint64_t before = Log().LastSeq();
        Press(panel, kScreenUpButton);
        auto start = Log().WaitFor(TextReceived("[RC00009]", "start"), kRemoteStartTime, before);
        EXPECT_TRUE(start) << "the lectern PC was not told that screen up starts";
        m_onSeq = start ? start->seq : before;
        return m_onSeq;
    }

    // Presses 화면올림 again and waits for "[RC00009]stop"; its sequence number.
    uint64_t SwitchOff(const std::string& panel) {
        EXPECT_TRUE(WaitEnabled(panel, kScreenUpButton)) << "the button stayed paused";
        const uint64_t before = Log().LastSeq();
        Press(panel, kScreenUpButton);
        auto stop = Log().WaitFor(TextReceived("[RC00009]", "stop"), kRemoteStartTime, before);
        EXPECT_TRUE(stop) << "the lectern PC was not told that screen up stops";
        return stop ? stop->seq : Log().LastSeq();
    }

    // The frames decoded after the event `afterSeq`, in arrival order.
    std::vector<SeenFrame> Frames(uint64_t afterSeq = 0) {
        std::vector<SeenFrame> frames;
        for (const SimEvent& e : Log().Events()) {
            if (e.seq <= afterSeq || !IsDecodedFrame(e)) continue;
            SeenFrame f;
            f.seq = e.seq;
            f.timeMs = e.timeMs;
            f.number = static_cast<int32_t>(e.Int("frame", -1));
            f.result = e.Text("result");
            f.indices = e.Text("indices");
            f.geometry = e.Text("geometry");
            f.tiles = e.Int("tiles");
            frames.push_back(f);
        }
        return frames;
    }

    std::vector<int32_t> FrameNumbers(uint64_t afterSeq = 0) {
        std::vector<int32_t> numbers;
        for (const SeenFrame& f : Frames(afterSeq)) numbers.push_back(f.number);
        return numbers;
    }

    // Waits for the decoded frame of this number; its record.
    std::optional<SeenFrame> WaitFrame(int32_t number, std::chrono::milliseconds timeout = 30s) {
        auto e = Log().WaitFor(
            [number](const SimEvent& ev) {
                return IsDecodedFrame(ev) && ev.Int("frame") == number;
            },
            timeout, m_onSeq);
        if (!e) return std::nullopt;
        for (const SeenFrame& f : Frames(e->seq - 1))
            if (f.seq == e->seq) return f;
        return std::nullopt;
    }

    // Switches on, waits for frame 0 and the end of the button's pause, then for the
    // screen to stand still: what a test that changes the screen starts from.
    bool SwitchOnAndWaitStill(const std::string& panel) {
        SwitchOn(panel);
        return WaitFrame(0) && WaitEnabled(panel, kScreenUpButton) && WaitStill(5s);
    }

    // Waits until no frame has arrived for `quiet`; false when frames still came at the
    // end of the time.
    bool WaitStill(std::chrono::milliseconds quiet, std::chrono::milliseconds timeout = 60s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            if (!Log().WaitFor(IsFrameReceived, quiet, Log().LastSeq())) return true;
        }
        return false;
    }

    // Starts the window that changes on a timer and waits for it to show.
    void StartAnimator(int x, int y, int width, int height, int intervalMs = 15) {
        StartAnimatorIn(m_animator, x, y, width, height, intervalMs);
        m_animatorWindow = m_lastWindow;
    }

    // A coloured block with a number that stays as it is: something besides the
    // desktop's plain colour for the picture comparisons.
    void StartStillWindow(int x, int y, int width, int height) {
        constexpr int kNeverMs = 100000000;
        StartAnimatorIn(m_still, x, y, width, height, kNeverMs);
    }

    void StartAnimatorIn(Process& process, int x, int y, int width, int height, int intervalMs) {
        ASSERT_TRUE(e2e::StartWine(
            process,
            {e2e::WinBinDir() + "/" + kAnimatorName, std::to_string(x), std::to_string(y),
             std::to_string(width), std::to_string(height), std::to_string(intervalMs)},
            e2e::WinBinDir()));
        const std::string caption =
            std::string(kAnimatorCaption) + " " + std::to_string(x) + "," + std::to_string(y);
        RunResult shown = UiDriver(
            {"wait", "--all", "--title", caption, "--timeout", std::to_string(kWindowWaitMs)},
            kWindowWaitMs + 10000);
        ASSERT_EQ(shown.exitCode, 0) << "the animated window did not show";
        m_lastWindow = shown.out;
    }

    void StopAnimator() {
        if (!m_animatorWindow.empty()) UiDriver({"close", m_animatorWindow});
        EXPECT_TRUE(m_animator.Wait(kProgramEndsMs));
        m_animatorWindow.clear();
    }

    // The picture the lectern PC rebuilt and a screenshot of the pad, both written
    // under out/e2e; their normalised RMSE (negative when they could not be compared).
    double CompareWithScreen(const std::string& name) {
        const std::string lectern = e2e::OutDir() + "/" + name + "-lectern.png";
        if (!m_classroom->Media() || !m_classroom->Media()->WriteScreenUpPng(lectern)) return -1;
        const std::string pad = e2e::Screenshot(name + "-pad");
        if (pad.empty()) return -1;
        return PictureDifference(lectern, pad);
    }

    Process m_animator;
    Process m_still;
    std::string m_animatorWindow;
    std::string m_lastWindow;
    uint64_t m_onSeq = 0;
};

}  // namespace screenuptest
