// Sound up end to end. Wine has no playback device to capture, so the shipped program
// must give up at once and say so to the lectern PC; the test build plays a known tone
// through the real capture thread, chunking and sending instead, and the simulated
// lectern PC checks its size, rate and pitch.
#if !defined(TAVREL_HAVE_CLASSROOM_SIM)
#error "the end-to-end tests need tools/classroom-sim"
#endif

#include "RemoteFixture.h"

using namespace remotetest;

namespace {

constexpr int kToneHz = 440;
// What a 48 kHz mixer makes of it: 8000 samples a second in chunks of 8000 bytes.
constexpr int kNominalRate = 8000;
constexpr int kChunkBytes = 8000;
// The sound drivers Wine could find a device with; without them there is none.
constexpr char kWithoutSound[] =
    "mscoree,mshtml=;winemenubuilder.exe=d;winepulse.drv,winealsa.drv,wineoss.drv=d";
// Long enough for a packet in flight to arrive, if one were still coming.
constexpr auto kQuietAfterStop = 1500ms;

bool IsSoundPacket(const SimEvent& e) {
    return e.kind == "recv" && e.Text("role") == "lectern" && e.Int("type") == 11;
}

CEventLog::Predicate SoundCommand(const std::string& args) {
    return [args](const SimEvent& e) {
        return Received("lectern", "[RC00011]")(e) && e.Text("args") == args;
    };
}

}  // namespace

class SoundUpTest : public RemoteTest {
  protected:
    // The test build, whose sound is a tone of kToneHz.
    void UseTone() {
        m_programDir = e2e::WinCrashTestDir();
        m_programEnv["TAVREL_TEST_TONE"] = std::to_string(kToneHz);
    }

    size_t CountSound(uint64_t afterSeq, uint64_t untilSeq = UINT64_MAX) {
        size_t n = 0;
        for (const SimEvent& e : Log().Events())
            if (e.seq > afterSeq && e.seq < untilSeq && IsSoundPacket(e)) ++n;
        return n;
    }

    // Presses 소리 and waits for the command it sends; that event's sequence number.
    uint64_t PressSound(const std::string& panel, const std::string& expected) {
        const uint64_t before = Log().LastSeq();
        Press(panel, kSoundUpButton);
        auto e = Log().WaitFor(SoundCommand(expected), kHandshakeTime, before);
        EXPECT_TRUE(e) << "the lectern PC did not receive [RC00011]" << expected;
        return e ? e->seq : Log().LastSeq();
    }
};

// The shipped program on a pad with no playback device: start, then stop at once, the
// button stays up, and a second press does the same.
TEST_F(SoundUpTest, WithoutAPlaybackDeviceTheLecternHearsStartThenStop) {
    m_programEnv["WINEDLLOVERRIDES"] = kWithoutSound;
    const std::string panel = LogInWithStreamingLectern();
    ASSERT_FALSE(panel.empty());
    for (int press = 0; press < 2; ++press) {
        const uint64_t start = PressSound(panel, "start");
        auto stop = Log().WaitFor(SoundCommand("stop"), 20s, start);
        ASSERT_TRUE(stop) << "no stop after the start, press " << press;
        EXPECT_EQ(UiDriver({"checked", panel, std::to_string(kSoundUpButton)}).out, "0");
    }
    const LecternRecord record = m_classroom->Recorded();
    EXPECT_FALSE(record.soundOn);
    EXPECT_EQ(record.soundPackets, 0);
    EXPECT_EQ(record.soundOutside, 0);
}

TEST_F(SoundUpTest, TheToneArrivesInChunksAtItsRateAndPitchUntilStopped) {
    UseTone();
    const std::string panel = LogInWithStreamingLectern();
    ASSERT_FALSE(panel.empty());
    const uint64_t start = PressSound(panel, "start");
    EXPECT_TRUE(WaitChecked(panel, kSoundUpButton, true));
    // Two seconds of sound, timed by the lectern PC from the first chunk on.
    ASSERT_TRUE(Log().WaitForCount(
        [start](const SimEvent& e) { return e.seq > start && IsSoundPacket(e); }, 5, 30s));
    m_classroom->Lectern().Stats().ResetSound();
    ASSERT_TRUE(Log().WaitForCount(
        [start](const SimEvent& e) { return e.seq > start && IsSoundPacket(e); }, 10, 30s));
    const SoundStats stats = m_classroom->Lectern().Stats().Sound();
    EXPECT_EQ(stats.minBytes, static_cast<uint64_t>(kChunkBytes));
    EXPECT_EQ(stats.maxBytes, static_cast<uint64_t>(kChunkBytes));
    EXPECT_NEAR(stats.hz, kToneHz, kToneHz / 20);
    EXPECT_NEAR(stats.rate, kNominalRate, kNominalRate / 5);
    EXPECT_EQ(stats.zeroChunks, 0u);
    for (const SimEvent& e : Log().Events()) {
        if (e.seq <= start || e.kind != "sound") continue;
        EXPECT_EQ(e.Int("bytes"), kChunkBytes);
        EXPECT_NEAR(e.Int("hz"), kToneHz, kToneHz / 20);
    }

    const uint64_t stop = PressSound(panel, "stop");
    EXPECT_TRUE(WaitChecked(panel, kSoundUpButton, false));
    EXPECT_FALSE(Log().WaitFor(IsSoundPacket, kQuietAfterStop, stop)) << "sound after the stop";
    EXPECT_EQ(m_classroom->Recorded().soundOutside, 0);
}

TEST_F(SoundUpTest, TwoQuickPressesLeaveNothingRunning) {
    UseTone();
    const std::string panel = LogInWithStreamingLectern();
    ASSERT_FALSE(panel.empty());
    const uint64_t before = Log().LastSeq();
    Press(panel, kSoundUpButton);
    Press(panel, kSoundUpButton);
    auto stop = Log().WaitFor(SoundCommand("stop"), 20s, before);
    ASSERT_TRUE(stop);
    EXPECT_EQ(CountReceived("[RC00011]", before), 2u);
    EXPECT_FALSE(Log().WaitFor(IsSoundPacket, kQuietAfterStop, stop->seq))
        << "a capture thread still sends";
    EXPECT_EQ(UiDriver({"checked", panel, std::to_string(kSoundUpButton)}).out, "0");
}

// Remote control borrows the connection: sound up keeps running but nothing is sent
// while the connection is lent, and the chunks come again once it is back.
TEST_F(SoundUpTest, SoundPausesOnTheWireDuringRemoteControl) {
    UseTone();
    const std::string panel = LogInWithStreamingLectern();
    ASSERT_FALSE(panel.empty());
    const uint64_t start = PressSound(panel, "start");
    ASSERT_TRUE(Log().WaitForCount(
        [start](const SimEvent& e) { return e.seq > start && IsSoundPacket(e); }, 2, 30s));

    ASSERT_FALSE(StartRemote(panel).empty());
    ASSERT_TRUE(WaitFrameAcks(10));
    ASSERT_TRUE(WaitEnabled(panel, kRemoteButton));
    const uint64_t end = Log().LastSeq();
    Press(panel, kRemoteButton);
    auto stopped = Log().WaitFor(Received("lectern", "[RC00005]"), 30s, end);
    ASSERT_TRUE(stopped);
    EXPECT_EQ(CountSound(m_startSeq, stopped->seq), 0u) << "sound was sent on a lent connection";
    EXPECT_TRUE(Log().WaitFor(IsSoundPacket, 30s, stopped->seq)) << "the sound did not come back";
    EXPECT_EQ(UiDriver({"checked", panel, std::to_string(kSoundUpButton)}).out, "1");
    EXPECT_EQ(CountReceived("[RC00011]", start), 0u) << "sound up was switched";
}
