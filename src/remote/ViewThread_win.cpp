#include "remote/ViewThread_win.h"

#include "panel/RHInfo_win.h"
#include "remote/ControlThread_win.h"
#include "remote/InputQueue.h"
#include "remote/RepaintArea.h"
#include "remote/SystemCodes.h"
#include "resources/resource.h"
#include "shell/ProgramMessages.h"

#include <imm.h>
#include <windowsx.h>

#include <climits>

namespace {

constexpr DWORD kViewerStyle = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN;
constexpr int kPanWheelMessage = WM_MOUSEWHEEL;

GesturePoint ToGesturePoint(POINTS p) { return GesturePoint{p.x, p.y}; }

}  // namespace

// ---------------------------------------------------------------- window

CUIThreadWnd::CUIThreadWnd(CRHInfo& info) : m_info(info), m_pInput(info.m_pInput) {}

HWND CUIThreadWnd::CommWindow() const { return m_info.m_hCommWnd.load(); }

bool CUIThreadWnd::Linked() const {
    HWND comm = CommWindow();
    return m_pInput != nullptr && comm != nullptr && ::IsWindow(comm);
}

SIZE CUIThreadWnd::ClientSize() const {
    RECT r{};
    ::GetWindowRect(m_hWnd, &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

RemotePoint CUIThreadWnd::MapClient(int x, int y) const { return m_mapping.Map(x, y); }

RemotePoint CUIThreadWnd::MapScreen(int x, int y) const {
    POINT p{x, y};
    ::ScreenToClient(m_hWnd, &p);
    return MapClient(p.x, p.y);
}

void CUIThreadWnd::Append(const std::vector<KeyEventRecord>& records) {
    if (!Linked()) return;
    for (const KeyEventRecord& record : records) m_pInput->AppendKey(record);
}

void CUIThreadWnd::AppendMouse(unsigned message, uint32_t flags, RemotePoint at, int16_t wheel) {
    if (Linked()) m_pInput->AppendMouse(MouseRecord(message, flags, at, wheel));
}

void CUIThreadWnd::GoFullScreen() {
    ::SetWindowLongW(m_hWnd, GWL_STYLE, WS_VISIBLE | WS_CLIPCHILDREN);
    ::SetWindowLongW(m_hWnd, GWL_EXSTYLE, 0);
    const int width = ::GetSystemMetrics(SM_CXSCREEN);
    const int height = ::GetSystemMetrics(SM_CYSCREEN);
    ::SetWindowPos(m_hWnd, HWND_NOTOPMOST, 0, 0, width, height, SWP_FRAMECHANGED | SWP_SHOWWINDOW);
    m_mapping.Resize(m_info, width, height);
    m_mapping.ApplyView(m_info, m_info.m_nMonitor, width, height);
    // The keyboard follows the picture: the viewer is shown by its own thread while
    // the panel's thread had the foreground, and without this the teacher's keys
    // would go to the panel until the viewer is tapped.
    ::SetForegroundWindow(m_hWnd);
    ::SetFocus(m_hWnd);
}

BOOL CUIThreadWnd::PreTranslateKey(const MSG& message) {
    const bool processKey = message.message == WM_KEYDOWN && message.wParam == VK_PROCESSKEY;
    if (message.message != WM_SYSKEYDOWN && message.message != WM_SYSKEYUP && !processKey)
        return FALSE;
    uint32_t imeKey = 0;
    if (processKey) imeKey = ::ImmGetVirtualKey(m_hWnd);
    const KeyVerdict verdict = m_keys.PreTranslate(
        message.message, static_cast<uint32_t>(message.wParam),
        static_cast<uint32_t>(message.lParam), (::GetKeyState(VK_SHIFT) & 0x8000) != 0,
        (::GetKeyState(VK_CONTROL) & 0x8000) != 0, imeKey, Linked());
    switch (verdict.action) {
        case KeyAction::kHandled:
            Append(verdict.records);
            return TRUE;
        case KeyAction::kInputModeKey:
            if (Linked()) ::SendMessageW(CommWindow(), kWmSendInputModeKey, 0, 0);
            ::SetFocus(m_hWnd);
            return TRUE;
        default:
            return FALSE;
    }
}

void CUIThreadWnd::OnPaint() {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(m_hWnd, &paint);
    // Closing paints nothing, but the window is still validated so no paint loop
    // spins.
    if (!m_bClosing) {
        const SIZE size = ClientSize();
        bool drawn = false;
        ::EnterCriticalSection(&m_info.m_csFrame);
        CMemBitmap& frame = m_info.m_bmFrame;
        if (frame.m_pBits != nullptr && frame.Info() != nullptr) {
            const StretchSizes sizes{frame.m_nWidth, frame.m_nHeight, int(size.cx), int(size.cy)};
            if (frame.m_nWidth != size.cx || frame.m_nHeight != size.cy)
                ::SetStretchBltMode(dc, HALFTONE);
            // Only the part to repaint, widened to the grid where window and frame
            // pixels line up, so it meets the rest as one stretch would. The bitmap
            // is bottom-up: source rows count from its last row.
            const RECT& p = paint.rcPaint;
            const PaintRect w = AlignToGrid(PaintRect{p.left, p.top, p.right, p.bottom}, sizes);
            const PaintRect f = FrameRectFor(w, sizes);
            if (!w.Empty() && !f.Empty())
                ::StretchDIBits(dc, w.left, w.top, w.right - w.left, w.bottom - w.top, f.left,
                                frame.m_nHeight - f.bottom, f.right - f.left, f.bottom - f.top,
                                frame.m_pBits, frame.Info(), DIB_RGB_COLORS, SRCCOPY);
            drawn = true;
        }
        ::LeaveCriticalSection(&m_info.m_csFrame);
        if (!drawn) ::PatBlt(dc, 0, 0, size.cx, size.cy, BLACKNESS);
    }
    ::EndPaint(m_hWnd, &paint);
}

LRESULT CUIThreadWnd::OnGesture(WPARAM wParam, LPARAM lParam) {
    GESTUREINFO info{};
    info.cbSize = sizeof(info);
    HGESTUREINFO handle = reinterpret_cast<HGESTUREINFO>(lParam);
    if (!::GetGestureInfo(handle, &info)) return DefWindowProc(WM_GESTURE, wParam, lParam);
    if (info.dwID == GID_BEGIN) {
        m_ptGesture = ToGesturePoint(info.ptsLocation);
        return DefWindowProc(WM_GESTURE, wParam, lParam);
    }
    if (info.dwID != GID_PAN) return DefWindowProc(WM_GESTURE, wParam, lParam);
    const PanStepResult step = PanStep(m_ptGesture, ToGesturePoint(info.ptsLocation));
    if (step.wheel)
        AppendMouse(kPanWheelMessage, 0, MapScreen(step.wheelAt.x, step.wheelAt.y), step.delta);
    m_ptGesture = step.anchor;
    ::CloseGestureInfoHandle(handle);
    return 0;
}

void CUIThreadWnd::OnClose() {
    if (m_bClosing) return;
    m_bClosing = true;
    m_mapping.StartClosing();
    if (HWND comm = CommWindow(); comm != nullptr && ::IsWindow(comm))
        ::SendMessageW(comm, WM_CLOSE, 0, 0);
    ::PostQuitMessage(0);
    ::DestroyWindow(m_hWnd);
}

LRESULT CUIThreadWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SIZE: {
            const SIZE size = ClientSize();
            m_mapping.Resize(m_info, size.cx, size.cy);
            return 0;
        }
        case kWmApplyMonitorView: {
            if (wParam != kNoticeMarker) return 0;
            const SIZE size = ClientSize();
            m_mapping.ApplyView(m_info, static_cast<int>(lParam), size.cx, size.cy);
            ::InvalidateRect(m_hWnd, nullptr, FALSE);
            return 0;
        }
        case kWmChangeMonitor:
            if (HWND comm = CommWindow()) ::SendMessageW(comm, kWmChangeMonitor, wParam, lParam);
            return 1;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            OnPaint();
            return 0;
        case WM_SETCURSOR:
            ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
            return TRUE;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONUP:
            AppendMouse(message, static_cast<uint32_t>(wParam),
                        MapClient(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)), 0);
            return DefWindowProc(message, wParam, lParam);
        case WM_MOUSEMOVE: {
            const RemotePoint at = MapClient(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            if (ProcessMoveFilter().Forward(at))
                AppendMouse(message, static_cast<uint32_t>(wParam), at, 0);
            return DefWindowProc(message, wParam, lParam);
        }
        case WM_MOUSEWHEEL:
            AppendMouse(message, GET_KEYSTATE_WPARAM(wParam),
                        MapScreen(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)),
                        static_cast<int16_t>(GET_WHEEL_DELTA_WPARAM(wParam)));
            return 0;
        case WM_GESTURE:
            return OnGesture(wParam, lParam);
        case WM_KEYDOWN:
            Append(m_keys.KeyDown(static_cast<uint32_t>(wParam), KeyRepeat(uint32_t(lParam)),
                                  KeyFlags(uint32_t(lParam)), Linked()));
            return DefWindowProc(message, wParam, lParam);
        case WM_KEYUP:
            Append(m_keys.KeyUp(static_cast<uint32_t>(wParam), KeyRepeat(uint32_t(lParam)),
                                KeyFlags(uint32_t(lParam)), Linked()));
            return DefWindowProc(message, wParam, lParam);
        case WM_CHAR:
            if (m_keys.ForwardChar(Linked()))
                ::SendMessageW(CommWindow(), kWmSendTypedChar, wParam, lParam);
            return 0;
        case WM_KILLFOCUS:
            m_keys.FocusLost();
            return DefWindowProc(message, wParam, lParam);
        case WM_CLOSE:
            OnClose();
            return 0;
        default:
            return CFrameWnd::WindowProc(message, wParam, lParam);
    }
}

// ---------------------------------------------------------------- thread

CViewThread::CViewThread(CRHInfo& info) : m_info(info) {}

BOOL CViewThread::InitInstance() {
    auto* view = new CUIThreadWnd(m_info);
    if (!view->Create(AfxRegisterWndClass(0), m_info.m_strName.c_str(), kViewerStyle)) {
        delete view;
        return FALSE;
    }
    m_pView = view;
    m_hView = view->m_hWnd;
    m_pMainWnd = view;
    HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    ::SendMessageW(m_hView, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    ::SendMessageW(m_hView, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    ::ShowWindow(m_hView, SW_SHOW);
    ::UpdateWindow(m_hView);
    ::SetFocus(m_hView);
    m_info.m_hViewWnd = m_hView;
    m_info.m_nViewReady = 1;
    if (!WaitForGo(m_info.m_nGo, 2 * CControlThread::kHandshakeMs)) {
        m_info.m_hViewWnd = nullptr;
        ::DestroyWindow(m_hView);
        return FALSE;
    }
    view->GoFullScreen();
    return TRUE;
}

int CViewThread::ExitInstance() {
    m_info.m_hViewWnd = nullptr;
    m_info.m_nViewThreadId = 0;
    m_info.m_pViewThread = nullptr;
    return CWinThread::ExitInstance();
}

BOOL CViewThread::PreTranslateMessage(MSG* message) {
    if (message->hwnd != m_hView || !::IsWindow(m_hView)) return FALSE;
    return m_pView->PreTranslateKey(*message);
}

BOOL CViewThread::OnThreadMessage(const MSG& message) {
    switch (message.message) {
        case kWmThreadStart:
            return TRUE;
        case kWmThreadClose:
            if (::IsWindow(m_hView)) ::SendMessageW(m_hView, WM_CLOSE, 0, 0);
            return TRUE;
        default:
            return FALSE;
    }
}
