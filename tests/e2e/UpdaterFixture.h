// The updater under Wine against the simulated update web server: a program folder in
// the test prefix (C:\vantor-test) holding the older release, the newer release served
// from a folder, and what the tests look at afterwards (files, versions, the request
// log, the progress list, the running programs).
#pragma once

#include "Harness.h"
#include "SessionFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#ifdef TAVREL_HAVE_CLASSROOM_SIM
#include "Classroom.h"
#include "web/UpdateWebServer.h"
#endif

namespace e2e {

#ifdef TAVREL_HAVE_CLASSROOM_SIM

constexpr char kUpdaterName[] = "VTUpdaterT.exe";
constexpr char kTargetName[] = "Vantor Tavrel.exe";
constexpr char kLanguageModule[] = "language/Vantor TavrelEng.dll";
constexpr char kUpdaterTitle[] = "Vantor Updater";
constexpr int kProgressList = 1003;
constexpr int kRunNowButton = 1;
constexpr char kOldVersion[] = "3.0.1.1004";
constexpr char kNewVersion[] = "3.0.1.2000";
constexpr char kUpdaterKey[] = "updater_tavrel_exe";
constexpr char kTargetKey[] = "vantor_tavrel_exe";
constexpr char kLanguageKey[] = "t_lang_dll_eng";
// First attempt, retry and download periods of the test build, in milliseconds.
constexpr char kFastPeriods[] = "200,1500,300";

// Names of the program folder's files, "/" separated, below it.
using FileSet = std::set<std::string>;

class UpdaterTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Wine path and Linux path of the program folder.
    static std::string ProgramDirWin() { return "C:\\vantor-test"; }
    std::string ProgramDir() const;
    // Fills the program folder with the older release (and config.ini).
    void InstallOldRelease();
    // Starts the updater from the program folder; returns at once.
    void StartUpdater(Process& process, const std::string& periods = kFastPeriods);
    // The updater's window handle as text ("" when none came in time).
    std::string WaitUpdaterWindow(int timeoutMs = 30000);
    // The lines of the progress list, newest first.
    std::vector<std::string> ProgressLines(const std::string& window);

    FileSet ProgramFiles() const;
    std::string FileVersionOf(const std::string& relative) const;
    std::string Bytes(const std::string& path) const;
    std::string ServedBytes(const std::string& relative) const;
    std::string OldBytes(const std::string& relative) const;
    // "_YYYYMMDD_" of today (local time, as Wine sees it).
    static std::string TodaySuffix();
    // The first backup of the day of a file: named for the day the test started, or
    // for the next one when the run went past midnight.
    std::string BackupOf(const std::string& relative) const;
    // The served updater becomes the installed one, so that it does not replace itself.
    void ServeTheInstalledUpdater();
    // Programs of the prefix running under this executable name (any letter case).
    static int CountRunning(const std::string& exeName);
    static void KillRunning(const std::string& exeName);
    // Waits until no updater (nor its batch) runs any more.
    bool WaitUpdaterGone(std::chrono::milliseconds limit = std::chrono::seconds(60));

    CUpdateWebServer& Server() { return *m_classroom->UpdateWeb(); }
    int Downloads(const std::string& key) { return Server().DownloadCounts()[key]; }

    std::unique_ptr<CClassroom> m_classroom;
    std::string m_strServeDir;
    std::string m_strStartSuffix;
    std::map<std::string, std::string> m_oldSources;  // relative name -> built file
};

#endif

}  // namespace e2e
