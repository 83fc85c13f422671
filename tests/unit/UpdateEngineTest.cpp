// The updater's conversation with the update server, its choice of downloads, the
// download loop and the start sequence, against a host in memory.
#include "UpdaterFakeHost.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace tavrel;
using namespace updater_test;

const std::u16string kHttps = u"https://upd.test";
const std::u16string kHttp = u"http://upd.test:8080";
const std::u16string kInfoUrl = kHttps + kUpdateServerInfoPage;
const std::u16string kListUrl = kHttps + kUpdateFileListPage;
const std::u16string kDownloadUrl = kHttps + kUpdateDownloadPage;

std::string A(const std::u16string& text) {
    std::string ascii;
    for (char16_t ch : text) ascii.push_back(ch < 0x80 ? char(ch) : '?');
    return ascii;
}

// "file:" line of the file list as the server writes it.
std::string FileLine(const std::string& product, const std::string& key, const std::string& name,
                     const std::string& folder, size_t size, const std::string& version) {
    return "file:" + product + "," + key + "," + name + "," + folder + "," + std::to_string(size) +
           "," + version + ",0," + name + ".new\r\n";
}

class UpdateEngineTest : public ::testing::Test {
  protected:
    UpdateEngineTest() { engine.OnDialogStarted(); }

    void ServeList(const std::string& lines) { host.Script(kListUrl, {Ok(lines)}); }
    void ServeDownload(const std::string& key, const std::string& body) {
        host.Script(kDownloadUrl + u"?type=" + U16(key) + u"&", {Ok(body)});
    }

    CFakeUpdaterHost host;
    CUpdateEngine engine{host, u"Kor"};
};

TEST_F(UpdateEngineTest, TextRequestsTryHttpsThenHttpThenGiveTheCannedReply) {
    const struct {
        const char* name;
        std::vector<HttpReply> https, http;
        bool fallback;
        std::vector<std::u16string> urls;
        std::u16string text;
    } cases[] = {
        {"https answers", {Ok(" a:1 \r\n")}, {Ok("b")}, true, {kHttps}, u"result:true\na:1"},
        {"http answers", {Failed()}, {Ok("b")}, true, {kHttps, kHttp}, u"result:true\nb"},
        {"both fail", {Failed()}, {Failed()}, true, {kHttps, kHttp}, kFailedRequestReply},
        {"no fallback", {Failed()}, {Ok("b")}, false, {kHttps}, kFailedRequestReply},
        {"too large",
         {Failed(kHttpReplyTooLarge)},
         {Failed()},
         true,
         {kHttps, kHttp},
         kFailedRequestReply},
    };
    for (const auto& c : cases) {
        CFakeUpdaterHost fake;
        CUpdateEngine subject(fake, u"Kor");
        fake.Script(kHttps, c.https);
        fake.Script(kHttp, c.http);
        fake.fallback = c.fallback;
        EXPECT_EQ(subject.RequestUpdateText(u"/p.jsp", u"q=1"), c.text) << c.name;
        ASSERT_EQ(fake.requests.size(), c.urls.size()) << c.name;
        for (size_t i = 0; i < c.urls.size(); ++i) {
            EXPECT_EQ(fake.requests[i].url, c.urls[i] + u"/p.jsp") << c.name;
            EXPECT_EQ(fake.requests[i].form, u"q=1") << c.name;
            EXPECT_EQ(fake.requests[i].maxBodyBytes, kMaxUpdateTextBytes) << c.name;
        }
    }
}

TEST_F(UpdateEngineTest, TextRepliesAreDecodedCutAtNulAndBoundedEvenIfTheHostIsNot) {
    host.Script(kHttps, {Ok(std::string("server:\xED\x95\xB4\0rest", 12))});
    EXPECT_EQ(engine.RequestUpdateText(u"/p", u""), u"result:true\nserver:\uD574");
    host.honourLimit = false;
    host.Script(kHttps, {Ok(std::string(kMaxUpdateTextBytes + 1, 'a'))});
    host.Script(kHttp, {Ok(std::string(kMaxUpdateTextBytes, 'b'))});
    const std::u16string text = engine.RequestUpdateText(u"/p", u"");
    EXPECT_EQ(text.size(), 12 + kMaxUpdateTextBytes);  // the second, bounded one
    EXPECT_EQ(text.back(), u'b');
}

TEST_F(UpdateEngineTest, ServerInformationNeedsResultServerAndPort) {
    const struct {
        std::vector<HttpReply> replies;
        bool ok;
        std::u16string server, port;
    } cases[] = {
        {{Ok("server:10.0.0.9\r\nport:7070\r\n")}, true, u"10.0.0.9", u"7070"},
        {{Ok("\"port:\" 1\nserver: h server:\n")}, true, u"h", u"1"},
        {{Ok("server:10.0.0.9\r\n")}, false, u"", u""},
        {{Ok("port:1\r\n")}, false, u"", u""},
        {{Failed()}, false, u"", u""},
    };
    for (const auto& c : cases) {
        CFakeUpdaterHost fake;
        CUpdateEngine subject(fake, u"Kor");
        fake.tick = 0x80000000u;
        fake.Script(kInfoUrl, c.replies);
        EXPECT_EQ(subject.FetchServerInfo(), c.ok) << A(c.server);
        EXPECT_EQ(subject.ServerHostInfo(), c.server);
        EXPECT_EQ(subject.ServerPortInfo(), c.port);
        EXPECT_EQ(fake.LogIds(), std::vector<int>{kMsgGettingServerInfo});
        EXPECT_EQ(fake.requests[0].url, kInfoUrl);
        EXPECT_EQ(fake.requests[0].form, u"dummy=-2147483648");
    }
}

TEST_F(UpdateEngineTest, FileListIsReplacedByEachReplyWithRecordsAndKeptOtherwise) {
    host.Script(kListUrl, {Ok(FileLine("u_tavrel", "a", "A.dll", ".\\", 1, "1.0") +
                              FileLine("u_tavrel", "a", "A.dll", ".\\", 1, "1.0")),
                           Ok(FileLine("u_tavrel", "b", "B.dll", ".\\", 1, "1.0")),
                           Ok("result:false\n"), Failed()});
    engine.FetchFileList();
    ASSERT_EQ(engine.FileList().size(), 2u);  // duplicates of one reply stay
    engine.FetchFileList();
    ASSERT_EQ(engine.FileList().size(), 1u);
    EXPECT_EQ(engine.FileList()[0].fileKey, u"b");
    engine.FetchFileList();  // a reply without records
    engine.FetchFileList();  // a failed request
    ASSERT_EQ(engine.FileList().size(), 1u);
    EXPECT_EQ(engine.FileList()[0].fileKey, u"b");
    EXPECT_EQ(host.requests.back().form, u"releaseversion=2.0Login&dummy=1234");
}

TEST_F(UpdateEngineTest, UnsafeRecordsAreLoggedWithTheirFileName) {
    ServeList(FileLine("u_tavrel", "a", "..", ".\\", 1, "1.0") +
              FileLine("u_tavrel", "b", "B.dll", "..\\..\\Windows\\", 1, "1.0") +
              FileLine("u_tavrel", "c", "C.dll", ".\\", 1, "1.0"));
    engine.FetchFileList();
    ASSERT_EQ(engine.FileList().size(), 3u);
    const std::vector<LogEntry> expected = {{kLogLevelProgress, kMsgCheckingType, u""},
                                            {kLogLevelProgress, kMsgGettingFileList, u""},
                                            {kLogLevelError, kMsgRecordRejected, u".."},
                                            {kLogLevelError, kMsgRecordRejected, u"B.dll"}};
    EXPECT_EQ(host.log, expected);
}

TEST_F(UpdateEngineTest, DecidesWhetherTheListedFileIsNewer) {
    const std::string noVersion = "\xED\x95\xB4\xEB\x8B\xB9\xEC\x97\x86\xEC\x9D\x8C";  // 해당없음
    const struct {
        std::string version;
        size_t size;
        bool present;
        std::string localVersion;
        size_t localSize;
        bool locked;
        bool newer;
    } cases[] = {
        {"3.0.1.1012", 200, true, "3.0.1.998", 200, false, true},
        {"3.0.1.998", 200, true, "3.0.1.1012", 200, false, false},
        {"3.0.1.1012", 200, true, "3.0.1.1012", 999, false, false},  // size is not looked at
        {"3.0.1.1012", 200, true, "3, 0, 1, 1012", 200, false, true},
        {"3.0.1.1012", 200, true, "3,0,1,1012", 200, false, false},
        {"3.0.1.1012", 200, true, "", 200, false, true},  // no version information
        {"3.0.1.1012", 200, false, "", 0, false, true},   // missing
        {"3.0.1.1012", 200, true, "Unable to get Version Info", 200, false, false},
        {noVersion, 2048, false, "", 0, false, true},
        {noVersion, 2048, true, "", 2048, false, false},
        {noVersion, 2048, true, "", 2048, true, true},  // held open: size 0
        {noVersion, 2048, true, "", 2047, false, true},
    };
    for (const auto& c : cases) {
        CFakeUpdaterHost fake;
        CUpdateEngine subject(fake, u"Kor");
        fake.Script(kListUrl, {Ok(FileLine("u_tavrel", "k", "F.dll", ".\\", c.size, c.version))});
        subject.FetchFileList();
        ASSERT_EQ(subject.FileList().size(), 1u);
        const std::u16string path = fake.Path(u"\\F.dll");
        if (c.present) fake.File(u"\\F.dll") = FileBody(c.localVersion, c.localSize);
        if (c.locked) fake.locked.insert(path);
        EXPECT_EQ(subject.IsNewer(subject.FileList()[0], path), c.newer)
            << c.version << " vs " << c.localVersion << " size " << c.localSize;
    }
}

TEST_F(UpdateEngineTest, SelectsTheFirstWantedOutdatedUnstagedRecord) {
    const struct {
        const char* name;
        std::string list;
        std::u16string language;
        std::u16string expectedKey;  // empty: none
    } cases[] = {
        {"other product", FileLine("u_teacher", "t", "T.dll", ".\\", 200, "2.0"), u"Kor", u""},
        {"target", FileLine("u_tavrel", "a", "A.dll", ".\\", 200, "2.0"), u"Kor", u"a"},
        {"unsafe", FileLine("u_tavrel", "x", "CON", ".\\", 200, "2.0"), u"Kor", u""},
        {"current", FileLine("u_tavrel", "cur", "Cur.dll", ".\\", 200, "1.0"), u"Kor", u""},
        {"staged", FileLine("u_tavrel", "st", "St.dll", ".\\", 200, "2.0"), u"Kor", u""},
        {"english on Kor",
         FileLine("u_tavrel", "r_lang_dll_eng", "E.dll", "language\\", 200, "2.0"), u"Kor", u""},
        {"english on Eng",
         FileLine("u_tavrel", "r_lang_dll_eng", "E.dll", "language\\", 200, "2.0"), u"Eng",
         u"r_lang_dll_eng"},
        {"english on Japan",
         FileLine("u_tavrel", "r_lang_dll_eng", "E.dll", "language\\", 200, "2.0"), u"Japan", u""},
        {"english on other",
         FileLine("u_tavrel", "r_lang_dll_eng", "E.dll", "language\\", 200, "2.0"), u"Chn",
         u"r_lang_dll_eng"},
        {"order and duplicates",
         FileLine("u_tavrel", "cur", "Cur.dll", ".\\", 200, "1.0") +
             FileLine("u_tavrel", "b", "B.dll", ".\\", 200, "2.0") +
             FileLine("u_tavrel", "a", "A.dll", ".\\", 200, "2.0") +
             FileLine("u_tavrel", "b", "B.dll", ".\\", 200, "2.0"),
         u"Kor", u"b"},
    };
    for (const auto& c : cases) {
        CFakeUpdaterHost fake;
        CUpdateEngine subject(fake, c.language);
        subject.OnDialogStarted();
        fake.File(u"\\Cur.dll") = FileBody("1.0", 200);
        fake.File(u"\\St.dll.new") = FileBody("2.0", 200);
        fake.Script(kListUrl, {Ok(c.list)});
        subject.FetchFileList();
        const UpdateFileRecord* record = subject.SelectNextDownload();
        EXPECT_EQ(record ? record->fileKey : u"", c.expectedKey) << c.name;
    }
}

TEST_F(UpdateEngineTest, RefusesBodiesOfAHundredBytesOrLessAndWritesLargerOnes) {
    const struct {
        HttpReply reply;
        bool written;
        int lastLog;
    } cases[] = {
        {Ok(std::string(100, 'r')), false, kMsgDownloadRefused},
        {Ok(""), false, kMsgDownloadRefused},
        {Ok(std::string(101, 'w')), true, kMsgDownloadDone},
        {Failed(), false, kMsgDownloadFailed},
        {Failed(kHttpReplyTooLarge), false, kMsgDownloadFailed},
    };
    for (const auto& c : cases) {
        CFakeUpdaterHost fake;
        CUpdateEngine subject(fake, u"Kor");
        fake.Script(kHttps, {c.reply});
        fake.Script(kHttp, {c.reply});
        const bool result = subject.DownloadToFile(kUpdateDownloadPage, u"type=k",
                                                   fake.Path(u"\\a\\b\\"), u"F.dll.new");
        EXPECT_EQ(result, c.written) << c.reply.body.size();
        EXPECT_EQ(fake.Has(u"\\a\\b\\F.dll.new"), c.written);
        if (c.written) {
            EXPECT_EQ(fake.File(u"\\a\\b\\F.dll.new"), c.reply.body);
        }
        const std::vector<LogEntry> expected = {
            {kLogLevelProgress, kMsgDownloadStart, u"F.dll.new"},
            {c.lastLog == kMsgDownloadFailed ? kLogLevelError : kLogLevelProgress, c.lastLog,
             u"F.dll.new"}};
        EXPECT_EQ(fake.log, expected);
        EXPECT_EQ(fake.requests[0].form, u"type=k&dummy=1234");
        EXPECT_EQ(fake.requests[0].maxBodyBytes, kMaxDownloadBytes);
    }
}

TEST_F(UpdateEngineTest, ReportsStagingFilesThatCannotBeCreatedOrWritten) {
    host.Script(kHttps, {Ok(std::string(200, 'w'))});
    const std::u16string folder = host.Path(u"\\");
    host.createFails.insert(folder + u"A.new");
    host.writeFails.insert(folder + u"B.new");
    EXPECT_FALSE(engine.DownloadToFile(kUpdateDownloadPage, u"", folder, u"A.new"));
    EXPECT_FALSE(engine.DownloadToFile(kUpdateDownloadPage, u"", folder, u"B.new"));
    const std::vector<LogEntry> expected = {{kLogLevelProgress, kMsgCheckingType, u""},
                                            {kLogLevelProgress, kMsgDownloadStart, u"A.new"},
                                            {kLogLevelError, kMsgSaveFailed, u"A.new"},
                                            {kLogLevelProgress, kMsgDownloadStart, u"B.new"},
                                            {kLogLevelError, kMsgWriteFailed, u""}};
    EXPECT_EQ(host.log, expected);
    EXPECT_EQ(host.requests[0].form, u"dummy=1234");
}

TEST_F(UpdateEngineTest, DownloadsOnePerStepThenInstallsAndStartsTheTarget) {
    ServeList(FileLine("u_tavrel", "a", "A.dll", ".\\", 200, "2.0") +
              FileLine("u_tavrel", "b", "B.dll", "sub\\", 300, "2.0"));
    ServeDownload("a", FileBody("2.0", 200));
    ServeDownload("b", FileBody("2.0", 300));
    host.File(u"\\A.dll") = FileBody("1.0", 150);
    engine.FetchFileList();

    EXPECT_TRUE(engine.DownloadStep());
    EXPECT_TRUE(host.Has(u"\\A.dll.new"));
    EXPECT_FALSE(host.Has(u"\\sub\\B.dll.new"));
    EXPECT_TRUE(engine.DownloadStep());
    EXPECT_TRUE(host.Has(u"\\sub\\B.dll.new"));
    ASSERT_EQ(host.requests.size(), 3u);
    EXPECT_EQ(host.requests[1].form, u"type=a&releaseversion=2.0Login&dummy=1234");
    EXPECT_EQ(host.requests[2].form, u"type=b&releaseversion=2.0Login&dummy=1234");
    EXPECT_EQ(host.quits, 0);

    EXPECT_FALSE(engine.DownloadStep());
    EXPECT_EQ(host.File(u"\\A.dll"), FileBody("2.0", 200));
    EXPECT_EQ(host.File(u"\\A.dll_20261210_1"), FileBody("1.0", 150));
    EXPECT_EQ(host.File(u"\\sub\\B.dll"), FileBody("2.0", 300));
    EXPECT_FALSE(host.Has(u"\\A.dll.new"));
    EXPECT_EQ(host.opened, std::vector<std::u16string>{host.Path(u"\\Vantor Tavrel.exe")});
    EXPECT_EQ(host.quits, 1);
}

TEST_F(UpdateEngineTest, AFailingDownloadIsAskedForAgainAtTheNextStep) {
    ServeList(FileLine("u_tavrel", "a", "A.dll", ".\\", 200, "2.0"));
    host.Script(kDownloadUrl + u"?type=a&", {Ok("busy"), Ok(FileBody("2.0", 200))});
    engine.FetchFileList();
    EXPECT_TRUE(engine.DownloadStep());
    EXPECT_FALSE(host.Has(u"\\A.dll.new"));
    EXPECT_TRUE(engine.DownloadStep());
    EXPECT_TRUE(host.Has(u"\\A.dll.new"));
    EXPECT_EQ(host.requests.size(), 3u);
}

TEST_F(UpdateEngineTest, AfterRunNowTheLoopEndsWithoutInstalling) {
    ServeList(FileLine("u_tavrel", "a", "A.dll", ".\\", 200, "2.0"));
    ServeDownload("a", FileBody("2.0", 200));
    host.File(u"\\A.dll") = FileBody("1.0", 150);
    engine.FetchFileList();
    engine.RunNow();
    EXPECT_EQ(host.hides, 1);
    EXPECT_EQ(host.opened.size(), 1u);   // Run now starts the target itself
    EXPECT_TRUE(engine.DownloadStep());  // downloads go on hidden
    EXPECT_FALSE(engine.DownloadStep());
    EXPECT_EQ(host.quits, 1);
    EXPECT_EQ(host.File(u"\\A.dll"), FileBody("1.0", 150));
    EXPECT_TRUE(host.Has(u"\\A.dll.new"));
    EXPECT_TRUE(host.moves.empty());
    EXPECT_EQ(host.opened.size(), 1u);
}

TEST_F(UpdateEngineTest, StartSequenceOutcomesAndTheirLog) {
    const std::string updaterCurrent =
        FileLine("u_tavrel", "updater_tavrel_exe", "VTUpdaterT.exe", ".\\", 500, "3.0.1.1004");
    const struct {
        const char* name;
        std::vector<HttpReply> info;
        std::string list;
        StartOutcome outcome;
        std::vector<int> log;
    } cases[] = {
        {"server unreachable",
         {Failed()},
         updaterCurrent,
         StartOutcome::kRetryLater,
         {313, 314, 308, 309}},
        {"no updater record",
         {Ok("server:h\nport:1")},
         FileLine("u_tavrel", "a", "A.dll", ".\\", 200, "2.0"),
         StartOutcome::kRetryLater,
         {313, 314, 315, 311, 312, 309}},
        {"updater current",
         {Ok("server:h\nport:1")},
         updaterCurrent,
         StartOutcome::kStartDownloads,
         {313, 314, 315, 311}},
    };
    for (const auto& c : cases) {
        CFakeUpdaterHost fake;
        CUpdateEngine subject(fake, u"Kor");
        subject.OnDialogStarted();
        fake.Script(kInfoUrl, c.info);
        fake.Script(kListUrl, {Ok(c.list)});
        EXPECT_EQ(subject.RunStartSequence(), c.outcome) << c.name;
        EXPECT_EQ(fake.LogIds(), c.log) << c.name;
        EXPECT_EQ(fake.quits, 0) << c.name;
    }
}

TEST_F(UpdateEngineTest, AnUnreachableServerStartsTheTargetOnceAndHides) {
    host.Script(kInfoUrl, {Failed()});
    for (int attempt = 0; attempt < 3; ++attempt)
        EXPECT_EQ(engine.RunStartSequence(), StartOutcome::kRetryLater);
    EXPECT_TRUE(engine.AutoRunDone());
    EXPECT_TRUE(engine.RunNowPressed());
    EXPECT_EQ(host.opened, std::vector<std::u16string>{host.Path(u"\\Vantor Tavrel.exe")});
    EXPECT_GE(host.hides, 1);
    EXPECT_EQ(host.log[2], (LogEntry{kLogLevelError, kMsgServerInfoFailed, u""}));
    EXPECT_EQ(host.log[3], (LogEntry{kLogLevelError, kMsgRunNowHint, u""}));
    // Pressing Run now afterwards starts nothing more.
    engine.RunNow();
    EXPECT_EQ(host.opened.size(), 1u);
}

TEST_F(UpdateEngineTest, StartsTheTargetUnlessItRunsOrIsUnknown) {
    const struct {
        std::u16string targetType;
        std::vector<std::u16string> running;
        std::vector<std::u16string> opened;
    } cases[] = {
        {u"u_tavrel", {}, {u"C:\\vantor-test\\Vantor Tavrel.exe"}},
        {u"u_tavrel", {u"VANTOR TAVREL.EXE"}, {}},
        {u"u_tavrel", {u"vantor tavrel.exe"}, {}},
        {u"u_tavrel", {u"Vantor Teacher.exe"}, {u"C:\\vantor-test\\Vantor Tavrel.exe"}},
        {u"u_student", {}, {u"C:\\vantor-test\\Vantor Student.exe"}},
        {u"u_other", {}, {}},
        {u"", {}, {}},
    };
    for (const auto& c : cases) {
        CFakeUpdaterHost fake;
        CUpdateEngine subject(fake, u"Kor");
        subject.SetTargetType(c.targetType);
        fake.processes = c.running;
        subject.StartTargetProgram();
        EXPECT_EQ(fake.opened, c.opened) << A(c.targetType);
        EXPECT_EQ(fake.quits, 0);
    }
}

TEST_F(UpdateEngineTest, ASecondInstanceOnlyStartsTheTargetAndEnds) {
    host.File(u"\\A.dll.new") = FileBody("2.0", 200);
    engine.RunAsSecondInstance();
    EXPECT_EQ(host.opened, std::vector<std::u16string>{host.Path(u"\\Vantor Tavrel.exe")});
    EXPECT_EQ(host.quits, 1);
    EXPECT_TRUE(host.requests.empty());
    EXPECT_TRUE(host.moves.empty());
}

}  // namespace
