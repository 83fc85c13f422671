// Shared by the TCP transport tests: a hidden owner window that records every socket
// notice, message pumping with a guard, plain WinSock listeners and the frames a packet
// makes.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include "connection/TCPSocket_win.h"
#include "protocol/MemoryConnection.h"
#include "protocol/Packet.h"

#include "PacketSamples.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace tcptest {

// Only a guard against a hanging test, never a timing expectation.
constexpr DWORD kGuardMs = 30000;
constexpr DWORD kPumpSliceMs = 20;
// Time given to queued notices to be dispatched before counting them.
constexpr DWORD kSettleMs = 500;
constexpr wchar_t kLoopback[] = L"127.0.0.1";
constexpr size_t kMidFrameBytes = 20;

// The frame a packet makes, as a way to compare every field of two packets.
using packetsamples::FrameOf;
inline std::vector<uint8_t> FrameBytes(const CPacket& packet) { return FrameOf(packet); }

inline void PumpOnce() {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, kPumpSliceMs, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Dispatches the calling thread's messages until done() holds; false after the guard.
inline bool PumpUntil(const std::function<bool()>& done) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > kGuardMs) return false;
        PumpOnce();
    }
    return true;
}

struct SocketEvent {
    UINT message;
    LPARAM lParam;
    DWORD threadId;
    bool socketOpen;       // the socket's state when the owner was told
    bool fromOtherThread;  // sent by a thread other than the owner window's
};

// The socket owner: a hidden window on the thread that makes it. It records every
// socket message, accepts into m_accepted, and by default reads one packet per
// "data to read" message.
class COwnerWindow {
  public:
    COwnerWindow() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &COwnerWindow::WndProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TcpSocketTestOwner";
        RegisterClassW(&wc);
        m_hWnd = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 wc.hInstance, nullptr);
        SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~COwnerWindow() { DestroyWindow(m_hWnd); }

    size_t Count(UINT message) const {
        std::lock_guard<std::mutex> lock(m_lock);
        size_t n = 0;
        for (const SocketEvent& e : m_events) n += e.message == message;
        return n;
    }
    std::vector<SocketEvent> Events() const {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_events;
    }
    std::vector<CPacket> Received() const {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_received;
    }

    HWND m_hWnd = nullptr;
    CTCPSocket* m_pListener = nullptr;
    CTCPSocket m_accepted;
    // Replaces the default read on "data to read".
    std::function<void(CTCPSocket&)> m_onReceive;

  private:
    static LRESULT CALLBACK WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<COwnerWindow*>(GetWindowLongPtrW(hWnd, GWLP_USERDATA));
        if (self == nullptr || message < kWmSocketAccept || message > kWmSocketClosed)
            return DefWindowProcW(hWnd, message, wParam, lParam);
        self->OnSocketMessage(message, *reinterpret_cast<CTCPSocket*>(wParam), lParam);
        return 0;
    }

    void OnSocketMessage(UINT message, CTCPSocket& socket, LPARAM lParam) {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_events.push_back({message, lParam, GetCurrentThreadId(),
                                socket.m_hSocket != INVALID_SOCKET, InSendMessage() != FALSE});
        }
        if (message == kWmSocketAccept && m_pListener != nullptr && m_pListener->Accept(m_accepted))
            m_accepted.SetOwnerWnd(m_hWnd);
        if (message != kWmSocketReceive) return;
        if (m_onReceive) return m_onReceive(socket);
        CPacket packet;
        ReceivePacket(socket, packet);
        std::lock_guard<std::mutex> lock(m_lock);
        if (packet.m_nType != kPacketEmpty) m_received.push_back(packet);
    }

    mutable std::mutex m_lock;
    std::vector<SocketEvent> m_events;
    std::vector<CPacket> m_received;
};

// Socket events must reach the owner on its own thread, not be sent over from another.
inline void ExpectDeliveredOnOwnerThread(const COwnerWindow& owner) {
    for (const SocketEvent& e : owner.Events()) {
        EXPECT_FALSE(e.fromOtherThread) << "message " << e.message;
    }
}

// Waits, without dispatching anything, until the socket holds `bytes` unread bytes;
// what it holds when the guard runs out.
inline DWORD WaitUnread(CTCPSocket& socket, size_t bytes) {
    DWORD pending = 0;
    const DWORD start = GetTickCount();
    while (pending < bytes && GetTickCount() - start < kGuardMs) {
        Sleep(kPumpSliceMs);
        socket.IOCtl(FIONREAD, &pending);
    }
    return pending;
}

// A plain blocking WinSock listener on 127.0.0.1.
inline SOCKET PlainListener(UINT& port) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof a;
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(s, 1);
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &size);
    port = ntohs(a.sin_port);
    return s;
}

// A manual-reset event: the signals between a test and its scripted peer.
class CEvent {
  public:
    CEvent() : m_handle(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~CEvent() { CloseHandle(m_handle); }
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;
    void Set() { SetEvent(m_handle); }
    bool Wait(DWORD ms = kGuardMs) { return WaitForSingleObject(m_handle, ms) == WAIT_OBJECT_0; }

  private:
    HANDLE m_handle;
};

// A plain WinSock peer of the socket under test, on its own thread: it listens on a free
// loopback port, takes one connection and runs its script on it, then closes it. The
// thread is joined and every socket closed when the object goes, also after a failed
// assertion; a script waits for the test's signals only up to the guard.
class CScriptedPeer {
  public:
    using Script = std::function<void(SOCKET)>;
    explicit CScriptedPeer(Script script) : m_listener(PlainListener(m_port)) {
        m_thread = std::thread([this, script] {
            // Never blocked in accept() for good by a test that failed before connecting.
            fd_set ready;
            FD_ZERO(&ready);
            FD_SET(m_listener, &ready);
            timeval guard{long(kGuardMs / 1000), 0};
            if (select(0, &ready, nullptr, nullptr, &guard) != 1) return;
            const SOCKET c = accept(m_listener, nullptr, nullptr);
            if (c == INVALID_SOCKET) return;
            script(c);
            closesocket(c);
        });
    }
    ~CScriptedPeer() { Join(); }
    CScriptedPeer(const CScriptedPeer&) = delete;
    CScriptedPeer& operator=(const CScriptedPeer&) = delete;

    UINT Port() const { return m_port; }
    SOCKET Listener() const { return m_listener; }
    // Waits for the script to end; the listener goes with it.
    void Join() {
        if (m_thread.joinable()) m_thread.join();
        if (m_listener != INVALID_SOCKET) closesocket(m_listener);
        m_listener = INVALID_SOCKET;
    }

  private:
    UINT m_port = 0;
    SOCKET m_listener = INVALID_SOCKET;
    std::thread m_thread;
};

// Sends bytes on a plain socket, all of them or as many as it takes.
inline void SendBytes(SOCKET s, const uint8_t* bytes, size_t count) {
    send(s, reinterpret_cast<const char*>(bytes), int(count), 0);
}

// A plain blocking socket read frame by frame, as a peer that checks what arrives.
class CBlockingConnection : public IConnection {
  public:
    explicit CBlockingConnection(SOCKET socket) : m_socket(socket) {
        const DWORD guardMs = kGuardMs;  // only a guard against a hanging test
        setsockopt(m_socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&guardMs),
                   sizeof guardMs);
    }
    int ReceiveExactly(uint8_t* buffer, int count) override {
        int got = 0;
        while (got < count) {
            const int n = recv(m_socket, reinterpret_cast<char*>(buffer) + got, count - got, 0);
            if (n <= 0) return got;
            got += n;
        }
        return got;
    }
    int SendPiece(const uint8_t*, int) override { return -1; }
    void CloseConnection() override {}

  private:
    SOCKET m_socket;
};

class TcpSocketTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(AfxSocketInit()); }

    // Opens the client to the port and waits for the outcome; the connect error.
    LPARAM Connect(CTCPSocket& client, COwnerWindow& owner, UINT port) {
        EXPECT_TRUE(OpenConnection(client, owner.m_hWnd, kLoopback, port));
        EXPECT_TRUE(PumpUntil([&] { return owner.Count(kWmSocketConnected) > 0; }));
        for (const SocketEvent& e : owner.Events())
            if (e.message == kWmSocketConnected) return e.lParam;
        return -1;
    }
};

}  // namespace tcptest
