#include "panel/TavrelDlg_win.h"
#include "remote/RemoteLauncher_win.h"
#include "screenup/ScreenUpLauncher_win.h"
#include "soundup/SoundUpLauncher_win.h"

#include "login/LoginDlg_win.h"
#include "panel/PanelGeometry.h"
#include "resources/resource.h"
#include "shell/AboutDlg_win.h"
#include "shell/ProgramMessages.h"
#include "shell/ProgramPath_win.h"
#include "shell/SettingsStore_win.h"
#include "shell/SettingsValues.h"
#include "shell/StartupRules.h"
#include "shell/TestHooks_win.h"
#include "widgets/GdiPlus_win.h"

namespace {
constexpr UINT kSysCommandMask = 0xFFF0;

constexpr wchar_t kErrorCaption[] = L"Error";

}  // namespace

std::atomic<bool> g_bScreenUp{false};
std::atomic<bool> g_bSoundUp{false};
CTavrelDlg* g_pMainDlg = nullptr;

CTavrelDlg::CTavrelDlg(CWnd* parent) : CDialogEx(IDD_VANTORTAVREL_DIALOG, parent) {
    CreateSession();
}

CTavrelDlg::~CTavrelDlg() {
    if (g_pMainDlg == this) g_pMainDlg = nullptr;
}

// Enter asks before ending; Esc and the close button end at once while nothing shows.
void CTavrelDlg::OnOK() { OnExitRequest(IDOK); }

void CTavrelDlg::OnCancel() { OnExitRequest(IDCANCEL); }

BOOL CTavrelDlg::OnInitDialog() {
    m_bShowPanel = false;
    ShowWindow(SW_HIDE);
    SetWindowText(AfxToWide(tavrel::kProgramName).c_str());
    RegisterHighDpiLayer(ModulePath().c_str(), AfxToWide(tavrel::kHighDpiAwareFlag).c_str());
    PrepareIniFile(AfxToWide(tavrel::kConfigIniName).c_str(), g_strConfigIniPath);
    EnsureSettingIni();
    PrepareIniFile(AfxToWide(tavrel::kSettingIniName).c_str(), g_strSettingIniPath);
    m_linkRelay.SetOwner(m_hWnd);
    m_linkTeacher.SetOwner(m_hWnd);
    LoadStoredRelayEndpoint();
    ComputeScaleFactor();
    CreatePanelControls();

    HMENU systemMenu = ::GetSystemMenu(m_hWnd, FALSE);
    const std::wstring aboutText = AfxLoadString(IDS_ABOUTBOX);
    if (systemMenu != nullptr && !aboutText.empty()) {
        ::AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuW(systemMenu, MF_STRING, IDM_ABOUTBOX, aboutText.c_str());
    }
    m_hIcon = ::LoadIconW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME));
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    m_pGdiPlus = std::make_unique<CGdiPlusSession>();
    if (!m_pGdiPlus->Started()) {
        ::MessageBoxW(m_hWnd, AfxLoadString(IDS_GDIPLUS_INIT_FAILED).c_str(), kErrorCaption, MB_OK);
        return TRUE;
    }
    // The crash-test build breaks in here, while the log-in is on screen.
    TestHookMainDialogShown(m_hWnd);
    if (!m_bWithoutSession && !m_pSession->Begin()) {
        ::PostQuitMessage(0);
        return TRUE;
    }
    DockPanel();
    LayoutButtons();
    SetButtonTooltips();
    StartKeepOnTop();
    g_pMainDlg = this;
    return TRUE;
}

void CTavrelDlg::LoadStoredRelayEndpoint() {
    tavrel::RelayEndpointSetting endpoint = tavrel::RelayEndpointWithoutFile();
    if (::GetFileAttributesW(g_strSettingIniPath.c_str()) != INVALID_FILE_ATTRIBUTES) {
        const std::wstring section = AfxToWide(tavrel::kSectionDefault);
        const std::wstring ipKey = AfxToWide(tavrel::kKeyRelayIp);
        const std::wstring portKey = AfxToWide(tavrel::kKeyRelayPort);
        endpoint = tavrel::ResolveStartupRelayEndpoint(
            AfxToU16(ReadIniText(section.c_str(), ipKey.c_str(),
                                 AfxToWide(tavrel::kUnsetRelayIp).c_str(), g_strSettingIniPath)),
            AfxToU16(ReadIniText(section.c_str(), portKey.c_str(),
                                 AfxToWide(tavrel::kUnsetRelayPort).c_str(), g_strSettingIniPath)));
        if (endpoint.writeIp)
            WriteIniText(section.c_str(), ipKey.c_str(), AfxToWide(endpoint.ip).c_str());
        if (endpoint.writePort)
            WriteIniText(section.c_str(), portKey.c_str(), AfxToWide(endpoint.port).c_str());
    }
    m_pSession->SetRelayEndpoint(endpoint.ip, endpoint.port);
}

bool CTavrelDlg::LogIn(LoginOutcome& outcome) {
    const std::wstring section = AfxToWide(tavrel::kSectionConfig);
    const std::wstring key = AfxToWide(tavrel::kKeyTeacherId);
    CLoginDlg login(this);
    login.m_strTeacherId = ReadSettingText(section.c_str(), key.c_str(), L"");
    if (login.DoModal() != IDOK) return false;
    // The dialog hands the ID back trimmed; it is stored as the session will use it.
    outcome.teacherId = AfxToU16(login.m_strTeacherId);
    outcome.relayIp = AfxToU16(login.m_strRsIp);
    outcome.relayPort = AfxToU16(login.m_strRsPort);
    WriteSettingText(section.c_str(), key.c_str(), login.m_strTeacherId.c_str());
    return true;
}

void CTavrelDlg::OnSysCommand(UINT id, LPARAM) {
    if ((id & kSysCommandMask) == IDM_ABOUTBOX) {
        CAboutDlg about(this);
        about.DoModal();
    }
}

BOOL CTavrelDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
        case WM_COMMAND: {
            const UINT id = LOWORD(wParam);
            if (HIWORD(wParam) != BN_CLICKED) return FALSE;
            if (id == IDOK || id == IDCANCEL || id == tavrel::kIdClose) return OnExitRequest(id);
            return OnPanelCommand(id);
        }
        case WM_CLOSE:
            return OnExitRequest(IDCANCEL);
        case WM_PAINT:
            PaintPanel();
            return TRUE;
        case WM_CTLCOLORSTATIC:
            result =
                OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
            return result != 0;
        case WM_QUERYDRAGICON:
            result = reinterpret_cast<LRESULT>(m_hIcon);
            return TRUE;
        case WM_NCHITTEST:
            return OnNcHitTest(lParam, result);
        case WM_NCLBUTTONDOWN:
            OnNcLButtonDown();
            return FALSE;  // the default handling drags the panel
        case WM_NCLBUTTONUP:
            OnNcLButtonUp();
            return FALSE;
        case WM_NCMOUSEMOVE:
            OnNcMouseMove();
            return FALSE;
        case WM_WINDOWPOSCHANGING:
            OnWindowPosChanging(reinterpret_cast<WINDOWPOS*>(lParam));
            return FALSE;
        case WM_DISPLAYCHANGE:
            OnDisplayChange(LOWORD(lParam), HIWORD(lParam));
            return TRUE;
        case WM_TIMER:
            if (wParam == kTimerKeepOnTop) {
                KeepOnTop();
                return TRUE;
            }
            return OnSessionMessage(message, wParam, lParam, result);
        case kWmTouchStateNotice:
            OnPadStateNotice(tavrel::kIdStudentTouch, wParam, lParam);
            return TRUE;
        case kWmBroadcastStateNotice:
            OnPadStateNotice(tavrel::kIdBroadcast, wParam, lParam);
            return TRUE;
        case kWmMonitorButtonNotice:
            OnMonitorButtonNotice(wParam, lParam);
            return TRUE;
        case kWmIgnoredNoticeA:
        case kWmIgnoredNoticeB:
            result = 1;
            return TRUE;
        case WM_DESTROY:
            OnSessionDestroy();
            OnPanelDestroy();
            m_pGdiPlus.reset();  // last: the session's windows may still draw until here
            return FALSE;
        default:
            return OnSessionMessage(message, wParam, lParam, result);
    }
}
