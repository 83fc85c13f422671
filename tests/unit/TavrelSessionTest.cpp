// The session with the relay server and the lectern PC, driven through a recording
// host with a fake clock: the handshake, the keep-alive, every ending, the re-login,
// the lectern PC's reports and the sending rules.
#include "SessionFake.h"

#include "panel/PanelGeometry.h"
#include "shell/ProgramMessages.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

using sessionfake::FakeHost;

constexpr char kIdentity[] =
    "[US00001]3,teacher01,192.168.0.20,50123,3.0.1.1004,1,Reserved,Reserved";

class SessionTest : public ::testing::Test {
  public:
    SessionTest() { host.session = &session; }

    void Relay(const std::u16string& text) {
        session.OnPacket(SessionLinkId::Relay, CPacket(text));
    }
    void Lectern(const std::u16string& text) {
        session.OnPacket(SessionLinkId::Lectern, CPacket(text));
    }
    // The states of a session on its way up.
    void Begin() { ASSERT_TRUE(session.Begin()); }
    void Identify() {
        ASSERT_TRUE(session.Begin());
        Relay(u"[UR00001]0,ok");
    }
    void Direct() {
        Identify();
        Relay(u"[UR00002]a,b,c,d,10.0.0.7,7000,g");
    }
    void Up() {
        Direct();
        Lectern(u"[MV00094]3.0.1.1004");
        Lectern(u"[MV00007]");
    }

    FakeHost host;
    CRemoteScreen screen;
    CTavrelSession session{host, screen};
};

TEST_F(SessionTest, HandshakeIdentifiesThePadThenGreetsTheLectern) {
    ASSERT_TRUE(session.Begin());
    EXPECT_TRUE(host.Logged("loading 1522"));
    EXPECT_TRUE(host.Logged("relay connect 10.0.0.1:7000"));
    EXPECT_TRUE(host.Armed(kTimerRelayTimeout));

    Relay(u"[UR00001]0,,ok");  // the empty field is skipped: still two fields
    ASSERT_EQ(host.relay.sent, std::vector<std::string>{kIdentity});
    EXPECT_FALSE(host.loadingShown);

    Relay(u"[USP0002]x");
    Relay(u"[UDPINFO]y");
    Relay(u"[UR00002]\"a\",b,c,d,\"10.0.0.7\",7000,g");
    EXPECT_TRUE(host.Logged("loading 1520"));
    EXPECT_TRUE(host.Logged("lectern connect 10.0.0.7:7000"));
    EXPECT_FALSE(host.relay.open) << "the relay connection stays open";
    EXPECT_FALSE(host.Armed(kTimerRelayTimeout));
    EXPECT_TRUE(host.Armed(kTimerLecternTimeout));

    session.SendCommand(u"[RC00013]on");
    EXPECT_TRUE(host.lectern.sent.empty()) << "sent before the lectern PC spoke";
    Lectern(u"[MV00007]");
    EXPECT_EQ(host.lectern.sent,
              (std::vector<std::string>{"[RC00022]1,Reserved,Reserved", "[RC00001]3.0.1.1004"}));
    EXPECT_TRUE(host.panelShown);
    EXPECT_FALSE(host.Armed(kTimerLecternTimeout));
    EXPECT_TRUE(host.Logged("timer 3 10000"));
    EXPECT_EQ(host.quits, 0);
    EXPECT_TRUE(host.messages.empty());
}

// The lectern PC may stay silent for 40 whole seconds; the keep-alive tick after that
// ends the session. The heartbeat at 30 s moves the limit to 70 s, so the tick at
// 80 s is the first one past it.
TEST_F(SessionTest, SilenceOfMoreThanFortySecondsEndsAtTheNextKeepAlive) {
    Up();
    host.lectern.sent.clear();
    host.Advance(30000);
    Lectern(u"[RH10002]");
    host.Advance(40000);
    EXPECT_EQ(host.quits, 0) << "ended at exactly 40 s of silence";
    EXPECT_EQ(host.lectern.sent.size(), 7u);
    host.Advance(10000);
    EXPECT_EQ(host.messages, std::vector<std::string>{"T229"});
    EXPECT_EQ(host.quits, 1);
    EXPECT_EQ(host.lectern.sent.back(), "[RC00003]") << "the last tick still sent its keep-alive";
    EXPECT_FALSE(host.lectern.open);
    EXPECT_TRUE(host.timers.empty());
}

struct EndingCase {
    const char* name;
    void (SessionTest::*stage)();
    std::function<void(SessionTest&, CTavrelSession&, FakeHost&)> trigger;
    std::string message;
    bool quits;  // else the panel is asked to close, which asks the teacher
};

class SessionEndingTest : public SessionTest, public ::testing::WithParamInterface<EndingCase> {};

TEST_P(SessionEndingTest, ShowsItsMessageOnceAndStopsTheTimers) {
    const EndingCase& c = GetParam();
    (this->*c.stage)();
    host.messages.clear();
    c.trigger(*this, session, host);
    ASSERT_EQ(host.messages, std::vector<std::string>{c.message});
    EXPECT_EQ(host.quits, c.quits ? 1 : 0);
    EXPECT_EQ(host.closeRequests, c.quits ? 0 : 1);
    EXPECT_FALSE(host.loadingShown);
    if (!c.quits) return;
    // The box stays until the teacher has read it: nothing fires underneath it.
    EXPECT_TRUE(host.timers.empty());
    // Nothing after the end shows a second message or sends anything.
    const size_t sent = host.lectern.sent.size();
    session.OnClosed(SessionLinkId::Lectern);
    session.OnRemoteConnectionLost();
    Lectern(u"[MV10000]a,b");
    host.Advance(60000);
    EXPECT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.lectern.sent.size(), sent);
}

using Fixture = SessionTest;
const EndingCase kEndings[] = {
    {"RelayNeverAsks", &Fixture::Begin,
     [](SessionTest&, CTavrelSession&, FakeHost& h) { h.Advance(3000); }, "T230", true},
    {"RelayRefusesTheConnection", &Fixture::Begin,
     [](SessionTest&, CTavrelSession& s, FakeHost&) { s.OnConnected(SessionLinkId::Relay, 10061); },
     "T205", true},
    {"RelayHangsUpAfterTheIdentification", &Fixture::Identify,
     [](SessionTest&, CTavrelSession& s, FakeHost&) { s.OnClosed(SessionLinkId::Relay); }, "T230",
     true},
    {"RelayReadFailsAfterTheIdentification", &Fixture::Identify,
     [](SessionTest&, CTavrelSession& s, FakeHost&) { s.OnReadFailed(SessionLinkId::Relay); },
     "T230", true},
    {"RelaySilentAfterTheIdentification", &Fixture::Identify,
     [](SessionTest&, CTavrelSession&, FakeHost& h) { h.Advance(40000); }, "T230", true},
    {"RelayEndsTheSession", &Fixture::Identify,
     [](SessionTest&, CTavrelSession& s, FakeHost&) {
         s.OnPacket(SessionLinkId::Relay, CPacket(u"[MV10001]"));
     },
     "T229", true},
    {"RelayIdentifyRequestMalformed", &Fixture::Begin,
     [](SessionTest&, CTavrelSession& s, FakeHost&) {
         s.OnPacket(SessionLinkId::Relay, CPacket(u"[UR00001]0,ok,a"));
     },
     "T232", false},
    {"RelayAddressMalformed", &Fixture::Identify,
     [](SessionTest&, CTavrelSession& s, FakeHost&) {
         s.OnPacket(SessionLinkId::Relay, CPacket(u"[UR00002]a,b,c,d,10.0.0.7,7000"));
     },
     "T232", false},
    {"LecternNeverGreets", &Fixture::Direct,
     [](SessionTest&, CTavrelSession&, FakeHost& h) { h.Advance(3000); }, "T231(10.0.0.7:7000)",
     true},
    {"LecternCloses", &Fixture::Up,
     [](SessionTest&, CTavrelSession& s, FakeHost&) { s.OnClosed(SessionLinkId::Lectern); }, "T229",
     true},
    {"LecternReadFails", &Fixture::Up,
     [](SessionTest&, CTavrelSession& s, FakeHost&) { s.OnReadFailed(SessionLinkId::Lectern); },
     "T229", true},
    {"LecternEndsWithItsMessage", &Fixture::Up,
     [](SessionTest&, CTavrelSession& s, FakeHost&) {
         s.OnPacket(SessionLinkId::Lectern, CPacket(u"[MV10000]\"x\",\"Class is over\""));
     },
     "Class is over", true},
    {"LecternEndNoticeMalformed", &Fixture::Up,
     [](SessionTest&, CTavrelSession& s, FakeHost&) {
         s.OnPacket(SessionLinkId::Lectern, CPacket(u"[MV10000]only"));
     },
     "T232", false},
    {"RemoteSessionLosesTheConnection", &Fixture::Up,
     [](SessionTest&, CTavrelSession& s, FakeHost&) { s.OnRemoteConnectionLost(); }, "T229", true},
};

INSTANTIATE_TEST_SUITE_P(Endings, SessionEndingTest, ::testing::ValuesIn(kEndings),
                         [](const auto& info) { return std::string(info.param.name); });

// A relay server that answers slowly is not taken for a vanished one.
TEST_F(SessionTest, SlowRelayAnswerWithinTheSilenceLimitIsTaken) {
    Identify();
    host.Advance(39000);
    Relay(u"[UR00002]a,b,c,d,10.0.0.7,7000,g");
    EXPECT_TRUE(host.messages.empty());
    EXPECT_TRUE(host.Logged("lectern connect 10.0.0.7:7000"));
}

// Before the identification the relay server's hang-up is left to the time-out.
TEST_F(SessionTest, RelayHangUpBeforeTheIdentificationIsLeftToTheTimeout) {
    ASSERT_TRUE(session.Begin());
    session.OnClosed(SessionLinkId::Relay);
    session.OnReadFailed(SessionLinkId::Relay);
    EXPECT_TRUE(host.messages.empty());
    host.Advance(3000);
    EXPECT_EQ(host.messages, std::vector<std::string>{"T230"});
}

TEST_F(SessionTest, IdentificationThatCannotBeSentEndsAtOnce) {
    ASSERT_TRUE(session.Begin());
    host.relay.loseOnSend = true;
    Relay(u"[UR00001]0,ok");
    EXPECT_EQ(host.messages, std::vector<std::string>{"T230"});
    EXPECT_EQ(host.quits, 1);
}

// A failed connection to the lectern PC is left to its time-out, which names it.
TEST_F(SessionTest, FailedLecternConnectionIsLeftToTheTimeout) {
    Direct();
    session.OnConnected(SessionLinkId::Lectern, 10061);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_FALSE(host.panelShown);
}

TEST_F(SessionTest, RefusalIsShownAndTheTeacherLogsInAgain) {
    const struct {
        const char* language;
        std::u16string message;
        std::u16string shown;
    } cases[] = {
        {"Kor", u"로그인 정보를 찾는 동안 오류가 발생했습니다.",
         u"로그인 정보를 찾는 동안 오류가 발생했습니다."},
        {"Eng", u"로그인 정보를 찾는 동안 오류가 발생했습니다.", u"T1109"},
        {"Eng", u"Something else", u"Something else"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        FakeHost h;
        CRemoteScreen s;
        CTavrelSession refused(h, s);
        h.session = &refused;
        h.language = sessionfake::Wide(c.language);
        h.logins.push_back({u"teacher02", u"10.0.0.2", u"7001"});
        ASSERT_TRUE(refused.Begin());
        refused.OnPacket(SessionLinkId::Relay, CPacket(u"[UR00001]1," + c.message));
        EXPECT_EQ(h.messages, std::vector<std::string>{sessionfake::Narrow(c.shown)});
        EXPECT_EQ(h.logIns, 2);
        EXPECT_TRUE(h.Logged("relay close"));
        EXPECT_TRUE(h.Logged("relay connect 10.0.0.2:7001"));
        EXPECT_EQ(refused.TeacherId(), u"teacher02");
        // Without a second loading text, but with a time-out of its own.
        EXPECT_EQ(std::count(h.log.begin(), h.log.end(), "loading 1522"), 1);
        EXPECT_EQ(std::count(h.log.begin(), h.log.end(), "timer 7 3000"), 2);
        EXPECT_EQ(h.quits, 0);
    }
}

TEST_F(SessionTest, RefusalWithTheLogInCancelledEndsTheProgram) {
    ASSERT_TRUE(session.Begin());
    Relay(u"[UR00001]1,no");
    EXPECT_EQ(host.logIns, 2);
    EXPECT_EQ(host.quits, 1);
    EXPECT_EQ(std::count(host.log.begin(), host.log.end(), "relay connect 10.0.0.1:7000"), 1);
}

TEST_F(SessionTest, CancelledLogInStartsNothing) {
    host.logins.clear();
    EXPECT_FALSE(session.Begin());
    EXPECT_TRUE(host.relay.sent.empty());
    EXPECT_FALSE(host.Logged("relay connect 10.0.0.1:7000"));
}

// The screen size report: the lectern program's version decides who cuts the screen.
TEST_F(SessionTest, ScreenSizeReportFollowsTheLecternVersion) {
    const struct {
        std::u16string version;
        PadScreenSize pad;
        int tileWidth, tileHeight, monitor;
        bool hidesMonitorButton;
        std::string frame;
    } cases[] = {
        {u"2.0.1.1067", {1920, 1080}, 120, 135, -1, true, "1920x1080"},
        {u"2.0.1.1067", {1366, 768}, 683, 192, -1, true, "1366x768"},
        {u"2.0.1.1068", {1920, 1080}, 0, 0, 1, false, ""},
        {u"3.0.1.1004", {1920, 1080}, 0, 0, 1, false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(sessionfake::Narrow(c.version));
        FakeHost h;
        CRemoteScreen s;
        CTavrelSession up(h, s);
        h.session = &up;
        h.pad = c.pad;
        ASSERT_TRUE(up.Begin());
        up.OnPacket(SessionLinkId::Relay, CPacket(u"[UR00001]0,ok"));
        up.OnPacket(SessionLinkId::Relay, CPacket(u"[UR00002]a,b,c,d,10.0.0.7,7000,g"));
        up.OnPacket(SessionLinkId::Lectern, CPacket(u"[MV00094]" + c.version));
        up.OnPacket(SessionLinkId::Lectern, CPacket(u"[MV00007]"));
        h.lectern.sent.clear();
        up.OnPacket(SessionLinkId::Lectern, CPacket(u"[RH00001]2560,1440,1"));
        EXPECT_TRUE(h.lectern.sent.empty()) << "three fields are no report";
        up.OnPacket(SessionLinkId::Lectern, CPacket(u"[RH00001]2560,1440"));
        EXPECT_EQ(s.m_nScreenWidth, 2560);
        EXPECT_EQ(s.m_nScreenHeight, 1440);
        EXPECT_EQ(s.m_nTileWidth, c.tileWidth);
        EXPECT_EQ(s.m_nTileHeight, c.tileHeight);
        EXPECT_EQ(s.m_nMonitor, c.monitor);
        EXPECT_EQ(h.shownButtons.count(tavrel::kIdMonitor) == 1, c.hidesMonitorButton);
        EXPECT_EQ(h.frames.empty() ? "" : h.frames.back(), c.frame);
        const std::string padSize =
            "[RC00010]" + std::to_string(c.pad.width) + "," + std::to_string(c.pad.height);
        EXPECT_EQ(h.lectern.sent,
                  (std::vector<std::string>{padSize, "[RC00023]" + std::to_string(c.monitor)}));
    }
}

TEST_F(SessionTest, MonitorsReportShowsTheButtonForSeveralMonitors) {
    const struct {
        std::u16string version;
        std::u16string report;
        bool valid;
        bool buttonShown;
        std::string frame;
    } cases[] = {
        {u"3.0.1.1004", u"2,2,1920,0,3840,1080", true, true, "1920x1080"},
        {u"3.0.1.1004", u"1,1,0,0,1920,1080", true, false, "1920x1080"},
        {u"2.0.1.1067", u"2,2,1920,0,3840,1080", true, false, "1920x1080"},
        {u"3.0.1.1004", u"\"2\",\"1\",0,0,0,1080", true, true, ""},          // no area: no frame
        {u"3.0.1.1004", u"2,1,0,0,20000,1080", true, true, ""},              // beyond any monitor
        {u"3.0.1.1004", u"2,1,-2147483648,0,2147483647,1", true, true, ""},  // overflowing
        {u"3.0.1.1004", u"2,1,0,0,1920", false, false, ""},                  // five fields
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(sessionfake::Narrow(c.report));
        FakeHost h;
        CRemoteScreen s;
        CTavrelSession up(h, s);
        h.session = &up;
        ASSERT_TRUE(up.Begin());
        up.OnPacket(SessionLinkId::Relay, CPacket(u"[UR00001]0,ok"));
        up.OnPacket(SessionLinkId::Relay, CPacket(u"[UR00002]a,b,c,d,10.0.0.7,7000,g"));
        up.OnPacket(SessionLinkId::Lectern, CPacket(u"[MV00094]" + c.version));
        up.OnPacket(SessionLinkId::Lectern, CPacket(u"[RH00009]" + c.report));
        EXPECT_EQ(h.monitorViews.size(), c.valid ? 1u : 0u);
        if (!c.valid) continue;
        EXPECT_EQ(h.shownButtons.at(tavrel::kIdMonitor), c.buttonShown);
        EXPECT_EQ(h.frames.empty() ? "" : h.frames.back(), c.frame);
        EXPECT_EQ(h.monitorViews.back(), s.m_nMonitor);
    }
}

TEST_F(SessionTest, ReportsReachTheRecordAndTheButtons) {
    Up();
    const long long before = screen.m_dtLastRecv;
    host.Advance(5000);
    Lectern(u"[RH10002]");
    EXPECT_EQ(screen.m_dtLastRecv, before + 5);
    Lectern(u"[RH00007]\"256\",\"128\",x");
    Lectern(u"[RH00010]0,-1920,-40,3840,1080");
    Lectern(u"[RH00003]1");
    Lectern(u"[RH00004]2");
    Lectern(u"[RH00002]42");
    Lectern(u"[RH0000");  // too short: no command
    Lectern(u"[ZZ99999]1");
    EXPECT_EQ(screen.m_nTileWidth, 256);
    EXPECT_EQ(screen.m_nTileHeight, 128);
    EXPECT_EQ(screen.m_nOriginX, -1920);
    EXPECT_EQ(screen.m_nOriginY, -40);
    EXPECT_TRUE(host.checks.at(tavrel::kIdStudentTouch));
    EXPECT_FALSE(host.checks.at(tavrel::kIdBroadcast)) << "only 1 means on";
    EXPECT_EQ(session.ScreenUpWindow().LastAcknowledged(), 42u);
    EXPECT_FALSE(session.ScreenUpWindow().Blocked());
    EXPECT_EQ(screen.m_strPeerVersion, u"3.0.1.1004");
    EXPECT_TRUE(host.messages.empty());
}

class RecordingSender : public IPacketSender {
  public:
    bool IsOpen() const override { return open; }
    bool Send(const CPacket& packet) override {
        sent.push_back(sessionfake::Narrow(packet.m_strText));
        return true;
    }
    bool open = true;
    std::vector<std::string> sent;
};

TEST_F(SessionTest, PanelCommandsGoThroughRemoteControlWhileItHoldsTheConnection) {
    Up();
    host.lectern.sent.clear();
    RecordingSender remote;
    session.SetRemoteSender(&remote);
    host.lectern.open = false;  // lent to the remote session
    session.SendPanelCommand(u"[RC00013]on");
    session.SendCommand(u"[RC00003]");
    EXPECT_EQ(remote.sent, std::vector<std::string>{"[RC00013]on"});
    EXPECT_TRUE(host.lectern.sent.empty()) << "sent on a lent connection";
    remote.open = false;
    session.SendPanelCommand(u"[RC00012]on");
    EXPECT_EQ(remote.sent.size(), 1u);

    session.SetRemoteSender(nullptr);
    host.lectern.open = true;  // handed back
    session.SendPanelCommand(u"[RC00012]off");
    EXPECT_EQ(host.lectern.sent, std::vector<std::string>{"[RC00012]off"});
}

// A send that loses the connection reports it through the queue; the handler that sent
// finishes its answers first, and the posted notice then ends the session.
TEST_F(SessionTest, SendThatLosesTheConnectionPostsTheEnding) {
    Up();
    host.lectern.loseOnSend = true;
    Lectern(u"[RH00001]1920,1080");
    EXPECT_EQ(host.lostPosts, 1);
    EXPECT_TRUE(host.messages.empty());
    session.OnRemoteConnectionLost();
    EXPECT_EQ(host.messages, std::vector<std::string>{"T229"});
    EXPECT_EQ(host.quits, 1);
}

}  // namespace

// Screen-up frames pass the acknowledgement window, then the sending rule; the capture
// learns which of them were really written.
TEST_F(SessionTest, ScreenUpFramesPassTheWindowThenTheSendingRule) {
    auto frame = [](int32_t number) {
        const uint8_t data[4] = {1, 2, 3, 4};
        return CPacket(4, data, 100, number);
    };
    // Before the lectern PC has spoken nothing is written, though the window counts it.
    ASSERT_TRUE(session.Begin());
    EXPECT_FALSE(session.SendScreenUpFrame(frame(0)));
    EXPECT_EQ(session.ScreenUpWindow().LastSent(), 1u);

    session.ResetScreenUpWindow();
    Relay(u"[UR00001]0,ok");
    Relay(u"[UR00002]a,b,c,d,10.0.0.7,7000,g");
    Lectern(u"[MV00094]3.0.1.1004");
    Lectern(u"[MV00007]");
    const size_t before = host.lectern.sent.size();
    std::vector<int32_t> written;
    for (int32_t n = 0; n < 40; ++n)
        if (session.SendScreenUpFrame(frame(n))) written.push_back(n);
    EXPECT_EQ(written, (std::vector<int32_t>{0, 1, 2, 3, 34}));
    EXPECT_EQ(host.lectern.sent.size() - before, written.size());

    // An acknowledgement, even of an older frame, opens the window again.
    Lectern(u"[RH00002]2");
    EXPECT_TRUE(session.SendScreenUpFrame(frame(40)));

    // A connection lost on the write is not a frame sent.
    host.lectern.loseOnSend = true;
    Lectern(u"[RH00002]40");
    EXPECT_FALSE(session.SendScreenUpFrame(frame(41)));
}
