// Starts and ends the remote-control session for the main dialog: the control thread
// with the communication window and the viewer thread, the lending of the lectern PC's
// connection, and the joins. The main dialog holds one for its whole life.
#pragma once

#include "connection/TCPSocket_win.h"
#include "panel/SessionHost.h"

class CRHInfo;
class CTavrelSession;

class CRemoteLauncher {
  public:
    explicit CRemoteLauncher(CRHInfo& info);
    ~CRemoteLauncher();
    CRemoteLauncher(const CRemoteLauncher&) = delete;
    CRemoteLauncher& operator=(const CRemoteLauncher&) = delete;

    // Starts a session. False when it could not start within the handshake's bound:
    // everything is undone then and the lectern PC's connection is the dialog's again.
    // The main dialog's window is given here, not at construction: the dialog makes
    // its launcher before its window exists.
    bool Start(HWND mainDialog, CTCPSocket& lectern, bool teacherLinked, CTavrelSession& session);
    // Asks the running session to end; it ends on its own threads.
    void Stop();
    // At the dialog's end: ends a running session and waits for its threads, bounded.
    void EndAndJoin(DWORD timeoutMs);

  private:
    // The panel's commands while the session holds the connection: posted to the
    // control thread as heap texts it sends and frees.
    class CControlSender : public IPacketSender {
      public:
        explicit CControlSender(CRHInfo& info) : m_info(info) {}
        bool IsOpen() const override;
        bool Send(const CPacket& packet) override;

      private:
        CRHInfo& m_info;
    };

    bool WaitForThreads(DWORD timeoutMs);
    void CloseJoins();

    CRHInfo& m_info;
    HWND m_hMainDialog = nullptr;
    CControlSender m_sender;
    HANDLE m_hJoin[2] = {nullptr, nullptr};
};
