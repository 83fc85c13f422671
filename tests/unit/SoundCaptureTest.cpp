// The sound-up capture loop against a scripted source: chunks as type-11 packets,
// silence chunks, flags, every way it fails, and the test tone's pitch and pacing.
#include "soundup/SoundCapture.h"
#include "soundup/SoundChunker.h"
#include "soundup/ToneSource.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <vector>

namespace {

using End = SoundCaptureResult::End;

// One poll of the scripted source: what NextPacketFrames reports, then (when frames
// were announced) the buffer GetBuffer hands out.
struct Poll {
    uint32_t frames = 0;
    uint32_t flags = 0;
    bool nextFails = false;
    bool getFails = false;
    bool releaseFails = false;
    bool nullData = false;
    int16_t base = 0;  // first channel of frame i holds base + i
};

Poll Empty() { return Poll{}; }
Poll Frames(uint32_t n, int16_t base = 0, uint32_t flags = 0) {
    Poll p;
    p.frames = n;
    p.base = base;
    p.flags = flags;
    return p;
}

class CScriptedSource : public IAudioSource {
  public:
    explicit CScriptedSource(std::vector<Poll> script, AudioFormat format = StereoPcm16())
        : m_script(std::move(script)), m_format(format) {}

    static AudioFormat StereoPcm16() {
        AudioFormat f;
        f.kind = AudioFormat::Kind::Pcm16;
        f.channels = 2;
        f.sampleRate = 48000;
        f.blockAlign = 4;
        return f;
    }

    bool Start() override {
        ++starts;
        return startSucceeds;
    }
    AudioFormat Format() const override { return m_format; }
    bool NextPacketFrames(uint32_t& frames) override {
        ++polls;
        if (m_next >= m_script.size()) {
            // Past the script: nothing more, and the loop is told to end.
            exhausted = true;
            frames = 0;
            return true;
        }
        m_current = m_script[m_next++];
        frames = m_current.frames;
        return !m_current.nextFails;
    }
    bool GetBuffer(const uint8_t*& data, uint32_t& frames, uint32_t& flags) override {
        ++gets;
        if (m_current.getFails) return false;
        m_buffer.assign(size_t(m_current.frames) * m_format.blockAlign, 0xEE);
        for (uint32_t i = 0; i < m_current.frames; ++i) {
            const uint16_t v = uint16_t(int16_t(m_current.base + int(i)));
            m_buffer[size_t(i) * m_format.blockAlign] = uint8_t(v & 0xFF);
            m_buffer[size_t(i) * m_format.blockAlign + 1] = uint8_t(v >> 8);
        }
        data = m_current.nullData ? nullptr : m_buffer.data();
        frames = m_current.frames;
        flags = m_current.flags;
        ++outstanding;
        return true;
    }
    bool ReleaseBuffer(uint32_t frames) override {
        ++releases;
        EXPECT_EQ(frames, m_current.frames);
        --outstanding;
        return !m_current.releaseFails;
    }
    void Stop() override { ++stops; }

    bool startSucceeds = true;
    bool exhausted = false;
    int starts = 0, polls = 0, gets = 0, releases = 0, stops = 0, outstanding = 0;

  private:
    std::vector<Poll> m_script;
    AudioFormat m_format;
    size_t m_next = 0;
    Poll m_current;
    std::vector<uint8_t> m_buffer;
};

class CCollectingSink : public ISoundChunkSink {
  public:
    void Send(const CPacket& packet) override { packets.push_back(packet); }
    std::vector<size_t> Sizes() const {
        std::vector<size_t> sizes;
        for (const CPacket& p : packets) sizes.push_back(p.m_vData.size());
        return sizes;
    }
    std::vector<CPacket> packets;
};

struct CaptureRun {
    SoundCaptureResult result;
    CCollectingSink sink;
    int sleeps = 0;
};

CaptureRun RunScript(CScriptedSource& source) {
    CaptureRun run;
    run.result = RunSoundCapture(
        source, run.sink, [&] { return !source.exhausted; }, [&] { ++run.sleeps; });
    return run;
}

std::vector<Poll> Repeat(const Poll& p, int n) { return std::vector<Poll>(size_t(n), p); }
std::vector<Poll> Join(std::vector<Poll> a, const std::vector<Poll>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(SoundCapture, Stereo480FrameBuffersGiveOne8000ByteType11PacketPer50) {
    CScriptedSource source(Repeat(Frames(480), 120));
    CaptureRun run = RunScript(source);
    EXPECT_EQ(run.result.end, End::kStopped);
    EXPECT_FALSE(run.result.Failed());
    EXPECT_EQ(run.sink.Sizes(), (std::vector<size_t>{8000, 8000}));
    for (const CPacket& p : run.sink.packets) {
        EXPECT_EQ(p.m_nType, kPacketSound);
        EXPECT_EQ(p.m_nValue, int32_t(p.m_vData.size()));
        // Samples 0, 6, ..., 474 of each buffer, in order.
        for (size_t i = 0; i < 80; ++i) {
            const int16_t v = int16_t(p.m_vData[2 * i] | p.m_vData[2 * i + 1] << 8);
            ASSERT_EQ(v, int16_t(6 * i));
        }
    }
    EXPECT_EQ(run.result.chunks, 2u);
    EXPECT_EQ(run.result.silenceChunks, 0u);
    EXPECT_EQ(run.result.frames, 120u * 480u);
    EXPECT_EQ(source.starts, 1);
    EXPECT_EQ(source.stops, 1);
    EXPECT_EQ(source.gets, 120);
    EXPECT_EQ(source.releases, 120);
    EXPECT_EQ(source.outstanding, 0);
}

TEST(SoundCapture, Stereo441FrameBuffersSendAllPendingAt8140Bytes) {
    CScriptedSource source(Repeat(Frames(441), 54));
    CaptureRun run = RunScript(source);
    EXPECT_TRUE(run.sink.packets.empty());
    CScriptedSource more(Repeat(Frames(441), 55));
    run = RunScript(more);
    EXPECT_EQ(run.sink.Sizes(), std::vector<size_t>{8140});
    EXPECT_EQ(run.sink.packets[0].m_nValue, 8140);
}

TEST(SoundCapture, EmptyPollsSleepAndMoreThan50MakeOneSilenceChunk) {
    {
        CScriptedSource source(Repeat(Empty(), 50));
        CaptureRun run = RunScript(source);
        EXPECT_TRUE(run.sink.packets.empty());
        EXPECT_EQ(run.sleeps, 51);  // the script's 50 and the poll past it
        EXPECT_EQ(source.gets, 0);
    }
    {
        CScriptedSource source(Repeat(Empty(), 51));
        CaptureRun run = RunScript(source);
        ASSERT_EQ(run.sink.Sizes(), std::vector<size_t>{8000});
        EXPECT_EQ(run.sink.packets[0].m_vData, std::vector<uint8_t>(8000, 0));
        EXPECT_EQ(run.sink.packets[0].m_nValue, 8000);
        EXPECT_EQ(run.result.silenceChunks, 1u);
    }
    {
        // The count starts again after a silence chunk: 51 + 50 make one, 51 + 51 two.
        CScriptedSource one(Repeat(Empty(), 101));
        EXPECT_EQ(RunScript(one).sink.packets.size(), 1u);
        CScriptedSource two(Repeat(Empty(), 102));
        EXPECT_EQ(RunScript(two).sink.packets.size(), 2u);
    }
}

TEST(SoundCapture, AnnouncedFramesStartTheEmptyPollCountAgain) {
    CScriptedSource source(Join(Join(Repeat(Empty(), 50), {Frames(6)}), Repeat(Empty(), 50)));
    CaptureRun run = RunScript(source);
    EXPECT_TRUE(run.sink.packets.empty());
}

TEST(SoundCapture, PendingSamplesAreKeptAtTheStartOfTheSilenceChunk) {
    // 900 frames give 150 samples, 300 bytes.
    CScriptedSource source(Join({Frames(900, 7)}, Repeat(Empty(), 51)));
    CaptureRun run = RunScript(source);
    ASSERT_EQ(run.sink.Sizes(), std::vector<size_t>{8000});
    const std::vector<uint8_t>& data = run.sink.packets[0].m_vData;
    for (size_t i = 0; i < 150; ++i)
        ASSERT_EQ(int16_t(data[2 * i] | data[2 * i + 1] << 8), int16_t(7 + 6 * i)) << i;
    for (size_t i = 300; i < data.size(); ++i) ASSERT_EQ(data[i], 0) << i;
}

TEST(SoundCapture, SilentAndDiscontinuousBuffersAreTaken) {
    Poll silentNoData = Frames(480, 0, kAudioSilent);
    silentNoData.nullData = true;
    std::vector<Poll> script = {Frames(480, 5, kAudioDiscontinuity), Frames(480, 5, kAudioSilent),
                                Frames(480, 5, kAudioSilent | kAudioDiscontinuity),
                                Frames(480, 5, kAudioSilent | 4), silentNoData};
    script = Join(script, Repeat(Frames(480, 5), 45));
    CScriptedSource full(script);
    CaptureRun run = RunScript(full);
    EXPECT_FALSE(run.result.Failed());
    ASSERT_EQ(run.sink.Sizes(), std::vector<size_t>{8000});
    const std::vector<uint8_t>& data = run.sink.packets[0].m_vData;
    EXPECT_EQ(int16_t(data[0] | data[1] << 8), 5);  // the discontinuous buffer is read
    for (size_t i = 160; i < 5 * 160; ++i) ASSERT_EQ(data[i], 0) << i;  // the silent ones
    EXPECT_EQ(int16_t(data[800] | data[801] << 8), 5);
}

TEST(SoundCapture, OtherFlagsEndTheLoopAsAFailure) {
    for (const uint32_t flags : {4u, 5u, 8u, 0x100u}) {
        SCOPED_TRACE(flags);
        CScriptedSource source({Frames(480), Frames(480, 0, flags), Frames(480)});
        CaptureRun run = RunScript(source);
        EXPECT_EQ(run.result.end, End::kBadFlags);
        EXPECT_TRUE(run.result.Failed());
        EXPECT_EQ(source.polls, 2);
        EXPECT_EQ(source.outstanding, 0) << "the refused buffer is still given back";
        EXPECT_EQ(source.stops, 1);
    }
}

TEST(SoundCapture, EveryFailureOfTheSourceEndsTheLoop) {
    struct Case {
        const char* name;
        Poll poll;
        End end;
    };
    Poll next = Frames(480);
    next.nextFails = true;
    Poll get = Frames(480);
    get.getFails = true;
    Poll release = Frames(480);
    release.releaseFails = true;
    Poll noData = Frames(480);
    noData.nullData = true;
    for (const Case& c :
         {Case{"next", next, End::kSourceFailed}, Case{"get", get, End::kSourceFailed},
          Case{"release", release, End::kReleaseFailed},
          Case{"no data", noData, End::kBadBuffer}}) {
        SCOPED_TRACE(c.name);
        CScriptedSource source(
            Join(Repeat(Frames(480), 3), Join({c.poll}, Repeat(Frames(480), 5))));
        CaptureRun run = RunScript(source);
        EXPECT_EQ(run.result.end, c.end);
        EXPECT_TRUE(run.result.Failed());
        EXPECT_EQ(source.polls, 4) << "nothing is asked after the failure";
        EXPECT_EQ(source.stops, 1);
        EXPECT_TRUE(run.sink.packets.empty());
    }
}

TEST(SoundCapture, AFailingReleaseStillLetsTheDueChunkOut) {
    std::vector<Poll> script = Repeat(Frames(480), 50);
    script.back().releaseFails = true;
    CScriptedSource source(script);
    CaptureRun run = RunScript(source);
    EXPECT_EQ(run.result.end, End::kReleaseFailed);
    EXPECT_EQ(run.sink.Sizes(), std::vector<size_t>{8000});
}

TEST(SoundCapture, AStartThatFailsEndsAtOnceAsAFailure) {
    CScriptedSource source(Repeat(Frames(480), 100));
    source.startSucceeds = false;
    CaptureRun run = RunScript(source);
    EXPECT_EQ(run.result.end, End::kStartFailed);
    EXPECT_TRUE(run.result.Failed());
    EXPECT_EQ(source.polls, 0);
    EXPECT_EQ(source.stops, 1);
    EXPECT_TRUE(run.sink.packets.empty());
}

TEST(SoundCapture, NothingIsHandedOverOnceKeepRunningSaidNo) {
    CScriptedSource source(Repeat(Frames(480), 100));
    CCollectingSink sink;
    int asked = 0;
    // Yes for the 50 loop turns, then no: asked again before the hand-over, it ends.
    const SoundCaptureResult result = RunSoundCapture(
        source, sink, [&] { return ++asked <= 50; }, [] {});
    EXPECT_EQ(result.end, End::kStopped);
    EXPECT_TRUE(sink.packets.empty());
    EXPECT_EQ(source.polls, 50);
    EXPECT_EQ(source.outstanding, 0);
    EXPECT_EQ(source.stops, 1);
}

TEST(SoundCapture, NeverMoreThan7998BytesStayPendingBetweenTurns) {
    std::vector<Poll> script;
    for (uint32_t n = 1; n < 700; n += 13) script.push_back(Frames(n));
    for (int round = 0; round < 3; ++round) script = Join(script, script);
    CScriptedSource source(script);
    CaptureRun run = RunScript(source);
    uint64_t samples = 0;
    for (const Poll& p : script) samples += CSoundChunker::SamplesFor(p.frames);
    uint64_t sent = 0;
    for (size_t size : run.sink.Sizes()) {
        EXPECT_GE(size, 7999u);
        EXPECT_LE(size, 7998u + 2 * CSoundChunker::SamplesFor(700));
        sent += size;
    }
    EXPECT_LE(samples * 2 - sent, 7998u);
}

// ---------------------------------------------------------------- the test tone

// Sign changes between successive samples that are not zero.
int ZeroCrossings(const std::vector<int16_t>& samples) {
    int crossings = 0;
    int last = 0;
    for (const int16_t s : samples) {
        if (s == 0) continue;
        const int sign = s > 0 ? 1 : -1;
        if (last != 0 && sign != last) ++crossings;
        last = sign;
    }
    return crossings;
}

TEST(ToneSource, Is48kHzStereoFloatIn480FramePacketsPacedByTheClock) {
    int64_t now = 1000;
    CToneSource tone(440, 0.5f, [&] { return now; });
    const AudioFormat f = tone.Format();
    EXPECT_EQ(f.kind, AudioFormat::Kind::Float32);
    EXPECT_EQ(f.channels, 2);
    EXPECT_EQ(f.sampleRate, 48000u);
    EXPECT_EQ(f.blockAlign, 8);
    ASSERT_TRUE(tone.Start());
    uint32_t frames = 99;
    ASSERT_TRUE(tone.NextPacketFrames(frames));
    EXPECT_EQ(frames, 0u);
    now += 9;
    ASSERT_TRUE(tone.NextPacketFrames(frames));
    EXPECT_EQ(frames, 0u);
    now += 1;
    ASSERT_TRUE(tone.NextPacketFrames(frames));
    EXPECT_EQ(frames, 480u);
    const uint8_t* data = nullptr;
    uint32_t got = 0, flags = 9;
    ASSERT_TRUE(tone.GetBuffer(data, got, flags));
    EXPECT_EQ(got, 480u);
    EXPECT_EQ(flags, 0u);
    ASSERT_NE(data, nullptr);
    ASSERT_TRUE(tone.ReleaseBuffer(got));
    ASSERT_TRUE(tone.NextPacketFrames(frames));
    EXPECT_EQ(frames, 0u) << "the next 10 ms are not due yet";
    // A late poll catches up one packet at a time.
    now += 35;
    int packets = 0;
    while (tone.NextPacketFrames(frames) && frames > 0) {
        ASSERT_TRUE(tone.GetBuffer(data, got, flags));
        ASSERT_TRUE(tone.ReleaseBuffer(got));
        ++packets;
    }
    EXPECT_EQ(packets, 3);
    EXPECT_EQ(tone.FramesDelivered(), 4u * 480u);
    tone.Stop();
    EXPECT_FALSE(tone.NextPacketFrames(frames));
}

TEST(ToneSource, A440HzToneCapturedForOneSecondGives8000SamplesAnd880Crossings) {
    int64_t now = 0;
    CToneSource tone(440, 0.5f, [&] { return now; });
    CCollectingSink sink;
    const SoundCaptureResult result = RunSoundCapture(
        tone, sink, [&] { return now < 1000 || tone.FramesDelivered() < 48000; }, [&] { ++now; });
    EXPECT_EQ(result.end, End::kStopped);
    EXPECT_EQ(result.frames, 48000u);
    ASSERT_EQ(sink.Sizes(), (std::vector<size_t>{8000, 8000}));
    EXPECT_EQ(result.silenceChunks, 0u);
    std::vector<int16_t> samples;
    int peak = 0;
    for (const CPacket& p : sink.packets) {
        for (size_t i = 0; i + 1 < p.m_vData.size(); i += 2) {
            samples.push_back(int16_t(p.m_vData[i] | p.m_vData[i + 1] << 8));
            peak = std::max(peak, std::abs(int(samples.back())));
        }
    }
    ASSERT_EQ(samples.size(), 8000u);  // 8000 samples a second from a 48 kHz mixer
    EXPECT_NEAR(ZeroCrossings(samples), 880, 4);
    EXPECT_NEAR(peak, 16383, 200);
}

TEST(ToneSource, ItsSilentOptionGivesZeros) {
    int64_t now = 0;
    CToneSource tone(
        440, 0.5f, [&] { return now; }, /*silentFlag=*/true);
    CCollectingSink sink;
    RunSoundCapture(
        tone, sink, [&] { return tone.FramesDelivered() < 48000; }, [&] { ++now; });
    ASSERT_EQ(sink.Sizes(), (std::vector<size_t>{8000, 8000}));
    for (const CPacket& p : sink.packets) EXPECT_EQ(p.m_vData, std::vector<uint8_t>(8000, 0));
}

}  // namespace
