#include "web/UpdateWebServer.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "EventLog.h"
#include "web/HttpServer.h"
#include "web/PeVersion.h"

namespace fs = std::filesystem;

namespace {

constexpr char kProductType[] = "u_tavrel";
constexpr char kSpare[] = "0";
constexpr char kStageSuffix[] = ".new";
constexpr char kKeep[] = "*";
// Refusal bodies must stay at 100 bytes or fewer: that is how the updater tells them.
constexpr char kRefusal[] = "result:false\ncode:503\nmessage:too many download requests";
constexpr char kUnknownFile[] = "result:false\ncode:1\nmessage:no such file";
constexpr char kRedirectTarget[] = "/vantor/update/moved.jsp";
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

CUpdateWebServer::CUpdateWebServer(CWebHost& host, const std::string& folder, CEventLog* log)
    : m_host(host), m_strFolder(folder), m_pLog(log) {
    Reload();
    host.Handle(kServerInfoPath,
                [this](const HttpRequest& q, HttpResponse& r) { OnServerInfo(q, r); });
    host.Handle(kFileListPath, [this](const HttpRequest& q, HttpResponse& r) { OnFileList(q, r); });
    host.Handle(kDownloadPath, [this](const HttpRequest& q, HttpResponse& r) { OnDownload(q, r); });
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

void CUpdateWebServer::SetFailure(UpdatePage page, UpdatePageFailure failure) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failures[page] = failure;
}

void CUpdateWebServer::SetRefuseDownloads(int count) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nRefuseDownloads = count;
}

void CUpdateWebServer::SetCodePage(const std::string& codePage) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_strCodePage = codePage;
}

std::map<std::string, int> CUpdateWebServer::DownloadCounts() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_downloads;
}

const char* CUpdateWebServer::RefusalBody() { return kRefusal; }

std::string CUpdateWebServer::ServerInfoBody() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::string server = m_strServer.empty() ? m_host.Address() : m_strServer;
    const int port = m_nServerPort >= 0 ? m_nServerPort : m_host.HttpPort();
    return "server:" + server + "\nport:" + std::to_string(port);
}

std::string CUpdateWebServer::FileListBody() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string body = "code:0";
    for (const UpdateFileEntry& f : m_vFiles) {
        body += "\nfile:" + f.productType + "," + f.fileKey + "," + f.fileName + "," + f.folder +
                "," + f.fileSize + "," + f.fileVersion + "," + f.spare + "," + f.stageName;
    }
    return Utf8ToCodePage(body, m_strCodePage);
}

bool CUpdateWebServer::ApplyFailure(UpdatePage page, HttpResponse& response) const {
    UpdatePageFailure failure = UpdatePageFailure::kNone;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_failures.find(page);
        if (it != m_failures.end()) failure = it->second;
    }
    switch (failure) {
        case UpdatePageFailure::kNone:
            return false;
        case UpdatePageFailure::kStatus404:
            response.status = 404;
            break;
        case UpdatePageFailure::kStatus500:
            response.status = 500;
            break;
        case UpdatePageFailure::kStatus302:
            response.status = 302;
            response.headers.emplace_back("Location", kRedirectTarget);
            break;
        case UpdatePageFailure::kDrop:
            response.dropConnection = true;
            break;
    }
    response.body = HttpReason(response.status);
    return true;
}

void CUpdateWebServer::OnServerInfo(const HttpRequest&, HttpResponse& response) {
    if (!ApplyFailure(UpdatePage::kServerInfo, response)) response.body = ServerInfoBody();
    Report("server_info", response, "");
}

void CUpdateWebServer::OnFileList(const HttpRequest&, HttpResponse& response) {
    if (!ApplyFailure(UpdatePage::kFileList, response)) response.body = FileListBody();
    Report("file_list", response, "");
}

void CUpdateWebServer::OnDownload(const HttpRequest& request, HttpResponse& response) {
    const std::string key = request.Param("type");
    if (ApplyFailure(UpdatePage::kDownload, response)) {
        Report("download", response, key);
        return;
    }
    std::string path;
    bool refuse = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const UpdateFileEntry& f : m_vFiles) {
            if (f.fileKey == key) {
                path = f.localPath;
                break;
            }
        }
        if (!path.empty() && m_nRefuseDownloads != 0) {
            refuse = true;
            if (m_nRefuseDownloads > 0) --m_nRefuseDownloads;
        }
    }
    bool ok = false;
    if (!path.empty() && !refuse) response.body = ReadWhole(path, ok);
    if (!ok) response.body = refuse ? kRefusal : kUnknownFile;
    response.headers.emplace_back("Content-Type", "application/octet-stream");
    if (ok) {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_downloads[key];
        // As a download page names its file; the updater names its files itself, but
        // the web client reads the name, and its tests want one from a real page.
        for (const UpdateFileEntry& f : m_vFiles) {
            if (f.fileKey == key) {
                response.headers.emplace_back(
                    "Content-Disposition", "attachment; filename=\"" + f.fileName +
                                               "\"; size=" + std::to_string(response.body.size()));
                break;
            }
        }
    }
    Report("download", response, key);
}

void CUpdateWebServer::Report(const char* page, const HttpResponse& response,
                              const std::string& key) {
    if (!m_pLog) return;
    std::vector<EventField> fields = {
        {"page", page}, {"status", response.status}, {"dropped", response.dropConnection}};
    if (!key.empty() || std::string(page) == "download") {
        fields.emplace_back("key", key);
        fields.emplace_back("bytes", static_cast<unsigned long>(response.body.size()));
    }
    m_pLog->Emit("update_request", std::move(fields));
}
