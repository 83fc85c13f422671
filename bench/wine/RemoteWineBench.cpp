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
#include "protocol/Packet.h"

#include <dirent.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <iomanip>
#include <iostream>

using namespace remotetest;

namespace {

constexpr int kLecternWidth = 1920, kLecternHeight = 1080;
constexpr int kPadWidth = 1024, kPadHeight = 768;
constexpr int64_t kWarmUpMs = 2000;  // the stream's start is left out
constexpr int kMoves = 200;          // pointer moves per latency run
constexpr auto kMovePace = 20ms;

int EnvInt(const char* name, int fallback) {
    const char* text = std::getenv(name);
    const int value = text != nullptr ? std::atoi(text) : 0;
    return value > 0 ? value : fallback;
}
int Runs() { return EnvInt("TAVREL_BENCH_RUNS", 3); }
int64_t MeasureMs() { return 1000LL * EnvInt("TAVREL_BENCH_SECONDS", 10); }

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 != 0 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Nearest-rank percentile.
double Percentile(std::vector<double> v, double percent) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t rank = size_t(std::ceil(percent / 100 * double(v.size())));
    return v[std::clamp<size_t>(rank, 1, v.size()) - 1];
}

std::string Fixed(double value, int digits) {
    std::ostringstream out;
    out << std::fixed << std::setprecision(digits) << value;
    return out.str();
}

// "median (run, run, run)"
std::string MedianOf(const std::vector<double>& runs, int digits) {
    std::string text = Fixed(Median(runs), digits) + " (runs:";
    for (double v : runs) text += " " + Fixed(v, digits);
    return text + ")";
}

std::vector<std::string>& Report() {
    static std::vector<std::string> lines;
    return lines;
}

// A figure, with the machine's load while it was taken (other work skews it).
void AddLine(const std::string& figure) {
    std::ifstream loadavg("/proc/loadavg");
    std::string load;
    loadavg >> load;
    const std::string line = figure + " [load " + load + "]";
    std::cout << "[bench] " << line << std::endl;
    Report().push_back(line);
}

std::string ReadProc(const std::string& pid, const char* file) {
    std::ifstream in("/proc/" + pid + "/" + file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The first process whose command line, environment and executable all pass the test.
pid_t FindProcess(const std::function<bool(const std::string& cmdline, const std::string& environ,
                                           const std::string& exe)>& wanted) {
    DIR* dir = opendir("/proc");
    if (dir == nullptr) return -1;
    pid_t found = -1;
    while (dirent* entry = readdir(dir)) {
        const std::string pid = entry->d_name;
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        char exe[4096];
        const ssize_t n = readlink(("/proc/" + pid + "/exe").c_str(), exe, sizeof exe - 1);
        if (n <= 0) continue;
        if (wanted(ReadProc(pid, "cmdline"), ReadProc(pid, "environ"),
                   std::string(exe, size_t(n)))) {
            found = pid_t(std::stoi(pid));
            break;
        }
    }
    closedir(dir);
    return found;
}

// User and system CPU time of a process in seconds; 0 when it cannot be read.
double CpuSeconds(pid_t pid) {
    if (pid <= 0) return 0;
    const std::string stat = ReadProc(std::to_string(pid), "stat");
    const size_t nameEnd = stat.rfind(')');
    if (nameEnd == std::string::npos) return 0;
    // After the name: state (field 3) ... utime (14), stime (15).
    std::istringstream fields(stat.substr(nameEnd + 1));
    std::string skipped;
    for (int field = 3; field < 14; ++field) fields >> skipped;
    unsigned long long user = 0, system = 0;
    fields >> user >> system;
    return double(user + system) / double(sysconf(_SC_CLK_TCK));
}

// The share of one core a process used since the meter was made, in percent.
class CpuMeter {
  public:
    explicit CpuMeter(pid_t pid) : m_pid(pid), m_cpu(CpuSeconds(pid)) {}
    double Percent() const {
        const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - m_start;
        return 100 * (CpuSeconds(m_pid) - m_cpu) / wall.count();
    }

  private:
    pid_t m_pid;
    double m_cpu;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

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

    // The program's Wine process (not the shell that started it) and the prefix's
    // Wine server.
    pid_t ProgramProcess() {
        const std::string folder = std::filesystem::path(m_folder).filename().string();
        return FindProcess(
            [&](const std::string& cmdline, const std::string&, const std::string& exe) {
                return cmdline.find(kProgramName) != std::string::npos &&
                       cmdline.find(folder) != std::string::npos &&
                       exe.find("/wine") != std::string::npos;
            });
    }
    static pid_t WineServerProcess() {
        const std::string variable = std::string("WINEPREFIX=") + e2e::WinePrefix() + '\0';
        return FindProcess(
            [&](const std::string&, const std::string& environ, const std::string& exe) {
                return exe.find("wineserver") != std::string::npos &&
                       (environ.find(variable) == 0 ||
                        environ.find('\0' + variable) != std::string::npos);
            });
    }

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
    const pid_t program = ProgramProcess(), server = WineServerProcess();
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

void WriteReport() {
    if (Report().empty()) return;
    const std::string dir = e2e::SourceDir() + "/out/bench";
    std::filesystem::create_directories(dir);
    std::ofstream out(dir + "/remote-wine.txt");
    const std::time_t now = std::time(nullptr);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M UTC", std::gmtime(&now));
    out << "Remote control under Wine, " << stamp << ": median of " << Runs() << " runs of "
        << MeasureMs() / 1000 << " s, " << sysconf(_SC_NPROCESSORS_ONLN) << " CPUs, program "
        << ProgramSourceDir() << "\n";
    for (const std::string& line : Report()) out << line << "\n";
    std::cout << "[bench] written to " << dir << "/remote-wine.txt" << std::endl;
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    e2e::InstallEnvironment();
    const int status = RUN_ALL_TESTS();
    WriteReport();
    return status;
}
