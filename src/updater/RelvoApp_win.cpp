#include "updater/RelvoApp_win.h"

#include "resources/UpdaterResource.h"
#include "shell/ConsoleUser_win.h"
#include "updater/RelvoDlg_win.h"
#include "updater/UpdaterHost_win.h"
#include "updater/UpdaterTestHooks_win.h"
#include "widgets/GdiPlus_win.h"

#include <commctrl.h>
#include <winsock2.h>

#include <cstring>

// The counter lives in a data section that the loader maps shared between every
// process of this image, changed only with interlocked operations: two updaters
// started at the same moment cannot both count themselves first.
#if defined(_MSC_VER)
#pragma data_seg(".vtush")
volatile LONG g_nUpdaterInstanceCount = 0;
#pragma data_seg()
#pragma comment(linker, "/SECTION:.vtush,RWS")
#else
volatile LONG g_nUpdaterInstanceCount __attribute__((section(".vtush"), shared)) = 0;
#endif

LONG IncrementUpdaterInstanceCount() { return InterlockedIncrement(&g_nUpdaterInstanceCount); }

void DecrementUpdaterInstanceCount() { InterlockedDecrement(&g_nUpdaterInstanceCount); }

DWORD UpdaterInstanceSectionFlags(HMODULE image) {
    const auto* base = reinterpret_cast<const BYTE*>(image);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        if (std::memcmp(section->Name, ".vtush", 6) == 0) return section->Characteristics;
    }
    return 0;
}

namespace {
// Every class of the common controls.
constexpr DWORD kAllCommonControlClasses = 0xFF;
constexpr WORD kSocketsVersion = MAKEWORD(2, 2);
}  // namespace

CRelvoApp::CRelvoApp() = default;

CRelvoApp::~CRelvoApp() = default;

BOOL CRelvoApp::InitInstance() {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = kAllCommonControlClasses;
    InitCommonControlsEx(&controls);
    CWinApp::InitInstance();

    WSADATA data{};
    if (WSAStartup(kSocketsVersion, &data) != 0) {
        AfxMessageBox(IDS_UPD_SOCKETS_FAILED);
        return FALSE;
    }
    m_bSocketsStarted = true;

    m_pGdiPlus = std::make_unique<CGdiPlusSession>();
    if (!m_pGdiPlus->Started()) return FALSE;

    // The console user's settings when there is one, else the current user's, else
    // Korean. Only the title font follows the language; the texts stay Korean.
    m_strLanguage = ReadUpdaterLanguage(ConsoleUserSid());
    if (m_strLanguage.empty()) m_strLanguage = L"Kor";
    m_nMessageOffset = 0;
    m_hStringResource = AfxGetResourceHandle();

    m_bCounted = true;
    m_bSecondInstance = IncrementUpdaterInstanceCount() > 1;

    CRelvoDlg::Options options;
    options.language = m_strLanguage;
    options.messageOffset = m_nMessageOffset;
    options.secondInstance = m_bSecondInstance;
    options.periods = UpdaterTestPeriods();
    CRelvoDlg dialog(options);
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}

int CRelvoApp::ExitInstance() {
    if (m_bCounted) {
        DecrementUpdaterInstanceCount();
        m_bCounted = false;
    }
    m_pGdiPlus.reset();
    if (m_bSocketsStarted) {
        WSACleanup();
        m_bSocketsStarted = false;
    }
    return CWinApp::ExitInstance();
}
