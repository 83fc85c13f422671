#include "updater/RelvoDlg_win.h"

#include "resources/UpdaterResource.h"
#include "updater/UpdateRules.h"
#include "widgets/GdiPlus_win.h"

namespace {
constexpr UINT kSysCommandMask = 0xFFF0;
constexpr COLORREF kBodyColour = RGB(29, 36, 52);
constexpr COLORREF kHeaderColour = RGB(24, 30, 43);
constexpr COLORREF kTitleColour = RGB(3, 207, 227);
constexpr COLORREF kListTextColour = RGB(5, 226, 196);
constexpr COLORREF kListColour = RGB(32, 28, 25);
constexpr int kBoldWeight = 700;
constexpr int kNormalWeight = 400;

// The message text with its one "%s" filled in. Done by hand rather than by printf:
// the argument comes from the server and may itself hold "%".
std::wstring FormatMessageText(const std::wstring& pattern, const std::u16string& argument) {
    const size_t at = pattern.find(L"%s");
    if (at == std::wstring::npos) return pattern;
    std::wstring text = pattern;
    text.replace(at, 2, AfxToWide(argument));
    return text;
}
}  // namespace

CRelvoDlg::CRelvoDlg(const Options& options, CWnd* parent)
    : CDialogEx(IDD_UPD_DIALOG, parent),
      m_options(options),
      m_host(CWinUpdaterHost::Window{[this](int level, int id, const std::u16string& argument) {
                                         AppendLog(level, id, argument);
                                     },
                                     [this] { HideUpdater(); }, [] { ::PostQuitMessage(0); }}),
      m_engine(m_host, AfxToU16(options.language)) {}

CRelvoDlg::~CRelvoDlg() {
    // A modeless window (the tests') goes while the button object it holds still
    // exists: the base class would destroy it only after the members are gone.
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd)) DestroyWindow();
    ReleasePaintResources();
    if (m_hTitleFont != nullptr) ::DeleteObject(m_hTitleFont);
    if (m_hListFont != nullptr) ::DeleteObject(m_hListFont);
    if (m_hListBrush != nullptr) ::DeleteObject(m_hListBrush);
}

BOOL CRelvoDlg::OnInitDialog() {
    // Centred at the template size first; the size below keeps that position.
    RECT window;
    ::GetWindowRect(m_hWnd, &window);
    const int screenWidth = ::GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
    ::SetWindowPos(m_hWnd, nullptr, (screenWidth - (window.right - window.left)) / 2,
                   (screenHeight - (window.bottom - window.top)) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_bVisibleFlag = false;
    ShowWindow(SW_HIDE);

    m_fScale = tavrel::UpdaterScaleFactor(screenWidth, screenHeight);
    m_layout = tavrel::ComputeUpdaterLayout(m_fScale, m_options.language == L"Eng");
    CreateFonts();
    m_hListBrush = ::CreateSolidBrush(kListColour);

    m_hProgressList = GetDlgItem(IDC_UPD_PROGRESS);
    m_runNowButton.SubclassDlgItem(IDOK, this);
    const UINT offset = static_cast<UINT>(m_options.messageOffset);
    m_runNowButton.LoadBitmaps(IDB_UPD_RUNNOW + offset, IDB_UPD_RUNNOW_HOVER + offset,
                               IDB_UPD_RUNNOW + offset, IDB_UPD_RUNNOW_HOVER + offset);
    ApplyLayout();
    // Centred again at the final size, so that a scaled window is centred too.
    ::GetWindowRect(m_hWnd, &window);
    ::SetWindowPos(m_hWnd, nullptr, (screenWidth - (window.right - window.left)) / 2,
                   (screenHeight - (window.bottom - window.top)) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageW(m_hProgressList, WM_SETFONT, reinterpret_cast<WPARAM>(m_hListFont), TRUE);
    ::SendDlgItemMessageW(m_hWnd, IDC_UPD_TITLE, WM_SETFONT, reinterpret_cast<WPARAM>(m_hTitleFont),
                          TRUE);

    HMENU systemMenu = ::GetSystemMenu(m_hWnd, FALSE);
    const std::wstring aboutText = AfxLoadString(IDS_UPD_ABOUTBOX + offset);
    if (systemMenu != nullptr && !aboutText.empty()) {
        ::AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuW(systemMenu, MF_STRING, IDM_UPD_ABOUTBOX, aboutText.c_str());
    }
    // The window draws no caption, but the task bar and the task list show its title.
    wchar_t title[64] = {};
    ::GetDlgItemTextW(m_hWnd, IDC_UPD_TITLE, title, 64);
    ::SetWindowTextW(m_hWnd, title);
    m_hIcon = ::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDI_UPD_MAINFRAME));
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    m_bVisibleFlag = true;
    ShowWindow(SW_SHOW);
    // The focus on Run now, the default button: the list would show a focus frame
    // around its newest line.
    ::SetFocus(GetDlgItem(IDOK));

    m_engine.OnDialogStarted();
    if (m_options.secondInstance) {
        // Another updater is at work: only start the target program, then end.
        m_engine.RunAsSecondInstance();
        ::PostQuitMessage(0);
    } else {
        ::SetTimer(m_hWnd, kStartTimer, m_options.periods.firstAttemptMs, nullptr);
    }
    return FALSE;  // the focus is set
}

void CRelvoDlg::CreateFonts() {
    const std::wstring face = AfxLoadString(IDS_UPD_FONT_FACE + m_options.messageOffset);
    m_hTitleFont = ::CreateFontW(m_layout.titleFontHeight, 0, 0, 0, kBoldWeight, FALSE, FALSE,
                                 FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                 DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str());
    // Height 0: the font mapper's default height.
    m_hListFont = ::CreateFontW(0, 0, 0, 0, kNormalWeight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                DEFAULT_PITCH | FF_DONTCARE, face.c_str());
}

void CRelvoDlg::ApplyLayout() {
    constexpr UINT kPlace = SWP_NOZORDER | SWP_NOACTIVATE;
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, m_layout.dialogWidth, m_layout.dialogHeight,
                   kPlace | SWP_NOMOVE);
    const struct {
        int id;
        const tavrel::UpdaterRect& rect;
    } controls[] = {{IDC_UPD_TITLE, m_layout.title},
                    {IDC_UPD_PROGRESS, m_layout.list},
                    {IDOK, m_layout.runNow}};
    for (const auto& control : controls) {
        ::SetWindowPos(GetDlgItem(control.id), nullptr, control.rect.x, control.rect.y,
                       control.rect.width, control.rect.height, kPlace);
    }
}

void CRelvoDlg::AppendLog(int level, int messageId, const std::u16string& argument) {
    if (level < m_nLogThreshold || m_hProgressList == nullptr) return;
    const std::wstring pattern =
        AfxLoadString(static_cast<UINT>(messageId + m_options.messageOffset));
    const std::wstring text = FormatMessageText(pattern, argument);
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    const std::wstring line =
        AfxToWide(tavrel::LogLine(now.wHour, now.wMinute, now.wSecond, AfxToU16(text)));
    ::SendMessageW(m_hProgressList, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    // The retry paths log every ten seconds for as long as the updater runs; the
    // oldest lines (at the bottom) make room.
    LRESULT count = ::SendMessageW(m_hProgressList, LB_GETCOUNT, 0, 0);
    while (count > tavrel::kUpdaterLogLineLimit) {
        ::SendMessageW(m_hProgressList, LB_DELETESTRING, static_cast<WPARAM>(count - 1), 0);
        --count;
    }
}

void CRelvoDlg::HideUpdater() {
    m_bVisibleFlag = false;
    ShowWindow(SW_HIDE);
}

void CRelvoDlg::RunNow() { m_engine.RunNow(); }

void CRelvoDlg::OnOK() { RunNow(); }

// Esc and the close command: the updater is ended only through Run now.
void CRelvoDlg::OnCancel() {}

void CRelvoDlg::OnSysCommand(UINT id, LPARAM) {
    if ((id & kSysCommandMask) == IDM_UPD_ABOUTBOX) {
        CDialogEx about(IDD_UPD_ABOUTBOX, this);
        about.DoModal();
    }
}

void CRelvoDlg::OnStartTimer() {
    ::KillTimer(m_hWnd, kStartTimer);
    switch (m_engine.RunStartSequence()) {
        case tavrel::StartOutcome::kRetryLater:
            ::SetTimer(m_hWnd, kStartTimer, m_options.periods.retryMs, nullptr);
            break;
        case tavrel::StartOutcome::kStartDownloads:
            PostMessage(WM_TIMER, kDownloadTimer, 0);
            ::SetTimer(m_hWnd, kDownloadTimer, m_options.periods.downloadMs, nullptr);
            break;
        case tavrel::StartOutcome::kEnding:
            break;
    }
}

void CRelvoDlg::OnDownloadTimer() {
    ::KillTimer(m_hWnd, kDownloadTimer);
    if (m_engine.DownloadStep())
        ::SetTimer(m_hWnd, kDownloadTimer, m_options.periods.downloadMs, nullptr);
}

BOOL CRelvoDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == IDCANCEL) return TRUE;  // ignored
            return FALSE;
        case WM_TIMER:
            if (wParam == kStartTimer) {
                OnStartTimer();
                return TRUE;
            }
            if (wParam == kDownloadTimer) {
                OnDownloadTimer();
                return TRUE;
            }
            return FALSE;
        case WM_PAINT:
            Paint();
            return TRUE;
        case WM_ERASEBKGND:
            result = 1;  // the paint covers the whole client area
            return TRUE;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORLISTBOX:
            result = OnCtlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
            return result != 0;
        case WM_QUERYDRAGICON:
            result = reinterpret_cast<LRESULT>(m_hIcon);
            return TRUE;
        case WM_NCHITTEST:
            return OnNcHitTest(lParam, result);
        case WM_WINDOWPOSCHANGING:
            OnWindowPosChanging(reinterpret_cast<WINDOWPOS*>(lParam));
            return FALSE;
        case WM_DISPLAYCHANGE:
            OnDisplayChange();
            return TRUE;
        case WM_DESTROY:
            ::KillTimer(m_hWnd, kStartTimer);
            ::KillTimer(m_hWnd, kDownloadTimer);
            ReleasePaintResources();
            return FALSE;
        default:
            return FALSE;
    }
}

LRESULT CRelvoDlg::OnCtlColor(HDC dc, HWND control) {
    const int id = ::GetDlgCtrlID(control);
    if (id == IDC_UPD_PROGRESS) {
        ::SetTextColor(dc, kListTextColour);
        ::SetBkMode(dc, TRANSPARENT);
        // Items are filled with the background colour whatever the mode.
        ::SetBkColor(dc, kListColour);
        ::SelectObject(dc, m_hListFont);
        return reinterpret_cast<LRESULT>(m_hListBrush);
    }
    if (id == IDC_UPD_TITLE) {
        ::SetTextColor(dc, kTitleColour);
        ::SetBkMode(dc, TRANSPARENT);
        ::SelectObject(dc, m_hTitleFont);
        return reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
    }
    return 0;
}

BOOL CRelvoDlg::OnNcHitTest(LPARAM lParam, LRESULT& result) {
    POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ::ScreenToClient(m_hWnd, &point);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    if (!tavrel::InUpdaterHeader(point.x, point.y, client.right, m_fScale)) return FALSE;
    result = HTCAPTION;
    return TRUE;
}

// A hidden updater stays hidden: whoever asks to show it (the dialog manager at the
// start of its loop, a second ShowWindow) is overruled while the flag is clear.
void CRelvoDlg::OnWindowPosChanging(WINDOWPOS* position) {
    if (position == nullptr) return;
    if (m_bVisibleFlag)
        position->flags |= SWP_SHOWWINDOW;
    else
        position->flags &= ~static_cast<UINT>(SWP_SHOWWINDOW);
}

void CRelvoDlg::OnDisplayChange() {
    // The scale chosen at start stays: only the size is put back.
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, m_layout.dialogWidth, m_layout.dialogHeight,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CRelvoDlg::PrepareCanvas(HDC dc, const RECT& client) {
    if (m_hCanvasDc == nullptr) {
        m_hCanvasDc = ::CreateCompatibleDC(dc);
        m_hBodyPen = ::CreatePen(PS_SOLID, 1, kBodyColour);
        m_hHeaderPen = ::CreatePen(PS_SOLID, 1, kHeaderColour);
        m_hBodyBrush = ::CreateSolidBrush(kBodyColour);
        m_hHeaderBrush = ::CreateSolidBrush(kHeaderColour);
        m_hBackdrop = ::LoadBitmapW(AfxGetResourceHandle(),
                                    MAKEINTRESOURCEW(IDB_UPD_BACKDROP + m_options.messageOffset));
    }
    if (m_hCanvas == nullptr || m_canvasSize.cx != client.right ||
        m_canvasSize.cy != client.bottom) {
        HBITMAP canvas = ::CreateCompatibleBitmap(dc, client.right, client.bottom);
        HGDIOBJ previous = ::SelectObject(m_hCanvasDc, canvas);
        if (m_hCanvas == nullptr)
            m_hOldCanvas = previous;
        else
            ::DeleteObject(m_hCanvas);
        m_hCanvas = canvas;
        m_canvasSize = SIZE{client.right, client.bottom};
    }
}

void CRelvoDlg::Paint() {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(m_hWnd, &paint);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    if (::IsIconic(m_hWnd)) {
        const int x = (client.right - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
        const int y = (client.bottom - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
        ::DrawIcon(dc, x, y, m_hIcon);
    } else if (client.right > 0 && client.bottom > 0) {
        PrepareCanvas(dc, client);
        HGDIOBJ oldPen = ::SelectObject(m_hCanvasDc, m_hBodyPen);
        HGDIOBJ oldBrush = ::SelectObject(m_hCanvasDc, m_hBodyBrush);
        ::Rectangle(m_hCanvasDc, 0, 0, client.right, client.bottom);
        ::SelectObject(m_hCanvasDc, m_hHeaderPen);
        ::SelectObject(m_hCanvasDc, m_hHeaderBrush);
        ::Rectangle(m_hCanvasDc, 0, 0, client.right, m_layout.headerHeight);
        ::SelectObject(m_hCanvasDc, oldPen);
        ::SelectObject(m_hCanvasDc, oldBrush);
        const tavrel::UpdaterRect& frame = m_layout.backdrop;
        DrawBitmapStretched(m_hCanvasDc, m_hBackdrop, frame.x, frame.y, frame.width, frame.height);
        ::BitBlt(dc, 0, 0, client.right, client.bottom, m_hCanvasDc, 0, 0, SRCCOPY);
    }
    ::EndPaint(m_hWnd, &paint);
}

void CRelvoDlg::ReleasePaintResources() {
    if (m_hCanvasDc != nullptr) {
        if (m_hCanvas != nullptr) ::SelectObject(m_hCanvasDc, m_hOldCanvas);
        ::DeleteDC(m_hCanvasDc);
        m_hCanvasDc = nullptr;
    }
    for (HGDIOBJ* object :
         {reinterpret_cast<HGDIOBJ*>(&m_hCanvas), reinterpret_cast<HGDIOBJ*>(&m_hBackdrop),
          reinterpret_cast<HGDIOBJ*>(&m_hBodyPen), reinterpret_cast<HGDIOBJ*>(&m_hHeaderPen),
          reinterpret_cast<HGDIOBJ*>(&m_hBodyBrush), reinterpret_cast<HGDIOBJ*>(&m_hHeaderBrush)}) {
        if (*object != nullptr) ::DeleteObject(*object);
        *object = nullptr;
    }
    m_canvasSize = SIZE{0, 0};
}
