#include "WineBench.h"

#include "Harness.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <iterator>
#include <sstream>

namespace winebench {

namespace {

std::vector<std::string>& Lines() {
    static std::vector<std::string> lines;
    return lines;
}

// Field `field` (counted from 1 as in proc(5)) of /proc/<pid>/stat, or "".
std::string StatField(const std::string& pid, int field) {
    const std::string stat = ReadProc(pid, "stat");
    const size_t nameEnd = stat.rfind(')');
    if (nameEnd == std::string::npos) return "";
    // After the name comes the state, field 3.
    std::istringstream fields(stat.substr(nameEnd + 1));
    std::string value;
    for (int i = 3; i <= field; ++i) fields >> value;
    return value;
}

}  // namespace

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

std::string MedianOf(const std::vector<double>& runs, int digits) {
    std::string text = Fixed(Median(runs), digits) + " (runs:";
    for (double v : runs) text += " " + Fixed(v, digits);
    return text + ")";
}

void AddLine(const std::string& figure) {
    std::ifstream loadavg("/proc/loadavg");
    std::string load;
    loadavg >> load;
    const std::string line = figure + " [load " + load + "]";
    std::cout << "[bench] " << line << std::endl;
    Lines().push_back(line);
}

void WriteReport(const std::string& file, const std::string& title, const std::string& program) {
    if (Lines().empty()) return;
    const std::string dir = e2e::SourceDir() + "/out/bench";
    std::filesystem::create_directories(dir);
    std::ofstream out(dir + "/" + file);
    const std::time_t now = std::time(nullptr);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M UTC", std::gmtime(&now));
    out << title << ", " << stamp << ": median of " << Runs() << " runs of " << MeasureMs() / 1000
        << " s, " << sysconf(_SC_NPROCESSORS_ONLN) << " CPUs, program " << program << "\n";
    for (const std::string& line : Lines()) out << line << "\n";
    std::cout << "[bench] written to " << dir << "/" << file << std::endl;
}

std::string ReadProc(const std::string& pid, const char* file) {
    std::ifstream in("/proc/" + pid + "/" + file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

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

pid_t ProgramProcess(const std::string& folder, const std::string& programName) {
    const std::string name = std::filesystem::path(folder).filename().string();
    return FindProcess(
        [&](const std::string& cmdline, const std::string& environ, const std::string& exe) {
            return cmdline.find(programName) != std::string::npos &&
                   cmdline.find(name) != std::string::npos &&
                   exe.find("/wine") != std::string::npos && InHarnessPrefix(environ);
        });
}

bool InHarnessPrefix(const std::string& environ) {
    const std::string variable = std::string("WINEPREFIX=") + e2e::WinePrefix() + '\0';
    return environ.find(variable) == 0 || environ.find('\0' + variable) != std::string::npos;
}

pid_t WineServerProcess() {
    return FindProcess([&](const std::string&, const std::string& environ, const std::string& exe) {
        return exe.find("wineserver") != std::string::npos && InHarnessPrefix(environ);
    });
}

pid_t ChildProcess(const std::string& name) {
    const std::string parent = std::to_string(getpid());
    DIR* dir = opendir("/proc");
    if (dir == nullptr) return -1;
    pid_t found = -1;
    while (dirent* entry = readdir(dir)) {
        const std::string pid = entry->d_name;
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        char exe[4096];
        const ssize_t n = readlink(("/proc/" + pid + "/exe").c_str(), exe, sizeof exe - 1);
        if (n <= 0 || std::string(exe, size_t(n)).find(name) == std::string::npos) continue;
        if (StatField(pid, 4) == parent) {
            found = pid_t(std::stoi(pid));
            break;
        }
    }
    closedir(dir);
    return found;
}

namespace {

// User and system CPU seconds from a stat file's folder ("123" or "123/task/124").
double StatCpuSeconds(const std::string& id) {
    const std::string user = StatField(id, 14), system = StatField(id, 15);
    if (user.empty() || system.empty()) return 0;
    return double(std::stoull(user) + std::stoull(system)) / double(sysconf(_SC_CLK_TCK));
}

}  // namespace

double CpuSeconds(pid_t pid) { return pid > 0 ? StatCpuSeconds(std::to_string(pid)) : 0; }

double CpuMeter::Percent() const {
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - m_start;
    return 100 * (CpuSeconds(m_pid) - m_cpu) / wall.count();
}

std::map<pid_t, double> ThreadCpuMeter::ThreadCpuSeconds(pid_t pid) {
    std::map<pid_t, double> seconds;
    if (pid <= 0) return seconds;
    const std::string folder = std::to_string(pid) + "/task";
    DIR* dir = opendir(("/proc/" + folder).c_str());
    if (dir == nullptr) return seconds;
    while (dirent* entry = readdir(dir)) {
        const std::string tid = entry->d_name;
        if (tid.find_first_not_of("0123456789") != std::string::npos) continue;
        seconds[pid_t(std::stoi(tid))] = StatCpuSeconds(folder + "/" + tid);
    }
    closedir(dir);
    return seconds;
}

ThreadCpuMeter::Shares ThreadCpuMeter::Percent() const {
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - m_time;
    Shares shares;
    for (const auto& [tid, now] : ThreadCpuSeconds(m_pid)) {
        // A thread that started meanwhile counts from nothing.
        const auto before = m_start.find(tid);
        const double percent =
            100 * (now - (before != m_start.end() ? before->second : 0)) / wall.count();
        if (tid == m_pid)
            shares.main = percent;
        else
            shares.busiest = std::max(shares.busiest, percent);
    }
    return shares;
}

}  // namespace winebench
