#include "web/UpdateSwitches.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>

#include "EventLog.h"
#include "web/UpdateWebServer.h"

namespace {

constexpr char kHugeLimitWord[] = "limit";

const std::map<std::string, UpdatePage> kPages{{"server-info", UpdatePage::kServerInfo},
                                               {"file-list", UpdatePage::kFileList},
                                               {"download", UpdatePage::kDownload}};

const std::map<std::string, UpdatePageFailure> kFailures{{"none", UpdatePageFailure::kNone},
                                                         {"404", UpdatePageFailure::kStatus404},
                                                         {"500", UpdatePageFailure::kStatus500},
                                                         {"302", UpdatePageFailure::kStatus302},
                                                         {"drop", UpdatePageFailure::kDrop}};

// A whole decimal number, nothing after it.
bool ParseNumber(const std::string& text, int64_t& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0') return false;
    out = value;
    return true;
}

// "KEY=rest" or "rest" (every key).
void SplitKey(const std::string& value, std::string& key, std::string& rest) {
    const size_t eq = value.find('=');
    key = eq == std::string::npos ? CUpdateWebServer::kEveryKey : value.substr(0, eq);
    rest = eq == std::string::npos ? value : value.substr(eq + 1);
}

// "first,second" or "first" (second empty).
void SplitComma(const std::string& value, std::string& first, std::string& second) {
    const size_t comma = value.find(',');
    first = value.substr(0, comma);
    second = comma == std::string::npos ? "" : value.substr(comma + 1);
}

bool Bad(std::string& error, const std::string& text) {
    error = text;
    return false;
}

template <typename T>
bool Find(const std::map<std::string, T>& table, const std::string& name, T& out) {
    const auto it = table.find(name);
    if (it == table.end()) return false;
    out = it->second;
    return true;
}

}  // namespace

bool UpdateSettingIsFlag(const std::string& name) { return name == "clear" || name == "reload"; }

bool ApplyUpdateSetting(CUpdateWebServer* server, const std::string& name, const std::string& value,
                        std::string& error) {
    std::string key, rest, first, second;
    SplitKey(value, key, rest);
    int64_t number = 0;
    int64_t after = 0;
    if (name == "refuse" || name == "cut") {
        if (!ParseNumber(rest, number) || number < -1) return Bad(error, "bad count " + rest);
        if (server && name == "refuse") server->SetRefuseDownloads(key, int(number));
        if (server && name == "cut") server->SetCutDownloads(key, number);
    } else if (name == "huge") {
        if (rest == kHugeLimitWord)
            number = CUpdateWebServer::kHugeBodyBytes;
        else if (!ParseNumber(rest, number) || number < -1)
            return Bad(error, "bad size " + rest);
        if (server) server->SetHugeDownloads(key, number);
    } else if (name == "slow") {
        SplitComma(rest, first, second);
        if (!ParseNumber(first, number) || number < 0 || number > INT32_MAX)
            return Bad(error, "bad pause " + first);
        if (!second.empty() && (!ParseNumber(second, after) || after < 0))
            return Bad(error, "bad byte count " + second);
        if (server) server->SetSlowDownloads(key, int(number), uint64_t(after));
    } else if (name == "download-fail") {
        UpdatePageFailure failure;
        if (!Find(kFailures, rest, failure)) return Bad(error, "bad failure " + rest);
        if (server) server->SetDownloadFailure(key, failure);
    } else if (name == "fail") {
        // The page takes the place of the key here: "download=drop,https".
        SplitComma(rest, first, second);
        UpdatePage page;
        UpdatePageFailure failure;
        if (!Find(kPages, key, page)) return Bad(error, "not PAGE=WHAT: " + value);
        if (!Find(kFailures, first, failure)) return Bad(error, "bad failure " + first);
        if (!second.empty() && second != "https" && second != "http")
            return Bad(error, "bad scheme " + second);
        if (server) server->SetFailure(page, failure, second);
    } else if (name == "extra-line") {
        if (value.empty()) return Bad(error, "empty line");
        if (server) server->AddExtraFileLine(value);
    } else if (name == "extra-body") {
        if (key == CUpdateWebServer::kEveryKey) return Bad(error, "no key in " + value);
        std::ifstream in(rest, std::ios::binary);
        if (!in) return Bad(error, "cannot read " + rest);
        if (server)
            server->SetExtraDownload(key, std::string(std::istreambuf_iterator<char>(in), {}));
    } else if (name == "malicious") {
        bool known = value == "all";
        for (const MaliciousFileLine& line : CUpdateWebServer::MaliciousFileLines())
            known = known || line.name == value;
        if (!known) return Bad(error, "no malicious record " + value);
        if (server) server->AddMaliciousFileLines(value);
    } else if (name == "clear") {
        if (server) {
            server->ClearMisbehaviours();
            server->ClearExtraFileLines();
        }
    } else if (name == "reload") {
        if (server && !server->Reload()) return Bad(error, "the folder is gone");
    } else {
        return Bad(error, "no update setting " + name);
    }
    return true;
}

void ReportUpdateCounts(const CUpdateWebServer& server, CEventLog& log) {
    std::string downloads;
    for (const auto& count : server.DownloadCounts()) {
        if (!downloads.empty()) downloads += ",";
        downloads += count.first + "=" + std::to_string(count.second);
    }
    log.Emit("update_counts", {{"server_info", server.PageCount(UpdatePage::kServerInfo)},
                               {"file_list", server.PageCount(UpdatePage::kFileList)},
                               {"download", server.PageCount(UpdatePage::kDownload)},
                               {"downloads", downloads}});
}
