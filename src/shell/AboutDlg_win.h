#pragma once

#include "framework/DialogEx_win.h"

// The about box, shown from the main dialog's system menu.
class CAboutDlg : public CDialogEx {
  public:
    explicit CAboutDlg(CWnd* parent = nullptr);
};
