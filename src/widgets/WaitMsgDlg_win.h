// CWaitMsgDlg: a small borderless one-line notice, created and destroyed by its user.
#pragma once

#include "framework/DialogEx_win.h"

class CWaitMsgDlg : public CDialogEx {
  public:
    explicit CWaitMsgDlg(CWnd* parent = nullptr);
    ~CWaitMsgDlg() override;

    static constexpr int kWidth = 400;
    static constexpr int kHeight = 50;
    static constexpr int kLabelHeight = 23;

  protected:
    BOOL OnInitDialog() override;
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  private:
    HFONT m_font = nullptr;
    HBRUSH m_brush = nullptr;
};
