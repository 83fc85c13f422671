#include "FramePacket.h"
#include "LecternFixture.h"
#include "remote/FrameBlock.h"
#include "media/FrameEncoder.h"
#include "remote/TileGrid.h"

namespace {

enum class Seen { kSilence, kReadFails, kLyingBlock };

// Every deliberate fault, as the pad experiences it right after the greeting or when
// remote control starts.
TEST_F(LecternFixture, EveryMisbehaviourDoesWhatItSays) {
    struct Case {
        const char* name;
        LecternMisbehaviour what;
        MisbehaviourTrigger when;
        Seen seen;
    } cases[] = {
        {"no greeting", LecternMisbehaviour::kNoGreeting, MisbehaviourTrigger::kAfterGreeting,
         Seen::kSilence},
        {"silent", LecternMisbehaviour::kSilentAfterGreeting, MisbehaviourTrigger::kAfterGreeting,
         Seen::kSilence},
        {"close mid frame", LecternMisbehaviour::kCloseMidFrame,
         MisbehaviourTrigger::kAfterGreeting, Seen::kReadFails},
        {"bad check byte", LecternMisbehaviour::kBadCheckByte, MisbehaviourTrigger::kAfterGreeting,
         Seen::kReadFails},
        {"type 6", LecternMisbehaviour::kType6Frame, MisbehaviourTrigger::kAfterGreeting,
         Seen::kReadFails},
        {"oversize", LecternMisbehaviour::kOversizeLength, MisbehaviourTrigger::kAfterGreeting,
         Seen::kReadFails},
        {"lying block", LecternMisbehaviour::kLyingFrameBlock, MisbehaviourTrigger::kAfterGreeting,
         Seen::kLyingBlock},
        {"bad check byte on remote", LecternMisbehaviour::kBadCheckByte,
         MisbehaviourTrigger::kOnRemoteStart, Seen::kReadFails},
        {"lying block on remote", LecternMisbehaviour::kLyingFrameBlock,
         MisbehaviourTrigger::kOnRemoteStart, Seen::kLyingBlock},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LecternOptions o;
        o.heartbeatMs = 10;  // would break any silence
        o.misbehaviour = c.what;
        o.trigger = c.when;
        Start(o);
        ASSERT_TRUE(pad->ReadCommand(kCmdPeerVersion, kLongWait).has_value());
        if (c.what == LecternMisbehaviour::kNoGreeting) {
            EXPECT_TRUE(pad->StaysSilent(kQuietPeriod));
            continue;
        }
        ASSERT_TRUE(pad->ReadCommand(kCmdPeerGreeting, kLongWait).has_value());
        if (c.when == MisbehaviourTrigger::kOnRemoteStart) {
            ASSERT_TRUE(pad->Send(std::u16string(kCmdOwnVersion) + kOwnVersion));
            // The session works normally until remote control starts.
            ASSERT_TRUE(pad->ReadCommand(kCmdScreenOrigin, kLongWait).has_value());
            ASSERT_TRUE(pad->Send(kCmdRemoteStart));
        }
        if (c.seen == Seen::kSilence) {
            ASSERT_TRUE(pad->Send(std::u16string(kCmdOwnVersion) + kOwnVersion));
            ASSERT_TRUE(pad->Send(std::u16string(kCmdStudentTouch) + kArgOn));
            EXPECT_TRUE(pad->StaysSilent(kQuietPeriod));
        } else if (c.seen == Seen::kReadFails) {
            EXPECT_TRUE(pad->ReadUntilClosed(kLongWait));
        } else {
            auto frame = pad->ReadType(kPacketFrame, kLongWait);
            ASSERT_TRUE(frame.has_value());
            std::vector<uint8_t> block;
            ASSERT_TRUE(InflateFramePacket(*frame, block));
            FrameBlockView view;
            EXPECT_FALSE(ParseFrameBlock(block.data(), block.size(), view));
        }
        EXPECT_TRUE(classroom->Log().WaitFor(CEventLog::Kind("misbehave"), kLongWait));
    }
}

// The remote-control stream: numbered frame packets of well-formed blocks, held back
// when the pad does not acknowledge them, resumed when it does, stopped by "[RC00005]".
TEST_F(LecternFixture, RemoteFramesArePacedByAcknowledgements) {
    LecternOptions lectern;
    lectern.heartbeatMs = 0;
    ClassroomOptions o = Options(lectern);
    o.media.maxInFlight = 2;
    Start(o);
    Greet();
    ASSERT_TRUE(pad->ReadCommand(kCmdScreenOrigin, kLongWait).has_value());
    ASSERT_TRUE(pad->Send(kCmdRemoteStart));
    TileGrid grid = TileGrid::ForScreen(1920, 1080);
    std::vector<int32_t> numbers;
    for (int i = 0; i < 2; ++i) {
        auto frame = pad->ReadType(kPacketFrame, kLongWait);
        ASSERT_TRUE(frame.has_value());
        numbers.push_back(frame->m_nFrameNumber);
        std::vector<uint8_t> block;
        ASSERT_TRUE(InflateFramePacket(*frame, block));
        FrameBlockView view;
        ASSERT_TRUE(ParseFrameBlock(block.data(), block.size(), view));
        EXPECT_GT(view.imageLength, 0u);
        for (int32_t index : view.indices) EXPECT_LT(index, grid.Count());
        if (i == 0) {
            EXPECT_EQ(view.indices.size(), size_t(grid.Count()));  // all tiles first
        }
    }
    EXPECT_EQ(numbers[1], numbers[0] + 1);
    EXPECT_TRUE(pad->StaysSilent(kQuietPeriod));  // two in flight: the stream waits
    ASSERT_TRUE(pad->Send(kCmdFrameAck + DecimalText(numbers[1])));
    auto next = pad->ReadType(kPacketFrame, kLongWait);
    ASSERT_TRUE(next.has_value());
    EXPECT_EQ(next->m_nFrameNumber, numbers[1] + 1);
    ASSERT_TRUE(pad->Send(kCmdRemoteEnd));
    EXPECT_TRUE(classroom->Log().WaitFor(CEventLog::Kind("stream_stop"), kLongWait));
    EXPECT_FALSE(classroom->Recorded().remoteOn);
}

// Screen up: the pad's frames are decoded into a picture and each acknowledged.
TEST_F(LecternFixture, ScreenUpFramesAreDecodedAndAcknowledged) {
    LecternOptions lectern;
    lectern.heartbeatMs = 0;
    Start(lectern);
    Greet();
    constexpr int kW = 160, kH = 120;
    ASSERT_TRUE(pad->Send(std::u16string(kCmdScreenUpParams) + u"160,120,full,resize"));
    ASSERT_TRUE(pad->Send(std::u16string(kCmdScreenUp) + kArgStart));
    std::vector<uint8_t> rgb(size_t(kW) * kH * 3);
    for (size_t i = 0; i < rgb.size(); i += 3) rgb[i] = 200, rgb[i + 1] = 40, rgb[i + 2] = 90;
    TileGrid grid = TileGrid::ForScreen(kW, kH);
    std::vector<int32_t> tiles;
    for (int32_t t = 0; t < grid.Count(); ++t) tiles.push_back(t);
    CFrameEncoder encoder;
    CPacket frame;
    ASSERT_TRUE(encoder.EncodeFrame(rgb.data(), kW, kH, size_t(kW) * 3, grid, tiles, frame));
    ASSERT_TRUE(pad->Send(frame));
    EXPECT_EQ(pad->ReadCommand(kCmdScreenUpAck, kLongWait).value_or(u"none"),
              DecimalText(frame.m_nFrameNumber));
    auto decoded = classroom->Log().WaitFor(CEventLog::Kind("screenup_decoded"), kLongWait);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->Text("result"), "ok");
    std::vector<uint8_t> picture = classroom->Media()->ScreenUp().Picture();
    ASSERT_EQ(picture.size(), rgb.size());
    constexpr int kJpegTolerance = 12;
    for (size_t i = 0; i < picture.size(); ++i)
        ASSERT_NEAR(picture[i], rgb[i], kJpegTolerance) << "byte " << i;
    // After "stop" frames are neither decoded nor acknowledged.
    ASSERT_TRUE(pad->Send(std::u16string(kCmdScreenUp) + kArgStop));
    ASSERT_TRUE(pad->Send(frame));
    EXPECT_TRUE(pad->StaysSilent(kQuietPeriod));
    EXPECT_EQ(classroom->Recorded().screenUpFrames, 1);
}

// The acknowledgement schedule a test chooses for screen up: every frame, none, or
// every Nth frame with that frame's number.
TEST_F(LecternFixture, ScreenUpAcknowledgementFollowsTheChosenSchedule) {
    struct Case {
        int every;
        std::vector<int32_t> acknowledged;  // of frames 0..5
    };
    const Case cases[] = {{1, {0, 1, 2, 3, 4, 5}}, {0, {}}, {3, {2, 5}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "every " << c.every);
        LecternOptions lectern;
        lectern.heartbeatMs = 0;
        lectern.screenUpAckEvery = c.every;
        Start(lectern);
        Greet();
        constexpr int kW = 64, kH = 48;
        ASSERT_TRUE(pad->Send(std::u16string(kCmdScreenUpParams) + u"64,48,full,resize"));
        ASSERT_TRUE(pad->Send(std::u16string(kCmdScreenUp) + kArgStart));
        std::vector<uint8_t> rgb(size_t(kW) * kH * 3, 128);
        TileGrid grid = TileGrid::ForScreen(kW, kH);
        CFrameEncoder encoder(FrameEncoderOptions{70, 1, 0, 0});
        for (int n = 0; n < 6; ++n) {
            CPacket frame;
            ASSERT_TRUE(encoder.EncodeFrame(rgb.data(), kW, kH, size_t(kW) * 3, grid, {0}, frame));
            ASSERT_EQ(frame.m_nFrameNumber, n);
            ASSERT_TRUE(pad->Send(frame));
        }
        ASSERT_TRUE(classroom->Log().WaitForCount(
            [](const SimEvent& e) { return e.kind == "recv" && e.Int("type") == kPacketFrame; }, 6,
            kLongWait));
        std::vector<int32_t> acks;
        while (auto ack = pad->ReadCommand(
                   kCmdScreenUpAck, c.acknowledged.size() > acks.size() ? kLongWait : kQuietPeriod))
            acks.push_back(DecimalPrefix(*ack));
        EXPECT_EQ(acks, c.acknowledged);
        EXPECT_EQ(classroom->Recorded().screenUpFrames, 6);
    }
}

}  // namespace
