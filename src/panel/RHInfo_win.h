// CRHInfo: what the pad knows of the lectern PC's screen (the portable part, filled by
// the session) with the frame buffer and the threads of the running remote session.
// The main dialog holds it for its whole life; the remote session's threads hold
// pointers to it.
#pragma once

#include "panel/RemoteScreen.h"
#include "widgets/MemBitmap_win.h"

#include <string>

class CWinThread;

class CRHInfo : public CRemoteScreen {
  public:
    CRHInfo();
    ~CRHInfo();
    CRHInfo(const CRHInfo&) = delete;
    CRHInfo& operator=(const CRHInfo&) = delete;

    // Re-creates the frame buffer (nothing for a size below 1). Takes m_csFrame, so a
    // thread that writes tiles or paints under the same lock never sees a buffer being
    // destroyed.
    void RecreateFrame(int width, int height);

    // Whole seconds of the wall clock, for the keep-alive watchdog.
    static long long NowSeconds();

    std::wstring m_strName;
    CWinThread* m_pViewThread = nullptr;
    CWinThread* m_pControlThread = nullptr;
    CRITICAL_SECTION m_csFrame;
    CMemBitmap m_bmFrame;
    int m_nConnMode = -1;
    int m_bRemoteOn = 0;
};
