// The built-in Korean resources (linked into this test program as into the real one)
// and the English language module language\Vantor TavrelEng.dll next to it: every
// string id the program loads must exist in both, with the exact Korean texts the
// servers and users know, and the module must stay a resource-only DLL.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "resources/StringIds.h"
#include "resources/resource.h"

static_assert(sizeof(wchar_t) == 2, "UTF-16 wchar_t expected");

namespace {

constexpr unsigned kStringsPerBlock = 16;
constexpr WORD kKoreanLanguage = MAKELANGID(LANG_KOREAN, SUBLANG_DEFAULT);
constexpr WORD kEnglishLanguage = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

std::wstring EnglishModulePath() { return ProgramFolder() + L"language\\Vantor TavrelEng.dll"; }

// The text of a string-table entry, or nullopt-like empty flag when it is missing.
bool LoadText(HMODULE module, unsigned id, std::wstring* text) {
    const wchar_t* direct = nullptr;
    // With a zero buffer size LoadStringW hands back a pointer into the resource.
    int length = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&direct), 0);
    if (length <= 0 || direct == nullptr) return false;
    text->assign(direct, static_cast<size_t>(length));
    return true;
}

// Every id that a module's string table really holds, found block by block.
BOOL CALLBACK CollectBlock(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
    if (IS_INTRESOURCE(name)) {
        reinterpret_cast<std::vector<unsigned>*>(param)->push_back(
            static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(name)));
    }
    return TRUE;
}

std::set<unsigned> StringIdsIn(HMODULE module) {
    std::vector<unsigned> blocks;
    EnumResourceNamesW(module, MAKEINTRESOURCEW(6) /* RT_STRING */, CollectBlock,
                       reinterpret_cast<LONG_PTR>(&blocks));
    std::set<unsigned> ids;
    std::wstring text;
    for (unsigned block : blocks) {
        for (unsigned i = 0; i < kStringsPerBlock; ++i) {
            unsigned id = (block - 1) * kStringsPerBlock + i;
            if (LoadText(module, id, &text)) ids.insert(id);
        }
    }
    return ids;
}

std::string Utf8(const std::wstring& text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], size,
                        nullptr, nullptr);
    return out;
}

// Names of the DLLs a loaded module imports from, read from its own import directory.
std::vector<std::string> ImportedDlls(HMODULE module) {
    auto* base = reinterpret_cast<const BYTE*>(module);
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    std::vector<std::string> names;
    if (dir.VirtualAddress == 0 || dir.Size == 0) return names;
    auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
    for (; entry->Name != 0; ++entry) {
        names.emplace_back(reinterpret_cast<const char*>(base + entry->Name));
    }
    return names;
}

// The parts of a DIALOGEX template the program relies on.
struct DialogTemplateInfo {
    DWORD style = 0;
    std::wstring className;
    std::wstring title;
};

// Reads one sz_Or_Ord field; ordinals come back as "#<number>".
const WORD* ReadSzOrOrd(const WORD* p, std::wstring* out) {
    if (*p == 0xFFFF) {
        *out = L"#" + std::to_wstring(p[1]);
        return p + 2;
    }
    const wchar_t* text = reinterpret_cast<const wchar_t*>(p);
    *out = text;
    return p + out->size() + 1;
}

bool ReadDialogTemplate(HMODULE module, unsigned id, DialogTemplateInfo* info) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5) /* RT_DIALOG */);
    if (found == nullptr) return false;
    auto* words = static_cast<const WORD*>(LockResource(LoadResource(module, found)));
    constexpr WORD kExtendedSignature = 0xFFFF;
    if (words == nullptr || words[0] != 1 || words[1] != kExtendedSignature) return false;
    // dlgVer, signature, helpID (2 words), exStyle (2), style (2), cDlgItems, x, y, cx, cy.
    info->style = static_cast<DWORD>(words[6]) | (static_cast<DWORD>(words[7]) << 16);
    const WORD* p = words + 13;
    std::wstring menu;
    p = ReadSzOrOrd(p, &menu);
    p = ReadSzOrOrd(p, &info->className);
    ReadSzOrOrd(p, &info->title);
    return true;
}

std::wstring FileVersionValue(const std::wstring& path, const wchar_t* name, DWORD* translation) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return L"";
    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return L"";
    WORD* pair = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&pair),
                        &length) ||
        length < 2 * sizeof(WORD)) {
        return L"";
    }
    *translation = MAKELONG(pair[1], pair[0]);
    wchar_t query[64];
    swprintf(query, 64, L"\\StringFileInfo\\%04x%04x\\%ls", pair[0], pair[1], name);
    wchar_t* value = nullptr;
    if (!VerQueryValueW(data.data(), query, reinterpret_cast<void**>(&value), &length)) return L"";
    return value;
}

// The fixed part of the version resource, written as "a.b.c.d" ("" when missing).
std::wstring FixedFileVersion(const std::wstring& path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return L"";
    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return L"";
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) ||
        length < sizeof(VS_FIXEDFILEINFO)) {
        return L"";
    }
    return std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." +
           std::to_wstring(LOWORD(fixed->dwFileVersionMS)) + L"." +
           std::to_wstring(HIWORD(fixed->dwFileVersionLS)) + L"." +
           std::to_wstring(LOWORD(fixed->dwFileVersionLS));
}

// Texts of a window's text controls, in creation order.
std::vector<std::wstring> StaticTexts(HWND dialog) {
    std::vector<std::wstring> texts;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[32] = {};
        GetClassNameW(child, className, 32);
        if (lstrcmpiW(className, L"Static") != 0) continue;
        // The icon is a static control too, without text.
        if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) continue;
        wchar_t text[128] = {};
        GetWindowTextW(child, text, 128);
        texts.push_back(text);
    }
    return texts;
}

class ResourcesTest : public testing::Test {
  protected:
    static void SetUpTestSuite() { english_ = LoadLibraryW(EnglishModulePath().c_str()); }
    static void TearDownTestSuite() {
        if (english_ != nullptr) FreeLibrary(english_);
        english_ = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(english_, nullptr) << "cannot load " << Utf8(EnglishModulePath());
    }

    static HMODULE korean() { return GetModuleHandleW(nullptr); }
    static HMODULE english_;
};

HMODULE ResourcesTest::english_ = nullptr;

TEST_F(ResourcesTest, EnglishModuleIsResourceOnly) {
    for (const std::string& dll : ImportedDlls(english_)) {
        EXPECT_EQ(
            CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, dll.c_str(), -1, "kernel32.dll", -1),
            CSTR_EQUAL)
            << "imports " << dll;
    }
    auto* base = reinterpret_cast<const BYTE*>(english_);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    EXPECT_EQ(nt->OptionalHeader.AddressOfEntryPoint, 0u) << "runs code when loaded";
    EXPECT_TRUE(nt->FileHeader.Characteristics & IMAGE_FILE_DLL);
}

// Texts the program shows first or that others match exactly: they must load from
// both modules (catches a table lost from either .rc or a truncated UTF-8 file).
TEST_F(ResourcesTest, ImportantStringsLoadFromBothModules) {
    const unsigned ids[] = {IDS_SOCKETS_INIT_FAILED,
                            IDS_OS_NOT_SUPPORTED,
                            IDS_ABOUTBOX,
                            IDS_TEACHER_LOST_EXIT,
                            IDS_RELAY_UNREACHABLE,
                            IDS_LOGIN_ID_BAD_CHARS,
                            IDS_RELAY_NOT_RUNNING,
                            IDS_NOTE_SAVED,
                            IDS_LOADING_RELAY,
                            IDS_FONT_FACE};
    for (unsigned id : ids) {
        std::wstring text;
        EXPECT_TRUE(LoadText(korean(), id, &text)) << "Korean " << id;
        EXPECT_FALSE(text.empty()) << "Korean " << id;
        text.clear();
        EXPECT_TRUE(LoadText(english_, id, &text)) << "English " << id;
        EXPECT_FALSE(text.empty()) << "English " << id;
    }
}

TEST_F(ResourcesTest, KoreanTextsAreExact) {
    struct Case {
        unsigned id;
        const wchar_t* text;
    };
    const Case cases[] = {
        {IDS_SOCKETS_INIT_FAILED, L"Windows 소켓을 초기화하지 못했습니다."},
        {IDS_OS_NOT_SUPPORTED, L"Windows XP 또는 그 이후의 운영체제에서만 실행이 가능합니다."},
        {IDS_ABOUTBOX, L"Tavrel 정보(&A)..."},
        // Three double quotes and a backslash of its own.
        {IDS_LOGIN_ID_BAD_CHARS,
         L"선생님 ID로 사용할 수 없는 문자(\",\\<>&|:/*?\"\")가 사용되었습니다."},
        {IDS_RELAY_UNREACHABLE,
         L"로그인 서버와 접속이 되지 않습니다.\nWi-Fi에 정상연결되어 있는지 확인해 주세요."},
        {IDS_RELAY_NOT_RUNNING, L"실행중인 %s 가 없습니다.\n선생님 ID를 확인해주세요."},
        {IDS_TEACHER_LOST_EXIT, L"Vantor Teacher와 연결이 끊어져 프로그램이 종료됩니다"},
        {IDS_TIP_SOUND_UP,
         L"화면올림 상태일때 선생님 패드에서 나는 소리를 교탁 PC로 실시간 전송합니다."},
        {IDS_FONT_FACE, L"굴림"},
    };
    for (const Case& c : cases) {
        std::wstring text;
        EXPECT_TRUE(LoadText(korean(), c.id, &text)) << c.id;
        EXPECT_EQ(Utf8(text), Utf8(c.text)) << c.id;
    }
}

TEST_F(ResourcesTest, EnglishEscapesSurvive) {
    struct Case {
        unsigned id;
        const wchar_t* text;
    };
    const Case cases[] = {
        {IDS_LOGIN_ID_BAD_CHARS,
         L"The teacher ID contains characters that cannot be used (\",\\<>&|:/*?\"\")."},
        {IDS_RELAY_NOT_RUNNING, L"There is no running %s.\nPlease check the teacher ID."},
    };
    for (const Case& c : cases) {
        std::wstring text;
        EXPECT_TRUE(LoadText(english_, c.id, &text)) << c.id;
        EXPECT_EQ(Utf8(text), Utf8(c.text)) << c.id;
    }
}

// Both tables hold exactly the ids of StringIds.h: a text added to one .rc and
// forgotten in the other, or in the list, fails here.
TEST_F(ResourcesTest, StringTablesMatchTheIdList) {
    const std::set<unsigned> expected(std::begin(tavrel::kAllStringIds),
                                      std::end(tavrel::kAllStringIds));
    EXPECT_EQ(StringIdsIn(korean()), expected);
    EXPECT_EQ(StringIdsIn(english_), expected);
}

TEST_F(ResourcesTest, PlaceholdersMatchBetweenLanguages) {
    // A format argument lost in translation makes the program print garbage.
    for (unsigned id : tavrel::kAllStringIds) {
        std::wstring korean_text, english_text;
        ASSERT_TRUE(LoadText(korean(), id, &korean_text)) << id;
        ASSERT_TRUE(LoadText(english_, id, &english_text)) << id;
        auto count = [](const std::wstring& s, const wchar_t* what) {
            size_t n = 0;
            for (size_t at = s.find(what); at != std::wstring::npos; at = s.find(what, at + 1)) ++n;
            return n;
        };
        EXPECT_EQ(count(korean_text, L"%"), count(english_text, L"%")) << id;
        EXPECT_EQ(count(korean_text, L"&"), count(english_text, L"&")) << id;
    }
}

TEST_F(ResourcesTest, DialogsAndIconExistInBothModules) {
    struct Case {
        unsigned id;
        LPCWSTR type;
    };
    const Case cases[] = {
        {IDD_ABOUTBOX, MAKEINTRESOURCEW(5) /* RT_DIALOG */},
        {IDD_VANTORTAVREL_DIALOG, MAKEINTRESOURCEW(5)},
        {IDR_MAINFRAME, MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */},
    };
    for (const Case& c : cases) {
        EXPECT_NE(FindResourceW(korean(), MAKEINTRESOURCEW(c.id), c.type), nullptr) << c.id;
        EXPECT_NE(FindResourceW(english_, MAKEINTRESOURCEW(c.id), c.type), nullptr) << c.id;
    }
    EXPECT_NE(LoadImageW(english_, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, 16, 16, 0),
              nullptr);
    EXPECT_NE(LoadImageW(korean(), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, 48, 48, 0),
              nullptr);
    EXPECT_NE(FindResourceW(korean(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24) /* manifest */),
              nullptr);
}

TEST_F(ResourcesTest, MainDialogTemplateNamesTheProgramClass) {
    // A thin-bordered pop-up that starts hidden and draws its own title strip: no system
    // title bar (a CAPTION statement would add one), a system menu for the about box.
    constexpr DWORD kRequired = WS_POPUP | WS_BORDER | WS_SYSMENU | WS_MINIMIZEBOX;
    constexpr DWORD kForbidden = WS_DLGFRAME | WS_VISIBLE | DS_MODALFRAME;
    for (HMODULE module : {korean(), english_}) {
        DialogTemplateInfo info;
        ASSERT_TRUE(ReadDialogTemplate(module, IDD_VANTORTAVREL_DIALOG, &info));
        // windres writes the class name in capitals; window class names are
        // case-insensitive, so the registered "Vantor Tavrel" still matches.
        EXPECT_EQ(CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, info.className.c_str(), -1,
                                 L"Vantor Tavrel", -1),
                  CSTR_EQUAL)
            << Utf8(info.className);
        EXPECT_EQ(Utf8(info.title), "");
        EXPECT_EQ(info.style & kRequired, kRequired);
        EXPECT_EQ(info.style & kForbidden, 0u);
    }
    DialogTemplateInfo korean_about, english_about;
    ASSERT_TRUE(ReadDialogTemplate(korean(), IDD_ABOUTBOX, &korean_about));
    ASSERT_TRUE(ReadDialogTemplate(english_, IDD_ABOUTBOX, &english_about));
    EXPECT_EQ(Utf8(korean_about.title), Utf8(L"Tavrel 정보"));
    EXPECT_EQ(Utf8(english_about.title), "About Tavrel");
}

INT_PTR CALLBACK QuietDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// The panel's template only opens once its class is registered under the program's
// name, as start-up does from the system dialog class. Needs a display, like every test
// here that opens a window.
TEST_F(ResourcesTest, MainDialogOpensWithTheProgramClass) {
    WNDCLASSW dialogClass = {};
    ASSERT_TRUE(GetClassInfoW(korean(), L"#32770", &dialogClass));
    dialogClass.hInstance = korean();
    dialogClass.lpszClassName = L"Vantor Tavrel";
    ATOM atom = RegisterClassW(&dialogClass);
    ASSERT_NE(atom, 0) << GetLastError();

    for (HMODULE module : {korean(), english_}) {
        // The template comes from the language module, but the window belongs to the
        // program's instance, where its class is registered: a local class is only
        // found for the instance that registered it.
        HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(IDD_VANTORTAVREL_DIALOG),
                                    MAKEINTRESOURCEW(5) /* RT_DIALOG */);
        ASSERT_NE(found, nullptr);
        auto* dialogTemplate =
            static_cast<LPCDLGTEMPLATEW>(LockResource(LoadResource(module, found)));
        HWND dialog =
            CreateDialogIndirectParamW(korean(), dialogTemplate, nullptr, QuietDialogProc, 0);
        ASSERT_NE(dialog, nullptr)
            << (module == english_ ? "English " : "Korean ") << GetLastError();
        wchar_t name[64] = {};
        GetClassNameW(dialog, name, 64);
        EXPECT_EQ(Utf8(name), "Vantor Tavrel");
        EXPECT_NE(GetDlgItem(dialog, IDC_TITLE_TEXT), nullptr);

        wchar_t caption[32] = {};
        GetDlgItemTextW(dialog, IDC_TITLE_TEXT, caption, 32);
        EXPECT_EQ(Utf8(caption), "Tavrel");
        // The panel creates its buttons at run time; a template control with one of
        // their ids would be moved and found in their place.
        for (int id : {1001, 1003, 1004, 1005, 1006, 1007, 1008, 1628, 1629, 1630}) {
            EXPECT_EQ(GetDlgItem(dialog, id), nullptr) << "template control " << id;
        }
        EXPECT_EQ(GetWindowLongW(dialog, GWL_STYLE) & (WS_VISIBLE | WS_DLGFRAME), 0)
            << "the panel starts hidden and draws its own title strip";
        DestroyWindow(dialog);
    }
    UnregisterClassW(L"Vantor Tavrel", korean());
}

TEST_F(ResourcesTest, VersionInformation) {
    DWORD translation = 0;
    EXPECT_EQ(Utf8(FileVersionValue(EnglishModulePath(), L"FileVersion", &translation)),
              "3.0.1.1004");
    EXPECT_EQ(translation, MAKELONG(1200, kEnglishLanguage));

    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    translation = 0;
    EXPECT_EQ(Utf8(FileVersionValue(self, L"FileVersion", &translation)), "3.0.1.1004");
    EXPECT_EQ(translation, MAKELONG(1200, kKoreanLanguage));
    EXPECT_EQ(Utf8(FileVersionValue(self, L"OriginalFilename", &translation)), "Vantor Tavrel.exe");
}

// The about box names the version the version resource reports, in each module; the
// resource's fixed numbers and its texts agree with each other too.
TEST_F(ResourcesTest, AboutBoxShowsTheVersionOfTheVersionResource) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const struct {
        const char* name;
        HMODULE module;
        std::wstring path;
        std::wstring prefix;
    } cases[] = {
        {"Korean", korean(), self, L"Tavrel, \uBC84\uC804 "},
        {"English", english_, EnglishModulePath(), L"Tavrel, Version "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DWORD translation = 0;
        const std::wstring version = FileVersionValue(c.path, L"FileVersion", &translation);
        ASSERT_FALSE(version.empty());
        EXPECT_EQ(Utf8(FileVersionValue(c.path, L"ProductVersion", &translation)), Utf8(version));
        EXPECT_EQ(Utf8(FixedFileVersion(c.path)), Utf8(version));

        HRSRC found = FindResourceW(c.module, MAKEINTRESOURCEW(IDD_ABOUTBOX),
                                    MAKEINTRESOURCEW(5) /* RT_DIALOG */);
        ASSERT_NE(found, nullptr);
        auto* dialogTemplate =
            static_cast<LPCDLGTEMPLATEW>(LockResource(LoadResource(c.module, found)));
        HWND dialog =
            CreateDialogIndirectParamW(korean(), dialogTemplate, nullptr, QuietDialogProc, 0);
        ASSERT_NE(dialog, nullptr) << GetLastError();
        const std::vector<std::wstring> texts = StaticTexts(dialog);
        DestroyWindow(dialog);
        ASSERT_FALSE(texts.empty());
        EXPECT_EQ(Utf8(texts.front()), Utf8(c.prefix + version));
    }
}

}  // namespace
