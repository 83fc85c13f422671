#include "framework/FrameWnd_win.h"

#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <tuple>

// The system's default position with a modest size (a default size cannot be given
// as a rectangle).
const RECT CFrameWnd::rectDefault = {CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT + 640,
                                     CW_USEDEFAULT + 480};

namespace {
std::mutex g_classLock;
}

const wchar_t* AfxRegisterWndClass(UINT classStyle, HCURSOR cursor, HBRUSH background, HICON icon) {
    using Key = std::tuple<UINT, HCURSOR, HBRUSH, HICON>;
    // Names live as long as the process; map nodes never move.
    static std::map<Key, std::wstring> names;
    std::lock_guard<std::mutex> hold(g_classLock);
    const Key key{classStyle, cursor, background, icon};
    auto found = names.find(key);
    if (found != names.end()) return found->second.c_str();
    wchar_t name[96];
    std::swprintf(name, 96, L"TavrelWnd:%x:%p:%p:%p", classStyle, static_cast<void*>(cursor),
                  static_cast<void*>(background), static_cast<void*>(icon));
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = classStyle;
    wc.lpfnWndProc = ::DefWindowProcW;  // CreateEx puts the object's procedure in place
    wc.hInstance = AfxGetInstanceHandle();
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.hIcon = icon;
    wc.lpszClassName = name;
    if (::RegisterClassExW(&wc) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return nullptr;
    return names.emplace(key, name).first->second.c_str();
}

BOOL CFrameWnd::Create(const wchar_t* className, const wchar_t* windowName, DWORD style,
                       const RECT& rect, DWORD exStyle) {
    if (className == nullptr) className = AfxRegisterWndClass(0, ::LoadCursorW(nullptr, IDC_ARROW));
    if (className == nullptr) return FALSE;
    return CreateEx(exStyle, className, windowName, style, rect, nullptr, 0);
}

LRESULT CFrameWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        ::DestroyWindow(m_hWnd);
        return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}
