#include "shell/SettingsStore_win.h"

#include "framework/WinApp_win.h"
#include "shell/IniEncoding.h"
#include "shell/Registry_win.h"
#include "shell/SettingsValues.h"

#include <shlwapi.h>

#include <string>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t must be UTF-16 here");

std::wstring g_strSettingIniPath;
std::wstring g_strConfigIniPath;

namespace {

CRegistry* g_pSettingsRegistry = nullptr;
int g_bSettingsKeyOpen = 0;

constexpr DWORD kModulePathChars = MAX_PATH;
constexpr DWORD kIniValueChars = 30000;
constexpr char kAnsiSectionLine[] = "[default]\r\n";
// What WriteSettingInt reports when the value could not be stored, whichever store.
constexpr int kSettingWriteFailed = ERROR_CANTWRITE;

using namespace tavrel;

std::wstring OrEmpty(const wchar_t* text) { return text != nullptr ? text : L""; }

bool UseRegistryObject() { return g_pSettingsRegistry != nullptr && g_bSettingsKeyOpen == 1; }

bool FileExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Reads a whole file, opened for reading and shared with nobody while we read it.
bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size = {};
    bool ok = GetFileSizeEx(file, &size) != 0 && size.HighPart == 0 &&
              size.LowPart < static_cast<DWORD>(MAXLONG);
    if (ok) {
        bytes.assign(size.LowPart, '\0');
        DWORD read = 0;
        ok = size.LowPart == 0 ||
             (ReadFile(file, &bytes[0], size.LowPart, &read, nullptr) != 0 && read == size.LowPart);
    }
    CloseHandle(file);
    return ok;
}

// Writes a file from scratch, in binary.
bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok =
        bytes.empty() ||
        (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != 0 &&
         written == bytes.size());
    CloseHandle(file);
    return ok;
}

// A new INI file holding only the section line, as UTF-16LE with byte-order mark.
void CreateDefaultIniFile(const std::wstring& path) {
    WriteWholeFile(path, EncodeUtf16LeWithMark(std::u16string(kIniSectionLine) + u"\r\n"));
}

class WinBackupFileSystem : public IBackupFileSystem {
  public:
    bool Exists(const std::u16string& path) override { return FileExists(AfxToWide(path)); }
    bool Rename(const std::u16string& from, const std::u16string& to) override {
        return MoveFileW(AfxToWide(from).c_str(), AfxToWide(to).c_str()) != 0;
    }
    void Sleep(unsigned milliseconds) override { ::Sleep(milliseconds); }
};

// Moves the file to its dated backup name; returns that name, or "" when none could
// be used and the file is still in place.
std::wstring MoveToBackup(const std::wstring& path) {
    const wchar_t* extension = PathFindExtensionW(path.c_str());
    const size_t baseLength = static_cast<size_t>(extension - path.c_str());
    SYSTEMTIME today = {};
    GetLocalTime(&today);
    WinBackupFileSystem fileSystem;
    return AfxToWide(MoveToDatedBackup(fileSystem, AfxToU16(path),
                                       AfxToU16(path.substr(0, baseLength)), AfxToU16(extension),
                                       FormatBackupDate(today.wYear, today.wMonth, today.wDay)));
}

IniEncoding DetermineEncoding(const std::wstring& path) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) return kIniUnreadable;
    return DetectIniEncoding(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

bool MultiByteToText(UINT codePage, const std::string& bytes, std::u16string& text) {
    text.clear();
    if (bytes.empty()) return true;
    const int length = static_cast<int>(bytes.size());
    const int chars = MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
    if (chars <= 0) return false;
    std::wstring wide(static_cast<size_t>(chars), L'\0');
    if (MultiByteToWideChar(codePage, 0, bytes.data(), length, &wide[0], chars) != chars) {
        return false;
    }
    text = AfxToU16(wide);
    return true;
}

// The file's text in memory. A leading byte-order mark is dropped in every case: the
// rewritten file gets its own and its first line must read "[default]".
bool DecodeIniBytes(const std::string& bytes, IniEncoding encoding, std::u16string& text) {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    switch (encoding) {
        case kIniAnsi:
            return MultiByteToText(CP_ACP, bytes, text);
        case kIniUtf8:
            if (!MultiByteToText(CP_UTF8, bytes, text)) return false;
            DropLeadingByteOrderMark(text);
            return true;
        case kIniUtf16LeWithoutMark:
            text = DecodeUtf16Bytes(data, bytes.size(), false);
            return true;
        case kIniUtf16BeWithoutMark:
            text = DecodeUtf16Bytes(data, bytes.size(), true);
            return true;
        default:
            return false;
    }
}

// Rewrites the file as UTF-16LE with byte-order mark, keeping the old one as a dated
// backup. Without a backup nothing is changed.
void ConvertIniFile(const std::wstring& path, IniEncoding encoding) {
    const std::wstring backup = MoveToBackup(path);
    if (backup.empty()) return;
    CreateDefaultIniFile(path);
    std::string bytes;
    if (!ReadWholeFile(backup, bytes)) return;
    std::u16string text;
    if (!DecodeIniBytes(bytes, encoding, text)) return;
    if (!WriteWholeFile(path, EncodeUtf16LeWithMark(text))) CreateDefaultIniFile(path);
}

std::wstring ModuleFolder() {
    wchar_t path[kModulePathChars + 1] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, kModulePathChars);
    if (length == 0 || length >= kModulePathChars) return std::wstring();
    PathRemoveFileSpecW(path);
    return path;
}

std::wstring JoinPath(const std::wstring& folder, const wchar_t* fileName) {
    return folder + L"\\" + OrEmpty(fileName);
}

}  // namespace

void SetSettingsRegistry(CRegistry* registry, int keyOpen) {
    g_pSettingsRegistry = registry;
    g_bSettingsKeyOpen = keyOpen;
}

std::wstring ReadSettingText(const wchar_t* section, const wchar_t* name,
                             const wchar_t* defaultValue) {
    if (UseRegistryObject()) return g_pSettingsRegistry->ReadText(name, defaultValue);
    CWinApp* app = AfxGetApp();
    if (app == nullptr) return OrEmpty(defaultValue);
    return app->GetProfileString(section, name, defaultValue);
}

int WriteSettingText(const wchar_t* section, const wchar_t* name, const wchar_t* value) {
    if (UseRegistryObject()) return g_pSettingsRegistry->WriteText(name, value);
    CWinApp* app = AfxGetApp();
    return app != nullptr ? app->WriteProfileString(section, name, value) : 0;
}

int ReadSettingInt(const wchar_t* section, const wchar_t* name, int defaultValue) {
    if (UseRegistryObject()) {
        return static_cast<int>(
            g_pSettingsRegistry->ReadNumber(name, static_cast<DWORD>(defaultValue)));
    }
    CWinApp* app = AfxGetApp();
    if (app == nullptr) return defaultValue;
    return static_cast<int>(app->GetProfileInt(section, name, defaultValue));
}

int WriteSettingInt(const wchar_t* section, const wchar_t* name, int value) {
    bool written = false;
    if (UseRegistryObject()) {
        written = g_pSettingsRegistry->WriteNumber(name, static_cast<DWORD>(value)) != 0;
    } else if (CWinApp* app = AfxGetApp()) {
        written = app->WriteProfileInt(section, name, value) != FALSE;
    }
    return written ? ERROR_SUCCESS : kSettingWriteFailed;
}

void PrepareIniFileIn(const std::wstring& folder, const wchar_t* fileName,
                      std::wstring& rememberedPath) {
    // Relative paths elsewhere in the program (the language module) count on this.
    SetCurrentDirectoryW(folder.c_str());
    rememberedPath = JoinPath(folder, fileName);
    if (!FileExists(rememberedPath)) {
        CreateDefaultIniFile(rememberedPath);
        return;
    }
    const IniEncoding encoding = DetermineEncoding(rememberedPath);
    if (encoding == kIniUtf16LeWithMark || encoding == kIniUnreadable) return;
    ConvertIniFile(rememberedPath, encoding);
}

void PrepareIniFile(const wchar_t* fileName, std::wstring& rememberedPath) {
    PrepareIniFileIn(ModuleFolder(), fileName, rememberedPath);
}

void EnsureSettingIniIn(const std::wstring& folder) {
    const std::wstring path = JoinPath(folder, AfxToWide(kSettingIniName).c_str());
    if (FileExists(path)) return;
    WriteWholeFile(path, kAnsiSectionLine);
}

void EnsureSettingIni() { EnsureSettingIniIn(ModuleFolder()); }

std::wstring ReadIniText(const wchar_t* section, const wchar_t* name, const wchar_t* defaultValue,
                         const std::wstring& path) {
    // With no path the profile functions would fall back to a file in the Windows
    // folder: never ours to read.
    if (section == nullptr || *section == L'\0' || path.empty()) return OrEmpty(defaultValue);
    std::wstring buffer(kIniValueChars, L'\0');
    GetPrivateProfileStringW(section, name, OrEmpty(defaultValue).c_str(), &buffer[0],
                             kIniValueChars, path.c_str());
    return std::wstring(buffer.c_str());
}

int WriteIniText(const wchar_t* section, const wchar_t* name, const wchar_t* value) {
    if (section == nullptr || *section == L'\0' || g_strSettingIniPath.empty()) return 0;
    return WritePrivateProfileStringW(section, name, value, g_strSettingIniPath.c_str()) != 0 ? 1
                                                                                              : 0;
}

void RegisterHighDpiLayer(const wchar_t* exePath, const wchar_t* flag) {
    // Without a path (one too long to be known) the flag would land in the key's
    // unnamed value, where it means nothing and could overwrite someone else's.
    if (exePath == nullptr || *exePath == L'\0') return;
    CRegistry registry(HKEY_CURRENT_USER);
    const std::wstring layersKey = AfxToWide(kCompatLayersKey);
    if (!registry.OpenKey(layersKey.c_str()) && !registry.CreateKey(layersKey.c_str())) {
        return;
    }
    std::wstring current = registry.ReadText(exePath, L"");
    // A list longer than the usual buffer is read whole, so none of its flags is lost.
    if (registry.m_nLastStatus == ERROR_MORE_DATA) current = registry.ReadLongText(exePath, L"");
    const bool missing = registry.m_nLastStatus == ERROR_FILE_NOT_FOUND;
    const bool isText = registry.m_nLastType == REG_SZ || registry.m_nLastType == REG_EXPAND_SZ;
    // A value we could not read, or that is not text, is left as it is.
    if (!missing && (registry.m_nLastStatus != ERROR_SUCCESS || !isText)) return;
    std::u16string updated;
    if (!AddCompatLayerFlag(missing ? std::u16string() : AfxToU16(current), AfxToU16(OrEmpty(flag)),
                            updated)) {
        return;
    }
    registry.WriteText(exePath, AfxToWide(updated).c_str());
}
