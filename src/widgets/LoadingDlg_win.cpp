#include "widgets/LoadingDlg_win.h"

#include "resources/resource.h"
#include "shell/ScaleFactor.h"
#include "widgets/NoticePainting_win.h"

namespace {
constexpr int kFontHeight = 14;
constexpr int kLabelLeft = 6, kLabelTop = 136, kLabelWidth = 307, kLabelHeight = 21;
constexpr int kPictureHalf = 31, kPictureTop = 56, kPictureSize = 63;
constexpr wchar_t kGifType[] = L"GIF";
}  // namespace

CLoadingDlg::CLoadingDlg(CWnd* parent) : CDialogEx(IDD_LOADING_DIALOG, parent) {}

CLoadingDlg::~CLoadingDlg() {
    if (m_font != nullptr) ::DeleteObject(m_font);
}

BOOL CLoadingDlg::OnInitDialog() {
    m_picture.SubclassDlgItem(IDC_LOADING_PICTURE, this);
    SetDlgItemText(IDC_LOADING_TEXT, loadingText.c_str());
    m_font = MakeNoticeFont(kFontHeight);
    HWND label = GetDlgItem(IDC_LOADING_TEXT);
    ::SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), TRUE);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, Scaled(kWidth), Scaled(kHeight),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::MoveWindow(label, Scaled(kLabelLeft), Scaled(kLabelTop), Scaled(kLabelWidth),
                 Scaled(kLabelHeight), TRUE);
    m_picture.MoveWindow(Scaled(kWidth) / 2 - kPictureHalf, Scaled(kPictureTop),
                         Scaled(kPictureSize), Scaled(kPictureSize));
    m_picture.m_bLoop = true;
    if (m_picture.LoadGifResource(kSpinnerId, kGifType)) m_picture.StartAnimation();
    return TRUE;
}

BOOL CLoadingDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
        case WM_CLOSE:
            result = 0;
            return TRUE;  // the teacher cannot close the loading window
        case WM_DESTROY:
            m_picture.ReleasePicture();
            return FALSE;
        case WM_PAINT:
            PaintNotice(m_hWnd);
            result = 0;
            return TRUE;
        case WM_ERASEBKGND: {
            RECT client;
            ::GetClientRect(m_hWnd, &client);
            HBRUSH brush = ::CreateSolidBrush(kNoticeFillColour);
            ::FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
            ::DeleteObject(brush);
            result = 1;
            return TRUE;
        }
        case WM_CTLCOLORSTATIC: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            ::SetTextColor(dc, kNoticeTextColour);
            ::SetBkMode(dc, TRANSPARENT);
            result = reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
            (void)lParam;
            return TRUE;
        }
        default:
            return FALSE;
    }
}
