// CControlThread: the remote session's control thread. It hosts the
// communication window, takes over the lectern PC's connection once the main
// dialog says go, and sends the panel's commands that arrive as thread messages
// while the session runs.
#pragma once

#include <winsock2.h>

#include "framework/WinThread_win.h"

#include <atomic>

class CRHInfo;

class CControlThread : public CWinThread {
  public:
    // lentSocket: the lectern PC's connection when the session's mode is 1, else
    // INVALID_SOCKET. The main dialog keeps it until the go flag is 1; from then
    // on it is this thread's, which hands it back when the session ends.
    CControlThread(CRHInfo& info, HWND mainDialog, SOCKET lentSocket);

    BOOL InitInstance() override;
    int ExitInstance() override;
    BOOL OnThreadMessage(const MSG& message) override;

    // How long each side of the start handshake waits for the other.
    static constexpr DWORD kHandshakeMs = 5000;

  private:
    CRHInfo& m_info;
    HWND m_hMainDialog;
    SOCKET m_hLentSocket;
    HWND m_hCommWnd = nullptr;
};

// Waits until the go flag leaves 0, for at most the time given; takes the
// decision itself (abort, -1) when the time is up. True when the session may
// start.
bool WaitForGo(std::atomic<int>& go, DWORD timeoutMs);
