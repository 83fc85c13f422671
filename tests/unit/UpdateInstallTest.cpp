// The updater replacing itself through its batch file, installing staged files with
// dated backups, and never losing the installed program on the way.
#include "UpdaterFakeHost.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace tavrel;
using namespace updater_test;

const std::u16string kListUrl = std::u16string(u"https://upd.test") + kUpdateFileListPage;
const std::u16string kUpdaterDownload =
    std::u16string(u"https://upd.test") + kUpdateDownloadPage + u"?type=updater_tavrel_exe&";

std::string FileLine(const std::string& product, const std::string& key, const std::string& name,
                     const std::string& folder, size_t size, const std::string& version,
                     const std::string& stage = "") {
    return "file:" + product + "," + key + "," + name + "," + folder + "," + std::to_string(size) +
           "," + version + ",0," + (stage.empty() ? name + ".new" : stage) + "\r\n";
}

std::string UpdaterLine(const std::string& version, size_t size = 500,
                        const std::string& stage = "VTUpdaterT.exe.new") {
    return FileLine("u_tavrel", "updater_tavrel_exe", "VTUpdaterT.exe", ".\\", size, version,
                    stage);
}

// The batch the updater writes for C:\vantor-test with the staged copy in ".\".
const char kGoldenBatch[] =
    "SET /A vtu_turns=0\r\n"
    "COPY /Y \"C:\\vantor-test\\VTUpdaterT.exe\" \"C:\\vantor-test\\VTUpdaterT.exe.bak\" >NUL\r\n"
    ":try_exe\r\n"
    "IF EXIST \"C:\\vantor-test\\.\\VTUpdaterT.exe.new\" ( DEL \"C:\\vantor-test\\VTUpdaterT.exe\" "
    ") ELSE ( GOTO next1)  \r\n"
    "IF NOT EXIST \"C:\\vantor-test\\VTUpdaterT.exe\" GOTO next1\r\n"
    "SET /A vtu_turns+=1\r\n"
    "IF %vtu_turns% GEQ 60 GOTO next1\r\n"
    "ping -n 2 127.0.0.1 >NUL\r\n"
    "GOTO try_exe\r\n"
    ":next1\r\n"
    "SET /A vtu_turns=0\r\n"
    ":copy_exe\r\n"
    "IF EXIST \"C:\\vantor-test\\.\\VTUpdaterT.exe.new\" ( MOVE "
    "\"C:\\vantor-test\\.\\VTUpdaterT.exe.new\" \"C:\\vantor-test\\VTUpdaterT.exe\" ) ELSE ( GOTO "
    "next2 )\r\n"
    "IF EXIST \"C:\\vantor-test\\VTUpdaterT.exe\" GOTO next2\r\n"
    "SET /A vtu_turns+=1\r\n"
    "IF %vtu_turns% GEQ 60 GOTO next2\r\n"
    "ping -n 2 127.0.0.1 >NUL\r\n"
    "GOTO copy_exe\r\n"
    ":next2\r\n"
    "IF NOT EXIST \"C:\\vantor-test\\VTUpdaterT.exe\" COPY /Y "
    "\"C:\\vantor-test\\VTUpdaterT.exe.bak\" "
    "\"C:\\vantor-test\\VTUpdaterT.exe\" >NUL\r\n"
    "IF EXIST \"C:\\vantor-test\\VTUpdaterT.exe\" DEL \"C:\\vantor-test\\VTUpdaterT.exe.bak\"\r\n"
    "start \"\" /D \"C:\\vantor-test\" /B VTUpdaterT.exe \r\n"
    "SET /A vtu_turns=0\r\n"
    ":try_bat\r\n"
    "DEL \"C:\\vantor-test\\aUpdate.bat\"\r\n"
    "IF NOT EXIST \"C:\\vantor-test\\aUpdate.bat\" GOTO :EOF\r\n"
    "SET /A vtu_turns+=1\r\n"
    "IF %vtu_turns% GEQ 5 GOTO :EOF\r\n"
    "ping -n 2 127.0.0.1 >NUL\r\n"
    "GOTO try_bat\r\n";

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

class UpdateInstallTest : public ::testing::Test {
  protected:
    UpdateInstallTest() { engine.OnDialogStarted(); }
    void Load(const std::string& lines) {
        host.Script(kListUrl, {Ok(lines)});
        engine.FetchFileList();
        host.log.clear();
        host.requests.clear();
    }
    std::u16string BatPath() const { return host.Path(u"\\aUpdate.bat"); }

    CFakeUpdaterHost host;
    CUpdateEngine engine{host, u"Kor"};
};

TEST_F(UpdateInstallTest, ChecksTheUpdaterItself) {
    const struct {
        const char* name;
        std::string list;
        std::u16string own;
        std::string staged;  // body of VTUpdaterT.exe.new, "" for none
        HttpReply download;
        bool result;
        std::vector<int> log;
        bool batch;
        std::string stagedAfter;
    } cases[] = {
        {"no record",
         FileLine("u_tavrel", "a", "A.dll", ".\\", 1, "2.0"),
         u"3.0.1.1004",
         "",
         Ok(""),
         false,
         {},
         false,
         ""},
        {"unsafe record",
         UpdaterLine("3.0.1.2000", 500, "VTUpdaterT.EXE"),
         u"3.0.1.1004",
         "",
         Ok(""),
         false,
         {},
         false,
         ""},
        {"current", UpdaterLine("3.0.1.1004"), u"3.0.1.1004", "", Ok(""), true, {}, false, ""},
        {"current with commas",
         UpdaterLine("3.0.1.1004"),
         u"3,0,1,1004",
         "",
         Ok(""),
         true,
         {},
         false,
         ""},
        {"own is newer", UpdaterLine("3.0.1.1004"), u"3.0.1.2000", "", Ok(""), true, {}, false, ""},
        {"1012 over 998",
         UpdaterLine("3.0.1.1012"),
         u"3.0.1.998",
         "",
         Ok(FileBody("3.0.1.1012", 500)),
         true,
         {317, 300, 304},
         false,
         FileBody("3.0.1.1012", 500)},
        {"no own version",
         UpdaterLine("3.0.1.2000"),
         kNoOwnVersion,
         "",
         Ok(FileBody("3.0.1.2000", 500)),
         true,
         {317, 300, 304},
         false,
         FileBody("3.0.1.2000", 500)},
        {"staged complete",
         UpdaterLine("3.0.1.2000"),
         u"3.0.1.1004",
         FileBody("3.0.1.2000", 500),
         Ok(""),
         false,
         {316},
         true,
         FileBody("3.0.1.2000", 500)},
        {"staged wrong size",
         UpdaterLine("3.0.1.2000"),
         u"3.0.1.1004",
         FileBody("3.0.1.2000", 499),
         Ok(FileBody("3.0.1.2000", 500)),
         true,
         {317, 300, 304},
         false,
         FileBody("3.0.1.2000", 500)},
        {"staged wrong version",
         UpdaterLine("3.0.1.2000"),
         u"3.0.1.1004",
         FileBody("3.0.1.1999", 500),
         Ok(FileBody("3.0.1.2000", 500)),
         true,
         {317, 300, 304},
         false,
         FileBody("3.0.1.2000", 500)},
        {"download refused",
         UpdaterLine("3.0.1.2000"),
         u"3.0.1.1004",
         "",
         Ok("busy"),
         false,
         {317, 300, 305},
         false,
         ""},
    };
    for (const auto& c : cases) {
        CFakeUpdaterHost fake;
        CUpdateEngine subject(fake, u"Kor");
        fake.Script(kListUrl, {Ok(c.list)});
        subject.FetchFileList();
        fake.log.clear();
        fake.ownVersion = c.own;
        if (!c.staged.empty()) fake.File(u"\\VTUpdaterT.exe.new") = c.staged;
        fake.Script(kUpdaterDownload, {c.download});
        EXPECT_EQ(subject.CheckUpdater(), c.result) << c.name;
        EXPECT_EQ(fake.LogIds(), c.log) << c.name;
        EXPECT_EQ(fake.Has(u"\\aUpdate.bat"), c.batch) << c.name;
        EXPECT_EQ(fake.openedBatches.size(), c.batch ? 1u : 0u) << c.name;
        EXPECT_EQ(fake.quits, c.batch ? 1 : 0) << c.name;
        EXPECT_EQ(subject.SelfReplaced(), c.batch) << c.name;
        EXPECT_EQ(fake.Has(u"\\VTUpdaterT.exe.new") ? fake.File(u"\\VTUpdaterT.exe.new") : "",
                  c.stagedAfter)
            << c.name;
        // The file list, then the download when there is one.
        EXPECT_EQ(fake.requests.size(), c.log.size() > 1 ? 2u : 1u) << c.name;
        if (c.log.size() > 1) {
            EXPECT_EQ(fake.requests.back().form,
                      u"type=updater_tavrel_exe&releaseversion=2.0Login&dummy=1234");
        }
    }
}

TEST_F(UpdateInstallTest, TheSecondCheckReplacesTheUpdaterTheFirstOneDownloaded) {
    host.Script(std::u16string(u"https://upd.test") + kUpdateServerInfoPage,
                {Ok("server:h\nport:1\n")});
    host.Script(kListUrl, {Ok(UpdaterLine("3.0.1.2000"))});
    host.Script(kUpdaterDownload, {Ok(FileBody("3.0.1.2000", 500))});
    host.File(u"\\VTUpdaterT.exe") = FileBody("3.0.1.1004", 400);
    EXPECT_EQ(engine.RunStartSequence(), StartOutcome::kEnding);
    EXPECT_EQ(host.LogIds(), (std::vector<int>{313, 314, 315, 311, 317, 300, 304, 316, 312, 309}));
    EXPECT_EQ(host.openedBatches, std::vector<std::u16string>{BatPath()});
    EXPECT_EQ(host.quits, 1);
    EXPECT_EQ(host.File(u"\\aUpdate.bat"), kGoldenBatch);
    EXPECT_FALSE(engine.DownloadStep());  // nothing launched after the replacement
    EXPECT_TRUE(host.opened.empty());
}

TEST_F(UpdateInstallTest, WritesTheBatchByteForByte) {
    const struct {
        std::u16string folder;
        std::string expected;
    } cases[] = {
        {u".\\", kGoldenBatch},
        {u"", Replaced(kGoldenBatch, "\\.\\VTUpdaterT.exe.new", "\\VTUpdaterT.exe.new")},
    };
    for (const auto& c : cases) {
        CFakeUpdaterHost fake;
        CUpdateEngine subject(fake, u"Kor");
        EXPECT_TRUE(subject.ReplaceSelf(fake.programDir + u"\\" + c.folder, u"VTUpdaterT.exe.new"));
        EXPECT_EQ(fake.File(u"\\aUpdate.bat"), c.expected);
        EXPECT_EQ(fake.openedBatches, std::vector<std::u16string>{fake.Path(u"\\aUpdate.bat")});
        EXPECT_EQ(fake.quits, 1);
    }
    // The text itself, before any code-page conversion.
    const std::u16string text =
        ReplaceBatchText(u"C:\\vantor-test", u"C:\\vantor-test\\.\\VTUpdaterT.exe.new");
    EXPECT_EQ(std::string(text.begin(), text.end()), kGoldenBatch);
}

TEST_F(UpdateInstallTest, DoublesPercentSignsOfThePaths) {
    const std::string batch = [] {
        const std::u16string text = ReplaceBatchText(u"C:\\50%off", u"C:\\50%off\\.\\%x%.new");
        return std::string(text.begin(), text.end());
    }();
    EXPECT_NE(
        batch.find("COPY /Y \"C:\\50%%off\\VTUpdaterT.exe\" \"C:\\50%%off\\VTUpdaterT.exe.bak\""),
        std::string::npos);
    EXPECT_NE(batch.find("MOVE \"C:\\50%%off\\.\\%%x%%.new\" \"C:\\50%%off\\VTUpdaterT.exe\""),
              std::string::npos);
    EXPECT_NE(batch.find("start \"\" /D \"C:\\50%%off\" /B VTUpdaterT.exe \r\n"),
              std::string::npos);
    EXPECT_NE(batch.find("DEL \"C:\\50%%off\\aUpdate.bat\"\r\n"), std::string::npos);
    EXPECT_NE(batch.find("IF %vtu_turns% GEQ 5 GOTO :EOF"), std::string::npos);
    EXPECT_EQ(batch.find("50%o"), std::string::npos);
}

TEST_F(UpdateInstallTest, UsesShortPathsWhenTheCodePageCannotHoldTheFolder) {
    const std::u16string dir = u"C:\\\uD559\uAD50";  // C:\학교
    const struct {
        bool shortDir, shortNew;
        bool written;
    } cases[] = {{true, true, true}, {false, true, false}, {true, false, false}};
    for (const auto& c : cases) {
        CFakeUpdaterHost fake;
        CUpdateEngine subject(fake, u"Kor");
        fake.programDir = dir;
        fake.folders.insert(dir);
        if (c.shortDir) fake.shortPaths[dir] = u"C:\\8D5E~1";
        if (c.shortNew)
            fake.shortPaths[dir + u"\\.\\VTUpdaterT.exe.new"] = u"C:\\8D5E~1\\VTUPDA~1.NEW";
        EXPECT_EQ(subject.ReplaceSelf(dir + u"\\.\\", u"VTUpdaterT.exe.new"), c.written);
        EXPECT_EQ(fake.Has(u"\\aUpdate.bat"), c.written);
        EXPECT_EQ(fake.quits, c.written ? 1 : 0);
        EXPECT_EQ(subject.SelfReplaced(), c.written);
        if (!c.written) {
            EXPECT_EQ(fake.log,
                      (std::vector<LogEntry>{{kLogLevelError, kMsgBatchPathUnwritable, dir}}));
            continue;
        }
        const std::string& batch = fake.File(u"\\aUpdate.bat");
        EXPECT_EQ(batch.find('?'), std::string::npos);
        EXPECT_NE(batch.find("MOVE \"C:\\8D5E~1\\VTUPDA~1.NEW\" \"C:\\8D5E~1\\VTUpdaterT.exe\""),
                  std::string::npos);
        EXPECT_NE(batch.find("start \"\" /D \"C:\\8D5E~1\" /B VTUpdaterT.exe \r\n"),
                  std::string::npos);
        EXPECT_EQ(fake.openedBatches, std::vector<std::u16string>{dir + u"\\aUpdate.bat"});
    }
}

TEST_F(UpdateInstallTest, ReportsABatchThatCannotBeCreatedOrWritten) {
    host.createFails.insert(BatPath());
    EXPECT_FALSE(engine.ReplaceSelf(host.Path(u"\\.\\"), u"VTUpdaterT.exe.new"));
    host.createFails.clear();
    host.writeFails.insert(BatPath());
    EXPECT_FALSE(engine.ReplaceSelf(host.Path(u"\\.\\"), u"VTUpdaterT.exe.new"));
    const std::vector<LogEntry> expected = {{kLogLevelProgress, kMsgCheckingType, u""},
                                            {kLogLevelError, kMsgBatchCreateFailed, BatPath()},
                                            {kLogLevelError, kMsgBatchWriteFailed, u""}};
    EXPECT_EQ(host.log, expected);
    EXPECT_FALSE(engine.SelfReplaced());
    EXPECT_EQ(host.quits, 0);
    EXPECT_TRUE(host.openedBatches.empty());
}

TEST_F(UpdateInstallTest, AfterRunNowTheBatchIsWrittenButNotStarted) {
    engine.RunNow();
    EXPECT_TRUE(engine.ReplaceSelf(host.Path(u"\\.\\"), u"VTUpdaterT.exe.new"));
    EXPECT_EQ(host.File(u"\\aUpdate.bat"), kGoldenBatch);
    EXPECT_TRUE(host.openedBatches.empty());
    EXPECT_EQ(host.quits, 1);
}

TEST_F(UpdateInstallTest, InstallsWithDatedBackupsAndNeverLosesTheInstalledFile) {
    const std::string oldBody = FileBody("1.0", 150);
    const std::string newBody = FileBody("2.0", 200);
    const struct {
        const char* name;
        bool installedExists;
        int backupsTaken;  // _1 .. _n exist already
        bool dateOk;
        bool stagingLocked;    // the move into place fails
        bool installedLocked;  // the installed file cannot be renamed
        std::string installedAfter;
        std::u16string newBackup;  // "" when none is made
        bool failureLogged;
    } cases[] = {
        {"first of the day", true, 0, true, false, false, newBody, u"_20261210_1", false},
        {"second of the day", true, 1, true, false, false, newBody, u"_20261210_2", false},
        {"gap", true, 3, true, false, false, newBody, u"_20261210_4", false},
        {"all 99 taken", true, 99, true, false, false, newBody, u"", false},
        {"nothing installed yet", false, 0, true, false, false, newBody, u"", false},
        {"no date", true, 0, false, false, false, newBody, u"", false},
        {"move in fails", true, 0, true, true, false, oldBody, u"", true},
        {"all 99 taken and locked", true, 99, true, true, false, oldBody, u"", true},
        {"installed locked", true, 0, true, false, true, oldBody, u"", true},
    };
    for (const auto& c : cases) {
        CFakeUpdaterHost fake;
        CUpdateEngine subject(fake, u"Kor");
        subject.OnDialogStarted();
        fake.Script(kListUrl, {Ok(FileLine("u_tavrel", "a", "A.dll", ".\\", 200, "2.0"))});
        subject.FetchFileList();
        fake.log.clear();
        fake.dateOk = c.dateOk;
        if (c.installedExists) fake.File(u"\\A.dll") = oldBody;
        fake.File(u"\\A.dll.new") = newBody;
        for (int n = 1; n <= c.backupsTaken; ++n)
            fake.File(u"\\A.dll_20261210_" + U16(std::to_string(n))) = "backup";
        if (c.stagingLocked) fake.locked.insert(fake.Path(u"\\A.dll.new"));
        if (c.installedLocked) fake.locked.insert(fake.Path(u"\\A.dll"));
        const size_t filesBefore = fake.files.size();

        subject.InstallStagedFiles();

        EXPECT_EQ(fake.File(u"\\A.dll"), c.installedAfter) << c.name;
        EXPECT_EQ(fake.Has(u"\\A.dll.new"), c.failureLogged) << c.name;
        if (!c.newBackup.empty()) {
            EXPECT_EQ(fake.File(u"\\A.dll" + c.newBackup), oldBody) << c.name;
        }
        // Only the new backup adds a file; the staged one moved onto the installed one.
        const size_t expectedFiles = filesBefore + (c.newBackup.empty() ? 0 : 1) -
                                     (c.failureLogged ? 0 : 1) + (c.installedExists ? 0 : 1);
        EXPECT_EQ(fake.files.size(), expectedFiles) << c.name;
        for (int n = 1; n <= c.backupsTaken; ++n)
            EXPECT_EQ(fake.File(u"\\A.dll_20261210_" + U16(std::to_string(n))), "backup") << c.name;
        EXPECT_TRUE(fake.deleted.empty()) << c.name;
        const std::vector<LogEntry> failure = {{kLogLevelError, kMsgInstallFailed, u"A.dll"}};
        EXPECT_EQ(fake.log, c.failureLogged ? failure : std::vector<LogEntry>()) << c.name;
    }
}

TEST_F(UpdateInstallTest, InstallsOnlyStagedCopiesThatMatchAWantedRecord) {
    Load(FileLine("u_tavrel", "half", "Half.dll", ".\\", 200, "2.0") +
         FileLine("u_tavrel", "old", "Old.dll", ".\\", 200, "2.0") +
         FileLine("u_teacher", "t", "T.dll", ".\\", 200, "2.0") +
         FileLine("u_tavrel", "r_lang_dll_eng", "E.dll", "language\\", 200, "2.0") +
         FileLine("u_tavrel", "bad", "B.dll", "..\\", 200, "2.0") +
         FileLine("u_tavrel", "good", "Good.dll", "sub\\", 200, "2.0"));
    host.File(u"\\Half.dll.new") = "ver";  // cut short before its version information
    host.File(u"\\Old.dll.new") = FileBody("1.9", 200);
    host.File(u"\\T.dll.new") = FileBody("2.0", 200);
    host.File(u"\\language\\E.dll.new") = FileBody("2.0", 200);
    host.files[u"C:\\B.dll.new"] = FileBody("2.0", 200);
    host.File(u"\\Stray.dll.new") = FileBody("2.0", 200);
    host.File(u"\\sub\\Good.dll.new") = FileBody("2.0", 200);
    const size_t filesBefore = host.files.size();

    engine.InstallStagedFiles();

    EXPECT_EQ(host.moves, std::vector<std::u16string>{host.Path(u"\\sub\\Good.dll.new -> ") +
                                                      host.Path(u"\\sub\\Good.dll")});
    EXPECT_EQ(host.File(u"\\sub\\Good.dll"), FileBody("2.0", 200));
    EXPECT_EQ(host.files.size(), filesBefore);
    EXPECT_TRUE(host.log.empty());
}

TEST_F(UpdateInstallTest, HandlesARecordListedTwiceOnce) {
    Load(FileLine("u_tavrel", "a", "A.dll", ".\\", 200, "2.0") +
         FileLine("u_tavrel", "a", "A.dll", ".\\", 200, "2.0"));
    host.File(u"\\A.dll") = FileBody("1.0", 150);
    host.File(u"\\A.dll.new") = FileBody("2.0", 200);
    engine.InstallStagedFiles();
    EXPECT_EQ(host.File(u"\\A.dll_20261210_1"), FileBody("1.0", 150));
    EXPECT_FALSE(host.Has(u"\\A.dll_20261210_2"));
    EXPECT_EQ(host.moves.size(), 2u);

    // A failing move is tried once per run, not once per copy of the record.
    host.File(u"\\A.dll.new") = FileBody("2.0", 200);
    host.File(u"\\A.dll") = FileBody("1.0", 150);
    host.locked.insert(host.Path(u"\\A.dll.new"));
    host.moves.clear();
    engine.InstallStagedFiles();
    EXPECT_EQ(host.moves.size(), 3u);  // aside, in (refused), back
    EXPECT_EQ(host.log, (std::vector<LogEntry>{{kLogLevelError, kMsgInstallFailed, u"A.dll"}}));
    EXPECT_EQ(host.File(u"\\A.dll"), FileBody("1.0", 150));
}

}  // namespace
