// Where the sound-up capture gets its sound: the default playback device's loopback in
// the program (CCoreAudioSource), a synthetic tone in the tests and the test build
// (CToneSource). The capture loop (RunSoundCapture) sees only this interface.
#pragma once

#include <cstdint>

// Buffer flags, the values of Core Audio's AUDCLNT_BUFFERFLAGS_*.
inline constexpr uint32_t kAudioDiscontinuity = 1;
inline constexpr uint32_t kAudioSilent = 2;

// The format a source delivers. Only these two kinds are ever captured; a device whose
// format is neither is refused when the source starts.
struct AudioFormat {
    enum class Kind { Pcm16, Float32 };
    Kind kind = Kind::Pcm16;
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint16_t blockAlign = 0;  // bytes per frame, all channels

    uint16_t BytesPerSample() const { return kind == Kind::Pcm16 ? 2 : 4; }
    // At least one channel and a frame large enough to hold every channel's sample.
    bool Usable() const {
        return channels >= 1 && sampleRate >= 1 &&
               uint32_t(blockAlign) >= uint32_t(channels) * BytesPerSample();
    }
};

// The fields of a WAVEFORMATEX (and WAVEFORMATEXTENSIBLE) that decide the format, so
// that the choice can be made and tested without Windows headers.
struct WaveFormatFacts {
    enum class SubFormat { None, Pcm, IeeeFloat, Other };
    uint16_t formatTag = 0;
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    // WAVE_FORMAT_EXTENSIBLE only (None otherwise, Other for an unknown sub-format).
    SubFormat subFormat = SubFormat::None;
    uint16_t validBitsPerSample = 0;
};

inline constexpr uint16_t kWaveFormatPcm = 1;
inline constexpr uint16_t kWaveFormatIeeeFloat = 3;
inline constexpr uint16_t kWaveFormatExtensible = 0xFFFE;

// The capture format for a device format: 16-bit integer PCM or 32-bit IEEE float,
// plain or extensible, with a usable frame. False for anything else (24- or 32-bit
// integers, 64-bit floats, unknown tags and sub-formats).
bool ChooseAudioFormat(const WaveFormatFacts& wave, AudioFormat& format);

class IAudioSource {
  public:
    virtual ~IAudioSource() = default;
    // Opens the stream, chooses the format and starts it; false on any failure.
    virtual bool Start() = 0;
    // The format chosen by a successful Start.
    virtual AudioFormat Format() const = 0;
    // Frames in the next packet, 0 when none is ready; false on failure.
    virtual bool NextPacketFrames(uint32_t& frames) = 0;
    // The next packet: its data (may be null when flagged silent), frames and flags.
    virtual bool GetBuffer(const uint8_t*& data, uint32_t& frames, uint32_t& flags) = 0;
    // Gives the packet got last back; false on failure.
    virtual bool ReleaseBuffer(uint32_t frames) = 0;
    // Stops the stream; harmless when it never started.
    virtual void Stop() = 0;
};
