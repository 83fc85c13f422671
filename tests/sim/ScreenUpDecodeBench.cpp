// How fast the lectern PC takes screen-up frames: the decoder alone on full 1920 x 1080
// frames (a 15360 x 135 strip each) and on frames with a tenth of the tiles, then the
// whole path from a pad's socket to the acknowledgements and decoded events. Times are
// printed for whoever measures the pad; only correctness is asserted, since a busy
// machine may be slow.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <vector>

#include "LecternFixture.h"
#include "ScreenUpFrames.h"
#include "media/ScreenUpDecoder.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace screenup_frames;

constexpr int kWidth = 1920, kHeight = 1080;
constexpr int kFrames = 100;
// Distinct pictures the frames cycle through (encoding is slower than decoding).
constexpr int kPictures = 4;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A picture full of fine detail (as a photograph or small text makes it), whose JPEG
// is many times the desktop's: the decoder's worst case.
std::vector<uint8_t> DetailedPicture(int seed) {
    std::vector<uint8_t> rgb(size_t(kWidth) * kHeight * 3);
    uint32_t state = 2463534242u + uint32_t(seed);
    for (size_t i = 0; i < rgb.size(); i += 3) {
        state ^= state << 13, state ^= state >> 17, state ^= state << 5;
        const size_t pixel = i / 3;
        const int x = int(pixel % kWidth), y = int(pixel / kWidth);
        rgb[i] = uint8_t((x + seed * 31) ^ (state & 0x3F));
        rgb[i + 1] = uint8_t(y + (state >> 8 & 0x3F));
        rgb[i + 2] = uint8_t((x * y) >> 6 ^ (state >> 16 & 0x1F));
    }
    return rgb;
}

std::vector<CPacket> DetailedFrames() {
    const TileGrid grid = TileGrid::ForScreen(kWidth, kHeight);
    CFrameEncoder encoder(FrameEncoderOptions{70, 1, 0, 0});
    std::vector<CPacket> frames;
    for (int i = 0; i < kPictures; ++i) {
        const std::vector<uint8_t> rgb = DetailedPicture(i);
        CPacket packet;
        if (encoder.EncodeFrame(rgb.data(), kWidth, kHeight, size_t(kWidth) * 3, grid, Tiles(grid),
                                packet))
            frames.push_back(packet);
    }
    return frames;
}

// kPictures frames of successive desktop steps, each of every step-th tile.
std::vector<CPacket> Frames(int step) {
    const TileGrid grid = TileGrid::ForScreen(kWidth, kHeight);
    CSyntheticDesktop desktop(kWidth, kHeight);
    CFrameEncoder encoder(FrameEncoderOptions{70, 1, 0, 0});
    std::vector<CPacket> frames;
    for (int i = 0; i < kPictures; ++i) {
        desktop.Step();
        frames.push_back(EncodeTiles(encoder, desktop, grid, Tiles(grid, step)));
    }
    return frames;
}

TEST(ScreenUpDecodeBench, DecoderKeepsFarAheadOfThirtyFramesASecond) {
    const struct {
        const char* name;
        int step;  // 0: full frames of a detailed picture
    } cases[] = {{"full", 1}, {"tenth", 10}, {"full detailed", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<CPacket> frames = c.step > 0 ? Frames(c.step) : DetailedFrames();
        ASSERT_EQ(size_t(kPictures), frames.size());
        for (const CPacket& f : frames) ASSERT_EQ(kPacketFrame, f.m_nType);
        CScreenUpDecoder decoder;
        decoder.Configure(kWidth, kHeight);
        int64_t decodeUs = 0;
        size_t bytes = 0;
        int ok = 0;
        const Clock::time_point start = Clock::now();
        for (int n = 0; n < kFrames; ++n) {
            ScreenUpFrameInfo info;
            const CPacket& f = frames[size_t(n % kPictures)];
            if (decoder.Decode(f, &info) == CScreenUpDecoder::Result::kOk && info.geometry == "ok")
                ++ok;
            decodeUs += info.decodeMicros;
            bytes += f.m_vData.size();
        }
        const double wallMs = MsSince(start);
        EXPECT_EQ(kFrames, ok);
        EXPECT_EQ(uint64_t(kFrames), decoder.FramesDecoded());
        std::printf(
            "screen-up decode %dx%d %s frames (%zu bytes each): %.2f ms/frame "
            "(%.2f ms/frame by decode_us), %.0f frames/s\n",
            kWidth, kHeight, c.name, bytes / kFrames, wallMs / kFrames,
            double(decodeUs) / 1000.0 / kFrames, kFrames * 1000.0 / wallMs);
    }
}

// A pad sending full frames as fast as its socket takes them, acknowledged one by one.
TEST_F(LecternFixture, ScreenUpFullFramesFlowThroughTheLectern) {
    LecternOptions lectern;
    lectern.heartbeatMs = 0;
    Start(lectern);
    Greet();
    ASSERT_TRUE(pad->Send(std::u16string(kCmdScreenUpParams) + u"1920,1080,full,resize"));
    ASSERT_TRUE(pad->Send(std::u16string(kCmdScreenUp) + kArgStart));
    const std::vector<CPacket> pictures = Frames(1);
    ASSERT_TRUE(Received(kCmdScreenUp));
    std::thread sender([&] {
        for (int n = 0; n < kFrames; ++n) {
            CPacket f = pictures[size_t(n % kPictures)];
            f.m_nFrameNumber = n;
            if (!pad->Send(f)) return;
        }
    });
    const Clock::time_point start = Clock::now();
    std::vector<int32_t> acks;
    while (acks.size() < size_t(kFrames)) {
        auto ack = pad->ReadCommand(kCmdScreenUpAck, kLongWait);
        if (!ack) break;
        acks.push_back(DecimalPrefix(*ack));
    }
    const double ackMs = MsSince(start);
    sender.join();
    ASSERT_EQ(size_t(kFrames), acks.size());
    for (int n = 0; n < kFrames; ++n) EXPECT_EQ(n, acks[size_t(n)]);
    CEventLog& log = classroom->Log();
    ASSERT_TRUE(log.WaitForCount(CEventLog::Kind("screenup_decoded"), kFrames, kLongWait));
    const double decodedMs = MsSince(start);
    EXPECT_EQ(size_t(kFrames), log.Count([](const SimEvent& e) {
        return e.kind == "screenup_decoded" && e.Text("geometry") == "ok";
    }));
    EXPECT_EQ(0u, log.Count(CEventLog::Kind("screenup_dropped")));
    std::printf(
        "screen-up through the lectern, %d full %dx%d frames: all acknowledged after "
        "%.0f ms (%.1f frames/s), all decoded after %.0f ms (%.1f frames/s)\n",
        kFrames, kWidth, kHeight, ackMs, kFrames * 1000.0 / ackMs, decodedMs,
        kFrames * 1000.0 / decodedMs);
}

}  // namespace
