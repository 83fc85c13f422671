#include "web/UpdateWebServer.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include <strings.h>

#include "EventLog.h"
#include "web/HttpServer.h"
#include "web/PeVersion.h"

namespace fs = std::filesystem;

namespace {

constexpr char kProductType[] = "u_tavrel";
constexpr char kSpare[] = "0";
constexpr char kStageSuffix[] = ".new";
// The folder of files at the top of the program folder: an empty field would be
// dropped by the updater's line splitting, and its record with it.
constexpr char kTopFolder[] = ".\\";
constexpr char kKeep[] = "*";
// Refusal bodies must stay at 100 bytes or fewer: that is how the updater tells them.
constexpr char kRefusal[] = "result:false\ncode:503\nmessage:too many download requests";
constexpr char kUnknownFile[] = "result:false\ncode:1\nmessage:no such file";
constexpr size_t kManifestFields = 5;

struct KnownKey {
    const char* fileName;
    const char* key;
};
constexpr KnownKey kKnownKeys[] = {
    {"VTUpdaterT.exe", "updater_tavrel_exe"},
    {"Vantor TavrelEng.dll", "t_lang_dll_eng"},
    {"Vantor TavrelJpn.dll", "t_lang_dll_jpn"},
};

std::string KeyFor(const std::string& fileName) {
    for (const KnownKey& known : kKnownKeys) {
        if (fileName == known.fileName) return known.key;
    }
    std::string key;
    for (unsigned char c : fileName) key += std::isalnum(c) ? char(std::tolower(c)) : '_';
    return key;
}

std::string ReadWhole(const std::string& path, bool& ok) {
    std::ifstream in(path, std::ios::binary);
    ok = bool(in);
    return ok ? std::string(std::istreambuf_iterator<char>(in), {}) : std::string();
}

std::string Utf16ToAscii(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) out += c < 0x80 ? char(c) : '?';
    return out;
}

std::string ListedVersion(const std::string& contents) {
    const PeVersion version =
        ReadPeVersion(reinterpret_cast<const uint8_t*>(contents.data()), contents.size());
    if (version.status != PeVersionStatus::kFound) return CUpdateWebServer::kNoVersion;
    std::string listed;
    for (char c : Utf16ToAscii(version.fileVersion)) {
        if (c == ',')
            listed += '.';
        else if (c != ' ')
            listed += c;
    }
    return listed.empty() ? CUpdateWebServer::kNoVersion : listed;
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// Manifest lines by path: productType, fileKey, stageName, version.
std::map<std::string, std::vector<std::string>> ReadManifest(const fs::path& path) {
    std::map<std::string, std::vector<std::string>> lines;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> fields;
        std::stringstream stream(line);
        std::string field;
        while (std::getline(stream, field, ',')) fields.push_back(Trim(field));
        if (fields.size() != kManifestFields) continue;
        lines[fields[0]] = std::vector<std::string>(fields.begin() + 1, fields.end());
    }
    return lines;
}

void Override(std::string& field, const std::string& value) {
    if (!value.empty() && value != kKeep) field = value;
}

}  // namespace

constexpr char CUpdateWebServer::kServerInfoPath[];
constexpr char CUpdateWebServer::kFileListPath[];
constexpr char CUpdateWebServer::kDownloadPath[];
constexpr char CUpdateWebServer::kManifestName[];
constexpr char CUpdateWebServer::kNoVersion[];
constexpr char CUpdateWebServer::kEveryKey[];
constexpr int64_t CUpdateWebServer::kHugeBodyBytes;
constexpr size_t CUpdateWebServer::kMaxRequestRecords;

CUpdateWebServer::CUpdateWebServer(CWebHost& host, const std::string& folder, CEventLog* log)
    : m_host(host), m_strFolder(folder), m_pLog(log) {
    Reload();
    const std::pair<const char*, UpdatePage> pages[] = {{kServerInfoPath, UpdatePage::kServerInfo},
                                                        {kFileListPath, UpdatePage::kFileList},
                                                        {kDownloadPath, UpdatePage::kDownload}};
    for (const auto& page : pages) {
        const UpdatePage which = page.second;
        host.Handle(page.first,
                    [this, which](const HttpRequest& q, HttpResponse& r) { OnPage(which, q, r); });
    }
}

bool CUpdateWebServer::Reload() {
    std::error_code error;
    const fs::path root(m_strFolder);
    if (!fs::is_directory(root, error)) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_vFiles.clear();
        return false;
    }
    const auto manifest = ReadManifest(root / kManifestName);
    std::vector<fs::path> paths;
    for (const auto& item : fs::recursive_directory_iterator(root, error)) {
        if (item.is_regular_file() && item.path().filename() != kManifestName) {
            paths.push_back(item.path());
        }
    }
    std::sort(paths.begin(), paths.end());
    std::vector<UpdateFileEntry> files;
    for (const fs::path& path : paths) {
        bool ok = false;
        const std::string contents = ReadWhole(path.string(), ok);
        if (!ok) continue;
        const fs::path relative = path.lexically_relative(root);
        UpdateFileEntry entry;
        entry.productType = kProductType;
        entry.fileName = path.filename().string();
        entry.fileKey = KeyFor(entry.fileName);
        for (const auto& part : relative.parent_path()) entry.folder += part.string() + "\\";
        if (entry.folder.empty()) entry.folder = kTopFolder;
        entry.fileSize = std::to_string(contents.size());
        entry.fileVersion = ListedVersion(contents);
        entry.spare = kSpare;
        entry.stageName = entry.fileName + kStageSuffix;
        entry.localPath = path.string();
        const auto line = manifest.find(relative.generic_string());
        if (line != manifest.end()) {
            Override(entry.productType, line->second[0]);
            Override(entry.fileKey, line->second[1]);
            Override(entry.stageName, line->second[2]);
            Override(entry.fileVersion, line->second[3]);
        }
        files.push_back(entry);
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_vFiles = std::move(files);
    return true;
}

std::vector<UpdateFileEntry> CUpdateWebServer::Files() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_vFiles;
}

void CUpdateWebServer::SetServerInfo(const std::string& server, int port) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_strServer = server;
    m_nServerPort = port;
}

void CUpdateWebServer::SetCodePage(const std::string& codePage) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_strCodePage = codePage;
}

std::map<std::string, int> CUpdateWebServer::DownloadCounts() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_downloads;
}

int CUpdateWebServer::PageCount(UpdatePage page) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_pageCounts.find(page);
    return it == m_pageCounts.end() ? 0 : it->second;
}

std::vector<UpdateRequestRecord> CUpdateWebServer::Requests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return {m_requests.begin(), m_requests.end()};
}

void CUpdateWebServer::ClearRequests() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requests.clear();
}

const char* CUpdateWebServer::RefusalBody() { return kRefusal; }

std::string CUpdateWebServer::ServerInfoBody() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::string server = m_strServer.empty() ? m_host.Address() : m_strServer;
    const int port = m_nServerPort >= 0 ? m_nServerPort : m_host.HttpPort();
    return "server:" + server + "\nport:" + std::to_string(port);
}

std::string CUpdateWebServer::FileLine(const UpdateFileEntry& f) {
    return f.productType + "," + f.fileKey + "," + f.fileName + "," + f.folder + "," + f.fileSize +
           "," + f.fileVersion + "," + f.spare + "," + f.stageName;
}

std::string CUpdateWebServer::FileListBody() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string body = "code:0";
    for (const UpdateFileEntry& f : m_vFiles) body += "\nfile:" + FileLine(f);
    for (const std::string& line : m_vExtraLines) body += "\nfile:" + line;
    return Utf8ToCodePage(body, m_strCodePage);
}

void CUpdateWebServer::OnPage(UpdatePage page, const HttpRequest& request, HttpResponse& response) {
    static const char* const kPageNames[] = {"server_info", "file_list", "download"};
    UpdateRequestRecord record;
    record.page = page;
    record.pageName = kPageNames[int(page)];
    record.scheme = request.secure ? "https" : "http";
    record.query = request.query;
    record.dummy = request.Param("dummy");
    record.releaseVersion = request.Param("releaseversion");
    record.key = request.Param("type");
    for (const auto& header : request.headers) {
        if (strcasecmp(header.first.c_str(), "User-Agent") == 0) record.agent = header.second;
    }
    if (ApplyFailure(page, request.secure, response)) {
        record.misbehaviour = "failed";
    } else if (page == UpdatePage::kServerInfo) {
        response.body = ServerInfoBody();
    } else if (page == UpdatePage::kFileList) {
        response.body = FileListBody();
    } else {
        record.misbehaviour = AnswerDownload(record.key, response);
    }
    record.status = response.dropConnection ? 0 : response.status;
    record.bytes = response.dropConnection ? 0 : response.BytesToSend();
    record.length = response.dropConnection ? 0 : response.BodyLength();
    if (m_pLog) {
        std::vector<EventField> fields = {
            {"page", record.pageName},   {"scheme", record.scheme},
            {"status", response.status}, {"dropped", response.dropConnection},
            {"query", record.query},     {"agent", record.agent}};
        if (request.HasParam("dummy")) fields.emplace_back("dummy", record.dummy);
        if (request.HasParam("releaseversion"))
            fields.emplace_back("releaseversion", record.releaseVersion);
        if (!record.misbehaviour.empty()) fields.emplace_back("misbehaviour", record.misbehaviour);
        if (page == UpdatePage::kDownload) {
            fields.emplace_back("key", record.key);
            fields.emplace_back("bytes", static_cast<unsigned long long>(record.bytes));
            fields.emplace_back("length", static_cast<unsigned long long>(record.length));
        }
        m_pLog->Emit("update_request", std::move(fields));
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_pageCounts[page];
    if (m_requests.size() >= kMaxRequestRecords) m_requests.pop_front();
    m_requests.push_back(std::move(record));
}

std::string CUpdateWebServer::AnswerDownload(const std::string& key, HttpResponse& response) {
    response.headers.emplace_back("Content-Type", "application/octet-stream");
    std::string path;
    std::string fileName;
    DownloadRule rule;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const UpdateFileEntry& f : m_vFiles) {
            if (f.fileKey == key) {
                path = f.localPath;
                fileName = f.fileName;
                break;
            }
        }
        const auto extra = m_extraBodies.find(key);
        if (path.empty() && extra == m_extraBodies.end()) {
            response.body = kUnknownFile;
            return "";
        }
        if (path.empty()) response.body = extra->second;
        rule = RuleFor(key);
    }
    if (rule.failure != UpdatePageFailure::kNone) {
        ApplyPageFailure(rule.failure, response);
        return "failed";
    }
    if (rule.refuse != 0) {
        response.body = kRefusal;
        return "refused";
    }
    std::string what;
    if (rule.hugeBytes >= 0) {
        response.body.clear();
        response.fillBytes = uint64_t(rule.hugeBytes);
        what = "huge";
    } else if (!path.empty()) {
        bool ok = false;
        response.body = ReadWhole(path, ok);
        if (!ok) {
            response.body = kUnknownFile;
            return "";
        }
    }
    if (rule.cutAfter >= 0) {
        response.cutAfterBytes = rule.cutAfter;
        what = what.empty() ? "cut" : what + ",cut";
    }
    if (rule.pauseMs > 0) {
        response.pauseMs = rule.pauseMs;
        response.pauseAfterBytes = rule.pauseAfter;
        what = what.empty() ? "slow" : what + ",slow";
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_downloads[key];
    // As a download page names its file; the updater names its files itself, but
    // the web client reads the name, and its tests want one from a real page.
    if (!fileName.empty()) {
        response.headers.emplace_back("Content-Disposition",
                                      "attachment; filename=\"" + fileName +
                                          "\"; size=" + std::to_string(response.BodyLength()));
    }
    return what;
}
