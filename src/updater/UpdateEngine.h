// The updater's decisions: the start sequence, the download loop, the updater's own
// replacement, installing staged files and starting the target program. Everything it
// needs of Windows (web requests, files, versions, processes, the clock, the log, the
// window) goes through IUpdaterHost, so the whole flow runs natively against fakes.
// The dialog owns one engine and calls it from its timers and its Run now button.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "login/HttpClient.h"
#include "updater/UpdateRules.h"

namespace tavrel {

// Ids of the progress messages (string table; the English texts stand at id + 300).
enum UpdaterMessage : int {
    kMsgDownloadStart = 300,      // "다운로드 시작 : %s\n"
    kMsgDownloadFailed = 301,     // "다운로드 실패 : %s\n"
    kMsgSaveFailed = 302,         // "파일저장 오류 : %s\n"
    kMsgWriteFailed = 303,        // "파일쓰기 오류\n"
    kMsgDownloadDone = 304,       // "다운로드 완료 : %s\n"
    kMsgDownloadRefused = 305,    // "다운로드 요구 많음 : %s\n"
    kMsgBatchCreateFailed = 306,  // "배치 파일 생성 오류 : %s\n"
    kMsgBatchWriteFailed = 307,   // "배치 파일 쓰기 오류\n"
    kMsgServerInfoFailed = 308,
    kMsgRunNowHint = 309,
    kMsgCheckingUpdater = 311,
    kMsgUpdaterCheckFailed = 312,
    kMsgCheckingType = 313,
    kMsgGettingServerInfo = 314,
    kMsgGettingFileList = 315,
    kMsgReplacingUpdater = 316,
    kMsgDownloadingUpdater = 317,
    kMsgFailedReply = 318,
    // Our own messages, beyond the original table (see docs/updater.md).
    kMsgRecordRejected = 320,  // "잘못된 파일 정보를 건너뜁니다 : %s\n"
    kMsgInstallFailed = 321,   // "파일 설치 오류 : %s\n"
    kMsgBatchPathUnwritable = 322  // "프로그램 폴더 경로를 배치 파일에 쓸 수 없습니다 : %s\n"
};

constexpr int kLogLevelProgress = 0;
constexpr int kLogLevelError = 2;

// What the engine asks of the host. Paths are full paths built by the engine.
class IUpdaterHost {
  public:
    virtual ~IUpdaterHost() = default;

    // One GET of `url` (base and page) with `formText` as its query; the body is
    // bounded by `maxBodyBytes` (a larger one fails with kHttpReplyTooLarge).
    virtual HttpReply Request(const std::u16string& url, const std::u16string& formText,
                              size_t maxBodyBytes) = 0;
    // The update web server (the login web server's host) as a URL base without a
    // trailing "/": "https://host[:port]" when `https`, else "http://host[:port]". The
    // two may name different ports (config.ini "loginhttps" and "loginhttp").
    virtual std::u16string ServerBase(bool https) = 0;
    // Whether a failed HTTPS request is tried again over plain HTTP.
    virtual bool AllowPlainHttpFallback() = 0;
    // Body bytes decoded with the system ANSI code page.
    virtual std::u16string DecodeAnsi(const std::string& bytes) = 0;

    virtual uint32_t TickCount() = 0;
    // Local date; false when the clock cannot be converted.
    virtual bool LocalDate(int& year, int& month, int& day) = 0;

    // Folder of the running updater, without a trailing backslash.
    virtual std::u16string ProgramDirectory() = 0;
    virtual std::u16string OwnFileVersion() = 0;
    virtual std::u16string FileVersionText(const std::u16string& path) = 0;
    // 0 for a missing file or one that another process holds open.
    virtual uint32_t FileSizeOf(const std::u16string& path) = 0;
    virtual bool FileExists(const std::u16string& path) = 0;
    // Renames; fails when `to` exists.
    virtual bool MoveFile(const std::u16string& from, const std::u16string& to) = 0;
    // Renames over an existing `to` in one step.
    virtual bool ReplaceFile(const std::u16string& from, const std::u16string& to) = 0;
    virtual bool DeleteFile(const std::u16string& path) = 0;
    // Creates every missing folder along `folder` (ending in "\").
    virtual void CreateFolderChain(const std::u16string& folder) = 0;
    enum class WriteResult { kWritten, kCreateFailed, kWriteFailed };
    // Creates (replacing) `path` and writes `bytes` in one write.
    virtual WriteResult WriteNewFile(const std::u16string& path, const std::string& bytes) = 0;

    // The text in the system ANSI code page; false when a character has no mapping.
    virtual bool ToAnsi(const std::u16string& text, std::string& bytes) = 0;
    // The short (8.3) form of an existing path; empty when there is none.
    virtual std::u16string ShortPath(const std::u16string& path) = 0;

    // Whether a process of this executable name runs (any letter case).
    virtual bool IsProcessRunning(const std::u16string& exeName) = 0;
    // Opens a program (shown normally) or the batch (hidden); the result is not used.
    virtual void OpenProgram(const std::u16string& path) = 0;
    virtual void OpenBatchHidden(const std::u16string& path) = 0;

    // Formats message `id` with `argument` (for its "%s", if any) and logs it.
    virtual void Log(int level, int id, const std::u16string& argument) = 0;
    virtual void HideWindow() = 0;
    // Ends the updater (posts the quit message).
    virtual void Quit() = 0;
};

// What the dialog does after a start-sequence attempt.
enum class StartOutcome {
    kRetryLater,      // arm the start timer with the retry period
    kStartDownloads,  // run a download step at once, then every download period
    kEnding,          // the updater is ending (it replaced itself)
};

class CUpdateEngine {
  public:
    CUpdateEngine(IUpdaterHost& host, std::u16string language);

    // The dialog has started: log 313 and take the target type.
    void OnDialogStarted();
    // A second instance only starts the target program and ends.
    void RunAsSecondInstance();
    // One attempt of the start sequence (server information, file list, the updater
    // check twice).
    StartOutcome RunStartSequence();
    // One tick of the download loop; false when the updater is ending.
    bool DownloadStep();
    // The Run now button.
    void RunNow();

    // The steps, public for the tests and the dialog.
    std::u16string RequestUpdateText(const std::u16string& page, const std::u16string& form);
    bool FetchServerInfo();
    void FetchFileList();
    const UpdateFileRecord* SelectNextDownload();
    bool DownloadToFile(const std::u16string& page, const std::u16string& form,
                        const std::u16string& folderPath, const std::u16string& fileName);
    bool IsNewer(const UpdateFileRecord& record, const std::u16string& localPath);
    bool CheckUpdater();
    bool ReplaceSelf(const std::u16string& folderPath, const std::u16string& stageName);
    void InstallStagedFiles();
    void LaunchTarget(bool install);
    void StartTargetProgram();

    std::u16string InstalledPath(const UpdateFileRecord& record);
    std::u16string StagingPath(const UpdateFileRecord& record);

    const std::vector<UpdateFileRecord>& FileList() const { return m_fileList; }
    const std::u16string& ServerHostInfo() const { return m_serverHost; }
    const std::u16string& ServerPortInfo() const { return m_serverPort; }
    bool SelfReplaced() const { return m_selfReplaced; }
    bool RunNowPressed() const { return m_runNowPressed; }
    bool AutoRunDone() const { return m_autoRunDone; }
    void SetTargetType(std::u16string type) { m_targetType = std::move(type); }

  private:
    // One GET of a page, over HTTPS and then, when allowed, plain HTTP. A body larger
    // than `maxBodyBytes` counts as a failure even when the host let it through.
    HttpReply RequestWithFallback(const std::u16string& page, const std::u16string& form,
                                  size_t maxBodyBytes);
    // A record the running updater may download or install: safe, of the target
    // product, and not a language module the configured language skips.
    bool IsWanted(const UpdateFileRecord& record) const;
    // Installs one staged file with a dated backup; `suffix` empty when there is no date.
    bool InstallOne(const UpdateFileRecord& record, const std::u16string& suffix);

    IUpdaterHost& m_host;
    std::u16string m_language;
    std::u16string m_targetType;
    std::u16string m_serverHost;
    std::u16string m_serverPort;
    std::vector<UpdateFileRecord> m_fileList;
    bool m_selfReplaced = false;
    bool m_runNowPressed = false;
    bool m_autoRunDone = false;
};

}  // namespace tavrel
