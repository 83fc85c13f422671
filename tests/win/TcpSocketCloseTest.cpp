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
    CEvent readStarted;
    const std::vector<uint8_t> frame = FrameBytes(CPacket(u"[RC00001]3.0.1.1004"));
    ASSERT_GT(frame.size(), kMidFrameBytes);
    CScriptedPeer peer([&](SOCKET c) {
        SendBytes(c, frame.data(), kMidFrameBytes);
        readStarted.Wait();
    });

    COwnerWindow owner;
    bool readReturned = false;
    DWORD readMs = 0;
    CPacket packet(u"not empty before the read");
    owner.m_onReceive = [&](CTCPSocket& s) {
        readStarted.Set();
        const DWORD start = GetTickCount();
        ReceivePacket(s, packet);
        readMs = GetTickCount() - start;
        readReturned = true;
    };
    CTCPSocket client;
    ASSERT_EQ(Connect(client, owner, peer.Port()), 0);
    EXPECT_TRUE(PumpUntil([&] { return readReturned; }));
    peer.Join();
    PumpOnce();  // whatever was still queued for the socket

    EXPECT_TRUE(readReturned);
    EXPECT_LT(readMs, kGuardMs);
    EXPECT_EQ(packet.m_nType, kPacketEmpty);
    EXPECT_EQ(client.m_hSocket, INVALID_SOCKET);
    // Closed by the failed read, so the peer's close is never reported.
    EXPECT_EQ(owner.Count(kWmSocketClosed), 0u);
    ExpectDeliveredOnOwnerThread(owner);
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
        size_t bytes = 0;
        for (size_t i = 0; i < count; ++i) bytes += FrameBytes(CPacket(texts[i])).size();
        CScriptedPeer peer([&](SOCKET c) { SendBytes(c, frames.data(), bytes); });
        COwnerWindow owner;
        CTCPSocket client;
        ASSERT_EQ(Connect(client, owner, peer.Port()), 0);
        EXPECT_TRUE(PumpUntil([&] { return owner.Count(kWmSocketClosed) > 0; }));
        peer.Join();

        ASSERT_EQ(owner.Received().size(), count);
        for (size_t i = 0; i < count; ++i) EXPECT_EQ(owner.Received()[i].m_strText, texts[i]);
        EXPECT_EQ(client.m_hSocket, INVALID_SOCKET);
        const std::vector<SocketEvent> events = owner.Events();
        EXPECT_EQ(events.back().message, kWmSocketClosed);
        EXPECT_FALSE(events.back().socketOpen);
        EXPECT_EQ(owner.Count(kWmSocketClosed), 1u);
        ExpectDeliveredOnOwnerThread(owner);
    }
}

// Exposes the close handler, to replay WinSock reporting a close ahead of unread data.
class CCloseProbe : public CTCPSocket {
  public:
    using CTCPSocket::OnClose;
};

TEST_F(TcpSocketTest, ACloseReportedBeforeTheLastFramesStillDeliversThem) {
    CEvent sendNow, done;
    std::vector<uint8_t> frames = FrameBytes(CPacket(u"[MV00007]"));
    const std::vector<uint8_t> last = FrameBytes(CPacket(u"[MV10000]bye"));
    frames.insert(frames.end(), last.begin(), last.end());
    CScriptedPeer peer([&](SOCKET c) {
        sendNow.Wait();
        SendBytes(c, frames.data(), frames.size());
        done.Wait();
    });
    COwnerWindow owner;
    CCloseProbe client;
    ASSERT_EQ(Connect(client, owner, peer.Port()), 0);
    sendNow.Set();
    // Wait for the bytes without dispatching, so that no read notice comes first.
    ASSERT_EQ(WaitUnread(client, frames.size()), frames.size());
    client.OnClose(0);
    done.Set();
    peer.Join();

    ASSERT_EQ(owner.Received().size(), 2u);
    EXPECT_EQ(owner.Received()[0].m_strText, u"[MV00007]");
    EXPECT_EQ(owner.Received()[1].m_strText, u"[MV10000]bye");
    const std::vector<SocketEvent> events = owner.Events();
    EXPECT_EQ(events.back().message, kWmSocketClosed);
    EXPECT_EQ(client.m_hSocket, INVALID_SOCKET);
    EXPECT_EQ(owner.Count(kWmSocketClosed), 1u);
}

// Notices are off while a frame is read. A peer that sends the rest of the frame and
// hangs up at that moment must still be noticed once they are back on: a missed close
// would leave the pad waiting for a lectern PC that is gone. The test turns notices off
// itself, as the read does, and lets the peer finish and hang up only then; on the
// loopback the peer's bytes and its close are queued here by the time it returns.
// WinSock may then report the close, or first a read notice whose read fails at the
// end of the stream; either way the socket ends closed and its owner hears of it.
TEST_F(TcpSocketTest, APeerClosingWhileAFrameIsReadIsStillReported) {
    CEvent sendRest, peerGone;
    const std::vector<uint8_t> frame = FrameBytes(CPacket(u"[RH10002]"));
    ASSERT_GT(frame.size(), kMidFrameBytes);
    CScriptedPeer peer([&](SOCKET c) {
        SendBytes(c, frame.data(), kMidFrameBytes);
        sendRest.Wait();
        SendBytes(c, frame.data() + kMidFrameBytes, frame.size() - kMidFrameBytes);
        shutdown(c, SD_BOTH);  // the close, before the test is told
        peerGone.Set();
    });
    COwnerWindow owner;
    std::vector<CPacket> read;
    owner.m_onReceive = [&](CTCPSocket& s) {
        if (read.empty()) {
            s.AsyncSelect(0);
            sendRest.Set();
            peerGone.Wait();
        }
        CPacket packet;
        ReceivePacket(s, packet);
        read.push_back(packet);
    };
    CTCPSocket client;
    ASSERT_EQ(Connect(client, owner, peer.Port()), 0);
    const auto noticed = [&] {
        return owner.Count(kWmSocketClosed) > 0 ||
               (read.size() > 1 && client.m_hSocket == INVALID_SOCKET);
    };
    EXPECT_TRUE(PumpUntil(noticed)) << "the peer's close was never noticed";
    peer.Join();

    ASSERT_GE(read.size(), 1u);
    EXPECT_EQ(read[0].m_strText, u"[RH10002]");
    EXPECT_EQ(client.m_hSocket, INVALID_SOCKET);
    if (owner.Count(kWmSocketClosed) == 0) {
        ASSERT_EQ(read.size(), 2u);
        EXPECT_EQ(read[1].m_nType, kPacketEmpty) << "the read at the end of the stream failed";
    } else {
        EXPECT_EQ(owner.Count(kWmSocketClosed), 1u);
        EXPECT_EQ(read.size(), 1u);
    }
}

// A peer that stops inside a frame but keeps the connection open: the read gives up
// after the stall limit, as if the peer had closed, instead of holding the thread.
TEST_F(TcpSocketTest, APeerStallingInsideAFrameEndsTheReadAfterTheStallLimit) {
    CEvent done;
    const std::vector<uint8_t> frame = FrameBytes(CPacket(u"[RH10002]"));
    CScriptedPeer peer([&](SOCKET c) {
        SendBytes(c, frame.data(), kMidFrameBytes);
        done.Wait();  // open, and silent
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
    ASSERT_EQ(Connect(client, owner, peer.Port()), 0);
    EXPECT_TRUE(PumpUntil([&] { return readReturned; })) << "the stalled read never returned";
    done.Set();
    peer.Join();

    // The peer hangs up only after the guard: a read that returned before it gave up.
    EXPECT_LT(readMs, kGuardMs);
    EXPECT_EQ(packet.m_nType, kPacketEmpty);
    EXPECT_EQ(client.m_hSocket, INVALID_SOCKET);
}

// A peer that stops reading: a frame larger than every buffer on the way cannot be
// written, and the write gives up after the stall limit with the socket closed.
TEST_F(TcpSocketTest, APeerThatStopsReadingEndsTheWriteAfterTheStallLimit) {
    CEvent done;
    CScriptedPeer peer([&](SOCKET) { done.Wait(); });  // never reads
    setsockopt(peer.Listener(), SOL_SOCKET, SO_RCVBUF,
               reinterpret_cast<const char*>(&kSmallBufferBytes), sizeof kSmallBufferBytes);
    COwnerWindow owner;
    CTCPSocket client;
    client.SetStallLimit(kSettleMs);
    ASSERT_EQ(Connect(client, owner, peer.Port()), 0);
    client.SetSockOpt(SO_SNDBUF, &kSmallBufferBytes, sizeof kSmallBufferBytes, SOL_SOCKET);
    const std::vector<uint8_t> big(kStalledFrameBytes, 0x5A);
    const DWORD start = GetTickCount();
    SendPacket(client, CPacket(uint32_t(big.size()), big.data(), int32_t(big.size()), 1));
    const DWORD sendMs = GetTickCount() - start;
    done.Set();
    peer.Join();

    // One wait for the stall limit, not one for every offer the writer makes.
    EXPECT_LT(sendMs, kGuardMs / 4);
    EXPECT_EQ(client.m_hSocket, INVALID_SOCKET) << "a frame that was never taken counted as sent";
}

// The peer's last words make the owner close this connection and open a new one on the
// same object (as a refused log-in does). The close being reported must leave the new
// connection alone and say nothing of it.
TEST_F(TcpSocketTest, AConnectionOpenedDuringTheLastWordsSurvivesTheClose) {
    // The second connection is completed by the listener's backlog; nobody accepts it.
    UINT secondPort = 0;
    SOCKET secondListener = PlainListener(secondPort);
    CEvent sendNow, done;
    const std::vector<uint8_t> refusal = FrameBytes(CPacket(u"[UR00001]1,refused"));
    CScriptedPeer peer([&](SOCKET c) {
        // Only once the client stopped dispatching, so that no read notice takes it.
        sendNow.Wait();
        SendBytes(c, refusal.data(), refusal.size());
        done.Wait();
    });
    COwnerWindow owner;
    CCloseProbe client;
    const LPARAM connected = Connect(client, owner, peer.Port());
    sendNow.Set();
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
    sendNow.Set();
    done.Set();
    peer.Join();
    closesocket(secondListener);
}
