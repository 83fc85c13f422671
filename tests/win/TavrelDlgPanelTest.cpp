// The control panel on its own, without log-in or session: layout at two scale
// factors, the hidden-until-up rule, folding and unfolding, the drag strip, the
// refusals of the control modes, the pad switches and the remote session's notices.
#include "TcpTestSupport.h"
#include "panel/PanelGeometry.h"
#include "protocol/Frame.h"
#include "panel/TavrelDlg_win.h"
#include "resources/resource.h"
#include "shell/ProgramPath_win.h"
#include "shell/ProgramMessages.h"
#include "shell/ScaleFactor.h"

#include <commctrl.h>
#include <iterator>

#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <iterator>
#include <vector>

namespace {

constexpr UINT kMsgTouchState = kWmTouchStateNotice;
constexpr UINT kMsgBroadcastState = kWmBroadcastStateNotice;
constexpr UINT kMsgMonitorButton = kWmMonitorButtonNotice;
constexpr WPARAM kMarker = kNoticeMarker;
constexpr int kMessageTextLabel = 1099;  // the message box's hidden copy of its text

std::vector<char> ReadAll(const std::wstring& path, bool& existed) {
    std::ifstream in(path.c_str(), std::ios::binary);
    existed = static_cast<bool>(in);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::wstring& path, const std::vector<char>& bytes) {
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// config.ini as the program keeps it: UTF-16LE with a byte-order mark.
std::vector<char> Utf16Ini(const std::wstring& text) {
    std::vector<char> bytes{'\xFF', '\xFE'};
    for (wchar_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

// Keeps an INI file next to the test program as it was.
class SavedFile {
  public:
    explicit SavedFile(const wchar_t* name) : m_path(ProgramDirectory() + L"\\" + name) {
        m_bytes = ReadAll(m_path, m_existed);
    }
    ~SavedFile() {
        if (m_existed) {
            WriteAll(m_path, m_bytes);
        } else {
            DeleteFileW(m_path.c_str());
        }
    }
    const std::wstring& Path() const { return m_path; }

  private:
    std::wstring m_path;
    std::vector<char> m_bytes;
    bool m_existed = false;
};

RECT ChildRect(HWND parent, int id) {
    RECT rect{};
    HWND child = GetDlgItem(parent, id);
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

SIZE WindowSize(HWND hwnd) {
    RECT rect;
    GetWindowRect(hwnd, &rect);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Saves the screen under the window as a BMP into $TAVREL_PANEL_SHOTS, when set.
void SaveShot(HWND hwnd, const std::wstring& name) {
    wchar_t folder[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"TAVREL_PANEL_SHOTS", folder, MAX_PATH) == 0) return;
    // Paint the window and its buttons now, so that the capture sees them drawn.
    Pump();
    RedrawWindow(hwnd, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    GdiFlush();
    RECT rect;
    GetWindowRect(hwnd, &rect);
    // Read from the window's own surface: under Wine the screen holds only the desktop,
    // and a top-level window is drawn on a surface of its own.
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    HDC screen = GetWindowDC(hwnd);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP canvas = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, canvas);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    const DWORD stride = ((width * 3 + 3) / 4) * 4;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info.bmiHeader);
    file.bfSize = file.bfOffBits + stride * height;
    std::ofstream out((std::wstring(folder) + L"\\" + name + L".bmp").c_str(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof(file));
    out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof(info.bmiHeader));
    out.write(static_cast<const char*>(bits), static_cast<std::streamsize>(stride * height));
    SelectObject(memory, old);
    DeleteObject(canvas);
    DeleteDC(memory);
    ReleaseDC(hwnd, screen);
}

class PanelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_savedScale = g_fScaleFactor;
        WNDCLASSW wndClass{};
        GetClassInfoW(GetModuleHandleW(nullptr), L"#32770", &wndClass);
        wndClass.hInstance = GetModuleHandleW(nullptr);
        wndClass.lpszClassName = L"Vantor Tavrel";
        RegisterClassW(&wndClass);
    }
    void TearDown() override {
        m_dialog.reset();
        UnregisterClassW(L"Vantor Tavrel", GetModuleHandleW(nullptr));
        g_bScreenUp = false;
        g_fScaleFactor = m_savedScale;
    }

    // Builds the panel with config.ini's "scalefactor" set to `scale`.
    HWND Build(const wchar_t* scale) {
        WriteAll(m_config.Path(),
                 Utf16Ini(std::wstring(L"[default]\r\nscalefactor=") + scale + L"\r\n"));
        m_dialog = std::make_unique<CTavrelDlg>();
        m_dialog->m_bWithoutSession = true;
        EXPECT_TRUE(m_dialog->Create());
        return m_dialog->m_hWnd;
    }
    void Show() {
        m_dialog->m_bShowPanel = true;
        m_dialog->ShowWindow(SW_SHOWNOACTIVATE);
        Pump();
    }
    void Click(int id) {
        SendMessageW(m_dialog->m_hWnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(m_dialog->m_hWnd, id)));
    }
    int Check(int id) {
        return static_cast<int>(SendMessageW(GetDlgItem(m_dialog->m_hWnd, id), BM_GETCHECK, 0, 0));
    }

    // Clicks `id` and returns the text of the message box it shows ("" for none); the
    // box is answered with OK.
    std::wstring RefusalOf(int id, int waitSteps = 1200) {
        auto box = std::async(std::launch::async, [waitSteps] {
            for (int i = 0; i < waitSteps; ++i) {
                HWND found = FindWindowW(L"#32770", L"Vantor Tavrel");
                if (found != nullptr && IsWindowVisible(found)) {
                    wchar_t text[512] = {};
                    GetDlgItemTextW(found, kMessageTextLabel, text, 512);
                    PostMessageW(found, WM_COMMAND, IDOK, 0);
                    return std::wstring(text);
                }
                Sleep(25);
            }
            return std::wstring();
        });
        Click(id);
        return box.get();
    }

    SavedFile m_config{L"config.ini"};
    SavedFile m_setting{L"setting.ini"};
    std::unique_ptr<CTavrelDlg> m_dialog;
    float m_savedScale = 0;
};

struct LayoutCase {
    const char* name;
    const wchar_t* configured;
    float scale;
    int width, height, folded;
};

class PanelLayoutTest : public PanelTest, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(PanelLayoutTest, DockedHiddenUntilUpThenFoldsAndOpens) {
    const LayoutCase& c = GetParam();
    HWND panel = Build(c.configured);
    ASSERT_NE(panel, nullptr);
    EXPECT_FLOAT_EQ(g_fScaleFactor, c.scale);
    EXPECT_EQ(g_pMainDlg, m_dialog.get());

    // Docked topmost at the top-right corner, not activating, hidden.
    const int screen = GetSystemMetrics(SM_CXSCREEN);
    RECT window;
    GetWindowRect(panel, &window);
    EXPECT_EQ(window.left, screen - c.width);
    EXPECT_EQ(window.top, 0);
    EXPECT_EQ(window.right - window.left, c.width);
    EXPECT_EQ(window.bottom - window.top, c.height);
    EXPECT_NE(GetWindowLongW(panel, GWL_EXSTYLE) & WS_EX_NOACTIVATE, 0);
    m_dialog->ShowWindow(SW_SHOW);
    SetWindowPos(panel, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    EXPECT_FALSE(IsWindowVisible(panel)) << "shown before the session is up";

    Show();
    EXPECT_TRUE(IsWindowVisible(panel));
    // Topmost is not asserted: Wine stacks a window below the tooltips it owns, which are
    // not all topmost, so HWND_TOPMOST does not stick there as it does on Windows.
    RECT client;
    GetClientRect(panel, &client);
    EXPECT_EQ(client.right, c.width - 2) << "a thin border and no title bar";
    EXPECT_EQ(client.bottom, c.height - 2);
    {
        // Some of the design's places at both scales, written out here apart from the
        // program's table (fractions dropped after scaling each of x, y, width, height).
        struct Place {
            int id;
            RECT rect;
        };
        const Place atOne[] = {{1628, {132, 0, 171, 34}},
                               {1001, {22, 51, 72, 115}},
                               {1003, {96, 54, 152, 82}},
                               {1008, {98, 202, 148, 266}}};
        const Place atOnePointFour[] = {{1628, {184, 0, 238, 47}},
                                        {1001, {30, 71, 100, 160}},
                                        {1003, {134, 75, 212, 114}},
                                        {1008, {137, 282, 207, 371}}};
        const Place* places = c.scale == 1.0f ? atOne : atOnePointFour;
        for (size_t i = 0; i < std::size(atOne); ++i) {
            const RECT actual = ChildRect(panel, places[i].id);
            EXPECT_TRUE(EqualRect(&actual, &places[i].rect)) << "control " << places[i].id;
        }
    }
    for (int i = 0; i < tavrel::kPanelControlCount; ++i) {
        const tavrel::PanelControl& control = tavrel::kPanelControls[i];
        const tavrel::Rect expected = tavrel::ScaledControlRect(control, c.scale);
        const RECT actual = ChildRect(panel, control.id);
        EXPECT_EQ(actual.left, expected.left) << control.id;
        EXPECT_EQ(actual.top, expected.top) << control.id;
        EXPECT_EQ(actual.right, expected.right) << control.id;
        EXPECT_EQ(actual.bottom, expected.bottom) << control.id;
        const LONG style = GetWindowLongW(GetDlgItem(panel, control.id), GWL_STYLE);
        if (control.id != tavrel::kIdCaption) {
            EXPECT_EQ((style & BS_PUSHLIKE) != 0, control.toggle) << control.id;
        }
        if (control.tooltip != 0) {
            auto* button = static_cast<CImageButton*>(
                CWnd::FromHandlePermanent(GetDlgItem(panel, control.id)));
            ASSERT_NE(button, nullptr) << control.id;
            EXPECT_EQ(SendMessageW(button->Tooltip(), TTM_GETTOOLCOUNT, 0, 0), 1) << control.id;
        }
    }
    wchar_t caption[32] = {};
    GetDlgItemTextW(panel, IDC_TITLE_TEXT, caption, 32);
    EXPECT_STREQ(caption, L"Tavrel");
    SaveShot(panel, std::wstring(L"panel-expanded-") + std::to_wstring(c.width));

    // A tap on the strip: the title strip is the caption the panel is dragged by.
    const int stripBottom = tavrel::ScaleDesign(tavrel::kTitleStripHeight, c.scale);
    POINT inStrip{5, stripBottom - 1};
    POINT below{5, stripBottom + 2};
    ClientToScreen(panel, &inStrip);
    ClientToScreen(panel, &below);
    EXPECT_EQ(SendMessageW(panel, WM_NCHITTEST, 0, MAKELPARAM(inStrip.x, inStrip.y)), HTCAPTION);
    EXPECT_NE(SendMessageW(panel, WM_NCHITTEST, 0, MAKELPARAM(below.x, below.y)), HTCAPTION);

    Click(tavrel::kIdFold);
    EXPECT_TRUE(m_dialog->m_bCollapsed);
    EXPECT_EQ(Check(tavrel::kIdFold), BST_CHECKED);
    EXPECT_EQ(WindowSize(panel).cx, c.folded);
    EXPECT_EQ(WindowSize(panel).cy, c.folded);
    GetClientRect(panel, &client);
    EXPECT_EQ(client.right, c.folded) << "the mini button has no border";
    EXPECT_NE(GetWindowLongW(panel, GWL_EXSTYLE) & WS_EX_LAYERED, 0);
    EXPECT_EQ(GetWindowLongW(panel, GWL_STYLE) & WS_BORDER, 0);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(panel, IDC_TITLE_TEXT)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(panel, tavrel::kIdRemote)));
    POINT anywhere{c.folded - 2, c.folded - 2};
    ClientToScreen(panel, &anywhere);
    EXPECT_EQ(SendMessageW(panel, WM_NCHITTEST, 0, MAKELPARAM(anywhere.x, anywhere.y)), HTCAPTION)
        << "the whole folded panel drags";
    // No shot of the folded button here: a layered window's picture cannot be read back
    // under Wine; the end-to-end panel test captures it from the X screen.

    // A long press only drags; a short one opens the panel flush with the right edge.
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    m_dialog->m_llPressTime = now.QuadPart - frequency.QuadPart;
    SendMessageW(panel, WM_NCLBUTTONUP, HTCAPTION, 0);
    EXPECT_TRUE(m_dialog->m_bCollapsed) << "a one-second press opened the panel";
    QueryPerformanceCounter(&now);
    m_dialog->m_llPressTime = now.QuadPart;
    SendMessageW(panel, WM_NCLBUTTONUP, HTCAPTION, 0);
    EXPECT_FALSE(m_dialog->m_bCollapsed);
    GetWindowRect(panel, &window);
    EXPECT_EQ(window.right, screen) << "not flush with the right edge";
    EXPECT_EQ(window.right - window.left, c.width);
    EXPECT_EQ(window.bottom - window.top, c.height);
    EXPECT_EQ(GetWindowLongW(panel, GWL_EXSTYLE) & WS_EX_LAYERED, 0);
    EXPECT_NE(GetWindowLongW(panel, GWL_STYLE) & WS_BORDER, 0);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(panel, tavrel::kIdRemote)));
    EXPECT_EQ(Check(tavrel::kIdFold), BST_UNCHECKED);

    // Fold and unfold through the button alone.
    Click(tavrel::kIdFold);
    Click(tavrel::kIdFold);
    EXPECT_FALSE(m_dialog->m_bCollapsed);
    EXPECT_EQ(WindowSize(panel).cx, c.width);
}

INSTANTIATE_TEST_SUITE_P(Scales, PanelLayoutTest,
                         ::testing::Values(LayoutCase{"One", L"1", 1.0f, 173, 279, 70},
                                           LayoutCase{"OnePointFour", L"1.4", 1.4f, 242, 390, 98}),
                         [](const ::testing::TestParamInfo<LayoutCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(PanelTest, RefusalsOfTheControlModes) {
    Build(L"1");
    Show();
    const std::wstring remoteOnly = L"원격 제어 상태일때 사용 가능한 기능입니다.";
    EXPECT_EQ(RefusalOf(tavrel::kIdKeyboard), remoteOnly);
    EXPECT_EQ(RefusalOf(tavrel::kIdMonitor), remoteOnly);

    g_bScreenUp = true;
    EXPECT_EQ(
        RefusalOf(tavrel::kIdRemote),
        L"화면 올림 상태에서는 원격제어가 불가능합니다.\n화면 올림을 중단한 후 실행해 주세요.");
    g_bScreenUp = false;

    m_dialog->Session().SetTeacherLinked(true);  // linked once, and the socket is gone
    EXPECT_EQ(RefusalOf(tavrel::kIdRemote), L"Vantor Teacher와 연결이 끊어진 상태입니다.");
    EXPECT_EQ(Check(tavrel::kIdRemote), BST_UNCHECKED);
    m_dialog->Session().SetTeacherLinked(false);

    // Only the pointer is looked at: it stands for a running remote viewer.
    int viewer = 0;
    m_dialog->m_info.m_pViewThread = reinterpret_cast<CWinThread*>(&viewer);
    EXPECT_EQ(
        RefusalOf(tavrel::kIdScreenUp),
        L"원격 제어 상태에서는 화면올림이 불가능합니다.\n원격 제어를 종료한 후 실행해 주세요.");
    EXPECT_FALSE(g_bScreenUp) << "screen up changed by a refused command";
    EXPECT_EQ(Check(tavrel::kIdScreenUp), BST_UNCHECKED);
    // Remote control without a viewer window: the monitor button does nothing.
    EXPECT_EQ(RefusalOf(tavrel::kIdMonitor, 20), L"");
    m_dialog->m_info.m_pViewThread = nullptr;
}

// The switches reach the lectern PC on the panel's own connection. An older lectern
// program never reports the new state, so the button flips at once; a recent one
// confirms it, and the button waits for that report.
TEST_F(PanelTest, BroadcastSwitchFollowsThePeerVersion) {
    Build(L"1");
    Show();
    ASSERT_TRUE(AfxSocketInit());
    UINT port = 0;
    const SOCKET listener = tcptest::PlainListener(port);
    auto accepted =
        std::async(std::launch::async, [listener] { return accept(listener, nullptr, nullptr); });
    ASSERT_TRUE(m_dialog->m_linkTeacher.Connect(u"127.0.0.1", static_cast<uint16_t>(port)));
    ASSERT_EQ(accepted.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    const SOCKET lectern = accepted.get();
    closesocket(listener);
    ASSERT_NE(lectern, INVALID_SOCKET);
    ASSERT_TRUE(tcptest::PumpUntil([&] { return m_dialog->m_linkTeacher.IsOpen(); }));
    m_dialog->Session().SetTeacherLinked(true);  // stands in for the lectern PC's greeting

    const struct {
        const char16_t* version;
        int checkAfter;
        const char16_t* sent;
    } presses[] = {
        {u"2.0.1.1027", BST_CHECKED, u"[RC00012]on"},
        {u"2.0.1.1027", BST_UNCHECKED, u"[RC00012]off"},
        {u"3.0.1.1004", BST_UNCHECKED, u"[RC00012]on"},
    };
    for (const auto& press : presses) {
        m_dialog->m_info.m_strPeerVersion = press.version;
        Click(tavrel::kIdBroadcast);
        EXPECT_EQ(Check(tavrel::kIdBroadcast), press.checkAfter);
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(m_dialog->m_hWnd, tavrel::kIdBroadcast)));
        CPacket packet;
        tcptest::CBlockingConnection connection(lectern);
        ASSERT_TRUE(ReadFrame(packet, connection)) << "nothing reached the lectern PC";
        EXPECT_TRUE(packet.m_strText == press.sent) << AfxToWide(packet.m_strText);
    }
    closesocket(lectern);
}

TEST_F(PanelTest, NoticesOfTheRemoteSession) {
    HWND panel = Build(L"1");
    Show();
    struct {
        UINT message;
        WPARAM marker;
        LPARAM value;
        int id;
        int check;
    } notices[] = {
        {kMsgTouchState, kMarker, 1, tavrel::kIdStudentTouch, BST_CHECKED},
        {kMsgTouchState, 0, 0, tavrel::kIdStudentTouch, BST_CHECKED},  // no marker: ignored
        {kMsgTouchState, kMarker, 2, tavrel::kIdStudentTouch, BST_UNCHECKED},
        {kMsgBroadcastState, kMarker, 1, tavrel::kIdBroadcast, BST_CHECKED},
        {kMsgBroadcastState, kMarker, 0, tavrel::kIdBroadcast, BST_UNCHECKED},
    };
    for (const auto& n : notices) {
        SendMessageW(panel, n.message, n.marker, n.value);
        EXPECT_EQ(Check(n.id), n.check) << n.message << " " << n.value;
    }
    HWND monitor = GetDlgItem(panel, tavrel::kIdMonitor);
    SendMessageW(panel, kMsgMonitorButton, kMarker, 0);
    EXPECT_FALSE(IsWindowVisible(monitor));
    SendMessageW(panel, kMsgMonitorButton, 0, 1);
    EXPECT_FALSE(IsWindowVisible(monitor)) << "no marker: ignored";
    SendMessageW(panel, kMsgMonitorButton, kMarker, 1);
    EXPECT_TRUE(IsWindowVisible(monitor));
    EXPECT_EQ(SendMessageW(panel, kWmIgnoredNoticeA, 0, 0), 1);
}

TEST_F(PanelTest, HidesOnRequestAndDocksAgainAfterADisplayChange) {
    HWND panel = Build(L"1");
    Show();
    m_dialog->ShowWindow(SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(panel)) << "the note tool must be able to hide the panel";
    m_dialog->ShowWindow(SW_SHOWNOACTIVATE);
    EXPECT_TRUE(IsWindowVisible(panel));

    // A smaller screen leaves the corner outside: the panel docks again. The screen
    // itself did not change, so docking uses the real width.
    const int screen = GetSystemMetrics(SM_CXSCREEN);
    SetWindowPos(panel, nullptr, screen - 100, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SendMessageW(panel, WM_DISPLAYCHANGE, 32, MAKELPARAM(screen, 600));
    RECT window;
    GetWindowRect(panel, &window);
    EXPECT_EQ(window.left, screen - 173);
    EXPECT_EQ(window.top, 0);
    // Fully on the screen: left where it is.
    SetWindowPos(panel, nullptr, 100, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SendMessageW(panel, WM_DISPLAYCHANGE, 32, MAKELPARAM(screen, 600));
    GetWindowRect(panel, &window);
    EXPECT_EQ(window.left, 100);
    EXPECT_EQ(window.top, 50);
}

}  // namespace
