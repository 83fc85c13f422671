#include "shell/ConsoleUser_win.h"

#include <sddl.h>
#include <shlobj.h>
#include <wtsapi32.h>

#include <cwchar>
#include <vector>

namespace {

constexpr DWORD kSessionInfoLevel = 1;
constexpr wchar_t kShellProcessName[] = L"explorer.exe";
constexpr wchar_t kShellFoldersKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr wchar_t kDesktopValue[] = L"Desktop";

// Terminal-services lists are freed by the service, whoever returns first.
class CWtsMemory {
  public:
    explicit CWtsMemory(void* memory) : m_pMemory(memory) {}
    ~CWtsMemory() {
        if (m_pMemory) WTSFreeMemory(m_pMemory);
    }
    CWtsMemory(const CWtsMemory&) = delete;
    CWtsMemory& operator=(const CWtsMemory&) = delete;

  private:
    void* m_pMemory;
};

// The first active session: its id and window-station name.
bool FindActiveSession(DWORD& sessionId, std::wstring& winStation) {
    WTS_SESSION_INFOW* sessions = nullptr;
    DWORD count = 0;
    if (!WTSEnumerateSessionsW(WTS_CURRENT_SERVER_HANDLE, 0, kSessionInfoLevel, &sessions,
                               &count)) {
        return false;
    }
    CWtsMemory owner(sessions);
    for (DWORD i = 0; i < count; ++i) {
        if (sessions[i].State != WTSActive) continue;
        sessionId = sessions[i].SessionId;
        winStation = sessions[i].pWinStationName ? sessions[i].pWinStationName : L"";
        return true;
    }
    return false;
}

std::wstring CurrentSessionUserName() {
    wchar_t* name = nullptr;
    DWORD bytes = 0;
    if (!WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, WTS_CURRENT_SESSION, WTSUserName,
                                     &name, &bytes)) {
        return std::wstring();
    }
    CWtsMemory owner(name);
    return name ? std::wstring(name) : std::wstring();
}

bool FindShellProcess(DWORD sessionId, DWORD& processId) {
    WTS_PROCESS_INFOW* processes = nullptr;
    DWORD count = 0;
    if (!WTSEnumerateProcessesW(WTS_CURRENT_SERVER_HANDLE, 0, kSessionInfoLevel, &processes,
                                &count)) {
        return false;
    }
    CWtsMemory owner(processes);
    for (DWORD i = 0; i < count; ++i) {
        const WTS_PROCESS_INFOW& process = processes[i];
        if (process.SessionId != sessionId || !process.pProcessName) continue;
        // Exact spelling: the shell's own process is always named in lower case.
        if (wcscmp(process.pProcessName, kShellProcessName) == 0) {
            processId = process.ProcessId;
            return true;
        }
    }
    return false;
}

std::wstring TokenUserSid(HANDLE token) {
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    if (size == 0) return std::wstring();
    std::vector<BYTE> buffer(size);
    if (!GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return std::wstring();
    const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer.data());
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(user->User.Sid, &text)) return std::wstring();
    std::wstring sid(text);
    LocalFree(text);
    return sid;
}

std::wstring ProcessUserSid(DWORD processId) {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (!process) return std::wstring();
    std::wstring sid;
    HANDLE token = nullptr;
    if (OpenProcessToken(process, TOKEN_QUERY, &token)) {
        sid = TokenUserSid(token);
        CloseHandle(token);
    }
    CloseHandle(process);
    return sid;
}

// The value as text, whatever its length; empty when it is missing or not text.
std::wstring ReadTextValue(HKEY key, const wchar_t* name) {
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) {
        return std::wstring();
    }
    if ((type != REG_SZ && type != REG_EXPAND_SZ) || bytes == 0) return std::wstring();
    std::vector<wchar_t> text(bytes / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &bytes) !=
        ERROR_SUCCESS) {
        return std::wstring();
    }
    return std::wstring(text.data());
}

// The shell-folder key of the console user: below that user's own hive when the
// console user is known, else the current user's.
bool OpenShellFoldersKey(HKEY& key) {
    const std::wstring sid = ConsoleUserSid();
    if (sid.empty()) {
        return RegOpenKeyExW(HKEY_CURRENT_USER, kShellFoldersKey, 0, KEY_READ, &key) ==
               ERROR_SUCCESS;
    }
    if (ConsoleUserName().empty()) return false;
    const std::wstring path = sid + L"\\" + kShellFoldersKey;
    return RegOpenKeyExW(HKEY_USERS, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS;
}

}  // namespace

std::wstring ConsoleUserName() {
    DWORD sessionId = 0;
    std::wstring name;
    if (!FindActiveSession(sessionId, name)) return std::wstring();
    // An empty user name (a session nobody is logged on to) keeps the station name.
    const std::wstring user = CurrentSessionUserName();
    if (!user.empty()) name = user;
    return name;
}

std::wstring ConsoleUserSid() {
    DWORD sessionId = 0;
    std::wstring winStation;
    DWORD processId = 0;
    if (!FindActiveSession(sessionId, winStation)) return std::wstring();
    if (!FindShellProcess(sessionId, processId)) return std::wstring();
    return ProcessUserSid(processId);
}

std::wstring DesktopFolder(HWND window, const std::wstring& defaultFolder) {
    HKEY key = nullptr;
    if (OpenShellFoldersKey(key)) {
        const std::wstring folder = ReadTextValue(key, kDesktopValue);
        RegCloseKey(key);
        if (!folder.empty()) return folder;
    }
    wchar_t path[MAX_PATH] = {};
    if (SHGetSpecialFolderPathW(window, path, CSIDL_DESKTOPDIRECTORY, FALSE)) return path;
    return defaultFolder;
}
