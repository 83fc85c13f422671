// The settings store on the real registry and real files, in a fresh folder under the
// temporary folder.
#include "framework/WinApp_win.h"
#include "shell/IniEncoding.h"
#include "shell/Registry_win.h"
#include "shell/SettingsStore_win.h"
#include "shell/SettingsValues.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace tavrel;

const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

std::string Utf16LeBytes(const std::wstring& text) {
    return EncodeUtf16LeWithMark(AfxToU16(text)).substr(2);
}

std::string Utf16BeBytes(const std::wstring& text) {
    std::string bytes = Utf16LeBytes(text);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) std::swap(bytes[i], bytes[i + 1]);
    return bytes;
}

std::string ReadBytes(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof(chunk), &read, nullptr) && read > 0) {
        bytes.append(chunk, read);
    }
    CloseHandle(file);
    return bytes;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    if (!bytes.empty())
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(bytes.size(), written);
}

std::wstring Today() {
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    return AfxToWide(FormatBackupDate(now.wYear, now.wMonth, now.wDay));
}

// A fresh folder for each test; removed with everything in it afterwards.
class SettingsFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        ASSERT_NE(0u, GetTempPathW(MAX_PATH, temp));
        m_temp = temp;
        m_folder = m_temp + L"TavrelSettings" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                   std::to_wstring(GetTickCount());
        ASSERT_TRUE(CreateDirectoryW(m_folder.c_str(), nullptr));
    }

    void TearDown() override {
        // The folder cannot go while it is the current directory.
        SetCurrentDirectoryW(m_temp.c_str());
        for (const std::wstring& name : Files()) DeleteFileW((m_folder + L"\\" + name).c_str());
        RemoveDirectoryW(m_folder.c_str());
        g_strSettingIniPath.clear();
    }

    std::wstring PathOf(const std::wstring& name) const { return m_folder + L"\\" + name; }

    std::vector<std::wstring> Files() const {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((m_folder + L"\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return names;
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                names.push_back(found.cFileName);
        } while (FindNextFileW(search, &found));
        FindClose(search);
        return names;
    }

    std::wstring BackupName(int number) const {
        return AfxToWide(FormatBackupName(u"setting", AfxToU16(Today()), number, u".ini"));
    }

    // Prepares setting.ini as the start-up does and makes it the file WriteIniText uses.
    void PrepareSetting() {
        PrepareIniFileIn(m_folder, Wide(kSettingIniName), g_strSettingIniPath);
    }

    std::wstring ReadSetting(const wchar_t* name) {
        return ReadIniText(Wide(kSectionDefault), name, L"<none>", g_strSettingIniPath);
    }

    std::wstring m_temp;
    std::wstring m_folder;
};

const std::string kMark = "\xFF\xFE";

TEST_F(SettingsFileTest, ConvertsOldEncodingsKeepingOneBackup) {
    const struct {
        const char* name;
        std::string original;
        const wchar_t* rsip;
    } cases[] = {
        {"UTF-8 ASCII", "[default]\r\nrsip=10.0.0.5\r\n", L"10.0.0.5"},
        {"UTF-8 Korean", "[default]\r\nrsip=\xEC\x84\xA0\xEC\x83\x9D\r\n", L"\uC120\uC0DD"},
        {"UTF-8 with mark", "\xEF\xBB\xBF[default]\r\nrsip=10.0.0.6\r\n", L"10.0.0.6"},
        {"UTF-16LE without mark", Utf16LeBytes(L"[default]\r\nrsip=\uC120\r\n"), L"\uC120"},
        {"UTF-16BE without mark", Utf16BeBytes(L"[default]\r\nrsip=7\r\n"), L"7"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring path = PathOf(L"setting.ini");
        WriteBytes(path, c.original);
        PrepareSetting();
        EXPECT_EQ(path, g_strSettingIniPath);
        const std::string converted = ReadBytes(path);
        // Mark, then the section line straight away: no U+FEFF left from the old mark.
        EXPECT_EQ(kMark + Utf16LeBytes(L"[default]\r\n"), converted.substr(0, 24));
        EXPECT_EQ(c.rsip, ReadSetting(Wide(kKeyRelayIp)));
        EXPECT_EQ(c.original, ReadBytes(PathOf(BackupName(1))));
        EXPECT_EQ(2u, Files().size());
        // Preparing again finds UTF-16LE and leaves it alone.
        PrepareSetting();
        EXPECT_EQ(converted, ReadBytes(path));
        EXPECT_EQ(2u, Files().size());
        DeleteFileW(PathOf(BackupName(1)).c_str());
        DeleteFileW(path.c_str());
    }
}

TEST_F(SettingsFileTest, Utf16LeWithMarkIsNeverTouched) {
    const std::string original = kMark + Utf16LeBytes(L"[default]\r\nrsip=10.1.2.3\r\n");
    WriteBytes(PathOf(L"setting.ini"), original);
    PrepareSetting();
    EXPECT_EQ(original, ReadBytes(PathOf(L"setting.ini")));
    EXPECT_EQ(1u, Files().size());
    EXPECT_EQ(L"10.1.2.3", ReadSetting(L"rsip"));
}

TEST_F(SettingsFileTest, NoFreeBackupNameLeavesFileAsItIs) {
    for (int n = kFirstBackupNumber; n <= kLastBackupNumber; ++n) {
        WriteBytes(PathOf(BackupName(n)), "old");
    }
    const std::string original = "[default]\r\nrsip=10.0.0.9\r\n";
    WriteBytes(PathOf(L"setting.ini"), original);
    PrepareSetting();
    EXPECT_EQ(original, ReadBytes(PathOf(L"setting.ini")));
    EXPECT_EQ(static_cast<size_t>(kLastBackupNumber) + 1, Files().size());
    EXPECT_EQ(L"10.0.0.9", ReadSetting(L"rsip"));
}

TEST_F(SettingsFileTest, MissingSettingIniTwiceOnOneDayLeavesOneBackup) {
    for (int run = 0; run < 2; ++run) {
        EnsureSettingIniIn(m_folder);
        PrepareSetting();
    }
    EXPECT_EQ(2u, Files().size());
    EXPECT_EQ("[default]\r\n", ReadBytes(PathOf(BackupName(1))));
    EXPECT_EQ(kMark + Utf16LeBytes(L"[default]\r\n"), ReadBytes(PathOf(L"setting.ini")));
}

TEST_F(SettingsFileTest, MissingConfigIniIsCreatedAsUtf16WithoutBackup) {
    std::wstring configPath;
    PrepareIniFileIn(m_folder, Wide(kConfigIniName), configPath);
    EXPECT_EQ(PathOf(L"config.ini"), configPath);
    EXPECT_EQ(kMark + Utf16LeBytes(L"[default]\r\n"), ReadBytes(configPath));
    EXPECT_EQ(1u, Files().size());
    EXPECT_EQ(L"", ReadIniText(Wide(kSectionDefault), Wide(kKeyScaleFactor), L"", configPath));
    // Relative paths (the language module) are resolved against this folder afterwards.
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    EXPECT_EQ(0, lstrcmpiW(m_folder.c_str(), current));
}

TEST_F(SettingsFileTest, WritesGoToSettingIniAndStayUtf16) {
    EnsureSettingIniIn(m_folder);
    PrepareSetting();
    EXPECT_NE(0, WriteIniText(Wide(kSectionDefault), Wide(kKeyRelayPort), L"10240"));
    EXPECT_NE(0, WriteIniText(Wide(kSectionDefault), Wide(kKeyRelayIp), L"\uC120.0"));
    EXPECT_EQ(0, WriteIniText(L"", Wide(kKeyRelayIp), L"ignored"));
    EXPECT_EQ(L"10240", ReadSetting(Wide(kKeyRelayPort)));
    EXPECT_EQ(L"\uC120.0", ReadSetting(Wide(kKeyRelayIp)));
    EXPECT_EQ(L"dflt", ReadIniText(L"", Wide(kKeyRelayIp), L"dflt", g_strSettingIniPath));
    EXPECT_EQ(kMark, ReadBytes(g_strSettingIniPath).substr(0, 2));
}

// Compatibility-layer values under a made-up executable path, removed afterwards.
class HighDpiLayerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_exePath = L"C:\\TavrelSettingsTest" + std::to_wstring(GetCurrentProcessId()) +
                    L"\\Vantor Tavrel.exe";
    }
    void TearDown() override {
        CRegistry registry;
        if (registry.OpenKey(Wide(kCompatLayersKey))) registry.DeleteValue(m_exePath.c_str());
    }
    void Store(const std::wstring& value) {
        CRegistry registry;
        ASSERT_TRUE(registry.CreateKey(Wide(kCompatLayersKey)));
        ASSERT_EQ(1, registry.WriteText(m_exePath.c_str(), value.c_str()));
    }
    std::wstring Stored() {
        CRegistry registry(HKEY_CURRENT_USER, 1);
        if (!registry.OpenKey(Wide(kCompatLayersKey))) return L"<no key>";
        return registry.ReadLongText(m_exePath.c_str(), L"<missing>");
    }
    std::wstring m_exePath;
};

TEST_F(HighDpiLayerTest, AddsFlagOnlyWhenMissing) {
    std::wstring longFlags = L"~";
    while (longFlags.size() * sizeof(wchar_t) < 300) longFlags += L" DISABLETHEMES RUNASADMIN";
    const struct {
        const wchar_t* name;
        bool present;
        std::wstring before;
        std::wstring after;
    } cases[] = {
        {L"missing", false, L"", L"HIGHDPIAWARE"},
        {L"other flags", true, L"~ DISABLETHEMES", L"~ DISABLETHEMES HIGHDPIAWARE"},
        {L"already there", true, L"~ HIGHDPIAWARE DISABLETHEMES", L"~ HIGHDPIAWARE DISABLETHEMES"},
        {L"longer than the read buffer", true, longFlags, longFlags + L" HIGHDPIAWARE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        if (c.present) Store(c.before);
        RegisterHighDpiLayer(m_exePath.c_str(), Wide(kHighDpiAwareFlag));
        EXPECT_EQ(c.after, Stored());
    }
}

// A path that could not be known (empty) registers nothing, not even in the key's
// unnamed value.
TEST_F(HighDpiLayerTest, AnUnknownPathRegistersNothing) {
    m_exePath.clear();
    RegisterHighDpiLayer(L"", Wide(kHighDpiAwareFlag));
    EXPECT_EQ(L"<missing>", Stored());
}

// A key of our own below HKCU, removed afterwards.
class RegistryTest : public ::testing::Test {
  protected:
    static constexpr const wchar_t* kKey = L"Software\\Vantor Login Test\\Registry";
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Vantor Login Test"); }
};

TEST_F(RegistryTest, ReadsAndWritesValues) {
    CRegistry registry;
    ASSERT_EQ(1, registry.CreateKey(L"Software\\Vantor Login Test\\Registry\\"));
    EXPECT_EQ(1, registry.WriteText(L"text", L"\uD55C\uAE00"));
    EXPECT_EQ(REG_SZ, registry.m_nLastType);
    EXPECT_EQ(3, registry.m_nLastSize);
    EXPECT_EQ(L"\uD55C\uAE00", registry.ReadText(L"text", L"d"));
    EXPECT_EQ(6, registry.m_nLastSize);
    EXPECT_EQ(L"d", registry.ReadText(L"absent", L"d"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, registry.m_nLastStatus);

    // 99 characters and the zero fill the 200 bytes exactly; one more does not fit.
    const std::wstring fits(99, L'x');
    const std::wstring tooLong(100, L'y');
    registry.WriteText(L"fits", fits.c_str());
    registry.WriteText(L"long", tooLong.c_str());
    EXPECT_EQ(fits, registry.ReadText(L"fits", L"d"));
    EXPECT_EQ(L"d", registry.ReadText(L"long", L"d"));
    EXPECT_EQ(tooLong, registry.ReadLongText(L"long", L"d"));

    EXPECT_EQ(1, registry.WriteNumber(L"number", 0xC7B71B));
    EXPECT_EQ(0xC7B71Bu, registry.ReadNumber(L"number", 5));
    EXPECT_EQ(5u, registry.ReadNumber(L"absent", 5));
}

TEST_F(RegistryTest, ReadOnlyRefusesWrites) {
    {
        CRegistry writer;
        ASSERT_EQ(1, writer.CreateKey(kKey));
        writer.WriteText(L"kept", L"yes");
    }
    CRegistry reader(HKEY_CURRENT_USER, 1);
    EXPECT_EQ(0, reader.CreateKey(L"Software\\Vantor Login Test\\Other"));
    ASSERT_EQ(1, reader.OpenKey(kKey));
    EXPECT_EQ(kKey, reader.m_strKeyPath);
    EXPECT_EQ(L"yes", reader.ReadText(L"kept", L""));
    EXPECT_EQ(0, reader.WriteText(L"kept", L"no"));
    EXPECT_EQ(0, reader.WriteNumber(L"number", 1));
    EXPECT_EQ(0, reader.DeleteValue(L"kept"));
    EXPECT_EQ(L"yes", reader.ReadText(L"kept", L""));
    EXPECT_EQ(5u, reader.ReadNumber(L"number", 5));

    CRegistry opener;
    EXPECT_EQ(0, opener.OpenKey(L"Software\\Vantor Login Test\\Missing"));
    EXPECT_NE(ERROR_SUCCESS, opener.m_nLastStatus);
    EXPECT_EQ(HKEY_CURRENT_USER, opener.GetKey());
}

// The profile of a test application under HKCU\Software\Vantor Login Test.
class ProfileTest : public ::testing::Test {
  protected:
    void TearDown() override {
        SetSettingsRegistry(nullptr, 0);
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Vantor Login Test");
    }
};

TEST_F(ProfileTest, ApplicationProfileRoundTrips) {
    CWinApp app(L"TavrelSettingsTest");
    app.SetRegistryKey(L"Vantor Login Test");
    const wchar_t* section = Wide(kSectionConfig);
    EXPECT_EQ(L"Kor", ReadSettingText(section, Wide(kKeyLanguage), L"Kor"));
    EXPECT_EQ(2, ReadSettingInt(section, Wide(kKeyNoteToolPenSizeType), 2));
    EXPECT_NE(0, WriteSettingText(section, Wide(kKeyTeacherId), L"t\uC120001"));
    EXPECT_EQ(0, WriteSettingInt(section, Wide(kKeyNoteToolColor), 0xCC33E6));
    EXPECT_EQ(L"t\uC120001", ReadSettingText(section, Wide(kKeyTeacherId), L""));
    EXPECT_EQ(0xCC33E6, ReadSettingInt(section, Wide(kKeyNoteToolColor), 230));

    CRegistry direct(HKEY_CURRENT_USER, 1);
    ASSERT_EQ(1, direct.OpenKey(L"Software\\Vantor Login Test\\TavrelSettingsTest\\config"));
    EXPECT_EQ(L"t\uC120001", direct.ReadText(Wide(kKeyTeacherId), L""));
    EXPECT_EQ(REG_SZ, direct.m_nLastType);
    EXPECT_EQ(0xCC33E6u, direct.ReadNumber(Wide(kKeyNoteToolColor), 0));
    EXPECT_EQ(REG_DWORD, direct.m_nLastType);
}

TEST_F(ProfileTest, InstalledRegistryObjectIgnoresSection) {
    CRegistry registry;
    ASSERT_EQ(1, registry.CreateKey(L"Software\\Vantor Login Test\\Updater"));
    SetSettingsRegistry(&registry, 1);
    EXPECT_EQ(1, WriteSettingText(L"any", Wide(kKeyLanguage), L"Eng"));
    EXPECT_EQ(0, WriteSettingInt(L"other", L"n", 3));
    EXPECT_EQ(L"Eng", ReadSettingText(L"third", Wide(kKeyLanguage), L"Kor"));
    EXPECT_EQ(3, ReadSettingInt(L"", L"n", 9));
    EXPECT_EQ(9, ReadSettingInt(L"", L"absent", 9));

    // A key that is not open means the object is not used.
    SetSettingsRegistry(&registry, 0);
    EXPECT_EQ(9, ReadSettingInt(L"config", L"n", 9));

    CRegistry readOnly(HKEY_CURRENT_USER, 1);
    ASSERT_EQ(1, readOnly.OpenKey(L"Software\\Vantor Login Test\\Updater"));
    SetSettingsRegistry(&readOnly, 1);
    EXPECT_NE(0, WriteSettingInt(L"", L"n", 4));
    EXPECT_EQ(0, WriteSettingText(L"", Wide(kKeyLanguage), L"Jpn"));
    EXPECT_EQ(3, ReadSettingInt(L"", L"n", 9));
    EXPECT_EQ(L"Eng", ReadSettingText(L"", Wide(kKeyLanguage), L""));
}

// WriteSettingInt gives a status, unlike the text routines: 0 when stored, non-zero
// when not. Each store, written to and refused.
TEST_F(ProfileTest, WriteSettingIntReportsZeroOnlyWhenStored) {
    constexpr wchar_t kUpdaterKey[] = L"Software\\Vantor Login Test\\Updater";
    enum Store { kProfile, kProfileWithoutKey, kNoApplication, kRegistry, kReadOnlyRegistry };
    const struct {
        const char* name;
        Store store;
        bool stored;
    } cases[] = {
        {"application profile", kProfile, true},
        {"application without a registry key", kProfileWithoutKey, false},
        {"no application", kNoApplication, false},
        {"installed registry key", kRegistry, true},
        {"installed read-only key", kReadOnlyRegistry, false},
    };
    CRegistry creator;
    ASSERT_EQ(1, creator.CreateKey(kUpdaterKey));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int value = 0x5A00 + static_cast<int>(c.store);
        std::unique_ptr<CWinApp> app;
        if (c.store != kNoApplication) app = std::make_unique<CWinApp>(L"TavrelSettingsTest");
        if (c.store == kProfile) app->SetRegistryKey(L"Vantor Login Test");
        CRegistry registry(HKEY_CURRENT_USER, c.store == kReadOnlyRegistry ? 1 : 0);
        if (c.store == kRegistry || c.store == kReadOnlyRegistry) {
            ASSERT_EQ(1, registry.OpenKey(kUpdaterKey));
            SetSettingsRegistry(&registry, 1);
        }

        const int status = WriteSettingInt(Wide(kSectionConfig), L"status", value);
        if (c.stored) {
            EXPECT_EQ(0, status);
            EXPECT_EQ(value, ReadSettingInt(Wide(kSectionConfig), L"status", -1));
        } else {
            EXPECT_NE(0, status);
            EXPECT_NE(value, ReadSettingInt(Wide(kSectionConfig), L"status", -1));
        }
        SetSettingsRegistry(nullptr, 0);
    }
}

}  // namespace
