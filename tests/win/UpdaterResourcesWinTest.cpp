// The built updater's own resources, read from VTUpdaterT.exe as data: the string
// table in both languages, the pictures at their design sizes, icon and dialogs, the
// dotted version text of the shipped and of the newer release, the shared section
// that holds the instance counter, and which variant reads its periods from the
// environment.
#include "resources/UpdaterResource.h"
#include "updater/RelvoApp_win.h"
#include "UpdaterTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using updater_test::LoadAsData;

const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

bool LoadText(HMODULE module, unsigned id, std::wstring* text) {
    const wchar_t* direct = nullptr;
    const int length = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&direct), 0);
    if (length <= 0 || direct == nullptr) return false;
    text->assign(direct, static_cast<size_t>(length));
    return true;
}

// The FileVersion text under the block the version resource names, "" when absent.
std::wstring FileVersionOf(const std::wstring& path) {
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0) return L"";
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return L"";
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\StringFileInfo\\041204b0\\FileVersion", &value,
                        &length) ||
        length == 0)
        return L"";
    const wchar_t* text = static_cast<const wchar_t*>(value);
    std::wstring result(text, length);
    while (!result.empty() && result.back() == L'\0') result.pop_back();
    return result;
}

class UpdaterResources : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { module_ = LoadAsData(updater_test::UpdaterPath()); }
    static void TearDownTestSuite() {
        if (module_ != nullptr) FreeLibrary(module_);
        module_ = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(module_, nullptr) << "VTUpdaterT.exe is built beside the test program";
    }
    static HMODULE module_;
};
HMODULE UpdaterResources::module_ = nullptr;

TEST_F(UpdaterResources, StringTableInBothLanguages) {
    struct Case {
        unsigned id;
        const char16_t* text;
    } cases[] = {
        {101, u"Relvo 정보(&A)..."},
        {103, u"Windows sockets initialization failed."},
        {300, u"다운로드 시작 : %s\n"},
        {302, u"파일저장 오류 : %s\n"},
        {303, u"파일쓰기 오류\n"},
        {307, u"배치 파일 쓰기 오류\n"},
        {308, u"업데이트 서버정보를 가져오는 동안 오류가 발생했습니다.\n"},
        {309, u"[바로 실행 하기]를 누르면 업데이트 없이 실행이 가능합니다.\n"},
        {311, u"업데이터 변경여부를 확인하고 있습니다.\n"},
        {312, u"업데이터 변경요청이 많아, 잠시후 재시도 합니다.\n"},
        {313, u"업데이터 종류를 확인중입니다.\n"},
        {318, u"result:false\ncode:404\nmessage:URL 페이지 접근 실패"},
        {320, u"잘못된 파일 정보를 건너뜁니다 : %s\n"},
        {321, u"파일 설치 오류 : %s\n"},
        {322, u"프로그램 폴더 경로를 배치 파일에 쓸 수 없습니다 : %s\n"},
        {602, u"File save error  : %s\n"},
        {607, u"Batch file write error \n"},
        {611, u"Checking whether Updator has changed.\n"},
        {618, u"result:false\ncode:404\nmessage:URL page access failed"},
        {620, u"Skipping an invalid file record : %s\n"},
        {2607, u"굴림"},
        {2907, u"Arial"},
    };
    for (const Case& c : cases) {
        std::wstring text;
        ASSERT_TRUE(LoadText(module_, c.id, &text)) << c.id;
        EXPECT_EQ(text, Wide(c.text)) << c.id;
    }
}

TEST_F(UpdaterResources, EveryMessageHasItsEnglishTwinAndNoGap) {
    std::vector<unsigned> ids;
    for (unsigned id = 300; id <= 322; ++id) {
        if (id != 310 && id != 319) ids.push_back(id);
    }
    for (unsigned id : ids) {
        std::wstring korean;
        std::wstring english;
        EXPECT_TRUE(LoadText(module_, id, &korean)) << id;
        EXPECT_TRUE(LoadText(module_, id + IDS_UPD_ENGLISH_OFFSET, &english)) << id + 300;
        // A message with an argument has it in both languages.
        EXPECT_EQ(korean.find(L"%s") != std::wstring::npos,
                  english.find(L"%s") != std::wstring::npos)
            << id;
    }
}

TEST_F(UpdaterResources, PicturesAtTheirDesignSizes) {
    struct Case {
        unsigned id;
        int width, height;
    } cases[] = {
        {IDB_UPD_BACKDROP, 541, 249},        {IDB_UPD_RUNNOW, 111, 34},
        {IDB_UPD_RUNNOW_HOVER, 111, 34},     {IDB_UPD_RUNNOW_ENG, 110, 29},
        {IDB_UPD_RUNNOW_ENG_HOVER, 110, 29},
    };
    for (const Case& c : cases) {
        HBITMAP bitmap = LoadBitmapW(module_, MAKEINTRESOURCEW(c.id));
        ASSERT_NE(bitmap, nullptr) << c.id;
        BITMAP info{};
        GetObjectW(bitmap, sizeof(info), &info);
        EXPECT_EQ(info.bmWidth, c.width) << c.id;
        EXPECT_EQ(info.bmHeight, c.height) << c.id;
        DeleteObject(bitmap);
    }
}

TEST_F(UpdaterResources, IconDialogsAndManifest) {
    EXPECT_NE(FindResourceW(module_, MAKEINTRESOURCEW(IDI_UPD_MAINFRAME), RT_GROUP_ICON), nullptr);
    EXPECT_NE(FindResourceW(module_, MAKEINTRESOURCEW(IDD_UPD_DIALOG), RT_DIALOG), nullptr);
    EXPECT_NE(FindResourceW(module_, MAKEINTRESOURCEW(IDD_UPD_ABOUTBOX), RT_DIALOG), nullptr);
    EXPECT_NE(FindResourceW(module_, MAKEINTRESOURCEW(1), RT_MANIFEST), nullptr);
    // Nothing of the main program came along: its log-in dialog is not here.
    EXPECT_EQ(FindResourceW(module_, MAKEINTRESOURCEW(129), RT_DIALOG), nullptr);
}

TEST_F(UpdaterResources, DottedVersionsOfBothReleases) {
    struct Case {
        std::wstring path;
        const wchar_t* version;
    } cases[] = {
        {updater_test::UpdaterPath(), L"3.0.1.1004"},
        {updater_test::NextUpdaterPath(), L"3.0.1.2000"},
        {updater_test::ProgramFolder() + L"..\\release-next\\Vantor Tavrel.exe", L"3.0.1.2000"},
        {updater_test::ProgramFolder() + L"Vantor Tavrel.exe", L"3.0.1.1004"},
    };
    for (const Case& c : cases) EXPECT_EQ(FileVersionOf(c.path), c.version) << c.path;
}

TEST_F(UpdaterResources, InstanceCounterSectionIsShared) {
    // A data-file mapping has the low bits of its handle set; the headers lie at the
    // same offsets as in a loaded image.
    auto* image = reinterpret_cast<HMODULE>(reinterpret_cast<ULONG_PTR>(module_) &
                                            ~static_cast<ULONG_PTR>(3));
    const DWORD flags = UpdaterInstanceSectionFlags(image);
    EXPECT_NE(flags & IMAGE_SCN_MEM_SHARED, 0u);
    EXPECT_NE(flags & IMAGE_SCN_MEM_WRITE, 0u);
}

// Whether the file holds `text` as UTF-16, as the program's wide literals are stored.
bool FileHoldsWideText(const std::wstring& path, const std::wstring& text) {
    std::ifstream in(path.c_str(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string needle(reinterpret_cast<const char*>(text.data()),
                             text.size() * sizeof(wchar_t));
    return !bytes.empty() && bytes.find(needle) != std::string::npos;
}

TEST(UpdaterVariants, OnlyTheTestVariantReadsThePeriodsFromTheEnvironment) {
    struct Case {
        std::wstring path;
        bool reads;
    } cases[] = {
        {updater_test::UpdaterPath(), false},
        {updater_test::ProgramFolder() + L"..\\updater-test\\VTUpdaterT.exe", true},
        {updater_test::NextUpdaterPath(), true},
    };
    for (const Case& c : cases) {
        ASSERT_NE(GetFileAttributesW(c.path.c_str()), INVALID_FILE_ATTRIBUTES) << c.path;
        EXPECT_EQ(FileHoldsWideText(c.path, L"TAVREL_UPDATER_PERIODS_MS"), c.reads) << c.path;
    }
}

TEST(UpdaterInstanceCounter, CountsUpAndDown) {
    const LONG first = IncrementUpdaterInstanceCount();
    EXPECT_EQ(IncrementUpdaterInstanceCount(), first + 1);
    DecrementUpdaterInstanceCount();
    EXPECT_EQ(IncrementUpdaterInstanceCount(), first + 1);
    DecrementUpdaterInstanceCount();
    DecrementUpdaterInstanceCount();
}

}  // namespace
