#include "widgets/ImageButton_win.h"

#include "widgets/GdiPlus_win.h"

#include <commctrl.h>

CImageButton::~CImageButton() { DeletePictures(); }

void CImageButton::LoadBitmaps(UINT normal, UINT hover, UINT disabled, UINT checked) {
    DeletePictures();
    HINSTANCE module = AfxGetResourceHandle();
    // Each state owns its own handle, even when ids repeat, so deleting is simple.
    m_hNormal = ::LoadBitmapW(module, MAKEINTRESOURCEW(normal));
    m_hHover = ::LoadBitmapW(module, MAKEINTRESOURCEW(hover));
    m_hDisabled = ::LoadBitmapW(module, MAKEINTRESOURCEW(disabled));
    m_hChecked = ::LoadBitmapW(module, MAKEINTRESOURCEW(checked));
}

void CImageButton::DeletePictures() {
    for (HBITMAP* picture : {&m_hNormal, &m_hHover, &m_hDisabled, &m_hChecked}) {
        if (*picture != nullptr) ::DeleteObject(*picture);
        *picture = nullptr;
    }
}

void CImageButton::SetTooltip(const wchar_t* text) {
    m_strTooltip = text != nullptr ? text : L"";
    if (m_hTooltip == nullptr) return;
    ::SendMessageW(m_hTooltip, TTM_ACTIVATE, TRUE, 0);
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    // The whole button is the tool, whatever size it takes later.
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = ::GetParent(m_hWnd) != nullptr ? ::GetParent(m_hWnd) : m_hWnd;
    tool.uId = reinterpret_cast<UINT_PTR>(m_hWnd);
    tool.lpszText = const_cast<wchar_t*>(m_strTooltip.c_str());
    ::SendMessageW(m_hTooltip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    ::SendMessageW(m_hTooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void CImageButton::CreateTooltip() {
    m_hTooltip = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                   m_hWnd, nullptr, AfxGetInstanceHandle(), nullptr);
}

HBITMAP CImageButton::CurrentPicture() {
    if (!m_bEnabled) return m_hDisabled;
    if (GetCheck() == BST_CHECKED) return m_hChecked;
    if (m_bHovering) return m_hHover;
    return m_hNormal;
}

void CImageButton::OnPaint() {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(m_hWnd, &paint);
    ::SetStretchBltMode(dc, kStretchMode);
    HBITMAP picture = CurrentPicture();
    if (picture != nullptr) DrawBitmapStretched(dc, picture, 0, 0, m_nWidth, m_nHeight);
    ::EndPaint(m_hWnd, &paint);
}

LRESULT CImageButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    // What PreTranslateMessage does elsewhere: mouse messages go to the tooltip first,
    // but only once a tooltip text was set.
    if (!m_strTooltip.empty() && m_hTooltip != nullptr && message >= WM_MOUSEFIRST &&
        message <= WM_MOUSELAST) {
        MSG msg{m_hWnd, message, wParam, lParam, static_cast<DWORD>(::GetMessageTime()), {}};
        ::SendMessageW(m_hTooltip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
    }
    switch (message) {
        case WM_CREATE: {
            LRESULT result = DefWindowProc(message, wParam, lParam);
            CreateTooltip();
            return result;
        }
        case WM_PAINT:
            OnPaint();
            return 0;
        case WM_ERASEBKGND:
            return 1;  // the picture covers everything
        case WM_ENABLE:
            // Shown at the next paint; callers invalidate when they want it at once.
            m_bEnabled = wParam != 0;
            return 0;
        case WM_SIZE: {
            LRESULT result = DefWindowProc(message, wParam, lParam);
            m_nWidth = LOWORD(lParam);
            m_nHeight = HIWORD(lParam);
            return result;
        }
        case WM_MOUSEMOVE:
            if (!m_bHovering) {
                TRACKMOUSEEVENT track{};
                track.cbSize = sizeof(track);
                track.dwFlags = TME_HOVER | TME_LEAVE;
                track.hwndTrack = m_hWnd;
                track.dwHoverTime = kHoverTimeMs;
                ::TrackMouseEvent(&track);
            }
            break;
        case WM_MOUSEHOVER:
            m_bHovering = true;
            ::InvalidateRect(m_hWnd, nullptr, FALSE);
            break;
        case WM_MOUSELEAVE:
            m_bHovering = false;
            ::InvalidateRect(m_hWnd, nullptr, FALSE);
            break;
        case BM_SETSTATE:
        case BM_SETCHECK:
        case BM_SETSTYLE:
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_UPDATEUISTATE: {
            // The platform's button draws itself straight away on these; paint our
            // picture over it again.
            LRESULT result = DefWindowProc(message, wParam, lParam);
            ::InvalidateRect(m_hWnd, nullptr, FALSE);
            return result;
        }
        case WM_SYSKEYDOWN:
            // Alt+F4 with the focus on a button must not close its window.
            if (wParam == VK_F4) return 0;
            break;
        case WM_DESTROY: {
            LRESULT result = DefWindowProc(message, wParam, lParam);
            if (m_hNormal != nullptr) DeletePictures();
            // A tooltip is a pop-up owned by the top-level window, not by the button,
            // so it would outlive the button.
            if (m_hTooltip != nullptr) ::DestroyWindow(m_hTooltip);
            m_hTooltip = nullptr;
            return result;
        }
        default:
            break;
    }
    return DefWindowProc(message, wParam, lParam);
}
