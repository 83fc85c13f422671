#include "notetool/NoteThread_win.h"

#include "notetool/NoteToolDlg_win.h"
#include "shell/ProgramMessages.h"

#include <memory>

namespace {

constexpr wchar_t kHostCaption[] = L"Note Thread";
constexpr int kHostSize = 100;

}  // namespace

// ---------------------------------------------------------------- host window

CNoteThreadWnd::CNoteThreadWnd(HWND mainDialog, std::atomic<HWND>* palette)
    : m_hMainDialog(mainDialog), m_pPaletteHandle(palette) {}

bool CNoteThreadWnd::CreatePalette() {
    auto palette = std::make_unique<CNoteToolDlg>(m_hMainDialog, m_pPaletteHandle);
    if (!palette->Create(nullptr)) return false;
    m_pPalette = palette.release();
    // Made hidden at its place; this shows it there.
    ::SendMessageW(m_pPalette->m_hWnd, kWmNotePlaceAndShow, 0, 0);
    return true;
}

LRESULT CNoteThreadWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            // The thread ends with its host window.
            ::PostQuitMessage(0);
            ::DestroyWindow(m_hWnd);
            return 0;
        case WM_DESTROY: {
            const LRESULT result = CFrameWnd::WindowProc(message, wParam, lParam);
            if (m_pPalette != nullptr) {
                m_pPalette->DestroyWindow();
                delete m_pPalette;
                m_pPalette = nullptr;
            }
            return result;
        }
        case WM_ERASEBKGND: {
            RECT client;
            ::GetClientRect(m_hWnd, &client);
            ::FillRect(reinterpret_cast<HDC>(wParam), &client,
                       static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
            return 1;
        }
        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize.x = kHostSize;
            info->ptMinTrackSize.y = kHostSize;
            return 0;
        }
        case WM_SETCURSOR:
            return TRUE;
        default:
            return CFrameWnd::WindowProc(message, wParam, lParam);
    }
}

// ---------------------------------------------------------------- thread

CNoteThread::CNoteThread(HWND mainDialog, std::atomic<HWND>* palette)
    : m_hMainDialog(mainDialog), m_pPaletteHandle(palette) {}

BOOL CNoteThread::InitInstance() {
    auto* host = new CNoteThreadWnd(m_hMainDialog, m_pPaletteHandle);
    const RECT place{0, 0, kHostSize, kHostSize};
    // Never shown: it only holds the palette and ends the thread.
    if (!host->Create(nullptr, kHostCaption,
                      WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN, place)) {
        delete host;
        return FALSE;
    }
    m_pMainWnd = host;
    host->CreatePalette();
    return TRUE;
}

BOOL CNoteThread::OnThreadMessage(const MSG& message) {
    if (message.message != kWmThreadClose) return FALSE;
    if (m_pMainWnd != nullptr && m_pMainWnd->m_hWnd != nullptr)
        ::SendMessageW(m_pMainWnd->m_hWnd, WM_CLOSE, 0, 0);
    else
        ::PostQuitMessage(0);
    return TRUE;
}

BOOL CNoteThread::PreTranslateMessage(MSG* message) {
    // The palette is modeless: Enter, Esc and Tab reach it only through this.
    HWND palette = m_pPaletteHandle->load();
    return palette != nullptr && ::IsDialogMessageW(palette, message);
}
