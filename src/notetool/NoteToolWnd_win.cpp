#include "notetool/NoteToolWnd_win.h"

#include "resources/Pictures.h"
#include "screenup/GdiPlusImageEncoder_win.h"

#include <windowsx.h>

namespace {

constexpr wchar_t kCaption[] = L"Tavrel Notetool Wnd";
// How long the uncovered desktop gets to repaint before the snapshot, so that the
// hidden panel is not in the picture.
constexpr DWORD kRepaintPauseMs = 100;
constexpr int kJpegQuality = 100;
constexpr LPARAM kContextBit = LPARAM(1) << 29;  // WM_SYSKEYDOWN: Alt is down

// Dispatches this thread's messages for `milliseconds`, and not a moment longer.
void PumpFor(DWORD milliseconds) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // Someone else's loop ends the thread; keep the request for it.
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        const DWORD elapsed = ::GetTickCount() - start;
        if (elapsed >= milliseconds) return;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - elapsed, QS_ALLINPUT);
    }
}

// The rectangles of the displays in use. Stops at the first index with no device, so
// a system that reports more monitors than devices cannot keep the loop going.
std::vector<note::NoteRect> DisplayRects() {
    std::vector<note::NoteRect> rects;
    const size_t monitors = static_cast<size_t>(::GetSystemMetrics(SM_CMONITORS));
    for (DWORD i = 0; rects.size() < monitors; ++i) {
        DISPLAY_DEVICEW device{};
        device.cb = sizeof(device);
        if (!::EnumDisplayDevicesW(nullptr, i, &device, 0)) break;
        DEVMODEW mode{};
        mode.dmSize = sizeof(mode);
        if (!::EnumDisplaySettingsW(device.DeviceName, ENUM_CURRENT_SETTINGS, &mode)) continue;
        note::NoteRect rect;
        rect.left = mode.dmPosition.x;
        rect.top = mode.dmPosition.y;
        rect.right = rect.left + static_cast<int>(mode.dmPelsWidth);
        rect.bottom = rect.top + static_cast<int>(mode.dmPelsHeight);
        rects.push_back(rect);
    }
    return rects;
}

bool WriteWholeFile(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok =
        ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size();
    const bool closed = ::CloseHandle(file) != FALSE;
    if (!ok || !closed) {
        // A cut-off picture is worse than none: the teacher would find a broken note.
        ::DeleteFileW(path.c_str());
        return false;
    }
    return true;
}

}  // namespace

CNoteToolWnd* CNoteToolWnd::CreateOverlay(int mode, HWND mainDialog) {
    if (mode != note::kModeBoard && mode != note::kModeWhiteboard) return nullptr;
    auto* wnd = new CNoteToolWnd(mode);
    if (!wnd->Create(nullptr, kCaption, WS_OVERLAPPEDWINDOW, rectDefault)) {
        delete wnd;  // no window: nothing will delete it
        return nullptr;
    }
    if (!wnd->Build(mainDialog)) {
        ::DestroyWindow(wnd->m_hWnd);  // deletes the object with the window
        return nullptr;
    }
    return wnd;
}

CNoteToolWnd::~CNoteToolWnd() { ReleaseBackgroundCopy(); }

bool CNoteToolWnd::Build(HWND mainDialog) {
    // A bare window: no caption and no frame, so the client area is the whole screen.
    ::SetWindowLongW(m_hWnd, GWL_STYLE, WS_CLIPCHILDREN);
    ::SetWindowLongW(m_hWnd, GWL_EXSTYLE, 0);
    LoadToolCursor();

    m_rect = note::ChooseOverlayRect(DisplayRects(), ::GetSystemMetrics(SM_CXSCREEN),
                                     ::GetSystemMetrics(SM_CYSCREEN));
    const int width = m_rect.Width();
    const int height = m_rect.Height();
    ::SetWindowPos(m_hWnd, HWND_NOTOPMOST, m_rect.left, m_rect.top, width, height,
                   SWP_NOACTIVATE | SWP_FRAMECHANGED);
    m_background.Create(width, height, 32);
    if (m_background.m_pBits == nullptr) return false;

    if (m_nMode == note::kModeBoard) {
        TakeSnapshot(mainDialog);
    } else {
        PaintWhitePage();
    }

    HDC dc = ::GetDC(m_hWnd);
    if (dc != nullptr) {
        ::BitBlt(dc, 0, 0, width, height, m_background.m_dc, 0, 0, SRCCOPY);
        ::ReleaseDC(m_hWnd, dc);
    }
    ::ShowWindow(m_hWnd, SW_SHOW);
    if (!MakeBackgroundCopy()) return false;
    ::UpdateWindow(m_hWnd);
    m_bActive = true;
    return true;
}

void CNoteToolWnd::TakeSnapshot(HWND mainDialog) {
    const int width = m_rect.Width();
    const int height = m_rect.Height();
    if (mainDialog != nullptr) ::ShowWindow(mainDialog, SW_HIDE);
    // What the panel covered must be drawn again before the copy; the windows behind it
    // repaint from their own threads, so give them a moment, bounded.
    RECT area{m_rect.left, m_rect.top, m_rect.right, m_rect.bottom};
    ::RedrawWindow(::GetDesktopWindow(), &area, nullptr,
                   RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_ERASE | RDW_INVALIDATE);
    PumpFor(kRepaintPauseMs);

    // From the monitor's own corner: a monitor whose top is not 0 would otherwise be
    // copied from the wrong place.
    HDC screen = ::GetDC(nullptr);
    if (screen != nullptr) {
        ::BitBlt(m_background.m_dc, 0, 0, width, height, screen, m_rect.left, m_rect.top,
                 SRCCOPY | CAPTUREBLT);
        ::ReleaseDC(nullptr, screen);
    }
    if (mainDialog != nullptr) ::ShowWindow(mainDialog, SW_SHOWNOACTIVATE);
}

void CNoteToolWnd::PaintWhitePage() {
    HDC dc = m_background.m_dc;
    const int width = m_rect.Width();
    const int height = m_rect.Height();
    ::PatBlt(dc, 0, 0, width, height, WHITENESS);
    // The pen is centred on the window's edge, so about half of it shows: a cyan frame
    // that tells a whiteboard from a white screen.
    HPEN pen = ::CreatePen(PS_SOLID, note::kWhiteboardBorder, RGB(0, 255, 255));
    if (pen == nullptr) return;
    HGDIOBJ oldPen = ::SelectObject(dc, pen);
    HGDIOBJ oldBrush = ::SelectObject(dc, ::GetStockObject(NULL_BRUSH));
    ::Rectangle(dc, 0, 0, width, height);
    ::SelectObject(dc, oldBrush);
    ::SelectObject(dc, oldPen);
    ::DeleteObject(pen);
}

bool CNoteToolWnd::MakeBackgroundCopy() {
    const int width = m_rect.Width();
    const int height = m_rect.Height();
    HDC screen = ::GetDC(nullptr);
    if (screen == nullptr) return false;
    m_hBackgroundCopyDc = ::CreateCompatibleDC(screen);
    m_hBackgroundCopy = ::CreateCompatibleBitmap(screen, width, height);
    ::ReleaseDC(nullptr, screen);
    if (m_hBackgroundCopyDc == nullptr || m_hBackgroundCopy == nullptr) {
        ReleaseBackgroundCopy();
        return false;
    }
    m_hOldCopyBitmap = ::SelectObject(m_hBackgroundCopyDc, m_hBackgroundCopy);
    ::BitBlt(m_hBackgroundCopyDc, 0, 0, width, height, m_background.m_dc, 0, 0, SRCCOPY);
    return true;
}

void CNoteToolWnd::ReleaseBackgroundCopy() {
    if (m_hBackgroundCopyDc != nullptr && m_hOldCopyBitmap != nullptr)
        ::SelectObject(m_hBackgroundCopyDc, m_hOldCopyBitmap);
    if (m_hBackgroundCopy != nullptr) ::DeleteObject(m_hBackgroundCopy);
    if (m_hBackgroundCopyDc != nullptr) ::DeleteDC(m_hBackgroundCopyDc);
    m_hBackgroundCopyDc = nullptr;
    m_hBackgroundCopy = nullptr;
    m_hOldCopyBitmap = nullptr;
}

void CNoteToolWnd::LoadToolCursor() {
    const WORD id = m_nTool == note::kToolErase ? IDC_NOTE_ERASER : IDC_NOTE_PEN;
    m_hCursor = ::LoadCursorW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(id));
}

void CNoteToolWnd::SetTool(int tool) {
    m_nTool = tool == note::kToolErase ? note::kToolErase : note::kToolDraw;
    LoadToolCursor();
}

void CNoteToolWnd::SetPenSize(int sizeType) {
    m_nSizeType = sizeType;
    m_nWidth = note::StrokeWidth(m_nTool, sizeType);
    LoadToolCursor();
}

void CNoteToolWnd::SetColour(COLORREF colour) { m_colour = colour; }

void CNoteToolWnd::ToggleSemiTransparent() { m_bSemiTransparent = !m_bSemiTransparent; }

void CNoteToolWnd::ClearAll() {
    m_strokes.clear();
    m_nCurrentStroke = -1;
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
    ::UpdateWindow(m_hWnd);
}

void CNoteToolWnd::CloseOverlay() {
    m_strokes.clear();
    m_nCurrentStroke = -1;
    m_bModified = false;
    m_bActive = false;
    ::DestroyWindow(m_hWnd);  // the object deletes itself with the window
}

LRESULT CNoteToolWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (message) {
        case WM_LBUTTONDOWN:
            OnPenDown(point);
            return 0;
        case WM_MOUSEMOVE:
            if (!m_bDrawing) break;
            OnPenMove(wParam, point);
            return 0;
        case WM_LBUTTONUP:
            OnPenUp();
            return 0;
        case WM_CAPTURECHANGED:
            m_bDrawing = false;
            return 0;
        case WM_ERASEBKGND:
            return 1;  // the paint covers every pixel
        case WM_PAINT:
            OnPaint();
            return 0;
        case WM_SETCURSOR:
            if (LOWORD(lParam) == HTCLIENT && m_hCursor != nullptr) {
                ::SetCursor(m_hCursor);
                return TRUE;
            }
            break;
        case WM_SYSKEYDOWN:
            // Alt+F4 would close the overlay behind the palette's back.
            if (wParam == VK_F4 && (lParam & kContextBit) != 0) return 0;
            break;
        default:
            break;
    }
    return CFrameWnd::WindowProc(message, wParam, lParam);
}

void CNoteToolWnd::OnPenDown(POINT point) {
    m_bDrawing = true;
    m_ptLast = point;
    m_ptCurrent = point;
    ::SetCapture(m_hWnd);
    CStroke stroke;
    stroke.tool = m_nTool;
    stroke.width = m_nWidth;
    stroke.sizeType = m_nSizeType;
    stroke.semiTransparent = m_bSemiTransparent ? 1 : 0;
    stroke.colour = m_colour;
    stroke.points.push_back(point);
    m_strokes.push_back(std::move(stroke));
    m_nCurrentStroke = static_cast<int>(m_strokes.size()) - 1;
    if (m_nTool == note::kToolErase) {
        EraseLive(point);
    } else {
        m_bModified = true;  // even a tap that draws nothing
    }
}

void CNoteToolWnd::OnPenMove(WPARAM keys, POINT point) {
    if ((keys & MK_LBUTTON) == 0) {
        // The button came up where we did not see it: stop, and give the mouse back.
        m_bDrawing = false;
        ::ReleaseCapture();
        return;
    }
    m_ptCurrent = point;
    if (m_nCurrentStroke >= 0)
        m_strokes[static_cast<size_t>(m_nCurrentStroke)].points.push_back(point);
    if (m_nTool == note::kToolErase) {
        EraseLive(point);
    } else {
        HPEN pen = ::CreatePen(PS_SOLID, m_nWidth, m_colour);
        HDC dc = pen != nullptr ? ::GetDC(m_hWnd) : nullptr;
        if (dc != nullptr) {
            HGDIOBJ oldPen = ::SelectObject(dc, pen);
            const int oldRop = ::SetROP2(dc, m_bSemiTransparent ? R2_MASKPEN : R2_COPYPEN);
            ::MoveToEx(dc, m_ptLast.x, m_ptLast.y, nullptr);
            ::LineTo(dc, point.x, point.y);
            ::SetROP2(dc, oldRop);
            ::SelectObject(dc, oldPen);
            ::ReleaseDC(m_hWnd, dc);
        }
        if (pen != nullptr) ::DeleteObject(pen);
    }
    m_ptLast = point;
}

void CNoteToolWnd::OnPenUp() {
    ::ReleaseCapture();
    m_bDrawing = false;
    m_ptCurrent = POINT{-1, -1};
    m_nCurrentStroke = -1;
}

void CNoteToolWnd::EraseLive(POINT point) {
    if (m_hBackgroundCopyDc == nullptr) return;
    const note::NoteRect square = note::EraseSquare(point.x, point.y);
    // The live eraser copies one pixel right and two down of the square; both the source
    // and the target move, so the copied pixels stay in their places.
    const int x = square.left + note::kLiveEraseShiftX;
    const int y = square.top + note::kLiveEraseShiftY;
    HDC dc = ::GetDC(m_hWnd);
    if (dc == nullptr) return;
    ::BitBlt(dc, x, y, square.Width(), square.Height(), m_hBackgroundCopyDc, x, y, SRCCOPY);
    ::ReleaseDC(m_hWnd, dc);
}

void CNoteToolWnd::OnPaint() {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(m_hWnd, &paint);
    if (dc == nullptr) return;
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    // Composed off-screen and shown in one copy, so the ink never flickers.
    HDC memory = ::CreateCompatibleDC(dc);
    HBITMAP bitmap = memory != nullptr ? ::CreateCompatibleBitmap(dc, width, height) : nullptr;
    if (bitmap != nullptr) {
        HGDIOBJ oldBitmap = ::SelectObject(memory, bitmap);
        Render(memory);
        ::BitBlt(dc, 0, 0, width, height, memory, 0, 0, SRCCOPY);
        ::SelectObject(memory, oldBitmap);
        ::DeleteObject(bitmap);
    } else {
        Render(dc);  // no memory for the copy: draw straight on, flicker and all
    }
    if (memory != nullptr) ::DeleteDC(memory);
    ::EndPaint(m_hWnd, &paint);
}

void CNoteToolWnd::Render(HDC dc) const {
    ::BitBlt(dc, 0, 0, m_background.m_nWidth, m_background.m_nHeight, m_background.m_dc, 0, 0,
             SRCCOPY);
    for (const CStroke& stroke : m_strokes) ReplayStroke(dc, stroke);
}

void CNoteToolWnd::ReplayStroke(HDC dc, const CStroke& stroke) const {
    if (stroke.points.empty()) return;
    HPEN pen = ::CreatePen(PS_SOLID, stroke.width, stroke.colour);
    HGDIOBJ oldPen = pen != nullptr ? ::SelectObject(dc, pen) : nullptr;
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    if (stroke.tool == note::kToolErase) {
        // Replayed squares are not shifted: the picture keeps exactly what was erased.
        for (const POINT& point : stroke.points) {
            const note::NoteRect square = note::EraseSquare(point.x, point.y);
            if (m_hBackgroundCopyDc != nullptr)
                ::BitBlt(dc, square.left, square.top, square.Width(), square.Height(),
                         m_hBackgroundCopyDc, square.left, square.top, SRCCOPY);
        }
    } else if (pen != nullptr) {
        const int oldRop = ::SetROP2(dc, stroke.semiTransparent != 0 ? R2_MASKPEN : R2_COPYPEN);
        ::MoveToEx(dc, stroke.points[0].x, stroke.points[0].y, nullptr);
        for (size_t i = 1; i < stroke.points.size(); ++i)
            ::LineTo(dc, stroke.points[i].x, stroke.points[i].y);
        ::SetROP2(dc, oldRop);
    }
    ::SetBkMode(dc, oldMode);
    if (pen != nullptr) {
        ::SelectObject(dc, oldPen);
        ::DeleteObject(pen);
    }
}

HBITMAP CNoteToolWnd::RenderPicture() const {
    const int width = m_background.m_nWidth;
    const int height = m_background.m_nHeight;
    if (width < 1 || height < 1) return nullptr;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP picture = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (picture == nullptr) return nullptr;
    HDC memory = ::CreateCompatibleDC(nullptr);
    if (memory == nullptr) {
        ::DeleteObject(picture);
        return nullptr;
    }
    HGDIOBJ old = ::SelectObject(memory, picture);
    Render(memory);
    ::SelectObject(memory, old);
    ::DeleteDC(memory);
    ::GdiFlush();  // the caller reads the bits next
    return picture;
}

bool CNoteToolWnd::SaveJpeg(const std::wstring& path) {
    HBITMAP picture = RenderPicture();
    if (picture == nullptr) return false;
    DIBSECTION section{};
    std::vector<uint8_t> jpeg;
    bool encoded = false;
    if (::GetObjectW(picture, sizeof(section), &section) == sizeof(section) &&
        section.dsBm.bmBits != nullptr) {
        PixelView view;
        view.pixels = static_cast<uint8_t*>(section.dsBm.bmBits);
        view.width = section.dsBm.bmWidth;
        view.height = section.dsBm.bmHeight;
        view.stride = section.dsBm.bmWidthBytes;  // top-down: row 0 comes first
        CGdiPlusImageEncoder encoder;
        encoded = encoder.Ready() && encoder.EncodeJpeg(view, kJpegQuality, jpeg);
    }
    ::DeleteObject(picture);
    if (!encoded || !WriteWholeFile(path, jpeg)) return false;
    m_strLastSavedPath = path;
    m_bModified = false;
    return true;
}
