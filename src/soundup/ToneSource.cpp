#include "soundup/ToneSource.h"

#include <chrono>
#include <cmath>

int64_t CToneSource::SteadyMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

CToneSource::CToneSource(double frequencyHz, float amplitude, Clock clock, bool silentFlag)
    : m_dFrequency(frequencyHz),
      m_fAmplitude(amplitude),
      m_clock(clock ? std::move(clock) : Clock(&CToneSource::SteadyMilliseconds)),
      m_bSilentFlag(silentFlag),
      m_vBuffer(size_t(kPacketFrames) * kChannels) {}

bool CToneSource::Start() {
    m_bStarted = true;
    m_bBufferOut = false;
    m_nStartMs = m_clock();
    m_nFramesDelivered = 0;
    return true;
}

AudioFormat CToneSource::Format() const {
    AudioFormat format;
    format.kind = AudioFormat::Kind::Float32;
    format.channels = kChannels;
    format.sampleRate = kSampleRate;
    format.blockAlign = kChannels * sizeof(float);
    return format;
}

bool CToneSource::NextPacketFrames(uint32_t& frames) {
    frames = 0;
    if (!m_bStarted) return false;
    const int64_t elapsedMs = m_clock() - m_nStartMs;
    const uint64_t dueFrames = elapsedMs > 0 ? uint64_t(elapsedMs) * (kSampleRate / 1000) : 0;
    if (dueFrames >= m_nFramesDelivered + kPacketFrames) frames = kPacketFrames;
    return true;
}

bool CToneSource::GetBuffer(const uint8_t*& data, uint32_t& frames, uint32_t& flags) {
    if (!m_bStarted || m_bBufferOut) return false;
    constexpr double kTwoPi = 6.283185307179586;
    for (uint32_t i = 0; i < kPacketFrames; ++i) {
        // The phase from the frame number, so that it never drifts over a long run.
        const uint64_t n = m_nFramesDelivered + i;
        const double cycles = std::fmod(double(n) * m_dFrequency / kSampleRate, 1.0);
        const float value = m_fAmplitude * float(std::sin(cycles * kTwoPi));
        for (uint16_t c = 0; c < kChannels; ++c) m_vBuffer[size_t(i) * kChannels + c] = value;
    }
    data = reinterpret_cast<const uint8_t*>(m_vBuffer.data());
    frames = kPacketFrames;
    flags = m_bSilentFlag ? kAudioSilent : 0;
    m_bBufferOut = true;
    return true;
}

bool CToneSource::ReleaseBuffer(uint32_t frames) {
    if (!m_bBufferOut || frames != kPacketFrames) return false;
    m_bBufferOut = false;
    m_nFramesDelivered += frames;
    return true;
}

void CToneSource::Stop() {
    m_bStarted = false;
    m_bBufferOut = false;
}
