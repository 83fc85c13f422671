// The TCP transport on a real WinSock (Wine) over 127.0.0.1: frames both ways against
// an echoing peer on its own thread, refused connects, stale read notices, and a
// connection handed from one thread to another.
#include "PacketSamples.h"
#include "TcpTestSupport.h"

#include <future>
#include <thread>

using namespace tcptest;

namespace {

// One packet of every type code that has a layout, and a frame too large for one read.
std::vector<CPacket> EveryType() {
    std::vector<CPacket> packets;
    for (const packetsamples::Sample& sample : packetsamples::EveryLayout())
        packets.push_back(sample.packet);
    packets.push_back(packetsamples::LargeFramePacket());
    return packets;
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
    // The notices went to the borrower's window only, none to the lender's.
    EXPECT_GT(borrower.Owner().Count(kWmSocketReceive), 0u);
    EXPECT_EQ(owner.Count(kWmSocketReceive), readsBefore);

    // And back again: events return to this thread.
    std::future<SOCKET> returned = borrower.m_handBack.get_future();
    borrower.Post(kGiveBack);
    ASSERT_EQ(returned.wait_for(std::chrono::milliseconds(kGuardMs)), std::future_status::ready);
    ASSERT_TRUE(client.Attach(returned.get(), kAllSocketEvents));
    SendPacket(client, CPacket(u"[RC00005]"));
    ASSERT_TRUE(PumpUntil([&] { return owner.Received().size() == 2; }));
    EXPECT_EQ(owner.Received()[1].m_strText, u"[RC00005]");
    ExpectDeliveredOnOwnerThread(owner);
    ExpectDeliveredOnOwnerThread(borrower.Owner());
}
