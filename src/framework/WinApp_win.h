// CWinApp: the application object. Holds the instance and resource handles, the
// application profile in the registry and the start-up/exit hooks of the program.
#pragma once

#include "framework/Afx_win.h"

#include <string>

class CCommandLineInfo;

class CWinApp {
  public:
    explicit CWinApp(const wchar_t* appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance();
    virtual int ExitInstance();

    // Called by the entry point: InitInstance, then (when it returns TRUE) a message
    // loop, then ExitInstance. Returns the process exit code.
    int Run(HINSTANCE instance, const wchar_t* commandLine, int showCommand);

    // Profile root: HKCU\Software\<registry key>\<application name>\<section>.
    void SetRegistryKey(const wchar_t* registryKey);
    std::wstring GetProfileString(const wchar_t* section, const wchar_t* entry,
                                  const wchar_t* defaultValue = nullptr);
    BOOL WriteProfileString(const wchar_t* section, const wchar_t* entry, const wchar_t* value);
    UINT GetProfileInt(const wchar_t* section, const wchar_t* entry, int defaultValue);
    BOOL WriteProfileInt(const wchar_t* section, const wchar_t* entry, int value);

    // Splits the command line and hands every token to info.ParseParam.
    void ParseCommandLine(CCommandLineInfo& info);
    // The same over a given full command line (program name first).
    static void ParseCommandLine(CCommandLineInfo& info, const wchar_t* fullCommandLine);

    HINSTANCE m_hInstance = nullptr;
    std::wstring m_strAppName;      // executable name without extension unless given
    std::wstring m_strRegistryKey;  // empty until SetRegistryKey
    std::wstring m_strCmdLine;
    int m_nCmdShow = SW_SHOWNORMAL;
    CWnd* m_pMainWnd = nullptr;

  protected:
    // Full registry path of a profile section, e.g. Software\Vantor Login\App\config.
    std::wstring SectionKeyPath(const wchar_t* section) const;
};
