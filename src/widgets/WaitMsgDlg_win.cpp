#include "widgets/WaitMsgDlg_win.h"

#include "resources/resource.h"
#include "shell/ScaleFactor.h"
#include "widgets/NoticePainting_win.h"

namespace {
constexpr int kFontHeight = 12;
}

CWaitMsgDlg::CWaitMsgDlg(CWnd* parent) : CDialogEx(IDD_WAIT_MSG_DIALOG, parent) {}

CWaitMsgDlg::~CWaitMsgDlg() {
    if (m_font != nullptr) ::DeleteObject(m_font);
    if (m_brush != nullptr) ::DeleteObject(m_brush);
}

BOOL CWaitMsgDlg::OnInitDialog() {
    m_font = MakeNoticeFont(kFontHeight);
    m_brush = ::CreateSolidBrush(kNoticeFillColour);
    HWND label = GetDlgItem(IDC_WAIT_TEXT);
    ::SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), TRUE);
    const int width = Scaled(kWidth);
    const int height = Scaled(kHeight);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    const int labelHeight = Scaled(kLabelHeight);
    ::MoveWindow(label, 1, (height - labelHeight) / 2, width - 1, labelHeight, TRUE);
    return FALSE;  // the notice takes no focus
}

BOOL CWaitMsgDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    return HandleNoticePainting(m_hWnd, message, wParam, m_brush, m_brush, result);
}
