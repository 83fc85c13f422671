// The screen-up acknowledgement window over long schedules of frames and
// acknowledgements, with what the lectern PC must see sent worked out by hand.
#include "screenup/AckWindow.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

struct Schedule {
    std::string name;
    int32_t firstFrame;
    int frames;
    // "[RH00002]n" arriving just before the frame with this number is handed over.
    std::map<int32_t, int32_t> acksBefore;
    std::vector<int32_t> sent;
};

std::vector<int32_t> SentFrames(const Schedule& s) {
    CAckWindow window;
    window.Reset();
    std::vector<int32_t> sent;
    for (int i = 0; i < s.frames; ++i) {
        const int32_t frame = static_cast<int32_t>(static_cast<uint32_t>(s.firstFrame) + i);
        auto ack = s.acksBefore.find(frame);
        if (ack != s.acksBefore.end()) window.OnAcknowledged(ack->second);
        if (window.Admit(frame)) sent.push_back(frame);
    }
    return sent;
}

std::map<int32_t, int32_t> AckEachPrevious(int frames) {
    std::map<int32_t, int32_t> acks;
    for (int32_t f = 1; f < frames; ++f) acks[f] = f - 1;
    return acks;
}

TEST(ScreenUpAckWindow, Schedules) {
    const std::vector<Schedule> schedules = {
        // Never acknowledged: 0 to 3, then one frame in 31.
        {"no acks", 0, 200, {}, {0, 1, 2, 3, 34, 65, 96, 127, 158, 189}},
        {"every frame acknowledged before the next", 0, 100, AckEachPrevious(100),
         [] {
             std::vector<int32_t> all;
             for (int32_t f = 0; f < 100; ++f) all.push_back(f);
             return all;
         }()},
        // The late acknowledgement of 3 reopens the window, but the dropped frames
        // moved "last sent" on, so only two frames pass before it closes again.
        {"late acknowledgement", 0, 50, {{10, 3}}, {0, 1, 2, 3, 10, 11, 42}},
        // 2 leaves two outstanding; 0, lower than 2, still unblocks for one frame.
        {"lower number unblocks", 0, 13, {{4, 2}, {8, 0}}, {0, 1, 2, 3, 4, 5, 8}},
        // An acknowledgement beyond anything sent counts as outstanding by wrap-around
        // (unsigned): the window closes after one frame.
        {"acknowledgement ahead of the frames", 0, 40, {{0, 100}}, {0, 31}},
        // The marker stores the acknowledged number; -1 is also "not blocked", so the
        // window never closes.
        {"acknowledged -1",
         0,
         40,
         {{0, -1}},
         [] {
             std::vector<int32_t> all;
             for (int32_t f = 0; f < 40; ++f) all.push_back(f);
             return all;
         }()},
        // The counter wraps from 0xFFFFFFFF to 0 without disturbing the span of 30.
        {"wrap-around without acks", -3, 40, {}, {-3, -2, 29}},
    };
    for (const Schedule& s : schedules) {
        SCOPED_TRACE(s.name);
        EXPECT_EQ(SentFrames(s), s.sent);
    }
}

TEST(ScreenUpAckWindow, StateAsTheMainDialogKeepsIt) {
    CAckWindow window;
    window.Reset();
    for (int32_t f = 0; f < 4; ++f) ASSERT_TRUE(window.Admit(f));
    EXPECT_EQ(window.LastSent(), 4u);
    EXPECT_TRUE(window.Blocked());
    EXPECT_EQ(window.BlockedMarker(), 0u);
    EXPECT_FALSE(window.Admit(4));
    EXPECT_EQ(window.LastSent(), 4u) << "a dropped frame does not count as sent";

    window.OnAcknowledged(2);
    EXPECT_FALSE(window.Blocked());
    EXPECT_EQ(window.LastAcknowledged(), 2u);

    window.Reset();
    EXPECT_EQ(window.LastSent(), 0u);
    EXPECT_EQ(window.LastAcknowledged(), 0u);
    EXPECT_FALSE(window.Blocked());
    EXPECT_TRUE(window.Admit(0));
}

}  // namespace
