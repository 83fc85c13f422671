// CTavrelApp: start-up and exit of the program. Start-up ends by showing the main
// dialog modally; the program ends when it closes.
#pragma once

#include "framework/WinApp_win.h"
#include "shell/TavrelCommandLineInfo_win.h"

#include <string>

class CTavrelApp : public CWinApp {
  public:
    CTavrelApp();

    BOOL InitInstance() override;
    int ExitInstance() override;

    CTavrelCommandLineInfo m_cmdInfo;
    std::wstring m_strMessage;  // scratch: language module path, then the system message

  private:
    bool CheckOperatingSystem();
    void RegisterDialogClass();

    int m_nOsMajor = 0;
    int m_nOsMinor = 0;
    int m_nOsPlatform = 0;
    bool m_bNetworkStarted = false;
    bool m_bComStarted = false;
    bool m_bCounted = false;  // this instance incremented the instance counter
};
