// CLoadingDlg: the modeless waiting window with the animated spinner and one line of
// text. Created once and kept; the teacher cannot close it.
#pragma once

#include "framework/DialogEx_win.h"
#include "widgets/PictureEx_win.h"

#include <string>

class CLoadingDlg : public CDialogEx {
  public:
    explicit CLoadingDlg(CWnd* parent = nullptr);
    ~CLoadingDlg() override;

    std::wstring loadingText;
    CPictureEx m_picture;

    static constexpr int kWidth = 320;
    static constexpr int kHeight = 210;
    static constexpr UINT kSpinnerId = 177;

  protected:
    BOOL OnInitDialog() override;
    void OnCancel() override {}  // Esc must not close it either
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  private:
    HFONT m_font = nullptr;
    HBRUSH m_brush = nullptr;
};
