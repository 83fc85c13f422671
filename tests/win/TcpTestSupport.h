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
constexpr DWORD kGuardMs = 10000;
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
