// CTavrelDlg: the main dialog (template 102, class "Vantor Tavrel"). For now a plain
// window that says the program runs, offers the about box in its system menu and
// closes on Esc.
#pragma once

#include "framework/DialogEx.h"

class CTavrelDlg : public CDialogEx {
  public:
    explicit CTavrelDlg(CWnd* parent = nullptr);

  protected:
    BOOL OnInitDialog() override;
    void OnOK() override {}  // Enter must not close the program
    void OnSysCommand(UINT id, LPARAM lParam) override;

  private:
    HICON m_hIcon = nullptr;
};
