// The log-in dialog on a real Win32 (Wine): where its controls are at two scale factors,
// its colours and fonts, the teacher-ID checks before any request, the status line, the
// topmost timer, and the lookup over HTTPS, then HTTP, with the endpoint it stores or
// recalls. The web requests go to a scripted stand-in of the login web server.
#include "framework/WinApp_win.h"
#include "login/LoginDlg_win.h"
#include "login/RelayLookup.h"
#include "resources/resource.h"
#include "shell/PumpMessages_win.h"
#include "shell/ScaleFactor.h"
#include "shell/SettingsStore_win.h"
#include "shell/SettingsValues.h"
#include "shell/TextUtil_win.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <future>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr wchar_t kTestRegistryRoot[] = L"Vantor Login LoginDlgTest";
constexpr wchar_t kTestRegistryTree[] = L"Software\\Vantor Login LoginDlgTest";
constexpr int kMessageTextLabel = 1099;  // the message box's hidden copy of its text
constexpr DWORD kSettleMs = 50;
constexpr DWORD kTopmostWaitMs = 1500;

const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

HttpReply Answer(const std::string& body) {
    HttpReply reply;
    reply.result = kHttpOk;
    reply.body = body;
    return reply;
}

HttpReply Failure(int32_t result) {
    HttpReply reply;
    reply.result = result;
    return reply;
}

// Stands in for the login web server: answers from a script, in order; once the
// script is used up every request fails as if the server could not be reached.
struct ScriptedServer {
    std::vector<HttpReply> script;
    std::vector<std::pair<std::wstring, std::wstring>> requests;

    CLoginDlg::RequestFunction Function() {
        return [this](const std::wstring& url, const std::wstring& form) {
            requests.emplace_back(url, form);
            const size_t next = requests.size() - 1;
            return next < script.size() ? script[next] : Failure(kHttpConnectFailed);
        };
    }
};

std::wstring ControlText(HWND dialog, int id) {
    wchar_t text[512] = {};
    GetDlgItemTextW(dialog, id, text, 512);
    return text;
}

RECT ClientRectOf(HWND dialog, int id) {
    RECT rect{};
    GetWindowRect(GetDlgItem(dialog, id), &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// The ID field has the focus, the dialog being the active window.
void ExpectFocusOnTeacherId(HWND dialog) {
    PumpMessages(kSettleMs);
    EXPECT_EQ(GetActiveWindow(), dialog);
    EXPECT_EQ(GetDlgItem(dialog, IDC_TEACHER_ID), GetFocus());
}

void Press(HWND dialog, int id) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Waits for the message box on another thread, returns its text and closes it.
std::future<std::wstring> CloseNextMessageBox() {
    return std::async(std::launch::async, [] {
        for (int i = 0; i < 1200; ++i) {
            HWND box = FindWindowW(L"#32770", L"Vantor Tavrel");
            if (box != nullptr && IsWindowVisible(box)) {
                const std::wstring text = ControlText(box, kMessageTextLabel);
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                return text;
            }
            Sleep(25);
        }
        return std::wstring(L"(no message box)");
    });
}

class LoginDlgTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_fSavedScale = g_fScaleFactor;
        g_fScaleFactor = 1.0f;
        m_app.SetRegistryKey(kTestRegistryRoot);
    }
    void TearDown() override {
        g_fScaleFactor = m_fSavedScale;
        RegDeleteTreeW(HKEY_CURRENT_USER, kTestRegistryTree);
    }

    // The dialog created modeless on this thread, shown, wired to the scripted server.
    void Open(CLoginDlg& dialog, const std::wstring& teacherId) {
        dialog.m_strTeacherId = teacherId;
        dialog.m_fnRequestUrl = m_server.Function();
        ASSERT_TRUE(dialog.Create());
        ShowWindow(dialog.m_hWnd, SW_SHOW);
        PumpMessages(kSettleMs);
    }

    std::wstring StoredTeacherId() {
        return ReadSettingText(Wide(tavrel::kSectionConfig), Wide(tavrel::kKeyTeacherId),
                               L"(none)");
    }

    CWinApp m_app{L"TavrelLoginTest"};
    ScriptedServer m_server;
    float m_fSavedScale = 0;
};

struct Box {
    int id;
    int x, y, width, height;
};
// Design places of the controls, and the dialog's own size.
const Box kDesignPlaces[] = {
    {IDC_LOGIN_TITLE, 6, 12, 287, 13},
    {IDC_LOGIN_STATUS, 23, 148, 334, 18},
    {IDC_TEACHER_ID, 132, 184, 194, 18},
    {IDC_LOGIN_ID_LABEL, 21, 186, 89, 12},
    {IDOK, 220, 260, 67, 34},
    {IDCANCEL, 289, 260, 67, 34},
    {IDC_LOGIN_CLOSE, 337, 0, 39, 34},
};

// The program's one rounding rule. (Written out here, the float product could keep the
// x87's extra precision and land one pixel lower than the program's: 220 × 1.4f.)
int Floor(int design, float scale) { return ScaledBy(design, scale); }

// Keeps the dialog on screen for screenshots when TAVREL_LOGIN_HOLD_MS is set: as it
// opens, then with a text in its status line.
void HoldForScreenshots(HWND dialog, float scale) {
    const char* hold = std::getenv("TAVREL_LOGIN_HOLD_MS");
    if (hold == nullptr) return;
    std::printf("LOGIN SHOWN %.1f\n", scale);
    std::fflush(stdout);
    PumpMessages(static_cast<DWORD>(std::atoi(hold)));
    SetDlgItemTextW(dialog, IDC_LOGIN_STATUS, AfxLoadString(IDS_LOGIN_BAD_TEACHER_ID).c_str());
    std::printf("LOGIN STATUS %.1f\n", scale);
    std::fflush(stdout);
    PumpMessages(static_cast<DWORD>(std::atoi(hold)));
}

class LoginLayoutTest : public LoginDlgTest, public ::testing::WithParamInterface<float> {};

TEST_P(LoginLayoutTest, ControlsSizesAndFontsFollowTheScale) {
    const float scale = GetParam();
    g_fScaleFactor = scale;
    CLoginDlg dialog;
    Open(dialog, L"teacher01");
    HWND hwnd = dialog.m_hWnd;

    RECT window;
    GetWindowRect(hwnd, &window);
    // The design size of the log-in dialog, written out apart from the program.
    EXPECT_EQ(Floor(378, scale), window.right - window.left);
    EXPECT_EQ(Floor(304, scale), window.bottom - window.top);
    for (const Box& box : kDesignPlaces) {
        const RECT rect = ClientRectOf(hwnd, box.id);
        EXPECT_EQ(Floor(box.x, scale), rect.left) << box.id;
        EXPECT_EQ(Floor(box.y, scale), rect.top) << box.id;
        EXPECT_EQ(Floor(box.width, scale), rect.right - rect.left) << box.id;
        EXPECT_EQ(Floor(box.height, scale), rect.bottom - rect.top) << box.id;
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(hwnd, box.id))) << box.id;
    }

    const std::wstring face = AfxLoadString(IDS_FONT_FACE);
    const struct {
        int id;
        int height;
    } fonts[] = {{IDC_LOGIN_TITLE, 13},
                 {IDC_LOGIN_STATUS, 12},
                 {IDC_TEACHER_ID, 12},
                 {IDC_LOGIN_ID_LABEL, 12}};
    for (const auto& font : fonts) {
        LOGFONTW logFont{};
        HFONT handle =
            reinterpret_cast<HFONT>(SendDlgItemMessageW(hwnd, font.id, WM_GETFONT, 0, 0));
        ASSERT_NE(handle, nullptr) << font.id;
        GetObjectW(handle, sizeof(logFont), &logFont);
        EXPECT_EQ(Floor(font.height, scale), logFont.lfHeight) << font.id;
        EXPECT_EQ(FW_BOLD, logFont.lfWeight) << font.id;
        EXPECT_EQ(face, logFont.lfFaceName) << font.id;
    }

    // The ID is in the edit, all of it selected, with the focus; the status line empty.
    EXPECT_EQ(L"teacher01", ControlText(hwnd, IDC_TEACHER_ID));
    DWORD start = 0, end = 0;
    SendDlgItemMessageW(hwnd, IDC_TEACHER_ID, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                        reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(0u, start);
    EXPECT_EQ(9u, end);
    ExpectFocusOnTeacherId(hwnd);
    EXPECT_EQ(L"", ControlText(hwnd, IDC_LOGIN_STATUS));
    EXPECT_EQ(L"Vantor Tavrel", ControlText(hwnd, IDC_LOGIN_TITLE));
    EXPECT_EQ(L"선생님 ID", ControlText(hwnd, IDC_LOGIN_ID_LABEL));
    HoldForScreenshots(hwnd, scale);
}

INSTANTIATE_TEST_SUITE_P(LoginScales, LoginLayoutTest, ::testing::Values(1.0f, 1.4f));

TEST_F(LoginDlgTest, ControlColours) {
    CLoginDlg dialog;
    Open(dialog, L"");
    HWND hwnd = dialog.m_hWnd;
    const struct {
        int id;
        UINT message;
        COLORREF text;
        bool transparent;
        COLORREF back;  // of the returned brush and the text background when opaque
    } cases[] = {
        {IDC_LOGIN_TITLE, WM_CTLCOLORSTATIC, RGB(3, 207, 227), true, 0},
        {IDC_LOGIN_ID_LABEL, WM_CTLCOLORSTATIC, RGB(15, 142, 230), true, 0},
        {IDC_LOGIN_STATUS, WM_CTLCOLORSTATIC, RGB(15, 142, 230), false, RGB(29, 36, 52)},
        {IDC_TEACHER_ID, WM_CTLCOLOREDIT, RGB(64, 163, 220), false, RGB(30, 29, 30)},
    };
    HDC dc = CreateCompatibleDC(nullptr);
    for (const auto& c : cases) {
        SetBkMode(dc, OPAQUE);
        const auto brush = reinterpret_cast<HBRUSH>(
            SendMessageW(hwnd, c.message, reinterpret_cast<WPARAM>(dc),
                         reinterpret_cast<LPARAM>(GetDlgItem(hwnd, c.id))));
        ASSERT_NE(brush, nullptr) << c.id;
        EXPECT_EQ(c.text, GetTextColor(dc)) << c.id;
        LOGBRUSH logBrush{};
        GetObjectW(brush, sizeof(logBrush), &logBrush);
        if (c.transparent) {
            EXPECT_EQ(TRANSPARENT, GetBkMode(dc)) << c.id;
            EXPECT_EQ(static_cast<UINT>(BS_NULL), logBrush.lbStyle) << c.id;
        } else {
            EXPECT_EQ(c.back, GetBkColor(dc)) << c.id;
            EXPECT_EQ(c.back, logBrush.lbColor) << c.id;
        }
    }
    DeleteDC(dc);
}

TEST_F(LoginDlgTest, PaintedStripLineAndBody) {
    CLoginDlg dialog;
    Open(dialog, L"");
    HWND hwnd = dialog.m_hWnd;
    SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PumpMessages(kSettleMs);
    const struct {
        int x, y;
        COLORREF colour;
    } points[] = {
        {300, 30, RGB(24, 30, 43)},  // title strip, right of the title
        {300, 38, RGB(0, 0, 0)},     // the line under the strip
        {10, 140, RGB(29, 36, 52)},  // body between banner and status line
        {10, 280, RGB(29, 36, 52)},  // body beside the buttons
    };
    HDC screen = GetDC(nullptr);
    for (const auto& p : points) {
        POINT at{p.x, p.y};
        ClientToScreen(hwnd, &at);
        // The tests run on a display of their own, so the screen can always be read.
        EXPECT_EQ(p.colour, GetPixel(screen, at.x, at.y)) << p.x << "," << p.y;
    }
    ReleaseDC(nullptr, screen);
}

TEST_F(LoginDlgTest, BadIdsAreRefusedBeforeAnyRequest) {
    const std::wstring twenty = L"abcdefghij0123456789";
    const struct {
        std::wstring typed;
        UINT message;
    } cases[] = {
        {L"", IDS_LOGIN_ID_EMPTY},
        {L"   ", IDS_LOGIN_ID_EMPTY},
        {L"t:01", IDS_LOGIN_ID_BAD_CHARS},
        {L"a\"b", IDS_LOGIN_ID_BAD_CHARS},
        {L"x/y", IDS_LOGIN_ID_BAD_CHARS},
        {twenty + L"1", IDS_LOGIN_ID_TOO_LONG},
        {L" " + twenty + L"12 ", IDS_LOGIN_ID_TOO_LONG},
    };
    WriteSettingText(Wide(tavrel::kSectionConfig), Wide(tavrel::kKeyTeacherId), L"kept");
    for (const auto& c : cases) {
        CLoginDlg dialog;
        Open(dialog, c.typed);
        auto shown = CloseNextMessageBox();
        Press(dialog.m_hWnd, IDOK);
        ASSERT_EQ(shown.wait_for(std::chrono::seconds(15)), std::future_status::ready);
        EXPECT_EQ(AfxLoadString(c.message), shown.get());
        EXPECT_TRUE(m_server.requests.empty()) << "nothing is sent for a refused ID";
        ASSERT_NE(dialog.m_hWnd, nullptr) << "the dialog stays open";
        ExpectFocusOnTeacherId(dialog.m_hWnd);
        EXPECT_EQ(L"", ControlText(dialog.m_hWnd, IDC_LOGIN_STATUS));
        EXPECT_EQ(L"kept", StoredTeacherId());
    }
}

// Everything that touches setting.ini next to the test program runs in this one test,
// so that parallel test processes never share the file.
TEST_F(LoginDlgTest, LookupRefusesStoresOrFallsBack) {
    const wchar_t* section = Wide(tavrel::kSectionDefault);
    const wchar_t* ipKey = Wide(tavrel::kKeyRelayIp);
    const wchar_t* portKey = Wide(tavrel::kKeyRelayPort);
    const std::wstring badTeacherId = AfxLoadString(IDS_LOGIN_BAD_TEACHER_ID);
    const struct {
        const char* name;
        std::vector<HttpReply> script;
        size_t requests;        // how many reached the server
        bool closes;            // closed with OK
        std::wstring status;    // status line when it stays open
        std::wstring ip, port;  // endpoint returned and found in setting.ini afterwards
    } cases[] = {
        {"refusal, code before message",
         {Answer("result:false\ncode:2\nmessage:unknown")},
         1,
         false,
         badTeacherId,
         L"",
         L""},
        {"refusal, message before code",
         {Answer("result:false\r\nmessage:unknown\r\ncode:2\r\n")},
         1,
         false,
         L"unknown",
         L"",
         L""},
        {"refusal without message", {Answer("result:false\ncode:1")}, 1, false, L"", L"", L""},
        {"answer over https",
         {Answer("  result:true\r\nrsip:10.0.0.5\r\nrsport:\"10240\"\r\n")},
         1,
         true,
         L"",
         L"10.0.0.5",
         L"10240"},
        {"answer over http",
         {Failure(kHttpBadStatus), Answer("rsip:10.0.0.6\nrsport:10241")},
         2,
         true,
         L"",
         L"10.0.0.6",
         L"10241"},
        {"server says 404",
         {Answer("result:false\ncode:404\nmessage:gone")},
         1,
         true,
         L"",
         L"10.0.0.6",
         L"10241"},
        {"server unreachable", {}, 2, true, L"", L"10.0.0.6", L"10241"},
        {"result in other case counts as answer",
         {Answer("Result:false\nrsip:10.0.0.7\nrsport:1")},
         1,
         true,
         L"",
         L"10.0.0.7",
         L"1"},
    };
    EnsureSettingIni();
    PrepareIniFile(Wide(tavrel::kSettingIniName), g_strSettingIniPath);
    WriteIniText(section, ipKey, L"10.0.0.1");
    WriteIniText(section, portKey, L"10001");

    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_server = ScriptedServer{c.script, {}};
        WriteSettingText(Wide(tavrel::kSectionConfig), Wide(tavrel::kKeyTeacherId), L"before");
        CLoginDlg dialog;
        Open(dialog, L"  t01 ");
        Press(dialog.m_hWnd, IDOK);

        ASSERT_EQ(c.requests, m_server.requests.size());
        const tavrel::LoginServerUrls urls = CLoginDlg::ConfiguredServerUrls();
        EXPECT_EQ(Wide(urls.https.c_str()), m_server.requests[0].first) << "HTTPS first";
        if (c.requests > 1) {
            EXPECT_EQ(Wide(urls.http.c_str()), m_server.requests[1].first);
            EXPECT_EQ(m_server.requests[0].second, m_server.requests[1].second);
        }
        // val2 is the digest of val1, ".", and the trimmed ID.
        const std::wstring& form = m_server.requests[0].second;
        const int tick = std::stoi(form.substr(5, form.find(L'&') - 5));
        const tavrel::LookupForm expected = tavrel::BuildLookupForm(tick, u"t01", "t01");
        EXPECT_EQ(Wide(expected.formText.c_str()), form);

        if (!c.closes) {
            ASSERT_NE(dialog.m_hWnd, nullptr);
            EXPECT_EQ(c.status, ControlText(dialog.m_hWnd, IDC_LOGIN_STATUS));
            EXPECT_EQ(L"before", StoredTeacherId());
            continue;
        }
        EXPECT_EQ(dialog.m_hWnd, nullptr) << "closed";
        EXPECT_EQ(c.ip, dialog.m_strRsIp);
        EXPECT_EQ(c.port, dialog.m_strRsPort);
        EXPECT_EQ(c.ip, ReadIniText(section, ipKey, L"", g_strSettingIniPath));
        EXPECT_EQ(c.port, ReadIniText(section, portKey, L"", g_strSettingIniPath));
        EXPECT_EQ(L"t01", dialog.m_strTeacherId);
        EXPECT_EQ(L"t01", StoredTeacherId());
    }

    // An answer without an endpoint (a portal's page delivered with status 200) does
    // not wipe the endpoint that the next fallback needs.
    m_server = ScriptedServer{{Answer("<html><body>Wi-Fi login</body></html>")}, {}};
    CLoginDlg dialog;
    Open(dialog, L"t01");
    Press(dialog.m_hWnd, IDOK);
    EXPECT_EQ(dialog.m_hWnd, nullptr);
    EXPECT_EQ(L"", dialog.m_strRsIp);
    EXPECT_EQ(L"10.0.0.7", ReadIniText(section, ipKey, L"", g_strSettingIniPath));
    EXPECT_EQ(L"1", ReadIniText(section, portKey, L"", g_strSettingIniPath));
}

// Counts the dialog's requests to be put above all other windows. (Whether the flag
// then sticks is the window manager's business: under Wine without one it may not.)
class WatchedLoginDlg : public CLoginDlg {
  public:
    int m_nTopmostRequests = 0;

  protected:
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
        if (message == WM_WINDOWPOSCHANGING) {
            const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
            if ((pos->flags & SWP_NOZORDER) == 0 && pos->hwndInsertAfter == HWND_TOPMOST) {
                ++m_nTopmostRequests;
            }
        }
        return CLoginDlg::OnMessage(message, wParam, lParam, result);
    }
};

TEST_F(LoginDlgTest, TopmostAfterTheTimerUnlessOkCameFirst) {
    WatchedLoginDlg waiting;
    Open(waiting, L"t01");
    EXPECT_EQ(0, waiting.m_nTopmostRequests) << "not before the timer";
    PumpMessages(kTopmostWaitMs);
    EXPECT_EQ(1, waiting.m_nTopmostRequests);
    EXPECT_FALSE(KillTimer(waiting.m_hWnd, CLoginDlg::kTopmostTimerId)) << "the timer stopped";
    PumpMessages(kTopmostWaitMs);
    EXPECT_EQ(1, waiting.m_nTopmostRequests) << "only once";

    // OK stops the timer for good, also when the dialog stays open after a refusal.
    m_server = ScriptedServer{{Answer("result:false\ncode:1\nmessage:no")}, {}};
    WatchedLoginDlg refused;
    Open(refused, L"t01");
    Press(refused.m_hWnd, IDOK);
    ASSERT_NE(refused.m_hWnd, nullptr);
    PumpMessages(kTopmostWaitMs);
    EXPECT_EQ(0, refused.m_nTopmostRequests);
    EXPECT_FALSE(KillTimer(refused.m_hWnd, CLoginDlg::kTopmostTimerId));
}

TEST_F(LoginDlgTest, InputDuringTheStatusPaint) {
    WriteSettingText(Wide(tavrel::kSectionConfig), Wide(tavrel::kKeyTeacherId), L"before");
    // Cancel pressed while the status line is painted: nothing is looked up or stored.
    CLoginDlg cancelled;
    Open(cancelled, L"t01");
    PostMessageW(cancelled.m_hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    Press(cancelled.m_hWnd, IDOK);
    EXPECT_EQ(cancelled.m_hWnd, nullptr);
    EXPECT_TRUE(m_server.requests.empty());
    EXPECT_EQ(L"before", StoredTeacherId());

    // A second OK meanwhile does not start a lookup inside the first.
    m_server = ScriptedServer{{Answer("result:false\ncode:2\nmessage:x")}, {}};
    CLoginDlg twice;
    Open(twice, L"t01");
    PostMessageW(twice.m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    Press(twice.m_hWnd, IDOK);
    EXPECT_EQ(1u, m_server.requests.size());
    ASSERT_NE(twice.m_hWnd, nullptr);
    EXPECT_EQ(AfxLoadString(IDS_LOGIN_BAD_TEACHER_ID), ControlText(twice.m_hWnd, IDC_LOGIN_STATUS));
}

HWND FindLoginDialog() {
    for (int i = 0; i < 1200; ++i) {
        HWND found = nullptr;
        while ((found = FindWindowExW(nullptr, found, L"#32770", nullptr)) != nullptr) {
            if (GetDlgItem(found, IDC_TEACHER_ID) != nullptr && IsWindowVisible(found)) {
                return found;
            }
        }
        Sleep(25);
    }
    return nullptr;
}

TEST_F(LoginDlgTest, ModalResultsOfCloseAndCancel) {
    WriteSettingText(Wide(tavrel::kSectionConfig), Wide(tavrel::kKeyTeacherId), L"before");
    const struct {
        int press;
        INT_PTR result;
    } cases[] = {{IDC_LOGIN_CLOSE, IDCANCEL}, {IDCANCEL, IDCANCEL}};
    for (const auto& c : cases) {
        auto result = std::async(std::launch::async, [] {
            CLoginDlg dialog;
            dialog.m_strTeacherId = L"t01";
            dialog.m_fnRequestUrl = [](const std::wstring&, const std::wstring&) {
                return Answer("rsip:1.1.1.1\nrsport:1");
            };
            return dialog.DoModal();
        });
        HWND hwnd = FindLoginDialog();
        ASSERT_NE(hwnd, nullptr);
        PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(c.press, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(hwnd, c.press)));
        ASSERT_EQ(result.wait_for(std::chrono::seconds(15)), std::future_status::ready);
        EXPECT_EQ(c.result, result.get()) << c.press;
        EXPECT_EQ(L"before", StoredTeacherId()) << "nothing is written on cancel";
    }
}

TEST_F(LoginDlgTest, LoginServerFromConfigIni) {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const std::wstring path = std::wstring(folder) + L"tavrel-login-config.ini";
    const std::wstring saved = g_strConfigIniPath;
    g_strConfigIniPath = path;
    const std::wstring lookup = Wide(tavrel::kLookupPath);
    const struct {
        const wchar_t* https;
        const wchar_t* http;
        std::wstring expectedHttps;
        std::wstring expectedHttp;
    } cases[] = {
        {nullptr, nullptr, Wide(tavrel::kDefaultLoginHttpsBase) + lookup,
         Wide(tavrel::kDefaultLoginHttpBase) + lookup},
        {L"https://127.0.0.1:8443", L"http://127.0.0.1:8080", L"https://127.0.0.1:8443" + lookup,
         L"http://127.0.0.1:8080" + lookup},
        {L"https://127.0.0.1:8443/", nullptr, L"https://127.0.0.1:8443" + lookup,
         L"http://127.0.0.1:8443" + lookup},
    };
    for (const auto& c : cases) {
        DeleteFileW(path.c_str());
        WritePrivateProfileStringW(L"default", L"loginhttps", c.https, path.c_str());
        WritePrivateProfileStringW(L"default", L"loginhttp", c.http, path.c_str());
        const tavrel::LoginServerUrls urls = CLoginDlg::ConfiguredServerUrls();
        EXPECT_EQ(c.expectedHttps, Wide(urls.https.c_str()));
        EXPECT_EQ(c.expectedHttp, Wide(urls.http.c_str()));
    }
    DeleteFileW(path.c_str());
    g_strConfigIniPath = saved;
}

}  // namespace
