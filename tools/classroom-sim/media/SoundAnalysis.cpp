#include "media/SoundAnalysis.h"

#include <cstdlib>

namespace {

// Below this the signal counts as silence: no pitch is read from noise around zero.
constexpr int kSilencePeak = 64;

int16_t SampleAt(const std::vector<uint8_t>& bytes, size_t i) {
    return static_cast<int16_t>(uint16_t(bytes[2 * i]) | uint16_t(bytes[2 * i + 1]) << 8);
}

}  // namespace

SoundSummary AnalyseSound(const std::vector<uint8_t>& bytes, int sampleRate) {
    SoundSummary s;
    s.samples = bytes.size() / 2;
    if (s.samples == 0 || sampleRate <= 0) return s;
    size_t crossings = 0;
    bool wasNegative = SampleAt(bytes, 0) < 0;
    for (size_t i = 0; i < s.samples; ++i) {
        const int v = SampleAt(bytes, i);
        if (std::abs(v) > s.peak) s.peak = std::abs(v);
        const bool negative = v < 0;
        if (negative != wasNegative) ++crossings;
        wasNegative = negative;
    }
    if (s.peak < kSilencePeak) return s;
    // A tone crosses zero twice per period.
    const double seconds = double(s.samples) / sampleRate;
    s.dominantHz = crossings / (2.0 * seconds);
    return s;
}
