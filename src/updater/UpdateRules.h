// The updater's plain rules: reading the update server's replies, judging file
// records, comparing versions, naming backups and writing the self-replacement batch.
// Nothing here touches the host; UpdateEngine.h drives these rules through a host seam.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tavrel {

// Pages of the update web server (the login web server's host) and the fixed texts of
// the conversation.
extern const char16_t kUpdateServerInfoPage[];  // "/vantor/update/GetUpdateServerInfo.jsp"
extern const char16_t kUpdateFileListPage[];    // "/vantor/update/GetUpdateFileInfo.jsp"
extern const char16_t kUpdateDownloadPage[];    // "/vantor/update/DownloadFile.jsp"
extern const char16_t kUpdateReleaseVersion[];  // "2.0Login"
extern const char16_t kNoVersionMarker[];       // "해당없음": compare sizes instead
extern const char16_t kUpdaterFileKey[];        // "updater_tavrel_exe"
extern const char16_t kUpdaterExeName[];        // "VTUpdaterT.exe"
extern const char16_t kUpdateBatchName[];       // "aUpdate.bat"
extern const char16_t kTavrelTargetType[];      // "u_tavrel"
// The reply a failed text request stands for (message 318).
extern const char16_t kFailedRequestReply[];
// The version a running executable without version information reports.
extern const char16_t kNoOwnVersion[];  // "1.0.0.0"
// The version text of a file whose version information has no FileVersion.
extern const char16_t kUnreadableVersion[];  // "Unable to get Version Info"

// A body of this size or less is the server refusing a download.
constexpr size_t kRefusalBodyMaxBytes = 100;
// Downloads are held whole in memory: anything larger is refused like a failed request.
constexpr size_t kMaxDownloadBytes = 64u * 1024u * 1024u;
// Text replies (server information, file list) are small; a larger one is a failure.
constexpr size_t kMaxUpdateTextBytes = 4u * 1024u * 1024u;
// Backups of one installed file per day: "<name>_YYYYMMDD_1" to "..._99".
constexpr int kMaxBackupsPerDay = 99;

// One "file:" line of the file list, its eight fields in the order they stand.
struct UpdateFileRecord {
    std::u16string productType;
    std::u16string fileKey;
    std::u16string fileName;
    std::u16string folder;  // below the program folder, ".\" or ending in "\"
    std::u16string fileSize;
    std::u16string fileVersion;  // dotted, or kNoVersionMarker
    std::u16string spare;
    std::u16string stageName;
    // False when a field could lead outside the program folder or into the batch's
    // commands (see IsSafeRecord). Unsafe records stay in the list, so its order is
    // kept, but they are never downloaded, installed or used to replace the updater.
    bool safe = false;
};

// Splits a reply into its lines: every double quote removed, cut at line feeds, each
// line trimmed of white space at both ends, empty lines dropped.
std::vector<std::u16string> SplitReplyLines(const std::u16string& reply);

// The first line that begins with `key`; its value is the line with every occurrence
// of `key` removed, trimmed. False when no line begins with it.
bool FindKeyValue(const std::vector<std::u16string>& lines, const std::u16string& key,
                  std::u16string& value);

// A "file:" line's text (the key already removed and trimmed): cut at commas, empty
// pieces dropped, pieces kept untrimmed. Exactly eight pieces make a record; `safe` is
// filled in by IsSafeRecord.
bool ParseFileLine(const std::u16string& line, UpdateFileRecord& record);

// Every record of a file-list reply, in order ("file:" lines only).
std::vector<UpdateFileRecord> ParseFileListReply(const std::u16string& reply);

// A record's fields are used in paths and inside the batch file. Safe when:
// folder is ".\" (or empty: both mean the program folder) or plain components each
// followed by "\"; fileName and stageName are one plain component each; stageName
// differs from fileName ignoring letter case. A plain component is non-empty, holds no
// "..", is not ".", holds no control character and none of \ / : * ? " < > | % ^ & !,
// does not end in a dot or a space (Win32 drops them, so "a.exe." names "a.exe") and is
// not a reserved device name with or without an extension (CON, NUL, COM1, LPT1...).
bool IsSafeRecord(const UpdateFileRecord& record);
// Why a record is not safe, for the log; empty when it is.
std::u16string UnsafeRecordReason(const UpdateFileRecord& record);

// Compares two version texts: when both are dotted numbers ("3.0.1.1012") part by
// part as numbers (a missing part counts as 0), otherwise code unit by code unit as
// wcscmp does. Negative, 0 or positive.
int CompareVersions(const std::u16string& a, const std::u16string& b);

// Every "," turned into "." (a version resource may write "3, 0, 1, 1004").
std::u16string DotsForCommas(const std::u16string& text);

// A decimal number read the way _wtol reads it: leading white space, an optional
// sign, digits up to the first other character; 0 without digits.
int64_t ReadLeadingNumber(const std::u16string& text);

// Whether the configured language skips a language module's fileKey: "Kor" skips the
// English and Japanese modules, "Eng" the Japanese, "Japan" the English, any other
// language none.
bool IsSkippedLanguageFile(const std::u16string& language, const std::u16string& fileKey);

// A tick count as the server sees it: formatted as a signed 32-bit number.
std::u16string TickText(uint32_t tick);

// Form texts of the three requests.
std::u16string ServerInfoForm(uint32_t tick);  // "dummy=<tick>"
std::u16string FileListForm(uint32_t tick);    // "releaseversion=2.0Login&dummy=<tick>"
// "type=<key>&releaseversion=2.0Login"; the download adds the cache breaker.
std::u16string DownloadForm(const std::u16string& fileKey);
// The cache breaker: "dummy=<tick>" for an empty form, else "<form>&dummy=<tick>".
std::u16string WithCacheBreaker(const std::u16string& form, uint32_t tick);

// The text a successful text request stands for: the body (already decoded) cut at
// its first NUL, trimmed, after "result:true\n".
std::u16string SuccessfulReplyText(const std::u16string& decodedBody);

// "_YYYYMMDD_" of a local date.
std::u16string BackupSuffix(int year, int month, int day);

// "[HH:MM:SS] text"; a field whose conversion failed (negative) shows -1.
std::u16string LogLine(int hour, int minute, int second, const std::u16string& text);

// The self-replacement batch, as text (the host converts it to the ANSI code page).
// `programDir` has no trailing backslash; `newPath` is the staged updater's full path
// (programDir + "\" + folder + stageName, or their short forms). Each loop waits about
// a second per turn and gives up after a bounded number of turns; the old updater is
// copied aside first and put back if the new one never arrives; "%" in paths is
// doubled.
std::u16string ReplaceBatchText(const std::u16string& programDir, const std::u16string& newPath);

// The target programs the updater may start: the process name looked for and the path
// below the program folder ("\Vantor Tavrel.exe"). False for an unknown target type.
bool TargetProgramFor(const std::u16string& targetType, std::u16string& exeName,
                      std::u16string& relativePath);

}  // namespace tavrel
