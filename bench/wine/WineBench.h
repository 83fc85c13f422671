// What the benchmarks of the real program under Wine share: how many runs of how long,
// medians with every run beside them, the figures with the machine's load, the report
// under out/bench, and the CPU time of the processes involved (read from /proc).
//
//   TAVREL_BENCH_RUNS      runs per figure (default 3)
//   TAVREL_BENCH_SECONDS   measured seconds per run (default 10)
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace winebench {

int EnvInt(const char* name, int fallback);
int Runs();
int64_t MeasureMs();

double Median(std::vector<double> v);
// Nearest-rank percentile.
double Percentile(std::vector<double> v, double percent);
std::string Fixed(double value, int digits);
// "median (runs: run run run)"
std::string MedianOf(const std::vector<double>& runs, int digits);

// A figure, printed and kept for the report with the machine's load while it was
// taken (other work skews it).
void AddLine(const std::string& figure);
// Writes out/bench/<file>: a heading ("<title>, <date>: median of N runs of S s, C CPUs,
// program <dir>") and every figure. Nothing when no figure was taken.
void WriteReport(const std::string& file, const std::string& title, const std::string& program);

std::string ReadProc(const std::string& pid, const char* file);
// The first process whose command line, environment and executable all pass the test.
pid_t FindProcess(const std::function<bool(const std::string& cmdline, const std::string& environ,
                                           const std::string& exe)>& wanted);
// Whether a process's environment (NUL-separated) runs in the harness's Wine prefix:
// tests beside the benchmark run the same programs in prefixes of their own.
bool InHarnessPrefix(const std::string& environ);
// The program's Wine process started from `folder` (not the shell that started it).
pid_t ProgramProcess(const std::string& folder, const std::string& programName);
// The Wine server of the harness's prefix.
pid_t WineServerProcess();
// A child of this process whose executable's path holds `name` (the harness's Xvfb).
pid_t ChildProcess(const std::string& name);

// User and system CPU time of a process in seconds; 0 when it cannot be read.
double CpuSeconds(pid_t pid);

// The share of one core a process used since the meter was made, in percent.
class CpuMeter {
  public:
    explicit CpuMeter(pid_t pid) : m_pid(pid), m_cpu(CpuSeconds(pid)) {}
    double Percent() const;

  private:
    pid_t m_pid;
    double m_cpu;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

// The same for each thread of a process: its first thread (the program's main thread,
// which runs the dialog) and the busiest of the others.
class ThreadCpuMeter {
  public:
    explicit ThreadCpuMeter(pid_t pid) : m_pid(pid), m_start(ThreadCpuSeconds(pid)) {}
    struct Shares {
        double main = 0;     // percent of one core
        double busiest = 0;  // the busiest other thread
    };
    Shares Percent() const;
    // User and system CPU seconds of every thread of a process, by thread id.
    static std::map<pid_t, double> ThreadCpuSeconds(pid_t pid);

  private:
    pid_t m_pid;
    std::map<pid_t, double> m_start;
    std::chrono::steady_clock::time_point m_time = std::chrono::steady_clock::now();
};

}  // namespace winebench
