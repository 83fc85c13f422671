// CRHInfo: what the pad knows of the lectern PC's screen (the portable part, filled by
// the session) with the frame buffer and the threads of the running remote session.
// The main dialog holds it for its whole life; the remote session's threads hold
// pointers to it.
#pragma once

#include "panel/RemoteScreen.h"
#include "widgets/MemBitmap_win.h"

#include <atomic>
#include <memory>
#include <string>

class CWinThread;
class CInputQueue;

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
    // The running session's threads: set by the main dialog before they run and
    // cleared by each thread as it ends, so they are read and written across threads.
    // Only the main dialog reads the pointers, to know whether a session runs; messages
    // reach the threads by their ids and the windows by their handles, never through
    // the objects.
    std::atomic<CWinThread*> m_pViewThread{nullptr};
    std::atomic<CWinThread*> m_pControlThread{nullptr};
    std::atomic<DWORD> m_nViewThreadId{0};
    std::atomic<DWORD> m_nControlThreadId{0};
    std::atomic<HWND> m_hViewWnd{nullptr};
    std::atomic<HWND> m_hCommWnd{nullptr};
    // Start handshake: each thread sets its ready flag once its window exists; the
    // main dialog then sets go to 1, or to -1 when a thread did not get ready in time
    // (the threads then end without starting the session).
    std::atomic<int> m_nCommReady{0};
    std::atomic<int> m_nViewReady{0};
    std::atomic<int> m_nGo{0};
    // The viewer's input records and the communication window's send queue, shared by
    // the two threads for the session's length.
    std::shared_ptr<CInputQueue> m_pInput;
    // Guards m_bmFrame: tile copies, re-creation and painting all take it.
    CRITICAL_SECTION m_csFrame;
    CMemBitmap m_bmFrame;
    std::atomic<int> m_nConnMode{-1};
    std::atomic<int> m_bRemoteOn{0};
};
