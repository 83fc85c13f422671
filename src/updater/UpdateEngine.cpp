#include "updater/UpdateEngine.h"

#include <algorithm>
#include <utility>

namespace tavrel {

namespace {

const std::u16string kNoArgument;

char16_t LowerAscii(char16_t ch) { return (ch >= u'A' && ch <= u'Z') ? char16_t(ch + 32) : ch; }

// Paths name the same file whatever their letter case.
std::u16string PathKey(const std::u16string& path) {
    std::u16string key = path;
    std::transform(key.begin(), key.end(), key.begin(), LowerAscii);
    return key;
}

}  // namespace

CUpdateEngine::CUpdateEngine(IUpdaterHost& host, std::u16string language)
    : m_host(host), m_language(std::move(language)) {}

void CUpdateEngine::OnDialogStarted() {
    m_host.Log(kLogLevelProgress, kMsgCheckingType, kNoArgument);
    m_targetType = kTavrelTargetType;
}

void CUpdateEngine::RunAsSecondInstance() { LaunchTarget(false); }

StartOutcome CUpdateEngine::RunStartSequence() {
    if (!FetchServerInfo()) {
        m_host.Log(kLogLevelError, kMsgServerInfoFailed, kNoArgument);
        m_host.Log(kLogLevelError, kMsgRunNowHint, kNoArgument);
        // The target starts after the first failure only; the updater goes on hidden.
        RunNow();
        m_autoRunDone = true;
        return StartOutcome::kRetryLater;
    }
    FetchFileList();
    m_host.Log(kLogLevelProgress, kMsgCheckingUpdater, kNoArgument);
    // Twice: the first call may just have staged a new updater, which the second then
    // finds complete and installs through the batch file.
    for (int call = 0; call < 2; ++call) {
        if (CheckUpdater()) continue;
        m_host.Log(kLogLevelError, kMsgUpdaterCheckFailed, kNoArgument);
        m_host.Log(kLogLevelError, kMsgRunNowHint, kNoArgument);
        // After the batch was written the quit is already on its way.
        return m_selfReplaced ? StartOutcome::kEnding : StartOutcome::kRetryLater;
    }
    return StartOutcome::kStartDownloads;
}

bool CUpdateEngine::DownloadStep() {
    if (const UpdateFileRecord* found = SelectNextDownload()) {
        const UpdateFileRecord record = *found;
        // The result does not matter: a record that failed is still outdated and is
        // chosen again at the next step.
        DownloadToFile(kUpdateDownloadPage, DownloadForm(record.fileKey),
                       m_host.ProgramDirectory() + u"\\" + record.folder, record.stageName);
        return true;
    }
    if (m_runNowPressed) {
        // The staged files wait for the next run that is not cut short.
        m_host.Quit();
        return false;
    }
    if (!m_selfReplaced) LaunchTarget(true);
    return false;
}

void CUpdateEngine::RunNow() {
    m_runNowPressed = true;
    m_host.HideWindow();
    if (!m_autoRunDone) StartTargetProgram();
}

HttpReply CUpdateEngine::RequestWithFallback(const std::u16string& page, const std::u16string& form,
                                             size_t maxBodyBytes) {
    HttpReply reply = m_host.Request(m_host.ServerBase(true) + page, form, maxBodyBytes);
    if (reply.result == kHttpOk && reply.body.size() > maxBodyBytes)
        reply.result = kHttpReplyTooLarge;
    if (reply.result != kHttpOk && m_host.AllowPlainHttpFallback()) {
        reply = m_host.Request(m_host.ServerBase(false) + page, form, maxBodyBytes);
        if (reply.result == kHttpOk && reply.body.size() > maxBodyBytes)
            reply.result = kHttpReplyTooLarge;
    }
    if (reply.result != kHttpOk) reply.body.clear();
    return reply;
}

std::u16string CUpdateEngine::RequestUpdateText(const std::u16string& page,
                                                const std::u16string& form) {
    const HttpReply reply = RequestWithFallback(page, form, kMaxUpdateTextBytes);
    if (reply.result != kHttpOk) return kFailedRequestReply;
    return SuccessfulReplyText(m_host.DecodeAnsi(reply.body));
}

bool CUpdateEngine::FetchServerInfo() {
    m_host.Log(kLogLevelProgress, kMsgGettingServerInfo, kNoArgument);
    const std::vector<std::u16string> lines = SplitReplyLines(
        RequestUpdateText(kUpdateServerInfoPage, ServerInfoForm(m_host.TickCount())));
    std::u16string result, server, port;
    if (!FindKeyValue(lines, u"result:", result)) return false;
    if (!FindKeyValue(lines, u"server:", server)) return false;
    if (!FindKeyValue(lines, u"port:", port)) return false;
    m_serverHost = server;
    m_serverPort = port;
    return true;
}

void CUpdateEngine::FetchFileList() {
    m_host.Log(kLogLevelProgress, kMsgGettingFileList, kNoArgument);
    std::vector<UpdateFileRecord> records = ParseFileListReply(
        RequestUpdateText(kUpdateFileListPage, FileListForm(m_host.TickCount())));
    for (const UpdateFileRecord& record : records) {
        if (!record.safe) m_host.Log(kLogLevelError, kMsgRecordRejected, record.fileName);
    }
    // A reply without records (a failed request) keeps what an earlier reply gave; a
    // new list replaces the old one rather than adding to it on every retry.
    if (!records.empty()) m_fileList = std::move(records);
}

std::u16string CUpdateEngine::InstalledPath(const UpdateFileRecord& record) {
    return m_host.ProgramDirectory() + u"\\" + record.folder + record.fileName;
}

std::u16string CUpdateEngine::StagingPath(const UpdateFileRecord& record) {
    return m_host.ProgramDirectory() + u"\\" + record.folder + record.stageName;
}

bool CUpdateEngine::IsNewer(const UpdateFileRecord& record, const std::u16string& localPath) {
    if (record.fileVersion == kNoVersionMarker)
        return ReadLeadingNumber(record.fileSize) != int64_t(m_host.FileSizeOf(localPath));
    return CompareVersions(record.fileVersion, DotsForCommas(m_host.FileVersionText(localPath))) >
           0;
}

bool CUpdateEngine::IsWanted(const UpdateFileRecord& record) const {
    return record.safe && record.productType == m_targetType &&
           !IsSkippedLanguageFile(m_language, record.fileKey);
}

const UpdateFileRecord* CUpdateEngine::SelectNextDownload() {
    for (const UpdateFileRecord& record : m_fileList) {
        if (!IsWanted(record)) continue;
        if (!IsNewer(record, InstalledPath(record))) continue;
        // A staged copy that already matches the record is done.
        if (!IsNewer(record, StagingPath(record))) continue;
        return &record;
    }
    return nullptr;
}

bool CUpdateEngine::DownloadToFile(const std::u16string& page, const std::u16string& form,
                                   const std::u16string& folderPath,
                                   const std::u16string& fileName) {
    const std::u16string query = WithCacheBreaker(form, m_host.TickCount());
    m_host.Log(kLogLevelProgress, kMsgDownloadStart, fileName);
    const HttpReply reply = RequestWithFallback(page, query, kMaxDownloadBytes);
    if (reply.result != kHttpOk) {
        m_host.Log(kLogLevelError, kMsgDownloadFailed, fileName);
        return false;
    }
    if (reply.body.size() <= kRefusalBodyMaxBytes) {
        m_host.Log(kLogLevelProgress, kMsgDownloadRefused, fileName);
        return false;
    }
    m_host.CreateFolderChain(folderPath);
    switch (m_host.WriteNewFile(folderPath + fileName, reply.body)) {
        case IUpdaterHost::WriteResult::kCreateFailed:
            m_host.Log(kLogLevelError, kMsgSaveFailed, fileName);
            return false;
        case IUpdaterHost::WriteResult::kWriteFailed:
            m_host.Log(kLogLevelError, kMsgWriteFailed, kNoArgument);
            return false;
        case IUpdaterHost::WriteResult::kWritten:
            break;
    }
    m_host.Log(kLogLevelProgress, kMsgDownloadDone, fileName);
    return true;
}

bool CUpdateEngine::CheckUpdater() {
    const auto found = std::find_if(m_fileList.begin(), m_fileList.end(), [](const auto& record) {
        return record.fileKey == kUpdaterFileKey && record.safe;
    });
    if (found == m_fileList.end()) return false;
    const UpdateFileRecord record = *found;
    if (CompareVersions(record.fileVersion, DotsForCommas(m_host.OwnFileVersion())) <= 0)
        return true;
    const std::u16string folderPath = m_host.ProgramDirectory() + u"\\" + record.folder;
    const std::u16string staged = folderPath + record.stageName;
    if (DotsForCommas(m_host.FileVersionText(staged)) == record.fileVersion &&
        int64_t(m_host.FileSizeOf(staged)) == ReadLeadingNumber(record.fileSize)) {
        m_host.Log(kLogLevelProgress, kMsgReplacingUpdater, kNoArgument);
        ReplaceSelf(folderPath, record.stageName);
        return false;
    }
    m_host.Log(kLogLevelProgress, kMsgDownloadingUpdater, kNoArgument);
    return DownloadToFile(kUpdateDownloadPage, DownloadForm(kUpdaterFileKey), folderPath,
                          record.stageName);
}

bool CUpdateEngine::ReplaceSelf(const std::u16string& folderPath, const std::u16string& stageName) {
    const std::u16string programDir = m_host.ProgramDirectory();
    const std::u16string newPath = folderPath + stageName;
    const std::u16string batPath = programDir + u"\\" + kUpdateBatchName;
    std::string bytes;
    if (!m_host.ToAnsi(ReplaceBatchText(programDir, newPath), bytes)) {
        // A "?" in a path would make the batch work on files that do not exist; the
        // short forms of the paths are plain ASCII.
        const std::u16string shortDir = m_host.ShortPath(programDir);
        const std::u16string shortNew = m_host.ShortPath(newPath);
        if (shortDir.empty() || shortNew.empty() ||
            !m_host.ToAnsi(ReplaceBatchText(shortDir, shortNew), bytes)) {
            m_host.Log(kLogLevelError, kMsgBatchPathUnwritable, programDir);
            return false;
        }
    }
    switch (m_host.WriteNewFile(batPath, bytes)) {
        case IUpdaterHost::WriteResult::kCreateFailed:
            m_host.Log(kLogLevelError, kMsgBatchCreateFailed, batPath);
            return false;
        case IUpdaterHost::WriteResult::kWriteFailed:
            m_host.Log(kLogLevelError, kMsgBatchWriteFailed, kNoArgument);
            return false;
        case IUpdaterHost::WriteResult::kWritten:
            break;
    }
    m_selfReplaced = true;
    // After Run now the batch waits for the next run, which writes and starts it again.
    if (!m_runNowPressed) m_host.OpenBatchHidden(batPath);
    m_host.Quit();
    return true;
}

void CUpdateEngine::InstallStagedFiles() {
    int year = 0, month = 0, day = 0;
    // Without a date no backup name can be made; the staged file then replaces the
    // installed one in one step.
    const std::u16string suffix =
        m_host.LocalDate(year, month, day) ? BackupSuffix(year, month, day) : std::u16string();
    std::vector<std::u16string> handled;
    for (const UpdateFileRecord& record : m_fileList) {
        if (!IsWanted(record)) continue;
        const std::u16string staging = StagingPath(record);
        const std::u16string key = PathKey(staging);
        if (std::find(handled.begin(), handled.end(), key) != handled.end()) continue;
        if (!m_host.FileExists(staging)) continue;
        // A stray or half-downloaded staging file stays where it is.
        if (IsNewer(record, staging)) continue;
        handled.push_back(key);
        if (!InstallOne(record, suffix))
            m_host.Log(kLogLevelError, kMsgInstallFailed, record.fileName);
    }
}

bool CUpdateEngine::InstallOne(const UpdateFileRecord& record, const std::u16string& suffix) {
    const std::u16string installed = InstalledPath(record);
    const std::u16string staging = StagingPath(record);
    if (suffix.empty()) return m_host.ReplaceFile(staging, installed);
    std::u16string backup;
    for (int n = 1; n <= kMaxBackupsPerDay && backup.empty(); ++n) {
        std::u16string candidate = installed + suffix;
        for (char ch : std::to_string(n)) candidate.push_back(char16_t(ch));
        if (!m_host.FileExists(candidate)) backup = candidate;
    }
    // Every backup name of the day is taken: the installed file is never deleted
    // before its replacement is in place.
    if (backup.empty()) return m_host.ReplaceFile(staging, installed);
    if (!m_host.FileExists(installed)) return m_host.MoveFile(staging, installed);
    if (!m_host.MoveFile(installed, backup)) return false;
    if (m_host.MoveFile(staging, installed)) return true;
    // The program must not exist only under its backup name.
    m_host.MoveFile(backup, installed);
    return false;
}

void CUpdateEngine::LaunchTarget(bool install) {
    if (install) InstallStagedFiles();
    StartTargetProgram();
    m_host.Quit();
}

void CUpdateEngine::StartTargetProgram() {
    std::u16string exeName, relativePath;
    if (!TargetProgramFor(m_targetType, exeName, relativePath)) return;
    if (m_host.IsProcessRunning(exeName)) return;
    m_host.OpenProgram(m_host.ProgramDirectory() + relativePath);
}

}  // namespace tavrel
