#include "widgets/CustomMsgDlg_win.h"

#include "resources/resource.h"
#include "shell/ScaleFactor.h"
#include "widgets/GdiPlus_win.h"
#include "widgets/Theme_win.h"

namespace {

// Pictures of the box and its buttons (normal, hover, disabled, checked).
constexpr UINT kPicClose = 137;
constexpr UINT kPicBackground = 172;  // 470 × 124
constexpr UINT kPicIcon = 173;        // 55 × 50
constexpr UINT kPicOk[] = {169, 170, 169, 170};
constexpr UINT kPicCancel[] = {166, 167, 166, 167};
constexpr UINT kPicYes[] = {171, 171, 171, 171};
constexpr UINT kPicNo[] = {168, 168, 168, 168};

constexpr int kCloseLeft = 463;
constexpr int kCloseWidth = 39;
constexpr int kCloseHeight = 34;
constexpr int kCaptionLeft = 6;
constexpr int kCaptionTop = 12;
constexpr int kCaptionWidth = 231;
constexpr int kCaptionHeight = 22;
constexpr int kBackgroundLeft = 15, kBackgroundTop = 51, kBackgroundWidth = 470,
              kBackgroundHeight = 124;
constexpr int kIconLeft = 39, kIconTop = 85, kIconWidth = 55, kIconHeight = 50;
constexpr int kFontHeight = 13;
constexpr int kMessageTextLabelId = IDC_MSG_TEXT;
constexpr int kBoldWeight = 700;
constexpr int kNormalWeight = 400;

constexpr UINT kTextFlags = DT_WORDBREAK | DT_VCENTER | DT_EXTERNALLEADING | DT_NOPREFIX;

// Box types and the x of each button shown, left to right.
struct ButtonLayout {
    int type;
    int yes, no, ok, cancel;  // -1: hidden
};
constexpr ButtonLayout kLayouts[] = {
    {MB_OK, -1, -1, 418, -1},
    {MB_YESNO, 345, 418, -1, -1},
    {MB_YESNOCANCEL, 272, 345, -1, 418},
};

HFONT MakeFont(int weight) {
    const std::wstring face = AfxLoadString(IDS_FONT_FACE);
    return ::CreateFontW(Scaled(kFontHeight), 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                         face.c_str());
}

void Place(CWnd& control, int x, int y, int width, int height) {
    control.MoveWindow(Scaled(x), Scaled(y), Scaled(width), Scaled(height));
}

}  // namespace

CCustomMsgDlg::CCustomMsgDlg(CWnd* parent) : CDialogEx(IDD_CUSTOM_MSG_DIALOG, parent) {}

CCustomMsgDlg::~CCustomMsgDlg() {
    ReleasePaintResources();
    if (m_boxTitleFont != nullptr) ::DeleteObject(m_boxTitleFont);
    if (m_boxTextFont != nullptr) ::DeleteObject(m_boxTextFont);
}

BOOL CCustomMsgDlg::OnInitDialog() {
    m_btnOk.SubclassDlgItem(IDOK, this);
    m_btnCancel.SubclassDlgItem(IDCANCEL, this);
    m_btnYes.SubclassDlgItem(IDC_MSG_YES, this);
    m_btnNo.SubclassDlgItem(IDC_MSG_NO, this);

    m_boxTitleFont = MakeFont(kBoldWeight);
    m_boxTextFont = MakeFont(kNormalWeight);

    RECT closeRect{Scaled(kCloseLeft), 0, Scaled(kCloseLeft) + Scaled(kCloseWidth),
                   Scaled(kCloseHeight)};
    m_btnClose.Create(L"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, closeRect, this, IDC_MSG_CLOSE);
    m_btnClose.LoadBitmaps(kPicClose, kPicClose, kPicClose, kPicClose);
    m_btnOk.LoadBitmaps(kPicOk[0], kPicOk[1], kPicOk[2], kPicOk[3]);
    m_btnCancel.LoadBitmaps(kPicCancel[0], kPicCancel[1], kPicCancel[2], kPicCancel[3]);
    m_btnYes.LoadBitmaps(kPicYes[0], kPicYes[1], kPicYes[2], kPicYes[3]);
    m_btnNo.LoadBitmaps(kPicNo[0], kPicNo[1], kPicNo[2], kPicNo[3]);

    // Centred on the screen's work area, where a teacher looks for it; the template
    // alone would leave the box in a corner.
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    ::SetWindowPos(m_hWnd, nullptr, work.left + (work.right - work.left - Scaled(kWidth)) / 2,
                   work.top + (work.bottom - work.top - Scaled(kHeight)) / 2, Scaled(kWidth),
                   Scaled(kHeight), SWP_NOZORDER);
    HWND caption = GetDlgItem(IDC_MSG_CAPTION);
    ::SetWindowTextW(caption, captionText.c_str());
    ::MoveWindow(caption, Scaled(kCaptionLeft), Scaled(kCaptionTop), Scaled(kCaptionWidth),
                 Scaled(kCaptionHeight), TRUE);
    ::SendMessageW(caption, WM_SETFONT, reinterpret_cast<WPARAM>(m_boxTitleFont), TRUE);
    ::SetWindowTextW(m_hWnd, captionText.c_str());
    // The text is painted, so no control carries it; this hidden label does, for tests
    // and accessibility tools that read a box's message through its controls.
    ::CreateWindowExW(0, L"STATIC", messageText.c_str(), WS_CHILD | SS_NOPREFIX, 0, 0, 0, 0, m_hWnd,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kMessageTextLabelId)),
                      AfxGetInstanceHandle(), nullptr);
    PlaceButtons();
    return TRUE;
}

void CCustomMsgDlg::PlaceButtons() {
    for (const ButtonLayout& layout : kLayouts) {
        if (layout.type != boxType) continue;
        const std::pair<CImageButton*, int> buttons[] = {{&m_btnYes, layout.yes},
                                                         {&m_btnNo, layout.no},
                                                         {&m_btnOk, layout.ok},
                                                         {&m_btnCancel, layout.cancel}};
        for (const auto& [button, x] : buttons) {
            if (x < 0) continue;
            Place(*button, x, kButtonTop, kButtonWidth, kButtonHeight);
            button->ShowWindow(SW_SHOW);
        }
    }
}

void CCustomMsgDlg::OnOK() {
    pressedButton = IDOK;
    EndDialog(IDOK);
}

void CCustomMsgDlg::OnCancel() {
    pressedButton = IDCANCEL;
    EndDialog(IDCANCEL);
}

RECT CCustomMsgDlg::TextRect(HDC dc, HFONT font, const std::wstring& text) {
    const int top = Scaled(kTextTop);
    const int bottom = Scaled(kTextBottom);
    RECT measure{Scaled(kTextLeft), top, Scaled(kTextRight), bottom};
    HGDIOBJ old = ::SelectObject(dc, font);
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &measure,
                kTextFlags | DT_CALCRECT);
    ::SelectObject(dc, old);
    const int height = measure.bottom - measure.top;
    int drawTop = top + (bottom - top - height) / 2;
    if (drawTop < top) drawTop = top;
    return RECT{Scaled(kTextLeft), drawTop, Scaled(kTextRight), bottom};
}

void CCustomMsgDlg::CreatePaintResources(HDC dc, int width, int height) {
    m_memDC = ::CreateCompatibleDC(dc);
    m_canvas = ::CreateCompatibleBitmap(dc, width, height);
    m_oldCanvas = ::SelectObject(m_memDC, m_canvas);
    m_picBackground = ::LoadBitmapW(AfxGetResourceHandle(), MAKEINTRESOURCEW(kPicBackground));
    m_picIcon = ::LoadBitmapW(AfxGetResourceHandle(), MAKEINTRESOURCEW(kPicIcon));
    m_pens[0] = ::CreatePen(PS_SOLID, 1, kThemeStripLineColour);
    m_pens[1] = ::CreatePen(PS_SOLID, 1, kThemeStripColour);
    m_pens[2] = ::CreatePen(PS_SOLID, 1, kThemeBoxBodyColour);
    m_brushBody = ::CreateSolidBrush(kThemeBoxBodyColour);
    m_brushHeader = ::CreateSolidBrush(kThemeStripColour);
}

void CCustomMsgDlg::ReleasePaintResources() {
    if (m_memDC != nullptr) {
        ::SelectObject(m_memDC, m_oldCanvas);
        ::DeleteObject(m_canvas);
        ::DeleteDC(m_memDC);
        m_memDC = nullptr;
    }
    for (HGDIOBJ object : {static_cast<HGDIOBJ>(m_picBackground), static_cast<HGDIOBJ>(m_picIcon),
                           static_cast<HGDIOBJ>(m_pens[0]), static_cast<HGDIOBJ>(m_pens[1]),
                           static_cast<HGDIOBJ>(m_pens[2]), static_cast<HGDIOBJ>(m_brushBody),
                           static_cast<HGDIOBJ>(m_brushHeader)}) {
        if (object != nullptr) ::DeleteObject(object);
    }
    m_picBackground = m_picIcon = nullptr;
    m_pens[0] = m_pens[1] = m_pens[2] = nullptr;
    m_brushBody = m_brushHeader = nullptr;
}

void CCustomMsgDlg::Paint() {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(m_hWnd, &paint);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    if (m_memDC == nullptr) CreatePaintResources(dc, client.right, client.bottom);

    ::FillRect(m_memDC, &client, m_brushBody);
    RECT header{0, 0, client.right, Scaled(kHeaderHeight)};
    ::FillRect(m_memDC, &header, m_brushHeader);
    HGDIOBJ oldPen = ::SelectObject(m_memDC, m_pens[0]);
    ::MoveToEx(m_memDC, 0, Scaled(kHeaderHeight), nullptr);
    ::LineTo(m_memDC, client.right, Scaled(kHeaderHeight));
    ::SelectObject(m_memDC, oldPen);

    DrawBitmapStretched(m_memDC, m_picBackground, Scaled(kBackgroundLeft), Scaled(kBackgroundTop),
                        Scaled(kBackgroundWidth), Scaled(kBackgroundHeight));
    DrawBitmapStretched(m_memDC, m_picIcon, Scaled(kIconLeft), Scaled(kIconTop), Scaled(kIconWidth),
                        Scaled(kIconHeight));

    RECT text = TextRect(m_memDC, m_boxTextFont, messageText);
    HGDIOBJ oldFont = ::SelectObject(m_memDC, m_boxTextFont);
    ::SetTextColor(m_memDC, kThemeBoxTextColour);
    ::SetBkMode(m_memDC, TRANSPARENT);
    ::DrawTextW(m_memDC, messageText.c_str(), static_cast<int>(messageText.size()), &text,
                kTextFlags);
    ::SelectObject(m_memDC, oldFont);

    ::BitBlt(dc, 0, 0, client.right, client.bottom, m_memDC, 0, 0, SRCCOPY);
    ::EndPaint(m_hWnd, &paint);
}

BOOL CCustomMsgDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_MSG_YES:
                    pressedButton = IDYES;
                    EndDialog(IDOK);
                    return TRUE;
                case IDC_MSG_NO:
                    pressedButton = IDNO;
                    EndDialog(IDCANCEL);
                    return TRUE;
                case IDC_MSG_CLOSE:
                    OnCancel();
                    return TRUE;
                default:
                    return FALSE;
            }
        case WM_PAINT:
            Paint();
            result = 0;
            return TRUE;
        case WM_ERASEBKGND:
            result = 1;
            return TRUE;
        case WM_CTLCOLORSTATIC:
            if (reinterpret_cast<HWND>(lParam) == GetDlgItem(IDC_MSG_CAPTION)) {
                HDC dc = reinterpret_cast<HDC>(wParam);
                ::SetTextColor(dc, kThemeCaptionColour);
                ::SetBkMode(dc, TRANSPARENT);
                result = reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
                return TRUE;
            }
            return FALSE;
        case WM_NCHITTEST: {
            // The box is dragged by its header band.
            POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            ::ScreenToClient(m_hWnd, &point);
            if (point.y >= 0 && point.y < Scaled(kHeaderHeight)) {
                result = HTCAPTION;
                return TRUE;
            }
            return FALSE;
        }
        case WM_DISPLAYCHANGE:
            ::SetWindowPos(m_hWnd, nullptr, 0, 0, Scaled(kWidth), Scaled(kHeight),
                           SWP_NOMOVE | SWP_NOZORDER);
            return FALSE;
        default:
            return FALSE;
    }
}
