#include "LecternFixture.h"

namespace {

std::vector<std::u16string> Listed(const std::optional<std::u16string>& args) {
    return args ? ListArguments(*args) : std::vector<std::u16string>{u"<none>"};
}

TEST_F(LecternFixture, ScreenDescriptionPerVersionAndMonitors) {
    struct Case {
        std::u16string version;
        int monitors;
        std::u16string screen;        // arguments of "[RH00001]"
        bool describesMonitors;       // "[RH00007]", "[RH00009]", "[RH00010]" follow
        std::u16string monitorsArgs;  // of "[RH00009]"
        std::u16string originArgs;    // of "[RH00010]"
    } cases[] = {
        {u"2.0.1.1027", 1, u"1920,1080", false, u"", u""},
        {u"2.0.1.1067", 2, u"3200,1080", false, u"", u""},
        {u"2.0.1.1068", 1, u"1920,1080", true, u"1,1,0,0,1920,1080", u"1,0,0,1920,1080"},
        {u"3.0.1.1004", 2, u"3200,1080", true, u"2,1,0,0,1920,1080", u"2,-1280,0,3200,1080"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.version.begin(), c.version.end()));
        LecternOptions o;
        o.version = c.version;
        o.monitorCount = c.monitors;
        o.heartbeatMs = 0;
        Start(o);
        Greet(c.version);
        CPacket p;
        ASSERT_EQ(pad->Read(p, kLongWait), CPadClient::ReadResult::kPacket);
        EXPECT_EQ(p.m_strText, kCmdScreenSize + c.screen);
        if (!c.describesMonitors) {
            EXPECT_TRUE(pad->StaysSilent(kQuietPeriod));
            continue;
        }
        std::u16string expected[] = {std::u16string(kCmdTileSize) + u"120,135",
                                     kCmdMonitors + c.monitorsArgs,
                                     kCmdScreenOrigin + c.originArgs};
        for (const auto& e : expected) {
            ASSERT_EQ(pad->Read(p, kLongWait), CPadClient::ReadResult::kPacket);
            EXPECT_EQ(p.m_strText, e);
        }
        EXPECT_TRUE(classroom->Log()
                        .WaitFor(CEventLog::KindWith("check", "what", "greeting_answer"), kLongWait)
                        .value_or(SimEvent())
                        .Text("ok") == "true");
        EXPECT_EQ(classroom->Recorded().padVersion, kOwnVersion);
    }
}

TEST_F(LecternFixture, MonitorSelectionRedescribesTheChosenMonitor) {
    LecternOptions o;
    o.monitorCount = 2;
    o.heartbeatMs = 0;
    Start(o);
    Greet();
    ASSERT_TRUE(pad->ReadCommand(kCmdScreenOrigin, kLongWait).has_value());
    struct Step {
        const char16_t* request;
        std::u16string tiles;
        std::u16string monitors;
    } steps[] = {
        {u"2", u"160,128", u"2,2,-1280,0,0,1024"},
        {u"1", u"120,135", u"2,1,0,0,1920,1080"},
        {u"5", u"120,135", u"2,1,0,0,1920,1080"},  // out of range: the primary
        {u"-1", u"120,135", u"2,1,0,0,1920,1080"},
    };
    for (const Step& s : steps) {
        ASSERT_TRUE(pad->Send(kCmdSelectMonitor + std::u16string(s.request)));
        EXPECT_EQ(pad->ReadCommand(kCmdTileSize, kLongWait).value_or(u"none"), s.tiles);
        EXPECT_EQ(pad->ReadCommand(kCmdMonitors, kLongWait).value_or(u"none"), s.monitors);
    }
}

// The codes of the text commands that come until one with the given code, included.
std::vector<std::u16string> CodesUntil(CPadClient& pad, const std::u16string& last) {
    std::vector<std::u16string> codes;
    CPacket p;
    while (pad.Read(p, kLongWait) == CPadClient::ReadResult::kPacket) {
        if (p.m_nType != kPacketText) continue;
        codes.push_back(p.m_strText.substr(0, kCommandCodeLength));
        if (codes.back() == last) break;
    }
    return codes;
}

TEST_F(LecternFixture, TileSizeIsLeftOutOfEveryDescriptionWhenAsked) {
    for (bool omit : {false, true}) {
        SCOPED_TRACE(omit ? "omitted" : "sent");
        LecternOptions o;
        o.heartbeatMs = 0;
        o.omitTileSize = omit;
        Start(o);
        Greet();
        std::vector<std::u16string> expected{kCmdScreenSize, kCmdTileSize, kCmdMonitors,
                                             kCmdScreenOrigin};
        if (omit) expected.erase(expected.begin() + 1);
        EXPECT_EQ(expected, CodesUntil(*pad, kCmdScreenOrigin));
        ASSERT_TRUE(pad->Send(kCmdSelectMonitor + std::u16string(u"1")));
        expected.erase(expected.begin());  // a new monitor does not change the screen size
        EXPECT_EQ(expected, CodesUntil(*pad, kCmdScreenOrigin));
        // Frames still come, on the grid the pad would work out for itself.
        ASSERT_TRUE(pad->Send(kCmdRemoteStart));
        EXPECT_TRUE(pad->ReadType(kPacketFrame, kLongWait).has_value());
    }
}

TEST_F(LecternFixture, RemoteEndIsAnsweredWithTheStateOnlyWhenAsked) {
    for (bool reply : {false, true}) {
        SCOPED_TRACE(reply ? "reply" : "no reply");
        LecternOptions o;
        o.heartbeatMs = 0;
        o.replyToRemoteEnd = reply;
        Start(o);
        Greet();
        ASSERT_TRUE(pad->ReadCommand(kCmdScreenOrigin, kLongWait).has_value());
        ASSERT_TRUE(pad->Send(kCmdRemoteStart));
        ASSERT_TRUE(pad->ReadType(kPacketFrame, kLongWait).has_value());
        ASSERT_TRUE(pad->Send(kCmdRemoteEnd));
        // Whatever follows, up to a quiet period: frames still in the socket, the answer.
        std::vector<std::u16string> texts;
        bool frameAfterAnswer = false;
        CPacket p;
        while (pad->Read(p, kQuietPeriod) == CPadClient::ReadResult::kPacket) {
            if (p.m_nType == kPacketText) texts.push_back(p.m_strText);
            if (p.m_nType == kPacketFrame && !texts.empty()) frameAfterAnswer = true;
        }
        std::vector<std::u16string> expected;
        if (reply) expected.push_back(std::u16string(kCmdBroadcastState) + u"1");
        EXPECT_EQ(expected, texts);
        EXPECT_FALSE(frameAfterAnswer) << "the answer comes once the stream has stopped";
    }
}

TEST_F(LecternFixture, TouchAndBroadcastAreReportedOnlyByLaterVersions) {
    struct Case {
        std::u16string version;
        const char16_t* code;
        const char16_t* arg;
        const char16_t* answer;  // null: no report
        std::u16string value;
    } cases[] = {
        {u"2.0.1.1027", kCmdStudentTouch, kArgOn, nullptr, u""},
        {u"2.0.1.1027", kCmdBroadcast, kArgOn, nullptr, u""},
        {u"2.0.1.1028", kCmdStudentTouch, kArgOn, kCmdTouchState, u"1"},
        {u"2.0.1.1067", kCmdBroadcast, kArgOn, kCmdBroadcastState, u"1"},
        {u"3.0.1.1004", kCmdStudentTouch, kArgOff, kCmdTouchState, u"0"},
        {u"3.0.1.1004", kCmdBroadcast, kArgOff, kCmdBroadcastState, u"0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.version.begin(), c.version.end()));
        LecternOptions o;
        o.version = c.version;
        o.heartbeatMs = 0;
        o.initialTouch = o.initialBroadcast = std::u16string(c.arg) == kArgOff;
        Start(o);
        Greet(c.version);
        ASSERT_TRUE(pad->Send(c.code + std::u16string(c.arg)));
        if (c.answer) {
            EXPECT_EQ(pad->ReadCommand(c.answer, kLongWait).value_or(u"none"), c.value);
        } else {
            ASSERT_TRUE(Received(c.code));
            CPacket p;
            while (pad->Read(p, kQuietPeriod) == CPadClient::ReadResult::kPacket) {
                std::u16string code = p.m_strText.substr(0, kCommandCodeLength);
                EXPECT_NE(code, kCmdTouchState);
                EXPECT_NE(code, kCmdBroadcastState);
            }
        }
        ASSERT_TRUE(Received(c.code));
        LecternRecord r = classroom->Recorded();
        bool on = std::u16string(c.arg) == kArgOn;
        EXPECT_EQ(std::u16string(c.code) == kCmdStudentTouch ? r.touch : r.broadcast, on);
    }
}

TEST_F(LecternFixture, HeartbeatsFlowAndKeepAlivesAreCounted) {
    LecternOptions o;
    o.heartbeatMs = 20;
    Start(o);
    Greet();
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(pad->ReadCommand(kCmdHeartbeat, kLongWait));
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(pad->Send(kCmdKeepAlive));
    ASSERT_TRUE(Received(kCmdKeepAlive, 3));
    EXPECT_EQ(classroom->Recorded().keepAlives, 3);
}

TEST_F(LecternFixture, EndSessionSendsMessageInTheAskedShape) {
    struct Case {
        int fields;
        size_t listed;
    } cases[] = {{2, 2}, {3, 3}, {1, 1}};
    for (const Case& c : cases) {
        LecternOptions o;
        o.heartbeatMs = 0;
        Start(o);
        Greet();
        ASSERT_TRUE(Received(kCmdOwnVersion));
        EXPECT_EQ(classroom->Lectern().EndSessions(u"수업이 끝났습니다", c.fields), 1);
        auto fields = Listed(pad->ReadCommand(kCmdPeerEnd, kLongWait));
        ASSERT_EQ(fields.size(), c.listed);
        EXPECT_EQ(fields.back(), u"수업이 끝났습니다");
    }
}

TEST_F(LecternFixture, ClosingSessionsEndsThePadsConnection) {
    LecternOptions o;
    o.heartbeatMs = 0;
    Start(o);
    Greet();
    ASSERT_TRUE(Received(kCmdOwnVersion));
    classroom->Lectern().CloseSessions();
    EXPECT_TRUE(pad->ReadUntilClosed(kLongWait));
    EXPECT_TRUE(
        classroom->Log().WaitFor(CEventLog::KindWith("conn_close", "role", "lectern"), kLongWait));
}

TEST_F(LecternFixture, KeyMouseTextAndSoundAreRecorded) {
    LecternOptions o;
    o.heartbeatMs = 0;
    Start(o);
    Greet();
    std::vector<KeyEventRecord> keys{
        {0x100, 65, 1, 0}, {0x101, 65, 1, 0xC0000001}, {0x100, 13, 1, 0}};
    std::vector<MouseEventRecord> mouse{{0x201, 1, -5, 700, 0}, {0x20A, 0, 10, 20, -120}};
    const auto sentKeys = keys;
    const auto sentMouse = mouse;
    ASSERT_TRUE(pad->Send(CPacket(keys)));
    ASSERT_TRUE(pad->Send(CPacket(mouse)));
    ASSERT_TRUE(pad->Send(std::u16string(kCmdTypedChar) + u"54620"));
    ASSERT_TRUE(pad->Send(kCmdInputModeToggle));
    std::vector<uint8_t> pcm(100, 7);
    auto sound = [&] { return pad->Send(CPacket(uint32_t(pcm.size()), pcm.data(), 100)); };
    ASSERT_TRUE(sound());  // before start: not played
    ASSERT_TRUE(pad->Send(std::u16string(kCmdSoundUp) + kArgStart));
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(sound());
    ASSERT_TRUE(pad->Send(std::u16string(kCmdSoundUp) + kArgStop));
    ASSERT_TRUE(sound());
    ASSERT_TRUE(
        classroom->Log().WaitForCount(CEventLog::KindWith("recv", "type", "11"), 5, kLongWait));
    LecternRecord r = classroom->Recorded();
    EXPECT_EQ(r.keys, sentKeys);
    EXPECT_EQ(r.mouse, sentMouse);
    EXPECT_EQ(r.typedChars, std::vector<int>{54620});
    EXPECT_EQ(r.inputModeToggles, 1);
    EXPECT_EQ(r.soundPackets, 3);
    EXPECT_EQ(r.soundBytes, 300u);
    EXPECT_EQ(r.soundOutside, 2);
    EXPECT_FALSE(r.soundOn);
    // Only the chunks played are summarised: bytes, peak (0x0707) and no pitch in a
    // constant signal.
    EXPECT_EQ(classroom->Log().Count([](const SimEvent& e) {
        return e.kind == "sound" && e.Int("bytes") == 100 && e.Int("peak") == 0x0707 &&
               e.Int("hz") == 0;
    }),
              3u);

    // Each record is an event of its own, with every field.
    auto fieldsOf = [this](const char* kind, std::initializer_list<const char*> keys) {
        std::vector<std::vector<int64_t>> rows;
        for (const SimEvent& e : classroom->Log().Events()) {
            if (e.kind != kind) continue;
            EXPECT_EQ("lectern", e.Text("role"));
            rows.emplace_back();
            for (const char* k : keys) rows.back().push_back(e.Has(k) ? e.Int(k) : INT64_MIN);
        }
        return rows;
    };
    std::vector<std::vector<int64_t>> keyRows, mouseRows;
    for (const auto& k : sentKeys) keyRows.push_back({k.message, k.key, k.repeat, k.flags});
    for (const auto& m : sentMouse) mouseRows.push_back({m.message, m.flags, m.x, m.y, m.wheel});
    EXPECT_EQ(keyRows, fieldsOf("key", {"message", "key", "repeat", "flags"}));
    EXPECT_EQ(mouseRows, fieldsOf("mouse", {"message", "flags", "x", "y", "wheel"}));
    EXPECT_EQ(std::vector<std::vector<int64_t>>{{54620}}, fieldsOf("typed_char", {"code"}));
    EXPECT_EQ(1u, fieldsOf("input_mode_toggle", {}).size());
}

}  // namespace
