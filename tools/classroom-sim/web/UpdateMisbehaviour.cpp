// The update web server's misbehaviours: failing pages, refused, failed, cut, huge and
// slow downloads, and extra (malicious) records in the file list.
#include <algorithm>

#include "web/HttpServer.h"
#include "web/UpdateWebServer.h"

namespace {

constexpr char kRedirectTarget[] = "/vantor/update/moved.jsp";
constexpr char kSchemeHttps[] = "https";
constexpr char kSchemeHttp[] = "http";
constexpr char kAllMalicious[] = "all";
// The size of a malicious record's body: over the 100 bytes of a refusal, so an
// updater that asked for it would write it.
constexpr size_t kMaliciousBodyBytes = 200;

// One field of a record that a shape replaces.
enum class Field { kFolder, kName, kStage };

struct Shape {
    const char* name;
    Field field;
    const char* value;  // "%s" stands for the plain value it replaces
};

// Values that leave the program folder or mean something to the command interpreter.
constexpr Shape kShapes[] = {
    {"climb-folder", Field::kFolder, "..\\..\\"},
    {"climb-slash-folder", Field::kFolder, "../../"},
    {"climb-name", Field::kName, "..\\%s"},
    {"climb-stage", Field::kStage, "..\\..\\%s"},
    {"drive-folder", Field::kFolder, "C:\\"},
    {"drive-stage", Field::kStage, "C:\\%s"},
    {"colon-name", Field::kName, "C:%s"},
    {"root-folder", Field::kFolder, "\\Windows\\"},
    {"root-stage", Field::kStage, "\\%s"},
    {"unc-folder", Field::kFolder, "\\\\127.0.0.1\\c$\\"},
    {"device-stage", Field::kStage, "CON"},
    {"stage-is-name", Field::kStage, ""},  // the stage name equals the file name
    {"percent-in-folder", Field::kFolder, "%windir%\\"},
    {"percent-in-name", Field::kName, "%windir%%s"},
    {"percent-in-stage", Field::kStage, "%windir%%s"},
    {"ampersand-in-folder", Field::kFolder, "a&calc\\"},
    {"ampersand-in-name", Field::kName, "a&calc&%s"},
    {"ampersand-in-stage", Field::kStage, "a&calc&%s"},
    {"pipe-in-folder", Field::kFolder, "a|calc\\"},
    {"pipe-in-name", Field::kName, "a|calc|%s"},
    {"pipe-in-stage", Field::kStage, "a|calc|%s"},
    {"less-in-folder", Field::kFolder, "a<nul\\"},
    {"less-in-name", Field::kName, "a<nul<%s"},
    {"less-in-stage", Field::kStage, "a<nul<%s"},
    {"greater-in-folder", Field::kFolder, "a>nul\\"},
    {"greater-in-name", Field::kName, "a>nul>%s"},
    {"greater-in-stage", Field::kStage, "a>nul>%s"},
    {"caret-in-folder", Field::kFolder, "a^b\\"},
    {"caret-in-name", Field::kName, "a^b^%s"},
    {"caret-in-stage", Field::kStage, "a^b^%s"},
    {"bang-in-folder", Field::kFolder, "!windir!\\"},
    {"bang-in-name", Field::kName, "!windir!%s"},
    {"bang-in-stage", Field::kStage, "!windir!%s"},
};

std::string Substitute(const char* pattern, const std::string& plain) {
    std::string out = pattern;
    const size_t at = out.find("%s");
    if (at != std::string::npos) out.replace(at, 2, plain);
    return out;
}

std::vector<MaliciousFileLine> MakeMaliciousLines() {
    std::vector<MaliciousFileLine> lines;
    for (const Shape& shape : kShapes) {
        std::string key = "evil_" + std::string(shape.name);
        std::replace(key.begin(), key.end(), '-', '_');
        UpdateFileEntry entry;
        entry.productType = "u_tavrel";
        entry.fileKey = key;
        entry.fileName = key + ".dll";
        entry.folder = ".\\";
        entry.fileSize = std::to_string(kMaliciousBodyBytes);
        entry.fileVersion = CUpdateWebServer::kNoVersion;
        entry.spare = "0";
        entry.stageName = entry.fileName + ".new";
        switch (shape.field) {
            case Field::kFolder:
                entry.folder = shape.value;
                break;
            case Field::kName:
                entry.fileName = Substitute(shape.value, entry.fileName);
                break;
            case Field::kStage:
                entry.stageName =
                    *shape.value ? Substitute(shape.value, entry.stageName) : entry.fileName;
                break;
        }
        lines.push_back({shape.name, key, CUpdateWebServer::FileLine(entry)});
    }
    return lines;
}

std::string MaliciousBody(const MaliciousFileLine& line) {
    std::string body = "malicious record " + line.name + ": must never be written\n";
    body.resize(kMaliciousBodyBytes, '#');
    return body;
}

}  // namespace

void CUpdateWebServer::SetFailure(UpdatePage page, UpdatePageFailure failure) {
    SetFailure(page, failure, "");
}

void CUpdateWebServer::SetFailure(UpdatePage page, UpdatePageFailure failure,
                                  const std::string& scheme) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failures[page] = PageFailure{failure, scheme};
}

void CUpdateWebServer::SetRefuseDownloads(int count) { SetRefuseDownloads(kEveryKey, count); }

void CUpdateWebServer::SetRefuseDownloads(const std::string& key, int count) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rules[key].refuse = std::max(count, -1);
}

void CUpdateWebServer::SetDownloadFailure(const std::string& key, UpdatePageFailure failure) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rules[key].failure = failure;
}

void CUpdateWebServer::SetCutDownloads(const std::string& key, int64_t bytesSent) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rules[key].cutAfter = std::max<int64_t>(bytesSent, -1);
}

void CUpdateWebServer::SetHugeDownloads(const std::string& key, int64_t bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rules[key].hugeBytes = std::max<int64_t>(bytes, -1);
}

void CUpdateWebServer::SetSlowDownloads(const std::string& key, int pauseMs, uint64_t afterBytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rules[key].pauseMs = std::max(pauseMs, 0);
    m_rules[key].pauseAfter = afterBytes;
}

void CUpdateWebServer::ClearMisbehaviours() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rules.clear();
    m_failures.clear();
}

void CUpdateWebServer::AddExtraFileLine(const std::string& line) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_vExtraLines.push_back(line);
}

void CUpdateWebServer::SetExtraDownload(const std::string& key, const std::string& body) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_extraBodies[key] = body;
}

void CUpdateWebServer::ClearExtraFileLines() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_vExtraLines.clear();
    m_extraBodies.clear();
}

const std::vector<MaliciousFileLine>& CUpdateWebServer::MaliciousFileLines() {
    static const std::vector<MaliciousFileLine> lines = MakeMaliciousLines();
    return lines;
}

bool CUpdateWebServer::AddMaliciousFileLines(const std::string& name) {
    bool found = false;
    for (const MaliciousFileLine& line : MaliciousFileLines()) {
        if (name != kAllMalicious && name != line.name) continue;
        AddExtraFileLine(line.line);
        SetExtraDownload(line.key, MaliciousBody(line));
        found = true;
    }
    return found;
}

void CUpdateWebServer::ApplyPageFailure(UpdatePageFailure failure, HttpResponse& response) {
    switch (failure) {
        case UpdatePageFailure::kNone:
            return;
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
}

bool CUpdateWebServer::ApplyFailure(UpdatePage page, bool secure, HttpResponse& response) const {
    PageFailure failure;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_failures.find(page);
        if (it != m_failures.end()) failure = it->second;
    }
    if (failure.failure == UpdatePageFailure::kNone) return false;
    if (!failure.scheme.empty() && failure.scheme != (secure ? kSchemeHttps : kSchemeHttp))
        return false;
    ApplyPageFailure(failure.failure, response);
    return true;
}

CUpdateWebServer::DownloadRule CUpdateWebServer::RuleFor(const std::string& key) {
    const auto ownIt = m_rules.find(key);
    const auto everyIt = key == kEveryKey ? m_rules.end() : m_rules.find(kEveryKey);
    DownloadRule* own = ownIt == m_rules.end() ? nullptr : &ownIt->second;
    DownloadRule* every = everyIt == m_rules.end() ? nullptr : &everyIt->second;
    DownloadRule rule;
    for (const DownloadRule* from : {every, own}) {
        if (!from) continue;
        if (from->failure != UpdatePageFailure::kNone) rule.failure = from->failure;
        if (from->cutAfter >= 0) rule.cutAfter = from->cutAfter;
        if (from->hugeBytes >= 0) rule.hugeBytes = from->hugeBytes;
        if (from->pauseMs > 0) {
            rule.pauseMs = from->pauseMs;
            rule.pauseAfter = from->pauseAfter;
        }
    }
    // A refusal is counted down where it was set, the key's own count first, and only
    // when it is what the download gets.
    DownloadRule* refusing = own && own->refuse != 0 ? own : every;
    if (rule.failure == UpdatePageFailure::kNone && refusing && refusing->refuse != 0) {
        rule.refuse = refusing->refuse;
        if (refusing->refuse > 0) --refusing->refuse;
    }
    return rule;
}
