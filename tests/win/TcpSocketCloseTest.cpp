// How the TCP transport reports a peer that goes away: inside a frame, right after its
// last frames, ahead of its unread data, and while a transfer has notices switched off.
#include "TcpTestSupport.h"

#include <thread>

using namespace tcptest;

namespace {
// Far more than the (shrunk) socket buffers on both ends of the connection can hold.
constexpr size_t kStalledFrameBytes = 1024 * 1024;
constexpr int kSmallBufferBytes = 8 * 1024;
}  // namespace

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
    ASSERT_EQ(WaitUnread(client, frames.size()), frames.size());
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

// Notices are off while a frame is read. A peer that sends the rest of the frame and
// hangs up at that moment must still be reported once they are back on: a missed close
// would leave the pad waiting for a lectern PC that is gone. The test turns notices off
// itself, as the read does, and lets the peer finish and hang up only then; on the
// loopback the peer's bytes and its close are queued here by the time it returns.
TEST_F(TcpSocketTest, APeerClosingWhileAFrameIsReadIsStillReported) {
    UINT port = 0;
    SOCKET listener = PlainListener(port);
    HANDLE sendRest = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE peerGone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const std::vector<uint8_t> frame = FrameBytes(CPacket(u"[RH10002]"));
    ASSERT_GT(frame.size(), kMidFrameBytes);
    std::thread peerThread([&] {
        SOCKET c = accept(listener, nullptr, nullptr);
        send(c, reinterpret_cast<const char*>(frame.data()), int(kMidFrameBytes), 0);
        WaitForSingleObject(sendRest, kGuardMs);
        send(c, reinterpret_cast<const char*>(frame.data() + kMidFrameBytes),
             int(frame.size() - kMidFrameBytes), 0);
        shutdown(c, SD_BOTH);
        closesocket(c);
        SetEvent(peerGone);
    });
    COwnerWindow owner;
    std::vector<CPacket> read;
    owner.m_onReceive = [&](CTCPSocket& s) {
        if (read.empty()) {
            s.AsyncSelect(0);
            SetEvent(sendRest);
            WaitForSingleObject(peerGone, kGuardMs);
        }
        CPacket packet;
        ReceivePacket(s, packet);
        read.push_back(packet);
    };
    CTCPSocket client;
    ASSERT_EQ(Connect(client, owner, port), 0);
    EXPECT_TRUE(PumpUntil([&] { return owner.Count(kWmSocketClosed) > 0; }))
        << "the peer's close was never reported";
    peerThread.join();

    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].m_strText, u"[RH10002]");
    EXPECT_EQ(owner.Count(kWmSocketClosed), 1u);
    EXPECT_EQ(client.m_hSocket, INVALID_SOCKET);
    closesocket(listener);
    CloseHandle(sendRest);
    CloseHandle(peerGone);
}

// A peer that stops inside a frame but keeps the connection open: the read gives up
// after the stall limit, as if the peer had closed, instead of holding the thread.
TEST_F(TcpSocketTest, APeerStallingInsideAFrameEndsTheReadAfterTheStallLimit) {
    UINT port = 0;
    SOCKET listener = PlainListener(port);
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const std::vector<uint8_t> frame = FrameBytes(CPacket(u"[RH10002]"));
    std::thread peerThread([&] {
        SOCKET c = accept(listener, nullptr, nullptr);
        send(c, reinterpret_cast<const char*>(frame.data()), int(kMidFrameBytes), 0);
        WaitForSingleObject(done, kGuardMs);  // open, and silent
        closesocket(c);
    });
    COwnerWindow owner;
    bool readReturned = false;
    DWORD readMs = 0;
    CPacket packet(u"not empty before the read");
    owner.m_onReceive = [&](CTCPSocket& s) {
        if (readReturned) return;
        const DWORD start = GetTickCount();
        ReceivePacket(s, packet);
        readMs = GetTickCount() - start;
        readReturned = true;
    };
    CTCPSocket client;
    client.SetStallLimit(kSettleMs);
    ASSERT_EQ(Connect(client, owner, port), 0);
    EXPECT_TRUE(PumpUntil([&] { return readReturned; })) << "the stalled read never returned";
    SetEvent(done);
    peerThread.join();

    // The peer hangs up only after the guard: a read that returned before it gave up.
    EXPECT_LT(readMs, kGuardMs);
    EXPECT_EQ(packet.m_nType, kPacketEmpty);
    EXPECT_EQ(client.m_hSocket, INVALID_SOCKET);
    closesocket(listener);
    CloseHandle(done);
}

// A peer that stops reading: a frame larger than every buffer on the way cannot be
// written, and the write gives up after the stall limit with the socket closed.
TEST_F(TcpSocketTest, APeerThatStopsReadingEndsTheWriteAfterTheStallLimit) {
    UINT port = 0;
    SOCKET listener = PlainListener(port);
    setsockopt(listener, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&kSmallBufferBytes),
               sizeof kSmallBufferBytes);
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread peerThread([&] {
        SOCKET c = accept(listener, nullptr, nullptr);
        WaitForSingleObject(done, kGuardMs * 3);  // never reads
        closesocket(c);
    });
    COwnerWindow owner;
    CTCPSocket client;
    client.SetStallLimit(kSettleMs);
    ASSERT_EQ(Connect(client, owner, port), 0);
    client.SetSockOpt(SO_SNDBUF, &kSmallBufferBytes, sizeof kSmallBufferBytes, SOL_SOCKET);
    const std::vector<uint8_t> big(kStalledFrameBytes, 0x5A);
    const DWORD start = GetTickCount();
    SendPacket(client, CPacket(uint32_t(big.size()), big.data(), int32_t(big.size()), 1));
    const DWORD sendMs = GetTickCount() - start;
    SetEvent(done);
    peerThread.join();

    // One wait for the stall limit, not one for every offer the writer makes.
    EXPECT_LT(sendMs, kGuardMs / 4);
    EXPECT_EQ(client.m_hSocket, INVALID_SOCKET) << "a frame that was never taken counted as sent";
    closesocket(listener);
    CloseHandle(done);
}

// The peer's last words make the owner close this connection and open a new one on the
// same object (as a refused log-in does). The close being reported must leave the new
// connection alone and say nothing of it.
TEST_F(TcpSocketTest, AConnectionOpenedDuringTheLastWordsSurvivesTheClose) {
    UINT port = 0;
    SOCKET listener = PlainListener(port);
    // The second connection is completed by the listener's backlog; nobody accepts it.
    UINT secondPort = 0;
    SOCKET secondListener = PlainListener(secondPort);
    HANDLE sendNow = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const std::vector<uint8_t> refusal = FrameBytes(CPacket(u"[UR00001]1,refused"));
    std::thread peerThread([&] {
        SOCKET c = accept(listener, nullptr, nullptr);
        // Only once the client stopped dispatching, so that no read notice takes it.
        WaitForSingleObject(sendNow, kGuardMs);
        send(c, reinterpret_cast<const char*>(refusal.data()), int(refusal.size()), 0);
        WaitForSingleObject(done, kGuardMs);
        closesocket(c);
    });
    COwnerWindow owner;
    CCloseProbe client;
    const LPARAM connected = Connect(client, owner, port);
    SetEvent(sendNow);
    // The refusal is waiting unread when the close is reported.
    const DWORD pending = WaitUnread(client, refusal.size());
    if (connected == 0 && pending == refusal.size()) {
        owner.m_onReceive = [&](CTCPSocket& s) {
            CPacket packet;
            ReceivePacket(s, packet);
            s.Close();
            OpenConnection(s, owner.m_hWnd, kLoopback, secondPort);
        };
        client.OnClose(0);

        EXPECT_NE(client.m_hSocket, INVALID_SOCKET) << "the new connection was closed";
        EXPECT_EQ(owner.Count(kWmSocketClosed), 0u);
        EXPECT_TRUE(PumpUntil([&] { return owner.Count(kWmSocketConnected) > 1; }));
        EXPECT_NE(client.m_hSocket, INVALID_SOCKET);
    }
    EXPECT_EQ(connected, 0);
    EXPECT_EQ(pending, refusal.size());
    SetEvent(sendNow);
    SetEvent(done);
    peerThread.join();
    closesocket(listener);
    closesocket(secondListener);
    CloseHandle(sendNow);
    CloseHandle(done);
}
