// The remote session's Windows hosts on a real Win32 (Wine): the communication
// window's two ways of sending, its close (the last command, the lent connection
// handed back or closed), the control thread's text messages, the input pump, frame
// acknowledgement and the channel shared with the receive thread.
#include "protocol/PeerContract.h"
#include "protocol/TextCommand.h"
#include "remote/CommunicationWnd_win.h"
#include "remote/MonitorRequest.h"
#include "remote/ViewThread_win.h"

#include "RemoteHostTestSupport.h"

using namespace remotehosttest;

namespace {

class RemoteHostTest : public TcpSocketTest {};

// ---------------------------------------------------------------- sending by mode

TEST_F(RemoteHostTest, OutsideModeOneTextsGoToTheMainDialogIntact) {
    std::u16string longText(70000, u'x');
    longText.replace(0, 9, u"[RC00014]");
    const std::u16string texts[] = {u"[RC00006]17", u"[RC00014]\uD55C\uAE00,\u00E9\t\"q\"", u"",
                                    longText};
    for (const int mode : {-1, 0, 2}) {
        SCOPED_TRACE(testing::Message() << "connection mode " << mode);
        CMainDialogStub dialog;
        CRHInfo info;
        info.m_nConnMode = mode;
        CCommunicationWnd comm(info, dialog.m_hWnd);
        for (const std::u16string& text : texts) comm.SendText(text);
        ASSERT_TRUE(PumpUntil([&] { return dialog.packets.size() >= std::size(texts); }));
        ASSERT_EQ(dialog.packets.size(), std::size(texts));
        for (size_t i = 0; i < std::size(texts); ++i) {
            EXPECT_EQ(dialog.packets[i].m_nType, kPacketText);
            EXPECT_EQ(dialog.packets[i].m_strText, texts[i]);
            EXPECT_EQ(dialog.packets[i].m_strDigest, CPacket(texts[i]).m_strDigest);
        }
    }
}

TEST_F(RemoteHostTest, InModeOneWithoutAConnectionTextsAreDroppedNotHandedOver) {
    CMainDialogStub dialog;
    CRHInfo info;
    info.m_nConnMode = 1;
    CCommunicationWnd comm(info, dialog.m_hWnd);
    comm.SendText(u"[RC00003]");
    // A marker sent the other way after it: anything posted before arrives first.
    info.m_nConnMode = 0;
    comm.SendText(u"[RC00004]");
    ASSERT_TRUE(PumpUntil([&] { return !dialog.packets.empty(); }));
    EXPECT_EQ(dialog.Texts(), std::vector<std::u16string>{u"[RC00004]"});
}

TEST_F(RemoteHostTest, APacketTheGoneMainDialogCannotTakeIsFreedBySender) {
    HWND gone = CMainDialogStub().m_hWnd;  // destroyed with the stub
    ASSERT_FALSE(IsWindow(gone));
    CRHInfo info;
    info.m_nConnMode = 0;
    CCommunicationWnd comm(info, gone);
    // Each packet holds a 2 MB copy of the text: 32 of them not freed would be 64 MB.
    const std::u16string text = u"[RC00014]" + std::u16string(1 << 20, u'y');
    constexpr int kSends = 32;
    constexpr size_t kTolerance = 24u << 20;
    comm.SendText(text);  // the heap grows for the first one either way
    const size_t before = CommittedPrivateBytes();
    for (int i = 0; i < kSends; ++i) comm.SendText(text);
    const size_t after = CommittedPrivateBytes();
    EXPECT_LT(after, before + kTolerance) << "grew by " << (after - before) << " bytes";
}

// ---------------------------------------------------------------- a session outside mode 1

TEST_F(RemoteHostTest, ControlThreadSendsPostedTextsThroughTheMainDialog) {
    CMainDialogStub dialog;
    CRHInfo info;
    info.m_nConnMode = 0;
    CControlSession session(info, dialog.m_hWnd);
    ASSERT_TRUE(session.Running());
    ASSERT_TRUE(PumpUntil([&] { return !dialog.packets.empty(); }));
    EXPECT_EQ(dialog.Texts().front(), kCmdRemoteStart);
    const std::u16string texts[] = {u"[RC00015]", u"[RC00014]44032", u"[MV00001]\uD55C,1,2"};
    for (const std::u16string& text : texts) ASSERT_TRUE(session.PostText(text));
    ASSERT_TRUE(PumpUntil([&] { return dialog.Texts().size() >= 1 + std::size(texts); }));
    const std::vector<std::u16string> seen = dialog.Texts();
    EXPECT_EQ(std::vector<std::u16string>(seen.begin() + 1, seen.end()),
              std::vector<std::u16string>(std::begin(texts), std::end(texts)));
}

TEST_F(RemoteHostTest, ThePumpDrainsTheViewersInputAndTheSendTimerHandsItOver) {
    CMainDialogStub dialog;
    CRHInfo info;
    info.m_nConnMode = 0;
    CControlSession session(info, dialog.m_hWnd);
    ASSERT_TRUE(PumpUntil([&] { return !dialog.packets.empty(); }));
    const KeyEventRecord key{WM_KEYDOWN, 'A', 1, 0x1E};
    const MouseEventRecord mouse{WM_LBUTTONDOWN, MK_LBUTTON, 120, -40, 0};
    info.m_pInput->AppendKey(key);
    info.m_pInput->AppendMouse(mouse);
    ASSERT_TRUE(PumpUntil([&] { return dialog.packets.size() >= 3; }));
    ASSERT_EQ(dialog.packets.size(), 3u);
    EXPECT_EQ(dialog.packets[1].m_nType, kPacketKeys);
    EXPECT_EQ(dialog.packets[1].m_vKeys, std::vector<KeyEventRecord>{key});
    EXPECT_EQ(dialog.packets[2].m_nType, kPacketMouse);
    EXPECT_EQ(dialog.packets[2].m_vMouse, std::vector<MouseEventRecord>{mouse});
}

TEST_F(RemoteHostTest, ClosingSendsTheEndOnceClearsTheRecordAndEndsTheThread) {
    enum class Close { kWindowMessage, kThreadMessage };
    for (const Close how : {Close::kWindowMessage, Close::kThreadMessage}) {
        SCOPED_TRACE(how == Close::kWindowMessage ? "WM_CLOSE to the window" : "thread close");
        CMainDialogStub dialog;
        CRHInfo info;
        info.m_nConnMode = 0;
        CControlSession session(info, dialog.m_hWnd);
        ASSERT_TRUE(PumpUntil([&] { return !dialog.packets.empty(); }));
        const HWND comm = info.m_hCommWnd.load();
        ASSERT_TRUE(IsWindow(comm));
        if (how == Close::kWindowMessage)
            PostMessageW(comm, WM_CLOSE, 0, 0);
        else
            PostThreadMessageW(session.ThreadId(), kWmThreadClose, 0, 0);
        ASSERT_TRUE(session.WaitEnded());
        PumpOnce();  // what the thread posted last

        EXPECT_EQ(dialog.Count(kCmdRemoteEnd), 1u);
        EXPECT_EQ(dialog.Texts().back(), kCmdRemoteEnd);
        EXPECT_FALSE(IsWindow(comm));
        EXPECT_EQ(info.m_hCommWnd.load(), nullptr);
        EXPECT_EQ(info.m_bRemoteOn.load(), 0);
        EXPECT_TRUE(dialog.handedBack.empty());
        EXPECT_EQ(dialog.connectionLost, 0);
    }
}

// ---------------------------------------------------------------- a session in mode 1

TEST_F(RemoteHostTest, InModeOneTheEndGoesOnTheConnectionWhichIsHandedBackOrClosed) {
    enum class Dialog { kTakesIt, kRefuses, kGone };
    for (const Dialog answer : {Dialog::kTakesIt, Dialog::kRefuses, Dialog::kGone}) {
        SCOPED_TRACE(testing::Message() << "main dialog case " << int(answer));
        CLecternPair lectern;
        CMainDialogStub dialog;
        dialog.answer = answer == Dialog::kTakesIt ? kSocketTakenBack : 0;
        CRHInfo info;
        info.m_nConnMode = 1;
        CControlSession session(info, dialog.m_hWnd, lectern.ours);
        ASSERT_TRUE(lectern.WaitRead(1));
        ASSERT_TRUE(session.PostText(u"[RC00014]65"));
        ASSERT_TRUE(lectern.WaitRead(2));
        if (answer == Dialog::kGone) DestroyWindow(dialog.m_hWnd);
        PostMessageW(info.m_hCommWnd.load(), WM_CLOSE, 0, 0);
        ASSERT_TRUE(session.WaitEnded());
        EXPECT_EQ(info.m_hCommWnd.load(), nullptr);
        EXPECT_TRUE(dialog.packets.empty()) << "nothing goes through the main dialog in mode 1";

        if (answer == Dialog::kTakesIt) {
            EXPECT_EQ(dialog.handedBack, std::vector<SOCKET>{lectern.ours});
            // Still open and the dialog's: what it sends now follows the end.
            const std::vector<uint8_t> frame = FrameBytes(CPacket(u"[RC00003]"));
            EXPECT_EQ(send(lectern.ours, reinterpret_cast<const char*>(frame.data()),
                           int(frame.size()), 0),
                      int(frame.size()));
            ASSERT_TRUE(lectern.WaitRead(4));
        } else {
            lectern.OursClosedElsewhere();
            EXPECT_EQ(dialog.handedBack.size(), answer == Dialog::kRefuses ? 1u : 0u);
            // Nobody took it: closed, so the lectern PC sees the end of the stream.
            ASSERT_TRUE(lectern.WaitEnded());
        }
        std::vector<std::u16string> expected{kCmdRemoteStart, u"[RC00014]65", kCmdRemoteEnd};
        if (answer == Dialog::kTakesIt) expected.push_back(u"[RC00003]");
        EXPECT_EQ(lectern.Read(), expected);
    }
}

TEST_F(RemoteHostTest, InModeOneEveryReceivedFrameIsAcknowledgedInOrder) {
    CLecternPair lectern;
    CMainDialogStub dialog;
    CRHInfo info;
    info.m_nConnMode = 1;
    CControlSession session(info, dialog.m_hWnd, lectern.ours);
    ASSERT_TRUE(lectern.WaitRead(1));
    // Not a valid picture: acknowledged all the same, so the lectern PC keeps going.
    const uint8_t junk[] = {0x78, 0x9C, 1, 2, 3, 4, 5, 6};
    const int numbers[] = {7, 8, 1000};
    for (const int n : numbers) lectern.Send(CPacket(sizeof junk, junk, 64, n));
    ASSERT_TRUE(lectern.WaitRead(1 + std::size(numbers)));
    std::vector<std::u16string> expected{kCmdRemoteStart};
    for (const int n : numbers) expected.push_back(MakeCommand(kCmdFrameAck, {DecimalText(n)}));
    EXPECT_EQ(lectern.Read(), expected);
}

// A frame the receive thread is placing while the window closes: its acknowledgement
// must not follow the end on the connection.
TEST_F(RemoteHostTest, NoAcknowledgementFollowsTheEnd) {
    CLecternPair lectern;
    CMainDialogStub dialog;
    dialog.answer = 0;  // closed at the end: the reader sees everything that was sent
    CRHInfo info;
    info.m_nConnMode = 1;
    info.m_nTileWidth = 16;
    info.m_nTileHeight = 16;
    info.m_rcMonitor.right = 64;
    CControlSession session(info, dialog.m_hWnd, lectern.ours);
    ASSERT_TRUE(lectern.WaitRead(1));
    lectern.Send(PlaceableFrame(5));
    ASSERT_TRUE(lectern.WaitRead(2)) << "the frame is placeable and acknowledged";
    // The frame buffer's lock holds the receive thread between preparing and placing.
    EnterCriticalSection(&info.m_csFrame);
    const LONG alone = info.m_csFrame.LockCount;
    lectern.Send(PlaceableFrame(6));
    const bool held = PumpUntil([&] { return info.m_csFrame.LockCount != alone; });
    if (held) PostMessageW(info.m_hCommWnd.load(), WM_CLOSE, 0, 0);
    const bool ended = held && lectern.WaitRead(3);
    LeaveCriticalSection(&info.m_csFrame);
    ASSERT_TRUE(held) << "the receive thread never waited for the frame buffer";
    ASSERT_TRUE(ended);
    ASSERT_TRUE(session.WaitEnded());
    lectern.OursClosedElsewhere();
    ASSERT_TRUE(lectern.WaitEnded());
    EXPECT_EQ(lectern.Read(),
              (std::vector<std::u16string>{kCmdRemoteStart, MakeCommand(kCmdFrameAck, {u"5"}),
                                           kCmdRemoteEnd}));
}

TEST_F(RemoteHostTest, TextsPostedAfterTheCloseAreFreedAndNeverSent) {
    CMainDialogStub dialog;
    CRHInfo info;
    info.m_nConnMode = 0;
    CControlSession session(info, dialog.m_hWnd);
    ASSERT_TRUE(PumpUntil([&] { return !dialog.packets.empty(); }));
    // Each text is a 2 MB heap copy: 32 of them not freed would be 64 MB.
    const std::u16string text = u"[RC00014]" + std::u16string(1 << 20, u'z');
    constexpr size_t kTolerance = 24u << 20;
    const size_t before = CommittedPrivateBytes();
    PostMessageW(info.m_hCommWnd.load(), WM_CLOSE, 0, 0);
    for (int i = 0; i < 32 && session.PostText(text); ++i) {
    }
    ASSERT_TRUE(session.WaitEnded());
    PumpOnce();
    const size_t after = CommittedPrivateBytes();
    EXPECT_LT(after, before + kTolerance) << "grew by " << (after - before) << " bytes";
    EXPECT_EQ(dialog.Texts(), (std::vector<std::u16string>{kCmdRemoteStart, kCmdRemoteEnd}));
}

// ---------------------------------------------------------------- with the viewer

TEST_F(RemoteHostTest, ClosingTheViewerEndsBothThreadsWithOneEnd) {
    enum class Close { kStop, kViewerWindow };
    for (const Close how : {Close::kStop, Close::kViewerWindow}) {
        SCOPED_TRACE(how == Close::kStop ? "thread close to the viewer" : "WM_CLOSE to the viewer");
        CMainDialogStub dialog;
        CRHInfo info;
        info.m_nConnMode = 0;
        CControlSession control(info, dialog.m_hWnd);
        CHostThread viewer(new CViewThread(info));
        ASSERT_TRUE(PumpUntil([&] { return !dialog.packets.empty(); }));
        ASSERT_TRUE(PumpUntil([&] { return info.m_hViewWnd.load() != nullptr; }));
        const HWND view = info.m_hViewWnd.load();
        // A character typed in the viewer goes out through the communication window.
        PostMessageW(view, WM_CHAR, 'b', 1);
        ASSERT_TRUE(PumpUntil([&] { return dialog.Texts().size() >= 2; }));
        EXPECT_EQ(dialog.Texts()[1], MakeCommand(kCmdTypedChar, {u"98"}));
        if (how == Close::kStop)
            PostThreadMessageW(viewer.ThreadId(), kWmThreadClose, 0, 0);
        else
            PostMessageW(view, WM_CLOSE, 0, 0);
        ASSERT_TRUE(viewer.WaitEnded());
        ASSERT_TRUE(control.WaitEnded());
        PumpOnce();
        EXPECT_EQ(dialog.Count(kCmdRemoteEnd), 1u);
        EXPECT_EQ(dialog.Texts().back(), kCmdRemoteEnd);
        EXPECT_FALSE(IsWindow(view));
        EXPECT_EQ(info.m_hViewWnd.load(), nullptr);
        EXPECT_EQ(info.m_hCommWnd.load(), nullptr);
    }
}

TEST_F(RemoteHostTest, InModeOneAHangUpEndsTheSessionAndTellsTheMainDialog) {
    for (const bool withViewer : {false, true}) {
        SCOPED_TRACE(withViewer ? "with the viewer" : "without a viewer");
        CLecternPair lectern;
        CMainDialogStub dialog;
        CRHInfo info;
        info.m_nConnMode = 1;
        CControlSession control(info, dialog.m_hWnd, lectern.ours);
        std::unique_ptr<CHostThread> viewer;
        if (withViewer) viewer = std::make_unique<CHostThread>(new CViewThread(info));
        ASSERT_TRUE(lectern.WaitRead(1));
        if (withViewer) {
            ASSERT_TRUE(PumpUntil([&] { return info.m_hViewWnd.load() != nullptr; }));
        }
        shutdown(lectern.peer, SD_SEND);  // the lectern PC hangs up
        if (withViewer) {
            ASSERT_TRUE(viewer->WaitEnded());
        }
        ASSERT_TRUE(control.WaitEnded());
        PumpOnce();
        lectern.OursClosedElsewhere();
        EXPECT_TRUE(lectern.WaitEnded());
        EXPECT_EQ(dialog.connectionLost, 1);
        EXPECT_TRUE(dialog.handedBack.empty()) << "a lost connection is not handed back";
        EXPECT_EQ(info.m_nConnMode.load(), 0);
        EXPECT_EQ(info.m_hCommWnd.load(), nullptr);
        EXPECT_EQ(info.m_hViewWnd.load(), nullptr);
    }
}

TEST_F(RemoteHostTest, WithoutTheGoTheThreadsEndAndLeaveTheConnectionAlone) {
    CLecternPair lectern;
    CMainDialogStub dialog;
    CRHInfo info;
    info.m_nConnMode = 1;
    Prepared(info).m_nGo = -1;
    {
        CHostThread control(new CControlThread(info, dialog.m_hWnd, lectern.ours));
        CHostThread viewer(new CViewThread(info));
        ASSERT_TRUE(control.WaitEnded());
        ASSERT_TRUE(viewer.WaitEnded());
    }
    EXPECT_EQ(info.m_nCommReady.load(), 1);
    EXPECT_EQ(info.m_nViewReady.load(), 1);
    EXPECT_EQ(info.m_hCommWnd.load(), nullptr);
    EXPECT_EQ(info.m_hViewWnd.load(), nullptr);
    // Still open and untouched: the first frame the lectern PC reads is the dialog's.
    const std::vector<uint8_t> frame = FrameBytes(CPacket(u"[RC00003]"));
    ASSERT_EQ(send(lectern.ours, reinterpret_cast<const char*>(frame.data()), int(frame.size()), 0),
              int(frame.size()));
    ASSERT_TRUE(lectern.WaitRead(1));
    EXPECT_EQ(lectern.Read(), std::vector<std::u16string>{u"[RC00003]"});
    PumpOnce();
    EXPECT_TRUE(dialog.packets.empty());
}

// The communication window's own messages and the commands they send.
TEST_F(RemoteHostTest, WindowMessagesBecomeTheirCommands) {
    CMainDialogStub dialog;
    CRHInfo info;
    info.m_nConnMode = 0;
    info.m_nMonitorCount = 3;
    info.m_nMonitor = 3;
    CControlSession session(info, dialog.m_hWnd);
    ASSERT_TRUE(PumpUntil([&] { return !dialog.packets.empty(); }));
    const HWND comm = info.m_hCommWnd.load();
    const std::u16string width = DecimalText(GetSystemMetrics(SM_CXSCREEN));
    const std::u16string height = DecimalText(GetSystemMetrics(SM_CYSCREEN));
    struct Case {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        std::u16string expected;
    };
    const Case cases[] = {
        {kWmAcknowledgeFrame, 0, 2147483647, MakeCommand(kCmdFrameAck, {u"2147483647"})},
        {kWmSendInputModeKey, 0, 0, kCmdInputModeToggle},
        {kWmSendTypedChar, 0xD55C, 1, MakeCommand(kCmdTypedChar, {u"54620"})},
        // After the last of three monitors comes the first.
        {kWmChangeMonitor, kNoticeMarker, 0, MakeCommand(kCmdSelectMonitor, {u"1"})},
        {kWmChangeMonitor, kMonitorByNumber, 2, MakeCommand(kCmdSelectMonitor, {u"2"})},
        {kWmChangeMonitor, kMonitorByNumber, -1, MakeCommand(kCmdSelectMonitor, {u"1"})},
        {WM_DISPLAYCHANGE, 32, 0, MakeCommand(kCmdPadScreenSize, {width, height})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "message " << c.message);
        const size_t before = dialog.packets.size();
        SendMessageW(comm, c.message, c.wParam, c.lParam);
        ASSERT_TRUE(PumpUntil([&] { return dialog.packets.size() > before; }));
        EXPECT_EQ(dialog.packets.size(), before + 1);
        EXPECT_EQ(dialog.Texts().back(), c.expected);
    }
}

// ---------------------------------------------------------------- the channel

std::unique_ptr<CPacket> Numbered(int number, size_t bytes) {
    auto packet = std::make_unique<CPacket>();
    packet->m_nFrameNumber = number;
    packet->m_vData.assign(bytes, 0);
    return packet;
}

TEST(CommChannel, RefusesPastItsBoundAndFreesRoomAsPacketsLeave) {
    CCommChannel channel;
    constexpr size_t kQuarter = CCommChannel::kMaxQueuedBytes / 4;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "fresh" : "after everything left");
        for (int i = 0; i < 3; ++i) EXPECT_TRUE(channel.Push(Numbered(i, kQuarter)));
        EXPECT_FALSE(channel.Push(Numbered(9, kQuarter)));
        EXPECT_TRUE(channel.Push(Numbered(3, 1000)));  // a small one still fits
        std::unique_ptr<CPacket> first = channel.Pop(0);
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(first->m_nFrameNumber, 0);
        EXPECT_TRUE(channel.Push(Numbered(4, kQuarter)));
        for (const int expected : {1, 2, 3, 4}) {
            std::unique_ptr<CPacket> next = channel.Pop(0);
            ASSERT_NE(next, nullptr);
            EXPECT_EQ(next->m_nFrameNumber, expected);
        }
        EXPECT_EQ(channel.Pop(0), nullptr);
    }
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(channel.Push(Numbered(i, kQuarter)));
    channel.Clear();
    EXPECT_EQ(channel.Pop(0), nullptr);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(channel.Push(Numbered(i, kQuarter)));
}

TEST(CommChannel, AWaitingPopTakesWhatAnotherThreadPushes) {
    CCommChannel channel;
    for (int i = 0; i < 20; ++i) {
        std::thread pusher([&] { channel.Push(Numbered(i, 10)); });
        const DWORD start = GetTickCount();
        std::unique_ptr<CPacket> packet = channel.Pop(kGuardMs);
        const DWORD waited = GetTickCount() - start;
        pusher.join();
        ASSERT_NE(packet, nullptr);
        EXPECT_EQ(packet->m_nFrameNumber, i);
        EXPECT_LT(waited, kGuardMs / 2) << "the pop was not woken by the push";
    }
}

}  // namespace
