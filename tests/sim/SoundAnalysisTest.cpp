#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "media/SoundAnalysis.h"

namespace {

constexpr int kRate = 8000;
constexpr double kPi = 3.14159265358979323846;

std::vector<uint8_t> Tone(double hz, int amplitude, size_t samples) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < samples; ++i) {
        // A quarter-period phase keeps samples off zero, where crossings are counted.
        const auto v = static_cast<int16_t>(
            std::lround(amplitude * std::sin(2 * kPi * hz * double(i) / kRate + kPi / 4)));
        bytes.push_back(uint8_t(uint16_t(v) & 0xFF));
        bytes.push_back(uint8_t(uint16_t(v) >> 8));
    }
    return bytes;
}

TEST(SoundAnalysisTest, ReadsTheToneAndThePeak) {
    struct Case {
        double hz;
        int amplitude;
    };
    for (const Case c : {Case{440, 10000}, Case{1000, 20000}, Case{250, 3000}, Case{3000, 32000}}) {
        SCOPED_TRACE(c.hz);
        const SoundSummary s = AnalyseSound(Tone(c.hz, c.amplitude, 4000), kRate);
        EXPECT_EQ(s.samples, 4000u);
        EXPECT_NEAR(s.peak, c.amplitude, c.amplitude / 50 + 1);
        EXPECT_NEAR(s.dominantHz, c.hz, c.hz * 0.02);
    }
}

TEST(SoundAnalysisTest, SilenceAndOddInputHaveNoPitch) {
    EXPECT_EQ(AnalyseSound(std::vector<uint8_t>(8000, 0), kRate).dominantHz, 0);
    EXPECT_EQ(AnalyseSound(std::vector<uint8_t>(8000, 0), kRate).peak, 0);
    // Noise around zero is silence, not a pitch.
    EXPECT_EQ(AnalyseSound(Tone(1000, 20, 4000), kRate).dominantHz, 0);
    EXPECT_EQ(AnalyseSound({}, kRate).samples, 0u);
    EXPECT_EQ(AnalyseSound({1}, kRate).samples, 0u);  // half a sample
    EXPECT_EQ(AnalyseSound(Tone(440, 10000, 100), 0).dominantHz, 0);
}

}  // namespace
