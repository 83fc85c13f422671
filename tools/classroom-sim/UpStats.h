#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "EventLog.h"
#include "media/SoundAnalysis.h"

// Screen up as seen by the lectern PC over one window (since the start or the last
// reset). Rates count what came after the window's first frame over the time from the
// first frame to the last, so that n frames at a steady pace give that pace.
struct ScreenUpStats {
    uint64_t frames = 0;
    uint64_t bytes = 0;     // the frames' deflated data, summed
    int64_t micros = 0;     // first frame to last
    int64_t fpsX100 = 0;    // frames per second x 100; 0 with fewer than 2 frames
    int64_t bytesPerS = 0;  // 0 with fewer than 2 frames
};

// Sound up over one window, the same way; hz is read from every sample of the window
// at the pad's nominal rate, rate from the chunks' arrival times.
struct SoundStats {
    uint64_t packets = 0;
    uint64_t bytes = 0;
    int64_t micros = 0;  // first chunk to last
    int64_t rate = 0;    // samples per second implied by the arrivals; 0 with fewer than 2
    int64_t hz = 0;
    uint64_t minBytes = 0, maxBytes = 0;  // 0 without chunks
    uint64_t zeroChunks = 0;              // chunks whose samples are all zero
};

// Counts screen-up frames and sound chunks as they arrive, for the input commands
// "screenup-stats" and "sound-stats" that benchmarks read. Every member may be called
// from any thread.
class CUpStats {
  public:
    using Clock = std::chrono::steady_clock;

    explicit CUpStats(int nominalSoundRate = 8000) : m_nNominalRate(nominalSoundRate) {}

    void OnScreenUpFrame(size_t compressedBytes, Clock::time_point arrival);
    void OnSoundChunk(const std::vector<uint8_t>& bytes, Clock::time_point arrival);

    ScreenUpStats ScreenUp() const;
    SoundStats Sound() const;
    void ResetScreenUp();
    void ResetSound();

    // The input commands "screenup-stats [reset]" and "sound-stats [reset]": emits the
    // event ("screenup_stats", "sound_stats", or the "..._reset" one) and writes one
    // line to err. False when verb is neither command (or rest is not "" or "reset").
    bool RunCommand(const std::string& verb, const std::string& rest, CEventLog& log,
                    std::ostream& err);

    // The lines written to standard error.
    static std::string ScreenUpLine(const ScreenUpStats& s);
    static std::string SoundLine(const SoundStats& s);

  private:
    const int m_nNominalRate;
    mutable std::mutex m_mutex;

    uint64_t m_nFrames = 0;
    uint64_t m_nFrameBytes = 0;
    uint64_t m_nFirstFrameBytes = 0;
    Clock::time_point m_tFirstFrame, m_tLastFrame;

    uint64_t m_nChunks = 0;
    uint64_t m_nSoundBytes = 0;
    uint64_t m_nFirstChunkSamples = 0;
    uint64_t m_nSamples = 0;
    uint64_t m_nMinBytes = 0, m_nMaxBytes = 0;
    uint64_t m_nZeroChunks = 0;
    CSoundAccumulator m_sound;
    Clock::time_point m_tFirstChunk, m_tLastChunk;
};
