// The update web server's three pages over a folder of files, and the version reading
// of Windows executables it lists them with (executables built here byte by byte).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "EventLog.h"
#include "PeFileBuilder.h"
#include "WebTestClient.h"
#include "WebUpdateFixture.h"
#include "web/HttpServer.h"
#include "web/PeVersion.h"
#include "web/UpdateWebServer.h"

namespace fs = std::filesystem;
using namespace pe_builder;

TEST(WebPeVersion, FileVersionIsReadThroughTheFirstTranslation) {
    const std::vector<uint8_t> notPe = {'M', 'Z', 0, 0};
    const struct {
        const char* name;
        std::vector<uint8_t> file;
        PeVersionStatus status;
        std::u16string version;
    } cases[] = {
        {"commas and spaces kept", PeFile(VersionBlock(u"041204b0", u"3, 0, 1, 1004", true)),
         PeVersionStatus::kFound, u"3, 0, 1, 1004"},
        {"table name in upper case", PeFile(VersionBlock(u"041204B0", u"2.0.1.7", true)),
         PeVersionStatus::kFound, u"2.0.1.7"},
        {"no FileVersion", PeFile(VersionBlock(u"041204b0", u"", true)),
         PeVersionStatus::kNoFileVersion, u""},
        {"table of another language", PeFile(VersionBlock(u"040904b0", u"1.2.3.4", true)),
         PeVersionStatus::kNoFileVersion, u""},
        {"no translation", PeFile(VersionBlock(u"041204b0", u"1.2.3.4", false)),
         PeVersionStatus::kNoVersionInfo, u""},
        {"not a PE file", notPe, PeVersionStatus::kNoVersionInfo, u""},
    };
    for (const auto& c : cases) {
        const PeVersion v = ReadPeVersion(c.file.data(), c.file.size());
        EXPECT_EQ(c.status, v.status) << c.name;
        EXPECT_EQ(c.version, v.fileVersion) << c.name;
        // Every cut of the file is read without going past it (each in a buffer of
        // exactly its size, so a sanitizer sees any over-read), and a cut that loses the
        // version never finds one.
        for (size_t cut = 0; cut < c.file.size(); cut += 7) {
            const std::vector<uint8_t> part(c.file.begin(), c.file.begin() + cut);
            const PeVersion partial = ReadPeVersion(part.data(), part.size());
            if (partial.status == PeVersionStatus::kFound) {
                EXPECT_EQ(c.version, partial.fileVersion) << c.name << ", cut at " << cut;
            }
        }
    }
}

TEST_F(WebUpdateTest, PagesListAndServeTheFolder) {
    const WebReply info = Get(std::string(CUpdateWebServer::kServerInfoPath) + "?dummy=5");
    EXPECT_EQ(200, info.status);
    EXPECT_EQ("server:127.0.0.1\nport:" + std::to_string(m_host.HttpPort()), info.body);

    const WebReply list =
        Get(std::string(CUpdateWebServer::kFileListPath) + "?releaseversion=2.0Login&dummy=5");
    EXPECT_EQ(200, list.status);
    const auto size = [this](const char* name) {
        return std::to_string(fs::file_size(m_folder / name));
    };
    EXPECT_EQ(
        "code:0\n"
        "file:u_tavrel,updater_tavrel_exe,VTUpdaterT.exe,.\\," +
            size("VTUpdaterT.exe") +
            ",1.0.0.9,0,VTUpdaterT.exe.new\n"
            "file:u_tavrel,vantor_tavrel_exe,Vantor Tavrel.exe,.\\," +
            size("Vantor Tavrel.exe") +
            ",3.0.1.1004,0,Vantor Tavrel.exe.new\n"
            "file:u_tavrel,t_lang_dll_eng,Vantor TavrelEng.dll,language\\,300," +
            kNoVersion949 + ",0,Vantor TavrelEng.dll.new\n" +
            "file:u_other,sound_dat,sound.dat,.\\,50," + kNoVersion949 + ",0,sound.tmp",
        list.body);

    const WebReply dll = Get(Download("t_lang_dll_eng"));
    EXPECT_EQ(200, dll.status);
    EXPECT_EQ(std::string(300, '\x07'), dll.body);
    EXPECT_EQ(1, m_server->DownloadCounts()["t_lang_dll_eng"]);
    const WebReply unknown = Get(Download("no_such_key"));
    EXPECT_EQ(200, unknown.status);
    EXPECT_LE(unknown.body.size(), 100u);
}

TEST_F(WebUpdateTest, RefusalsAreShortAndCounted) {
    EXPECT_LE(std::string(CUpdateWebServer::RefusalBody()).size(), 100u);
    m_server->SetRefuseDownloads(2);
    const size_t expected[] = {0, 0, 300, 300};
    for (size_t i = 0; i < 4; ++i) {
        const WebReply reply = Get(Download("t_lang_dll_eng"));
        EXPECT_EQ(200, reply.status);
        if (expected[i] == 0) {
            EXPECT_EQ(CUpdateWebServer::RefusalBody(), reply.body) << i;
        } else {
            EXPECT_EQ(expected[i], reply.body.size()) << i;
        }
    }
    m_server->SetRefuseDownloads(-1);
    for (int i = 0; i < 3; ++i) EXPECT_LE(Get(Download("vantor_tavrel_exe")).body.size(), 100u);
    EXPECT_EQ(0, m_server->DownloadCounts()["vantor_tavrel_exe"]);
}

TEST_F(WebUpdateTest, FailuresApplyToTheirPageOnly) {
    const struct {
        UpdatePage page;
        UpdatePageFailure failure;
        int status;  // 0: no answer at all
    } cases[] = {
        {UpdatePage::kServerInfo, UpdatePageFailure::kStatus404, 404},
        {UpdatePage::kFileList, UpdatePageFailure::kStatus500, 500},
        {UpdatePage::kDownload, UpdatePageFailure::kStatus302, 302},
        {UpdatePage::kFileList, UpdatePageFailure::kDrop, 0},
    };
    const std::string targets[] = {std::string(CUpdateWebServer::kServerInfoPath) + "?dummy=1",
                                   std::string(CUpdateWebServer::kFileListPath) + "?dummy=1",
                                   Download("vantor_tavrel_exe")};
    for (const auto& c : cases) {
        m_server->SetFailure(c.page, c.failure);
        for (int page = 0; page < 3; ++page) {
            const WebReply reply = Get(targets[page]);
            const bool failing = page == int(c.page);
            EXPECT_EQ(failing ? c.status != 0 : true, reply.answered) << page;
            EXPECT_EQ(failing ? c.status : 200, reply.status) << page;
        }
        m_server->SetFailure(c.page, UpdatePageFailure::kNone);
    }
    const auto events = m_log.Events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ("update_request", events.back().kind);
    EXPECT_EQ("download", events.back().Text("page"));
    EXPECT_EQ("vantor_tavrel_exe", events.back().Text("key"));
}

// The pieces of a "file:" line split the way the updater splits them.
std::vector<std::string> CommaPieces(const std::string& line) {
    std::vector<std::string> pieces;
    size_t start = 0;
    for (;;) {
        const size_t comma = line.find(',', start);
        pieces.push_back(line.substr(start, comma - start));
        if (comma == std::string::npos) return pieces;
        start = comma + 1;
    }
}

TEST_F(WebUpdateTest, TopLevelFilesAreListedInTheDotFolderAndNoFieldIsEmpty) {
    const struct {
        const char* fileName;
        const char* folder;
    } cases[] = {
        {"VTUpdaterT.exe", ".\\"},
        {"Vantor Tavrel.exe", ".\\"},
        {"Vantor TavrelEng.dll", "language\\"},
        {"sound.dat", ".\\"},
    };
    const std::vector<UpdateFileEntry> files = m_server->Files();
    ASSERT_EQ(std::size(cases), files.size());
    for (const auto& c : cases) {
        const auto file = std::find_if(files.begin(), files.end(), [&](const UpdateFileEntry& f) {
            return f.fileName == c.fileName;
        });
        ASSERT_NE(files.end(), file) << c.fileName;
        EXPECT_EQ(c.folder, file->folder) << c.fileName;
    }
    const std::string body = m_server->FileListBody();
    size_t lines = 0;
    for (size_t at = body.find("\nfile:"); at != std::string::npos;
         at = body.find("\nfile:", at + 1)) {
        const size_t end = body.find('\n', at + 1);
        const auto pieces = CommaPieces(body.substr(at + 6, end - at - 6));
        ++lines;
        ASSERT_EQ(8u, pieces.size()) << body;
        for (const std::string& piece : pieces) EXPECT_FALSE(piece.empty()) << body;
    }
    EXPECT_EQ(files.size(), lines);
}

TEST_F(WebUpdateTest, RequestsAreRecordedWithQueryAgentAndScheme) {
    const struct {
        std::string target;
        bool secure;
        const char* agent;
        UpdatePage page;
        const char* pageName;
        const char* dummy;  // nullptr: not sent
        const char* releaseVersion;
        const char* key;
        uint64_t bytes;
    } cases[] = {
        {std::string(CUpdateWebServer::kServerInfoPath) + "?dummy=-5", true, "VTUpdater",
         UpdatePage::kServerInfo, "server_info", "-5", nullptr, "", 0},
        {std::string(CUpdateWebServer::kServerInfoPath), false, "Other agent",
         UpdatePage::kServerInfo, "server_info", nullptr, nullptr, "", 0},
        {std::string(CUpdateWebServer::kFileListPath) + "?releaseversion=2.0Login&dummy=123", false,
         "VTUpdater", UpdatePage::kFileList, "file_list", "123", "2.0Login", "", 0},
        {Download("t_lang_dll_eng") + "3", true, "VTUpdater", UpdatePage::kDownload, "download",
         "-123", "2.0Login", "t_lang_dll_eng", 300},
        {std::string(CUpdateWebServer::kDownloadPath) +
             "?type=t%5Flang_dll_eng&releaseversion=2%2E0Login&dummy=-2147483648",
         false, "VTUpdater", UpdatePage::kDownload, "download", "-2147483648", "2.0Login",
         "t_lang_dll_eng", 300},
    };
    for (const auto& c : cases) {
        m_server->ClearRequests();
        const size_t eventsBefore = m_log.Events().size();
        const WebReply reply = Get(c.target, c.secure, c.agent);
        ASSERT_EQ(200, reply.status) << c.target;
        const auto records = m_server->Requests();
        ASSERT_EQ(1u, records.size()) << c.target;
        const UpdateRequestRecord& r = records[0];
        const std::string query =
            c.target.substr(std::min(c.target.find('?'), c.target.size() - 1) + 1);
        EXPECT_EQ(c.page, r.page) << c.target;
        EXPECT_EQ(c.pageName, r.pageName) << c.target;
        EXPECT_EQ(c.secure ? "https" : "http", r.scheme) << c.target;
        EXPECT_EQ(c.target.find('?') == std::string::npos ? "" : query, r.query) << c.target;
        EXPECT_EQ(c.dummy ? c.dummy : "", r.dummy) << c.target;
        EXPECT_EQ(c.releaseVersion ? c.releaseVersion : "", r.releaseVersion) << c.target;
        EXPECT_EQ(c.key, r.key) << c.target;
        EXPECT_EQ(c.agent, r.agent) << c.target;
        EXPECT_EQ(200, r.status) << c.target;
        EXPECT_EQ(reply.body.size(), r.length) << c.target;
        if (c.page == UpdatePage::kDownload) {
            EXPECT_EQ(c.bytes, r.bytes) << c.target;
        }

        const auto events = m_log.Events();
        ASSERT_EQ(eventsBefore + 1, events.size()) << c.target;
        const SimEvent& e = events.back();
        EXPECT_EQ("update_request", e.kind);
        EXPECT_EQ(c.pageName, e.Text("page")) << c.target;
        EXPECT_EQ(r.query, e.Text("query")) << c.target;
        EXPECT_EQ(c.agent, e.Text("agent")) << c.target;
        EXPECT_EQ(r.scheme, e.Text("scheme")) << c.target;
        EXPECT_EQ(c.dummy != nullptr, e.Has("dummy")) << c.target;
        EXPECT_EQ(r.dummy, e.Text("dummy")) << c.target;
        EXPECT_EQ(c.releaseVersion != nullptr, e.Has("releaseversion")) << c.target;
        EXPECT_EQ(r.releaseVersion, e.Text("releaseversion")) << c.target;
    }
}

TEST_F(WebUpdateTest, PagesCountEveryRequestWhateverTheAnswer) {
    m_server->SetFailure(UpdatePage::kServerInfo, UpdatePageFailure::kDrop);
    m_server->SetRefuseDownloads(1);
    Get(std::string(CUpdateWebServer::kServerInfoPath) + "?dummy=1");
    Get(std::string(CUpdateWebServer::kServerInfoPath) + "?dummy=2", true);
    for (int i = 0; i < 3; ++i) Get(std::string(CUpdateWebServer::kFileListPath) + "?dummy=1");
    Get(Download("t_lang_dll_eng"));  // refused
    Get(Download("t_lang_dll_eng"));
    Get(Download("no_such_key"));
    EXPECT_EQ(2, m_server->PageCount(UpdatePage::kServerInfo));
    EXPECT_EQ(3, m_server->PageCount(UpdatePage::kFileList));
    EXPECT_EQ(3, m_server->PageCount(UpdatePage::kDownload));
    const std::map<std::string, int> served = {{"t_lang_dll_eng", 1}};
    EXPECT_EQ(served, m_server->DownloadCounts());
    EXPECT_EQ(8u, m_server->Requests().size());
}

// A failure over one scheme lets the updater's retry over the other through: the
// records show the first attempt and then the second.
TEST_F(WebUpdateTest, FailureOverOneSchemeServesTheOther) {
    const struct {
        const char* scheme;  // "" both
        bool httpsAnswered;
        bool httpAnswered;
    } cases[] = {{"https", false, true}, {"http", true, false}, {"", false, false}};
    const std::string target = std::string(CUpdateWebServer::kServerInfoPath) + "?dummy=9";
    for (const auto& c : cases) {
        m_server->ClearRequests();
        m_server->SetFailure(UpdatePage::kServerInfo, UpdatePageFailure::kDrop, c.scheme);
        EXPECT_EQ(c.httpsAnswered, Get(target, true).answered) << c.scheme;
        EXPECT_EQ(c.httpAnswered, Get(target, false).answered) << c.scheme;
        const auto records = m_server->Requests();
        ASSERT_EQ(2u, records.size()) << c.scheme;
        EXPECT_EQ("https", records[0].scheme);
        EXPECT_EQ(c.httpsAnswered ? 200 : 0, records[0].status) << c.scheme;
        EXPECT_EQ("http", records[1].scheme);
        EXPECT_EQ(c.httpAnswered ? 200 : 0, records[1].status) << c.scheme;
    }
    m_server->ClearMisbehaviours();
    EXPECT_TRUE(Get(target, true).answered);
}
