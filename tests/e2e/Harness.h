// What every end-to-end test needs: a private X display with a Wine server, Windows
// programs started under Wine, ui-driver to work their windows, and screenshots.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace e2e {

struct RunResult {
    int exitCode = -1;
    bool timedOut = false;
    std::string out;  // standard output
};

// A child process with its standard output captured in the background.
class Process {
  public:
    Process() = default;
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool Start(const std::vector<std::string>& argv, const std::string& cwd,
               const std::map<std::string, std::string>& extraEnv = {});
    // True when the process ended within the time; its exit code is then stored.
    bool Wait(int timeoutMs);
    void Kill();
    bool Running();
    int ExitCode() const { return m_exitCode; }
    std::string Output();

  private:
    void Drain(bool block);
    pid_t m_pid = -1;
    int m_outFd = -1;
    int m_exitCode = -1;
    std::string m_out;
};

// Folders of the build under test.
std::string SourceDir();
std::string WinBinDir();        // build/win32/bin: the shipped program
std::string WinCrashTestDir();  // build/win32/crashtest: the build with test hooks
std::string WinePrefix();
std::string OutDir();  // out/e2e, for screenshots
// The test screen: TAVREL_E2E_SCREEN ("1920x1080"), 1024 x 768 when not given. The
// virtual screen, the Wine desktop and the prefix follow it.
constexpr char kDefaultScreen[] = "1024x768";
std::string ScreenSize();
int ScreenWidth();
int ScreenHeight();

// Runs a Windows program under Wine to its end.
RunResult RunWine(const std::vector<std::string>& argv, const std::string& cwd,
                  int timeoutMs = 30000);
// Starts a Windows program under Wine and returns at once.
bool StartWine(Process& process, const std::vector<std::string>& argv, const std::string& cwd,
               const std::map<std::string, std::string>& extraEnv = {});
// A native program (xdotool, ImageMagick) on the test display, run to its end; output
// trimmed of the last line break.
RunResult RunTool(const std::vector<std::string>& argv, int timeoutMs = 30000);
// ui-driver with its arguments; output trimmed of the last line break.
RunResult UiDriver(const std::vector<std::string>& args, int timeoutMs = 30000);
// A dialog of the program with this caption (its message boxes, the exit question):
// its handle, or "" when none came within the time.
std::string WaitBox(const std::string& caption, int timeoutMs);
// The text of one of the program's message boxes.
std::string BoxText(const std::string& box);
// Writes out/e2e/<name>.png from the whole virtual screen.
std::string Screenshot(const std::string& name);

// Profile values under HKCU\Software\Vantor Login\Vantor Tavrel\config.
void SetProfileText(const std::string& name, const std::string& value);
void DeleteProfileValue(const std::string& name);

// Starts Xvfb and a persistent wineserver for the test program's lifetime.
void InstallEnvironment();

}  // namespace e2e
