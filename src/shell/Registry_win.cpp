#include "shell/Registry_win.h"

#include <cwchar>
#include <vector>

static_assert(sizeof(wchar_t) == 2, "registry texts are UTF-16");

namespace {

// A predefined root (HKEY_CURRENT_USER and its sisters) is not ours to close.
bool IsPredefinedKey(HKEY key) {
    const auto value = reinterpret_cast<ULONG_PTR>(key);
    return value >= reinterpret_cast<ULONG_PTR>(HKEY_CLASSES_ROOT) &&
           value <= reinterpret_cast<ULONG_PTR>(HKEY_CURRENT_USER_LOCAL_SETTINGS);
}

constexpr size_t kTraceChars = 1024;

}  // namespace

CRegistry::CRegistry(HKEY root, int32_t readOnly) : m_hKey(root), m_bReadOnly(readOnly) {}

CRegistry::~CRegistry() { Close(); }

void CRegistry::Close() {
    if (m_hKey != nullptr && !IsPredefinedKey(m_hKey)) RegCloseKey(m_hKey);
    m_hKey = nullptr;
}

void CRegistry::Attach(HKEY key) { ReplaceKey(key); }

void CRegistry::ReplaceKey(HKEY key) {
    if (key == m_hKey) return;
    Close();
    m_hKey = key;
}

std::wstring CRegistry::WithoutTrailingBackslash(const wchar_t* path) {
    std::wstring result = path != nullptr ? path : L"";
    if (!result.empty() && result.back() == L'\\') result.pop_back();
    return result;
}

int CRegistry::OpenKey(const wchar_t* path) {
    m_strKeyPath = path != nullptr ? path : L"";
    const std::wstring subKey = WithoutTrailingBackslash(path);
    HKEY opened = nullptr;
    m_nLastStatus = RegOpenKeyExW(m_hKey, subKey.c_str(), 0,
                                  m_bReadOnly ? kReadOnlyAccess : kFullAccess, &opened);
    if (m_nLastStatus != ERROR_SUCCESS) return 0;
    ReplaceKey(opened);
    return 1;
}

int CRegistry::CreateKey(const wchar_t* path) {
    if (m_bReadOnly) return 0;
    const std::wstring subKey = WithoutTrailingBackslash(path);
    HKEY created = nullptr;
    m_nLastStatus = RegCreateKeyExW(m_hKey, subKey.c_str(), 0, nullptr, 0, kFullAccess, nullptr,
                                    &created, nullptr);
    if (m_nLastStatus != ERROR_SUCCESS) {
        wchar_t trace[kTraceChars];
        swprintf(trace, kTraceChars, L"Can't create registry key: %ls\n", subKey.c_str());
        OutputDebugStringW(trace);
        return 0;
    }
    ReplaceKey(created);
    return 1;
}

std::wstring CRegistry::ReadText(const wchar_t* name, const wchar_t* defaultValue) {
    // One character more than the registry may fill, so a value of exactly 200 bytes
    // without its terminating zero still ends inside the buffer.
    wchar_t buffer[kTextBufferBytes / sizeof(wchar_t) + 1] = {};
    DWORD type = REG_NONE;
    DWORD size = kTextBufferBytes;
    m_nLastStatus =
        RegQueryValueExW(m_hKey, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    m_nLastType = static_cast<int32_t>(type);
    m_nLastSize = static_cast<int32_t>(size);
    if (m_nLastStatus != ERROR_SUCCESS) return defaultValue != nullptr ? defaultValue : L"";
    return buffer;
}

std::wstring CRegistry::ReadLongText(const wchar_t* name, const wchar_t* defaultValue) {
    const std::wstring fallback = defaultValue != nullptr ? defaultValue : L"";
    DWORD type = REG_NONE;
    DWORD size = 0;
    m_nLastStatus = RegQueryValueExW(m_hKey, name, nullptr, &type, nullptr, &size);
    if (m_nLastStatus != ERROR_SUCCESS) return fallback;
    // Zero-filled, with room for a terminator the stored data may lack.
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
    m_nLastStatus = RegQueryValueExW(m_hKey, name, nullptr, &type,
                                     reinterpret_cast<BYTE*>(buffer.data()), &size);
    m_nLastType = static_cast<int32_t>(type);
    m_nLastSize = static_cast<int32_t>(size);
    if (m_nLastStatus != ERROR_SUCCESS) return fallback;
    return buffer.data();
}

int CRegistry::WriteText(const wchar_t* name, const wchar_t* text) {
    if (m_bReadOnly) return 0;
    const std::wstring value = text != nullptr ? text : L"";
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    m_nLastStatus = RegSetValueExW(m_hKey, name, 0, REG_SZ,
                                   reinterpret_cast<const BYTE*>(value.c_str()), bytes);
    m_nLastType = REG_SZ;
    m_nLastSize = static_cast<int32_t>(value.size() + 1);
    return m_nLastStatus == ERROR_SUCCESS ? 1 : 0;
}

DWORD CRegistry::ReadNumber(const wchar_t* name, DWORD defaultValue) {
    DWORD value = 0;
    DWORD type = REG_NONE;
    DWORD size = sizeof(value);
    m_nLastStatus =
        RegQueryValueExW(m_hKey, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    m_nLastType = static_cast<int32_t>(type);
    m_nLastSize = static_cast<int32_t>(size);
    return m_nLastStatus == ERROR_SUCCESS ? value : defaultValue;
}

int CRegistry::WriteNumber(const wchar_t* name, DWORD value) {
    if (m_bReadOnly) return 0;
    m_nLastStatus = RegSetValueExW(m_hKey, name, 0, REG_DWORD,
                                   reinterpret_cast<const BYTE*>(&value), sizeof(value));
    m_nLastType = REG_DWORD;
    m_nLastSize = sizeof(value);
    return m_nLastStatus == ERROR_SUCCESS ? 1 : 0;
}

int CRegistry::DeleteValue(const wchar_t* name) {
    if (m_bReadOnly) return 0;
    m_nLastStatus = RegDeleteValueW(m_hKey, name);
    return m_nLastStatus == ERROR_SUCCESS ? 1 : 0;
}
