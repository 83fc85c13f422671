#include "UpStats.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr char kRole[] = "lectern";
constexpr int64_t kMicrosPerSecond = 1000000;

int64_t Micros(CUpStats::Clock::duration d) {
    return std::chrono::duration_cast<std::chrono::microseconds>(d).count();
}

// What came after the first of a window, per second of the window.
int64_t PerSecond(uint64_t amount, int64_t micros) {
    if (micros <= 0) return 0;
    return int64_t((long double)amount * kMicrosPerSecond / micros + 0.5L);
}

// "1.234": seconds with milliseconds.
std::string SecondsText(int64_t micros) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%03lld", (long long)(micros / kMicrosPerSecond),
                  (long long)(micros % kMicrosPerSecond / 1000));
    return text;
}

bool AllZero(const std::vector<uint8_t>& bytes) {
    // An odd last byte is no sample; the samples alone decide.
    const size_t whole = bytes.size() / 2 * 2;
    return std::all_of(bytes.begin(), bytes.begin() + std::ptrdiff_t(whole),
                       [](uint8_t b) { return b == 0; });
}

}  // namespace

void CUpStats::OnScreenUpFrame(size_t compressedBytes, Clock::time_point arrival) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_nFrames == 0) {
        m_tFirstFrame = arrival;
        m_nFirstFrameBytes = compressedBytes;
    }
    m_tLastFrame = arrival;
    ++m_nFrames;
    m_nFrameBytes += compressedBytes;
}

void CUpStats::OnSoundChunk(const std::vector<uint8_t>& bytes, Clock::time_point arrival) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const uint64_t size = bytes.size();
    if (m_nChunks == 0) {
        m_tFirstChunk = arrival;
        m_nFirstChunkSamples = size / 2;
        m_nMinBytes = m_nMaxBytes = size;
    }
    m_tLastChunk = arrival;
    ++m_nChunks;
    m_nSoundBytes += size;
    m_nSamples += size / 2;
    m_nMinBytes = std::min(m_nMinBytes, size);
    m_nMaxBytes = std::max(m_nMaxBytes, size);
    if (AllZero(bytes)) ++m_nZeroChunks;
    m_sound.Add(bytes);
}

ScreenUpStats CUpStats::ScreenUp() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    ScreenUpStats s;
    s.frames = m_nFrames;
    s.bytes = m_nFrameBytes;
    if (m_nFrames == 0) return s;
    s.micros = Micros(m_tLastFrame - m_tFirstFrame);
    if (m_nFrames < 2) return s;
    s.fpsX100 = PerSecond((m_nFrames - 1) * 100, s.micros);
    s.bytesPerS = PerSecond(m_nFrameBytes - m_nFirstFrameBytes, s.micros);
    return s;
}

SoundStats CUpStats::Sound() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    SoundStats s;
    s.packets = m_nChunks;
    s.bytes = m_nSoundBytes;
    s.minBytes = m_nMinBytes;
    s.maxBytes = m_nMaxBytes;
    s.zeroChunks = m_nZeroChunks;
    s.hz = int64_t(m_sound.Summary(m_nNominalRate).dominantHz + 0.5);
    if (m_nChunks == 0) return s;
    s.micros = Micros(m_tLastChunk - m_tFirstChunk);
    if (m_nChunks >= 2) s.rate = PerSecond(m_nSamples - m_nFirstChunkSamples, s.micros);
    return s;
}

void CUpStats::ResetScreenUp() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nFrames = m_nFrameBytes = m_nFirstFrameBytes = 0;
}

void CUpStats::ResetSound() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nChunks = m_nSoundBytes = m_nFirstChunkSamples = m_nSamples = 0;
    m_nMinBytes = m_nMaxBytes = m_nZeroChunks = 0;
    m_sound.Reset();
}

std::string CUpStats::ScreenUpLine(const ScreenUpStats& s) {
    char fps[32];
    std::snprintf(fps, sizeof fps, "%lld.%02lld", (long long)(s.fpsX100 / 100),
                  (long long)(s.fpsX100 % 100));
    return "screenup-stats frames=" + std::to_string(s.frames) +
           " ms=" + std::to_string(s.micros / 1000) + " fps=" + fps +
           " bytes_per_s=" + std::to_string(s.bytesPerS);
}

std::string CUpStats::SoundLine(const SoundStats& s) {
    return "sound-stats packets=" + std::to_string(s.packets) +
           " bytes=" + std::to_string(s.bytes) + " ms=" + std::to_string(s.micros / 1000) +
           " rate=" + std::to_string(s.rate) + " hz=" + std::to_string(s.hz) +
           " min_bytes=" + std::to_string(s.minBytes) + " max_bytes=" + std::to_string(s.maxBytes) +
           " zero_chunks=" + std::to_string(s.zeroChunks);
}

bool CUpStats::RunCommand(const std::string& verb, const std::string& rest, CEventLog& log,
                          std::ostream& err) {
    const bool reset = rest == "reset";
    if (!reset && !rest.empty()) return false;
    if (verb == "screenup-stats") {
        if (reset) {
            ResetScreenUp();
            log.Emit("screenup_stats_reset", {{"role", kRole}});
            err << "screenup-stats reset\n";
            return true;
        }
        const ScreenUpStats s = ScreenUp();
        log.Emit("screenup_stats", {{"role", kRole},
                                    {"frames", s.frames},
                                    {"bytes", s.bytes},
                                    {"ms", s.micros / 1000},
                                    {"seconds", SecondsText(s.micros)},
                                    {"fps_x100", s.fpsX100},
                                    {"bytes_per_s", s.bytesPerS}});
        err << ScreenUpLine(s) << "\n";
        return true;
    }
    if (verb == "sound-stats") {
        if (reset) {
            ResetSound();
            log.Emit("sound_stats_reset", {{"role", kRole}});
            err << "sound-stats reset\n";
            return true;
        }
        const SoundStats s = Sound();
        log.Emit("sound_stats", {{"role", kRole},
                                 {"packets", s.packets},
                                 {"bytes", s.bytes},
                                 {"ms", s.micros / 1000},
                                 {"rate", s.rate},
                                 {"hz", s.hz},
                                 {"min_bytes", s.minBytes},
                                 {"max_bytes", s.maxBytes},
                                 {"zero_chunks", s.zeroChunks}});
        err << SoundLine(s) << "\n";
        return true;
    }
    return false;
}
