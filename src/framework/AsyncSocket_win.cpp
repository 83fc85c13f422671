#include "framework/AsyncSocket_win.h"

#include <ws2tcpip.h>

#include <map>
#include <mutex>

namespace {

// Posted by WinSock to a thread's hidden window: wParam the socket handle, lParam the
// event and its error (WSAGETSELECTEVENT / WSAGETSELECTERROR).
constexpr UINT kSocketNotifyMessage = WM_USER + 1;
constexpr wchar_t kSocketWindowClass[] = L"TavrelSocketNotify";
constexpr int kAddressTextSize = 64;

// Which object owns a handle's events. One table for the process, so that a socket
// closed or detached on any thread is forgotten everywhere; each entry also names the
// window (thread) its events are routed to.
std::mutex g_socketMapLock;
std::map<SOCKET, CAsyncSocket*> g_socketMap;

thread_local HWND t_hSocketWnd = nullptr;

LRESULT CALLBACK SocketWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

HINSTANCE FrameworkModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&SocketWndProc), &module);
    return module;
}

// The calling thread's hidden window, made on first use. It lives as long as the
// thread: the system destroys it when the thread ends.
HWND ThreadSocketWindow() {
    if (t_hSocketWnd != nullptr && IsWindow(t_hSocketWnd)) return t_hSocketWnd;
    WNDCLASSW wc{};
    wc.lpfnWndProc = SocketWndProc;
    wc.hInstance = FrameworkModule();
    wc.lpszClassName = kSocketWindowClass;
    // A second registration (another thread got here first) fails harmlessly.
    RegisterClassW(&wc);
    t_hSocketWnd = CreateWindowExW(0, kSocketWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   wc.hInstance, nullptr);
    return t_hSocketWnd;
}

// True when a read on the socket would not block (data, end of stream or an error).
// A read event may still be queued after an earlier read took the data; handing such
// a stale event on would have a blocking reader wait for data that never comes.
bool ReadableNow(SOCKET hSocket, int& nErrorCode) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(hSocket, &readable);
    timeval noWait{0, 0};
    const int ready = select(0, &readable, nullptr, nullptr, &noWait);
    if (ready == SOCKET_ERROR) {
        nErrorCode = WSAGetLastError();
        return true;
    }
    return ready > 0;
}

}  // namespace

// Routes WinSock's posted events to the socket objects; a friend of CAsyncSocket.
class CSocketDispatch {
  public:
    static void Dispatch(HWND hWnd, SOCKET hSocket, LPARAM lParam) {
        CAsyncSocket* socket = Lookup(hWnd, hSocket);
        if (socket == nullptr) return;  // closed, detached or moved to another thread
        int nErrorCode = WSAGETSELECTERROR(lParam);
        // The handler may delete the object: nothing touches it afterwards.
        switch (WSAGETSELECTEVENT(lParam)) {
            case FD_READ:
                if (ReadableNow(hSocket, nErrorCode)) socket->OnReceive(nErrorCode);
                break;
            case FD_WRITE:
                socket->OnSend(nErrorCode);
                break;
            case FD_OOB:
                socket->OnOutOfBandData(nErrorCode);
                break;
            case FD_ACCEPT:
                socket->OnAccept(nErrorCode);
                break;
            case FD_CONNECT:
                socket->OnConnect(nErrorCode);
                break;
            case FD_CLOSE:
                socket->OnClose(nErrorCode);
                break;
            default:
                break;
        }
    }

  private:
    static CAsyncSocket* Lookup(HWND hWnd, SOCKET hSocket) {
        std::lock_guard<std::mutex> lock(g_socketMapLock);
        auto it = g_socketMap.find(hSocket);
        if (it == g_socketMap.end() || it->second->m_hNotifyWnd != hWnd) return nullptr;
        return it->second;
    }
};

namespace {

LRESULT CALLBACK SocketWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kSocketNotifyMessage) {
        CSocketDispatch::Dispatch(hWnd, static_cast<SOCKET>(wParam), lParam);
        return 0;
    }
    return DefWindowProcW(hWnd, message, wParam, lParam);
}

bool ParseAddress(const wchar_t* text, sockaddr_in& address) {
    address.sin_family = AF_INET;
    if (text == nullptr || *text == L'\0') {
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        return true;
    }
    return InetPtonW(AF_INET, text, &address.sin_addr) == 1;
}

}  // namespace

CAsyncSocket::~CAsyncSocket() { Close(); }

void CAsyncSocket::AttachHandle(SOCKET hSocket) {
    HWND hNotifyWnd = ThreadSocketWindow();
    std::lock_guard<std::mutex> lock(g_socketMapLock);
    m_hSocket = hSocket;
    m_hNotifyWnd = hNotifyWnd;
    ++m_nHandleSerial;
    g_socketMap[hSocket] = this;
}

void CAsyncSocket::DetachHandle() {
    std::lock_guard<std::mutex> lock(g_socketMapLock);
    auto it = g_socketMap.find(m_hSocket);
    if (it != g_socketMap.end() && it->second == this) g_socketMap.erase(it);
    m_hSocket = INVALID_SOCKET;
    m_hNotifyWnd = nullptr;
}

BOOL CAsyncSocket::Socket(int nSocketType, long lEvent, int nProtocolType, int nAddressFormat) {
    if (m_hSocket != INVALID_SOCKET) {
        WSASetLastError(WSAEISCONN);
        return FALSE;
    }
    SOCKET hSocket = socket(nAddressFormat, nSocketType, nProtocolType);
    if (hSocket == INVALID_SOCKET) return FALSE;
    AttachHandle(hSocket);
    if (m_hNotifyWnd == nullptr || !AsyncSelect(lEvent)) {
        const int error = WSAGetLastError();
        Close();
        WSASetLastError(error != 0 ? error : WSAENOTSOCK);
        return FALSE;
    }
    return TRUE;
}

BOOL CAsyncSocket::Create(UINT nSocketPort, int nSocketType, long lEvent,
                          const wchar_t* lpszSocketAddress) {
    if (!Socket(nSocketType, lEvent)) return FALSE;
    if (Bind(nSocketPort, lpszSocketAddress)) return TRUE;
    const int error = WSAGetLastError();
    Close();
    WSASetLastError(error);
    return FALSE;
}

BOOL CAsyncSocket::Attach(SOCKET hSocket, long lEvent) {
    if (hSocket == INVALID_SOCKET || m_hSocket != INVALID_SOCKET) {
        WSASetLastError(WSAEINVAL);
        return FALSE;
    }
    AttachHandle(hSocket);
    if (m_hNotifyWnd != nullptr && AsyncSelect(lEvent)) return TRUE;
    DetachHandle();
    return FALSE;
}

SOCKET CAsyncSocket::Detach() {
    SOCKET hSocket = m_hSocket;
    if (hSocket == INVALID_SOCKET) return INVALID_SOCKET;
    // Quiet until the next owner selects its events, so that nothing is posted to this
    // thread for a connection it no longer has.
    AsyncSelect(0);
    DetachHandle();
    return hSocket;
}

void CAsyncSocket::Close() {
    SOCKET hSocket = m_hSocket;
    if (hSocket == INVALID_SOCKET) return;
    DetachHandle();
    closesocket(hSocket);
}

BOOL CAsyncSocket::Bind(UINT nSocketPort, const wchar_t* lpszSocketAddress) {
    sockaddr_in address{};
    if (!ParseAddress(lpszSocketAddress, address)) {
        WSASetLastError(WSAEINVAL);
        return FALSE;
    }
    address.sin_port = htons(static_cast<u_short>(nSocketPort));
    return bind(m_hSocket, reinterpret_cast<const sockaddr*>(&address), sizeof address) !=
           SOCKET_ERROR;
}

BOOL CAsyncSocket::Listen(int nConnectionBacklog) {
    return listen(m_hSocket, nConnectionBacklog) != SOCKET_ERROR;
}

BOOL CAsyncSocket::Accept(CAsyncSocket& rConnectedSocket, SOCKADDR* lpSockAddr,
                          int* lpSockAddrLen) {
    if (rConnectedSocket.m_hSocket != INVALID_SOCKET) {
        WSASetLastError(WSAEISCONN);
        return FALSE;
    }
    SOCKET hSocket = accept(m_hSocket, lpSockAddr, lpSockAddrLen);
    if (hSocket == INVALID_SOCKET) return FALSE;
    // The new handle inherits the listener's selection; select again so that its
    // events come to the thread that accepted it.
    rConnectedSocket.AttachHandle(hSocket);
    if (rConnectedSocket.AsyncSelect(kAllSocketEvents)) return TRUE;
    const int error = WSAGetLastError();
    rConnectedSocket.Close();
    WSASetLastError(error);
    return FALSE;
}

BOOL CAsyncSocket::Connect(const wchar_t* lpszHostAddress, UINT nHostPort) {
    if (lpszHostAddress == nullptr) {
        WSASetLastError(WSAEINVAL);
        return FALSE;
    }
    ADDRINFOW hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    ADDRINFOW* found = nullptr;
    const int error = GetAddrInfoW(lpszHostAddress, nullptr, &hints, &found);
    if (error != 0 || found == nullptr) {
        WSASetLastError(error != 0 ? error : WSAHOST_NOT_FOUND);
        return FALSE;
    }
    sockaddr_in address{};
    memcpy(&address, found->ai_addr, sizeof address);
    FreeAddrInfoW(found);
    address.sin_port = htons(static_cast<u_short>(nHostPort));
    return Connect(reinterpret_cast<const SOCKADDR*>(&address), sizeof address);
}

BOOL CAsyncSocket::Connect(const SOCKADDR* lpSockAddr, int nSockAddrLen) {
    return connect(m_hSocket, lpSockAddr, nSockAddrLen) != SOCKET_ERROR;
}

int CAsyncSocket::Receive(void* lpBuf, int nBufLen, int nFlags) {
    return recv(m_hSocket, static_cast<char*>(lpBuf), nBufLen, nFlags);
}

int CAsyncSocket::Send(const void* lpBuf, int nBufLen, int nFlags) {
    return send(m_hSocket, static_cast<const char*>(lpBuf), nBufLen, nFlags);
}

BOOL CAsyncSocket::ShutDown(int nHow) { return shutdown(m_hSocket, nHow) != SOCKET_ERROR; }

BOOL CAsyncSocket::AsyncSelect(long lEvent) {
    if (m_hNotifyWnd == nullptr) {
        WSASetLastError(WSAENOTSOCK);
        return FALSE;
    }
    return WSAAsyncSelect(m_hSocket, m_hNotifyWnd, kSocketNotifyMessage, lEvent) != SOCKET_ERROR;
}

BOOL CAsyncSocket::IOCtl(long lCommand, DWORD* lpArgument) {
    return ioctlsocket(m_hSocket, lCommand, lpArgument) != SOCKET_ERROR;
}

BOOL CAsyncSocket::SetSockOpt(int nOptionName, const void* lpOptionValue, int nOptionLen,
                              int nLevel) {
    return setsockopt(m_hSocket, nLevel, nOptionName, static_cast<const char*>(lpOptionValue),
                      nOptionLen) != SOCKET_ERROR;
}

BOOL CAsyncSocket::GetSockName(SOCKADDR* lpSockAddr, int* lpSockAddrLen) {
    return getsockname(m_hSocket, lpSockAddr, lpSockAddrLen) != SOCKET_ERROR;
}

BOOL CAsyncSocket::GetSockName(std::wstring& rSocketAddress, UINT& rSocketPort) {
    sockaddr_in address{};
    int size = sizeof address;
    if (!GetSockName(reinterpret_cast<SOCKADDR*>(&address), &size)) return FALSE;
    wchar_t text[kAddressTextSize] = {};
    if (InetNtopW(AF_INET, &address.sin_addr, text, kAddressTextSize) == nullptr) return FALSE;
    rSocketAddress = text;
    rSocketPort = ntohs(address.sin_port);
    return TRUE;
}

void CAsyncSocket::OnReceive(int) {}
void CAsyncSocket::OnSend(int) {}
void CAsyncSocket::OnOutOfBandData(int) {}
void CAsyncSocket::OnAccept(int) {}
void CAsyncSocket::OnConnect(int) {}
void CAsyncSocket::OnClose(int) {}
