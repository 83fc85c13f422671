// The sound-up chunking: decimation of the first channel, the float conversion, the
// 7999-byte threshold, silence chunks that keep pending samples, and the choice of the
// capture format.
#include "soundup/AudioSource.h"
#include "soundup/SoundChunker.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

AudioFormat Pcm16(uint16_t channels, uint32_t rate = 48000) {
    AudioFormat f;
    f.kind = AudioFormat::Kind::Pcm16;
    f.channels = channels;
    f.sampleRate = rate;
    f.blockAlign = uint16_t(channels * 2);
    return f;
}

AudioFormat Float32(uint16_t channels, uint32_t rate = 48000) {
    AudioFormat f;
    f.kind = AudioFormat::Kind::Float32;
    f.channels = channels;
    f.sampleRate = rate;
    f.blockAlign = uint16_t(channels * 4);
    return f;
}

// A 16-bit buffer whose first channel holds frame number + base and whose other
// channels hold -1, so that reading the wrong channel shows.
std::vector<uint8_t> Pcm16Buffer(const AudioFormat& f, uint32_t frames, int base = 0) {
    std::vector<uint8_t> bytes(size_t(frames) * f.blockAlign, 0xFF);
    for (uint32_t i = 0; i < frames; ++i) {
        const uint16_t v = uint16_t(int16_t(base + int(i)));
        bytes[size_t(i) * f.blockAlign] = uint8_t(v & 0xFF);
        bytes[size_t(i) * f.blockAlign + 1] = uint8_t(v >> 8);
    }
    return bytes;
}

std::vector<uint8_t> FloatBuffer(const AudioFormat& f, const std::vector<float>& firstChannel) {
    std::vector<uint8_t> bytes(firstChannel.size() * f.blockAlign, 0);
    for (size_t i = 0; i < firstChannel.size(); ++i) {
        for (uint16_t c = 0; c < f.channels; ++c) {
            const float v = c == 0 ? firstChannel[i] : -0.25f;
            std::memcpy(&bytes[i * f.blockAlign + c * 4], &v, 4);
        }
    }
    return bytes;
}

std::vector<int16_t> Samples(const std::vector<uint8_t>& chunk) {
    std::vector<int16_t> samples(chunk.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = int16_t(uint16_t(chunk[2 * i]) | uint16_t(chunk[2 * i + 1]) << 8);
    return samples;
}

TEST(SoundChunker, NamedConstants) {
    EXPECT_EQ(CSoundChunker::kChunkThreshold, 7999u);
    EXPECT_EQ(CSoundChunker::kDecimation, 6u);
    EXPECT_EQ(CSoundChunker::kSilenceChunkBytes, 8000u);
    EXPECT_EQ(CSoundChunker::kEmptyPollLimit, 50);
}

TEST(SoundChunker, SamplesPerBufferAreTheCeilingOfASixth) {
    struct Case {
        uint32_t frames, samples;
    };
    for (const Case c : {Case{0, 0}, Case{1, 1}, Case{6, 1}, Case{7, 2}, Case{441, 74},
                         Case{480, 80}, Case{481, 81}}) {
        SCOPED_TRACE(c.frames);
        EXPECT_EQ(CSoundChunker::SamplesFor(c.frames), c.samples);
        CSoundChunker chunker;
        const AudioFormat f = Pcm16(2);
        const std::vector<uint8_t> buffer = Pcm16Buffer(f, c.frames);
        ASSERT_TRUE(chunker.Append(f, buffer.data(), c.frames, false));
        EXPECT_EQ(chunker.PendingBytes(), size_t(c.samples) * 2);
    }
}

TEST(SoundChunker, KeepsTheFirstChannelOfEverySixthFrameLittleEndian) {
    for (uint16_t channels : {1, 2, 6}) {
        SCOPED_TRACE(channels);
        const AudioFormat f = Pcm16(channels);
        CSoundChunker chunker;
        const std::vector<uint8_t> buffer = Pcm16Buffer(f, 20, 0x1230);
        ASSERT_TRUE(chunker.Append(f, buffer.data(), 20, false));
        const std::vector<uint8_t> chunk = chunker.TakeChunk();
        EXPECT_EQ(chunk, (std::vector<uint8_t>{0x30, 0x12, 0x36, 0x12, 0x3C, 0x12, 0x42, 0x12}));
        EXPECT_EQ(chunker.PendingBytes(), 0u);
    }
}

TEST(SoundChunker, DecimationStartsAgainAtEveryBuffer) {
    const AudioFormat f = Pcm16(2);
    CSoundChunker chunker;
    const std::vector<uint8_t> a = Pcm16Buffer(f, 7, 100);
    const std::vector<uint8_t> b = Pcm16Buffer(f, 7, 200);
    chunker.Append(f, a.data(), 7, false);
    chunker.Append(f, b.data(), 7, false);
    EXPECT_EQ(Samples(chunker.TakeChunk()), (std::vector<int16_t>{100, 106, 200, 206}));
}

TEST(SoundChunker, ABlockAlignmentWiderThanTheSamplesIsTheStride) {
    AudioFormat f = Pcm16(2);
    f.blockAlign = 8;  // padded frames
    CSoundChunker chunker;
    const std::vector<uint8_t> buffer = Pcm16Buffer(f, 13, -5);
    ASSERT_TRUE(chunker.Append(f, buffer.data(), 13, false));
    EXPECT_EQ(Samples(chunker.TakeChunk()), (std::vector<int16_t>{-5, 1, 7}));
}

TEST(SoundChunker, Stereo480FrameBuffersMakeOneChunkOf8000BytesEvery50) {
    const AudioFormat f = Pcm16(2);
    const std::vector<uint8_t> buffer = Pcm16Buffer(f, 480);
    CSoundChunker chunker;
    for (int i = 1; i <= 49; ++i) {
        chunker.Append(f, buffer.data(), 480, false);
        EXPECT_EQ(chunker.PendingBytes(), size_t(i) * 160);
        EXPECT_FALSE(chunker.ChunkDue());
    }
    chunker.Append(f, buffer.data(), 480, false);
    ASSERT_TRUE(chunker.ChunkDue());
    EXPECT_EQ(chunker.TakeChunk().size(), 8000u);
    EXPECT_EQ(chunker.PendingBytes(), 0u);
}

TEST(SoundChunker, Stereo441FrameBuffersSendAllPendingOnceOver7998) {
    const AudioFormat f = Pcm16(2, 44100);
    const std::vector<uint8_t> buffer = Pcm16Buffer(f, 441);
    CSoundChunker chunker;
    for (int i = 0; i < 54; ++i) chunker.Append(f, buffer.data(), 441, false);
    EXPECT_EQ(chunker.PendingBytes(), 7992u);
    EXPECT_FALSE(chunker.ChunkDue());
    chunker.Append(f, buffer.data(), 441, false);
    ASSERT_TRUE(chunker.ChunkDue());
    EXPECT_EQ(chunker.TakeChunk().size(), 8140u);
}

TEST(SoundChunker, NeverMoreThan7998BytesStayPending) {
    std::mt19937 random(1234);
    std::uniform_int_distribution<uint32_t> frames(0, 2000);
    const AudioFormat f = Pcm16(2);
    const std::vector<uint8_t> buffer = Pcm16Buffer(f, 2000);
    CSoundChunker chunker;
    size_t largestPending = 0;
    for (int i = 0; i < 5000; ++i) {
        const uint32_t n = frames(random);
        chunker.Append(f, buffer.data(), n, i % 7 == 0);
        if (chunker.ChunkDue()) {
            EXPECT_GE(chunker.TakeChunk().size(), 7999u);
        }
        largestPending = std::max(largestPending, chunker.PendingBytes());
    }
    EXPECT_LE(largestPending, 7998u);
}

TEST(SoundChunker, FloatSamplesAreScaledClampedAndTruncated) {
    struct Case {
        float in;
        int16_t out;
    };
    const float inf = std::numeric_limits<float>::infinity();
    const Case cases[] = {
        {1.0f, 32767},   {-1.0f, -32767},     {0.5f, 16383},
        {-0.5f, -16383}, {1.5f, 32767},       {-3.0f, -32767},
        {0.0f, 0},       {-0.0f, 0},          {inf, 32767},
        {-inf, -32767},  {1e-6f, 0},          {-1e-6f, 0},
        {0.25f, 8191},   {-0.99999f, -32766}, {std::numeric_limits<float>::quiet_NaN(), 0},
    };
    const AudioFormat f = Float32(2);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(CSoundChunker::FloatToPcm16(c.in), c.out);
        CSoundChunker chunker;
        const std::vector<uint8_t> buffer = FloatBuffer(f, {c.in});
        ASSERT_TRUE(chunker.Append(f, buffer.data(), 1, false));
        EXPECT_EQ(Samples(chunker.TakeChunk()), std::vector<int16_t>{c.out});
    }
}

TEST(SoundChunker, FloatBuffersAreDecimatedLikeIntegerOnes) {
    const AudioFormat f = Float32(2);
    std::vector<float> first(13);
    for (size_t i = 0; i < first.size(); ++i) first[i] = float(i) / 16.0f;
    CSoundChunker chunker;
    const std::vector<uint8_t> buffer = FloatBuffer(f, first);
    ASSERT_TRUE(chunker.Append(f, buffer.data(), 13, false));
    EXPECT_EQ(Samples(chunker.TakeChunk()),
              (std::vector<int16_t>{0, CSoundChunker::FloatToPcm16(6 / 16.0f),
                                    CSoundChunker::FloatToPcm16(12 / 16.0f)}));
}

TEST(SoundChunker, ASilentBufferAddsZerosForItsFramesWithoutBeingRead) {
    const AudioFormat f = Pcm16(2);
    const std::vector<uint8_t> loud = Pcm16Buffer(f, 480, 1000);
    CSoundChunker chunker;
    ASSERT_TRUE(chunker.Append(f, loud.data(), 480, true));
    ASSERT_TRUE(chunker.Append(f, nullptr, 441, true));
    EXPECT_EQ(chunker.TakeChunk(), std::vector<uint8_t>(160 + 148, 0));
}

TEST(SoundChunker, UnreadableBuffersAndFormatsAddNothing) {
    CSoundChunker chunker;
    EXPECT_FALSE(chunker.Append(Pcm16(2), nullptr, 10, false));
    AudioFormat noChannels = Pcm16(2);
    noChannels.channels = 0;
    const std::vector<uint8_t> buffer(64, 1);
    EXPECT_FALSE(chunker.Append(noChannels, buffer.data(), 4, false));
    AudioFormat shortFrame = Float32(2);
    shortFrame.blockAlign = 4;
    EXPECT_FALSE(chunker.Append(shortFrame, buffer.data(), 4, false));
    EXPECT_EQ(chunker.PendingBytes(), 0u);
}

TEST(SoundChunker, MoreThan50EmptyPollsMakeASilenceChunkAndStartCountingAgain) {
    CSoundChunker chunker;
    for (int i = 1; i <= 50; ++i) EXPECT_FALSE(chunker.CountEmptyPoll()) << i;
    EXPECT_EQ(chunker.EmptyPolls(), 50);
    EXPECT_TRUE(chunker.CountEmptyPoll());
    EXPECT_EQ(chunker.EmptyPolls(), 0);
    EXPECT_EQ(chunker.TakeSilenceChunk(), std::vector<uint8_t>(8000, 0));
    for (int i = 1; i <= 50; ++i) EXPECT_FALSE(chunker.CountEmptyPoll()) << i;
    chunker.ResetEmptyPolls();
    EXPECT_FALSE(chunker.CountEmptyPoll());
    EXPECT_EQ(chunker.EmptyPolls(), 1);
}

TEST(SoundChunker, ASilenceChunkKeepsThePendingSamplesAndPadsWithZeros) {
    const AudioFormat f = Pcm16(1);
    const std::vector<uint8_t> buffer = Pcm16Buffer(f, 900, 1);  // 150 samples, 300 bytes
    CSoundChunker chunker;
    ASSERT_TRUE(chunker.Append(f, buffer.data(), 900, false));
    ASSERT_EQ(chunker.PendingBytes(), 300u);
    const std::vector<uint8_t> chunk = chunker.TakeSilenceChunk();
    ASSERT_EQ(chunk.size(), 8000u);
    const std::vector<int16_t> samples = Samples(chunk);
    for (size_t i = 0; i < 150; ++i) EXPECT_EQ(samples[i], int16_t(1 + 6 * i)) << i;
    for (size_t i = 300; i < chunk.size(); ++i) ASSERT_EQ(chunk[i], 0) << i;
    EXPECT_EQ(chunker.PendingBytes(), 0u);
}

TEST(SoundChunker, ASilenceChunkNeverCutsPendingSamples) {
    // Cannot happen in the loop (at most 7998 bytes stay pending), but a full chunk is
    // sent as it is rather than cut to 8000.
    const AudioFormat f = Pcm16(1);
    const std::vector<uint8_t> buffer = Pcm16Buffer(f, 6 * 4100);
    CSoundChunker chunker;
    chunker.Append(f, buffer.data(), 6 * 4100, false);
    EXPECT_EQ(chunker.TakeSilenceChunk().size(), 8200u);
}

// ---------------------------------------------------------------- format choice

TEST(ChooseAudioFormat, AcceptsOnly16BitPcmAnd32BitFloatPlainOrExtensible) {
    using Sub = WaveFormatFacts::SubFormat;
    using Kind = AudioFormat::Kind;
    struct Case {
        uint16_t tag;
        Sub sub;
        uint16_t bits, valid;
        bool accepted;
        Kind kind;
    };
    const Case cases[] = {
        {kWaveFormatPcm, Sub::None, 16, 0, true, Kind::Pcm16},
        {kWaveFormatIeeeFloat, Sub::None, 32, 0, true, Kind::Float32},
        {kWaveFormatExtensible, Sub::Pcm, 16, 16, true, Kind::Pcm16},
        {kWaveFormatExtensible, Sub::IeeeFloat, 32, 32, true, Kind::Float32},
        {kWaveFormatPcm, Sub::None, 8, 0, false, Kind::Pcm16},
        {kWaveFormatPcm, Sub::None, 24, 0, false, Kind::Pcm16},
        {kWaveFormatPcm, Sub::None, 32, 0, false, Kind::Pcm16},
        {kWaveFormatIeeeFloat, Sub::None, 64, 0, false, Kind::Pcm16},
        {kWaveFormatExtensible, Sub::Pcm, 24, 24, false, Kind::Pcm16},
        {kWaveFormatExtensible, Sub::Pcm, 32, 24, false, Kind::Pcm16},
        {kWaveFormatExtensible, Sub::Pcm, 32, 32, false, Kind::Pcm16},
        {kWaveFormatExtensible, Sub::IeeeFloat, 64, 64, false, Kind::Pcm16},
        {kWaveFormatExtensible, Sub::Pcm, 16, 20, false, Kind::Pcm16},
        {kWaveFormatExtensible, Sub::Other, 16, 16, false, Kind::Pcm16},
        {kWaveFormatExtensible, Sub::None, 16, 16, false, Kind::Pcm16},
        {0x0002, Sub::None, 16, 0, false, Kind::Pcm16},  // ADPCM
        {kWaveFormatPcm, Sub::IeeeFloat, 32, 0, false, Kind::Pcm16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "tag " << c.tag << " sub " << int(c.sub) << " bits "
                                        << c.bits << "/" << c.valid);
        WaveFormatFacts wave;
        wave.formatTag = c.tag;
        wave.subFormat = c.sub;
        wave.bitsPerSample = c.bits;
        wave.validBitsPerSample = c.valid;
        wave.channels = 2;
        wave.sampleRate = 44100;
        wave.blockAlign = uint16_t(2 * c.bits / 8);
        AudioFormat format;
        ASSERT_EQ(ChooseAudioFormat(wave, format), c.accepted);
        if (!c.accepted) continue;
        EXPECT_EQ(format.kind, c.kind);
        EXPECT_EQ(format.channels, 2);
        EXPECT_EQ(format.sampleRate, 44100u);
        EXPECT_EQ(format.blockAlign, wave.blockAlign);
    }
}

TEST(ChooseAudioFormat, RefusesFramesThatCannotHoldTheirChannels) {
    WaveFormatFacts wave;
    wave.formatTag = kWaveFormatIeeeFloat;
    wave.bitsPerSample = 32;
    wave.sampleRate = 48000;
    wave.channels = 0;
    wave.blockAlign = 8;
    AudioFormat format;
    EXPECT_FALSE(ChooseAudioFormat(wave, format));
    wave.channels = 2;
    wave.blockAlign = 4;
    EXPECT_FALSE(ChooseAudioFormat(wave, format));
    wave.blockAlign = 8;
    wave.sampleRate = 0;
    EXPECT_FALSE(ChooseAudioFormat(wave, format));
    wave.sampleRate = 48000;
    EXPECT_TRUE(ChooseAudioFormat(wave, format));
}

}  // namespace
