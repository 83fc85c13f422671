#include "shell/TavrelApp_win.h"

#include "panel/TavrelDlg_win.h"
#include "protocol/CryptoApiEngine_win.h"
#include "resources/resource.h"
#include "shell/CrashHandler_win.h"
#include "shell/InstanceGuard_win.h"
#include "shell/Language_win.h"
#include "shell/NetworkStartup_win.h"
#include "shell/OsVersion_win.h"
#include "shell/StartupRules.h"
#include "widgets/ShowMessageBox_win.h"

#include <commctrl.h>
#include <objbase.h>

namespace {
constexpr DWORD kCommonControlClasses = ICC_WIN95_CLASSES;
constexpr wchar_t kNetworkInitFailed[] = L"An error occurred while initializing ENet.\n";
constexpr wchar_t kSystemDialogClass[] = L"#32770";
}  // namespace

CTavrelApp::CTavrelApp() {
    // Detected once, before start-up, as the checks of InitInstance rely on it.
    OsVersion version = DetectOsVersion();
    m_nOsMajor = version.major;
    m_nOsMinor = version.minor;
    m_nOsPlatform = version.platformId;
}

BOOL CTavrelApp::InitInstance() {
    InstallCrashHandler();

    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = kCommonControlClasses;
    InitCommonControlsEx(&controls);

    m_bComStarted = SUCCEEDED(CoInitialize(nullptr));
    // The system's MD5 and RC4 are offered to every scrambler; each still checks them
    // against the known answer before use.
    InstallCryptoApiEngine();

    if (InitNetworkLibrary() != 0) {
        AfxMessageBox(kNetworkInitFailed);
        return FALSE;
    }
    m_bNetworkStarted = true;

    CWinApp::InitInstance();

    if (!AfxSocketInit()) {
        AfxMessageBox(IDS_SOCKETS_INIT_FAILED);
        return FALSE;
    }

    RegisterDialogClass();
    AfxEnableControlContainer();

    SetRegistryKey(AfxToWide(tavrel::kRegistryRoot).c_str());
    g_strLanguage = GetProfileString(AfxToWide(tavrel::kConfigSection).c_str(),
                                     AfxToWide(tavrel::kLanguageKey).c_str(),
                                     AfxToWide(tavrel::kDefaultLanguage).c_str());
    m_strMessage = AfxToWide(tavrel::LanguageModulePath(AfxToU16(g_strLanguage)));
    ChooseResourceModule(g_strLanguage);

    if (!CheckOperatingSystem()) return FALSE;

    ParseCommandLine(m_cmdInfo);

    m_bCounted = true;
    if (IncrementInstanceCount() > 1) {
        // Another instance runs: leave without a word, it is already on screen.
        return FALSE;
    }

    CTavrelDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}

int CTavrelApp::ExitInstance() {
    if (m_bNetworkStarted) {
        DeinitNetworkLibrary();
        m_bNetworkStarted = false;
    }
    if (m_bComStarted) {
        CoUninitialize();
        m_bComStarted = false;
    }
    if (m_bCounted) {
        DecrementInstanceCount();
        m_bCounted = false;
    }
    return CWinApp::ExitInstance();
}

bool CTavrelApp::CheckOperatingSystem() {
    if (tavrel::IsSupportedOperatingSystem(m_nOsMajor, m_nOsMinor, m_nOsPlatform)) return true;
    m_strMessage = AfxLoadString(IDS_OS_NOT_SUPPORTED);
    ShowMessageBox(m_strMessage.c_str(), AfxToWide(tavrel::kProgramName).c_str(), MB_OK);
    return false;
}

void CTavrelApp::RegisterDialogClass() {
    // The main dialog's template names this class: the system dialog class under the
    // program's name, so that the window can be found by class.
    WNDCLASSW wndClass{};
    GetClassInfoW(AfxGetInstanceHandle(), kSystemDialogClass, &wndClass);
    wndClass.hInstance = AfxGetInstanceHandle();
    const std::wstring className = AfxToWide(tavrel::kProgramName);
    wndClass.lpszClassName = className.c_str();
    AfxRegisterClass(&wndClass);
}
