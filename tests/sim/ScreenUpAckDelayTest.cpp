// Late screen-up acknowledgements: each one no earlier than the chosen delay after its
// frame, in order, with reception going on meanwhile.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "DelayedSender.h"
#include "LecternFixture.h"
#include "ScreenUpFrames.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using namespace screenup_frames;

// What a sender was given to send, and when.
struct Recorder {
    std::mutex mutex;
    std::vector<std::pair<Clock::time_point, std::u16string>> sent;
    std::atomic<bool> fail{false};
    std::atomic<size_t> attempts{0};

    CDelayedSender::SendText Sink() {
        return [this](const std::u16string& text) {
            ++attempts;
            std::lock_guard<std::mutex> lock(mutex);
            if (fail) return false;
            sent.emplace_back(Clock::now(), text);
            return true;
        };
    }
    size_t Count() {
        std::lock_guard<std::mutex> lock(mutex);
        return sent.size();
    }
    // Polls: the sender reports through this sink only.
    template <typename Done>
    static bool WaitUntil(Done done) {
        const auto end = Clock::now() + kLongWait;
        while (Clock::now() < end) {
            if (done()) return true;
            std::this_thread::sleep_for(milliseconds(2));
        }
        return false;
    }
    bool WaitForCount(size_t count) {
        return WaitUntil([&] { return Count() >= count; });
    }
    bool WaitForAttempts(size_t count) {
        return WaitUntil([&] { return attempts.load() >= count; });
    }
};

TEST(DelayedSender, SendsAtTheDueTimeInPostedOrder) {
    Recorder r;
    CDelayedSender sender(r.Sink());
    const Clock::time_point start = Clock::now();
    sender.Post(start + milliseconds(150), u"a");
    // Due earlier, posted later: it still waits for the one before it.
    sender.Post(start + milliseconds(20), u"b");
    sender.Post(start + milliseconds(200), u"c");
    ASSERT_TRUE(r.WaitForCount(3));
    sender.Stop();
    ASSERT_EQ(3u, r.sent.size());
    EXPECT_EQ(u"a", r.sent[0].second);
    EXPECT_EQ(u"b", r.sent[1].second);
    EXPECT_EQ(u"c", r.sent[2].second);
    EXPECT_GE(r.sent[0].first - start, milliseconds(150));
    EXPECT_GE(r.sent[1].first, r.sent[0].first);
    EXPECT_GE(r.sent[2].first - start, milliseconds(200));
    EXPECT_EQ(3u, sender.Sent());
    EXPECT_EQ(1, sender.ThreadsStarted());
}

TEST(DelayedSender, StopDropsWhatIsPendingAndReturnsAtOnce) {
    Recorder r;
    CDelayedSender sender(r.Sink());
    EXPECT_EQ(0, sender.ThreadsStarted()) << "no thread before the first post";
    sender.Post(Clock::now() + std::chrono::hours(1), u"never");
    const Clock::time_point stop = Clock::now();
    sender.Stop();
    EXPECT_LT(Clock::now() - stop, kLongWait);
    sender.Post(Clock::now(), u"after stop");
    EXPECT_EQ(0u, r.Count());
    EXPECT_EQ(1, sender.ThreadsStarted());
}

TEST(DelayedSender, AFailedSendDropsTheRest) {
    Recorder r;
    r.fail = true;
    CDelayedSender sender(r.Sink());
    const Clock::time_point start = Clock::now();
    sender.Post(start, u"x");
    sender.Post(start + milliseconds(100), u"y");
    ASSERT_TRUE(r.WaitForAttempts(1));
    // "y" would be due well within the quiet period; the connection is gone, so it is
    // not even tried, nor is anything posted later.
    r.fail = false;
    sender.Post(Clock::now(), u"z");
    std::this_thread::sleep_for(kQuietPeriod);
    EXPECT_EQ(1u, r.attempts.load());
    EXPECT_EQ(0u, r.Count());
    EXPECT_EQ(0u, sender.Sent());
    sender.Stop();
}

// Small frames of a 64 x 48 screen, one tile each.
std::vector<CPacket> SmallFrames(int count) {
    const TileGrid grid = TileGrid::ForScreen(64, 48);
    CSyntheticDesktop desktop(64, 48);
    CFrameEncoder encoder(FrameEncoderOptions{70, 1, 0, 0});
    std::vector<CPacket> frames;
    for (int n = 0; n < count; ++n) frames.push_back(EncodeTiles(encoder, desktop, grid, {0}));
    return frames;
}

TEST_F(LecternFixture, ScreenUpAcknowledgementsComeAfterTheDelayInOrder) {
    struct Case {
        int every;
        int delayMs;
        std::vector<int32_t> acknowledged;  // of frames 0..4
    };
    const Case cases[] = {{1, 500, {0, 1, 2, 3, 4}}, {2, 300, {1, 3}}, {1, 0, {0, 1, 2, 3, 4}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "every " << c.every << ", delay " << c.delayMs);
        LecternOptions lectern;
        lectern.heartbeatMs = 0;
        lectern.screenUpAckEvery = c.every;
        lectern.screenUpAckDelayMs = c.delayMs;
        Start(lectern);
        Greet();
        ASSERT_TRUE(pad->Send(std::u16string(kCmdScreenUpParams) + u"64,48,full,resize"));
        ASSERT_TRUE(pad->Send(std::u16string(kCmdScreenUp) + kArgStart));
        const std::vector<CPacket> frames = SmallFrames(5);
        std::vector<Clock::time_point> sentAt;
        for (const CPacket& f : frames) {
            sentAt.push_back(Clock::now());
            ASSERT_TRUE(pad->Send(f));
        }
        std::vector<int32_t> acks;
        while (acks.size() < c.acknowledged.size()) {
            auto ack = pad->ReadCommand(kCmdScreenUpAck, kLongWait);
            ASSERT_TRUE(ack.has_value()) << "after " << acks.size() << " acknowledgements";
            const Clock::time_point at = Clock::now();
            const int32_t frame = DecimalPrefix(*ack);
            ASSERT_GE(frame, 0);
            ASSERT_LT(size_t(frame), sentAt.size());
            EXPECT_GE(at - sentAt[size_t(frame)], milliseconds(c.delayMs)) << "frame " << frame;
            acks.push_back(frame);
        }
        EXPECT_EQ(c.acknowledged, acks);
        EXPECT_TRUE(pad->StaysSilent(kQuietPeriod)) << "no more acknowledgements";
        if (c.delayMs == 0) continue;
        // Reception went on while the acknowledgements waited: every frame was read
        // before the first of them went out.
        uint64_t lastFrameRead = 0, firstAckSent = 0;
        for (const SimEvent& e : classroom->Log().Events()) {
            if (e.kind == "recv" && e.Int("type") == kPacketFrame) lastFrameRead = e.seq;
            if (e.kind == "send" && e.Text("code") == "[RH00002]" && firstAckSent == 0)
                firstAckSent = e.seq;
        }
        EXPECT_NE(0u, lastFrameRead);
        EXPECT_LT(lastFrameRead, firstAckSent);
    }
}

// Closing the connection while acknowledgements wait ends the session at once.
TEST_F(LecternFixture, PendingAcknowledgementsDoNotHoldUpTheClose) {
    LecternOptions lectern;
    lectern.heartbeatMs = 0;
    lectern.screenUpAckDelayMs = 60 * 60 * 1000;
    Start(lectern);
    Greet();
    ASSERT_TRUE(pad->Send(std::u16string(kCmdScreenUpParams) + u"64,48,full,resize"));
    ASSERT_TRUE(pad->Send(std::u16string(kCmdScreenUp) + kArgStart));
    for (const CPacket& f : SmallFrames(3)) ASSERT_TRUE(pad->Send(f));
    ASSERT_TRUE(classroom->Log().WaitForCount(CEventLog::Kind("screenup_decoded"), 3, kLongWait));
    pad->Close();
    EXPECT_TRUE(classroom->Log().WaitFor(CEventLog::Kind("conn_close"), kLongWait).has_value());
    EXPECT_EQ(0u, classroom->Log().Count(CEventLog::KindWith("send", "code", "[RH00002]")));
}

}  // namespace
