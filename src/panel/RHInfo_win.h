// CRHInfo: what the pad knows of the lectern PC's screen and of the running remote
// session. The main dialog holds it for its whole life; the remote session's threads
// hold pointers to it.
#pragma once

#include "widgets/MemBitmap_win.h"

#include <string>

class CWinThread;

class CRHInfo {
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
    long long m_dtLastRecv = 0;  // wall-clock seconds; 0 = never
    CMemBitmap m_bmFrame;
    int m_nBitsPerPixel = 32;
    int m_nScreenWidth = 0;
    int m_nScreenHeight = 0;
    int m_nOriginX = 0;
    int m_nOriginY = 0;
    int m_nTileWidth = 0;
    int m_nTileHeight = 0;
    int m_nMonitorCount = 0;
    int m_nMonitor = -1;  // 1-based; -1 = the whole screen
    RECT m_rcMonitor{0, 0, 0, 0};
    std::wstring m_strPeerVersion = L"0";
    int m_nConnMode = -1;
    int m_bRemoteOn = 0;
};
