#include "shell/AboutDlg_win.h"

#include "resources/resource.h"

CAboutDlg::CAboutDlg(CWnd* parent) : CDialogEx(IDD_ABOUTBOX, parent) {}
