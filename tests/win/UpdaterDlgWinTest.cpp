// The updater's window on a real Win32 (Wine): where its controls are, the fonts, the
// log lines and their cap, the header band as caption, the size after a display
// change, Esc and the close command leaving it open, and the about box from the system
// menu. The dialog runs modelessly with the updater's own resources (from the built
// VTUpdaterT.exe) and with timers long enough never to fire, so no request is made.
#include "framework/Afx_win.h"
#include "resources/UpdaterResource.h"
#include "updater/RelvoDlg_win.h"
#include "updater/UpdaterLayout.h"
#include "UpdaterTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kNeverMs = 3600000;

const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

RECT ClientRectOf(HWND dialog, HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::wstring ListItem(HWND list, int index) {
    const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR) return L"<none>";
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<size_t>(length));
    return text;
}

// "[HH:MM:SS] " with two digits each.
bool HasTimeStamp(const std::wstring& line) {
    if (line.size() < 11 || line[0] != L'[' || line[3] != L':' || line[6] != L':' ||
        line[9] != L']' || line[10] != L' ')
        return false;
    for (size_t i : {1u, 2u, 4u, 5u, 7u, 8u}) {
        if (line[i] < L'0' || line[i] > L'9') return false;
    }
    return true;
}

class UpdaterDlg : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        module_ = updater_test::LoadAsData(updater_test::UpdaterPath());
    }
    static void TearDownTestSuite() {
        if (module_ != nullptr) FreeLibrary(module_);
        module_ = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(module_, nullptr) << "VTUpdaterT.exe is built beside the test program";
        previous_ = AfxGetResourceHandle();
        AfxSetResourceHandle(module_);
    }
    void TearDown() override {
        dialog_.reset();
        AfxSetResourceHandle(previous_ == AfxGetInstanceHandle() ? nullptr : previous_);
    }

    HWND Open(const wchar_t* language = L"Kor") {
        CRelvoDlg::Options options;
        options.language = language;
        options.periods.firstAttemptMs = kNeverMs;
        options.periods.retryMs = kNeverMs;
        options.periods.downloadMs = kNeverMs;
        dialog_ = std::make_unique<CRelvoDlg>(options);
        if (!dialog_->Create()) return nullptr;
        return dialog_->m_hWnd;
    }

    static HMODULE module_;
    HINSTANCE previous_ = nullptr;
    std::unique_ptr<CRelvoDlg> dialog_;
};
HMODULE UpdaterDlg::module_ = nullptr;

TEST_F(UpdaterDlg, LayoutAtTheScreenSize) {
    HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    const float scale = tavrel::UpdaterScaleFactor(screenWidth, screenHeight);
    EXPECT_EQ(dialog_->ScaleFactor(), scale);
    // The test desktop is 1024 x 768: the design sizes themselves.
    ASSERT_EQ(scale, 1.0f) << screenWidth << "x" << screenHeight;
    RECT window;
    GetWindowRect(dialog, &window);
    EXPECT_EQ(window.right - window.left, 564);
    EXPECT_EQ(window.bottom - window.top, 354);
    // Centred on the screen.
    EXPECT_NEAR(window.left, (screenWidth - 564) / 2, 1);
    EXPECT_NEAR(window.top, (screenHeight - 354) / 2, 1);
    struct Case {
        int id;
        RECT expected;
    } cases[] = {
        {IDC_UPD_TITLE, {6, 12, 6 + 121, 12 + 22}},
        {IDC_UPD_PROGRESS, {18, 57, 18 + 531, 57 + 237}},
        {IDOK, {444, 311, 444 + 111, 311 + 34}},
    };
    for (const Case& c : cases) {
        const RECT actual = ClientRectOf(dialog, GetDlgItem(dialog, c.id));
        EXPECT_EQ(actual.left, c.expected.left) << c.id;
        EXPECT_EQ(actual.top, c.expected.top) << c.id;
        EXPECT_EQ(actual.right, c.expected.right) << c.id;
        EXPECT_EQ(actual.bottom, c.expected.bottom) << c.id;
    }
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_TRUE(dialog_->VisibleFlag());
    // The list is not sorted: lines go in at the top.
    EXPECT_EQ(GetWindowLongW(GetDlgItem(dialog, IDC_UPD_PROGRESS), GWL_STYLE) & LBS_SORT, 0);
}

TEST_F(UpdaterDlg, TitleFontFollowsTheLanguageTextsDoNot) {
    struct Case {
        const wchar_t* language;
        int height;
    } cases[] = {{L"Kor", 13}, {L"Eng", 14}, {L"Japan", 13}, {L"xx", 13}};
    for (const Case& c : cases) {
        HWND dialog = Open(c.language);
        ASSERT_NE(dialog, nullptr) << c.language;
        LOGFONTW font{};
        ASSERT_NE(GetObjectW(dialog_->TitleFont(), sizeof(font), &font), 0);
        EXPECT_EQ(font.lfHeight, c.height) << c.language;
        EXPECT_EQ(font.lfWeight, 700) << c.language;
        EXPECT_STREQ(font.lfFaceName, Wide(u"굴림")) << c.language;
        LOGFONTW list{};
        ASSERT_NE(GetObjectW(dialog_->ListFont(), sizeof(list), &list), 0);
        EXPECT_EQ(list.lfHeight, 0);
        EXPECT_EQ(list.lfWeight, 400);
        // The messages stay Korean whatever the language.
        dialog_->AppendLog(0, IDS_UPD_CHECKING_TYPE, u"");
        const std::wstring line = ListItem(GetDlgItem(dialog, IDC_UPD_PROGRESS), 0);
        EXPECT_EQ(line.substr(11), Wide(u"업데이터 종류를 확인중입니다.\n")) << c.language;
        dialog_.reset();
    }
}

TEST_F(UpdaterDlg, LogLinesAreTimeStampedNewestOnTop) {
    HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    HWND list = GetDlgItem(dialog, IDC_UPD_PROGRESS);
    const LRESULT before = SendMessageW(list, LB_GETCOUNT, 0, 0);
    struct Case {
        int id;
        const char16_t* argument;
        const char16_t* text;
    } cases[] = {
        {IDS_UPD_DOWNLOAD_START, u"Vantor Tavrel.exe", u"다운로드 시작 : Vantor Tavrel.exe\n"},
        // An argument holding printf directives is shown as it is.
        {IDS_UPD_DOWNLOAD_DONE, u"a%s%d%n.dll", u"다운로드 완료 : a%s%d%n.dll\n"},
        {IDS_UPD_WRITE_FAILED, u"", u"파일쓰기 오류\n"},
        {IDS_UPD_BATCH_CREATE_FAILED, u"C:\\vantor\\aUpdate.bat",
         u"배치 파일 생성 오류 : C:\\vantor\\aUpdate.bat\n"},
    };
    for (const Case& c : cases) {
        dialog_->AppendLog(c.id == IDS_UPD_WRITE_FAILED ? 2 : 0, c.id, c.argument);
        const std::wstring line = ListItem(list, 0);
        EXPECT_TRUE(HasTimeStamp(line)) << line;
        EXPECT_EQ(line.substr(11), Wide(c.text)) << c.id;
    }
    EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), before + 4);
    // The first of them is now the lowest of the four.
    EXPECT_EQ(ListItem(list, 3).substr(11), Wide(cases[0].text));
}

TEST_F(UpdaterDlg, LogKeepsTheNewestFiveHundredLines) {
    HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    HWND list = GetDlgItem(dialog, IDC_UPD_PROGRESS);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    constexpr int kLines = 620;
    for (int i = 1; i <= kLines; ++i) {
        const std::wstring name = L"file" + std::to_wstring(i);
        dialog_->AppendLog(0, IDS_UPD_DOWNLOAD_DONE, AfxToU16(name));
    }
    ASSERT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), tavrel::kUpdaterLogLineLimit);
    // A long list scrolls.
    EXPECT_NE(GetWindowLongW(list, GWL_STYLE) & WS_VSCROLL, 0);
    EXPECT_EQ(ListItem(list, 0).substr(11), Wide(u"다운로드 완료 : file620\n"));
    // The oldest 120 went from the bottom.
    EXPECT_EQ(ListItem(list, tavrel::kUpdaterLogLineLimit - 1).substr(11),
              Wide(u"다운로드 완료 : file121\n"));
}

TEST_F(UpdaterDlg, EscAndCloseLeaveItOpen) {
    HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    struct Case {
        UINT message;
        WPARAM wParam;
        const char* what;
    } cases[] = {
        {WM_COMMAND, IDCANCEL, "command 2"},
        {WM_SYSCOMMAND, SC_CLOSE, "system menu close"},
        {WM_CLOSE, 0, "close"},
    };
    for (const Case& c : cases) {
        SendMessageW(dialog, c.message, c.wParam, 0);
        updater_test::DrainMessages();  // whatever the command posted has run
        EXPECT_TRUE(IsWindow(dialog)) << c.what;
        EXPECT_TRUE(IsWindowVisible(dialog)) << c.what;
    }
    // Esc as a key: the dialog manager turns it into command 2.
    MSG esc{dialog, WM_KEYDOWN, VK_ESCAPE, 0, 0, {}};
    IsDialogMessageW(dialog, &esc);
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_TRUE(IsWindowVisible(dialog));
}

TEST_F(UpdaterDlg, HiddenStaysHiddenWhoeverAsksToShowIt) {
    HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    dialog_->HideUpdater();
    EXPECT_FALSE(dialog_->VisibleFlag());
    EXPECT_FALSE(IsWindowVisible(dialog));
    ShowWindow(dialog, SW_SHOW);
    EXPECT_FALSE(IsWindowVisible(dialog)) << "ShowWindow";
    SetWindowPos(dialog, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    EXPECT_FALSE(IsWindowVisible(dialog)) << "SetWindowPos";
    // A display change resizes the hidden window without showing it.
    SendMessageW(dialog, WM_DISPLAYCHANGE, 32, MAKELPARAM(1024, 768));
    EXPECT_FALSE(IsWindowVisible(dialog)) << "WM_DISPLAYCHANGE";
}

TEST_F(UpdaterDlg, DisplayChangePutsTheSizeBackAndKeepsThePlace) {
    HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    SetWindowPos(dialog, nullptr, 40, 30, 300, 200, SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(dialog, WM_DISPLAYCHANGE, 32, MAKELPARAM(2560, 1440));
    RECT window;
    GetWindowRect(dialog, &window);
    EXPECT_EQ(window.left, 40);
    EXPECT_EQ(window.top, 30);
    // The scale from the start, not from the new screen size.
    EXPECT_EQ(window.right - window.left, dialog_->Layout().dialogWidth);
    EXPECT_EQ(window.bottom - window.top, dialog_->Layout().dialogHeight);
    EXPECT_EQ(dialog_->Layout().dialogWidth, 564);
}

TEST_F(UpdaterDlg, HeaderBandDragsTheWindow) {
    HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    struct Case {
        int x, y;
        LRESULT hit;
    } cases[] = {
        {200, 5, HTCAPTION},
        {2, 37, HTCAPTION},
        {200, 38, HTCLIENT},
        {300, 200, HTCLIENT},
        // Over the title label too.
        {20, 20, HTCAPTION},
    };
    for (const Case& c : cases) {
        POINT point{c.x, c.y};
        ClientToScreen(dialog, &point);
        EXPECT_EQ(SendMessageW(dialog, WM_NCHITTEST, 0, MAKELPARAM(point.x, point.y)), c.hit)
            << c.x << "," << c.y;
    }
}

// The about box is modal: a timer on this thread finds it while its loop runs, reads
// its text and closes it.
struct AboutProbe {
    static HWND dialog;
    static std::wstring text;
    static bool closed;
    static BOOL CALLBACK ReadChild(HWND child, LPARAM) {
        wchar_t buffer[256] = {};
        GetWindowTextW(child, buffer, 256);
        text += buffer;
        text += L"|";
        return TRUE;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        HWND about = GetLastActivePopup(dialog);
        if (about == nullptr || about == dialog || closed) return;
        wchar_t caption[128] = {};
        GetWindowTextW(about, caption, 128);
        text = std::wstring(caption) + L"|";
        EnumChildWindows(about, &ReadChild, 0);
        closed = true;
        PostMessageW(about, WM_COMMAND, IDOK, 0);
    }
};
HWND AboutProbe::dialog = nullptr;
std::wstring AboutProbe::text;
bool AboutProbe::closed = false;

TEST_F(UpdaterDlg, SystemMenuOpensTheAboutBox) {
    HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    HMENU menu = GetSystemMenu(dialog, FALSE);
    wchar_t item[64] = {};
    ASSERT_GT(GetMenuStringW(menu, IDM_UPD_ABOUTBOX, item, 64, MF_BYCOMMAND), 0);
    EXPECT_STREQ(item, Wide(u"Relvo 정보(&A)..."));
    for (WPARAM command : {WPARAM{0x10}, WPARAM{0x1F}}) {
        AboutProbe::dialog = dialog;
        AboutProbe::text.clear();
        AboutProbe::closed = false;
        const UINT_PTR timer = SetTimer(nullptr, 0, 20, &AboutProbe::Tick);
        // Sent: the call returns once the about box has closed again.
        SendMessageW(dialog, WM_SYSCOMMAND, command, 0);
        KillTimer(nullptr, timer);
        EXPECT_TRUE(AboutProbe::closed) << command;
        EXPECT_NE(AboutProbe::text.find(Wide(u"VTUpdaterT 정보")), std::wstring::npos) << command;
        EXPECT_NE(AboutProbe::text.find(L"3.0.1.1004"), std::wstring::npos) << command;
        EXPECT_TRUE(IsWindow(dialog));
    }
}

}  // namespace
