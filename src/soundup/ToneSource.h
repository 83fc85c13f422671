// CToneSource: a synthetic audio source for the tests and the test build of the program
// (TAVREL_TEST_TONE): a sine tone on both channels of a 48 kHz, 2-channel, 32-bit float
// stream, delivered in packets of 480 frames (10 ms) as a clock says they are due. The
// clock counts milliseconds; the tests inject their own, the default is the steady
// clock. Packets due are all delivered, one per poll, so a late poll catches up.
#pragma once

#include "soundup/AudioSource.h"

#include <cstdint>
#include <functional>
#include <vector>

class CToneSource : public IAudioSource {
  public:
    static constexpr uint32_t kSampleRate = 48000;
    static constexpr uint16_t kChannels = 2;
    static constexpr uint32_t kPacketFrames = 480;

    using Clock = std::function<int64_t()>;  // milliseconds, any origin
    static int64_t SteadyMilliseconds();

    // silentFlag: every buffer is flagged silent (its data is still the tone).
    explicit CToneSource(double frequencyHz, float amplitude = 0.5f, Clock clock = {},
                         bool silentFlag = false);

    bool Start() override;
    AudioFormat Format() const override;
    bool NextPacketFrames(uint32_t& frames) override;
    bool GetBuffer(const uint8_t*& data, uint32_t& frames, uint32_t& flags) override;
    bool ReleaseBuffer(uint32_t frames) override;
    void Stop() override;

    uint64_t FramesDelivered() const { return m_nFramesDelivered; }

  private:
    double m_dFrequency;
    float m_fAmplitude;
    Clock m_clock;
    bool m_bSilentFlag;
    bool m_bStarted = false;
    bool m_bBufferOut = false;
    int64_t m_nStartMs = 0;
    uint64_t m_nFramesDelivered = 0;
    std::vector<float> m_vBuffer;
};
