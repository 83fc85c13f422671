#include "UpdaterFixture.h"

#ifdef TAVREL_HAVE_CLASSROOM_SIM

#include <dirent.h>
#include <signal.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "web/PeVersion.h"

namespace e2e {

namespace fs = std::filesystem;

namespace {

constexpr char kKoreanLocale[] = "ko_KR.UTF-8";

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "<missing>";
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

// Other test runs may have Wine programs of the same name in prefixes of their own.
bool InOurPrefix(const char* pid) {
    std::ifstream in(std::string("/proc/") + pid + "/environ", std::ios::binary);
    const std::string wanted = "WINEPREFIX=" + WinePrefix();
    std::string variable;
    while (std::getline(in, variable, '\0')) {
        if (variable == wanted) return true;
    }
    return false;
}

// Linux processes that run a Windows program of this name: Wine puts the program's
// Windows path first on the command line.
std::vector<pid_t> WineProcesses(const std::string& exeName) {
    std::vector<pid_t> found;
    DIR* proc = opendir("/proc");
    if (proc == nullptr) return found;
    const std::string wanted = Lower(exeName);
    while (dirent* entry = readdir(proc)) {
        if (!std::isdigit(static_cast<unsigned char>(entry->d_name[0]))) continue;
        std::ifstream in(std::string("/proc/") + entry->d_name + "/cmdline", std::ios::binary);
        std::string first;
        std::getline(in, first, '\0');
        first = Lower(first);
        const size_t slash = first.find_last_of("\\/");
        const std::string name = slash == std::string::npos ? first : first.substr(slash + 1);
        if (name == wanted && InOurPrefix(entry->d_name)) found.push_back(std::atoi(entry->d_name));
    }
    closedir(proc);
    return found;
}

}  // namespace

void UpdaterTest::SetUp() {
    m_strStartSuffix = TodaySuffix();
    ASSERT_EQ(std::system((SourceDir() + "/scripts/make-sim-cert >/dev/null").c_str()), 0);
    KillRunning(kUpdaterName);
    KillRunning(kTargetName);
    DeleteProfileValue("language");
    const std::string winBuild = TAVREL_WIN_BUILD_DIR;
    m_oldSources = {
        {kUpdaterName, winBuild + "/updater-test/" + kUpdaterName},
        {kTargetName, winBuild + "/bin/" + kTargetName},
        {kLanguageModule, winBuild + "/bin/" + kLanguageModule},
    };
    // The served release: the newer build, copied so that a test may change it.
    m_strServeDir = OutDir() + "/updater/serve";
    std::error_code ignored;
    fs::remove_all(m_strServeDir, ignored);
    fs::create_directories(m_strServeDir + "/language");
    const std::string next = winBuild + "/release-next/";
    for (const char* name : {kUpdaterName, kTargetName, kLanguageModule}) {
        ASSERT_TRUE(fs::exists(next + name)) << "the newer release lacks " << name;
        fs::copy_file(next + name, m_strServeDir + "/" + name);
    }
    InstallOldRelease();

    ClassroomOptions options;
    options.withWeb = true;
    options.withMedia = false;
    options.web.https = true;
    options.web.certFile = SourceDir() + "/build/sim-cert/cert.pem";
    options.web.keyFile = SourceDir() + "/build/sim-cert/key.pem";
    options.updateFolder = m_strServeDir;
    m_classroom = std::make_unique<CClassroom>(options);
    ASSERT_TRUE(m_classroom->Start()) << "the classroom did not start";
    // config.ini of the program folder names the simulated web server. UTF-16 with its
    // mark, as the program keeps it, so that the started program leaves it as it is.
    const std::string text =
        "[default]\r\nloginhttps=https://127.0.0.1:" + std::to_string(m_classroom->HttpsPort()) +
        "\r\nloginhttp=http://127.0.0.1:" + std::to_string(m_classroom->HttpPort()) + "\r\n";
    std::string utf16 = "\xFF\xFE";
    for (char c : text) utf16 += std::string{c, '\0'};
    std::ofstream(ProgramDir() + "/config.ini", std::ios::binary) << utf16;
}

void UpdaterTest::TearDown() {
    if (HasFailure()) {
        Screenshot(std::string("failed-") +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        // What the updater said and what the server saw, for the failure's story.
        const std::string window = WaitUpdaterWindow(1000);
        if (!window.empty()) {
            for (const std::string& line : ProgressLines(window))
                std::cerr << "  | " << line << "\n";
        }
        if (m_classroom) {
            for (const UpdateRequestRecord& r : Server().Requests()) {
                std::cerr << "  > " << r.scheme << " " << r.pageName << " " << r.query << " "
                          << r.status << " " << r.bytes << " " << r.misbehaviour << "\n";
            }
        }
        for (const std::string& file : ProgramFiles()) std::cerr << "  = " << file << "\n";
    }
    KillRunning(kUpdaterName);
    KillRunning(kTargetName);
    KillRunning("file-holder.exe");
    if (m_classroom) m_classroom->Stop();
    DeleteProfileValue("language");
}

std::string UpdaterTest::ProgramDir() const { return WinePrefix() + "/drive_c/vantor-test"; }

void UpdaterTest::InstallOldRelease() {
    std::error_code ignored;
    fs::remove_all(ProgramDir(), ignored);
    fs::create_directories(ProgramDir() + "/language");
    for (const auto& [name, source] : m_oldSources) {
        ASSERT_TRUE(fs::exists(source)) << "no build of " << source;
        fs::copy_file(source, ProgramDir() + "/" + name);
    }
}

void UpdaterTest::StartUpdater(Process& process, const std::string& periods) {
    ASSERT_TRUE(StartWine(process, {ProgramDirWin() + "\\" + kUpdaterName}, ProgramDir(),
                          {{"TAVREL_UPDATER_PERIODS_MS", periods},
                           {"LANG", kKoreanLocale},
                           {"LC_ALL", kKoreanLocale}}));
}

std::string UpdaterTest::WaitUpdaterWindow(int timeoutMs) {
    const RunResult found =
        UiDriver({"wait", "--title", kUpdaterTitle, "--timeout", std::to_string(timeoutMs)},
                 timeoutMs + 10000);
    return found.exitCode == 0 ? found.out : std::string();
}

std::vector<std::string> UpdaterTest::ProgressLines(const std::string& window) {
    const RunResult items = UiDriver({"items", window, std::to_string(kProgressList)});
    std::vector<std::string> lines;
    if (items.exitCode != 0 || items.out.empty()) return lines;
    std::stringstream in(items.out);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

FileSet UpdaterTest::ProgramFiles() const {
    FileSet files;
    std::error_code error;
    for (const auto& item : fs::recursive_directory_iterator(ProgramDir(), error)) {
        if (item.is_regular_file()) {
            files.insert(item.path().lexically_relative(ProgramDir()).generic_string());
        }
    }
    return files;
}

std::string UpdaterTest::FileVersionOf(const std::string& relative) const {
    const std::string bytes = ReadWhole(ProgramDir() + "/" + relative);
    const PeVersion version =
        ReadPeVersion(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    std::string text;
    for (char16_t c : version.fileVersion) text += c < 0x80 ? char(c) : '?';
    return text;
}

std::string UpdaterTest::Bytes(const std::string& path) const { return ReadWhole(path); }

std::string UpdaterTest::ServedBytes(const std::string& relative) const {
    return ReadWhole(m_strServeDir + "/" + relative);
}

std::string UpdaterTest::OldBytes(const std::string& relative) const {
    const auto it = m_oldSources.find(relative);
    return it == m_oldSources.end() ? "<unknown>" : ReadWhole(it->second);
}

std::string UpdaterTest::TodaySuffix() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "_%Y%m%d_", &local);
    return text;
}

std::string UpdaterTest::BackupOf(const std::string& relative) const {
    const std::string started = relative + m_strStartSuffix + "1";
    const std::string now = relative + TodaySuffix() + "1";
    return fs::exists(ProgramDir() + "/" + now) ? now : started;
}

void UpdaterTest::ServeTheInstalledUpdater() {
    fs::copy_file(m_oldSources[kUpdaterName], m_strServeDir + "/" + kUpdaterName,
                  fs::copy_options::overwrite_existing);
    ASSERT_TRUE(Server().Reload());
}

int UpdaterTest::CountRunning(const std::string& exeName) {
    return static_cast<int>(WineProcesses(exeName).size());
}

void UpdaterTest::KillRunning(const std::string& exeName) {
    for (pid_t pid : WineProcesses(exeName)) kill(pid, SIGKILL);
    sessiontest::PollUntil([&] { return WineProcesses(exeName).empty(); },
                           std::chrono::seconds(10));
}

bool UpdaterTest::WaitUpdaterGone(std::chrono::milliseconds limit) {
    return sessiontest::PollUntil(
        [] { return WineProcesses(kUpdaterName).empty() && WineProcesses("cmd.exe").empty(); },
        limit);
}

}  // namespace e2e

#endif
