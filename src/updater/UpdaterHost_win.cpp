#include "updater/UpdaterHost_win.h"

#include <shellapi.h>
#include <tlhelp32.h>

#include <cwchar>
#include <ctime>
#include <vector>

#include "login/HttpClient_win.h"
#include "login/RelayLookup.h"
#include "shell/FolderChain_win.h"
#include "shell/ProgramPath_win.h"
#include "shell/Registry_win.h"
#include "shell/SettingsStore_win.h"
#include "shell/SettingsValues.h"
#include "shell/TextUtil_win.h"

namespace {

constexpr wchar_t kTranslationQuery[] = L"\\VarFileInfo\\Translation";
constexpr wchar_t kFileVersionQuery[] = L"\\StringFileInfo\\%04x%04x\\FileVersion";
constexpr wchar_t kMainProgramConfigKey[] = L"Software\\Vantor Login\\Vantor Tavrel\\config";
constexpr wchar_t kLanguageValue[] = L"language";
constexpr wchar_t kDefaultLanguage[] = L"Kor";
// config.ini switch: "0" keeps updates on HTTPS only.
constexpr wchar_t kHttpFallbackKey[] = L"updatehttpfallback";

// The version information of a file, whole; empty when it has none.
std::vector<unsigned char> ReadVersionBlock(const std::wstring& path) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return {};
    std::vector<unsigned char> block(size);
    if (!::GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return {};
    return block;
}

std::wstring ModuleFilePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return std::wstring();
        if (length < buffer.size()) return std::wstring(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace

std::wstring VersionTextOfBlock(const void* block, const std::wstring& noInfo) {
    void* translation = nullptr;
    UINT translationBytes = 0;
    // A translation entry is two 16-bit numbers; a shorter answer is no entry at all.
    if (!::VerQueryValueW(block, kTranslationQuery, &translation, &translationBytes) ||
        translation == nullptr || translationBytes < 2 * sizeof(WORD)) {
        return noInfo;
    }
    const WORD* pair = static_cast<const WORD*>(translation);
    wchar_t query[64];
    std::swprintf(query, sizeof query / sizeof query[0], kFileVersionQuery, pair[0], pair[1]);
    void* value = nullptr;
    UINT valueChars = 0;
    if (!::VerQueryValueW(block, query, &value, &valueChars) || value == nullptr) {
        return AfxToWide(tavrel::kUnreadableVersion);
    }
    // The length counts characters, the terminator included when there is one; the text
    // ends at the first zero within it and never reads past it.
    const wchar_t* text = static_cast<const wchar_t*>(value);
    size_t length = 0;
    while (length < valueChars && text[length] != L'\0') ++length;
    return std::wstring(text, length);
}

std::wstring OwnFileVersion() {
    const std::wstring noInfo = AfxToWide(tavrel::kNoOwnVersion);
    const std::vector<unsigned char> block = ReadVersionBlock(ModuleFilePath());
    return block.empty() ? noInfo : VersionTextOfBlock(block.data(), noInfo);
}

std::wstring FileVersionText(const std::wstring& path) {
    const std::vector<unsigned char> block = ReadVersionBlock(path);
    return block.empty() ? std::wstring() : VersionTextOfBlock(block.data(), std::wstring());
}

uint32_t FileSizeOf(const std::wstring& path) {
    // No sharing at all: a file someone is still writing (or holding) reads as 0, so
    // it never counts as complete.
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    const DWORD size = ::GetFileSize(file, nullptr);
    ::CloseHandle(file);
    return size == INVALID_FILE_SIZE ? 0 : size;
}

bool IsProcessRunning(const std::wstring& exeName) {
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    bool found = false;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more && !found;
         more = ::Process32NextW(snapshot, &entry)) {
        entry.szExeFile[MAX_PATH - 1] = L'\0';
        found = _wcsicmp(entry.szExeFile, exeName.c_str()) == 0;
    }
    ::CloseHandle(snapshot);
    return found;
}

std::wstring ReadUpdaterLanguage(const std::wstring& consoleSid) {
    CRegistry registry(HKEY_USERS);
    bool open = false;
    if (!consoleSid.empty()) {
        open = registry.OpenKey((consoleSid + L"\\" + kMainProgramConfigKey).c_str()) != 0;
    }
    // Without a console user (services, Wine) the updater runs in the user's own session:
    // the current user's key of the main program holds the same choice.
    if (!open) {
        CRegistry current(HKEY_CURRENT_USER);
        if (current.OpenKey(kMainProgramConfigKey) == 0) return kDefaultLanguage;
        const std::wstring language = current.ReadText(kLanguageValue, kDefaultLanguage);
        return language.empty() ? kDefaultLanguage : language;
    }
    const std::wstring language = registry.ReadText(kLanguageValue, kDefaultLanguage);
    return language.empty() ? kDefaultLanguage : language;
}

UpdateServerConfig ReadUpdateServerConfig(const std::wstring& programDirectory) {
    const std::wstring path = programDirectory + L"\\" + AfxToWide(tavrel::kConfigIniName);
    const std::wstring section = AfxToWide(tavrel::kSectionDefault);
    const std::wstring https =
        ReadIniText(section.c_str(), AfxToWide(tavrel::kLoginHttpsKey).c_str(), L"", path);
    const std::wstring http =
        ReadIniText(section.c_str(), AfxToWide(tavrel::kLoginHttpKey).c_str(), L"", path);
    const tavrel::LoginServerUrls urls =
        tavrel::ResolveLoginServerUrls(AfxToU16(https), AfxToU16(http));
    // The same host as the log-in, with the same defaults and the same way of filling
    // in a missing scheme; the log-in's own page is not ours.
    const auto base = [](std::u16string url) {
        const std::u16string page = tavrel::kLookupPath;
        if (url.size() >= page.size() &&
            url.compare(url.size() - page.size(), page.size(), page) == 0)
            url.resize(url.size() - page.size());
        return AfxToWide(url);
    };
    UpdateServerConfig config;
    config.httpsBase = base(urls.https);
    config.httpBase = base(urls.http);
    config.allowHttpFallback =
        ReadIniText(section.c_str(), kHttpFallbackKey, L"1", path) != std::wstring(L"0");
    return config;
}

CWinUpdaterHost::CWinUpdaterHost(Window window)
    : m_window(std::move(window)),
      m_strProgramDirectory(::ProgramDirectory()),
      m_config(ReadUpdateServerConfig(m_strProgramDirectory)) {}

HttpReply CWinUpdaterHost::Request(const std::u16string& url, const std::u16string& formText,
                                   size_t maxBodyBytes) {
    HttpClientOptions options = UpdaterHttpOptions();
    options.maxBodyBytes = maxBodyBytes;
    return RequestUrl(AfxToWide(url), AfxToWide(formText), options);
}

std::u16string CWinUpdaterHost::ServerBase(bool https) {
    return AfxToU16(https ? m_config.httpsBase : m_config.httpBase);
}

bool CWinUpdaterHost::AllowPlainHttpFallback() { return m_config.allowHttpFallback; }

std::u16string CWinUpdaterHost::DecodeAnsi(const std::string& bytes) {
    return AfxToU16(AnsiToWide(bytes));
}

uint32_t CWinUpdaterHost::TickCount() { return ::GetTickCount(); }

bool CWinUpdaterHost::LocalDate(int& year, int& month, int& day) {
    const __time64_t now = _time64(nullptr);
    struct tm local = {};
    if (now < 0 || _localtime64_s(&local, &now) != 0) return false;
    year = local.tm_year + 1900;
    month = local.tm_mon + 1;
    day = local.tm_mday;
    return true;
}

std::u16string CWinUpdaterHost::ProgramDirectory() { return AfxToU16(m_strProgramDirectory); }

std::u16string CWinUpdaterHost::OwnFileVersion() { return AfxToU16(::OwnFileVersion()); }

std::u16string CWinUpdaterHost::FileVersionText(const std::u16string& path) {
    return AfxToU16(::FileVersionText(AfxToWide(path)));
}

uint32_t CWinUpdaterHost::FileSizeOf(const std::u16string& path) {
    return ::FileSizeOf(AfxToWide(path));
}

bool CWinUpdaterHost::FileExists(const std::u16string& path) {
    return ::GetFileAttributesW(AfxToWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CWinUpdaterHost::MoveFile(const std::u16string& from, const std::u16string& to) {
    return ::MoveFileW(AfxToWide(from).c_str(), AfxToWide(to).c_str()) != FALSE;
}

bool CWinUpdaterHost::ReplaceFile(const std::u16string& from, const std::u16string& to) {
    return ::MoveFileExW(AfxToWide(from).c_str(), AfxToWide(to).c_str(),
                         MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool CWinUpdaterHost::DeleteFile(const std::u16string& path) {
    return ::DeleteFileW(AfxToWide(path).c_str()) != FALSE;
}

void CWinUpdaterHost::CreateFolderChain(const std::u16string& folder) {
    ::CreateFolderChain(AfxToWide(folder));
}

tavrel::IUpdaterHost::WriteResult CWinUpdaterHost::WriteNewFile(const std::u16string& path,
                                                                const std::string& bytes) {
    const HANDLE file =
        ::CreateFileW(AfxToWide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return WriteResult::kCreateFailed;
    DWORD written = 0;
    const BOOL ok =
        ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
    return ok && written == bytes.size() ? WriteResult::kWritten : WriteResult::kWriteFailed;
}

bool CWinUpdaterHost::ToAnsi(const std::u16string& text, std::string& bytes) {
    bytes.clear();
    if (text.empty()) return true;
    const std::wstring wide = AfxToWide(text);
    const int length = static_cast<int>(wide.size());
    BOOL lossy = FALSE;
    const int size =
        ::WideCharToMultiByte(CP_ACP, 0, wide.data(), length, nullptr, 0, nullptr, &lossy);
    if (size <= 0) return false;
    bytes.assign(static_cast<size_t>(size), '\0');
    lossy = FALSE;
    if (::WideCharToMultiByte(CP_ACP, 0, wide.data(), length, &bytes[0], size, nullptr, &lossy) !=
        size) {
        bytes.clear();
        return false;
    }
    return lossy == FALSE;
}

std::u16string CWinUpdaterHost::ShortPath(const std::u16string& path) {
    const std::wstring wide = AfxToWide(path);
    const DWORD size = ::GetShortPathNameW(wide.c_str(), nullptr, 0);
    if (size == 0) return std::u16string();
    std::vector<wchar_t> buffer(size + 1);
    const DWORD length =
        ::GetShortPathNameW(wide.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0 || length >= buffer.size()) return std::u16string();
    return AfxToU16(std::wstring(buffer.data(), length));
}

bool CWinUpdaterHost::IsProcessRunning(const std::u16string& exeName) {
    return ::IsProcessRunning(AfxToWide(exeName));
}

void CWinUpdaterHost::OpenProgram(const std::u16string& path) {
    ::ShellExecuteW(nullptr, L"open", AfxToWide(path).c_str(), L"", nullptr, SW_SHOWNORMAL);
}

void CWinUpdaterHost::OpenBatchHidden(const std::u16string& path) {
    ::ShellExecuteW(nullptr, L"open", AfxToWide(path).c_str(), nullptr, nullptr, SW_HIDE);
}

void CWinUpdaterHost::Log(int level, int id, const std::u16string& argument) {
    if (m_window.log) m_window.log(level, id, argument);
}

void CWinUpdaterHost::HideWindow() {
    if (m_window.hide) m_window.hide();
}

void CWinUpdaterHost::Quit() {
    if (m_window.quit) m_window.quit();
}
