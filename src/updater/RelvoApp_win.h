// CRelvoApp: start-up and end of the updater VTUpdaterT. Start-up ends by running the
// progress dialog modally; the program ends when it closes or a quit is posted.
#pragma once

#include "framework/WinApp_win.h"

#include <memory>
#include <string>

class CGdiPlusSession;

class CRelvoApp : public CWinApp {
  public:
    CRelvoApp();
    ~CRelvoApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;

    std::wstring m_strLanguage = L"Kor";
    // Added to every string-table id the updater loads. Always 0: the English texts
    // at id + 300 are kept in the table but no language selects them.
    int m_nMessageOffset = 0;
    HINSTANCE m_hStringResource = nullptr;
    bool m_bSecondInstance = false;

  private:
    bool m_bSocketsStarted = false;
    bool m_bCounted = false;
    std::unique_ptr<CGdiPlusSession> m_pGdiPlus;
};

// The instance counter shared by every process of the updater's image, in a section
// of its own (the main program has its own counter). Returns the count after the
// increment; above 1 means another updater runs.
LONG IncrementUpdaterInstanceCount();
void DecrementUpdaterInstanceCount();
// The section's flags, for the tests: IMAGE_SCN_MEM_SHARED must be set.
DWORD UpdaterInstanceSectionFlags(HMODULE image);
