// The skinned widgets on a real Win32 (Wine): memory bitmap, message box, loading
// window and the animated picture.
#include "framework/WinApp_win.h"
#include "resources/resource.h"
#include "shell/ScaleFactor.h"
#include "widgets/CustomMsgDlg_win.h"
#include "widgets/GdiPlus_win.h"
#include "widgets/ImageButton_win.h"
#include "widgets/LoadingDlg_win.h"
#include "widgets/MemBitmap_win.h"
#include "widgets/PictureEx_win.h"
#include "widgets/ShowMessageBox_win.h"
#include "widgets/WaitMsgDlg_win.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <future>
#include <vector>

namespace {

class ScaleOne : public ::testing::Test {
  protected:
    void SetUp() override {
        m_saved = g_fScaleFactor;
        g_fScaleFactor = 1.0f;
    }
    void TearDown() override { g_fScaleFactor = m_saved; }
    float m_saved = 0;
};

TEST(MemBitmap, SizesDepthsAndKeptPixels) {
    CMemBitmap bitmap;
    bitmap.Create(800, 600, 32);
    ASSERT_NE(bitmap.m_pBits, nullptr);
    EXPECT_EQ(static_cast<const BYTE*>(bitmap.m_pBits)[0], 0) << "a new bitmap is black";
    static_cast<BYTE*>(bitmap.m_pBits)[0] = 0x5A;

    // Sizes below 1 leave the bitmap exactly as it was.
    for (auto [w, h] : {std::pair{0, 600}, std::pair{800, -1}}) {
        bitmap.Create(w, h, 32);
        bitmap.EnsureSize(w, h, 32);
        EXPECT_EQ(bitmap.m_nWidth, 800);
        EXPECT_EQ(static_cast<const BYTE*>(bitmap.m_pBits)[0], 0x5A);
    }
    bitmap.EnsureSize(800, 600, 8);  // a different depth alone keeps it
    EXPECT_EQ(static_cast<const BYTE*>(bitmap.m_pBits)[0], 0x5A);
    EXPECT_EQ(bitmap.m_nBitsPerPixel, 32);
    bitmap.EnsureSize(801, 600, 32);
    EXPECT_EQ(static_cast<const BYTE*>(bitmap.m_pBits)[0], 0) << "re-created black";

    bitmap.Create(1366, 768, 32);
    EXPECT_EQ(bitmap.m_nImageSize, 1366 * 4 * 768);
    EXPECT_GT(bitmap.Info()->bmiHeader.biHeight, 0) << "rows bottom-up";

    CMemBitmap grey;
    grey.Create(10, 10, 8);
    ASSERT_NE(grey.m_pBits, nullptr);
    const RGBQUAD entry = grey.Info()->bmiColors[128];
    EXPECT_EQ(entry.rgbBlue, 128);
    EXPECT_EQ(entry.rgbGreen, 128);
    EXPECT_EQ(entry.rgbRed, 128);
    EXPECT_EQ(grey.Info()->bmiHeader.biClrUsed, 256u);
    EXPECT_EQ(grey.m_nImageSize, 12 * 10) << "rows padded to 4 bytes";

    // A size no memory can hold leaves no pixels, and sizes that say so.
    grey.Create(60000, 60000, 32);
    EXPECT_EQ(grey.m_pBits, nullptr);
    EXPECT_EQ(grey.m_nWidth, 0);
    EXPECT_EQ(grey.m_nHeight, 0);
    EXPECT_EQ(grey.m_nImageSize, 0);
}

HWND WaitForBox(const wchar_t* caption) {
    for (int i = 0; i < 1200; ++i) {
        HWND box = FindWindowW(nullptr, caption);
        if (box != nullptr && IsWindowVisible(box)) return box;
        Sleep(25);
    }
    return nullptr;
}

int ButtonLeft(HWND box, int id) {
    HWND button = GetDlgItem(box, id);
    if (button == nullptr || !IsWindowVisible(button)) return -1;
    RECT rect;
    GetWindowRect(button, &rect);
    MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&rect), 2);
    return rect.left;
}

struct BoxCase {
    const char* name;
    UINT type;
    int yes, no, ok, cancel;  // x of each shown button, -1 hidden
    WPARAM press;             // command sent to the box
    int expected;
};

class MessageBoxTest : public ScaleOne, public ::testing::WithParamInterface<BoxCase> {};

TEST_P(MessageBoxTest, ButtonsAndResults) {
    const BoxCase& c = GetParam();
    const std::wstring caption = L"TavrelBox " + std::to_wstring(c.type) + L" " +
                                 std::to_wstring(static_cast<unsigned>(c.press));
    auto result = std::async(std::launch::async, [&] {
        return ShowMessageBox(L"한 줄 메시지", caption.c_str(), c.type);
    });
    HWND box = WaitForBox(caption.c_str());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(ButtonLeft(box, IDC_MSG_YES), c.yes);
    EXPECT_EQ(ButtonLeft(box, IDC_MSG_NO), c.no);
    EXPECT_EQ(ButtonLeft(box, IDOK), c.ok);
    EXPECT_EQ(ButtonLeft(box, IDCANCEL), c.cancel);
    EXPECT_EQ(ButtonLeft(box, IDC_MSG_CLOSE), 463) << "the close button is always there";
    RECT rect;
    GetWindowRect(box, &rect);
    EXPECT_EQ(rect.right - rect.left, 504);  // the design size, at scale 1
    EXPECT_EQ(rect.bottom - rect.top, 234);
    // A second box while this one is open is refused at once.
    EXPECT_EQ(ShowMessageBox(L"second", L"TavrelSecond", MB_OK), -1);
    EXPECT_TRUE(IsMessageBoxOpen());
    PostMessageW(box, WM_COMMAND, c.press, 0);
    ASSERT_EQ(result.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(result.get(), c.expected);
    EXPECT_FALSE(IsMessageBoxOpen());
}

// A box shown without a parent belongs to the window the teacher works in: that window
// cannot be used while the box is up, and is usable again afterwards.
TEST_F(ScaleOne, AMessageBoxDisablesTheMainWindowWhileItIsUp) {
    CWinApp app(L"TavrelOwnerTest");
    HWND mainWindow = nullptr;
    auto result = std::async(std::launch::async, [&] {
        CWnd main;
        main.m_hWnd = CreateWindowExW(0, L"STATIC", L"main", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100,
                                      nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        mainWindow = main.m_hWnd;
        app.m_pMainWnd = &main;
        const int answer = ShowMessageBox(L"소유자", L"TavrelOwned", MB_OK);
        app.m_pMainWnd = nullptr;
        const bool enabledAfter = IsWindowEnabled(main.m_hWnd) != FALSE;
        DestroyWindow(main.m_hWnd);
        main.m_hWnd = nullptr;
        return enabledAfter ? answer : -2;
    });
    HWND box = WaitForBox(L"TavrelOwned");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(GetWindow(box, GW_OWNER), mainWindow);
    EXPECT_FALSE(IsWindowEnabled(mainWindow)) << "the main window stayed usable behind the box";
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_EQ(result.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(result.get(), IDOK) << "-2: the main window stayed disabled after the box";
}

// From another thread than the main window's, a box has no owner: owning across
// threads would tie the two threads' input together.
TEST_F(ScaleOne, AMessageBoxFromAnotherThreadLeavesTheMainWindowAlone) {
    CWinApp app(L"TavrelOwnerTest");
    CWnd main;
    main.m_hWnd = CreateWindowExW(0, L"STATIC", L"main", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(main.m_hWnd, nullptr);
    app.m_pMainWnd = &main;
    auto result = std::async(std::launch::async,
                             [&] { return ShowMessageBox(L"다른 스레드", L"TavrelOther", MB_OK); });
    HWND box = WaitForBox(L"TavrelOther");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
    EXPECT_TRUE(IsWindowEnabled(main.m_hWnd));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_EQ(result.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(result.get(), IDOK);
    app.m_pMainWnd = nullptr;
    DestroyWindow(main.m_hWnd);
    main.m_hWnd = nullptr;
}

INSTANTIATE_TEST_SUITE_P(
    Types, MessageBoxTest,
    ::testing::Values(
        BoxCase{"OkPressed", MB_OK, -1, -1, 418, -1, IDOK, IDOK},
        BoxCase{"YesNoYes", MB_YESNO, 345, 418, -1, -1, IDC_MSG_YES, IDYES},
        BoxCase{"YesNoNo", MB_YESNO, 345, 418, -1, -1, IDC_MSG_NO, IDNO},
        BoxCase{"YesNoClose", MB_YESNO, 345, 418, -1, -1, IDC_MSG_CLOSE, IDCANCEL},
        BoxCase{"YesNoEnter", MB_YESNO, 345, 418, -1, -1, IDOK, IDOK},
        BoxCase{"YesNoCancelCancel", MB_YESNOCANCEL, 272, 345, -1, 418, IDCANCEL, IDCANCEL},
        BoxCase{"OtherTypeOnlyClose", MB_OKCANCEL, -1, -1, -1, -1, IDC_MSG_CLOSE, IDCANCEL}),
    [](const ::testing::TestParamInfo<BoxCase>& info) { return std::string(info.param.name); });

TEST_F(ScaleOne, MessageTextIsCentredOrStartsAtTheTop) {
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontW(13, 0, 0, 0, 400, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
    RECT one = CCustomMsgDlg::TextRect(dc, font, L"one line");
    EXPECT_GT(one.top, CCustomMsgDlg::kTextTop);
    EXPECT_LT(one.top, 113);
    std::wstring tenLines;
    for (int i = 0; i < 10; ++i) tenLines += L"line\n";
    RECT ten = CCustomMsgDlg::TextRect(dc, font, tenLines);
    EXPECT_EQ(ten.top, CCustomMsgDlg::kTextTop);
    EXPECT_EQ(ten.bottom, CCustomMsgDlg::kTextBottom) << "cut at the bottom of the box";
    DeleteObject(font);
    DeleteDC(dc);
}

// A valid 1 × 1 GIF image block (graphic control extension, descriptor, LZW data).
std::vector<BYTE> Gif(int frames, int delay) {
    std::vector<BYTE> gif = {'G',  'I', 'F', '8',  '9',  'a',  1, 0, 1, 0,
                             0x80, 0,   0,   0xFF, 0xFF, 0xFF, 0, 0, 0};
    for (int i = 0; i < frames; ++i) {
        gif.insert(gif.end(), {0x21, 0xF9, 4, 0, static_cast<BYTE>(delay), 0, 0, 0});
        gif.insert(gif.end(), {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 1, 0});
    }
    gif.push_back(0x3B);
    return gif;
}

TEST(PictureEx, StillPictureHasNoThreadAnimationLoops) {
    HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    HWND control = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, parent,
                                   nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(control, nullptr) << "error " << GetLastError() << " parent " << parent;
    CPictureEx picture;
    ASSERT_TRUE(picture.SubclassWindow(control));

    const std::vector<BYTE> still = Gif(1, 10);
    ASSERT_TRUE(picture.LoadGifData(still.data(), still.size()));
    EXPECT_TRUE(picture.StartAnimation());
    EXPECT_FALSE(picture.IsAnimating());
    EXPECT_EQ(picture.PictureWidth(), 1);

    const std::vector<BYTE> animated = Gif(3, 5);  // 50 ms per frame
    ASSERT_TRUE(picture.LoadGifData(animated.data(), animated.size()));
    EXPECT_EQ(picture.FrameCount(), 3u);
    RECT rect;
    GetWindowRect(control, &rect);
    EXPECT_EQ(rect.right - rect.left, 1) << "the control takes the picture's size";
    EXPECT_TRUE(picture.StartAnimation());
    EXPECT_TRUE(picture.IsAnimating());
    for (int i = 0; i < 1500 && picture.FramesShown() < 7; ++i) Sleep(20);
    EXPECT_GE(picture.FramesShown(), 7u) << "the animation loops past the last frame";
    picture.StopAnimation();
    EXPECT_FALSE(picture.IsAnimating());

    const BYTE notAPicture[] = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, ';'};
    EXPECT_FALSE(picture.LoadGifData(notAPicture, sizeof notAPicture)) << "no image";
    DestroyWindow(parent);
}

TEST_F(ScaleOne, LoadingWindowIgnoresCloseAndKeepsItsText) {
    CLoadingDlg loading;
    loading.loadingText = L"연결 중입니다.";
    ASSERT_TRUE(loading.Create());
    SendMessageW(loading.m_hWnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(loading.m_hWnd));
    wchar_t text[64] = {};
    GetDlgItemTextW(loading.m_hWnd, IDC_LOADING_TEXT, text, 64);
    EXPECT_STREQ(text, L"연결 중입니다.");
    RECT rect;
    GetWindowRect(loading.m_hWnd, &rect);
    EXPECT_EQ(rect.right - rect.left, 320);  // the design width, at scale 1
    loading.DestroyWindow();
}

// Pictures of different sizes, so the size tells which state a button draws.
constexpr UINT kNormalPic = 137;    // 39 × 34
constexpr UINT kHoverPic = 172;     // 470 × 124
constexpr UINT kDisabledPic = 173;  // 55 × 50
constexpr UINT kCheckedPic = 138;   // 160 × 225

TEST(ImageButton, StatePrecedenceTooltipAndAltF4) {
    HWND parent = CreateWindowExW(0, L"STATIC", L"parent", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(parent, nullptr);
    CWnd owner;
    owner.m_hWnd = parent;
    CImageButton button;
    RECT rect{0, 0, 60, 30};
    ASSERT_TRUE(button.Create(L"", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX | BS_PUSHLIKE, rect,
                              &owner, 1001));
    button.LoadBitmaps(kNormalPic, kHoverPic, kDisabledPic, kCheckedPic);
    auto shown = [&] { return BitmapSize(button.CurrentPicture()).cx; };

    EXPECT_EQ(shown(), 39) << "normal";
    button.SendMessage(WM_MOUSEHOVER);
    EXPECT_EQ(shown(), 470) << "hover";
    button.SetCheck(BST_CHECKED);
    EXPECT_EQ(shown(), 160) << "checked wins over hover";
    button.EnableWindow(FALSE);
    EXPECT_EQ(shown(), 55) << "disabled wins over checked";
    button.EnableWindow(TRUE);
    button.SendMessage(WM_MOUSELEAVE);
    button.SetCheck(BST_UNCHECKED);
    EXPECT_EQ(shown(), 39) << "back to normal";

    ASSERT_NE(button.Tooltip(), nullptr) << "a button made at run time has a tooltip";
    button.SetTooltip(L"교탁 PC의 원격제어를 시작/중단 합니다.");
    EXPECT_EQ(SendMessageW(button.Tooltip(), TTM_GETTOOLCOUNT, 0, 0), 1);
    button.SetTooltip(L"원격제어");  // a second text replaces the first
    EXPECT_EQ(SendMessageW(button.Tooltip(), TTM_GETTOOLCOUNT, 0, 0), 1);
    wchar_t text[80] = {};
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = parent;  // the whole button is the tool
    tool.uId = reinterpret_cast<UINT_PTR>(button.m_hWnd);
    tool.lpszText = text;
    SendMessageW(button.Tooltip(), TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&tool));
    EXPECT_STREQ(text, L"원격제어");

    // Resting the pointer on the button, anywhere on it, brings the tooltip up.
    button.MoveWindow(0, 0, 120, 60);
    SetCursorPos(100, 45);
    button.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(100, 45));
    const DWORD start = GetTickCount();
    while (!IsWindowVisible(button.Tooltip()) && GetTickCount() - start < 30000) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(20);
    }
    EXPECT_TRUE(IsWindowVisible(button.Tooltip())) << "no tooltip over the grown button";

    button.SendMessage(WM_SYSKEYDOWN, VK_F4, 0x20000000);
    EXPECT_TRUE(IsWindow(parent)) << "Alt+F4 on a button closed its window";
    DestroyWindow(parent);
    owner.m_hWnd = nullptr;
}

struct NoticeCase {
    float scale;
    int width, height;
    int labelTop, labelHeight;
};

TEST(WaitNotice, SizeLabelAndDefaultTextFollowTheScale) {
    const float saved = g_fScaleFactor;
    const NoticeCase cases[] = {{1.0f, 400, 50, 13, 23}, {1.4f, 560, 70, 19, 32}};
    for (const NoticeCase& c : cases) {
        g_fScaleFactor = c.scale;
        CWaitMsgDlg notice;
        ASSERT_TRUE(notice.Create());
        RECT window;
        GetWindowRect(notice.m_hWnd, &window);
        EXPECT_EQ(window.right - window.left, c.width) << c.scale;
        EXPECT_EQ(window.bottom - window.top, c.height) << c.scale;
        EXPECT_EQ(window.left, 0) << "at the top-left corner until its user centres it";
        HWND label = GetDlgItem(notice.m_hWnd, IDC_WAIT_TEXT);
        RECT place;
        GetWindowRect(label, &place);
        MapWindowPoints(nullptr, notice.m_hWnd, reinterpret_cast<POINT*>(&place), 2);
        EXPECT_EQ(place.left, 1);
        EXPECT_EQ(place.top, c.labelTop) << c.scale;
        EXPECT_EQ(place.bottom - place.top, c.labelHeight) << c.scale;
        EXPECT_EQ(place.right - place.left, c.width - 1) << c.scale;
        wchar_t text[64] = {};
        GetWindowTextW(label, text, 64);
        EXPECT_STREQ(text, L"작업을 진행중 입니다.");
        EXPECT_NE(GetFocus(), label) << "the notice takes no focus";
        notice.DestroyWindow();
    }
    g_fScaleFactor = saved;
}

}  // namespace
