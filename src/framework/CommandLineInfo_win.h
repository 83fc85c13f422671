// CCommandLineInfo: receives the command-line tokens one by one from
// CWinApp::ParseCommandLine. The program does not act on any of them; the class only
// keeps what it was given.
#pragma once

#include "framework/Afx_win.h"

#include <string>

class CCommandLineInfo {
  public:
    virtual ~CCommandLineInfo() = default;
    // param: the token without its leading "/" or "-" when isFlag is TRUE.
    virtual void ParseParam(const wchar_t* param, BOOL isFlag, BOOL isLast);

    std::wstring m_strFileName;  // the first plain token
};
