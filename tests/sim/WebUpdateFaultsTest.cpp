// The update web server misbehaving on demand: cut, huge, slow, refused and failed
// downloads, extra and malicious records, and the same switches given as text.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "WebUpdateFixture.h"
#include "web/UpdateSwitches.h"

namespace {

constexpr char kLangKey[] = "t_lang_dll_eng";  // the 300-byte language file
constexpr size_t kLangBytes = 300;

std::vector<std::string> Pieces(const std::string& line) {
    std::vector<std::string> pieces;
    size_t start = 0;
    for (;;) {
        const size_t comma = line.find(',', start);
        pieces.push_back(line.substr(start, comma - start));
        if (comma == std::string::npos) return pieces;
        start = comma + 1;
    }
}

}  // namespace

TEST_F(WebUpdateTest, CutDownloadsAnnounceTheWholeBodyAndSendLess) {
    const struct {
        const char* name;
        const char* setKey;
        int64_t cut;
        const char* askedKey;
        uint64_t sent;
        const char* misbehaviour;
    } cases[] = {
        {"cut after 100", kLangKey, 100, kLangKey, 100, "cut"},
        {"head only", kLangKey, 0, kLangKey, 0, "cut"},
        {"one byte short", kLangKey, 299, kLangKey, 299, "cut"},
        {"cut beyond the end", kLangKey, 1000, kLangKey, kLangBytes, "cut"},
        {"every key", CUpdateWebServer::kEveryKey, 10, kLangKey, 10, "cut"},
        {"another key", "vantor_tavrel_exe", 5, kLangKey, kLangBytes, ""},
        {"switched off", kLangKey, -1, kLangKey, kLangBytes, ""},
    };
    for (const auto& c : cases) {
        for (const bool secure : {false, true}) {
            m_server->ClearMisbehaviours();
            m_server->ClearRequests();
            m_server->SetCutDownloads(c.setKey, c.cut);
            const WebReply reply = Get(Download(c.askedKey), secure);
            ASSERT_TRUE(reply.answered) << c.name;
            EXPECT_EQ(200, reply.status) << c.name;
            EXPECT_EQ(static_cast<long long>(kLangBytes), WebContentLength(reply)) << c.name;
            EXPECT_EQ(std::string(c.sent, '\x07'), reply.body) << c.name;
            const auto records = m_server->Requests();
            ASSERT_EQ(1u, records.size()) << c.name;
            EXPECT_EQ(c.sent, records[0].bytes) << c.name;
            EXPECT_EQ(kLangBytes, records[0].length) << c.name;
            EXPECT_EQ(c.misbehaviour, records[0].misbehaviour) << c.name;
        }
    }
}

TEST_F(WebUpdateTest, HugeBodiesAreGeneratedToTheirLength) {
    m_server->SetHugeDownloads(kLangKey);
    const WebReply huge = Get(Download(kLangKey));
    ASSERT_TRUE(huge.answered);
    EXPECT_EQ(67108865, CUpdateWebServer::kHugeBodyBytes);
    EXPECT_EQ(CUpdateWebServer::kHugeBodyBytes, WebContentLength(huge));
    ASSERT_EQ(uint64_t(CUpdateWebServer::kHugeBodyBytes), huge.body.size());
    EXPECT_EQ(std::string::npos, huge.body.find_first_not_of(huge.body[0]));
    EXPECT_EQ("huge", m_server->Requests().back().misbehaviour);

    const struct {
        const char* name;
        int64_t huge;
        int64_t cut;
        const char* key;
        long long length;
        size_t sent;
    } cases[] = {
        {"small huge body", 1000, -1, "vantor_tavrel_exe", 1000, 1000},
        {"huge and cut", 5000, 10, "vantor_tavrel_exe", 5000, 10},
        {"empty", 0, -1, "vantor_tavrel_exe", 0, 0},
        {"off again", -1, -1, kLangKey, static_cast<long long>(kLangBytes), kLangBytes},
    };
    for (const auto& c : cases) {
        m_server->ClearMisbehaviours();
        m_server->SetHugeDownloads(CUpdateWebServer::kEveryKey, c.huge);
        m_server->SetCutDownloads(CUpdateWebServer::kEveryKey, c.cut);
        const WebReply reply = Get(Download(c.key), true);
        EXPECT_EQ(c.length, WebContentLength(reply)) << c.name;
        EXPECT_EQ(c.sent, reply.body.size()) << c.name;
    }
}

TEST_F(WebUpdateTest, SlowDownloadsPauseThenSendEverything) {
    constexpr int kPauseMs = 300;
    m_server->SetSlowDownloads(kLangKey, kPauseMs, 100);
    const auto start = std::chrono::steady_clock::now();
    const WebReply reply = Get(Download(kLangKey));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(std::string(kLangBytes, '\x07'), reply.body);
    EXPECT_GE(elapsed, std::chrono::milliseconds(kPauseMs));
    EXPECT_EQ("slow", m_server->Requests().back().misbehaviour);
    m_server->SetSlowDownloads(kLangKey, 0);
    Get(Download(kLangKey));
    EXPECT_EQ("", m_server->Requests().back().misbehaviour);
}

// A download waiting in its pause must not keep the host from stopping: the client
// gets what was sent before the pause and then the end of the connection.
TEST_F(WebUpdateTest, StoppingTheHostEndsAPausedDownload) {
    m_server->SetSlowDownloads(kLangKey, 120000, 100);
    WebReply reply;
    std::thread client([&] { reply = Get(Download(kLangKey)); });
    const auto asked = m_log.WaitFor(CEventLog::KindWith("update_request", "key", kLangKey),
                                     std::chrono::seconds(10));
    const auto start = std::chrono::steady_clock::now();
    m_host.Stop();
    const auto stopping = std::chrono::steady_clock::now() - start;
    client.join();
    ASSERT_TRUE(asked.has_value());
    EXPECT_LT(stopping, std::chrono::seconds(60));
    EXPECT_EQ(static_cast<long long>(kLangBytes), WebContentLength(reply));
    EXPECT_EQ(std::string(100, '\x07'), reply.body);
}

TEST_F(WebUpdateTest, RefusalsCountDownTheKeysOwnCountFirst) {
    m_server->SetRefuseDownloads(kLangKey, 2);
    m_server->SetRefuseDownloads(1);
    // Another key takes the every-key refusal and nothing of the key's own two; the
    // key's two go, and then it is served.
    const struct {
        const char* key;
        bool refused;
    } steps[] = {{"vantor_tavrel_exe", true},
                 {kLangKey, true},
                 {kLangKey, true},
                 {kLangKey, false},
                 {"vantor_tavrel_exe", false}};
    for (const auto& step : steps) {
        const WebReply reply = Get(Download(step.key));
        EXPECT_EQ(step.refused, reply.body == CUpdateWebServer::RefusalBody()) << step.key;
        EXPECT_EQ(step.refused ? "refused" : "", m_server->Requests().back().misbehaviour);
    }
    EXPECT_EQ(1, m_server->DownloadCounts()[kLangKey]);
    EXPECT_EQ(1, m_server->DownloadCounts()["vantor_tavrel_exe"]);
}

TEST_F(WebUpdateTest, DownloadFailuresHoldForTheirKeyAndKeepRefusalsWaiting) {
    const struct {
        const char* name;
        const char* setKey;
        UpdatePageFailure failure;
        const char* askedKey;
        bool answered;
        int status;
    } cases[] = {
        {"404 for the key", kLangKey, UpdatePageFailure::kStatus404, kLangKey, true, 404},
        {"other key served", kLangKey, UpdatePageFailure::kStatus404, "vantor_tavrel_exe", true,
         200},
        {"500 for every key", CUpdateWebServer::kEveryKey, UpdatePageFailure::kStatus500,
         "vantor_tavrel_exe", true, 500},
        {"dropped", kLangKey, UpdatePageFailure::kDrop, kLangKey, false, 0},
        {"redirected", kLangKey, UpdatePageFailure::kStatus302, kLangKey, true, 302},
    };
    for (const auto& c : cases) {
        m_server->ClearMisbehaviours();
        m_server->SetRefuseDownloads(1);
        m_server->SetDownloadFailure(c.setKey, c.failure);
        const WebReply reply = Get(Download(c.askedKey));
        EXPECT_EQ(c.answered, reply.answered) << c.name;
        EXPECT_EQ(c.status, reply.status) << c.name;
        if (c.status == 200) continue;
        EXPECT_EQ("failed", m_server->Requests().back().misbehaviour) << c.name;
        // The refusal was not used up by the failure.
        m_server->SetDownloadFailure(c.setKey, UpdatePageFailure::kNone);
        EXPECT_EQ(CUpdateWebServer::RefusalBody(), Get(Download(c.askedKey)).body) << c.name;
    }
}

TEST_F(WebUpdateTest, ExtraLinesGoOutVerbatimInTheCodePageWithTheirBodies) {
    const std::string before = m_server->FileListBody();
    m_server->AddExtraFileLine("u_tavrel,evil,x.dll,..\\..\\,100,해당없음,0,x.dll.new");
    m_server->AddExtraFileLine("only,three,fields");
    const std::string extra = "\nfile:u_tavrel,evil,x.dll,..\\..\\,100," + kNoVersion949 +
                              ",0,x.dll.new\nfile:only,three,fields";
    EXPECT_EQ(before + extra, m_server->FileListBody());
    EXPECT_EQ(before + extra,
              Get(std::string(CUpdateWebServer::kFileListPath) + "?releaseversion=2.0Login").body);

    const std::string body(150, 'E');
    EXPECT_LE(Get(Download("evil")).body.size(), 100u);  // no body yet: unknown
    m_server->SetExtraDownload("evil", body);
    EXPECT_EQ(body, Get(Download("evil")).body);
    m_server->SetCutDownloads("evil", 20);
    EXPECT_EQ(body.substr(0, 20), Get(Download("evil")).body);
    EXPECT_EQ(2, m_server->DownloadCounts()["evil"]);

    m_server->ClearExtraFileLines();
    EXPECT_EQ(before, m_server->FileListBody());
    EXPECT_LE(Get(Download("evil")).body.size(), 100u);
}

TEST_F(WebUpdateTest, MaliciousLinesCarryTheirHazardInTheirField) {
    const std::map<std::string, std::string> hazards = {
        {"percent", "%"}, {"ampersand", "&"}, {"pipe", "|"}, {"less", "<"},
        {"greater", ">"}, {"caret", "^"},     {"bang", "!"}};
    const std::map<std::string, size_t> fieldIndex = {{"folder", 3}, {"name", 2}, {"stage", 7}};
    // The shapes the updater must refuse, each at least once.
    const std::set<std::string> required = {
        "climb-folder",  "climb-name",     "climb-stage",       "drive-folder",
        "root-folder",   "stage-is-name",  "percent-in-folder", "ampersand-in-name",
        "pipe-in-stage", "less-in-folder", "greater-in-name",   "caret-in-stage"};
    std::set<std::string> names, keys;
    for (const MaliciousFileLine& m : CUpdateWebServer::MaliciousFileLines()) {
        names.insert(m.name);
        EXPECT_TRUE(keys.insert(m.key).second) << m.name;
        const std::vector<std::string> f = Pieces(m.line);
        ASSERT_EQ(8u, f.size()) << m.line;
        for (const std::string& piece : f) EXPECT_FALSE(piece.empty()) << m.line;
        EXPECT_EQ("u_tavrel", f[0]) << m.name;
        EXPECT_EQ(m.key, f[1]) << m.name;
        EXPECT_EQ(CUpdateWebServer::kNoVersion, f[5]) << m.name;
        const std::string field = m.name.substr(m.name.rfind('-') + 1);
        ASSERT_TRUE(fieldIndex.count(field)) << m.name;
        const std::string& value = f[fieldIndex.at(field)];
        const std::string kind = m.name.substr(0, m.name.find('-'));
        if (hazards.count(kind)) {
            EXPECT_NE(std::string::npos, value.find(hazards.at(kind))) << m.name;
        } else if (kind == "climb") {
            EXPECT_NE(std::string::npos, value.find("..")) << m.name;
        } else if (kind == "drive" || kind == "colon") {
            EXPECT_EQ(':', value.at(1)) << m.name;
        } else if (kind == "root" || kind == "unc") {
            EXPECT_EQ('\\', value.at(0)) << m.name;
        } else if (kind == "stage") {
            EXPECT_EQ(f[2], f[7]) << m.name;
        } else {
            EXPECT_EQ("device-stage", m.name);
            EXPECT_EQ("CON", value);
        }
    }
    for (const std::string& name : required) EXPECT_TRUE(names.count(name)) << name;

    EXPECT_FALSE(m_server->AddMaliciousFileLines("no-such-shape"));
    ASSERT_TRUE(m_server->AddMaliciousFileLines("all"));
    const std::string list = m_server->FileListBody();
    for (const MaliciousFileLine& m : CUpdateWebServer::MaliciousFileLines()) {
        const std::string line = Utf8ToCodePage(m.line, kKoreanCodePage);
        EXPECT_NE(std::string::npos, list.find("\nfile:" + line)) << m.name;
        const std::string body = Get(Download(m.key)).body;
        EXPECT_EQ(std::stoul(Pieces(m.line)[4]), body.size()) << m.name;
        EXPECT_GT(body.size(), 100u) << m.name;
    }
}

TEST_F(WebUpdateTest, SettingsAsTextAreCheckedThenApplied) {
    const std::string bodyFile = (m_folder.parent_path() / "extra-body.bin").string();
    std::ofstream(bodyFile, std::ios::binary) << std::string(120, 'B');
    const struct {
        const char* name;
        std::string value;
        std::string key;  // downloaded afterwards
        bool secure;
        bool answered;
        int status;
        long long sent;  // -1: not looked at
    } good[] = {
        {"refuse", "t_lang_dll_eng=1", kLangKey, false, true, 200,
         static_cast<long long>(std::string(CUpdateWebServer::RefusalBody()).size())},
        {"refuse", "-1", kLangKey, false, true, 200,
         static_cast<long long>(std::string(CUpdateWebServer::RefusalBody()).size())},
        {"cut", "t_lang_dll_eng=7", kLangKey, false, true, 200, 7},
        {"huge", "1234", kLangKey, false, true, 200, 1234},
        {"huge", "t_lang_dll_eng=limit", kLangKey, false, true, 200,
         CUpdateWebServer::kHugeBodyBytes},
        {"slow", "t_lang_dll_eng=1,10", kLangKey, false, true, 200, kLangBytes},
        {"download-fail", "t_lang_dll_eng=500", kLangKey, false, true, 500, -1},
        {"fail", "download=404", kLangKey, true, true, 404, -1},
        {"fail", "download=drop,http", kLangKey, false, false, 0, -1},
        {"fail", "download=drop,http", kLangKey, true, true, 200, kLangBytes},
        {"extra-body", "evil=" + bodyFile, "evil", false, true, 200, 120},
    };
    for (const auto& c : good) {
        std::string error;
        EXPECT_TRUE(ApplyUpdateSetting(nullptr, c.name, c.value, error)) << c.name << " " << error;
        ASSERT_TRUE(ApplyUpdateSetting(m_server.get(), c.name, c.value, error)) << c.name;
        const WebReply reply = Get(Download(c.key), c.secure);
        EXPECT_EQ(c.answered, reply.answered) << c.name << " " << c.value;
        EXPECT_EQ(c.status, reply.status) << c.name << " " << c.value;
        if (c.sent >= 0) {
            EXPECT_EQ(c.sent, static_cast<long long>(reply.body.size())) << c.value;
        }
        ASSERT_TRUE(ApplyUpdateSetting(m_server.get(), "clear", "", error));
        EXPECT_EQ(kLangBytes, Get(Download(kLangKey)).body.size()) << "cleared after " << c.name;
    }
    std::string error;
    ASSERT_TRUE(ApplyUpdateSetting(m_server.get(), "extra-line", "a,b,c", error));
    ASSERT_TRUE(ApplyUpdateSetting(m_server.get(), "malicious", "climb-folder", error));
    const std::string list = m_server->FileListBody();
    EXPECT_NE(std::string::npos, list.find("\nfile:a,b,c\nfile:u_tavrel,evil_climb_folder,"));

    const struct {
        const char* name;
        std::string value;
    } bad[] = {{"cut", "x=abc"},
               {"cut", "-2"},
               {"refuse", ""},
               {"huge", "-5"},
               {"huge", "lots"},
               {"slow", "100,-1"},
               {"slow", "-1"},
               {"fail", "nowhere=404"},
               {"fail", "download=418"},
               {"fail", "download=404,ftp"},
               {"fail", "404"},
               {"download-fail", "x=slowly"},
               {"malicious", "nope"},
               {"extra-body", "nokey"},
               {"extra-body", "k=/no/such/file"},
               {"extra-line", ""},
               {"bogus", "1"}};
    for (const auto& c : bad) {
        error.clear();
        EXPECT_FALSE(ApplyUpdateSetting(m_server.get(), c.name, c.value, error))
            << c.name << " " << c.value;
        EXPECT_FALSE(error.empty()) << c.name << " " << c.value;
    }
    EXPECT_EQ(list, m_server->FileListBody());  // nothing was added by a bad setting
    EXPECT_EQ(kLangBytes, Get(Download(kLangKey)).body.size());
}

TEST_F(WebUpdateTest, CountsAreReportedAsOneEvent) {
    Get(std::string(CUpdateWebServer::kServerInfoPath) + "?dummy=1");
    Get(Download(kLangKey));
    Get(Download(kLangKey));
    Get(Download("vantor_tavrel_exe"));
    ReportUpdateCounts(*m_server, m_log);
    const SimEvent e = m_log.Events().back();
    EXPECT_EQ("update_counts", e.kind);
    EXPECT_EQ(1, e.Int("server_info"));
    EXPECT_EQ(0, e.Int("file_list"));
    EXPECT_EQ(3, e.Int("download"));
    EXPECT_EQ("t_lang_dll_eng=2,vantor_tavrel_exe=1", e.Text("downloads"));
}
