#include "panel/TavrelDlg_win.h"

#include "resources/resource.h"
#include "shell/AboutDlg_win.h"
#include "shell/TestHooks_win.h"

namespace {
constexpr UINT kSysCommandMask = 0xFFF0;
}

volatile bool g_bScreenUp = false;
volatile bool g_bSoundUp = false;
CTavrelDlg* g_pMainDlg = nullptr;

CTavrelDlg::CTavrelDlg(CWnd* parent) : CDialogEx(IDD_VANTORTAVREL_DIALOG, parent) {}

CTavrelDlg::~CTavrelDlg() {
    if (g_pMainDlg == this) g_pMainDlg = nullptr;
}

void CTavrelDlg::OnOK() {}  // Enter must not close the program without asking

void CTavrelDlg::OnCancel() { EndDialog(IDCANCEL); }

BOOL CTavrelDlg::OnInitDialog() {
    HMENU systemMenu = ::GetSystemMenu(m_hWnd, FALSE);
    const std::wstring aboutText = AfxLoadString(IDS_ABOUTBOX);
    if (systemMenu != nullptr && !aboutText.empty()) {
        ::AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuW(systemMenu, MF_STRING, IDM_ABOUTBOX, aboutText.c_str());
    }
    m_hIcon = ::LoadIconW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME));
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    SetDlgItemText(IDC_PLACEHOLDER_TEXT, AfxLoadString(IDS_PLACEHOLDER_READY).c_str());
    TestHookMainDialogShown(m_hWnd);
    return TRUE;
}

void CTavrelDlg::OnSysCommand(UINT id, LPARAM) {
    if ((id & kSysCommandMask) == IDM_ABOUTBOX) {
        CAboutDlg about(this);
        about.DoModal();
    }
}
