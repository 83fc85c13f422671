#include <winsock2.h>

#include "framework/Afx_win.h"

#include "framework/WinApp_win.h"
#include "framework/Wnd_win.h"

#include <cstdlib>

namespace {
CWinApp* g_pApp = nullptr;
HINSTANCE g_hResource = nullptr;
}  // namespace

void AfxSetApp(CWinApp* app) { g_pApp = app; }

CWinApp* AfxGetApp() { return g_pApp; }

HINSTANCE AfxGetInstanceHandle() {
    if (g_pApp != nullptr && g_pApp->m_hInstance != nullptr) return g_pApp->m_hInstance;
    return GetModuleHandleW(nullptr);
}

HINSTANCE AfxGetResourceHandle() {
    return g_hResource != nullptr ? g_hResource : AfxGetInstanceHandle();
}

void AfxSetResourceHandle(HINSTANCE module) { g_hResource = module; }

std::wstring AfxLoadString(UINT id) {
    // With a zero buffer size LoadStringW hands out a pointer into the resource itself,
    // so texts of any length come back whole.
    const wchar_t* text = nullptr;
    int length = LoadStringW(AfxGetResourceHandle(), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || text == nullptr) return std::wstring();
    return std::wstring(text, static_cast<size_t>(length));
}

int AfxMessageBox(const wchar_t* text, UINT type) {
    const wchar_t* caption = L"";
    if (g_pApp != nullptr) caption = g_pApp->m_strAppName.c_str();
    HWND owner = nullptr;
    if (g_pApp != nullptr && g_pApp->m_pMainWnd != nullptr) owner = g_pApp->m_pMainWnd->m_hWnd;
    return MessageBoxW(owner, text, caption, type);
}

int AfxMessageBox(UINT stringId, UINT type) {
    return AfxMessageBox(AfxLoadString(stringId).c_str(), type);
}

BOOL AfxRegisterClass(WNDCLASSW* wndClass) {
    WNDCLASSW existing{};
    if (GetClassInfoW(wndClass->hInstance, wndClass->lpszClassName, &existing)) return TRUE;
    return RegisterClassW(wndClass) != 0;
}

namespace {
bool g_bSocketsStarted = false;
void CleanupSockets() {
    if (g_bSocketsStarted) WSACleanup();
}
}  // namespace

BOOL AfxSocketInit() {
    if (g_bSocketsStarted) return TRUE;
    WSADATA data{};
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return FALSE;
    if (LOBYTE(data.wVersion) != 2) {
        WSACleanup();
        return FALSE;
    }
    g_bSocketsStarted = true;
    atexit(CleanupSockets);
    return TRUE;
}

void AfxEnableControlContainer() {
    // The program hosts no ActiveX controls; nothing to prepare.
}
