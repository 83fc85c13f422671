#pragma once

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
    std::string folder;  // below the program folder: empty or ending in "\"
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
// Every request is reported as the event "update_request" (page, status, and for
// downloads key and bytes). All members may be called from any thread.
class CUpdateWebServer {
  public:
    static constexpr char kServerInfoPath[] = "/vantor/update/GetUpdateServerInfo.jsp";
    static constexpr char kFileListPath[] = "/vantor/update/GetUpdateFileInfo.jsp";
    static constexpr char kDownloadPath[] = "/vantor/update/DownloadFile.jsp";
    static constexpr char kManifestName[] = "update-manifest.txt";
    static constexpr char kNoVersion[] = "해당없음";

    // Registers the pages on the host and reads the folder. The host must outlive
    // this object and be stopped before it is destroyed.
    CUpdateWebServer(CWebHost& host, const std::string& folder, CEventLog* log = nullptr);

    // Reads the folder again (after files were changed). False when it is missing.
    bool Reload();
    std::vector<UpdateFileEntry> Files() const;

    // What the server-information page names; the host's address and HTTP port by
    // default.
    void SetServerInfo(const std::string& server, int port);
    void SetFailure(UpdatePage page, UpdatePageFailure failure);
    // The next count downloads are refused with a short body (100 bytes or fewer);
    // -1 refuses every download until set to 0.
    void SetRefuseDownloads(int count);
    void SetCodePage(const std::string& codePage);

    // Bodies as they are sent (in the code page).
    std::string ServerInfoBody() const;
    std::string FileListBody() const;
    // Downloads served so far, by key.
    std::map<std::string, int> DownloadCounts() const;

    static const char* RefusalBody();

  private:
    void OnServerInfo(const HttpRequest& request, HttpResponse& response);
    void OnFileList(const HttpRequest& request, HttpResponse& response);
    void OnDownload(const HttpRequest& request, HttpResponse& response);
    bool ApplyFailure(UpdatePage page, HttpResponse& response) const;
    void Report(const char* page, const HttpResponse& response, const std::string& key);

    CWebHost& m_host;
    std::string m_strFolder;
    CEventLog* m_pLog;
    mutable std::mutex m_mutex;
    std::vector<UpdateFileEntry> m_vFiles;
    std::string m_strServer;
    int m_nServerPort = -1;
    std::map<UpdatePage, UpdatePageFailure> m_failures;
    int m_nRefuseDownloads = 0;
    std::string m_strCodePage = kKoreanCodePage;
    std::map<std::string, int> m_downloads;
};
