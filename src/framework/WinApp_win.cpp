#include "framework/WinApp_win.h"

#include "framework/CommandLineInfo_win.h"
#include "framework/Wnd_win.h"

#include <shellapi.h>

#include <vector>

void AfxSetApp(CWinApp* app);

namespace {
// The application name defaults to the executable's file name without extension.
std::wstring ModuleBaseName() {
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return L"";
    std::wstring name(path, length);
    size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos) name.erase(0, slash + 1);
    size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos) name.erase(dot);
    return name;
}
}  // namespace

CWinApp::CWinApp(const wchar_t* appName) {
    if (appName != nullptr) m_strAppName = appName;
    AfxSetApp(this);
}

CWinApp::~CWinApp() {
    if (AfxGetApp() == this) AfxSetApp(nullptr);
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return 0; }

int CWinApp::Run(HINSTANCE instance, const wchar_t* commandLine, int showCommand) {
    m_hInstance = instance;
    m_strCmdLine = commandLine != nullptr ? commandLine : L"";
    m_nCmdShow = showCommand;
    if (m_strAppName.empty()) m_strAppName = ModuleBaseName();
    if (InitInstance()) {
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return ExitInstance();
}

void CWinApp::SetRegistryKey(const wchar_t* registryKey) {
    m_strRegistryKey = registryKey != nullptr ? registryKey : L"";
    if (m_strAppName.empty()) m_strAppName = ModuleBaseName();
}

std::wstring CWinApp::SectionKeyPath(const wchar_t* section) const {
    return L"Software\\" + m_strRegistryKey + L"\\" + m_strAppName + L"\\" + section;
}

std::wstring CWinApp::GetProfileString(const wchar_t* section, const wchar_t* entry,
                                       const wchar_t* defaultValue) {
    std::wstring fallback = defaultValue != nullptr ? defaultValue : L"";
    if (m_strRegistryKey.empty()) return fallback;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, SectionKeyPath(section).c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return fallback;
    }
    std::wstring value = fallback;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key, entry, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
        std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
        DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        if (RegQueryValueExW(key, entry, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                             &bytes) == ERROR_SUCCESS) {
            value.assign(buffer.data());
        }
    }
    RegCloseKey(key);
    return value;
}

BOOL CWinApp::WriteProfileString(const wchar_t* section, const wchar_t* entry,
                                 const wchar_t* value) {
    if (m_strRegistryKey.empty()) return FALSE;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, SectionKeyPath(section).c_str(), 0, nullptr, 0,
                        KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return FALSE;
    }
    LONG status;
    if (entry == nullptr) {
        status = ERROR_INVALID_PARAMETER;
    } else if (value == nullptr) {
        status = RegDeleteValueW(key, entry);
    } else {
        DWORD bytes = static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t));
        status = RegSetValueExW(key, entry, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), bytes);
    }
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

UINT CWinApp::GetProfileInt(const wchar_t* section, const wchar_t* entry, int defaultValue) {
    if (m_strRegistryKey.empty()) return static_cast<UINT>(defaultValue);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, SectionKeyPath(section).c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return static_cast<UINT>(defaultValue);
    }
    DWORD value = 0;
    DWORD type = 0;
    DWORD bytes = sizeof(value);
    LONG status =
        RegQueryValueExW(key, entry, nullptr, &type, reinterpret_cast<BYTE*>(&value), &bytes);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_DWORD || bytes != sizeof(value)) {
        return static_cast<UINT>(defaultValue);
    }
    return value;
}

BOOL CWinApp::WriteProfileInt(const wchar_t* section, const wchar_t* entry, int value) {
    if (m_strRegistryKey.empty()) return FALSE;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, SectionKeyPath(section).c_str(), 0, nullptr, 0,
                        KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return FALSE;
    }
    DWORD data = static_cast<DWORD>(value);
    LONG status = RegSetValueExW(key, entry, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                                 sizeof(data));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

void CWinApp::ParseCommandLine(CCommandLineInfo& info) {
    ParseCommandLine(info, GetCommandLineW());
}

void CWinApp::ParseCommandLine(CCommandLineInfo& info, const wchar_t* fullCommandLine) {
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(fullCommandLine, &count);
    if (args == nullptr) return;
    for (int i = 1; i < count; ++i) {
        const wchar_t* token = args[i];
        BOOL isFlag = (token[0] == L'/' || token[0] == L'-') ? TRUE : FALSE;
        if (isFlag) ++token;
        info.ParseParam(token, isFlag, i + 1 == count);
    }
    LocalFree(args);
}
