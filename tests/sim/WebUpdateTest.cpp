// The update web server's three pages over a folder of files, and the version reading
// of Windows executables it lists them with (executables built here byte by byte).
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <fstream>
#include <string>
#include <vector>

#include "EventLog.h"
#include "WebTestClient.h"
#include "web/HttpServer.h"
#include "web/PeVersion.h"
#include "web/UpdateWebServer.h"

namespace fs = std::filesystem;

namespace {

const std::string kNoVersion949 = "\xc7\xd8\xb4\xe7\xbe\xf8\xc0\xbd";

void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    Put16(b, at, uint16_t(v));
    Put16(b, at + 2, uint16_t(v >> 16));
}
void Pad4(std::vector<uint8_t>& b) {
    while (b.size() % 4) b.push_back(0);
}

// One node of a version resource: length, value length, type, key, value, children.
std::vector<uint8_t> Node(const std::u16string& key, const std::vector<uint8_t>& value, bool text,
                          const std::vector<std::vector<uint8_t>>& children = {}) {
    std::vector<uint8_t> b(6, 0);
    for (char16_t c : key + u'\0') {
        b.push_back(uint8_t(c));
        b.push_back(uint8_t(c >> 8));
    }
    Pad4(b);
    b.insert(b.end(), value.begin(), value.end());
    for (const auto& child : children) {
        Pad4(b);
        b.insert(b.end(), child.begin(), child.end());
    }
    Put16(b, 0, uint16_t(b.size()));
    Put16(b, 2, uint16_t(text ? value.size() / 2 : value.size()));
    Put16(b, 4, text ? 1 : 0);
    return b;
}

std::vector<uint8_t> Text(const std::u16string& s) {
    std::vector<uint8_t> b;
    for (char16_t c : s + u'\0') {
        b.push_back(uint8_t(c));
        b.push_back(uint8_t(c >> 8));
    }
    return b;
}

std::vector<uint8_t> VersionBlock(const std::u16string& table, const std::u16string& fileVersion,
                                  bool withTranslation) {
    std::vector<std::vector<uint8_t>> strings = {Node(u"CompanyName", Text(u"Vantor"), true)};
    if (!fileVersion.empty()) strings.push_back(Node(u"FileVersion", Text(fileVersion), true));
    std::vector<std::vector<uint8_t>> children = {
        Node(u"StringFileInfo", {}, true, {Node(table, {}, true, strings)})};
    if (withTranslation) {
        children.push_back(Node(u"VarFileInfo", {}, true,
                                {Node(u"Translation", {0x12, 0x04, 0xb0, 0x04}, false)}));
    }
    return Node(u"VS_VERSION_INFO", std::vector<uint8_t>(52, 0), false, children);
}

// A 32-bit PE with one ".rsrc" section holding a version resource.
std::vector<uint8_t> PeFile(const std::vector<uint8_t>& version) {
    constexpr uint32_t kPe = 0x40, kOptional = kPe + 24, kSections = kOptional + 224;
    constexpr uint32_t kRaw = 0x200, kRva = 0x1000, kData = 0x58;
    std::vector<uint8_t> f(kRaw + kData, 0);
    f[0] = 'M';
    f[1] = 'Z';
    Put32(f, 0x3C, kPe);
    Put32(f, kPe, 0x00004550);
    Put16(f, kPe + 4, 0x14C);
    Put16(f, kPe + 6, 1);
    Put16(f, kPe + 20, 224);
    Put16(f, kOptional, 0x10B);
    Put32(f, kOptional + 92, 16);
    Put32(f, kOptional + 96 + 2 * 8, kRva);
    Put32(f, kOptional + 96 + 2 * 8 + 4, kData + uint32_t(version.size()));
    std::memcpy(&f[kSections], ".rsrc", 5);
    Put32(f, kSections + 8, kData + uint32_t(version.size()));
    Put32(f, kSections + 12, kRva);
    Put32(f, kSections + 16, kData + uint32_t(version.size()));
    Put32(f, kSections + 20, kRaw);
    // Type 16 -> name 1 -> language 0x412 -> data entry.
    Put16(f, kRaw + 14, 1);
    Put32(f, kRaw + 16, 16);
    Put32(f, kRaw + 20, 0x80000018);
    Put16(f, kRaw + 0x18 + 14, 1);
    Put32(f, kRaw + 0x18 + 16, 1);
    Put32(f, kRaw + 0x18 + 20, 0x80000030);
    Put16(f, kRaw + 0x30 + 14, 1);
    Put32(f, kRaw + 0x30 + 16, 0x412);
    Put32(f, kRaw + 0x30 + 20, 0x48);
    Put32(f, kRaw + 0x48, kRva + kData);
    Put32(f, kRaw + 0x48 + 4, uint32_t(version.size()));
    f.insert(f.end(), version.begin(), version.end());
    return f;
}

void WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

}  // namespace

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

class WebUpdateTest : public testing::Test {
  protected:
    void SetUp() override {
        m_folder = fs::path(testing::TempDir()) / "update-files";
        fs::remove_all(m_folder);
        WriteFile(m_folder / "Vantor Tavrel.exe",
                  PeFile(VersionBlock(u"041204b0", u"3, 0, 1, 1004", true)));
        WriteFile(m_folder / "VTUpdaterT.exe", PeFile(VersionBlock(u"041204b0", u"1.0.0.9", true)));
        WriteFile(m_folder / "language" / "Vantor TavrelEng.dll", std::vector<uint8_t>(300, 7));
        WriteFile(m_folder / "sound.dat", std::vector<uint8_t>(50, 1));
        std::ofstream(m_folder / CUpdateWebServer::kManifestName)
            << "# path,productType,fileKey,stageName,version\n"
               "sound.dat,u_other,*,sound.tmp,*\n";
        CWebHostOptions options;
        options.https = false;
        ASSERT_TRUE(m_host.Start(options)) << m_host.LastError();
        m_server = std::make_unique<CUpdateWebServer>(m_host, m_folder.string(), &m_log);
    }
    void TearDown() override {
        m_host.Stop();
        fs::remove_all(m_folder);
    }
    WebReply Get(const std::string& target) { return WebGet(m_host.HttpPort(), target, false); }
    std::string Download(const std::string& key) {
        return std::string(CUpdateWebServer::kDownloadPath) + "?type=" + key +
               "&releaseversion=2.0Login&dummy=-12";
    }

    fs::path m_folder;
    CEventLog m_log;
    CWebHost m_host;
    std::unique_ptr<CUpdateWebServer> m_server;
};

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
        "file:u_tavrel,updater_tavrel_exe,VTUpdaterT.exe,," +
            size("VTUpdaterT.exe") +
            ",1.0.0.9,0,VTUpdaterT.exe.new\n"
            "file:u_tavrel,vantor_tavrel_exe,Vantor Tavrel.exe,," +
            size("Vantor Tavrel.exe") +
            ",3.0.1.1004,0,Vantor Tavrel.exe.new\n"
            "file:u_tavrel,t_lang_dll_eng,Vantor TavrelEng.dll,language\\,300," +
            kNoVersion949 + ",0,Vantor TavrelEng.dll.new\n" +
            "file:u_other,sound_dat,sound.dat,,50," + kNoVersion949 + ",0,sound.tmp",
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
