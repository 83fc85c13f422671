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
    if (m_brush != nullptr) ::DeleteObject(m_brush);
}

BOOL CLoadingDlg::OnInitDialog() {
    m_picture.SubclassDlgItem(IDC_LOADING_PICTURE, this);
    SetDlgItemText(IDC_LOADING_TEXT, loadingText.c_str());
    m_font = MakeNoticeFont(kFontHeight);
    m_brush = ::CreateSolidBrush(kNoticeFillColour);
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

BOOL CLoadingDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    switch (message) {
        case WM_CLOSE:
            result = 0;
            return TRUE;  // the teacher cannot close the loading window
        case WM_DESTROY:
            m_picture.ReleasePicture();
            return FALSE;
        default:
            return HandleNoticePainting(m_hWnd, message, wParam, m_brush,
                                        static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH)), result);
    }
}
