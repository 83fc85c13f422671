#include "Harness.h"

#include "ProgramIds.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

extern char** environ;

namespace e2e {

namespace {

using Clock = std::chrono::steady_clock;

int MsSince(Clock::time_point start) {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

std::string WineRunScript() { return SourceDir() + "/cmake/wine-run"; }

}  // namespace

Process::~Process() {
    if (m_pid > 0 && Running()) Kill();
    if (m_outFd >= 0) close(m_outFd);
}

bool Process::Start(const std::vector<std::string>& argv, const std::string& cwd,
                    const std::map<std::string, std::string>& extraEnv) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return false;
    pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        setpgid(0, 0);
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
        for (const auto& [name, value] : extraEnv) setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(pipeFds[1]);
    m_pid = pid;
    m_outFd = pipeFds[0];
    fcntl(m_outFd, F_SETFL, O_NONBLOCK);
    return true;
}

void Process::Drain(bool block) {
    if (m_outFd < 0) return;
    char buffer[4096];
    for (;;) {
        if (block) {
            pollfd p{m_outFd, POLLIN, 0};
            if (poll(&p, 1, 200) <= 0) return;
        }
        ssize_t n = read(m_outFd, buffer, sizeof buffer);
        if (n <= 0) return;
        m_out.append(buffer, static_cast<size_t>(n));
    }
}

bool Process::Running() {
    if (m_pid <= 0) return false;
    int status = 0;
    pid_t r = waitpid(m_pid, &status, WNOHANG);
    if (r == 0) return true;
    if (r == m_pid) {
        m_exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        m_pid = -1;
        Drain(true);
    }
    return false;
}

bool Process::Wait(int timeoutMs) {
    const auto start = Clock::now();
    while (Running()) {
        Drain(false);
        if (MsSince(start) > timeoutMs) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

void Process::Kill() {
    if (m_pid <= 0) return;
    kill(-m_pid, SIGKILL);
    kill(m_pid, SIGKILL);
    int status = 0;
    waitpid(m_pid, &status, 0);
    m_pid = -1;
}

std::string Process::Output() {
    Drain(false);
    return m_out;
}

std::string SourceDir() { return TAVREL_SOURCE_DIR; }
std::string WinBinDir() { return std::string(TAVREL_WIN_BUILD_DIR) + "/bin"; }
std::string WinCrashTestDir() { return std::string(TAVREL_WIN_BUILD_DIR) + "/crashtest"; }
// A run beside another one needs a prefix of its own: each run stops its Wine server
// at the end, and a prefix's virtual desktop lives on the display of whoever started it.
// The screen of another size has its own prefix too, as the virtual desktop's size is
// a setting of the prefix.
std::string WinePrefix() {
    const char* own = std::getenv("TAVREL_E2E_WINEPREFIX");
    if (own != nullptr && *own != '\0') return own;
    const std::string size = ScreenSize();
    return SourceDir() + "/build/wineprefix-e2e" + (size == kDefaultScreen ? "" : "-" + size);
}

std::string ScreenSize() {
    const char* size = std::getenv("TAVREL_E2E_SCREEN");
    return size != nullptr && *size != '\0' ? size : kDefaultScreen;
}

int ScreenWidth() { return std::atoi(ScreenSize().c_str()); }

int ScreenHeight() {
    const std::string size = ScreenSize();
    const size_t x = size.find('x');
    return x == std::string::npos ? 0 : std::atoi(size.c_str() + x + 1);
}
std::string OutDir() { return SourceDir() + "/out/e2e"; }

bool StartWine(Process& process, const std::vector<std::string>& argv, const std::string& cwd,
               const std::map<std::string, std::string>& extraEnv) {
    std::vector<std::string> full{WineRunScript(), WinePrefix()};
    full.insert(full.end(), argv.begin(), argv.end());
    return process.Start(full, cwd, extraEnv);
}

RunResult RunWine(const std::vector<std::string>& argv, const std::string& cwd, int timeoutMs) {
    RunResult result;
    Process process;
    if (!StartWine(process, argv, cwd)) return result;
    if (!process.Wait(timeoutMs)) {
        result.timedOut = true;
        process.Kill();
    }
    result.exitCode = process.ExitCode();
    result.out = process.Output();
    return result;
}

RunResult RunTool(const std::vector<std::string>& argv, int timeoutMs) {
    RunResult result;
    Process process;
    if (!process.Start(argv, "")) return result;
    if (!process.Wait(timeoutMs)) {
        result.timedOut = true;
        process.Kill();
    }
    result.exitCode = process.ExitCode();
    result.out = process.Output();
    while (!result.out.empty() && (result.out.back() == '\n' || result.out.back() == '\r'))
        result.out.pop_back();
    return result;
}

RunResult UiDriver(const std::vector<std::string>& args, int timeoutMs) {
    std::vector<std::string> argv{WinBinDir() + "/ui-driver.exe"};
    argv.insert(argv.end(), args.begin(), args.end());
    RunResult result = RunWine(argv, WinBinDir(), timeoutMs);
    // Windows texts may carry CR LF line ends; tests compare plain lines.
    std::string plain;
    for (char c : result.out) {
        if (c != '\r') plain += c;
    }
    result.out = plain;
    while (!result.out.empty() && (result.out.back() == '\n' || result.out.back() == '\r')) {
        result.out.pop_back();
    }
    return result;
}

std::string WaitBox(const std::string& caption, int timeoutMs) {
    // ui-driver gets the whole wait, and its own run some time beyond it.
    constexpr int kDriverSlackMs = 10000;
    RunResult found = UiDriver({"wait", "--class", kDialogClass, "--title", caption, "--timeout",
                                std::to_string(timeoutMs)},
                               timeoutMs + kDriverSlackMs);
    return found.exitCode == 0 ? found.out : "";
}

std::string BoxText(const std::string& box) {
    return UiDriver({"text", box, std::to_string(kBoxTextLabel)}).out;
}

std::string Screenshot(const std::string& name) {
    std::string dir = OutDir();
    std::string command =
        "mkdir -p '" + dir + "' && import -window root '" + dir + "/" + name + ".png' 2>/dev/null";
    if (std::system(command.c_str()) != 0) return "";
    return dir + "/" + name + ".png";
}

namespace {
constexpr char kProfileKey[] = "HKCU\\Software\\Vantor Login\\Vantor Tavrel\\config";
}

void SetProfileText(const std::string& name, const std::string& value) {
    RunResult r = RunWine({"reg", "add", kProfileKey, "/v", name, "/d", value, "/f"}, "");
    ASSERT_EQ(r.exitCode, 0) << "reg add " << name;
}

void DeleteProfileValue(const std::string& name) {
    RunWine({"reg", "delete", kProfileKey, "/v", name, "/f"}, "");
}

namespace {

class WineEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        // -displayfd lets the server pick a free display and tell us which.
        // A prefix for another screen size is made on first use (scripts/setup makes
        // the usual ones beforehand).
        const std::string make = "'" + SourceDir() + "/scripts/wine-prefix' '" + WinePrefix() +
                                 "' '" + ScreenSize() + "' >/dev/null 2>&1";
        ASSERT_EQ(std::system(make.c_str()), 0) << "no Wine prefix";
        const std::string screen = ScreenSize() + "x24";
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        m_xvfb = fork();
        if (m_xvfb == 0) {
            setpgid(0, 0);
            close(fds[0]);
            std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
                   "-nolisten", "tcp", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string display;
        char c;
        pollfd p{fds[0], POLLIN, 0};
        while (poll(&p, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') display += c;
        close(fds[0]);
        ASSERT_FALSE(display.empty()) << "Xvfb did not start";
        setenv("DISPLAY", (":" + display).c_str(), 1);
        setenv("WINEPREFIX", WinePrefix().c_str(), 1);
        // TAVREL_E2E_WINEDEBUG turns Wine's traces on for a run that needs them.
        const char* trace = std::getenv("TAVREL_E2E_WINEDEBUG");
        setenv("WINEDEBUG", trace != nullptr && *trace != '\0' ? trace : "-all", 1);
        std::system("wineserver -p >/dev/null 2>&1");
    }
    void TearDown() override {
        std::system("wineserver -k >/dev/null 2>&1");
        std::system("wineserver -w >/dev/null 2>&1");
        if (m_xvfb > 0) {
            kill(m_xvfb, SIGTERM);
            int status = 0;
            waitpid(m_xvfb, &status, 0);
        }
    }

  private:
    pid_t m_xvfb = -1;
};

// Registered before main runs, so every e2e test program has its display and server.
const bool g_bInstalled = [] {
    ::testing::AddGlobalTestEnvironment(new WineEnvironment);
    return true;
}();

}  // namespace

void InstallEnvironment() { (void)g_bInstalled; }

}  // namespace e2e
