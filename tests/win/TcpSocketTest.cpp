// The TCP transport on a real WinSock (Wine) over 127.0.0.1: frames both ways against
// an echoing peer on its own thread, refused connects, a peer that vanishes inside a
// frame, and a connection handed from one thread to another.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "connection/TCPSocket_win.h"
#include "protocol/MemoryConnection.h"
#include "protocol/Packet.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Only a guard against a hanging test, never a timing expectation.
constexpr DWORD kGuardMs = 10000;
constexpr DWORD kPumpSliceMs = 20;
// Time given to queued notices to be dispatched before counting them.
constexpr DWORD kSettleMs = 500;
constexpr wchar_t kLoopback[] = L"127.0.0.1";
constexpr size_t kMidFrameBytes = 20;
constexpr size_t kLargeFrameBytes = 300 * 1024;

uint32_t FixedTick() { return 0x5B; }

// The frame a packet makes, as a way to compare every field of two packets.
std::vector<uint8_t> FrameBytes(const CPacket& packet) {
    SetFrameTickSource(&FixedTick);
    CMemoryConnection connection;
    WriteFrame(packet, connection);
    SetFrameTickSource(nullptr);
    return connection.Sent();
}

std::vector<uint8_t> Pattern(size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = uint8_t(seed + i * 13 + (i >> 8));
    return v;
}

CPacket Other(uint8_t type, std::vector<int32_t> numbers, std::vector<uint8_t> data = {}) {
    CPacket p;
    p.m_nType = type;
    p.m_vNumbers = std::move(numbers);
    p.m_vData = std::move(data);
    if (type == 7 || type == 16)
        for (size_t i = 0; i < p.m_abBlock.size(); ++i) p.m_abBlock[i] = uint8_t(0xC0 + i);
    return p;
}

// One packet of every type code that has a layout, and a frame too large for one read.
std::vector<CPacket> EveryType() {
    std::vector<CPacket> s;
    s.push_back(CPacket(u"[RC00013]on"));
    s.push_back(CPacket(u""));
    s.push_back(Other(2, {1, -2, 3}));
    CPacket three = Other(3, {1, 2, 3, 4, -5}, {1, 2, 3});
    three.m_vShorts = {1, 2, 3, 0xFFFF};
    three.m_vData2 = {9, 8};
    s.push_back(three);
    std::vector<KeyEventRecord> keys = {{256, 65, 1, 0x1E0001}, {257, 65, 1, 0xC01E0001}};
    s.push_back(CPacket(keys));
    std::vector<MouseEventRecord> mouse = {{512, 0, 100, 200, 0}, {522, 0, -3, 4, -120}};
    s.push_back(CPacket(mouse));
    s.push_back(Other(7, {1, 2, 3, 4, 0, 6, 7, 8}, {1, 2, 3}));
    s.push_back(Other(7, {1, 2, 3, 4, 1, 6, 7}, Pattern(2000, 3)));
    CPacket eight = Other(8, {42}, Pattern(10, 1));
    eight.m_nUncompressedLength = 100;
    eight.m_nFrameNumber = 7;
    s.push_back(eight);
    CPacket nine = Other(9, {1, 2, 3}, {5});
    nine.m_strText = u"\uD55C\uAE00 text";
    s.push_back(nine);
    s.push_back(Other(10, {5, 6}));
    const std::vector<uint8_t> pcm = Pattern(1764, 9);
    s.push_back(CPacket(uint32_t(pcm.size()), pcm.data(), int32_t(pcm.size())));
    const std::vector<uint8_t> z = Pattern(3000, 4);
    s.push_back(CPacket(uint32_t(z.size()), z.data(), 9000, 77));
    s.push_back(Other(13, {1, 2}, {7, 8, 9}));
    CPacket fourteen = Other(14, {4, 5}, {1, 2});
    fourteen.m_vUnsigned = {1, 2, 0xFFFFFFFF};
    s.push_back(fourteen);
    CPacket fifteen = Other(15, {});
    fifteen.m_nValue = -1;
    s.push_back(fifteen);
    s.push_back(Other(16, {}, {1, 2, 3, 4}));
    const std::vector<uint8_t> big = Pattern(kLargeFrameBytes, 1);
    s.push_back(CPacket(uint32_t(big.size()), big.data(), 4 * int32_t(big.size()), 12345));
    return s;
}

void PumpOnce() {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, kPumpSliceMs, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Dispatches the calling thread's messages until done() holds; false after the guard.
bool PumpUntil(const std::function<bool()>& done) {
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
void ExpectDeliveredOnOwnerThread(const COwnerWindow& owner) {
    for (const SocketEvent& e : owner.Events()) {
        EXPECT_FALSE(e.fromOtherThread) << "message " << e.message;
    }
}

// A CTCPSocket peer on its own thread that sends every packet it reads straight back.
class CEchoPeer {
  public:
    CEchoPeer() {
        std::promise<UINT> port;
        std::future<UINT> portReady = port.get_future();
        m_thread = std::thread([this, &port] { Run(port); });
        m_nPort = portReady.get();
    }
    ~CEchoPeer() {
        PostThreadMessageW(m_threadId, WM_QUIT, 0, 0);
        m_thread.join();
    }
    UINT Port() const { return m_nPort; }

  private:
    void Run(std::promise<UINT>& port) {
        m_threadId = GetCurrentThreadId();
        COwnerWindow owner;  // also gives this thread its message queue
        CTCPSocket listener;
        UINT listenPort = 0;
        std::wstring address;
        if (listener.Create(0, SOCK_STREAM, kAllSocketEvents, kLoopback) && listener.Listen())
            listener.GetSockName(address, listenPort);
        listener.SetOwnerWnd(owner.m_hWnd);
        owner.m_pListener = &listener;
        owner.m_onReceive = [](CTCPSocket& s) {
            CPacket packet;
            ReceivePacket(s, packet);
            if (packet.m_nType != kPacketEmpty) SendPacket(s, packet);
        };
        port.set_value(listenPort);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    }

    std::thread m_thread;
    std::atomic<DWORD> m_threadId{0};
    UINT m_nPort = 0;
};

// A port on 127.0.0.1 where nothing listens: bound once, then released.
UINT ClosedPort() {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof a;
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &size);
    closesocket(s);
    return ntohs(a.sin_port);
}

// A plain blocking WinSock listener on 127.0.0.1.
SOCKET PlainListener(UINT& port) {
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

}  // namespace

TEST_F(TcpSocketTest, FramesOfEveryTypeCrossBothWays) {
    CEchoPeer peer;
    ASSERT_NE(peer.Port(), 0u);
    COwnerWindow owner;
    CTCPSocket client;
    ASSERT_EQ(Connect(client, owner, peer.Port()), 0);

    const std::vector<CPacket> packets = EveryType();
    for (size_t i = 0; i < packets.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "packet " << i << ", type " << int(packets[i].m_nType));
        SendPacket(client, packets[i]);
        ASSERT_TRUE(PumpUntil([&] { return owner.Received().size() > i; }));
        EXPECT_EQ(FrameBytes(owner.Received()[i]), FrameBytes(packets[i]));
    }
    EXPECT_NE(client.m_hSocket, INVALID_SOCKET);
    EXPECT_EQ(owner.Count(kWmSocketClosed), 0u);
    ExpectDeliveredOnOwnerThread(owner);
}

TEST_F(TcpSocketTest, ConnectToAClosedPortReportsRefused) {
    COwnerWindow owner;
    CTCPSocket client;
    EXPECT_EQ(Connect(client, owner, ClosedPort()), LPARAM(WSAECONNREFUSED));
    EXPECT_EQ(owner.Count(kWmSocketConnected), 1u);
    ExpectDeliveredOnOwnerThread(owner);
}

TEST_F(TcpSocketTest, PeerClosingInsideAFrameEndsTheReadWithTheSocketClosed) {
    UINT port = 0;
    SOCKET listener = PlainListener(port);
    HANDLE readStarted = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const std::vector<uint8_t> frame = FrameBytes(CPacket(u"[RC00001]3.0.1.1004"));
    ASSERT_GT(frame.size(), kMidFrameBytes);
    std::thread peerThread([&] {
        SOCKET c = accept(listener, nullptr, nullptr);
        send(c, reinterpret_cast<const char*>(frame.data()), int(kMidFrameBytes), 0);
        WaitForSingleObject(readStarted, kGuardMs);
        closesocket(c);
    });

    COwnerWindow owner;
    bool readReturned = false;
    DWORD readMs = 0;
    CPacket packet(u"not empty before the read");
    owner.m_onReceive = [&](CTCPSocket& s) {
        SetEvent(readStarted);
        const DWORD start = GetTickCount();
        ReceivePacket(s, packet);
        readMs = GetTickCount() - start;
        readReturned = true;
    };
    CTCPSocket client;
    ASSERT_EQ(Connect(client, owner, port), 0);
    EXPECT_TRUE(PumpUntil([&] { return readReturned; }));
    peerThread.join();
    PumpOnce();  // whatever was still queued for the socket

    EXPECT_TRUE(readReturned);
    EXPECT_LT(readMs, kGuardMs);
    EXPECT_EQ(packet.m_nType, kPacketEmpty);
    EXPECT_EQ(client.m_hSocket, INVALID_SOCKET);
    // Closed by the failed read, so the peer's close is never reported.
    EXPECT_EQ(owner.Count(kWmSocketClosed), 0u);
    ExpectDeliveredOnOwnerThread(owner);
    closesocket(listener);
    CloseHandle(readStarted);
}

// The peer's last words (as "[MV10000]" before it hangs up) arrive with its close: every
// frame sent before the close is read, then the close is reported with the socket
// already closed.
TEST_F(TcpSocketTest, PeerClosingAfterItsLastFramesIsReportedAfterThem) {
    const std::u16string texts[] = {u"[MV00094]2.0.1.1068", u"[MV00007]", u"[MV10000]bye"};
    std::vector<uint8_t> frames;
    for (const std::u16string& text : texts) {
        const std::vector<uint8_t> one = FrameBytes(CPacket(text));
        frames.insert(frames.end(), one.begin(), one.end());
    }
    for (size_t count = 1; count <= std::size(texts); ++count) {
        SCOPED_TRACE(testing::Message() << count << " frame(s) before the close");
        UINT port = 0;
        SOCKET listener = PlainListener(port);
        size_t bytes = 0;
        for (size_t i = 0; i < count; ++i) bytes += FrameBytes(CPacket(texts[i])).size();
        std::thread peerThread([&] {
            SOCKET c = accept(listener, nullptr, nullptr);
            send(c, reinterpret_cast<const char*>(frames.data()), int(bytes), 0);
            closesocket(c);
        });
        COwnerWindow owner;
        CTCPSocket client;
        ASSERT_EQ(Connect(client, owner, port), 0);
        EXPECT_TRUE(PumpUntil([&] { return owner.Count(kWmSocketClosed) > 0; }));
        peerThread.join();

        ASSERT_EQ(owner.Received().size(), count);
        for (size_t i = 0; i < count; ++i) EXPECT_EQ(owner.Received()[i].m_strText, texts[i]);
        EXPECT_EQ(client.m_hSocket, INVALID_SOCKET);
        const std::vector<SocketEvent> events = owner.Events();
        EXPECT_EQ(events.back().message, kWmSocketClosed);
        EXPECT_FALSE(events.back().socketOpen);
        EXPECT_EQ(owner.Count(kWmSocketClosed), 1u);
        ExpectDeliveredOnOwnerThread(owner);
        closesocket(listener);
    }
}

// Exposes the close handler, to replay WinSock reporting a close ahead of unread data.
class CCloseProbe : public CTCPSocket {
  public:
    using CTCPSocket::OnClose;
};

TEST_F(TcpSocketTest, ACloseReportedBeforeTheLastFramesStillDeliversThem) {
    UINT port = 0;
    SOCKET listener = PlainListener(port);
    HANDLE sendNow = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::vector<uint8_t> frames = FrameBytes(CPacket(u"[MV00007]"));
    const std::vector<uint8_t> last = FrameBytes(CPacket(u"[MV10000]bye"));
    frames.insert(frames.end(), last.begin(), last.end());
    std::thread peerThread([&] {
        SOCKET c = accept(listener, nullptr, nullptr);
        WaitForSingleObject(sendNow, kGuardMs);
        send(c, reinterpret_cast<const char*>(frames.data()), int(frames.size()), 0);
        WaitForSingleObject(done, kGuardMs);
        closesocket(c);
    });
    COwnerWindow owner;
    CCloseProbe client;
    ASSERT_EQ(Connect(client, owner, port), 0);
    SetEvent(sendNow);
    // Wait for the bytes without dispatching, so that no read notice comes first.
    DWORD pending = 0;
    const DWORD start = GetTickCount();
    while (pending < frames.size() && GetTickCount() - start < kGuardMs) {
        Sleep(kPumpSliceMs);
        client.IOCtl(FIONREAD, &pending);
    }
    ASSERT_EQ(pending, frames.size());
    client.OnClose(0);
    SetEvent(done);
    peerThread.join();

    ASSERT_EQ(owner.Received().size(), 2u);
    EXPECT_EQ(owner.Received()[0].m_strText, u"[MV00007]");
    EXPECT_EQ(owner.Received()[1].m_strText, u"[MV10000]bye");
    const std::vector<SocketEvent> events = owner.Events();
    EXPECT_EQ(events.back().message, kWmSocketClosed);
    EXPECT_EQ(client.m_hSocket, INVALID_SOCKET);
    EXPECT_EQ(owner.Count(kWmSocketClosed), 1u);
    closesocket(listener);
    CloseHandle(sendNow);
    CloseHandle(done);
}

// Two frames arrive together and the owner reads both on the first notice. The notice
// posted for the second frame is then stale; passed on, it would have the owner block in
// a read for data that never comes.
TEST_F(TcpSocketTest, AReadNoticeForDataAlreadyTakenIsNotPassedOn) {
    UINT port = 0;
    SOCKET listener = PlainListener(port);
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::vector<uint8_t> frames = FrameBytes(CPacket(u"[RH00001]1920,1080"));
    const std::vector<uint8_t> second = FrameBytes(CPacket(u"[RH10002]"));
    frames.insert(frames.end(), second.begin(), second.end());
    std::thread peerThread([&] {
        SOCKET c = accept(listener, nullptr, nullptr);
        send(c, reinterpret_cast<const char*>(frames.data()), int(frames.size()), 0);
        WaitForSingleObject(done, kGuardMs);
        closesocket(c);
    });
    COwnerWindow owner;
    std::vector<CPacket> read;
    int notices = 0;
    owner.m_onReceive = [&](CTCPSocket& s) {
        if (++notices > 1) return;  // a later notice is only counted, never read
        for (int i = 0; i < 2; ++i) {
            CPacket packet;
            ReceivePacket(s, packet);
            read.push_back(packet);
        }
    };
    CTCPSocket client;
    ASSERT_EQ(Connect(client, owner, port), 0);
    ASSERT_TRUE(PumpUntil([&] { return read.size() == 2; }));
    const DWORD settle = GetTickCount();
    PumpUntil([&] { return GetTickCount() - settle > kSettleMs; });

    EXPECT_EQ(read[0].m_strText, u"[RH00001]1920,1080");
    EXPECT_EQ(read[1].m_strText, u"[RH10002]");
    EXPECT_EQ(notices, 1);
    EXPECT_NE(client.m_hSocket, INVALID_SOCKET);
    SetEvent(done);
    peerThread.join();
    closesocket(listener);
    CloseHandle(done);
}

TEST_F(TcpSocketTest, TransfersOnASocketThatIsNotOpenDoNothing) {
    CTCPSocket never;
    SendPacket(never, CPacket(u"[RC00003]"));
    CPacket packet(u"[RC00003]");
    ReceivePacket(never, packet);
    EXPECT_EQ(packet.m_nType, kPacketEmpty);
    EXPECT_EQ(never.m_hSocket, INVALID_SOCKET);
}

TEST_F(TcpSocketTest, BindAnyPortBindsOnceAndClosesWhenBindingFails) {
    CTCPSocket socket;
    ASSERT_TRUE(socket.Socket(SOCK_STREAM, kAllSocketEvents, 0, AF_INET));
    EXPECT_EQ(BindAnyPort(socket), 1);
    std::wstring address;
    UINT port = 0;
    EXPECT_TRUE(socket.GetSockName(address, port));
    EXPECT_NE(port, 0u);
    // A second bind of the same socket is refused: the socket is closed and the
    // reason kept for the caller.
    EXPECT_EQ(BindAnyPort(socket), 0);
    EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
    EXPECT_EQ(socket.m_hSocket, INVALID_SOCKET);
}

namespace {

// Thread messages for the borrowing thread.
constexpr UINT kTakeHandle = WM_APP + 1;  // wParam: the socket handle
constexpr UINT kSendText = WM_APP + 2;    // wParam: heap std::u16string, deleted here
constexpr UINT kGiveBack = WM_APP + 3;    // the handle goes back through m_handBack

// A second user-interface thread that borrows a connection, as the communication
// window does during remote control.
class CBorrower {
  public:
    CBorrower() {
        std::promise<void> ready;
        std::future<void> started = ready.get_future();
        m_thread = std::thread([this, &ready] { Run(ready); });
        started.get();
    }
    ~CBorrower() {
        PostThreadMessageW(m_threadId, WM_QUIT, 0, 0);
        m_thread.join();
    }
    void Post(UINT message, WPARAM wParam = 0) {
        PostThreadMessageW(m_threadId, message, wParam, 0);
    }
    DWORD ThreadId() const { return m_threadId; }
    const COwnerWindow& Owner() const { return *m_pOwner; }

    std::promise<SOCKET> m_handBack;

  private:
    void Run(std::promise<void>& ready) {
        m_threadId = GetCurrentThreadId();
        COwnerWindow owner;
        CTCPSocket socket;
        m_pOwner = &owner;
        ready.set_value();
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (msg.hwnd != nullptr) {
                DispatchMessageW(&msg);
            } else if (msg.message == kTakeHandle) {
                socket.Attach(SOCKET(msg.wParam), kAllSocketEvents);
                socket.SetOwnerWnd(owner.m_hWnd);
            } else if (msg.message == kSendText) {
                auto* text = reinterpret_cast<std::u16string*>(msg.wParam);
                SendPacket(socket, CPacket(*text));
                delete text;
            } else if (msg.message == kGiveBack) {
                m_handBack.set_value(socket.Detach());
            }
        }
    }

    std::thread m_thread;
    std::atomic<DWORD> m_threadId{0};
    std::atomic<COwnerWindow*> m_pOwner{nullptr};
};

}  // namespace

TEST_F(TcpSocketTest, AHandedOverConnectionKeepsWorkingWithEventsOnTheNewThread) {
    CEchoPeer peer;
    COwnerWindow owner;
    CTCPSocket client;
    ASSERT_EQ(Connect(client, owner, peer.Port()), 0);
    SendPacket(client, CPacket(u"[RC00004]"));
    ASSERT_TRUE(PumpUntil([&] { return owner.Received().size() == 1; }));
    const size_t readsBefore = owner.Count(kWmSocketReceive);

    // The echo of this one comes back while the handle is between threads.
    CBorrower borrower;
    SendPacket(client, CPacket(u"[RC00014]"));
    const SOCKET handle = client.Detach();
    ASSERT_NE(handle, INVALID_SOCKET);
    EXPECT_EQ(client.m_hSocket, INVALID_SOCKET);
    borrower.Post(kTakeHandle, WPARAM(handle));
    ASSERT_TRUE(PumpUntil([&] { return borrower.Owner().Received().size() == 1; }));
    borrower.Post(kSendText, WPARAM(new std::u16string(u"[RC00015]")));
    ASSERT_TRUE(PumpUntil([&] { return borrower.Owner().Received().size() == 2; }));

    EXPECT_EQ(borrower.Owner().Received()[0].m_strText, u"[RC00014]");
    EXPECT_EQ(borrower.Owner().Received()[1].m_strText, u"[RC00015]");
    for (const SocketEvent& e : borrower.Owner().Events())
        if (e.message == kWmSocketReceive) {
            EXPECT_EQ(e.threadId, borrower.ThreadId());
        }
    EXPECT_EQ(owner.Count(kWmSocketReceive), readsBefore);

    // And back again: events return to this thread.
    std::future<SOCKET> returned = borrower.m_handBack.get_future();
    borrower.Post(kGiveBack);
    ASSERT_EQ(returned.wait_for(std::chrono::milliseconds(kGuardMs)), std::future_status::ready);
    ASSERT_TRUE(client.Attach(returned.get(), kAllSocketEvents));
    SendPacket(client, CPacket(u"[RC00005]"));
    ASSERT_TRUE(PumpUntil([&] { return owner.Received().size() == 2; }));
    EXPECT_EQ(owner.Received()[1].m_strText, u"[RC00005]");
    const std::vector<SocketEvent> events = owner.Events();
    EXPECT_EQ(events.back().threadId, GetCurrentThreadId());
    EXPECT_NE(borrower.ThreadId(), GetCurrentThreadId());
    ExpectDeliveredOnOwnerThread(owner);
    ExpectDeliveredOnOwnerThread(borrower.Owner());
}
