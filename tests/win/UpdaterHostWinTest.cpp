// The updater's host queries on the real system under Wine: version resources of small
// modules built for the test (versioned\*.dll beside the test program), sizes of files
// others hold open, the process list, the language and the server configuration, and
// the file operations the install relies on.
#include "shell/ProgramPath_win.h"
#include "updater/UpdaterHost_win.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring TempFolder() {
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = GetTempPathW(MAX_PATH, buffer);
    std::wstring folder(buffer, length);
    if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    return folder;
}

std::wstring Versioned(const wchar_t* name) { return ProgramDirectory() + L"\\versioned\\" + name; }

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    const HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(written, bytes.size());
}

std::string ReadBytes(const std::wstring& path) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    if (!bytes.empty()) ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    return bytes.substr(0, read);
}

// A fresh folder of its own for each test, removed afterwards.
class UpdaterHostWinTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_strRoot = TempFolder() + L"\\updater-host-" + std::to_wstring(GetCurrentProcessId());
        RemoveTree(m_strRoot);
        ASSERT_TRUE(CreateDirectoryW(m_strRoot.c_str(), nullptr));
    }
    void TearDown() override { RemoveTree(m_strRoot); }

    static void RemoveTree(const std::wstring& folder) {
        WIN32_FIND_DATAW found;
        const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = found.cFileName;
                if (name == L"." || name == L"..") continue;
                const std::wstring path = folder + L"\\" + name;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    RemoveTree(path);
                } else {
                    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                    DeleteFileW(path.c_str());
                }
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(folder.c_str());
    }

    std::wstring m_strRoot;
};

TEST(UpdaterVersionWinTest, ReadsTheFileVersionOrItsExactFallback) {
    const struct {
        const wchar_t* path;
        const wchar_t* expected;
    } cases[] = {
        // As stored: commas and spaces are the caller's business.
        {L"CommaVersion.dll", L"3, 0, 1, 1012"},
        {L"NoFileVersion.dll", L"Unable to get Version Info"},
        {L"NoTranslation.dll", L""},
        {L"NoVersion.dll", L""},
        {L"NoSuchModule.dll", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FileVersionText(Versioned(c.path)), c.expected) << c.path;
    }
}

TEST(UpdaterVersionWinTest, TheRunningProgramReportsItsOwnVersionText) {
    // The test program carries the main program's resources, whose FileVersion is
    // dotted without spaces; "1.0.0.0" would mean the query failed.
    const std::wstring own = OwnFileVersion();
    EXPECT_EQ(own, FileVersionText(ModulePath()));
    EXPECT_NE(own, L"1.0.0.0");
    EXPECT_EQ(own.find(L' '), std::wstring::npos) << own;
    EXPECT_EQ(own.find(L','), std::wstring::npos) << own;
}

TEST_F(UpdaterHostWinTest, FileSizeIsZeroWhileAnyoneHoldsTheFileOpen) {
    const std::wstring path = m_strRoot + L"\\held.bin";
    WriteBytes(path, std::string(2048, 'x'));
    EXPECT_EQ(FileSizeOf(path), 2048u);
    {
        const HANDLE reader = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(reader, INVALID_HANDLE_VALUE);
        EXPECT_EQ(FileSizeOf(path), 0u) << "a reader holds it";
        CloseHandle(reader);
    }
    EXPECT_EQ(FileSizeOf(path), 2048u);
    EXPECT_EQ(FileSizeOf(m_strRoot + L"\\missing.bin"), 0u);
}

TEST(UpdaterProcessWinTest, FindsARunningProgramInAnyLetterCase) {
    std::wstring own = ModulePath();
    own = own.substr(own.find_last_of(L'\\') + 1);
    std::wstring upper = own;
    CharUpperW(&upper[0]);
    EXPECT_TRUE(IsProcessRunning(own));
    EXPECT_TRUE(IsProcessRunning(upper));
    EXPECT_FALSE(IsProcessRunning(L"no-such-program-here.exe"));
}

// The main program's settings key of the current user; restored afterwards.
class UpdaterLanguageWinTest : public ::testing::Test {
  protected:
    static constexpr wchar_t kKey[] = L"Software\\Vantor Login\\Vantor Tavrel\\config";
    void SetUp() override {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
            wchar_t value[100] = {};
            DWORD bytes = sizeof value - sizeof(wchar_t);
            m_bHad = RegQueryValueExW(key, L"language", nullptr, nullptr,
                                      reinterpret_cast<BYTE*>(value), &bytes) == ERROR_SUCCESS;
            if (m_bHad) m_strOld = value;
            RegCloseKey(key);
        }
    }
    void TearDown() override {
        if (m_bHad) {
            SetLanguage(m_strOld.c_str());
        } else {
            RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, L"language");
        }
    }
    static void SetLanguage(const wchar_t* language) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, L"language", 0, REG_SZ, reinterpret_cast<const BYTE*>(language),
                       static_cast<DWORD>((wcslen(language) + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }

    bool m_bHad = false;
    std::wstring m_strOld;
};

TEST_F(UpdaterLanguageWinTest, ComesFromTheUsersKeyWithoutAConsoleUserThenKor) {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, L"language");
    EXPECT_EQ(ReadUpdaterLanguage(L""), L"Kor");
    SetLanguage(L"Eng");
    EXPECT_EQ(ReadUpdaterLanguage(L""), L"Eng");
    // A console user whose key cannot be opened falls back the same way.
    EXPECT_EQ(ReadUpdaterLanguage(L"S-1-5-21-1-2-3-999999"), L"Eng");
    SetLanguage(L"Japan");
    EXPECT_EQ(ReadUpdaterLanguage(L""), L"Japan");
}

TEST_F(UpdaterHostWinTest, ServerConfigurationComesFromConfigIni) {
    const struct {
        const char* ini;
        const wchar_t* https;
        const wchar_t* http;
        bool fallback;
    } cases[] = {
        {"[default]\r\nloginhttps=https://127.0.0.1:8443\r\nloginhttp=http://127.0.0.1:8080\r\n",
         L"https://127.0.0.1:8443", L"http://127.0.0.1:8080", true},
        {"[default]\r\nloginhttps=https://10.0.0.5\r\nloginhttp=http://10.0.0.5\r\n"
         "updatehttpfallback=0\r\n",
         L"https://10.0.0.5", L"http://10.0.0.5", false},
        {"[default]\r\nupdatehttpfallback=1\r\n", L"https://login.vantor-classroom.example",
         L"http://login.vantor-classroom.example", true},
    };
    for (const auto& c : cases) {
        WriteBytes(m_strRoot + L"\\config.ini", c.ini);
        const UpdateServerConfig config = ReadUpdateServerConfig(m_strRoot);
        EXPECT_EQ(config.httpsBase, c.https) << c.ini;
        EXPECT_EQ(config.httpBase, c.http) << c.ini;
        EXPECT_EQ(config.allowHttpFallback, c.fallback) << c.ini;
    }
}

TEST_F(UpdaterHostWinTest, FileOperationsTheInstallReliesOn) {
    CWinUpdaterHost host(CWinUpdaterHost::Window{});
    const std::u16string root = AfxToU16(m_strRoot);
    const std::u16string a = root + u"\\a.bin";
    const std::u16string b = root + u"\\b.bin";
    EXPECT_EQ(host.WriteNewFile(a, "first"), tavrel::IUpdaterHost::WriteResult::kWritten);
    EXPECT_EQ(host.WriteNewFile(b, "second"), tavrel::IUpdaterHost::WriteResult::kWritten);
    // A plain rename never overwrites; the replacing one does, in one step.
    EXPECT_FALSE(host.MoveFile(a, b));
    EXPECT_EQ(ReadBytes(AfxToWide(b)), "second");
    EXPECT_TRUE(host.ReplaceFile(a, b));
    EXPECT_FALSE(host.FileExists(a));
    EXPECT_EQ(ReadBytes(AfxToWide(b)), "first");
    // Missing folders are the caller's to create; then the file is written.
    const std::u16string deep = root + u"\\language\\sub\\";
    EXPECT_EQ(host.WriteNewFile(deep + u"x.dll", "bytes"),
              tavrel::IUpdaterHost::WriteResult::kCreateFailed);
    host.CreateFolderChain(deep);
    EXPECT_EQ(host.WriteNewFile(deep + u"x.dll", "bytes"),
              tavrel::IUpdaterHost::WriteResult::kWritten);
    EXPECT_EQ(ReadBytes(AfxToWide(deep + u"x.dll")), "bytes");
    EXPECT_TRUE(host.DeleteFile(b));
    EXPECT_FALSE(host.FileExists(b));
}

TEST_F(UpdaterHostWinTest, AnsiConversionSaysWhenItLosesCharactersAndShortPathsExist) {
    CWinUpdaterHost host(CWinUpdaterHost::Window{});
    std::string bytes;
    EXPECT_TRUE(host.ToAnsi(u"C:\\vantor-test\\aUpdate.bat", bytes));
    EXPECT_EQ(bytes, "C:\\vantor-test\\aUpdate.bat");
    // Thai is in neither the Korean nor the Western code page.
    EXPECT_FALSE(host.ToAnsi(u"C:\\\u0E01\u0E02", bytes));
    const std::u16string shortForm = host.ShortPath(AfxToU16(m_strRoot));
    EXPECT_FALSE(shortForm.empty());
    EXPECT_TRUE(host.FileExists(shortForm));
    EXPECT_TRUE(host.ShortPath(AfxToU16(m_strRoot) + u"\\missing").empty());
}

}  // namespace
