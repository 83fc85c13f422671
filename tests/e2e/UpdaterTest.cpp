// The updater under Wine against the simulated update web server: a whole update of an
// older installation (self-replacement through its batch, downloads, install with
// backups, the program started once), Run now, an unreachable server and a second start.
#include "UpdaterFixture.h"

#ifdef TAVREL_HAVE_CLASSROOM_SIM

#include <algorithm>

namespace e2e {
namespace {

using namespace std::chrono_literals;
using sessiontest::PollUntil;

// Progress texts of the string table, as the list shows them (line feeds as "\n").
constexpr char kCheckingType[] = "업데이터 종류를 확인중입니다.\\n";
constexpr char kGettingServerInfo[] = "업데이트 서버 정보를 얻어오고 있습니다.\\n";
constexpr char kGettingFileList[] = "업데이트 정보를 얻어오고 있습니다.\\n";
constexpr char kCheckingUpdater[] = "업데이터 변경여부를 확인하고 있습니다.\\n";
constexpr char kServerInfoFailed[] = "업데이트 서버정보를 가져오는 동안 오류가 발생했습니다.\\n";
constexpr char kDownloadStart[] = "다운로드 시작 : ";
constexpr char kDownloadRefused[] = "다운로드 요구 많음 : ";
constexpr char kCheckFailed[] = "업데이터 변경요청이 많아, 잠시후 재시도 합니다.\\n";
constexpr char kRunNowHint[] = "[바로 실행 하기]를 누르면 업데이트 없이 실행이 가능합니다.\\n";

constexpr auto kWholeUpdate = 120s;

// The text of a progress line after its "[HH:MM:SS] " stamp.
std::string WithoutStamp(const std::string& line) {
    return line.size() > 11 && line[0] == '[' && line[9] == ']' ? line.substr(11) : line;
}

bool HasLine(const std::vector<std::string>& lines, const std::string& text) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& line) { return WithoutStamp(line) == text; });
}

bool IsVisible(const std::string& window) {
    const RunResult info = UiDriver({"info", window});
    return info.exitCode == 0 && !info.out.empty() && info.out.back() == '1';
}

TEST_F(UpdaterTest, UpdatesAnOlderInstallationReplacingItselfAndStartsTheProgramOnce) {
    // "Eng" fetches the English module too, so the whole release is new afterwards.
    SetProfileText("language", "Eng");
    // The first download of the program is refused; the next step asks again.
    Server().SetRefuseDownloads(kTargetKey, 1);
    Process updater;
    StartUpdater(updater);

    ASSERT_TRUE(PollUntil([&] { return CountRunning(kTargetName) == 1; }, kWholeUpdate))
        << "the program was not started";
    ASSERT_TRUE(WaitUpdaterGone()) << "the updater did not end";
    EXPECT_EQ(CountRunning(kTargetName), 1) << "the program was started more than once";

    // The updater replaced itself, and the new one found itself current.
    EXPECT_EQ(FileVersionOf(kUpdaterName), kNewVersion);
    EXPECT_EQ(Bytes(ProgramDir() + "/" + kUpdaterName), ServedBytes(kUpdaterName));
    EXPECT_EQ(Downloads(kUpdaterKey), 1);
    EXPECT_EQ(Downloads(kTargetKey), 1);
    EXPECT_EQ(Downloads(kLanguageKey), 1);

    // Installed with a backup named for the day; nothing else left behind.
    for (const char* name : {kTargetName, kLanguageModule}) {
        EXPECT_EQ(Bytes(ProgramDir() + "/" + name), ServedBytes(name)) << name;
        EXPECT_EQ(FileVersionOf(name), kNewVersion) << name;
        EXPECT_EQ(Bytes(ProgramDir() + "/" + BackupOf(name)), OldBytes(name)) << name;
    }
    FileSet expected = {kUpdaterName,
                        kTargetName,
                        BackupOf(kTargetName),
                        kLanguageModule,
                        BackupOf(kLanguageModule),
                        "config.ini"};
    FileSet files;
    for (const std::string& file : ProgramFiles()) {
        // The started program's own settings (and its backup of their first form).
        if (file.rfind("setting", 0) != 0) files.insert(file);
    }
    EXPECT_EQ(files, expected);

    // What the server saw: the pages in order, the release version, cache breakers.
    const std::vector<UpdateRequestRecord> requests = Server().Requests();
    ASSERT_GE(requests.size(), 8u);
    EXPECT_EQ(requests[0].pageName, "server_info");
    EXPECT_EQ(requests[0].scheme, "https");
    EXPECT_FALSE(requests[0].dummy.empty());
    EXPECT_EQ(requests[1].pageName, "file_list");
    EXPECT_EQ(requests[1].releaseVersion, "2.0Login");
    EXPECT_EQ(requests[2].key, kUpdaterKey);
    int refusals = 0;
    for (const UpdateRequestRecord& r : requests) {
        if (r.pageName != "download") continue;
        EXPECT_EQ(r.releaseVersion, "2.0Login") << r.query;
        EXPECT_EQ(r.query.rfind("type=" + r.key + "&releaseversion=2.0Login&dummy=", 0), 0u)
            << r.query;
        refusals += r.misbehaviour == "refused";
    }
    EXPECT_EQ(refusals, 1);
}

TEST_F(UpdaterTest, RunNowDuringTheDownloadsStartsTheProgramAndTheNextRunInstalls) {
    // The served updater is the installed one: no self-replacement in this test. The
    // server refuses the program's download until told otherwise, so the download loop
    // keeps going, one step per period, with the window answering between steps.
    ServeTheInstalledUpdater();
    Server().SetRefuseDownloads(kTargetKey, -1);
    Process updater;
    StartUpdater(updater);
    const std::string window = WaitUpdaterWindow();
    ASSERT_FALSE(window.empty()) << "no updater window";

    // The log reads from the bottom up: the type check, server information, file list,
    // the updater check, then the download steps, newest on top.
    // Downloads are logged under the name they are stored as until they are installed.
    const std::string start = std::string(kDownloadStart) + kTargetName + ".new\\n";
    const std::string refused = std::string(kDownloadRefused) + kTargetName + ".new\\n";
    std::vector<std::string> lines;
    ASSERT_TRUE(PollUntil([&] {
        lines = ProgressLines(window);
        return lines.size() >= 7 && WithoutStamp(lines.front()) == refused;
    })) << "the download steps did not come";
    std::vector<std::string> texts;
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) texts.push_back(WithoutStamp(*it));
    const std::vector<std::string> expected = {
        kCheckingType, kGettingServerInfo, kGettingFileList, kCheckingUpdater, start, refused,
        start};
    EXPECT_EQ(std::vector<std::string>(texts.begin(), texts.begin() + 7), expected);
    for (const std::string& line : lines) {
        EXPECT_TRUE(line.size() > 11 && line[0] == '[' && line[3] == ':' && line[6] == ':' &&
                    line[9] == ']')
            << line;
    }
    Screenshot("updater-progress");

    ASSERT_EQ(UiDriver({"click", window, std::to_string(kRunNowButton)}).exitCode, 0);
    EXPECT_TRUE(PollUntil([&] { return !IsVisible(window); }, 10s)) << "Run now left it shown";
    EXPECT_TRUE(PollUntil([&] { return CountRunning(kTargetName) == 1; }, 30s))
        << "Run now did not start the program";
    // The downloads go on hidden; once the last is in, the updater ends without
    // installing.
    EXPECT_TRUE(updater.Running());
    Server().SetRefuseDownloads(kTargetKey, 0);
    ASSERT_TRUE(WaitUpdaterGone(60s));
    const std::string staged = ProgramDir() + "/" + kTargetName + ".new";
    EXPECT_EQ(Bytes(staged), ServedBytes(kTargetName));
    EXPECT_EQ(Bytes(ProgramDir() + "/" + kTargetName), OldBytes(kTargetName));
    EXPECT_EQ(CountRunning(kTargetName), 1);

    // The next run finds the staged copy complete: installed without a new download.
    KillRunning(kTargetName);
    Process again;
    StartUpdater(again);
    ASSERT_TRUE(PollUntil([&] { return CountRunning(kTargetName) == 1; }, kWholeUpdate));
    ASSERT_TRUE(WaitUpdaterGone());
    EXPECT_EQ(Downloads(kTargetKey), 1);
    EXPECT_EQ(Bytes(ProgramDir() + "/" + kTargetName), ServedBytes(kTargetName));
    EXPECT_EQ(Bytes(ProgramDir() + "/" + BackupOf(kTargetName)), OldBytes(kTargetName));
    EXPECT_FALSE(std::filesystem::exists(staged));
}

TEST_F(UpdaterTest, UnreachableServerStartsTheProgramOnceAndTheUpdaterKeepsTryingHidden) {
    Server().SetFailure(UpdatePage::kServerInfo, UpdatePageFailure::kDrop);
    Process updater;
    StartUpdater(updater);
    const std::string window = WaitUpdaterWindow();
    ASSERT_FALSE(window.empty()) << "no updater window";
    std::vector<std::string> lines;
    ASSERT_TRUE(PollUntil([&] {
        lines = ProgressLines(window);
        return HasLine(lines, kServerInfoFailed);
    })) << "the failure was not logged";
    EXPECT_TRUE(PollUntil([&] { return CountRunning(kTargetName) == 1; }, 30s))
        << "the program was not started after the first failure";
    EXPECT_TRUE(PollUntil([&] { return !IsVisible(window); }, 10s));

    // Retries every period while hidden, HTTPS then plain HTTP each time; the program
    // is not started again.
    ASSERT_TRUE(PollUntil([&] { return Server().PageCount(UpdatePage::kServerInfo) >= 6; }, 60s));
    EXPECT_EQ(CountRunning(kTargetName), 1);
    EXPECT_TRUE(updater.Running());
    bool plainAfterSecure = false;
    const std::vector<UpdateRequestRecord> requests = Server().Requests();
    for (size_t i = 1; i < requests.size(); ++i) {
        if (requests[i - 1].scheme == "https" && requests[i].scheme == "http") {
            plainAfterSecure = true;
        }
    }
    EXPECT_TRUE(plainAfterSecure);

    // The server comes back: the new updater is staged and its batch written, but not
    // started, because Run now (by the updater itself) asked to run without updating.
    Server().ClearMisbehaviours();
    ASSERT_TRUE(WaitUpdaterGone(60s)) << "the updater did not end";
    EXPECT_EQ(Bytes(ProgramDir() + "/" + kUpdaterName + ".new"), ServedBytes(kUpdaterName));
    EXPECT_TRUE(std::filesystem::exists(ProgramDir() + "/aUpdate.bat"));
    EXPECT_EQ(Bytes(ProgramDir() + "/" + kUpdaterName), OldBytes(kUpdaterName));
    EXPECT_EQ(Bytes(ProgramDir() + "/" + kTargetName), OldBytes(kTargetName));
    EXPECT_EQ(CountRunning(kTargetName), 1);
}

TEST_F(UpdaterTest, WithoutItsOwnRecordTheUpdaterWaitsVisiblyUntilRunNow) {
    std::filesystem::remove(m_strServeDir + "/" + kUpdaterName);
    ASSERT_TRUE(Server().Reload());
    Process updater;
    StartUpdater(updater);
    const std::string window = WaitUpdaterWindow();
    ASSERT_FALSE(window.empty());
    // Every attempt logs the failed check and the hint, with the window shown.
    ASSERT_TRUE(PollUntil([&] {
        const std::vector<std::string> lines = ProgressLines(window);
        return std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
                   return WithoutStamp(line) == kCheckFailed;
               }) >= 2;
    })) << "the failed check was not logged at every attempt";
    const std::vector<std::string> lines = ProgressLines(window);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(WithoutStamp(lines[0]), kRunNowHint);
    EXPECT_EQ(WithoutStamp(lines[1]), kCheckFailed);
    EXPECT_TRUE(IsVisible(window));
    EXPECT_EQ(CountRunning(kTargetName), 0);
    EXPECT_EQ(Server().DownloadCounts().size(), 0u);

    ASSERT_EQ(UiDriver({"click", window, std::to_string(kRunNowButton)}).exitCode, 0);
    EXPECT_TRUE(PollUntil([&] { return CountRunning(kTargetName) == 1; }, 30s));
    EXPECT_TRUE(PollUntil([&] { return !IsVisible(window); }, 10s));
    EXPECT_EQ(Bytes(ProgramDir() + "/" + kTargetName), OldBytes(kTargetName));
}

TEST_F(UpdaterTest, SecondStartOnlyStartsTheProgramAndLeavesTheFirstAtWork) {
    ServeTheInstalledUpdater();
    Server().SetRefuseDownloads(kTargetKey, -1);
    Process first;
    StartUpdater(first);
    const std::string window = WaitUpdaterWindow();
    ASSERT_FALSE(window.empty());
    ASSERT_TRUE(PollUntil([&] {
        const std::vector<std::string> lines = ProgressLines(window);
        return !lines.empty() && WithoutStamp(lines.front()).rfind(kDownloadRefused, 0) == 0;
    }));

    const RunResult second = RunWine({ProgramDirWin() + "\\" + kUpdaterName}, ProgramDir(), 30000);
    EXPECT_FALSE(second.timedOut) << "the second updater did not end by itself";
    EXPECT_TRUE(PollUntil([&] { return CountRunning(kTargetName) == 1; }, 30s))
        << "the second updater did not start the program";
    EXPECT_TRUE(first.Running());
    EXPECT_TRUE(IsVisible(window));
    const size_t before = ProgressLines(window).size();
    EXPECT_TRUE(PollUntil([&] { return ProgressLines(window).size() > before; }))
        << "the first updater stopped working";

    // The first goes on: it installs and, the program running, starts nothing more.
    Server().SetRefuseDownloads(kTargetKey, 0);
    ASSERT_TRUE(WaitUpdaterGone(90s));
    EXPECT_EQ(Bytes(ProgramDir() + "/" + kTargetName), ServedBytes(kTargetName));
    EXPECT_EQ(CountRunning(kTargetName), 1);
}

}  // namespace
}  // namespace e2e

#endif
