// The updater under Wine when the server or the computer misbehaves: downloads cut
// short or far too large, file records that point outside the program folder or into
// the batch's commands, and an installed file another program holds open.
#include "UpdaterFixture.h"

#ifdef TAVREL_HAVE_CLASSROOM_SIM

#include <sys/stat.h>

#include <algorithm>

namespace e2e {
namespace {

using namespace std::chrono_literals;
using sessiontest::PollUntil;
namespace fs = std::filesystem;

constexpr auto kWholeUpdate = 120s;

// Every file of the Wine drive outside the program folder, with its size and time of
// change. Left out: the temporary folders, which change by themselves, and the web
// client's own cache of the pages it fetched (WinINet's, not a path of ours).
std::map<std::string, std::string> DriveOutside(const std::string& drive,
                                                const std::string& programDir) {
    std::map<std::string, std::string> files;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(
             drive, fs::directory_options::skip_permission_denied, error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
        const std::string path = it->path().string();
        std::string lower = path;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return char(std::tolower(c)); });
        if (path.rfind(programDir, 0) == 0 || lower.find("/temp/") != std::string::npos ||
            lower.find("/inetcache/") != std::string::npos ||
            lower.find("/temp") == lower.size() - 5) {
            continue;
        }
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
        files[path] = std::to_string(info.st_size) + "@" + std::to_string(info.st_mtime);
    }
    return files;
}

int DownloadRequests(const std::vector<UpdateRequestRecord>& requests, const std::string& key,
                     const std::string& misbehaviour) {
    return static_cast<int>(
        std::count_if(requests.begin(), requests.end(), [&](const UpdateRequestRecord& r) {
            return r.pageName == "download" && r.key == key &&
                   r.misbehaviour.find(misbehaviour) != std::string::npos;
        }));
}

TEST_F(UpdaterTest, DownloadsCutShortOrFarTooLargeAreNeverInstalled) {
    ServeTheInstalledUpdater();
    Server().SetHugeDownloads(kTargetKey);
    Process updater;
    StartUpdater(updater);
    const std::string staged = ProgramDir() + "/" + kTargetName + ".new";

    // A body beyond the limit is refused like a failed request: nothing is written.
    ASSERT_TRUE(PollUntil(
        [&] { return DownloadRequests(Server().Requests(), kTargetKey, "huge") >= 2; }, 90s));
    EXPECT_FALSE(fs::exists(staged));
    EXPECT_EQ(Bytes(ProgramDir() + "/" + kTargetName), OldBytes(kTargetName));

    // A body cut short may be stored, but it never matches its record: asked for again,
    // never installed.
    Server().SetHugeDownloads(kTargetKey, -1);
    Server().SetCutDownloads(kTargetKey, 100000);
    ASSERT_TRUE(PollUntil(
        [&] { return DownloadRequests(Server().Requests(), kTargetKey, "cut") >= 2; }, 60s));
    EXPECT_TRUE(updater.Running());
    EXPECT_EQ(Bytes(ProgramDir() + "/" + kTargetName), OldBytes(kTargetName));
    EXPECT_NE(Bytes(staged), ServedBytes(kTargetName));

    // Once whole, it is installed.
    Server().SetCutDownloads(kTargetKey, -1);
    ASSERT_TRUE(PollUntil([&] { return CountRunning(kTargetName) == 1; }, kWholeUpdate));
    ASSERT_TRUE(WaitUpdaterGone());
    EXPECT_EQ(Bytes(ProgramDir() + "/" + kTargetName), ServedBytes(kTargetName));
    EXPECT_EQ(Bytes(ProgramDir() + "/" + BackupOf(kTargetName)), OldBytes(kTargetName));
}

TEST_F(UpdaterTest, MaliciousRecordsAreNeverFetchedAndNothingOutsideTheProgramFolderChanges) {
    ServeTheInstalledUpdater();
    ASSERT_TRUE(Server().AddMaliciousFileLines("all"));
    const std::string drive = WinePrefix() + "/drive_c";
    const std::map<std::string, std::string> before = DriveOutside(drive, ProgramDir());
    ASSERT_FALSE(before.empty());

    Process updater;
    StartUpdater(updater);
    ASSERT_TRUE(PollUntil([&] { return CountRunning(kTargetName) == 1; }, kWholeUpdate));
    ASSERT_TRUE(WaitUpdaterGone());

    // The good record is installed as usual; not one of the others was asked for.
    EXPECT_EQ(Bytes(ProgramDir() + "/" + kTargetName), ServedBytes(kTargetName));
    for (const UpdateRequestRecord& r : Server().Requests()) {
        EXPECT_NE(r.key.rfind("evil", 0), 0u) << r.query;
    }
    FileSet files;
    for (const std::string& file : ProgramFiles()) {
        if (file.rfind("setting", 0) != 0) files.insert(file);
    }
    const FileSet expected = {kUpdaterName, kTargetName, BackupOf(kTargetName), kLanguageModule,
                              "config.ini"};
    EXPECT_EQ(files, expected);
    const std::map<std::string, std::string> after = DriveOutside(drive, ProgramDir());
    for (const auto& [path, stamp] : after) {
        const auto it = before.find(path);
        EXPECT_TRUE(it != before.end() && it->second == stamp) << "changed: " << path;
    }
}

TEST_F(UpdaterTest, AnInstalledFileHeldOpenIsKeptAndTheNextRunInstallsIt) {
    ServeTheInstalledUpdater();
    Process holder;
    ASSERT_TRUE(StartWine(
        holder, {WinBinDir() + "/file-holder.exe", ProgramDirWin() + "\\" + kTargetName, "120"},
        ProgramDir()));
    ASSERT_TRUE(PollUntil([&] { return holder.Output().find("held") != std::string::npos; }, 30s))
        << "the file was not held: " << holder.Output();

    Process updater;
    StartUpdater(updater);
    ASSERT_TRUE(PollUntil([&] { return CountRunning(kTargetName) == 1; }, kWholeUpdate))
        << "the program did not start with its file held";
    ASSERT_TRUE(WaitUpdaterGone());
    // Nothing lost: the installed file is where it was, the new one still staged, and
    // no backup is left in its place.
    EXPECT_EQ(Bytes(ProgramDir() + "/" + kTargetName), OldBytes(kTargetName));
    EXPECT_EQ(Bytes(ProgramDir() + "/" + kTargetName + ".new"), ServedBytes(kTargetName));
    EXPECT_FALSE(fs::exists(ProgramDir() + "/" + BackupOf(kTargetName)));

    // Let go, the next run installs the staged copy without downloading it again.
    holder.Kill();
    KillRunning("file-holder.exe");
    KillRunning(kTargetName);
    Process again;
    StartUpdater(again);
    ASSERT_TRUE(PollUntil([&] { return CountRunning(kTargetName) == 1; }, kWholeUpdate));
    ASSERT_TRUE(WaitUpdaterGone());
    EXPECT_EQ(Downloads(kTargetKey), 1);
    EXPECT_EQ(Bytes(ProgramDir() + "/" + kTargetName), ServedBytes(kTargetName));
    EXPECT_EQ(Bytes(ProgramDir() + "/" + BackupOf(kTargetName)), OldBytes(kTargetName));
}

}  // namespace
}  // namespace e2e

#endif
