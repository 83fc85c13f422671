#include "connection/TCPSocket_win.h"

#include "protocol/Connection.h"
#include "protocol/Packet.h"

namespace {

// The frame reader and writer see the socket through the portable connection
// interface.
class CSocketConnection : public IConnection {
  public:
    explicit CSocketConnection(CTCPSocket& socket) : m_socket(socket) {}

    int ReceiveExactly(uint8_t* buffer, int count) override {
        return m_socket.Receive(buffer, count);
    }
    int SendPiece(const uint8_t* buffer, int count) override {
        return m_socket.Send(buffer, count);
    }
    void CloseConnection() override { m_socket.Close(); }

  private:
    CTCPSocket& m_socket;
};

// Events off and blocking, so that one frame is moved in one piece by this thread; a
// blocking call that waits longer than the stall limit fails instead of hanging.
void BeginTransfer(CTCPSocket& socket) {
    socket.AsyncSelect(0);
    DWORD blocking = 0;
    socket.IOCtl(FIONBIO, &blocking);
    const DWORD stallMs = socket.GetStallLimit();
    socket.SetSockOpt(SO_RCVTIMEO, &stallMs, sizeof stallMs, SOL_SOCKET);
    socket.SetSockOpt(SO_SNDTIMEO, &stallMs, sizeof stallMs, SOL_SOCKET);
}

void EndTransfer(CTCPSocket& socket) {
    DWORD nonBlocking = 1;
    socket.IOCtl(FIONBIO, &nonBlocking);
    socket.AsyncSelect(kSocketIdleEvents);
}

}  // namespace

int CTCPSocket::Receive(void* lpBuf, int nBufLen, int nFlags) {
    char* buffer = static_cast<char*>(lpBuf);
    int got = 0;
    int empty = 0;
    while (got < nBufLen) {
        const int read = CAsyncSocket::Receive(buffer + got, nBufLen - got, nFlags);
        if (read == SOCKET_ERROR) return SOCKET_ERROR;
        if (read == 0) {
            ++empty;
            Sleep(kEmptyReadPauseMs);
            if (empty >= kMaxEmptyReads) return 0;
            continue;
        }
        got += read;
    }
    return got;
}

int CTCPSocket::Send(const void* lpBuf, int nBufLen, int) {
    // The real result goes back to the frame writer: a piece the socket refused is
    // offered again, and a connection that keeps refusing ends the frame, instead of
    // the frame counting as sent with a gap in the stream.
    if (m_hSocket == INVALID_SOCKET) return SOCKET_ERROR;
    const int sent = CAsyncSocket::Send(lpBuf, nBufLen, 0);
    // A piece that waited out the stall limit will not go later either: the connection
    // is given up at once, so that the offers left fail without waiting again.
    if (sent == SOCKET_ERROR && WSAGetLastError() == WSAETIMEDOUT) {
        Close();
        WSASetLastError(WSAETIMEDOUT);
    }
    return sent;
}

void CTCPSocket::Notify(UINT message, LPARAM lParam) {
    if (m_hOwnerWnd != nullptr)
        ::SendMessageW(m_hOwnerWnd, message, reinterpret_cast<WPARAM>(this), lParam);
}

void CTCPSocket::OnAccept(int nErrorCode) {
    CAsyncSocket::OnAccept(nErrorCode);
    Notify(kWmSocketAccept, 0);
}

void CTCPSocket::OnConnect(int nErrorCode) {
    CAsyncSocket::OnConnect(nErrorCode);
    Notify(kWmSocketConnected, nErrorCode);
}

void CTCPSocket::OnReceive(int nErrorCode) {
    CAsyncSocket::OnReceive(nErrorCode);
    Notify(kWmSocketReceive, 0);
}

void CTCPSocket::OnClose(int nErrorCode) {
    CAsyncSocket::OnClose(nErrorCode);
    const unsigned closing = GetHandleSerial();
    DeliverPendingData();
    // The owner may have answered the last words by closing this connection and
    // opening a new one on the same object (a refused log-in does): that new
    // connection is none of this close's business.
    if (GetHandleSerial() != closing) return;
    if (m_hSocket != INVALID_SOCKET) {
        ShutDown(SD_BOTH);
        Close();
    }
    Notify(kWmSocketClosed, 0);
}

// WinSock may report the peer's close while bytes it sent before closing are still
// unread, and a peer says its last words (such as why it ends the session) right
// before it hangs up. They are offered to the owner before the socket goes.
void CTCPSocket::DeliverPendingData() {
    const unsigned closing = GetHandleSerial();
    for (int i = 0;
         i < kMaxFramesAfterClose && m_hSocket != INVALID_SOCKET && GetHandleSerial() == closing;
         ++i) {
        DWORD pending = 0;
        if (!IOCtl(FIONREAD, &pending) || pending == 0) return;
        Notify(kWmSocketReceive, 0);
    }
}

void SendPacket(CTCPSocket& socket, const CPacket& packet) {
    if (socket.m_hSocket == INVALID_SOCKET) return;
    BeginTransfer(socket);
    CSocketConnection connection(socket);
    WriteFrame(packet, connection);
    // A frame that could not be written closes the socket; a closed socket has no
    // mode to restore.
    if (socket.m_hSocket != INVALID_SOCKET) EndTransfer(socket);
}

void ReceivePacket(CTCPSocket& socket, CPacket& packet) {
    packet.Clear();
    if (socket.m_hSocket == INVALID_SOCKET) return;
    BeginTransfer(socket);
    CSocketConnection connection(socket);
    ReadFrame(packet, connection);
    if (socket.m_hSocket != INVALID_SOCKET) EndTransfer(socket);
}

int BindAnyPort(CTCPSocket& socket) {
    const BOOL reuse = TRUE;
    socket.SetSockOpt(SO_REUSEADDR, &reuse, sizeof reuse, SOL_SOCKET);
    if (socket.Bind(0)) return 1;
    const int error = WSAGetLastError();
    socket.Close();
    WSASetLastError(error);
    return 0;
}

BOOL OpenConnection(CTCPSocket& socket, HWND hOwnerWnd, const wchar_t* lpszHost, UINT nPort) {
    if (socket.m_hSocket != INVALID_SOCKET) {
        socket.ShutDown(SD_BOTH);
        socket.Close();
    }
    if (!socket.Socket(SOCK_STREAM, kAllSocketEvents, 0, AF_INET) || !BindAnyPort(socket))
        return FALSE;
    socket.AsyncSelect(kSocketIdleEvents);
    socket.SetOwnerWnd(hOwnerWnd);
    if (socket.Connect(lpszHost, nPort)) return TRUE;
    return WSAGetLastError() == WSAEWOULDBLOCK;
}
