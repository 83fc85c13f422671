// Remote control of the real program under Wine against the in-process classroom,
// measured rather than tested: frames the pad acknowledges per second (and its CPU
// meanwhile), the time from an X input event to the lectern's mouse record, and the
// program's CPU use while idle.
// Each figure is the median of several runs; the figures are printed and written to
// out/bench/remote-wine.txt. Only sanity checks are asserted, never a time.
//
//   TAVREL_BENCH_RUNS      runs per figure (default 3)
//   TAVREL_BENCH_SECONDS   measured seconds per run (default 10)
#include "RemoteFixture.h"
#include "WineBench.h"
#include "protocol/Packet.h"

#include <cstdio>

using namespace remotetest;
using namespace winebench;

namespace {

constexpr int kLecternWidth = 1920, kLecternHeight = 1080;
constexpr int kPadWidth = 1024, kPadHeight = 768;
constexpr int64_t kWarmUpMs = 2000;  // the stream's start is left out
constexpr int kMoves = 200;          // pointer moves per latency run
constexpr auto kMovePace = 20ms;

ClassroomOptions FullHdLectern() {
    ClassroomOptions options;
    options.lectern.monitors = {MonitorRect{0, 0, kLecternWidth, kLecternHeight}};
    return options;
}

class RemoteWineBench : public RemoteTest {
  protected:
    struct StreamRun {
        double framesPerSecond = 0;
        double megabytesPerSecond = 0;
        double programCpu = 0;  // percent of one core
    };

    // One run: remote control started, warmed up, measured from the log, stopped.
    StreamRun MeasureStream(const std::string& panel) {
        StreamRun run;
        const std::string viewer = StartRemote(panel);
        EXPECT_FALSE(viewer.empty()) << "no viewer";
        if (viewer.empty()) return run;
        // StartRemote returns after the start, so the whole window is logged after this.
        std::this_thread::sleep_for(std::chrono::milliseconds(kWarmUpMs));
        const CpuMeter cpu(ProgramProcess());
        std::this_thread::sleep_for(std::chrono::milliseconds(MeasureMs()));
        run.programCpu = cpu.Percent();
        std::this_thread::sleep_for(500ms);
        const int64_t from = m_startMs + kWarmUpMs, to = from + MeasureMs();
        size_t acks = 0;
        int64_t bytes = 0;
        for (const SimEvent& e : Log().Events()) {
            if (e.seq <= m_startSeq || e.timeMs < from || e.timeMs >= to) continue;
            if (Received("lectern", "[RC00006]")(e))
                ++acks;
            else if (e.kind == "send" && e.Text("role") == "lectern" &&
                     e.Int("type") == kPacketFrame)
                bytes += e.Int("size");
        }
        EXPECT_GT(acks, 0u) << "no frame was acknowledged";
        const double seconds = double(MeasureMs()) / 1000;
        run.framesPerSecond = double(acks) / seconds;
        run.megabytesPerSecond = double(bytes) / 1e6 / seconds;
        StopRemote(panel, viewer);
        return run;
    }

    void StopRemote(const std::string& panel, const std::string& viewer) {
        const uint64_t before = Log().LastSeq();
        Press(panel, kRemoteButton);
        EXPECT_TRUE(Log().WaitFor(Received("lectern", "[RC00005]"), kRemoteStartTime, before));
        EXPECT_TRUE(WaitWindowGone(viewer)) << "the viewer stayed";
        EXPECT_TRUE(WaitEnabled(panel, kRemoteButton)) << "the button stayed disabled";
    }

    void BenchFrameRate(int inFlight) {
        ClassroomOptions options = FullHdLectern();
        options.media.frameIntervalMs = 0;
        options.media.maxInFlight = inFlight;
        const std::string panel = LogInWithStreamingLectern(options);
        ASSERT_FALSE(panel.empty());
        std::vector<double> fps, mbps, cpu;
        for (int i = 0; i < Runs() && !HasFailure(); ++i) {
            const StreamRun run = MeasureStream(panel);
            fps.push_back(run.framesPerSecond);
            mbps.push_back(run.megabytesPerSecond);
            cpu.push_back(run.programCpu);
        }
        AddLine("frames acknowledged/s, 1920x1080 (~10% of tiles change), unpaced, in flight " +
                std::to_string(inFlight) + ": " + MedianOf(fps, 1) + "; frames sent, MB/s: " +
                MedianOf(mbps, 2) + "; program CPU, %: " + MedianOf(cpu, 0));
    }

    struct Injected {
        uint64_t seq;
        int x, y;  // the lectern point it maps to
    };

    // Milliseconds from each injected move to the first mouse record at its point;
    // the moves that got none are counted as lost.
    std::vector<double> Latencies(const std::vector<Injected>& moves, size_t& lost) {
        const std::vector<SimEvent> events = Log().Events();
        std::vector<double> latencies;
        for (const Injected& move : moves) {
            auto at = std::find_if(events.begin(), events.end(),
                                   [&](const SimEvent& e) { return e.seq == move.seq; });
            const auto record = std::find_if(at, events.end(), [&](const SimEvent& e) {
                return e.kind == "mouse" && e.Int("message") == kWmMouseMove &&
                       e.Int("x") == move.x && e.Int("y") == move.y;
            });
            if (at == events.end() || record == events.end())
                ++lost;
            else
                latencies.push_back(double(record->timeMs - at->timeMs));
        }
        return latencies;
    }

    pid_t ProgramProcess() { return winebench::ProgramProcess(m_folder, kProgramName); }

    // CPU use of the program and of the Wine server over each run, in % of one core.
    void MeasureIdleCpu(pid_t program, pid_t server, std::vector<double>& programPercent,
                        std::vector<double>& serverPercent) {
        for (int i = 0; i < Runs(); ++i) {
            const CpuMeter programMeter(program), serverMeter(server);
            std::this_thread::sleep_for(std::chrono::milliseconds(MeasureMs()));
            programPercent.push_back(programMeter.Percent());
            serverPercent.push_back(serverMeter.Percent());
        }
    }

    void BenchInputLatency(bool stillScreen) {
        ClassroomOptions options = FullHdLectern();
        options.media.staticScreen = stillScreen;
        const std::string panel = LogInWithStreamingLectern(options);
        ASSERT_FALSE(panel.empty());
        ASSERT_FALSE(StartRemote(panel).empty()) << "no viewer";
        ASSERT_TRUE(WaitFrameAcks(stillScreen ? 1 : 10));
        // One xdotool for every move: it runs each line as it comes.
        FILE* xdo = popen("xdotool -", "w");
        ASSERT_NE(xdo, nullptr);
        std::vector<double> p50, p99;
        size_t lost = 0, measured = 0;
        for (int run = 0; run < Runs(); ++run) {
            std::vector<Injected> moves;
            for (int i = 0; i < kMoves; ++i) {
                // A new point each time (X drops a move to where the pointer is), in the
                // viewer and clear of the panel at the top right.
                const int x = 40 + (i * 37) % 760, y = 300 + (i * 53) % 440;
                const uint64_t seq = Log().Emit("inject", {{"x", x}, {"y", y}});
                std::fprintf(xdo, "mousemove %d %d\n", x, y);
                std::fflush(xdo);
                moves.push_back(
                    {seq, x * kLecternWidth / kPadWidth, y * kLecternHeight / kPadHeight});
                std::this_thread::sleep_for(kMovePace);
            }
            std::this_thread::sleep_for(1s);
            const std::vector<double> latencies = Latencies(moves, lost);
            measured += latencies.size();
            p50.push_back(Percentile(latencies, 50));
            p99.push_back(Percentile(latencies, 99));
        }
        pclose(xdo);
        EXPECT_GT(measured, 0u) << "no injected move reached the lectern";
        AddLine("input latency, X mousemove to the lectern's mouse record, ms (" +
                std::to_string(kMoves) + " moves 20 ms apart per run, " +
                (stillScreen ? "still screen" : "stream at 33 ms") + "): p50 " + MedianOf(p50, 0) +
                ", p99 " + MedianOf(p99, 0) + "; lost " + std::to_string(lost) + " of " +
                std::to_string(lost + measured));
    }
};

TEST_F(RemoteWineBench, FramesPerSecondInFlight3) { BenchFrameRate(3); }

TEST_F(RemoteWineBench, FramesPerSecondInFlight8) { BenchFrameRate(8); }

TEST_F(RemoteWineBench, InputLatency) { BenchInputLatency(false); }

// The same with nothing to decode: what Wine and X add on their own.
TEST_F(RemoteWineBench, InputLatencyStillScreen) { BenchInputLatency(true); }

TEST_F(RemoteWineBench, IdleCpu) {
    ClassroomOptions options = FullHdLectern();
    options.media.staticScreen = true;
    const std::string panel = LogInWithStreamingLectern(options);
    ASSERT_FALSE(panel.empty());
    const pid_t program = ProgramProcess(), server = winebench::WineServerProcess();
    ASSERT_GT(program, 0) << "the program's Wine process was not found";
    std::this_thread::sleep_for(2s);
    std::vector<double> panelOnly, panelServer, remote, remoteServer;
    MeasureIdleCpu(program, server, panelOnly, panelServer);

    ASSERT_FALSE(StartRemote(panel).empty()) << "no viewer";
    ASSERT_TRUE(WaitFrameAcks(1)) << "the still screen's frame was not acknowledged";
    std::this_thread::sleep_for(std::chrono::milliseconds(kWarmUpMs));
    MeasureIdleCpu(program, server, remote, remoteServer);
    const std::string seconds = std::to_string(MeasureMs() / 1000);
    AddLine("idle CPU over " + seconds + " s, % of one core, remote control on a still screen: " +
            "program " + MedianOf(remote, 1) + ", wineserver " + MedianOf(remoteServer, 1));
    AddLine("idle CPU over " + seconds + " s, % of one core, panel only: program " +
            MedianOf(panelOnly, 1) + ", wineserver " + MedianOf(panelServer, 1));
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    e2e::InstallEnvironment();
    const int status = RUN_ALL_TESTS();
    winebench::WriteReport("remote-wine.txt", "Remote control under Wine", ProgramSourceDir());
    return status;
}
