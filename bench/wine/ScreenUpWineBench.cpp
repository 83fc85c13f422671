// Screen up of the real program under Wine against the in-process classroom, measured
// rather than tested, on a 1920 x 1080 screen (a grid of 16 x 8 tiles of 120 x 135):
// the frames the lectern PC receives per second while a window aligned to twelve tiles
// changes, their sizes and the CPU it costs (the program's main thread, which sends each
// frame while the capture thread waits for it, apart from the others), and the CPU of
// screen up on a still screen beside the panel alone.
// Each figure is the median of several runs; the figures are printed and written to
// out/bench/screenup-wine.txt. Only sanity checks are asserted, never a time.
//
//   TAVREL_BENCH_RUNS      runs per figure (default 3)
//   TAVREL_BENCH_SECONDS   measured seconds per run (default 10)
//   TAVREL_E2E_SCREEN      the screen (1920x1080 unless given; the figures assume it)
//   TAVREL_E2E_WINEPREFIX  Wine prefix (build/wineprefix-bench-1920x1080 unless given)
#include "ScreenUpFixture.h"
#include "WineBench.h"

#include <cstdlib>

using namespace screenuptest;
using namespace winebench;

namespace {

constexpr int kScreenWidth = 1920, kScreenHeight = 1080;
constexpr int kTileWidth = 120, kTileHeight = 135;
constexpr int kGridTiles = (kScreenWidth / kTileWidth) * (kScreenHeight / kTileHeight);
// The animated window: columns 0-3 and rows 1-3 of the grid, exactly on tile edges, so
// that every frame carries these twelve tiles and no other (about a tenth).
constexpr int kAnimatorX = 0, kAnimatorY = kTileHeight;
constexpr int kAnimatorColumns = 4, kAnimatorRows = 3;
constexpr int kAnimatorTiles = kAnimatorColumns * kAnimatorRows;
// The start of screen up (its first frame carries every tile) is left out.
constexpr auto kWarmUp = 2s;
// The still screen is measured from this long after the start.
constexpr auto kStillSettle = 3s;

struct UpRun {
    double framesPerSecond = 0;
    double kilobytesPerSecond = 0;  // deflated frame data
    std::vector<double> tiles, deflated, blocks;
    std::vector<double> gapsMs;  // between arrivals
    size_t frames = 0, fullFrames = 0;
    int64_t dropped = 0;  // frame numbers the pad's window held back
    double programCpu = 0, serverCpu = 0, xvfbCpu = 0, animatorCpu = 0;
    ThreadCpuMeter::Shares threads;  // of the program
};

// "p50 a, p90 b"
std::string Spread(const std::vector<double>& values, int digits) {
    return "p50 " + Fixed(Percentile(values, 50), digits) + ", p90 " +
           Fixed(Percentile(values, 90), digits);
}

class ScreenUpWineBench : public ScreenUpTest {
  protected:
    void SetUp() override {
        ScreenUpTest::SetUp();
        ASSERT_TRUE(e2e::ScreenWidth() == kScreenWidth && e2e::ScreenHeight() == kScreenHeight)
            << "the figures are of a 1920x1080 screen, not " << e2e::ScreenSize();
    }

    pid_t ProgramProcess() { return winebench::ProgramProcess(m_folder, kProgramName); }

    pid_t AnimatorProcess() {
        return FindProcess(
            [](const std::string& cmdline, const std::string& environ, const std::string& exe) {
                return cmdline.find(kAnimatorName) != std::string::npos &&
                       exe.find("/wine") != std::string::npos && InHarnessPrefix(environ);
            });
    }

    // One run: screen up switched on, warmed up, measured, switched off.
    UpRun MeasureRun(const std::string& panel) {
        UpRun run;
        EXPECT_TRUE(WaitEnabled(panel, kScreenUpButton)) << "the button stayed paused";
        SwitchOn(panel);
        if (!WaitFrame(0)) {
            ADD_FAILURE() << "no frame arrived";
            return run;
        }
        std::this_thread::sleep_for(kWarmUp);
        CUpStats& stats = m_classroom->Lectern().Stats();
        stats.ResetScreenUp();
        const uint64_t from = Log().LastSeq();
        const pid_t programId = ProgramProcess();
        const CpuMeter program(programId), server(WineServerProcess()), xvfb(ChildProcess("Xvfb")),
            animator(AnimatorProcess());
        const ThreadCpuMeter threads(programId);
        std::this_thread::sleep_for(std::chrono::milliseconds(MeasureMs()));
        run.threads = threads.Percent();
        run.programCpu = program.Percent();
        run.serverCpu = server.Percent();
        run.xvfbCpu = xvfb.Percent();
        run.animatorCpu = animator.Percent();
        const ScreenUpStats counted = stats.ScreenUp();
        const uint64_t to = Log().LastSeq();
        run.framesPerSecond = double(counted.fpsX100) / 100;
        run.kilobytesPerSecond = double(counted.bytesPerS) / 1000;
        ReadFrames(run, from, to);
        SwitchOff(panel);
        return run;
    }

    // Sizes, tiles, gaps and dropped numbers of the frames received between two events.
    void ReadFrames(UpRun& run, uint64_t from, uint64_t to) {
        int64_t first = -1, last = -1, previousMs = -1;
        for (const SimEvent& e : Log().Events()) {
            if (e.seq <= from || e.seq > to || !IsFrameReceived(e)) continue;
            const int64_t number = e.Int("frame");
            if (first < 0) first = number;
            last = number;
            ++run.frames;
            run.deflated.push_back(double(e.Int("bytes")));
            run.blocks.push_back(double(e.Int("ulen")));
            if (previousMs >= 0) run.gapsMs.push_back(double(e.timeMs - previousMs));
            previousMs = e.timeMs;
        }
        EXPECT_GT(run.frames, 0u) << "no frame arrived while the window changed";
        if (run.frames == 0) return;
        run.dropped = last - first + 1 - int64_t(run.frames);
        // Decoding runs behind reception; the tiles are known once the last one is done.
        EXPECT_TRUE(WaitFrame(int32_t(last))) << "frame " << last << " was not decoded";
        for (const SeenFrame& f : Frames(from)) {
            if (f.number < first || f.number > last) continue;
            run.tiles.push_back(double(f.tiles));
            if (f.tiles == kGridTiles) ++run.fullFrames;
        }
    }

    void BenchFrameRate(int intervalMs, int ackEvery = 1) {
        const std::string panel = LogInForScreenUp(ackEvery);
        ASSERT_FALSE(panel.empty());
        StartAnimator(kAnimatorX, kAnimatorY, kAnimatorColumns * kTileWidth,
                      kAnimatorRows * kTileHeight, intervalMs);
        if (HasFatalFailure()) return;
        ASSERT_GT(ProgramProcess(), 0) << "the program's Wine process was not found";
        std::vector<double> fps, kbps, tiles, deflated, blocks, gaps, program, mainThread,
            otherThread, mainPerFrame, otherPerFrame, server, xvfb, animator;
        size_t frames = 0, fullFrames = 0;
        int64_t dropped = 0;
        for (int i = 0; i < Runs() && !HasFailure(); ++i) {
            const UpRun run = MeasureRun(panel);
            fps.push_back(run.framesPerSecond);
            kbps.push_back(run.kilobytesPerSecond);
            tiles.insert(tiles.end(), run.tiles.begin(), run.tiles.end());
            deflated.insert(deflated.end(), run.deflated.begin(), run.deflated.end());
            blocks.insert(blocks.end(), run.blocks.begin(), run.blocks.end());
            gaps.insert(gaps.end(), run.gapsMs.begin(), run.gapsMs.end());
            frames += run.frames;
            fullFrames += run.fullFrames;
            dropped += run.dropped;
            program.push_back(run.programCpu);
            mainThread.push_back(run.threads.main);
            otherThread.push_back(run.threads.busiest);
            // % of a core is ms per second; over the frames of that second.
            if (run.framesPerSecond > 0) {
                mainPerFrame.push_back(run.threads.main * 10 / run.framesPerSecond);
                otherPerFrame.push_back(run.threads.busiest * 10 / run.framesPerSecond);
            }
            server.push_back(run.serverCpu);
            xvfb.push_back(run.xvfbCpu);
            animator.push_back(run.animatorCpu);
        }
        const std::string share = std::to_string(kAnimatorTiles) + " of " +
                                  std::to_string(kGridTiles) + " tiles (" +
                                  Fixed(100.0 * kAnimatorTiles / kGridTiles, 1) + "%)";
        const std::string what =
            "1920x1080, " + share + " repainted every " + std::to_string(intervalMs) + " ms, " +
            (ackEvery == 1 ? "every frame" : "every " + std::to_string(ackEvery) + "rd frame") +
            " acknowledged";
        AddLine("screen-up frames received/s, " + what + ": " + MedianOf(fps, 1) +
                "; deflated kB/s: " + MedianOf(kbps, 0));
        AddLine("  frames of those runs (" + std::to_string(frames) + "): tiles per frame p50 " +
                Fixed(Median(tiles), 0) + ", full refreshes " + std::to_string(fullFrames) +
                "; deflated bytes " + Spread(deflated, 0) + "; block bytes " + Spread(blocks, 0) +
                "; ms between arrivals " + Spread(gaps, 0) + "; numbers the pad's window dropped " +
                std::to_string(dropped));
        AddLine("  CPU meanwhile, % of one core: program " + MedianOf(program, 0) +
                "; its main thread " + MedianOf(mainThread, 0) + ", its busiest other thread " +
                MedianOf(otherThread, 0) + "; wineserver " + MedianOf(server, 0) + ", Xvfb " +
                MedianOf(xvfb, 0) + ", animator " + MedianOf(animator, 0));
        AddLine("  CPU per frame received, ms: main thread " + MedianOf(mainPerFrame, 1) +
                ", busiest other thread " + MedianOf(otherPerFrame, 1));
    }

    // CPU of the program and of the Wine server over each run, in % of one core.
    struct CpuRuns {
        std::vector<double> program, mainThread, otherThread, server;
    };
    CpuRuns MeasureCpu(pid_t program, pid_t server) {
        CpuRuns runs;
        for (int i = 0; i < Runs(); ++i) {
            const CpuMeter programMeter(program), serverMeter(server);
            const ThreadCpuMeter threads(program);
            std::this_thread::sleep_for(std::chrono::milliseconds(MeasureMs()));
            const ThreadCpuMeter::Shares shares = threads.Percent();
            runs.program.push_back(programMeter.Percent());
            runs.mainThread.push_back(shares.main);
            runs.otherThread.push_back(shares.busiest);
            runs.server.push_back(serverMeter.Percent());
        }
        return runs;
    }

    static std::string CpuText(const CpuRuns& runs) {
        return "program " + MedianOf(runs.program, 1) + "; its main thread " +
               MedianOf(runs.mainThread, 1) + ", its busiest other thread " +
               MedianOf(runs.otherThread, 1) + "; wineserver " + MedianOf(runs.server, 1);
    }
};

TEST_F(ScreenUpWineBench, FramesPerSecondAnimatorEvery15ms) { BenchFrameRate(15); }

// The animator faster than any cycle: every cycle finds a change, so the frames show
// the capture cycle's own rate.
TEST_F(ScreenUpWineBench, FramesPerSecondAnimatorEvery1ms) { BenchFrameRate(1); }

// Fewer acknowledgements for the pad to read: what each one costs its main thread,
// which the capture thread's hand-over waits for.
TEST_F(ScreenUpWineBench, FramesPerSecondEvery3rdFrameAcknowledged) { BenchFrameRate(15, 3); }

TEST_F(ScreenUpWineBench, StillScreenCpu) {
    const std::string panel = LogInForScreenUp(1);
    ASSERT_FALSE(panel.empty());
    const pid_t program = ProgramProcess(), server = WineServerProcess();
    ASSERT_GT(program, 0) << "the program's Wine process was not found";
    // The login's last painting is left out of the panel's figure.
    std::this_thread::sleep_for(2s);
    const CpuRuns panelOnly = MeasureCpu(program, server);

    ASSERT_TRUE(WaitEnabled(panel, kScreenUpButton));
    SwitchOn(panel);
    // The start was seen as it came, so the settling time counts from here.
    const auto settled = std::chrono::steady_clock::now() + kStillSettle;
    ASSERT_TRUE(WaitFrame(0)) << "no frame arrived";
    std::this_thread::sleep_until(settled);
    const uint64_t from = Log().LastSeq();
    const CpuRuns on = MeasureCpu(program, server);
    size_t frames = 0;
    for (const SimEvent& e : Log().Events())
        if (e.seq > from && IsFrameReceived(e)) ++frames;
    SwitchOff(panel);
    const std::string seconds = std::to_string(MeasureMs() / 1000);
    AddLine("CPU over " + seconds + " s, % of one core, screen up on a still screen (from 3 s " +
            "after the start): " + CpuText(on) + "; frames received meanwhile " +
            std::to_string(frames));
    AddLine("CPU over " + seconds + " s, % of one core, panel only: " + CpuText(panelOnly));
}

}  // namespace

int main(int argc, char** argv) {
    // The grid, the animated tiles and the Wine desktop (a setting of the prefix) are
    // those of a 1920 x 1080 screen, so that screen and a prefix of its own are the
    // default; the remote-control benchmark keeps build/wineprefix-bench at 1024 x 768.
    setenv("TAVREL_E2E_SCREEN", "1920x1080", 0);
    const char* prefix = std::getenv("TAVREL_E2E_WINEPREFIX");
    if (prefix == nullptr || *prefix == '\0')
        setenv("TAVREL_E2E_WINEPREFIX",
               (e2e::SourceDir() + "/build/wineprefix-bench-1920x1080").c_str(), 1);
    ::testing::InitGoogleTest(&argc, argv);
    e2e::InstallEnvironment();
    const int status = RUN_ALL_TESTS();
    WriteReport("screenup-wine.txt", "Screen up under Wine (" + e2e::ScreenSize() + " screen)",
                ProgramSourceDir());
    return status;
}
