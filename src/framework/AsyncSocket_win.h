// CAsyncSocket: a non-blocking WinSock socket whose events arrive as virtual calls on
// the thread that created or attached it. Each such thread gets a hidden message-only
// window; WSAAsyncSelect posts the socket's events to it and its window procedure
// dispatches them to the socket object. A connected handle can be handed to another
// thread with Detach and Attach; from then on its events arrive there.
#pragma once

#include <winsock2.h>

#include "framework/Afx_win.h"

#include <string>

// All six network events: FD_READ, FD_WRITE, FD_OOB, FD_ACCEPT, FD_CONNECT, FD_CLOSE.
constexpr long kAllSocketEvents = FD_READ | FD_WRITE | FD_OOB | FD_ACCEPT | FD_CONNECT | FD_CLOSE;

class CAsyncSocket {
  public:
    CAsyncSocket() = default;
    // Closes the socket when it is still open.
    virtual ~CAsyncSocket();
    CAsyncSocket(const CAsyncSocket&) = delete;
    CAsyncSocket& operator=(const CAsyncSocket&) = delete;

    // Makes the socket and selects the given events (which also makes it non-blocking).
    BOOL Socket(int nSocketType = SOCK_STREAM, long lEvent = kAllSocketEvents,
                int nProtocolType = 0, int nAddressFormat = AF_INET);
    // Socket, then Bind to the given port and address (any address when null).
    BOOL Create(UINT nSocketPort = 0, int nSocketType = SOCK_STREAM, long lEvent = kAllSocketEvents,
                const wchar_t* lpszSocketAddress = nullptr);

    // Takes over an open handle: its events now arrive on the calling thread.
    BOOL Attach(SOCKET hSocket, long lEvent = kAllSocketEvents);
    // Gives up the handle without closing it; its events stop until someone attaches it.
    SOCKET Detach();

    // Closes the handle (no effect when there is none).
    virtual void Close();

    BOOL Bind(UINT nSocketPort, const wchar_t* lpszSocketAddress = nullptr);
    BOOL Listen(int nConnectionBacklog = SOMAXCONN);
    // Accepts a pending connection into the given (closed) socket object, which then
    // receives its events on this socket's thread.
    virtual BOOL Accept(CAsyncSocket& rConnectedSocket, SOCKADDR* lpSockAddr = nullptr,
                        int* lpSockAddrLen = nullptr);
    // Starts connecting to a host name or dotted address. A non-blocking socket
    // returns FALSE with WSAEWOULDBLOCK; the outcome arrives with OnConnect.
    BOOL Connect(const wchar_t* lpszHostAddress, UINT nHostPort);
    BOOL Connect(const SOCKADDR* lpSockAddr, int nSockAddrLen);

    virtual int Receive(void* lpBuf, int nBufLen, int nFlags = 0);
    virtual int Send(const void* lpBuf, int nBufLen, int nFlags = 0);
    BOOL ShutDown(int nHow = SD_SEND);

    // Selects the events that are posted for this socket; 0 turns them off.
    BOOL AsyncSelect(long lEvent = kAllSocketEvents);
    BOOL IOCtl(long lCommand, DWORD* lpArgument);
    BOOL SetSockOpt(int nOptionName, const void* lpOptionValue, int nOptionLen,
                    int nLevel = SOL_SOCKET);
    BOOL GetSockName(std::wstring& rSocketAddress, UINT& rSocketPort);
    BOOL GetSockName(SOCKADDR* lpSockAddr, int* lpSockAddrLen);

    static int GetLastError() { return WSAGetLastError(); }

    SOCKET m_hSocket = INVALID_SOCKET;

    // Counts the handles this object has held. A handle value can come back for a new
    // socket; this tells the new connection apart from the old one.
    unsigned GetHandleSerial() const { return m_nHandleSerial; }

  protected:
    // Event handlers, called on the socket's thread; nErrorCode is the WinSock error
    // that came with the event (0 when none).
    virtual void OnReceive(int nErrorCode);
    virtual void OnSend(int nErrorCode);
    virtual void OnOutOfBandData(int nErrorCode);
    virtual void OnAccept(int nErrorCode);
    virtual void OnConnect(int nErrorCode);
    virtual void OnClose(int nErrorCode);

  private:
    friend class CSocketDispatch;

    unsigned m_nHandleSerial = 0;

    // Records the handle as this object's and routes its events to the calling thread.
    void AttachHandle(SOCKET hSocket);
    // Forgets the handle's routing (the handle itself stays as it is).
    void DetachHandle();

    // The hidden window of the thread that owns this socket's events.
    HWND m_hNotifyWnd = nullptr;
};
