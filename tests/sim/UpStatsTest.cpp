// Screen-up and sound-up statistics: the numbers over a window from known arrival
// times, the input commands' events and lines, and the whole path from a pad.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "LecternFixture.h"
#include "ScreenUpFrames.h"
#include "UpStats.h"
#include "media/SoundAnalysis.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using namespace screenup_frames;

constexpr int kRate = 8000;
constexpr double kPi = 3.14159265358979323846;

// samples of a tone at the nominal rate, starting at sample first (so that chunks
// made one after another join into one tone).
std::vector<uint8_t> Tone(double hz, size_t first, size_t samples, int amplitude = 12000) {
    std::vector<uint8_t> bytes;
    for (size_t i = first; i < first + samples; ++i) {
        const auto v = static_cast<int16_t>(
            std::lround(amplitude * std::sin(2 * kPi * hz * double(i) / kRate + kPi / 4)));
        bytes.push_back(uint8_t(uint16_t(v) & 0xFF));
        bytes.push_back(uint8_t(uint16_t(v) >> 8));
    }
    return bytes;
}

TEST(UpStats, ScreenUpRatesCountWhatCameAfterTheFirstFrame) {
    struct Frame {
        size_t bytes;
        int atMs;
    };
    struct Case {
        std::vector<Frame> frames;
        uint64_t bytes;
        int64_t micros, fpsX100, bytesPerS;
    };
    const Case cases[] = {
        {{}, 0, 0, 0, 0},
        {{{5000, 40}}, 5000, 0, 0, 0},
        {{{1000, 0}, {2000, 100}, {3000, 200}}, 6000, 200000, 1000, 25000},
        // 31 frames in one second: 30 frames a second.
        {[] {
             std::vector<Frame> f;
             for (int i = 0; i <= 30; ++i) f.push_back({100, i * 1000 / 30});
             return f;
         }(),
         3100, 1000000, 3000, 3000},
        {{{10, 0}, {10, 0}}, 20, 0, 0, 0},  // no time between them: no rate
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.frames.size() << " frames");
        CUpStats stats;
        const Clock::time_point t0 = Clock::now();
        for (const Frame& f : c.frames) stats.OnScreenUpFrame(f.bytes, t0 + milliseconds(f.atMs));
        const ScreenUpStats s = stats.ScreenUp();
        EXPECT_EQ(c.frames.size(), s.frames);
        EXPECT_EQ(c.bytes, s.bytes);
        EXPECT_EQ(c.micros, s.micros);
        EXPECT_EQ(c.fpsX100, s.fpsX100);
        EXPECT_EQ(c.bytesPerS, s.bytesPerS);
        stats.ResetScreenUp();
        const ScreenUpStats after = stats.ScreenUp();
        EXPECT_EQ(0u, after.frames);
        EXPECT_EQ(0u, after.bytes);
        EXPECT_EQ(0, after.fpsX100);
        // A new window starts with the next frame.
        stats.OnScreenUpFrame(7, t0 + milliseconds(5000));
        stats.OnScreenUpFrame(9, t0 + milliseconds(5500));
        EXPECT_EQ(2u, stats.ScreenUp().frames);
        EXPECT_EQ(500000, stats.ScreenUp().micros);
        EXPECT_EQ(200, stats.ScreenUp().fpsX100);
        EXPECT_EQ(18, stats.ScreenUp().bytesPerS);
    }
}

TEST(UpStats, SoundWindowTellsRateSizesSilenceAndPitch) {
    const std::vector<uint8_t> zeros400(400, 0);
    std::vector<uint8_t> oneSample(400, 0);
    oneSample[201] = 0x01;  // a single non-zero sample
    struct Chunk {
        std::vector<uint8_t> bytes;
        int atMs;
    };
    struct Case {
        const char* name;
        std::vector<Chunk> chunks;
        int64_t rate, hz;
        uint64_t minBytes, maxBytes, zeroChunks;
    };
    // 400 samples every 50 ms is 8000 samples a second.
    std::vector<Chunk> tone;
    for (int i = 0; i < 10; ++i) tone.push_back({Tone(440, size_t(i) * 400, 400), i * 50});
    // Half the pace: the same chunks every 100 ms.
    std::vector<Chunk> slow = tone;
    for (size_t i = 0; i < slow.size(); ++i) slow[i].atMs = int(i) * 100;
    const Case cases[] = {
        {"none", {}, 0, 0, 0, 0, 0},
        {"one chunk", {{Tone(440, 0, 800), 0}}, 0, 440, 1600, 1600, 0},
        {"tone at 8000/s", tone, 8000, 440, 800, 800, 0},
        {"tone at 4000/s", slow, 4000, 440, 800, 800, 0},
        {"silence and sizes",
         {{zeros400, 0}, {std::vector<uint8_t>(1000, 0), 20}, {oneSample, 40}, {{0, 0, 0}, 60}},
         // 500 + 200 + 1 samples after the first chunk in 60 ms.
         11683,
         0,
         3,
         1000,
         3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CUpStats stats;
        const Clock::time_point t0 = Clock::now();
        uint64_t bytes = 0;
        for (const Chunk& k : c.chunks) {
            stats.OnSoundChunk(k.bytes, t0 + milliseconds(k.atMs));
            bytes += k.bytes.size();
        }
        const SoundStats s = stats.Sound();
        EXPECT_EQ(c.chunks.size(), s.packets);
        EXPECT_EQ(bytes, s.bytes);
        EXPECT_EQ(c.chunks.empty() ? 0 : int64_t(c.chunks.back().atMs) * 1000, s.micros);
        EXPECT_EQ(c.rate, s.rate);
        EXPECT_NEAR(c.hz, s.hz, c.hz * 0.02 + 0.5);
        EXPECT_EQ(c.minBytes, s.minBytes);
        EXPECT_EQ(c.maxBytes, s.maxBytes);
        EXPECT_EQ(c.zeroChunks, s.zeroChunks);
        stats.ResetSound();
        const SoundStats after = stats.Sound();
        EXPECT_EQ(0u, after.packets);
        EXPECT_EQ(0u, after.bytes);
        EXPECT_EQ(0, after.hz);
        EXPECT_EQ(0u, after.zeroChunks);
        EXPECT_EQ(0u, after.maxBytes);
    }
}

TEST(UpStats, ChunksJoinIntoOneSignal) {
    // A tone in uneven chunks reads as the same tone as in one piece.
    const std::vector<uint8_t> whole = Tone(523, 0, 6000);
    CSoundAccumulator joined;
    const size_t cuts[] = {0, 2, 402, 1000, 5000, 7002, 12000};
    for (size_t i = 0; i + 1 < std::size(cuts); ++i)
        joined.Add(whole.data() + cuts[i], cuts[i + 1] - cuts[i]);
    const SoundSummary a = joined.Summary(kRate);
    const SoundSummary b = AnalyseSound(whole, kRate);
    EXPECT_EQ(b.samples, a.samples);
    EXPECT_EQ(b.peak, a.peak);
    EXPECT_DOUBLE_EQ(b.dominantHz, a.dominantHz);
    EXPECT_NEAR(523, a.dominantHz, 523 * 0.02);
}

TEST(UpStats, CommandsEmitEventsAndWriteALine) {
    CEventLog log;
    CUpStats stats;
    const Clock::time_point t0 = Clock::now();
    stats.OnScreenUpFrame(1000, t0);
    stats.OnScreenUpFrame(3000, t0 + milliseconds(250));
    stats.OnSoundChunk(Tone(440, 0, 400), t0);
    stats.OnSoundChunk(std::vector<uint8_t>(200, 0), t0 + milliseconds(25));

    std::ostringstream err;
    ASSERT_TRUE(stats.RunCommand("screenup-stats", "", log, err));
    auto e = log.WaitFor(CEventLog::Kind("screenup_stats"), milliseconds(0));
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(2, e->Int("frames"));
    EXPECT_EQ(4000, e->Int("bytes"));
    EXPECT_EQ(250, e->Int("ms"));
    EXPECT_EQ("0.250", e->Text("seconds"));
    EXPECT_EQ(400, e->Int("fps_x100"));
    EXPECT_EQ(12000, e->Int("bytes_per_s"));
    EXPECT_EQ("screenup-stats frames=2 ms=250 fps=4.00 bytes_per_s=12000\n", err.str());

    err.str("");
    ASSERT_TRUE(stats.RunCommand("sound-stats", "", log, err));
    e = log.WaitFor(CEventLog::Kind("sound_stats"), milliseconds(0));
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(2, e->Int("packets"));
    EXPECT_EQ(1000, e->Int("bytes"));
    EXPECT_EQ(25, e->Int("ms"));
    EXPECT_EQ(4000, e->Int("rate"));  // 100 samples in 25 ms
    EXPECT_EQ(200, e->Int("min_bytes"));
    EXPECT_EQ(800, e->Int("max_bytes"));
    EXPECT_EQ(1, e->Int("zero_chunks"));
    EXPECT_TRUE(e->Has("hz"));
    EXPECT_EQ(0u, err.str().find("sound-stats packets=2 bytes=1000 ms=25 rate=4000 hz="));

    ASSERT_TRUE(stats.RunCommand("screenup-stats", "reset", log, err));
    ASSERT_TRUE(stats.RunCommand("sound-stats", "reset", log, err));
    EXPECT_EQ(1u, log.Count(CEventLog::Kind("screenup_stats_reset")));
    EXPECT_EQ(1u, log.Count(CEventLog::Kind("sound_stats_reset")));
    EXPECT_EQ(0u, stats.ScreenUp().frames);
    EXPECT_EQ(0u, stats.Sound().packets);

    // Other words are not these commands.
    EXPECT_FALSE(stats.RunCommand("screenup-stats", "now", log, err));
    EXPECT_FALSE(stats.RunCommand("png", "", log, err));
    EXPECT_EQ(1u, log.Count(CEventLog::Kind("screenup_stats")));
}

// From the pad: the window counts what was sent, at the pace it was sent.
TEST_F(LecternFixture, StatisticsFollowWhatThePadSent) {
    LecternOptions lectern;
    lectern.heartbeatMs = 0;
    Start(lectern);
    Greet();
    CEventLog& log = classroom->Log();
    CUpStats& stats = classroom->Lectern().Stats();
    std::ostringstream err;

    // Screen up, in two windows.
    ASSERT_TRUE(pad->Send(std::u16string(kCmdScreenUpParams) + u"1024,768,full,resize"));
    ASSERT_TRUE(pad->Send(std::u16string(kCmdScreenUp) + kArgStart));
    const TileGrid grid = TileGrid::ForScreen(1024, 768);
    CSyntheticDesktop desktop(1024, 768);
    CFrameEncoder encoder(FrameEncoderOptions{70, 1, 0, 0});
    uint64_t bytes = 0;
    for (int n = 0; n < 4; ++n) {
        desktop.Step();
        const CPacket f = EncodeTiles(encoder, desktop, grid, Tiles(grid, n + 1));
        bytes += f.m_vData.size();
        ASSERT_TRUE(pad->Send(f));
    }
    ASSERT_TRUE(log.WaitForCount(CEventLog::Kind("screenup_decoded"), 4, kLongWait));
    ASSERT_TRUE(stats.RunCommand("screenup-stats", "", log, err));
    auto e = log.WaitFor(CEventLog::Kind("screenup_stats"), kLongWait);
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(4, e->Int("frames"));
    EXPECT_EQ(int64_t(bytes), e->Int("bytes"));
    ASSERT_TRUE(stats.RunCommand("screenup-stats", "reset", log, err));
    const CPacket last = EncodeTiles(encoder, desktop, grid, {3});
    ASSERT_TRUE(pad->Send(last));
    ASSERT_TRUE(log.WaitForCount(CEventLog::Kind("screenup_decoded"), 5, kLongWait));
    ASSERT_TRUE(stats.RunCommand("screenup-stats", "", log, err));
    e = log.WaitFor(CEventLog::Kind("screenup_stats"), kLongWait, e->seq);
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(1, e->Int("frames"));
    EXPECT_EQ(int64_t(last.m_vData.size()), e->Int("bytes"));
    EXPECT_EQ(0, e->Int("fps_x100"));

    // Sound: a tone at a known pace, with two silent chunks among it.
    ASSERT_TRUE(pad->Send(std::u16string(kCmdSoundUp) + kArgStart));
    constexpr int kChunks = 12;
    constexpr size_t kSamples = 400;
    constexpr auto kPace = milliseconds(50);  // 400 samples per 50 ms: 8000 a second
    Clock::time_point first, lastSent;
    for (int i = 0; i < kChunks; ++i) {
        std::vector<uint8_t> pcm = i == 4 || i == 9 ? std::vector<uint8_t>(kSamples * 2, 0)
                                                    : Tone(440, size_t(i) * kSamples, kSamples);
        if (i > 0) std::this_thread::sleep_until(first + kPace * i);
        lastSent = Clock::now();
        if (i == 0) first = lastSent;
        ASSERT_TRUE(pad->Send(CPacket(uint32_t(pcm.size()), pcm.data(), int32_t(pcm.size()))));
    }
    ASSERT_TRUE(log.WaitForCount(CEventLog::Kind("sound"), kChunks, kLongWait));
    ASSERT_TRUE(stats.RunCommand("sound-stats", "", log, err));
    e = log.WaitFor(CEventLog::Kind("sound_stats"), kLongWait);
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(kChunks, e->Int("packets"));
    EXPECT_EQ(int64_t(kChunks * kSamples * 2), e->Int("bytes"));
    EXPECT_EQ(2, e->Int("zero_chunks"));
    EXPECT_EQ(int64_t(kSamples * 2), e->Int("min_bytes"));
    EXPECT_EQ(int64_t(kSamples * 2), e->Int("max_bytes"));
    // The pace as the pad kept it; arrival times vary a little on a busy machine.
    const double sentSeconds = std::chrono::duration<double>(lastSent - first).count();
    const double sentRate = double((kChunks - 1) * kSamples) / sentSeconds;
    EXPECT_NEAR(sentRate, double(e->Int("rate")), sentRate * 0.4);
    // Ten chunks of 440 Hz and two of silence: fewer crossings over the same samples.
    EXPECT_NEAR(440.0 * 10 / 12, double(e->Int("hz")), 440.0 * 0.05);
}

}  // namespace
