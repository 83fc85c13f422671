#include "media/SoundAnalysis.h"

#include <cstdlib>

namespace {

// Below this the signal counts as silence: no pitch is read from noise around zero.
constexpr int kSilencePeak = 64;

int16_t SampleAt(const uint8_t* bytes, size_t i) {
    return static_cast<int16_t>(uint16_t(bytes[2 * i]) | uint16_t(bytes[2 * i + 1]) << 8);
}

}  // namespace

void CSoundAccumulator::Add(const uint8_t* bytes, size_t size) {
    const size_t samples = size / 2;
    if (samples == 0) return;
    // The first sample of the signal sets the sign; later chunks continue from the last.
    if (m_nSamples == 0) m_bWasNegative = SampleAt(bytes, 0) < 0;
    for (size_t i = 0; i < samples; ++i) {
        const int v = SampleAt(bytes, i);
        if (std::abs(v) > m_nPeak) m_nPeak = std::abs(v);
        const bool negative = v < 0;
        if (negative != m_bWasNegative) ++m_nCrossings;
        m_bWasNegative = negative;
    }
    m_nSamples += samples;
}

SoundSummary CSoundAccumulator::Summary(int sampleRate) const {
    SoundSummary s;
    s.samples = m_nSamples;
    s.peak = m_nPeak;
    if (s.samples == 0 || sampleRate <= 0 || s.peak < kSilencePeak) return s;
    // A tone crosses zero twice per period.
    const double seconds = double(s.samples) / sampleRate;
    s.dominantHz = double(m_nCrossings) / (2.0 * seconds);
    return s;
}

SoundSummary AnalyseSound(const std::vector<uint8_t>& bytes, int sampleRate) {
    CSoundAccumulator accumulator;
    accumulator.Add(bytes);
    return accumulator.Summary(sampleRate);
}
