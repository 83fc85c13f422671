// The floating control panel: scale factor, buttons, docking, painting and folding.
#include "panel/PanelGeometry.h"
#include "panel/TavrelDlg_win.h"

#include "resources/Pictures.h"
#include "protocol/PeerContract.h"
#include "protocol/TextCommand.h"
#include "resources/resource.h"
#include "shell/ProgramMessages.h"
#include "shell/ScaleFactor.h"
#include "shell/SettingsStore_win.h"
#include "shell/SettingsValues.h"
#include "widgets/GdiPlus_win.h"
#include "widgets/Theme_win.h"

#include <objidl.h>
#include <gdiplus.h>

namespace {

constexpr UINT kKeepOnTopMs = 100;

constexpr int kBoldWeight = 700;

constexpr wchar_t kPngResourceType[] = L"BIN_PNG";

int S(int design) { return Scaled(design); }

// A PNG from the resource module, decoded by GDI+ (null when missing or undecodable).
Gdiplus::Bitmap* LoadPngResource(UINT id) {
    HINSTANCE module = AfxGetResourceHandle();
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), kPngResourceType);
    if (found == nullptr) return nullptr;
    const DWORD size = ::SizeofResource(module, found);
    HGLOBAL loaded = ::LoadResource(module, found);
    const void* bytes = loaded != nullptr ? ::LockResource(loaded) : nullptr;
    if (bytes == nullptr || size == 0) return nullptr;
    HGLOBAL copy = ::GlobalAlloc(GMEM_MOVEABLE, size);
    if (copy == nullptr) return nullptr;
    void* target = ::GlobalLock(copy);
    memcpy(target, bytes, size);
    ::GlobalUnlock(copy);
    IStream* stream = nullptr;
    if (FAILED(::CreateStreamOnHGlobal(copy, TRUE, &stream))) {
        ::GlobalFree(copy);
        return nullptr;
    }
    Gdiplus::Bitmap* decoded = Gdiplus::Bitmap::FromStream(stream);
    stream->Release();  // the bitmap keeps its own reference while it lives
    if (decoded != nullptr && decoded->GetLastStatus() != Gdiplus::Ok) {
        delete decoded;
        return nullptr;
    }
    return decoded;
}

tavrel::Rect ToRect(const RECT& r) { return tavrel::Rect{r.left, r.top, r.right, r.bottom}; }

}  // namespace

// ---------------------------------------------------------------- building the panel

void CTavrelDlg::ComputeScaleFactor() {
    const std::wstring configured =
        ReadIniText(AfxToWide(tavrel::kSectionDefault).c_str(),
                    AfxToWide(tavrel::kKeyScaleFactor).c_str(), L"", g_strConfigIniPath);
    g_fScaleFactor = tavrel::ChooseScaleFactor(
        ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN), AfxToU16(configured));
}

CImageButton* CTavrelDlg::ButtonById(int id) {
    switch (id) {
        case tavrel::kIdClose:
            return &m_btnClose;
        case tavrel::kIdFold:
            return &m_btnFold;
        case tavrel::kIdRemote:
            return &m_btnRemote;
        case tavrel::kIdKeyboard:
            return &m_btnKeyboard;
        case tavrel::kIdMonitor:
            return &m_btnMonitor;
        case tavrel::kIdScreenUp:
            return &m_btnScreenUp;
        case tavrel::kIdNoteTool:
            return &m_btnNoteTool;
        case tavrel::kIdSoundUp:
            return &m_btnSoundUp;
        case tavrel::kIdStudentTouch:
            return &m_btnStudentTouch;
        case tavrel::kIdBroadcast:
            return &m_btnBroadcast;
        default:
            return nullptr;
    }
}

void CTavrelDlg::CreatePanelControls() {
    const std::wstring face = AfxLoadString(IDS_FONT_FACE);
    m_hCaptionFont = ::CreateFontW(
        S(tavrel::kCaptionFontHeight), 0, 0, 0, kBoldWeight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, face.c_str());
    ::SendMessageW(GetDlgItem(IDC_TITLE_TEXT), WM_SETFONT, reinterpret_cast<WPARAM>(m_hCaptionFont),
                   FALSE);
    m_hBackdrop = ::LoadBitmapW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDB_PANEL_BACKDROP));

    for (int i = 0; i < tavrel::kPanelControlCount; ++i) {
        const tavrel::PanelControl& control = tavrel::kPanelControls[i];
        CImageButton* button = ButtonById(control.id);
        if (button == nullptr) continue;
        // Toggles keep the state the panel gives them: a click only reports itself, so
        // a switch the lectern PC confirms does not flip before the confirmation.
        const DWORD kind = control.toggle ? (BS_CHECKBOX | BS_PUSHLIKE) : BS_PUSHBUTTON;
        const tavrel::Rect r = tavrel::ScaledControlRect(control, g_fScaleFactor);
        const RECT rect{r.left, r.top, r.right, r.bottom};
        button->Create(L"", WS_CHILD | WS_VISIBLE | kind, rect, this,
                       static_cast<UINT>(control.id));
        button->LoadBitmaps(control.pictures[0], control.pictures[1], control.pictures[2],
                            control.pictures[3]);
    }
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, S(tavrel::kPanelWidth), S(tavrel::kPanelHeight),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    LayoutButtons();
}

void CTavrelDlg::LayoutButtons() {
    for (int i = 0; i < tavrel::kPanelControlCount; ++i) {
        const tavrel::PanelControl& control = tavrel::kPanelControls[i];
        const tavrel::Rect r = tavrel::ScaledControlRect(control, g_fScaleFactor);
        ::MoveWindow(GetDlgItem(control.id), r.left, r.top, r.Width(), r.Height(), TRUE);
    }
}

void CTavrelDlg::SetButtonTooltips() {
    for (int i = 0; i < tavrel::kPanelControlCount; ++i) {
        const tavrel::PanelControl& control = tavrel::kPanelControls[i];
        CImageButton* button = ButtonById(control.id);
        if (button == nullptr || control.tooltip == 0) continue;
        button->SetTooltip(AfxLoadString(control.tooltip).c_str());
    }
}

void CTavrelDlg::DockPanel() {
    const tavrel::Rect docked =
        tavrel::DockedPanelRect(::GetSystemMetrics(SM_CXSCREEN), g_fScaleFactor);
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, docked.left, docked.top, docked.Width(), docked.Height(),
                   SWP_NOACTIVATE);
}

void CTavrelDlg::StartKeepOnTop() {
    ::SetTimer(m_hWnd, kTimerKeepOnTop, kKeepOnTopMs, nullptr);
    const LONG_PTR exStyle = ::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE);
    // Touching the panel must never take the focus from the window the teacher works in.
    ::SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, exStyle | WS_EX_NOACTIVATE);
}

HWND CTavrelDlg::NotePaletteWindow() const {
    // The palette's window while it exists; the palette itself belongs to the note
    // thread and is never touched from here.
    HWND palette = m_hNotePalette.load();
    return palette != nullptr && ::IsWindow(palette) ? palette : nullptr;
}

void CTavrelDlg::KeepOnTop() {
    ::KillTimer(m_hWnd, kTimerKeepOnTop);
    HWND palette = NotePaletteWindow();
    // A hidden panel is left alone: every placement shows the panel again, and the note
    // tool hides it on purpose while it copies the screen.
    if (::IsWindowVisible(m_hWnd))
        ::SetWindowPos(m_hWnd, palette != nullptr ? palette : HWND_TOPMOST, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::SetTimer(m_hWnd, kTimerKeepOnTop, kKeepOnTopMs, nullptr);
}

void CTavrelDlg::OnPanelDestroy() {
    ::KillTimer(m_hWnd, kTimerKeepOnTop);
    if (m_hCaptionFont != nullptr) ::DeleteObject(m_hCaptionFont);
    if (m_hBackdrop != nullptr) ::DeleteObject(m_hBackdrop);
    m_hCaptionFont = nullptr;
    m_hBackdrop = nullptr;
    if (g_pMainDlg == this) g_pMainDlg = nullptr;
}

// ---------------------------------------------------------------- painting

void CTavrelDlg::PaintPanel() {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(m_hWnd, &paint);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    if (::IsIconic(m_hWnd)) {
        const int x = (client.right - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
        const int y = (client.bottom - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
        ::DrawIcon(dc, x, y, m_hIcon);
    } else if (!m_bCollapsed && client.right > 0 && client.bottom > 0) {
        HDC memory = ::CreateCompatibleDC(dc);
        HBITMAP canvas = ::CreateCompatibleBitmap(dc, client.right, client.bottom);
        HGDIOBJ old = ::SelectObject(memory, canvas);
        HBRUSH panel = ::CreateSolidBrush(kThemeBodyColour);
        HBRUSH strip = ::CreateSolidBrush(kThemeStripColour);
        HBRUSH line = ::CreateSolidBrush(kThemeStripLineColour);
        const int stripHeight = S(tavrel::kTitleStripHeight);
        ::FillRect(memory, &client, panel);
        const RECT stripRect{0, 0, client.right, stripHeight};
        ::FillRect(memory, &stripRect, strip);
        const RECT lineRect{0, stripHeight, client.right, stripHeight + 1};
        ::FillRect(memory, &lineRect, line);
        DrawBitmapStretched(memory, m_hBackdrop, S(tavrel::kBackdropX), S(tavrel::kBackdropY),
                            S(tavrel::kBackdropWidth), S(tavrel::kBackdropHeight));
        ::BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
        ::DeleteObject(panel);
        ::DeleteObject(strip);
        ::DeleteObject(line);
        ::SelectObject(memory, old);
        ::DeleteObject(canvas);
        ::DeleteDC(memory);
    }
    ::EndPaint(m_hWnd, &paint);
}

LRESULT CTavrelDlg::OnCtlColorStatic(HDC dc, HWND control) {
    if (::GetDlgCtrlID(control) != IDC_TITLE_TEXT) return 0;
    ::SetTextColor(dc, kThemeCaptionColour);
    ::SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
}

// The mini button: the PNG with its own alpha, so its round edge blends with whatever
// lies below the panel instead of showing a square.
void CTavrelDlg::DrawFoldedPicture() {
    const int size = S(tavrel::kFoldedSize);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP surface = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (surface == nullptr) {
        ::DeleteDC(memory);
        ::ReleaseDC(nullptr, screen);
        return;
    }
    HGDIOBJ old = ::SelectObject(memory, surface);
    if (Gdiplus::Bitmap* picture = LoadPngResource(IDR_MINI_PNG)) {
        // A bitmap over the DIB's own pixels: GDI+ writes premultiplied alpha there,
        // which is what UpdateLayeredWindow expects.
        Gdiplus::Bitmap target(size, size, size * 4, PixelFormat32bppPARGB,
                               static_cast<BYTE*>(bits));
        Gdiplus::Graphics graphics(&target);
        graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
        graphics.DrawImage(picture, 0, 0, size, size);
        delete picture;
    }
    RECT window;
    ::GetWindowRect(m_hWnd, &window);
    POINT place{window.left, window.top};
    SIZE extent{size, size};
    POINT origin{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ::UpdateLayeredWindow(m_hWnd, screen, &place, &extent, memory, &origin, 0, &blend, ULW_ALPHA);
    ::SelectObject(memory, old);
    ::DeleteObject(surface);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
}

// ---------------------------------------------------------------- folding

void CTavrelDlg::FoldPanel() {
    RECT window;
    ::GetWindowRect(m_hWnd, &window);
    m_sizeExpanded = SIZE{window.right - window.left, window.bottom - window.top};
    m_btnFold.SetCheck(BST_CHECKED);

    const LONG_PTR style = ::GetWindowLongPtrW(m_hWnd, GWL_STYLE);
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, style & ~static_cast<LONG_PTR>(WS_BORDER));
    ::ShowWindow(GetDlgItem(IDC_TITLE_TEXT), SW_HIDE);
    m_btnRemote.ShowWindow(SW_HIDE);

    const int size = S(tavrel::kFoldedSize);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, size, size,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    const LONG_PTR exStyle = ::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE);
    ::SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
    m_bCollapsed = true;
    DrawFoldedPicture();
}

void CTavrelDlg::UnfoldPanel() {
    m_btnFold.SetCheck(BST_UNCHECKED);
    const LONG_PTR style = ::GetWindowLongPtrW(m_hWnd, GWL_STYLE);
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, style | WS_BORDER);
    ::ShowWindow(GetDlgItem(IDC_TITLE_TEXT), SW_SHOWNOACTIVATE);
    m_btnRemote.ShowWindow(SW_SHOWNOACTIVATE);

    RECT folded;
    ::GetWindowRect(m_hWnd, &folded);
    const tavrel::Point place =
        tavrel::UnfoldPosition(ToRect(folded), m_sizeExpanded.cx, m_sizeExpanded.cy,
                               ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN));
    // Back to an ordinary, fully opaque window that paints itself and its buttons.
    const LONG_PTR exStyle = ::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE);
    ::SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, exStyle & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
    ::SetWindowPos(m_hWnd, nullptr, place.x, place.y, m_sizeExpanded.cx, m_sizeExpanded.cy,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    m_bCollapsed = false;
    ::RedrawWindow(m_hWnd, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
}

BOOL CTavrelDlg::OnNcHitTest(LPARAM lParam, LRESULT& result) {
    POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ::ScreenToClient(m_hWnd, &point);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    if (point.x < 0 || point.x >= client.right) return FALSE;
    if (!tavrel::InDragStrip(point.y, m_bCollapsed, g_fScaleFactor)) return FALSE;
    result = HTCAPTION;
    return TRUE;
}

void CTavrelDlg::OnNcLButtonDown() {
    if (!m_bCollapsed) return;
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    m_llPressTime = now.QuadPart;
}

void CTavrelDlg::CheckTapRelease() {
    if (!m_bCollapsed || m_llPressTime == 0) return;
    LARGE_INTEGER now;
    LARGE_INTEGER frequency;
    ::QueryPerformanceCounter(&now);
    ::QueryPerformanceFrequency(&frequency);
    const bool tap = tavrel::IsTap(m_llPressTime, now.QuadPart, frequency.QuadPart);
    m_llPressTime = 0;
    if (tap) UnfoldPanel();
}

void CTavrelDlg::OnNcLButtonUp() { CheckTapRelease(); }

// Dragging runs the system's move loop, which eats the release; the first move after it
// with the button up stands in for it.
void CTavrelDlg::OnNcMouseMove() {
    if ((::GetAsyncKeyState(VK_LBUTTON) & 0x8000) == 0) CheckTapRelease();
}

// ---------------------------------------------------------------- window state

void CTavrelDlg::OnWindowPosChanging(WINDOWPOS* position) {
    if (!m_bShowPanel) {
        position->flags &= ~SWP_SHOWWINDOW;
    } else if ((position->flags & SWP_HIDEWINDOW) == 0 && !::IsWindowVisible(m_hWnd)) {
        // Once the session is up every move shows the panel; an explicit hide (the note
        // tool hides the panel around its screen captures) still goes through.
        position->flags |= SWP_SHOWWINDOW;
    }
}

void CTavrelDlg::OnDisplayChange(int width, int height) {
    // The lectern PC learns the new sizes before a restarted capture sends frames of them.
    SendScreenUpParameters();
    OnSendPacket(MakeCommand(kCmdPadScreenSize, {DecimalText(width), DecimalText(height)}));
    RestartScreenUpForDisplay();
    if (HWND palette = NotePaletteWindow()) ::PostMessageW(palette, kWmNotePlaceAndShow, 0, 0);
    RECT window;
    ::GetWindowRect(m_hWnd, &window);
    if (tavrel::CornerOffScreen(ToRect(window), width, height)) {
        if (m_bCollapsed) {
            // The mini button keeps its size: it only comes back to the docking corner.
            const int size = S(tavrel::kFoldedSize);
            ::SetWindowPos(m_hWnd, HWND_TOPMOST, width - size, 0, size, size, SWP_NOACTIVATE);
        } else {
            DockPanel();
            LayoutButtons();
        }
    }
}

void CTavrelDlg::OnPadStateNotice(int buttonId, WPARAM marker, LPARAM state) {
    if (marker != kNoticeMarker) return;
    CImageButton* button = ButtonById(buttonId);
    if (button != nullptr) button->SetCheck(state == 1 ? BST_CHECKED : BST_UNCHECKED);
}

void CTavrelDlg::OnMonitorButtonNotice(WPARAM marker, LPARAM show) {
    if (marker != kNoticeMarker) return;
    m_btnMonitor.ShowWindow(show != 0 ? SW_SHOWNOACTIVATE : SW_HIDE);
}

// ---------------------------------------------------------------- commands

BOOL CTavrelDlg::OnPanelCommand(UINT id) {
    switch (id) {
        case tavrel::kIdRemote:
            OnRemoteControlCommand();
            return TRUE;
        case tavrel::kIdKeyboard:
            OnTouchKeyboardCommand();
            return TRUE;
        case tavrel::kIdScreenUp:
            OnScreenUpCommand();
            return TRUE;
        case tavrel::kIdSoundUp:
            OnSoundUpCommand();
            return TRUE;
        case tavrel::kIdStudentTouch:
            OnPadSwitchCommand(tavrel::kIdStudentTouch);
            return TRUE;
        case tavrel::kIdNoteTool:
            OnNoteToolCommand();
            return TRUE;
        case tavrel::kIdBroadcast:
            OnPadSwitchCommand(tavrel::kIdBroadcast);
            return TRUE;
        case tavrel::kIdMonitor:
            OnMonitorCommand();
            return TRUE;
        case tavrel::kIdFold:
            if (m_btnFold.GetCheck() == BST_CHECKED) {
                UnfoldPanel();
            } else {
                FoldPanel();
            }
            return TRUE;
        default:
            return FALSE;
    }
}
