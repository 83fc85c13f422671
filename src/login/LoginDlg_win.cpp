#include "login/LoginDlg_win.h"

#include "login/HttpClient_win.h"
#include "login/TeacherId.h"
#include "resources/Pictures.h"
#include "resources/resource.h"
#include "shell/ProgramPath_win.h"
#include "shell/PumpMessages_win.h"
#include "shell/ScaleFactor.h"
#include "shell/SettingsStore_win.h"
#include "shell/SettingsValues.h"
#include "shell/TextUtil_win.h"
#include "widgets/GdiPlus_win.h"
#include "widgets/ShowMessageBox_win.h"
#include "widgets/Theme_win.h"

namespace {

constexpr int kTitleFontHeight = 13;
constexpr int kTextFontHeight = 12;
constexpr int kBoldWeight = FW_BOLD;

struct Place {
    int x, y, width, height;
};
// Controls, in logical pixels.
struct ControlPlace {
    int id;
    Place place;
};
constexpr ControlPlace kControlPlaces[] = {
    {IDC_LOGIN_TITLE, {6, 12, 287, 13}},
    {IDC_LOGIN_STATUS, {23, 148, 334, 18}},
    {IDC_TEACHER_ID, {132, 184, 194, 18}},
    {IDC_LOGIN_ID_LABEL, {21, 186, 89, 12}},
    {IDOK, {220, 260, 67, 34}},
    {IDCANCEL, {289, 260, 67, 34}},
};
constexpr Place kClosePlace = {337, 0, 39, 34};
// Pictures drawn on the body, stretched to their places.
constexpr Place kBannerPlace = {0, 39, 376, 89};
constexpr Place kIdFramePlace = {104, 178, 252, 29};
constexpr Place kSeparatorPlace = {18, 250, 341, 2};

// Pictures of the buttons: normal, hover, disabled, checked.
constexpr UINT kOkPictures[] = {IDB_LOGIN_OK, IDB_LOGIN_OK_HOVER, IDB_LOGIN_OK, IDB_LOGIN_OK_HOVER};
constexpr UINT kCancelPictures[] = {IDB_LOGIN_CANCEL, IDB_LOGIN_CANCEL_HOVER, IDB_LOGIN_CANCEL,
                                    IDB_LOGIN_CANCEL_HOVER};

HFONT MakeBoldFont(int height) {
    const std::wstring face = AfxLoadString(IDS_FONT_FACE);
    return ::CreateFontW(Scaled(height), 0, 0, 0, kBoldWeight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                         face.c_str());
}

RECT ScaledRect(const Place& place) {
    const int left = Scaled(place.x);
    const int top = Scaled(place.y);
    return RECT{left, top, left + Scaled(place.width), top + Scaled(place.height)};
}

void DrawPicture(HDC dc, HBITMAP picture, const Place& place) {
    DrawBitmapStretched(dc, picture, Scaled(place.x), Scaled(place.y), Scaled(place.width),
                        Scaled(place.height));
}

HBITMAP LoadPicture(UINT id) { return ::LoadBitmapW(AfxGetResourceHandle(), MAKEINTRESOURCEW(id)); }

std::u16string LoadStringU16(unsigned id) { return AfxToU16(AfxLoadString(id)); }

std::wstring TrimWide(const std::wstring& text) {
    return AfxToWide(tavrel::TrimLoginText(AfxToU16(text)));
}

std::wstring ConfigIniPath() {
    if (!g_strConfigIniPath.empty()) return g_strConfigIniPath;
    const std::wstring folder = ProgramDirectory();
    return folder.empty() ? std::wstring() : folder + L"\\" + AfxToWide(tavrel::kConfigIniName);
}

}  // namespace

CLoginDlg::CLoginDlg(CWnd* parent)
    : CDialogEx(IDD_LOGIN_DIALOG, parent),
      m_fnRequestUrl([](const std::wstring& url, const std::wstring& formText) {
          HttpClientOptions options = TavrelHttpOptions();
          options.maxBodyBytes = tavrel::kMaxLookupReplyBytes;
          return RequestUrl(url, formText, options);
      }),
      m_brushBody(::CreateSolidBrush(kThemeBodyColour)),
      m_brushStrip(::CreateSolidBrush(kThemeStripColour)),
      m_brushEdit(::CreateSolidBrush(kThemeEditBackColour)) {}

CLoginDlg::~CLoginDlg() {
    ReleasePaintResources();
    for (HGDIOBJ object : {static_cast<HGDIOBJ>(m_titleFont), static_cast<HGDIOBJ>(m_textFont)}) {
        if (object != nullptr) ::DeleteObject(object);
    }
}

tavrel::LoginServerUrls CLoginDlg::ConfiguredServerUrls() {
    const std::wstring path = ConfigIniPath();
    const std::wstring section = AfxToWide(tavrel::kSectionDefault);
    const std::wstring https =
        ReadIniText(section.c_str(), AfxToWide(tavrel::kLoginHttpsKey).c_str(), L"", path);
    const std::wstring http =
        ReadIniText(section.c_str(), AfxToWide(tavrel::kLoginHttpKey).c_str(), L"", path);
    return tavrel::ResolveLoginServerUrls(AfxToU16(https), AfxToU16(http));
}

BOOL CLoginDlg::OnInitDialog() {
    CreateFonts();
    SetUpButtons();
    SizeDialog();
    // Centred once at start; a later display change keeps the position.
    RECT work;
    RECT window;
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    ::GetWindowRect(m_hWnd, &window);
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    ::SetWindowPos(m_hWnd, nullptr, work.left + (work.right - work.left - width) / 2,
                   work.top + (work.bottom - work.top - height) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER);
    PlaceControls();

    SetDlgItemText(IDC_TEACHER_ID, m_strTeacherId.c_str());
    HWND edit = GetDlgItem(IDC_TEACHER_ID);
    ::SendMessageW(edit, EM_SETSEL, 0, -1);
    ::SendMessageW(edit, EM_SCROLLCARET, 0, 0);
    ::SetFocus(edit);
    ShowStatus(L"");
    ::SetTimer(m_hWnd, kTopmostTimerId, kTopmostDelayMs, nullptr);
    return FALSE;  // the focus is set
}

void CLoginDlg::CreateFonts() {
    m_titleFont = MakeBoldFont(kTitleFontHeight);
    m_textFont = MakeBoldFont(kTextFontHeight);
    ::SendMessageW(GetDlgItem(IDC_LOGIN_TITLE), WM_SETFONT, reinterpret_cast<WPARAM>(m_titleFont),
                   FALSE);
    for (int id : {IDC_LOGIN_STATUS, IDC_TEACHER_ID, IDC_LOGIN_ID_LABEL}) {
        ::SendMessageW(GetDlgItem(id), WM_SETFONT, reinterpret_cast<WPARAM>(m_textFont), FALSE);
    }
}

void CLoginDlg::SetUpButtons() {
    m_btnOk.SubclassDlgItem(IDOK, this);
    m_btnCancel.SubclassDlgItem(IDCANCEL, this);
    m_btnOk.LoadBitmaps(kOkPictures[0], kOkPictures[1], kOkPictures[2], kOkPictures[3]);
    m_btnCancel.LoadBitmaps(kCancelPictures[0], kCancelPictures[1], kCancelPictures[2],
                            kCancelPictures[3]);
    m_btnClose.Create(L"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, ScaledRect(kClosePlace), this,
                      IDC_LOGIN_CLOSE);
    m_btnClose.LoadBitmaps(IDB_CLOSE, IDB_CLOSE, IDB_CLOSE, IDB_CLOSE);
}

void CLoginDlg::SizeDialog() {
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, Scaled(kWidth), Scaled(kHeight),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CLoginDlg::PlaceControls() {
    for (const ControlPlace& control : kControlPlaces) {
        const RECT rect = ScaledRect(control.place);
        ::MoveWindow(GetDlgItem(control.id), rect.left, rect.top, rect.right - rect.left,
                     rect.bottom - rect.top, TRUE);
    }
}

void CLoginDlg::ShowStatus(const std::wstring& text) {
    SetDlgItemText(IDC_LOGIN_STATUS, text.c_str());
    ::UpdateWindow(GetDlgItem(IDC_LOGIN_STATUS));
}

void CLoginDlg::FocusTeacherId() { ::SetFocus(GetDlgItem(IDC_TEACHER_ID)); }

void CLoginDlg::OnOK() {
    // Enter pressed again while the status line is being painted must not start a
    // second lookup inside the first.
    if (m_bLookupRunning) return;
    ::KillTimer(m_hWnd, kTopmostTimerId);
    HWND edit = GetDlgItem(IDC_TEACHER_ID);
    std::wstring typed(static_cast<size_t>(::GetWindowTextLengthW(edit)) + 1, L'\0');
    typed.resize(
        static_cast<size_t>(::GetWindowTextW(edit, &typed[0], static_cast<int>(typed.size()))));
    const std::wstring teacherId = TrimWide(typed);

    const unsigned refusal = tavrel::ValidateTeacherId(AfxToU16(teacherId));
    if (refusal != 0) {
        ShowMessageBox(AfxLoadString(refusal).c_str(), nullptr, MB_OK);
        FocusTeacherId();
        return;
    }

    ShowStatus(AfxLoadString(IDS_LOGIN_QUERYING));
    m_bLookupRunning = true;
    PumpMessages(kStatusPaintMs);
    m_bLookupRunning = false;
    // Cancel or close pressed during those 100 ms wins: nothing is looked up or stored.
    if (m_bCancelled) return;

    EnsureSettingIni();
    PrepareIniFile(AfxToWide(tavrel::kSettingIniName).c_str(), g_strSettingIniPath);
    ParseLookupReply(LookupRelay(teacherId));

    tavrel::LookupReply reply;
    reply.result = AfxToU16(m_strResult);
    reply.code = AfxToU16(m_strCode);
    const tavrel::LoginOutcome outcome = tavrel::DecideLoginOutcome(reply);
    if (outcome == tavrel::LoginOutcome::kRefused) {
        // The lookup is over; the teacher may correct the ID and try again.
        ShowStatus(m_strMessage);
        FocusTeacherId();
        return;
    }
    StoreOrRecallEndpoint(outcome);

    WriteSettingText(AfxToWide(tavrel::kSectionConfig).c_str(),
                     AfxToWide(tavrel::kKeyTeacherId).c_str(), teacherId.c_str());
    m_strTeacherId = teacherId;
    SetDlgItemText(IDC_TEACHER_ID, teacherId.c_str());
    EndDialog(IDOK);
}

void CLoginDlg::StoreOrRecallEndpoint(tavrel::LoginOutcome outcome) {
    const std::wstring section = AfxToWide(tavrel::kSectionDefault);
    const std::wstring ipKey = AfxToWide(tavrel::kKeyRelayIp);
    const std::wstring portKey = AfxToWide(tavrel::kKeyRelayPort);
    if (outcome == tavrel::LoginOutcome::kUseStoredEndpoint) {
        m_strRsIp = ReadIniText(section.c_str(), ipKey.c_str(), L"", g_strSettingIniPath);
        m_strRsPort = ReadIniText(section.c_str(), portKey.c_str(), L"", g_strSettingIniPath);
        return;
    }
    // An answer without an endpoint (a Wi-Fi portal's page delivered with status 200,
    // say) must not wipe the endpoint the next fallback depends on.
    if (m_strRsIp.empty() || m_strRsPort.empty()) return;
    WriteIniText(section.c_str(), ipKey.c_str(), m_strRsIp.c_str());
    WriteIniText(section.c_str(), portKey.c_str(), m_strRsPort.c_str());
}

void CLoginDlg::OnCancel() {
    m_bCancelled = true;
    ::KillTimer(m_hWnd, kTopmostTimerId);
    EndDialog(IDCANCEL);
}

std::wstring CLoginDlg::LookupRelay(const std::wstring& teacherId) {
    // The tick count is sent as a signed 32-bit number: negative after 24.8 days.
    const auto tickCount = static_cast<int32_t>(::GetTickCount());
    const tavrel::LookupForm form =
        tavrel::BuildLookupForm(tickCount, AfxToU16(teacherId), WideToAnsi(teacherId));
    const tavrel::LoginServerUrls urls = ConfiguredServerUrls();
    const std::wstring formText = AfxToWide(form.formText);

    HttpReply reply = m_fnRequestUrl(AfxToWide(urls.https), formText);
    if (reply.result != kHttpOk) reply = m_fnRequestUrl(AfxToWide(urls.http), formText);
    if (reply.result != kHttpOk) return AfxToWide(tavrel::kLookupFailedReply);
    return TrimWide(AnsiToWide(reply.body));
}

void CLoginDlg::ParseLookupReply(const std::wstring& replyText) {
    const tavrel::LookupReply reply = tavrel::ParseLookupReply(AfxToU16(replyText), LoadStringU16);
    m_strResult = AfxToWide(reply.result);
    m_strCode = AfxToWide(reply.code);
    m_strMessage = AfxToWide(reply.message);
    m_strRsIp = AfxToWide(reply.rsip);
    m_strRsPort = AfxToWide(reply.rsport);
}

void CLoginDlg::ReleasePaintResources() {
    for (HGDIOBJ* object :
         {reinterpret_cast<HGDIOBJ*>(&m_brushBody), reinterpret_cast<HGDIOBJ*>(&m_brushStrip),
          reinterpret_cast<HGDIOBJ*>(&m_brushEdit), reinterpret_cast<HGDIOBJ*>(&m_picBanner),
          reinterpret_cast<HGDIOBJ*>(&m_picIdFrame), reinterpret_cast<HGDIOBJ*>(&m_picSeparator)}) {
        if (*object != nullptr) ::DeleteObject(*object);
        *object = nullptr;
    }
}

void CLoginDlg::Paint() {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(m_hWnd, &paint);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    if (m_picBanner == nullptr) {
        m_picBanner = LoadPicture(IDB_LOGIN_BANNER);
        m_picIdFrame = LoadPicture(IDB_LOGIN_IDFRAME);
        m_picSeparator = LoadPicture(IDB_LOGIN_SEPARATOR);
    }
    // Drawn off-screen and copied in one step, so nothing flickers while the
    // pictures are stretched.
    HDC memory = ::CreateCompatibleDC(dc);
    HBITMAP canvas = ::CreateCompatibleBitmap(dc, client.right, client.bottom);
    HGDIOBJ oldCanvas = ::SelectObject(memory, canvas);

    ::FillRect(memory, &client, m_brushBody);
    const int stripHeight = Scaled(kTitleStripHeight);
    RECT strip{0, 0, client.right, stripHeight};
    ::FillRect(memory, &strip, m_brushStrip);
    RECT line{0, stripHeight, client.right, stripHeight + 1};
    ::SetBkColor(memory, kThemeStripLineColour);
    ::ExtTextOutW(memory, 0, 0, ETO_OPAQUE, &line, nullptr, 0, nullptr);

    DrawPicture(memory, m_picBanner, kBannerPlace);
    DrawPicture(memory, m_picIdFrame, kIdFramePlace);
    DrawPicture(memory, m_picSeparator, kSeparatorPlace);

    ::BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
    ::SelectObject(memory, oldCanvas);
    ::DeleteObject(canvas);
    ::DeleteDC(memory);
    ::EndPaint(m_hWnd, &paint);
}

BOOL CLoginDlg::OnCtlColor(HDC dc, HWND control, LRESULT& result) {
    const int id = ::GetDlgCtrlID(control);
    switch (id) {
        case IDC_LOGIN_TITLE:
        case IDC_LOGIN_ID_LABEL:
            ::SetTextColor(dc, id == IDC_LOGIN_TITLE ? kThemeCaptionColour : kThemeLabelColour);
            ::SetBkMode(dc, TRANSPARENT);
            result = reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
            return TRUE;
        case IDC_LOGIN_STATUS:
            ::SetTextColor(dc, kThemeLabelColour);
            ::SetBkColor(dc, kThemeBodyColour);
            result = reinterpret_cast<LRESULT>(m_brushBody);
            return TRUE;
        case IDC_TEACHER_ID:
            ::SetTextColor(dc, kThemeEditTextColour);
            ::SetBkColor(dc, kThemeEditBackColour);
            result = reinterpret_cast<LRESULT>(m_brushEdit);
            return TRUE;
        default:
            return FALSE;
    }
}

BOOL CLoginDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_LOGIN_CLOSE && HIWORD(wParam) == BN_CLICKED) {
                OnCancel();
                return TRUE;
            }
            return FALSE;
        case WM_TIMER:
            if (wParam != kTopmostTimerId) return FALSE;
            ::KillTimer(m_hWnd, kTopmostTimerId);
            ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
            return TRUE;
        case WM_PAINT:
            Paint();
            return TRUE;
        case WM_ERASEBKGND:
            result = 1;
            return TRUE;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
            return OnCtlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam),
                              result);
        case WM_NCHITTEST: {
            // The dialog is dragged by its title strip.
            POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            ::ScreenToClient(m_hWnd, &point);
            if (point.y >= 0 && point.y < Scaled(kTitleStripHeight)) {
                result = HTCAPTION;
                return TRUE;
            }
            return FALSE;
        }
        case WM_DISPLAYCHANGE:
            SizeDialog();
            return FALSE;
        default:
            return FALSE;
    }
}
