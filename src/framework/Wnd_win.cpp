#include "framework/Wnd_win.h"

std::wstring CWnd::GetWindowText() const {
    int length = ::GetWindowTextLengthW(m_hWnd);
    if (length <= 0) return std::wstring();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    int copied = ::GetWindowTextW(m_hWnd, &text[0], length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

namespace {
constexpr wchar_t kObjectProperty[] = L"TavrelCWnd";

// The window being created by CreateEx on this thread, handed to the creation hook.
thread_local CWnd* t_pCreating = nullptr;
thread_local HHOOK t_hCreateHook = nullptr;

LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && t_pCreating != nullptr) {
        CWnd* wnd = t_pCreating;
        t_pCreating = nullptr;
        wnd->SubclassWindow(reinterpret_cast<HWND>(wParam));
    }
    return ::CallNextHookEx(t_hCreateHook, code, wParam, lParam);
}
}  // namespace

CWnd* CWnd::FromHandlePermanent(HWND hwnd) {
    return static_cast<CWnd*>(::GetPropW(hwnd, kObjectProperty));
}

BOOL CWnd::SubclassWindow(HWND hwnd) {
    if (hwnd == nullptr || m_hWnd != nullptr || FromHandlePermanent(hwnd) != nullptr) return FALSE;
    if (!::SetPropW(hwnd, kObjectProperty, this)) return FALSE;
    m_hWnd = hwnd;
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::SubclassProc)));
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
    return SubclassWindow(::GetDlgItem(parent->m_hWnd, static_cast<int>(id)));
}

HWND CWnd::UnsubclassWindow() {
    HWND hwnd = m_hWnd;
    if (hwnd == nullptr) return nullptr;
    if (m_pfnSuper != nullptr) {
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    }
    ::RemovePropW(hwnd, kObjectProperty);
    m_pfnSuper = nullptr;
    m_hWnd = nullptr;
    return hwnd;
}

BOOL CWnd::CreateEx(DWORD exStyle, const wchar_t* className, const wchar_t* windowName, DWORD style,
                    const RECT& rect, CWnd* parent, UINT id) {
    t_pCreating = this;
    t_hCreateHook = ::SetWindowsHookExW(WH_CBT, &CreationHook, nullptr, ::GetCurrentThreadId());
    HWND parentHwnd = parent != nullptr ? parent->m_hWnd : nullptr;
    HMENU menuOrId =
        (style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)) : nullptr;
    HWND hwnd = ::CreateWindowExW(exStyle, className, windowName, style, rect.left, rect.top,
                                  rect.right - rect.left, rect.bottom - rect.top, parentHwnd,
                                  menuOrId, AfxGetInstanceHandle(), nullptr);
    ::UnhookWindowsHookEx(t_hCreateHook);
    t_hCreateHook = nullptr;
    t_pCreating = nullptr;
    if (hwnd == nullptr) {
        m_hWnd = nullptr;
        return FALSE;
    }
    if (m_hWnd == nullptr) SubclassWindow(hwnd);  // the hook did not see it
    return TRUE;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProc(message, wParam, lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_pfnSuper != nullptr) {
        return ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
    }
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CALLBACK CWnd::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* wnd = FromHandlePermanent(hwnd);
    if (wnd == nullptr) return ::DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        LRESULT result = wnd->DefWindowProc(message, wParam, lParam);
        wnd->UnsubclassWindow();
        wnd->PostNcDestroy();
        return result;
    }
    return wnd->WindowProc(message, wParam, lParam);
}
