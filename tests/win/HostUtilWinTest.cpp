// Host routines on the real system under Wine: code pages, folders, the executable's
// place, the console user's fall-backs and the adapter query.
#include "shell/ConsoleUser_win.h"
#include "shell/FolderChain_win.h"
#include "shell/PrivateAddress_win.h"
#include "shell/ProgramPath_win.h"
#include "shell/TextUtil_win.h"

#include <gtest/gtest.h>

#include <iphlpapi.h>
#include <shlobj.h>
#include <wtsapi32.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kKorean[] = L"\uD55C\uAE00 \uB178\uD2B8";
constexpr char kKoreanUtf8[] = "\xED\x95\x9C\xEA\xB8\x80 \xEB\x85\xB8\xED\x8A\xB8";

bool FolderExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring TempFolder() {
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = GetTempPathW(MAX_PATH, buffer);
    std::wstring folder(buffer, length);
    if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    return folder;
}

// Whether some adapter of the host has `address` as its first IPv4 address.
bool IsListedAddress(const std::wstring& address) {
    ULONG size = 0;
    if (GetAdaptersInfo(nullptr, &size) != ERROR_BUFFER_OVERFLOW) return false;
    std::vector<IP_ADAPTER_INFO> buffer(size / sizeof(IP_ADAPTER_INFO) + 1);
    size = static_cast<ULONG>(buffer.size() * sizeof(IP_ADAPTER_INFO));
    if (GetAdaptersInfo(buffer.data(), &size) != NO_ERROR) return false;
    for (const IP_ADAPTER_INFO* adapter = buffer.data(); adapter; adapter = adapter->Next) {
        if (AnsiToWide(adapter->IpAddressList.IpAddress.String) == address) return true;
    }
    return false;
}

// A fresh folder below the temporary folder, removed with everything in it afterwards.
class HostUtilFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_strRoot = TempFolder() + L"\\hostutil-" + std::to_wstring(GetCurrentProcessId());
        RemoveTree(m_strRoot);
        ASSERT_TRUE(CreateDirectoryW(m_strRoot.c_str(), nullptr));
    }
    void TearDown() override { RemoveTree(m_strRoot); }

    static void RemoveTree(const std::wstring& folder) {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = found.cFileName;
                if (name == L"." || name == L"..") continue;
                const std::wstring path = folder + L"\\" + name;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    RemoveTree(path);
                } else {
                    DeleteFileW(path.c_str());
                }
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(folder.c_str());
    }

    std::wstring m_strRoot;
};

TEST(HostUtilWinTest, AsciiRoundTripsThroughAnsiCodePage) {
    const std::string ascii = "rsip:192.168.0.10 port=10240 ~!@#";
    EXPECT_EQ(L"rsip:192.168.0.10 port=10240 ~!@#", AnsiToWide(ascii));
    EXPECT_EQ(ascii, WideToAnsi(AnsiToWide(ascii)));
    EXPECT_EQ(ascii, WideToAnsi(AnsiToWide(ascii.c_str())));
}

TEST(HostUtilWinTest, ConversionsStopAtZeroAndAcceptNothing) {
    const struct {
        std::wstring converted;
        std::wstring expected;
    } cases[] = {
        {AnsiToWide(nullptr), L""},
        {Utf8ToWide(nullptr), L""},
        {AnsiToWide(std::string()), L""},
        {AnsiToWide(std::string("ab\0cd", 5)), L"ab"},
        {Utf8ToWide(std::string("\xED\x95\x9C\0x", 5)), L"\uD55C"},
        {Utf8ToWide(kKoreanUtf8), kKorean},
        {Utf8ToWide(std::string(kKoreanUtf8)), kKorean},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, c.converted);
    EXPECT_EQ("ab", WideToAnsi(std::wstring(L"ab\0cd", 5)));
    EXPECT_EQ("", WideToAnsi(L""));
}

TEST(HostUtilWinTest, WideToAnsiMarksUnmappedCharacters) {
    // Under the test's locale the ANSI code page has no Hangul; what it cannot hold
    // becomes "?", one per character, and the rest stays.
    if (GetACP() == CP_UTF8 || GetACP() == 949) GTEST_SKIP() << "code page holds Hangul";
    EXPECT_EQ("a?b", WideToAnsi(L"a\uD55Cb"));
}

TEST(HostUtilWinTest, WideSplitTextMatchesPortableOne) {
    std::vector<std::wstring> pieces{L"left over"};
    EXPECT_EQ(3, SplitText(L"\"1920\",1080", L",", pieces));
    EXPECT_EQ((std::vector<std::wstring>{L"1920", L"1080"}), pieces);
    EXPECT_EQ(0, SplitText(L"", L",", pieces));
    EXPECT_TRUE(pieces.empty());
}

TEST_F(HostUtilFolderTest, CreatesNestedFolders) {
    const std::wstring leaf = m_strRoot + L"\\NoteSave\\2025-04-07\\\uB178\uD2B8";
    std::wstring forward = leaf;
    for (wchar_t& ch : forward) {
        if (ch == L'\\') ch = L'/';
    }
    EXPECT_EQ(1, CreateFolderChain(forward));
    EXPECT_TRUE(FolderExists(m_strRoot + L"\\NoteSave"));
    EXPECT_TRUE(FolderExists(m_strRoot + L"\\NoteSave\\2025-04-07"));
    EXPECT_TRUE(FolderExists(leaf));
    // Again over what now exists, and one level deeper with a trailing separator.
    EXPECT_EQ(1, CreateFolderChain(leaf + L"\\deeper\\"));
    EXPECT_TRUE(FolderExists(leaf + L"\\deeper"));
}

TEST_F(HostUtilFolderTest, ResolvesDotsAndRefusesClimbingAboveTheStart) {
    EXPECT_EQ(1, CreateFolderChain(m_strRoot + L"\\a\\.\\b\\..\\c"));
    EXPECT_TRUE(FolderExists(m_strRoot + L"\\a\\b"));
    EXPECT_TRUE(FolderExists(m_strRoot + L"\\a\\c"));
    EXPECT_FALSE(FolderExists(m_strRoot + L"\\c"));

    const std::wstring drive = m_strRoot.substr(0, 2);
    ASSERT_EQ(L':', drive[1]);
    EXPECT_EQ(0, CreateFolderChain(drive + L"\\..\\hostutil-never"));
    EXPECT_FALSE(FolderExists(drive + L"\\hostutil-never"));
}

TEST(HostUtilWinTest, ModulePathIsThisTestProgram) {
    const std::wstring path = ModulePath();
    ASSERT_GT(path.size(), 4u);
    EXPECT_EQ(L".exe", path.substr(path.size() - 4));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.c_str()));

    const std::wstring folder = ProgramDirectory();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(L'\\', folder.back());
    EXPECT_EQ(folder + L"\\tavrel_win_tests.exe", path);
    EXPECT_TRUE(FolderExists(folder));
}

TEST(HostUtilWinTest, ConsoleUserFallsBackWithoutSessions) {
    WTS_SESSION_INFOW* sessions = nullptr;
    DWORD count = 0;
    const bool listed = WTSEnumerateSessionsW(WTS_CURRENT_SERVER_HANDLE, 0, 1, &sessions, &count);
    if (sessions) WTSFreeMemory(sessions);
    if (listed && count > 0) GTEST_SKIP() << "this host lists terminal sessions";

    EXPECT_EQ(L"", ConsoleUserName());
    EXPECT_EQ(L"", ConsoleUserSid());
}

TEST(HostUtilWinTest, DesktopFolderOfTheCurrentUser) {
    // Without a console session the current user's shell folders answer.
    const std::wstring fallback = L"Z:\\no-desktop-here";
    const std::wstring desktop = DesktopFolder(nullptr, fallback);
    EXPECT_FALSE(desktop.empty());
    EXPECT_NE(fallback, desktop);

    wchar_t shellPath[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, shellPath, CSIDL_DESKTOPDIRECTORY, FALSE));
    EXPECT_EQ(0, lstrcmpiW(shellPath, desktop.c_str())) << desktop;
}

// A profile whose shell-folder key lacks "Desktop" (half-migrated profiles do) must
// not give an empty folder: notes would then be saved at the root of a drive.
TEST(HostUtilWinTest, DesktopFolderWithoutRegistryValueAsksTheShell) {
    constexpr wchar_t kShellFolders[] =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kShellFolders, 0, nullptr, 0,
                                             KEY_READ | KEY_WRITE, nullptr, &key, nullptr));
    wchar_t saved[MAX_PATH] = {};
    DWORD savedBytes = sizeof(saved) - sizeof(wchar_t);
    const bool hadValue =
        RegQueryValueExW(key, L"Desktop", nullptr, nullptr, reinterpret_cast<BYTE*>(saved),
                         &savedBytes) == ERROR_SUCCESS;
    RegDeleteValueW(key, L"Desktop");

    const std::wstring desktop = DesktopFolder(nullptr, L"Z:\\default");

    if (hadValue) {
        RegSetValueExW(key, L"Desktop", 0, REG_SZ, reinterpret_cast<const BYTE*>(saved),
                       savedBytes);
    }
    RegCloseKey(key);
    wchar_t shellPath[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, shellPath, CSIDL_DESKTOPDIRECTORY, FALSE));
    EXPECT_EQ(std::wstring(shellPath), desktop);
}

TEST(HostUtilWinTest, LocalPrivateAddressIsDottedQuad) {
    const std::wstring address = LocalPrivateAddress();
    // A host without any adapter answers empty; otherwise four decimal octets.
    if (address.empty()) GTEST_SKIP() << "no adapter listed";
    int octets[4] = {-1, -1, -1, -1};
    wchar_t rest = 0;
    ASSERT_EQ(4, swscanf(address.c_str(), L"%d.%d.%d.%d%lc", &octets[0], &octets[1], &octets[2],
                         &octets[3], &rest))
        << address;
    for (int octet : octets) {
        EXPECT_GE(octet, 0);
        EXPECT_LE(octet, 255);
    }
    EXPECT_TRUE(IsListedAddress(address)) << address;
}

}  // namespace
