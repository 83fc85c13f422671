// CWinThread: a thread with its own message loop, for windows that must stay
// responsive while another thread is busy (the remote session's communication window
// and viewer). The creator makes it suspended, hands it what it needs, resumes it and
// later joins it through a handle of its own: an auto-deleting thread object may be
// gone by then.
#pragma once

#include "framework/Afx_win.h"

class CWnd;

class CWinThread {
  public:
    CWinThread() = default;
    virtual ~CWinThread();
    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;

    // Makes the thread, suspended unless told otherwise; FALSE when it could not be
    // made (the object is then still the caller's to delete).
    BOOL CreateThread(DWORD createFlags = CREATE_SUSPENDED, int priority = THREAD_PRIORITY_NORMAL);
    DWORD ResumeThread() { return ::ResumeThread(m_hThread); }
    // Posts to the thread's queue. The queue exists from the thread's first moment on,
    // but not before the thread ran: a post to a thread that is still suspended fails,
    // and whoever posted a heap object then keeps it.
    BOOL PostThreadMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        return ::PostThreadMessageW(m_nThreadID, message, wParam, lParam);
    }
    // A handle of the caller's own to wait for the thread's end; the caller closes it.
    HANDLE DuplicateJoinHandle() const;

    // Runs first on the thread; FALSE ends the thread (ExitInstance still runs).
    virtual BOOL InitInstance() { return TRUE; }
    // Runs last on the thread; its result is the thread's exit code.
    virtual int ExitInstance() { return m_nExitCode; }
    // Sees every message before it is translated and dispatched; TRUE keeps it from
    // both.
    virtual BOOL PreTranslateMessage(MSG* message) {
        (void)message;
        return FALSE;
    }
    // A message posted to the thread rather than to a window; TRUE when handled.
    virtual BOOL OnThreadMessage(const MSG& message) {
        (void)message;
        return FALSE;
    }
    // The message loop, until WM_QUIT; its wParam becomes the exit code.
    virtual int Run();

    HANDLE m_hThread = nullptr;
    DWORD m_nThreadID = 0;
    // Deletes the object on its own thread once the thread has ended its work.
    BOOL m_bAutoDelete = TRUE;
    CWnd* m_pMainWnd = nullptr;

  protected:
    int m_nExitCode = 0;

  private:
    static unsigned __stdcall ThreadMain(void* parameter);
};
