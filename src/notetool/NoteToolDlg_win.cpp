#include "notetool/NoteToolDlg_win.h"

#include "notetool/NoteRules.h"
#include "notetool/NoteToolWnd_win.h"
#include "resources/resource.h"
#include "shell/ConsoleUser_win.h"
#include "shell/FolderChain_win.h"
#include "shell/ProgramMessages.h"
#include "shell/PumpMessages_win.h"
#include "shell/ScaleFactor.h"
#include "shell/SettingsStore_win.h"
#include "shell/SettingsValues.h"
#include "widgets/CustomMsgDlg_win.h"
#include "widgets/ShowMessageBox_win.h"
#include "widgets/WaitMsgDlg_win.h"

namespace {

constexpr UINT_PTR kKeepOnTopTimer = kTimerKeepOnTop;
constexpr UINT kKeepOnTopMs = 100;
// The palette leaves the screen for this long before the screen is copied or saved.
constexpr DWORD kHidePauseMs = 200;
constexpr DWORD kSavedNoticeMs = 1000;
constexpr int kWidth = 173;
constexpr int kShortHeight = 109;
constexpr int kCaptionX = 6, kCaptionY = 12, kCaptionWidth = 131, kCaptionHeight = 22;
constexpr int kCaptionFontHeight = 12;
constexpr int kTitleBandBottom = 34;
constexpr int kToolPanelTop = 109, kToolPanelBottom = 351;
constexpr COLORREF kFillColour = RGB(222, 160, 165);
constexpr COLORREF kTitleColour = RGB(119, 24, 24);
constexpr COLORREF kToolPanelColour = RGB(225, 225, 225);
constexpr COLORREF kCaptionTextColour = RGB(225, 225, 225);
constexpr int kBoldWeight = 700;
constexpr LPARAM kContextBit = 1 << 29;

int S(int design) { return note::ScaledLength(design, g_fScaleFactor); }

std::wstring Setting(const char16_t* name) { return AfxToWide(name); }

void FillBand(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
    HBRUSH brush = ::CreateSolidBrush(colour);
    const RECT band{left, top, right, bottom};
    ::FillRect(dc, &band, brush);
    ::DeleteObject(brush);
}

}  // namespace

CNoteToolDlg::CNoteToolDlg(HWND mainDialog, std::atomic<HWND>* handle)
    : CDialogEx(IDD_NOTETOOL_DIALOG), m_hMainDialog(mainDialog), m_pHandle(handle) {}

CNoteToolDlg::~CNoteToolDlg() {
    if (m_hCaptionFont != nullptr) ::DeleteObject(m_hCaptionFont);
    if (m_hTitleBrush != nullptr) ::DeleteObject(m_hTitleBrush);
}

// ---------------------------------------------------------------- set-up

BOOL CNoteToolDlg::OnInitDialog() {
    const std::wstring face = AfxLoadString(IDS_FONT_FACE);
    m_hCaptionFont = ::CreateFontW(S(kCaptionFontHeight), 0, 0, 0, kBoldWeight, FALSE, FALSE, FALSE,
                                   DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                   DEFAULT_QUALITY, DEFAULT_PITCH, face.c_str());
    HWND caption = GetDlgItem(IDC_NOTE_CAPTION);
    ::SendMessageW(caption, WM_SETFONT, reinterpret_cast<WPARAM>(m_hCaptionFont), FALSE);
    CreateButtons();
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, S(kWidth), S(kShortHeight),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::MoveWindow(caption, S(kCaptionX), S(kCaptionY), S(kCaptionWidth), S(kCaptionHeight), FALSE);
    ::SetTimer(m_hWnd, kKeepOnTopTimer, kKeepOnTopMs, nullptr);
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    // The folder is there before the first save, where the teacher will look for it.
    const std::wstring desktop = DesktopFolder(m_hWnd, L"");
    if (!desktop.empty()) {
        const note::NoteSavePath path =
            note::MakeNoteSavePath(AfxToU16(desktop), note::LocalTime{2000, 1, 1, 0, 0, 0});
        if (path.valid) CreateFolderChain(AfxToWide(path.folder));
    }
    m_pHandle->store(m_hWnd);
    m_nMode = note::kModeTouch;
    Refresh();
    return FALSE;  // the palette takes no focus
}

void CNoteToolDlg::CreateButtons() {
    for (size_t i = 0; i < sizeof m_buttons / sizeof *m_buttons; ++i) {
        const note::PaletteButton& b = note::kPaletteButtons[i];
        // A check button shows the palette's state; a click only reports itself.
        const DWORD kind = b.check ? (BS_CHECKBOX | BS_PUSHLIKE) : BS_PUSHBUTTON;
        const RECT rect{S(b.x), S(b.y), S(b.x) + S(b.width), S(b.y) + S(b.height)};
        m_buttons[i].Create(L"", WS_CHILD | WS_VISIBLE | kind, rect, this, static_cast<UINT>(b.id));
        m_buttons[i].LoadBitmaps(static_cast<UINT>(b.images[0]), static_cast<UINT>(b.images[1]),
                                 static_cast<UINT>(b.images[2]), static_cast<UINT>(b.images[3]));
        if (b.tooltip != 0) m_buttons[i].SetTooltip(AfxLoadString(b.tooltip).c_str());
    }
}

CImageButton* CNoteToolDlg::Button(int id) {
    for (size_t i = 0; i < sizeof m_buttons / sizeof *m_buttons; ++i)
        if (note::kPaletteButtons[i].id == id) return &m_buttons[i];
    return nullptr;
}

void CNoteToolDlg::SetCheck(int id, bool checked) {
    if (CImageButton* button = Button(id)) button->SetCheck(checked ? BST_CHECKED : BST_UNCHECKED);
}

// ---------------------------------------------------------------- state and place

void CNoteToolDlg::Refresh() {
    if (m_nMode == note::kModeBoard || m_nMode == note::kModeWhiteboard) {
        SetCheck(IDC_NOTE_TOUCH_MODE, false);
        SetCheck(IDC_NOTE_BOARD_MODE, m_nMode == note::kModeBoard);
        SetCheck(IDC_NOTE_WHITEBOARD_MODE, m_nMode == note::kModeWhiteboard);
        SetCheck(IDC_NOTE_DRAW, m_nTool == note::kToolDraw);
        SetCheck(IDC_NOTE_ERASE, m_nTool == note::kToolErase);
        const std::wstring section = Setting(tavrel::kSectionConfig);
        WriteSettingInt(section.c_str(), Setting(tavrel::kKeyNoteToolColor).c_str(),
                        static_cast<int>(m_nColour));
        WriteSettingInt(section.c_str(), Setting(tavrel::kKeyNoteToolPenSizeType).c_str(),
                        m_nSizeType);
        const int colourButton = note::ColourButton(m_nColour);
        for (const note::NoteColour& c : note::kColours)
            SetCheck(c.buttonId, c.buttonId == colourButton);
        const int sizeButton = note::SizeButton(m_nSizeType);
        for (int id = IDC_NOTE_SIZE1; id < IDC_NOTE_SIZE1 + 4; ++id) SetCheck(id, id == sizeButton);
        if (m_pOverlay != nullptr) m_pOverlay->SetPenSize(m_nSizeType);
    } else {
        SetCheck(IDC_NOTE_TOUCH_MODE, true);
        SetCheck(IDC_NOTE_BOARD_MODE, false);
        SetCheck(IDC_NOTE_WHITEBOARD_MODE, false);
    }
    Layout();
}

void CNoteToolDlg::Layout() {
    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    const note::PalettePlace place =
        note::PaletteLayout(g_fScaleFactor, m_nMode, m_bPositioned,
                            note::NoteRect{window.left, window.top, window.right, window.bottom},
                            ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN));
    // Placed once, hidden, when it is made; shown by every later layout.
    const UINT show = m_bPositioned ? SWP_SHOWWINDOW : 0;
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, place.x, place.y, place.width, place.height,
                   SWP_NOACTIVATE | show);
    m_bPositioned = true;
}

void CNoteToolDlg::KeepOnTop() {
    ::KillTimer(m_hWnd, kKeepOnTopTimer);
    constexpr UINT kFlags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
    if (m_pOverlay != nullptr && m_hMainDialog != nullptr)
        ::SetWindowPos(m_pOverlay->m_hWnd, m_hMainDialog, 0, 0, 0, 0, kFlags);
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, kFlags);
    ::SetTimer(m_hWnd, kKeepOnTopTimer, kKeepOnTopMs, nullptr);
}

void CNoteToolDlg::Paint() {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(m_hWnd, &paint);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    FillBand(dc, 0, 0, client.right, client.bottom, kFillColour);
    FillBand(dc, 0, 0, client.right, S(kTitleBandBottom), kTitleColour);
    FillBand(dc, 0, S(kToolPanelTop), client.right, S(kToolPanelBottom), kToolPanelColour);
    ::EndPaint(m_hWnd, &paint);
}

// ---------------------------------------------------------------- overlay

void CNoteToolDlg::CloseOverlay() {
    if (m_pOverlay == nullptr) return;
    m_pOverlay->CloseOverlay();  // the window object deletes itself
    m_pOverlay = nullptr;
}

bool CNoteToolDlg::CloseOverlayAsking() {
    if (m_pOverlay == nullptr) return true;
    if (m_pOverlay->Modified()) {
        ::KillTimer(m_hWnd, kKeepOnTopTimer);
        m_pOverlay->EnableWindow(FALSE);
        const std::wstring text = AfxLoadString(IDS_NOTE_SAVE_CHANGES);
        const std::wstring caption = AfxLoadString(IDS_NOTE_SAVE_CAPTION);
        const int answer = ShowMessageBox(text.c_str(), caption.c_str(), MB_YESNOCANCEL);
        ::SetTimer(m_hWnd, kKeepOnTopTimer, kKeepOnTopMs, nullptr);
        m_pOverlay->EnableWindow(TRUE);
        // Anything but Yes or No (Cancel, or another box already open) keeps the ink.
        if (answer != IDYES && answer != IDNO) return false;
        if (answer == IDYES) Save();
    }
    CloseOverlay();
    return true;
}

void CNoteToolDlg::EnterDrawingMode(int mode) {
    if (IsMessageBoxOpen() || m_nMode == mode) return;
    if (!CloseOverlayAsking()) return;
    m_nMode = mode;
    if (mode == note::kModeBoard) {
        // Off the screen before the screen is copied.
        ShowWindow(SW_HIDE);
        PumpMessages(kHidePauseMs);
    }
    m_pOverlay = CNoteToolWnd::CreateOverlay(mode, m_hMainDialog);
    if (m_pOverlay == nullptr) {
        m_nMode = note::kModeTouch;
        Refresh();
        return;
    }
    const std::wstring section = Setting(tavrel::kSectionConfig);
    m_nTool = note::kToolDraw;
    m_nSizeType = note::AcceptedSizeType(
        ReadSettingInt(section.c_str(), Setting(tavrel::kKeyNoteToolPenSizeType).c_str(), 2));
    m_pOverlay->SetTool(note::kToolDraw);
    m_pOverlay->SetPenSize(m_nSizeType);
    m_nColour = note::AcceptedColour(
        ReadSettingInt(section.c_str(), Setting(tavrel::kKeyNoteToolColor).c_str(), 230));
    m_pOverlay->SetColour(static_cast<COLORREF>(m_nColour));
    SetCheck(IDC_NOTE_SEMI_TRANSPARENT, m_pOverlay->SemiTransparent());
    Refresh();
}

// ---------------------------------------------------------------- saving

bool CNoteToolDlg::SaveOverlay() {
    const std::wstring desktop = DesktopFolder(m_hWnd, L"");
    // One reading of the clock names both the day's folder and the file.
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    const note::NoteSavePath path = note::MakeNoteSavePath(
        AfxToU16(desktop),
        note::LocalTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond});
    if (!path.valid) return false;
    CreateFolderChain(AfxToWide(path.dayFolder));
    return m_pOverlay->SaveJpeg(AfxToWide(path.file));
}

void CNoteToolDlg::Save() {
    if (m_pOverlay == nullptr || IsMessageBoxOpen()) return;
    if (m_nMode != note::kModeBoard && m_nMode != note::kModeWhiteboard) return;
    ShowWindow(SW_HIDE);
    PumpMessages(kHidePauseMs);
    const bool saved = SaveOverlay();
    ShowWindow(SW_SHOWNOACTIVATE);
    EnableWindow(FALSE);
    m_pOverlay->EnableWindow(FALSE);
    if (saved) {
        CWaitMsgDlg notice;
        if (notice.Create(nullptr)) {
            notice.SetDlgItemText(IDC_WAIT_TEXT, AfxLoadString(IDS_NOTE_SAVED).c_str());
            RECT box{};
            ::GetWindowRect(notice.m_hWnd, &box);
            ::SetWindowPos(notice.m_hWnd, HWND_TOPMOST,
                           (::GetSystemMetrics(SM_CXSCREEN) - (box.right - box.left)) / 2,
                           (::GetSystemMetrics(SM_CYSCREEN) - (box.bottom - box.top)) / 2, 0, 0,
                           SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
            PumpMessages(kSavedNoticeMs);
            notice.ShowWindow(SW_HIDE);
            notice.DestroyWindow();
        }
    } else {
        // Said plainly: a teacher must never believe a lost page was kept. The ink
        // stays unsaved, so leaving the page still asks.
        ShowMessageBox(AfxLoadString(IDS_NOTE_SAVE_FAILED).c_str(), nullptr, MB_OK);
    }
    if (m_pOverlay == nullptr) return;
    m_pOverlay->EnableWindow(TRUE);
    EnableWindow(TRUE);
    ::SetForegroundWindow(m_pOverlay->m_hWnd);
    ::SetForegroundWindow(m_hWnd);
}

// ---------------------------------------------------------------- commands

void CNoteToolDlg::CloseCommand() {
    if (IsMessageBoxOpen()) return;
    if (!CloseOverlayAsking()) return;
    m_nMode = note::kModeTouch;
    Refresh();
    ShowWindow(SW_HIDE);
}

void CNoteToolDlg::OnOK() { CloseCommand(); }

void CNoteToolDlg::OnRemoteStarted() {
    // Remote control takes the whole screen: the page goes without a question.
    CloseOverlay();
    m_nMode = note::kModeTouch;
    Refresh();
    ShowWindow(SW_HIDE);
}

void CNoteToolDlg::OnCommand(int id) {
    // What acts on the overlay needs one; its buttons are hidden without it, but a
    // hidden button still takes a posted click.
    const bool overlay = m_pOverlay != nullptr;
    switch (id) {
        case IDC_NOTE_CLOSE:
            CloseCommand();
            return;
        case IDC_NOTE_TOUCH_MODE:
            if (IsMessageBoxOpen() || !CloseOverlayAsking()) return;
            m_nMode = note::kModeTouch;
            Refresh();
            return;
        case IDC_NOTE_BOARD_MODE:
            EnterDrawingMode(note::kModeBoard);
            return;
        case IDC_NOTE_WHITEBOARD_MODE:
            EnterDrawingMode(note::kModeWhiteboard);
            return;
        case IDC_NOTE_DRAW:
        case IDC_NOTE_ERASE:
            if (!overlay) return;
            m_nTool = id == IDC_NOTE_DRAW ? note::kToolDraw : note::kToolErase;
            m_pOverlay->SetTool(m_nTool);
            Refresh();
            return;
        case IDC_NOTE_CLEAR_ALL:
            if (overlay) m_pOverlay->ClearAll();
            return;
        case IDC_NOTE_SEMI_TRANSPARENT:
            if (!overlay) return;
            m_pOverlay->ToggleSemiTransparent();
            SetCheck(IDC_NOTE_SEMI_TRANSPARENT, m_pOverlay->SemiTransparent());
            return;
        case IDC_NOTE_SAVE:
            Save();
            return;
        default:
            break;
    }
    if (id >= IDC_NOTE_SIZE1 && id < IDC_NOTE_SIZE1 + 4 && overlay) {
        m_nSizeType = id - IDC_NOTE_SIZE1 + 1;
        m_pOverlay->SetPenSize(m_nSizeType);
        Refresh();
        return;
    }
    for (const note::NoteColour& c : note::kColours) {
        if (c.buttonId != id || !overlay) continue;
        m_nColour = c.value;
        m_pOverlay->SetColour(static_cast<COLORREF>(m_nColour));
        Refresh();
        return;
    }
}

BOOL CNoteToolDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) != BN_CLICKED) return FALSE;
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) return FALSE;
            OnCommand(LOWORD(wParam));
            return TRUE;
        case WM_TIMER:
            if (wParam != kKeepOnTopTimer) return FALSE;
            KeepOnTop();
            return TRUE;
        case WM_PAINT:
            Paint();
            return TRUE;
        case WM_ERASEBKGND:
            result = 1;
            return TRUE;
        case WM_CTLCOLORSTATIC:
            // The caption sits on the title band: drawn on the band's own colour.
            ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
            ::SetTextColor(reinterpret_cast<HDC>(wParam), kCaptionTextColour);
            if (m_hTitleBrush == nullptr) m_hTitleBrush = ::CreateSolidBrush(kTitleColour);
            result = reinterpret_cast<LRESULT>(m_hTitleBrush);
            return TRUE;
        case WM_NCHITTEST: {
            POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            ::ScreenToClient(m_hWnd, &point);
            if (!note::InTitleBand(point.y, g_fScaleFactor)) return FALSE;
            result = HTCAPTION;  // the title band drags the palette
            return TRUE;
        }
        case WM_SYSKEYDOWN:
            if (wParam == VK_F4 && (lParam & kContextBit) != 0) return TRUE;  // no Alt+F4
            return FALSE;
        case WM_CLOSE:
            OnCommand(IDC_NOTE_TOUCH_MODE);
            m_bPositioned = false;
            ShowWindow(SW_HIDE);
            return TRUE;
        case WM_DESTROY:
            ::KillTimer(m_hWnd, kKeepOnTopTimer);
            m_pHandle->store(nullptr);
            m_bPositioned = false;
            CloseOverlay();
            return FALSE;
        default:
            break;
    }
    if (message == kWmNotePlaceAndShow) {
        Layout();
        return TRUE;
    }
    if (message == kWmNoteRemoteStarted) {
        OnRemoteStarted();
        return TRUE;
    }
    return FALSE;
}
