// CTCPSocket: the program's TCP connection to the relay server and the lectern PC.
// Socket events become window messages to one owner window; whole packets cross the
// connection with SendPacket and ReceivePacket, each in one blocking transfer.
#pragma once

#include "framework/AsyncSocket_win.h"
#include "shell/ProgramMessages.h"

class CPacket;

// Events selected while no frame is in transfer.
constexpr long kSocketIdleEvents = FD_READ | FD_CONNECT | FD_CLOSE;  // 49
// A read that gets no bytes is retried after a pause; this many empty reads in a row
// end the read (in blocking mode an empty read means the peer closed its side).
constexpr int kMaxEmptyReads = 10;
constexpr DWORD kEmptyReadPauseMs = 300;
// At most this many "data to read" notices are given for bytes still unread when the
// peer's close is reported (an owner that does not read must not hold the close up).
constexpr int kMaxFramesAfterClose = 64;
// A transfer that moves no byte for this long ends as failed. A peer that stops in the
// middle of a frame without closing would otherwise hold the owner's thread (and with
// it the window, its timers and the keep-alive) for ever.
constexpr DWORD kTransferStallMs = 15000;

class CTCPSocket : public CAsyncSocket {
  public:
    CTCPSocket() = default;
    ~CTCPSocket() override = default;

    // Reads exactly nBufLen bytes: nBufLen on success, -1 on a socket error, 0 after
    // kMaxEmptyReads reads in a row brought nothing.
    int Receive(void* lpBuf, int nBufLen, int nFlags = 0) override;
    // Offers the bytes to the socket once: the number taken, or -1 on an error.
    int Send(const void* lpBuf, int nBufLen, int nFlags = 0) override;

    // How long one blocking read or write may wait for progress before the transfer
    // fails; tests shorten it.
    void SetStallLimit(DWORD ms) { m_dwStallMs = ms; }
    DWORD GetStallLimit() const { return m_dwStallMs; }

    // Receives the socket's event messages; null drops them.
    void SetOwnerWnd(HWND hOwnerWnd) { m_hOwnerWnd = hOwnerWnd; }
    HWND GetOwnerWnd() const { return m_hOwnerWnd; }

    HWND m_hOwnerWnd = nullptr;

  protected:
    void OnReceive(int nErrorCode) override;
    void OnAccept(int nErrorCode) override;
    void OnConnect(int nErrorCode) override;
    void OnClose(int nErrorCode) override;

  private:
    DWORD m_dwStallMs = kTransferStallMs;

    void Notify(UINT message, LPARAM lParam);
    void DeliverPendingData();
};

// Writes one frame of the packet; nothing happens when the socket is not open.
void SendPacket(CTCPSocket& socket, const CPacket& packet);
// Reads one frame into the (empty) packet. On failure the socket ends up closed and the
// packet stays empty (type 0).
void ReceivePacket(CTCPSocket& socket, CPacket& packet);
// Prepares a freshly made socket for an outgoing connection: reusable address, any
// local port. 1, or 0 after closing the socket (WSAGetLastError tells why).
int BindAnyPort(CTCPSocket& socket);
// The owner's opening sequence: closes an open socket, makes a new one bound to any
// port, selects the idle events, sets the owner window and starts connecting. The
// outcome arrives as kWmSocketConnected. FALSE when the socket could not be made or
// bound, or the connect failed at once (WSAGetLastError tells why).
BOOL OpenConnection(CTCPSocket& socket, HWND hOwnerWnd, const wchar_t* lpszHost, UINT nPort);
