// What the lectern PC can tell about the pad's sound from the bytes it receives: the
// chunks are 16-bit little-endian mono samples. Enough to check a test tone arrived
// with its pitch, and that silence arrives as zeros.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct SoundSummary {
    size_t samples = 0;
    int peak = 0;           // largest magnitude
    double dominantHz = 0;  // from zero crossings; 0 for silence
};

// Summarises the samples of one or more chunks at the given sample rate. An odd last
// byte is ignored.
SoundSummary AnalyseSound(const std::vector<uint8_t>& bytes, int sampleRate);

// The same summary over many chunks without keeping their samples: the chunks count
// as one signal, so a tone split across chunks keeps its pitch. An odd last byte of a
// chunk is ignored. Not thread-safe.
class CSoundAccumulator {
  public:
    void Add(const uint8_t* bytes, size_t size);
    void Add(const std::vector<uint8_t>& bytes) { Add(bytes.data(), bytes.size()); }
    SoundSummary Summary(int sampleRate) const;
    void Reset() { *this = CSoundAccumulator(); }

  private:
    size_t m_nSamples = 0;
    size_t m_nCrossings = 0;
    int m_nPeak = 0;
    bool m_bWasNegative = false;
};
