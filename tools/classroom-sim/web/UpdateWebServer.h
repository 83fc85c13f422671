#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "web/CodePage.h"

class CEventLog;
class CWebHost;
struct HttpRequest;
struct HttpResponse;

// One file the update server offers; the eight fields of its "file:" line.
struct UpdateFileEntry {
    std::string productType;  // "u_tavrel"
    std::string fileKey;      // sent back as "type" to download it
    std::string fileName;
    std::string folder;  // below the program folder, ending in "\": ".\" at the top
    std::string fileSize;
    std::string fileVersion;  // dotted, or "해당없음" when the size is compared instead
    std::string spare;
    std::string stageName;  // name of the download until it is installed
    std::string localPath;  // where the server reads it from (not sent)
};

// How one page fails, whatever is asked.
enum class UpdatePageFailure {
    kNone,
    kStatus404,
    kStatus500,
    kStatus302,
    kDrop,  // the connection is closed without an answer
};

enum class UpdatePage { kServerInfo, kFileList, kDownload };

// One request as the update server saw it.
struct UpdateRequestRecord {
    UpdatePage page = UpdatePage::kServerInfo;
    std::string pageName;        // "server_info", "file_list", "download"
    std::string scheme;          // "http" or "https"
    std::string query;           // as sent, not decoded
    std::string dummy;           // decoded query values ("" when missing)
    std::string releaseVersion;  // the "releaseversion" value
    std::string key;             // the "type" value of a download
    std::string agent;           // User-Agent header
    int status = 0;              // 0 when the connection was dropped
    uint64_t bytes = 0;          // body bytes sent (a cut download: only those sent)
    uint64_t length = 0;         // body length announced in Content-Length
    // What applied: "", "failed", "refused", or "huge", "cut", "slow" joined by ","
    // ("huge,cut").
    std::string misbehaviour;
};

// The malicious shapes of a "file:" line a server could send: a path that climbs
// out of the program folder, a drive, a root, a device name, a stage name equal to
// the file name, a character the command interpreter acts on in folder, fileName or
// stageName. Every line is an otherwise valid u_tavrel record of a missing file (its
// size compared, so an updater that took it would fetch it) with its own key.
struct MaliciousFileLine {
    std::string name;  // "climb-folder", "percent-in-stage", ...
    std::string key;   // the record's fileKey
    std::string line;  // the line without "file:", UTF-8
};

// The three pages of the update web server, serving the files of one folder:
//   "/vantor/update/GetUpdateServerInfo.jsp"   server:<address> and port:<port>
//   "/vantor/update/GetUpdateFileInfo.jsp"     code:0 and one "file:" line per file
//   "/vantor/update/DownloadFile.jsp?type=<fileKey>"   the file's bytes
// Lines are separated by LF, texts written in the code page (CP949 by default).
//
// The file list is generated from the folder (and its sub-folders, which become the
// records' folders, "language\" for instance): the size is the file's size, and the
// version is the FileVersion of the version resource of a PE file (commas turned into
// dots and spaces dropped), or "해당없음" for files without one. Product type
// "u_tavrel", spare "0", stage name fileName + ".new", and the key from the name:
// "VTUpdaterT.exe" -> "updater_tavrel_exe", "Vantor TavrelEng.dll" -> "t_lang_dll_eng",
// "Vantor TavrelJpn.dll" -> "t_lang_dll_jpn", any other name lower-cased with every
// character but letters and digits turned into "_" ("Vantor Tavrel.exe" ->
// "vantor_tavrel_exe"). A sidecar file "update-manifest.txt" in the folder (not
// listed itself) may override, one line per file, fields separated by ",", "*" to
// keep the generated value, "#" starting a comment:
//   <path below the folder, "/" separated>,<productType>,<fileKey>,<stageName>,<version>
//
// Top-level files are listed with the folder ".\", as an empty field is never sent.
//
// Every request is reported as the event "update_request" (page, scheme, status,
// dropped, query, agent, dummy and releaseversion when sent, misbehaviour when one
// applied, and for downloads key, bytes and length) and kept in Requests().
//
// Misbehaviours of downloads are set for one key or, with kEveryKey, for every
// download; a key's own setting comes before the every-key one. They apply to the
// keys that have a body (the folder's files and the extra downloads); a page failure
// (SetFailure, SetDownloadFailure) applies to any request. In order of precedence:
// failure, refusal, huge body, then cut short and slow (both may apply to the file or
// to the huge body). All members may be called from any thread.
class CUpdateWebServer {
  public:
    static constexpr char kServerInfoPath[] = "/vantor/update/GetUpdateServerInfo.jsp";
    static constexpr char kFileListPath[] = "/vantor/update/GetUpdateFileInfo.jsp";
    static constexpr char kDownloadPath[] = "/vantor/update/DownloadFile.jsp";
    static constexpr char kManifestName[] = "update-manifest.txt";
    static constexpr char kNoVersion[] = "해당없음";
    // The key of the download settings that hold for every key.
    static constexpr char kEveryKey[] = "*";
    // The default of a huge body: one byte more than the updater accepts.
    static constexpr int64_t kHugeBodyBytes = 64 * 1024 * 1024 + 1;
    // Requests kept by Requests(); older ones are dropped.
    static constexpr size_t kMaxRequestRecords = 10000;

    // Registers the pages on the host and reads the folder. The host must outlive
    // this object and be stopped before it is destroyed.
    CUpdateWebServer(CWebHost& host, const std::string& folder, CEventLog* log = nullptr);

    // Reads the folder again (after files were changed). False when it is missing.
    bool Reload();
    std::vector<UpdateFileEntry> Files() const;

    // What the server-information page names; the host's address and HTTP port by
    // default.
    void SetServerInfo(const std::string& server, int port);
    // Every request of the page fails; with a scheme ("https" or "http") only the
    // requests over that one, so that a retry over the other is served.
    void SetFailure(UpdatePage page, UpdatePageFailure failure);
    void SetFailure(UpdatePage page, UpdatePageFailure failure, const std::string& scheme);
    // The next count downloads are refused with a short body (100 bytes or fewer);
    // -1 refuses every download until set to 0. Without a key: every key.
    void SetRefuseDownloads(int count);
    void SetRefuseDownloads(const std::string& key, int count);
    // Downloads of the key fail (kNone: they no longer do).
    void SetDownloadFailure(const std::string& key, UpdatePageFailure failure);
    // The head announces the whole body, then only bytesSent bytes of it go out and
    // the connection is closed (-1: no longer).
    void SetCutDownloads(const std::string& key, int64_t bytesSent);
    // The download's body is this many generated bytes instead of the file, made
    // while sending (-1: the file again).
    void SetHugeDownloads(const std::string& key, int64_t bytes = kHugeBodyBytes);
    // The head, then afterBytes bytes of the body, then a pause of pauseMs, then the
    // rest (0 ms: no longer slow).
    void SetSlowDownloads(const std::string& key, int pauseMs, uint64_t afterBytes = 0);
    // Forgets every download misbehaviour and page failure.
    void ClearMisbehaviours();

    // "file:" lines appended as they are to the list (line without "file:", UTF-8;
    // written in the code page like the rest), and bodies served for keys that the
    // folder does not hold (counted in DownloadCounts like the files).
    void AddExtraFileLine(const std::string& line);
    void SetExtraDownload(const std::string& key, const std::string& body);
    void ClearExtraFileLines();  // the lines and the extra bodies
    // Appends the malicious line of that name (or all of them for "all") with a body
    // of its size for its key. False for an unknown name.
    bool AddMaliciousFileLines(const std::string& name);
    static const std::vector<MaliciousFileLine>& MaliciousFileLines();
    // A record as its "file:" line, without "file:".
    static std::string FileLine(const UpdateFileEntry& entry);

    void SetCodePage(const std::string& codePage);

    // Bodies as they are sent (in the code page).
    std::string ServerInfoBody() const;
    std::string FileListBody() const;
    // Downloads served with a body of the file (or an extra or huge body) so far,
    // by key; refusals and failures are not counted.
    std::map<std::string, int> DownloadCounts() const;
    // Requests of the page, whatever was answered.
    int PageCount(UpdatePage page) const;
    std::vector<UpdateRequestRecord> Requests() const;
    void ClearRequests();

    static const char* RefusalBody();

  private:
    // What the downloads of one key (or of every key) do instead of serving the file.
    struct DownloadRule {
        int refuse = 0;
        UpdatePageFailure failure = UpdatePageFailure::kNone;
        int64_t cutAfter = -1;
        int64_t hugeBytes = -1;
        int pauseMs = 0;
        uint64_t pauseAfter = 0;
    };
    struct PageFailure {
        UpdatePageFailure failure = UpdatePageFailure::kNone;
        std::string scheme;  // "" for both
    };

    void OnPage(UpdatePage page, const HttpRequest& request, HttpResponse& response);
    // The download's answer; the misbehaviour that applied ("" for none).
    std::string AnswerDownload(const std::string& key, HttpResponse& response);
    bool ApplyFailure(UpdatePage page, bool secure, HttpResponse& response) const;
    static void ApplyPageFailure(UpdatePageFailure failure, HttpResponse& response);
    // The rule of the key with the every-key rule's values where the key sets none;
    // counts a refusal down. Called with the mutex held.
    DownloadRule RuleFor(const std::string& key);

    CWebHost& m_host;
    std::string m_strFolder;
    CEventLog* m_pLog;
    mutable std::mutex m_mutex;
    std::vector<UpdateFileEntry> m_vFiles;
    std::string m_strServer;
    int m_nServerPort = -1;
    std::map<UpdatePage, PageFailure> m_failures;
    std::map<std::string, DownloadRule> m_rules;  // by key, kEveryKey for all
    std::vector<std::string> m_vExtraLines;
    std::map<std::string, std::string> m_extraBodies;
    std::string m_strCodePage = kKoreanCodePage;
    std::map<std::string, int> m_downloads;
    std::map<UpdatePage, int> m_pageCounts;
    std::deque<UpdateRequestRecord> m_requests;
};
